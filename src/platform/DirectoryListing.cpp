#include "platform/DirectoryListing.h"

#include "platform/ConfinedIo.h"
#include "platform/ConfinedPath.h"
#include "platform/FileFaults.h"
#include "platform/NativeName.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessa::platform {
namespace {

constexpr int kListedFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

FileError listingFault() {
    FileFault fault;
    if (!fault_internal::due(FileOp::List, &fault))
        return FileError::None;
    switch (fault) {
    case FileFault::NoSpace:
        return FileError::NoSpace;
    case FileFault::Vanished:
        return FileError::Vanished;
    case FileFault::IoError:
        break;
    }
    return FileError::Io;
}

EntryKind listedKindOfType(unsigned char type) {
    switch (type) {
    case DT_REG:
        return EntryKind::File;
    case DT_DIR:
        return EntryKind::Folder;
    case DT_LNK:
        return EntryKind::Link;
    case DT_UNKNOWN:
        return EntryKind::Missing; // asked with fstatat
    default:
        return EntryKind::Other;
    }
}

} // namespace

OpenFolder::~OpenFolder() {
    close();
}

OpenFolder::OpenFolder(OpenFolder&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

OpenFolder& OpenFolder::operator=(OpenFolder&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void OpenFolder::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

FileError OpenFolder::openPath(const QString& nativePath, Area area) {
    close();
    const confined_path_internal::Target target =
        confined_path_internal::resolveTarget(nativePath, area, false);
    if (target.error != FileError::None)
        return target.error;
    if (!S_ISDIR(target.st.st_mode))
        return S_ISREG(target.st.st_mode) ? FileError::NotFound : FileError::NotRegular;
    fd_ = ::open(target.real.constData(), kListedFolderFlags);
    return fd_ >= 0 ? FileError::None : fileErrorOfErrno(errno);
}

FileError OpenFolder::openChild(const OpenFolder& parent, const QString& name) {
    close();
    if (!parent.isOpen())
        return FileError::Invalid;
    const QByteArray bytes = encodeNativeName(name);
    if (bytes.isEmpty() || bytes.contains('/') || bytes == "." || bytes == "..")
        return FileError::Invalid;
    fd_ = ::openat(parent.fd_, bytes.constData(), kListedFolderFlags);
    if (fd_ >= 0)
        return FileError::None;
    // A link (O_NOFOLLOW) or a file where a folder was listed: not a folder to walk into.
    return errno == ELOOP || errno == ENOTDIR ? FileError::NotRegular : fileErrorOfErrno(errno);
}

FileError OpenFolder::list(std::vector<FolderEntry>* entries, bool withSizes) const {
    entries->clear();
    if (!isOpen())
        return FileError::Invalid;
    if (const FileError fault = listingFault(); fault != FileError::None)
        return fault;
    // The stream gets a descriptor of its own, so that this folder stays open for openChild.
    const int fd = ::openat(fd_, ".", kListedFolderFlags);
    if (fd < 0)
        return fileErrorOfErrno(errno);
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const FileError e = fileErrorOfErrno(errno);
        ::close(fd);
        return e;
    }
    errno = 0;
    while (struct dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        FolderEntry item{decodeNativeName(QByteArray(name)), listedKindOfType(entry->d_type), 0};
        if ((withSizes && item.kind == EntryKind::File) || item.kind == EntryKind::Missing) {
            struct stat st {};
            if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
                item.kind = confined_files_internal::kindOfMode(st.st_mode);
                item.size = S_ISREG(st.st_mode) ? qint64(st.st_size) : 0;
            } else {
                item.kind = EntryKind::Missing; // gone since readdir saw it
            }
        }
        entries->push_back(std::move(item));
        errno = 0;
    }
    const FileError result = errno == 0 ? FileError::None : fileErrorOfErrno(errno);
    ::closedir(dir);
    return result;
}

} // namespace tessa::platform
