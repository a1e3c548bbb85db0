#include "platform/FileError.h"

#include <cerrno>

namespace tessa::platform {

const char* fileErrorText(FileError error) {
    switch (error) {
    case FileError::None:
        return "done";
    case FileError::NotFound:
        return "no such file";
    case FileError::Folder:
        return "a folder";
    case FileError::NotRegular:
        return "not a regular file";
    case FileError::Permission:
        return "permission denied";
    case FileError::Outside:
        return "outside the card or backup folder";
    case FileError::NoRoot:
        return "no card or backup folder in use";
    case FileError::Exists:
        return "the file exists";
    case FileError::NoSpace:
        return "no space left";
    case FileError::Io:
        return "input/output error";
    case FileError::Vanished:
        return "the card or disk is gone";
    case FileError::ReadOnly:
        return "read-only file system";
    case FileError::TooLarge:
        return "too large";
    case FileError::Invalid:
        return "not a valid file name";
    case FileError::Mismatch:
        return "the copy differs from the original";
    }
    return "unknown error";
}

FileError fileErrorOfErrno(int errnoValue) {
    switch (errnoValue) {
    case 0:
        return FileError::None;
    case ENOENT:
    case ENOTDIR:
        return FileError::NotFound;
    case EISDIR:
        return FileError::Folder;
    case EACCES:
    case EPERM:
        return FileError::Permission;
    case ENOSPC:
    case EDQUOT:
        return FileError::NoSpace;
    case ENODEV:
    case ENXIO:
    case ESTALE:
    case ENOMEDIUM:
    case ENOTCONN:
    case EHOSTDOWN:
        return FileError::Vanished;
    case EROFS:
        return FileError::ReadOnly;
    case EEXIST:
    case ENOTEMPTY:
        return FileError::Exists;
    case ELOOP: // O_NOFOLLOW met a link where a file was wanted
        return FileError::NotRegular;
    case EFBIG:
    case EOVERFLOW:
        return FileError::TooLarge;
    case ENAMETOOLONG:
    case EINVAL:
        return FileError::Invalid;
    default:
        return FileError::Io;
    }
}

} // namespace tessa::platform
