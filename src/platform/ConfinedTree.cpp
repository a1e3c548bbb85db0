#include "platform/ConfinedIo.h"
#include "platform/NativeName.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessa::platform {

using namespace confined_files_internal;
using namespace confined_path_internal;

MoveResult moveFile(const QString& fromNative, Area fromArea, const QString& toNative, Area toArea,
                    Replace replace) {
    const Target from = resolveTarget(fromNative, fromArea, false);
    if (from.error != FileError::None)
        return {from.error, false};
    if (const FileError kind = kindError(from.st); kind != FileError::None)
        return {kind, false};
    Target to;
    if (const FileError error = resolveWritable(toNative, toArea, replace, &to); error != FileError::None)
        return {error, false};
    if (to.exists && identityOf(to.st) == identityOf(from.st))
        return {FileError::Exists, false};

    struct stat folder {};
    if (::stat(folderOf(to.real).constData(), &folder) == 0 && folder.st_dev == from.st.st_dev) {
        bool crossDevice = false;
        const FileError renamed = renameInto(from.real, to.real, replace, &crossDevice);
        if (renamed == FileError::None) {
            const FileError synced = syncFolderBytes(folderOf(to.real));
            if (synced == FileError::None && folderOf(to.real) != folderOf(from.real))
                return {syncFolderBytes(folderOf(from.real)), true};
            return {synced, true};
        }
        if (!crossDevice) // a bind mount shows one device but refuses the rename: copy then
            return {renamed, false};
    }
    // Across file systems the source goes only once its copy is on the disk.
    if (const FileError copied =
            copyFile(fromNative, fromArea, toNative, toArea, replace, Durability::Synced);
        copied != FileError::None)
        return {copied, false};
    return {removeFile(fromNative, fromArea), true};
}

FileError removeFile(const QString& nativePath, Area area) {
    const Target target = resolveTarget(nativePath, area, false);
    if (target.error != FileError::None)
        return target.error;
    if (const FileError kind = kindError(target.st); kind != FileError::None)
        return kind;
    FileError error;
    if (injected(FileOp::Remove, &error))
        return error;
    return ::unlink(target.real.constData()) == 0 ? FileError::None : lastError();
}

FileError makeFolders(const QString& nativePath, Area area) {
    Target target = resolveTarget(nativePath, area, true);
    if (target.error == FileError::NotFound) {
        // A folder above is missing too: make it first (the recursion ends at a folder that exists).
        const QByteArray bytes = absoluteBytes(nativePath);
        const QByteArray parent = folderOf(stripTrailingSlashes(bytes));
        if (parent == bytes || parent.isEmpty())
            return FileError::NotFound;
        if (const FileError error = makeFolders(decodeNativeName(parent), area); error != FileError::None)
            return error;
        target = resolveTarget(nativePath, area, true);
    }
    if (target.error != FileError::None)
        return target.error;
    if (target.exists)
        return S_ISDIR(target.st.st_mode) ? FileError::None : kindError(target.st);
    FileError error;
    if (injected(FileOp::MakeFolder, &error))
        return error;
    if (::mkdir(target.real.constData(), 0777) != 0) {
        struct stat st {};
        if (errno == EEXIST && ::lstat(target.real.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            return FileError::None;
        return lastError();
    }
    return FileError::None;
}

FileError syncFolder(const QString& nativePath, Area area) {
    const Target target = resolveTarget(nativePath, area, false);
    if (target.error != FileError::None)
        return target.error;
    if (!S_ISDIR(target.st.st_mode))
        return FileError::NotRegular;
    return syncFolderBytes(target.real);
}

FileError listFolder(const QString& nativePath, Area area, std::vector<FolderEntry>* entries) {
    entries->clear();
    const Target target = resolveTarget(nativePath, area, false);
    if (target.error != FileError::None)
        return target.error;
    if (!S_ISDIR(target.st.st_mode))
        return S_ISREG(target.st.st_mode) ? FileError::NotFound : FileError::NotRegular;
    FileError error;
    if (injected(FileOp::List, &error))
        return error;
    const int fd =
        ::open(target.real.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return lastError();
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const FileError e = lastError();
        ::close(fd);
        return e;
    }
    errno = 0;
    while (struct dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if ((name[0] == '.' && name[1] == 0) || (name[0] == '.' && name[1] == '.' && name[2] == 0))
            continue;
        struct stat st {};
        FolderEntry item{decodeNativeName(QByteArray(name)), EntryKind::Missing, 0};
        if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            item.kind = kindOfMode(st.st_mode);
            item.size = S_ISREG(st.st_mode) ? qint64(st.st_size) : 0;
        }
        entries->push_back(std::move(item));
        errno = 0;
    }
    const FileError result = errno == 0 ? FileError::None : lastError();
    ::closedir(dir);
    return result;
}

} // namespace tessa::platform
