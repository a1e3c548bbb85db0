#include "platform/ConfinedIo.h"
#include "platform/NativeName.h"

#include <cerrno>
#include <fcntl.h>
#include <QRandomGenerator>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessa::platform::confined_files_internal {

using namespace confined_path_internal;

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

FileError renameInto(const QByteArray& from, const QByteArray& to, Replace replace, bool* crossDevice) {
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

// Fills a temporary file beside the target, optionally syncs it, lets check look at the finished file,
// and renames it into place.
FileError writeThroughTemporary(const Target& target, Replace replace, Durability durability,
                                const DescriptorStep& fill, const struct stat* modeFrom,
                                const DescriptorStep& check) {
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
    if (const FileError error = check ? check(fd) : FileError::None; error != FileError::None)
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

} // namespace tessa::platform::confined_files_internal

namespace tessa::platform {

using namespace confined_files_internal;
using namespace confined_path_internal;

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

} // namespace tessa::platform
