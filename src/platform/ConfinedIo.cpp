#include "platform/ConfinedIo.h"

#include "platform/FileFaults.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessa::platform::confined_files_internal {

using namespace confined_path_internal;

FileError faultError(FileFault fault) {
    switch (fault) {
    case FileFault::NoSpace:
        return FileError::NoSpace;
    case FileFault::IoError:
        return FileError::Io;
    case FileFault::Vanished:
        return FileError::Vanished;
    }
    return FileError::Io;
}

// The seam for operations that change nothing before failing.
bool injected(FileOp op, FileError* error) {
    FileFault fault;
    if (!fault_internal::due(op, &fault))
        return false;
    *error = faultError(fault);
    return true;
}

FileError lastError() {
    return fileErrorOfErrno(errno);
}

FileIdentity identityOf(const struct stat& st) {
    return FileIdentity{uint64_t(st.st_dev), uint64_t(st.st_ino)};
}

FileError kindError(const struct stat& st) {
    if (S_ISREG(st.st_mode))
        return FileError::None;
    return S_ISDIR(st.st_mode) ? FileError::Folder : FileError::NotRegular;
}

// Writes every byte at offset, retrying short writes. A NoSpace fault writes half for real first.
FileError writeAllAt(int fd, qint64 offset, const char* data, size_t length) {
    FileFault fault;
    if (fault_internal::due(FileOp::Write, &fault)) {
        if (fault == FileFault::NoSpace && length > 1) {
            const ssize_t half = ::pwrite(fd, data, length / 2, off_t(offset));
            (void)half;
        }
        return faultError(fault);
    }
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pwrite(fd, data + done, length - done, off_t(offset + qint64(done)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        if (n == 0)
            return FileError::Io;
        done += size_t(n);
    }
    return FileError::None;
}

FileError readAllAt(int fd, qint64 offset, char* data, size_t length, size_t* got) {
    *got = 0;
    FileError error;
    if (injected(FileOp::Read, &error))
        return error;
    while (*got < length) {
        const ssize_t n = ::pread(fd, data + *got, length - *got, off_t(offset + qint64(*got)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        if (n == 0)
            break;
        *got += size_t(n);
    }
    return FileError::None;
}

FileError syncDescriptor(int fd) {
    FileError error;
    if (injected(FileOp::Sync, &error))
        return error;
    return ::fsync(fd) == 0 ? FileError::None : lastError();
}

FileError closeDescriptor(int fd) {
    FileError error;
    const bool fail = injected(FileOp::Close, &error);
    // The descriptor is released whatever is reported: close is never retried on Linux.
    if (::close(fd) != 0 && !fail)
        return errno == EINTR ? FileError::None : lastError();
    return fail ? error : FileError::None;
}

// Opens the resolved target without blocking and checks on the descriptor that it is the regular file
// that was looked at. flags hold the access mode and O_CREAT when a missing file may be made.
FileError openChecked(const Target& target, int flags, mode_t mode, int* fdOut, struct stat* stOut) {
    FileError error;
    if (injected(FileOp::Open, &error))
        return error;
    const int fd =
        ::open(target.real.constData(), flags | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
    if (fd < 0)
        return lastError();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        (target.exists && identityOf(st) != identityOf(target.st))) {
        const FileError kind = S_ISREG(st.st_mode) ? FileError::NotRegular : kindError(st);
        ::close(fd);
        return kind == FileError::None ? FileError::NotRegular : kind;
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        const FileError e = lastError();
        ::close(fd);
        return e;
    }
    *fdOut = fd;
    if (stOut)
        *stOut = st;
    return FileError::None;
}

FileError openExisting(const QString& nativePath, Area area, int accessFlags, int* fd, Target* targetOut,
                       struct stat* stOut) {
    Target target = resolveTarget(nativePath, area, false);
    if (target.error != FileError::None)
        return target.error;
    if (const FileError kind = kindError(target.st); kind != FileError::None)
        return kind;
    const FileError error = openChecked(target, accessFlags, 0, fd, stOut);
    if (error == FileError::None && targetOut)
        *targetOut = std::move(target);
    return error;
}

QByteArray folderOf(const QByteArray& real) {
    const qsizetype slash = real.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : real.left(slash);
}

QByteArray nameOf(const QByteArray& real) {
    return real.mid(real.lastIndexOf('/') + 1);
}

FileError syncFolderBytes(const QByteArray& folder) {
    FileError error;
    if (injected(FileOp::Sync, &error))
        return error;
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return lastError();
    const FileError result = ::fsync(fd) == 0 ? FileError::None : lastError();
    ::close(fd);
    return result;
}

EntryKind kindOfMode(mode_t mode) {
    if (S_ISREG(mode))
        return EntryKind::File;
    if (S_ISDIR(mode))
        return EntryKind::Folder;
    if (S_ISLNK(mode))
        return EntryKind::Link;
    return EntryKind::Other;
}

} // namespace tessa::platform::confined_files_internal
