#include "platform/FolderLock.h"

#include <cerrno>
#include <sys/file.h>
#include <unistd.h>

namespace tessa::platform {

FolderLock::~FolderLock() {
    unlock();
}

QString FolderLock::fileName() {
    return QStringLiteral(".TessaBackup.lock");
}

FolderLock::Result FolderLock::tryLock(const QString& folderNative, Area area, FileError* error) {
    unlock();
    QString path = folderNative;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    path += fileName();
    // Made empty when missing, left as it is when there (an append would wait for the lock itself).
    FileError made = writeWholeFile(path, area, QByteArrayView(), Replace::Never);
    if (made == FileError::Exists)
        made = FileError::None;
    ConfinedFile file;
    if (made == FileError::None)
        made = file.open(path, area, ConfinedFile::Mode::Read);
    if (made != FileError::None) {
        if (error)
            *error = made;
        return Result::Failed;
    }
    const int fd = file.release();
    int locked;
    do
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int why = errno;
        ::close(fd);
        if (why == EWOULDBLOCK)
            return Result::Busy;
        if (error)
            *error = fileErrorOfErrno(why);
        return Result::Failed;
    }
    fd_ = fd;
    return Result::Locked;
}

void FolderLock::unlock() {
    if (fd_ < 0)
        return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

} // namespace tessa::platform
