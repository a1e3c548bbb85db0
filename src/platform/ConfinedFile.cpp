#include "platform/ConfinedIo.h"
#include "platform/NativeName.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessa::platform {

using namespace confined_files_internal;
using namespace confined_path_internal;

// ConfinedFile ---------------------------------------------------------------------------------------

ConfinedFile::~ConfinedFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

ConfinedFile::ConfinedFile(ConfinedFile&& other) noexcept
    : fd_(other.fd_), realPath_(std::move(other.realPath_)), identity_(other.identity_) {
    other.fd_ = -1;
}

ConfinedFile& ConfinedFile::operator=(ConfinedFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        realPath_ = std::move(other.realPath_);
        identity_ = other.identity_;
        other.fd_ = -1;
    }
    return *this;
}

FileError ConfinedFile::open(const QString& nativePath, Area area, Mode mode) {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    Target target;
    struct stat st {};
    int fd = -1;
    const FileError error =
        openExisting(nativePath, area, mode == Mode::Read ? O_RDONLY : O_RDWR, &fd, &target, &st);
    if (error != FileError::None)
        return error;
    fd_ = fd;
    realPath_ = decodeNativeName(target.real);
    identity_ = identityOf(st);
    return FileError::None;
}

qint64 ConfinedFile::size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0)
        return -1;
    return qint64(st.st_size);
}

FileError ConfinedFile::readAt(qint64 offset, void* buffer, size_t length, size_t* got) {
    size_t ignored = 0;
    size_t& count = got ? *got : ignored;
    count = 0;
    if (fd_ < 0)
        return FileError::Invalid;
    return readAllAt(fd_, offset, static_cast<char*>(buffer), length, &count);
}

FileError ConfinedFile::read(void* buffer, size_t length, size_t* got) {
    size_t ignored = 0;
    size_t& count = got ? *got : ignored;
    count = 0;
    if (fd_ < 0)
        return FileError::Invalid;
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0)
        return lastError();
    const FileError error = readAllAt(fd_, qint64(at), static_cast<char*>(buffer), length, &count);
    ::lseek(fd_, at + off_t(count), SEEK_SET);
    return error;
}

FileError ConfinedFile::seek(qint64 offset) {
    if (fd_ < 0)
        return FileError::Invalid;
    return ::lseek(fd_, off_t(offset), SEEK_SET) < 0 ? lastError() : FileError::None;
}

FileError ConfinedFile::writeAt(qint64 offset, QByteArrayView bytes) {
    if (fd_ < 0)
        return FileError::Invalid;
    return writeAllAt(fd_, offset, bytes.data(), size_t(bytes.size()));
}

FileError ConfinedFile::sync() {
    if (fd_ < 0)
        return FileError::Invalid;
    return syncDescriptor(fd_);
}

FileError ConfinedFile::close() {
    if (fd_ < 0)
        return FileError::None;
    const int fd = fd_;
    fd_ = -1;
    return closeDescriptor(fd);
}

int ConfinedFile::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

FileError openForReading(QFile& file, const QString& nativePath, Area area) {
    file.close();
    ConfinedFile confined;
    if (const FileError error = confined.open(nativePath, area, ConfinedFile::Mode::Read);
        error != FileError::None)
        return error;
    const int fd = confined.release();
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return FileError::Io;
    }
    return FileError::None;
}

// Whole-file helpers --------------------------------------------------------------------------------

FileError readWholeFile(const QString& nativePath, Area area, QByteArray* bytes, qint64 maxBytes) {
    bytes->clear();
    ConfinedFile file;
    if (const FileError error = file.open(nativePath, area, ConfinedFile::Mode::Read);
        error != FileError::None)
        return error;
    const qint64 size = file.size();
    if (size < 0)
        return FileError::Io;
    if (size > maxBytes)
        return FileError::TooLarge;
    QByteArray data(size, Qt::Uninitialized);
    size_t got = 0;
    if (const FileError error = file.readAt(0, data.data(), size_t(size), &got); error != FileError::None)
        return error;
    data.truncate(qsizetype(got));
    *bytes = std::move(data);
    return file.close();
}

FileError readFilePart(const QString& nativePath, Area area, qint64 offset, qint64 length,
                       QByteArray* bytes) {
    bytes->clear();
    if (offset < 0 || length < 0)
        return FileError::Invalid;
    ConfinedFile file;
    if (const FileError error = file.open(nativePath, area, ConfinedFile::Mode::Read);
        error != FileError::None)
        return error;
    QByteArray data(length, Qt::Uninitialized);
    size_t got = 0;
    if (const FileError error = file.readAt(offset, data.data(), size_t(length), &got);
        error != FileError::None)
        return error;
    data.truncate(qsizetype(got));
    *bytes = std::move(data);
    return file.close();
}

} // namespace tessa::platform
