#pragma once

// Folder listing for walks over a whole tree. A walk that resolved every folder's path from the top
// (realpath, confinement, one lstat per path component) spends most of its time on the way down rather
// than on the listing; here only the root of the walk is resolved and confined, and every plain subfolder
// is opened relative to its parent's open descriptor with O_NOFOLLOW. A subfolder reached that way lies
// inside its parent by construction, so it stays inside the area without being resolved again. Entry
// kinds come from readdir's d_type; only entries whose kind the file system does not report, and regular
// files when their sizes are asked for, are looked at with fstatat. A walk that has no use for sizes
// should not ask: the stat of every file costs about as much as the listing itself.
//
// Links are never followed here: a link entry is reported as Link, and the caller that wants to follow
// it opens it as a new root (which resolves and confines it like any other path).

#include "platform/ConfinedFiles.h"

#include <QString>
#include <vector>

namespace tessa::platform {

class OpenFolder {
public:
    OpenFolder() = default;
    ~OpenFolder();
    OpenFolder(OpenFolder&& other) noexcept;
    OpenFolder& operator=(OpenFolder&& other) noexcept;
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    // Opens a folder by path: resolved, confined to the area, a folder and not a link.
    FileError openPath(const QString& nativePath, Area area);
    // Opens the subfolder name of an open folder, never through a link.
    FileError openChild(const OpenFolder& parent, const QString& name);

    // The entries ("." and ".." left out) in the order the file system gives them; a file's size is 0
    // unless withSizes. Passes the fault-injection seam as one folder listing.
    FileError list(std::vector<FolderEntry>* entries, bool withSizes = true) const;

    bool isOpen() const { return fd_ >= 0; }
    void close();

private:
    int fd_ = -1;
};

} // namespace tessa::platform
