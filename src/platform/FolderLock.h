#pragma once

// An exclusive lock held in a folder for as long as the object lives: a file in the folder locked with
// flock(), so that two processes (the window and a watcher) never write one backup tree at once. The
// system drops the lock with the process, so a crash leaves no stale lock behind; the file itself stays.
// The file is created and opened through the confined file layer.

#include "platform/ConfinedFiles.h"

#include <QString>

namespace tessa::platform {

class FolderLock {
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    enum class Result { Locked, Busy, Failed };
    // Takes the lock of the folder (native, existing) without waiting: Busy when another holder has it,
    // Failed (with *error) when the lock file cannot be made or opened.
    Result tryLock(const QString& folderNative, Area area, FileError* error = nullptr);
    bool held() const { return fd_ >= 0; }
    void unlock();

    // The lock file's name in the folder.
    static QString fileName();

private:
    int fd_ = -1;
};

} // namespace tessa::platform
