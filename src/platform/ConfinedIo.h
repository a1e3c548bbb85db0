#pragma once

// The descriptor-level pieces the confined file layer (ConfinedFiles.h) is built from, shared by its
// source files and used by them alone: the fault seam, checked opens, whole reads and writes, sync and
// close, and the write-through-a-temporary-name that copies and replacements share.

#include "platform/ConfinedFiles.h"
#include "platform/ConfinedPath.h"

#include <cstddef>
#include <functional>
#include <QByteArray>
#include <sys/stat.h>

namespace tessa::platform::confined_files_internal {

using confined_path_internal::Target;

constexpr size_t kCopyChunk = 256 * 1024;

FileError faultError(FileFault fault);
// The seam for operations that change nothing before failing.
bool injected(FileOp op, FileError* error);
FileError lastError();
FileIdentity identityOf(const struct stat& st);
FileError kindError(const struct stat& st);
EntryKind kindOfMode(mode_t mode);

// Writes every byte at offset, retrying short writes. A NoSpace fault writes half for real first.
FileError writeAllAt(int fd, qint64 offset, const char* data, size_t length);
// Reads up to length bytes at offset; fewer only at the end of the file.
FileError readAllAt(int fd, qint64 offset, char* data, size_t length, size_t* got);
FileError syncDescriptor(int fd);
FileError closeDescriptor(int fd);

// Opens the resolved target without blocking and checks on the descriptor that it is the regular file
// that was looked at. flags hold the access mode and O_CREAT when a missing file may be made.
FileError openChecked(const Target& target, int flags, mode_t mode, int* fdOut, struct stat* stOut);
// Resolves, confines and opens an existing regular file.
FileError openExisting(const QString& nativePath, Area area, int accessFlags, int* fd, Target* targetOut,
                       struct stat* stOut = nullptr);

QByteArray folderOf(const QByteArray& real);
QByteArray nameOf(const QByteArray& real);
FileError syncFolderBytes(const QByteArray& folder);

// Renames the finished temporary file onto the target; Replace::Never never replaces a file that
// appeared meanwhile. *crossDevice tells a rename refused across file systems.
FileError renameInto(const QByteArray& from, const QByteArray& to, Replace replace,
                     bool* crossDevice = nullptr);
// Where a new file may be written: the target resolved (it may be missing) and checked for kind.
FileError resolveWritable(const QString& nativePath, Area area, Replace replace, Target* target);

using DescriptorStep = std::function<FileError(int fd)>;
// Fills a temporary file beside the target, optionally syncs it, lets check (when given) look at the
// finished file, and renames it into place. modeFrom, when given, is the file whose permission bits the
// new one keeps.
FileError writeThroughTemporary(const Target& target, Replace replace, Durability durability,
                                const DescriptorStep& fill, const struct stat* modeFrom,
                                const DescriptorStep& check = {});

// Compares two open files from the start, reading both again from their media.
FileError compareDescriptors(int a, int b, bool* equal);

} // namespace tessa::platform::confined_files_internal
