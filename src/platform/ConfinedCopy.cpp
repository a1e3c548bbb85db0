#include "platform/ConfinedIo.h"
#include "platform/Sha256.h"

#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tessa::platform::confined_files_internal {

using namespace confined_path_internal;

// The cached pages of a synced file are clean, so dropping them makes the next read come from the disk
// or the card.
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

} // namespace tessa::platform::confined_files_internal

namespace tessa::platform {

using namespace confined_files_internal;
using namespace confined_path_internal;

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
    std::optional<Sha256> hash;
    if (options.sha256)
        hash.emplace();
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

} // namespace tessa::platform
