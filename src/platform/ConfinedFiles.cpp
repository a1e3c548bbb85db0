#include "platform/ConfinedFiles.h"

#include "platform/ConfinedPath.h"
#include "platform/NativeName.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <QCryptographicHash>
#include <QRandomGenerator>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace tessa::platform {
namespace confined_files_internal {

using namespace confined_path_internal;

constexpr size_t kCopyChunk = 256 * 1024;

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
                       struct stat* stOut = nullptr) {
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

// A new, empty temporary file beside the target: ".name.XXXXXX.part", created exclusively.
FileError createTemporary(const QByteArray& targetReal, QByteArray* tempPath, int* fd) {
    FileError error;
    if (injected(FileOp::Open, &error))
        return error;
    const QByteArray folder = folderOf(targetReal);
    // Without its dots, so that no folder walk that looks for ".wav" or ".xtr" in a name takes a copy
    // left behind by a crash for a recording.
    const QByteArray name = nameOf(targetReal).replace('.', '_');
    for (int attempt = 0; attempt < 64; ++attempt) {
        const QByteArray suffix = QByteArray::number(QRandomGenerator::global()->generate() & 0xFFFFFF, 16);
        QByteArray path = folder;
        if (!path.endsWith('/'))
            path += '/';
        // Kept short: FAT limits a name to 255 characters.
        path += '.' + name.left(200) + '.' + suffix + ".part";
        // Read and write: a verified copy is read back before it takes its name.
        const int f = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (f >= 0) {
            *tempPath = path;
            *fd = f;
            return FileError::None;
        }
        if (errno != EEXIST)
            return lastError();
    }
    return FileError::Exists;
}

// Renames the finished temporary file onto the target; Replace::Never never replaces a file that
// appeared meanwhile.
FileError renameInto(const QByteArray& from, const QByteArray& to, Replace replace,
                     bool* crossDevice = nullptr) {
    FileError error;
    if (injected(FileOp::Rename, &error))
        return error;
    auto failed = [&] {
        if (crossDevice)
            *crossDevice = errno == EXDEV;
        return lastError();
    };
    if (replace == Replace::Existing)
        return ::rename(from.constData(), to.constData()) == 0 ? FileError::None : failed();
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return FileError::None;
    if (errno != EINVAL && errno != ENOSYS)
        return failed();
    // A file system without the no-replace rename: look, then rename.
    struct stat st {};
    if (::lstat(to.constData(), &st) == 0)
        return FileError::Exists;
    return ::rename(from.constData(), to.constData()) == 0 ? FileError::None : failed();
}

// Where a new file may be written: the target resolved (it may be missing) and checked for kind.
FileError resolveWritable(const QString& nativePath, Area area, Replace replace, Target* target) {
    *target = resolveTarget(nativePath, area, true);
    if (target->error != FileError::None)
        return target->error;
    if (target->exists) {
        if (const FileError kind = kindError(target->st); kind != FileError::None)
            return kind;
        if (replace == Replace::Never)
            return FileError::Exists;
    }
    return FileError::None;
}

FileError noCheck(int) {
    return FileError::None;
}

// Compares two open files from the start, reading both again from their media: the cached pages of a
// synced file are clean, so dropping them makes the next read come from the disk or the card.
FileError compareDescriptors(int a, int b, bool* equal) {
    *equal = false;
    struct stat sa {
    }, sb{};
    if (::fstat(a, &sa) != 0 || ::fstat(b, &sb) != 0)
        return lastError();
    if (sa.st_size != sb.st_size)
        return FileError::None;
    ::posix_fadvise(a, 0, 0, POSIX_FADV_DONTNEED);
    ::posix_fadvise(b, 0, 0, POSIX_FADV_DONTNEED);
    std::vector<char> left(kCopyChunk), right(kCopyChunk);
    qint64 at = 0;
    for (;;) {
        size_t gotA = 0, gotB = 0;
        if (const FileError e = readAllAt(a, at, left.data(), left.size(), &gotA); e != FileError::None)
            return e;
        if (const FileError e = readAllAt(b, at, right.data(), right.size(), &gotB); e != FileError::None)
            return e;
        if (gotA != gotB || std::memcmp(left.data(), right.data(), gotA) != 0)
            return FileError::None;
        if (gotA == 0)
            break;
        at += qint64(gotA);
    }
    *equal = true;
    return FileError::None;
}

// Fills a temporary file beside the target, optionally syncs it, lets check look at the finished file,
// and renames it into place.
template <typename Fill, typename Check = decltype(&noCheck)>
FileError writeThroughTemporary(const Target& target, Replace replace, Durability durability, Fill fill,
                                const struct stat* modeFrom, Check check = &noCheck) {
    QByteArray temp;
    int fd = -1;
    if (const FileError error = createTemporary(target.real, &temp, &fd); error != FileError::None)
        return error;
    auto fail = [&](FileError error) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temp.constData());
        return error;
    };
    if (const FileError error = fill(fd); error != FileError::None)
        return fail(error);
    if (modeFrom && ::fchmod(fd, modeFrom->st_mode & 07777) != 0)
        return fail(lastError());
    if (durability == Durability::Synced)
        if (const FileError error = syncDescriptor(fd); error != FileError::None)
            return fail(error);
    if (const FileError error = check(fd); error != FileError::None)
        return fail(error);
    const FileError closed = closeDescriptor(fd);
    fd = -1;
    if (closed != FileError::None)
        return fail(closed);
    if (const FileError error = renameInto(temp, target.real, replace); error != FileError::None)
        return fail(error);
    if (durability == Durability::Synced)
        return syncFolderBytes(folderOf(target.real));
    return FileError::None;
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

} // namespace confined_files_internal

using namespace confined_files_internal;

FileStatus statFile(const QString& nativePath, Area area) {
    FileStatus status;
    const Target target = resolveTarget(nativePath, area, true);
    status.realPath = decodeNativeName(target.real);
    if (target.error != FileError::None) {
        status.error = target.error;
        return status;
    }
    if (!target.exists)
        return status; // NotFound, Missing
    status.error = FileError::None;
    status.kind = kindOfMode(target.st.st_mode);
    status.size = S_ISREG(target.st.st_mode) ? qint64(target.st.st_size) : 0;
    status.identity = identityOf(target.st);
    return status;
}

FileStatus statFileInside(const QString& nativePath, const QString& rootNative) {
    FileStatus status;
    Target target = resolveTarget(nativePath, Area::User, true);
    if (target.error == FileError::None && !target.real.isEmpty())
        target.error = confineTo(target.real, rootNative);
    status.realPath = decodeNativeName(target.real);
    if (target.error != FileError::None) {
        status.error = target.error;
        return status;
    }
    if (!target.exists)
        return status;
    status.error = FileError::None;
    status.kind = kindOfMode(target.st.st_mode);
    status.size = S_ISREG(target.st.st_mode) ? qint64(target.st.st_size) : 0;
    status.identity = identityOf(target.st);
    return status;
}

FileIdentity fileIdentity(const QString& nativePath) {
    struct stat st {};
    if (nativePath.isEmpty() || nativePath.contains(QChar(0)) ||
        ::stat(encodeNativeName(nativePath).constData(), &st) != 0)
        return {};
    return identityOf(st);
}

FileError freeSpace(const QString& nativeFolder, Area area, uint64_t* bytes) {
    *bytes = 0;
    const Target target = resolveTarget(nativeFolder, area, false);
    if (target.error != FileError::None)
        return target.error;
    if (!S_ISDIR(target.st.st_mode))
        return FileError::NotFound;
    struct statvfs fs {};
    if (::statvfs(target.real.constData(), &fs) != 0)
        return lastError();
    *bytes = uint64_t(fs.f_bavail) * uint64_t(fs.f_frsize);
    return FileError::None;
}

bool sameFile(const QString& a, Area areaA, const QString& b, Area areaB) {
    const FileStatus first = statFile(a, areaA);
    if (first.error != FileError::None)
        return false;
    const FileStatus second = statFile(b, areaB);
    return second.error == FileError::None && first.identity == second.identity;
}

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

FileError appendToFile(const QString& nativePath, Area area, QByteArrayView bytes,
                       const AppendOptions& options, qint64* offset) {
    Target target = resolveTarget(nativePath, area, options.create);
    if (target.error != FileError::None)
        return target.error;
    if (target.exists) {
        if (const FileError kind = kindError(target.st); kind != FileError::None)
            return kind;
    } else if (!options.create) {
        return FileError::NotFound;
    }
    int fd = -1;
    struct stat st {};
    const bool created = !target.exists;
    if (const FileError error = openChecked(target, O_RDWR | (created ? O_CREAT : 0), 0666, &fd, &st);
        error != FileError::None)
        return error;
    // Appenders of one file (the rebuild, a backup pass, another instance) take turns.
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    if (::fstat(fd, &st) != 0) {
        const FileError error = lastError();
        ::close(fd);
        return error;
    }
    const qint64 oldSize = qint64(st.st_size);
    const bool wasEmpty = oldSize == 0;
    qint64 padding = 0;
    if (options.alignTo > 1 && oldSize % options.alignTo != 0)
        padding = options.alignTo - oldSize % options.alignTo;
    QByteArray data;
    data.reserve(qsizetype(padding) + bytes.size());
    data.append(QByteArray(qsizetype(padding), '\0'));
    data.append(bytes);

    auto rollBack = [&](FileError error) {
        // All or nothing: the bytes that did go in are cut off again.
        if (::ftruncate(fd, off_t(oldSize)) != 0) {
        }
        ::close(fd);
        if (created && wasEmpty)
            ::unlink(target.real.constData());
        return error;
    };
    if (const FileError error = writeAllAt(fd, oldSize, data.constData(), size_t(data.size()));
        error != FileError::None)
        return rollBack(error);
    if (options.durability == Durability::Synced)
        if (const FileError error = syncDescriptor(fd); error != FileError::None)
            return rollBack(error);
    {
        FileError error;
        if (injected(FileOp::Close, &error))
            return rollBack(error);
    }
    if (::close(fd) != 0 && errno != EINTR) {
        const FileError error = lastError();
        // The descriptor is gone; cut the file back through the real path that was checked.
        const int again = ::open(target.real.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (again >= 0) {
            if (::ftruncate(again, off_t(oldSize)) != 0) {
            }
            ::close(again);
        }
        return error;
    }
    if (created && options.durability == Durability::Synced)
        if (const FileError error = syncFolderBytes(folderOf(target.real)); error != FileError::None)
            return error;
    if (offset)
        *offset = oldSize + padding;
    return FileError::None;
}

FileError writeWholeFile(const QString& nativePath, Area area, QByteArrayView bytes, Replace replace,
                         Durability durability) {
    Target target;
    if (const FileError error = resolveWritable(nativePath, area, replace, &target); error != FileError::None)
        return error;
    return writeThroughTemporary(
        target, replace, durability,
        [&](int fd) { return writeAllAt(fd, 0, bytes.data(), size_t(bytes.size())); },
        target.exists ? &target.st : nullptr);
}

FileError copyFile(const QString& fromNative, Area fromArea, const QString& toNative, Area toArea,
                   Replace replace, Durability durability) {
    CopyOptions options;
    options.replace = replace;
    options.durability = durability;
    return copyFile(fromNative, fromArea, toNative, toArea, options);
}

FileError copyFile(const QString& fromNative, Area fromArea, const QString& toNative, Area toArea,
                   const CopyOptions& options) {
    const Replace replace = options.replace;
    const Durability durability = options.verify ? Durability::Synced : options.durability;
    int source = -1;
    Target from;
    struct stat sourceStat {};
    if (const FileError error = openExisting(fromNative, fromArea, O_RDONLY, &source, &from, &sourceStat);
        error != FileError::None)
        return error;
    Target to;
    if (const FileError error = resolveWritable(toNative, toArea, replace, &to); error != FileError::None) {
        ::close(source);
        return error;
    }
    if (to.exists && identityOf(to.st) == identityOf(sourceStat)) {
        ::close(source);
        return FileError::Exists; // a copy onto itself would destroy it
    }
    if (options.sha256)
        options.sha256->clear();
    std::optional<QCryptographicHash> hash;
    if (options.sha256)
        hash.emplace(QCryptographicHash::Sha256);
    const FileError result = writeThroughTemporary(
        to, replace, durability,
        [&](int fd) {
            std::vector<char> buffer(kCopyChunk);
            qint64 at = 0;
            for (;;) {
                size_t got = 0;
                if (const FileError e = readAllAt(source, at, buffer.data(), buffer.size(), &got);
                    e != FileError::None)
                    return e;
                if (got == 0)
                    break;
                if (hash)
                    hash->addData(QByteArrayView(buffer.data(), qsizetype(got)));
                if (const FileError e = writeAllAt(fd, at, buffer.data(), got); e != FileError::None)
                    return e;
                at += qint64(got);
            }
            // The copy carries the recording's time, as a copy made by the file manager would.
            const struct timespec times[2] = {sourceStat.st_atim, sourceStat.st_mtim};
            ::futimens(fd, times);
            return FileError::None;
        },
        to.exists ? &to.st : nullptr,
        [&](int fd) {
            if (!options.verify)
                return FileError::None;
            bool equal = false;
            const FileError e = compareDescriptors(source, fd, &equal);
            return e != FileError::None ? e : equal ? FileError::None : FileError::Mismatch;
        });
    ::close(source);
    if (result == FileError::None && hash)
        *options.sha256 = hash->result();
    return result;
}

FileError compareFiles(const QString& aNative, Area aArea, const QString& bNative, Area bArea, bool* equal) {
    int a = -1, b = -1;
    if (const FileError error = openExisting(aNative, aArea, O_RDONLY, &a, nullptr); error != FileError::None)
        return error;
    if (const FileError error = openExisting(bNative, bArea, O_RDONLY, &b, nullptr);
        error != FileError::None) {
        ::close(a);
        return error;
    }
    bool same = false;
    const FileError result = compareDescriptors(a, b, &same);
    ::close(a);
    ::close(b);
    if (result == FileError::None)
        *equal = same;
    return result;
}

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
