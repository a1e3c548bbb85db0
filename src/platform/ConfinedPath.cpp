#include "platform/ConfinedPath.h"

#include "platform/NativeName.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <unistd.h>
#include <vector>

namespace tessa::platform::confined_path_internal {
namespace {

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};

// realpath(3) without a length limit; empty with errno set on failure.
QByteArray realPathOf(const QByteArray& path) {
    std::unique_ptr<char, FreeDeleter> resolved(::realpath(path.constData(), nullptr));
    return resolved ? QByteArray(resolved.get()) : QByteArray();
}

QByteArray parentOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

bool underByName(const QByteArray& real, const QByteArray& rootReal) {
    if (rootReal == "/")
        return real.startsWith('/');
    return real == rootReal || (real.startsWith(rootReal) && real.at(rootReal.size()) == '/');
}

// The same question answered by identity: some folder on the way up from the real path is the root.
// This holds where the name test fails only because a case-insensitive file system accepted another
// spelling of the root.
bool underByIdentity(const QByteArray& real, const QByteArray& rootReal) {
    struct stat root {};
    if (::stat(rootReal.constData(), &root) != 0)
        return false;
    QByteArray at = real;
    for (;;) {
        struct stat st {};
        if (::stat(at.constData(), &st) == 0 && st.st_dev == root.st_dev && st.st_ino == root.st_ino)
            return true;
        if (at == "/")
            return false;
        at = parentOf(at);
    }
}

} // namespace

QByteArray stripTrailingSlashes(QByteArray path) {
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

QByteArray absoluteBytes(const QString& nativePath) {
    QByteArray path = encodeNativeName(nativePath);
    if (path.startsWith('/'))
        return path;
    std::vector<char> cwd(4096);
    while (!::getcwd(cwd.data(), cwd.size())) {
        if (errno != ERANGE)
            return path; // stays relative; realpath resolves it the same way
        cwd.resize(cwd.size() * 2);
    }
    QByteArray absolute(cwd.data());
    if (!absolute.endsWith('/'))
        absolute += '/';
    return absolute + path;
}

namespace {

// The real paths of the area's roots that are set and exist.
struct AreaRoots {
    bool anySet = false;
    int count = 0;
    QByteArray real[2];
};

AreaRoots rootsOf(Area area) {
    AreaRoots roots;
    QString given[2];
    int n = 0;
    if (area == Area::Card || area == Area::CardOrBackup)
        given[n++] = cardRoot();
    if (area == Area::Backup || area == Area::CardOrBackup)
        given[n++] = backupRoot();
    for (int i = 0; i < n; ++i) {
        if (given[i].isEmpty())
            continue;
        roots.anySet = true;
        const QByteArray real = realPathOf(stripTrailingSlashes(absoluteBytes(given[i])));
        if (!real.isEmpty())
            roots.real[roots.count++] = real;
    }
    return roots;
}

// NoRoot or Vanished when the area has no root to be inside of; None otherwise (and for User).
FileError rootState(Area area, const AreaRoots& roots) {
    if (area == Area::User)
        return FileError::None;
    if (!roots.anySet)
        return FileError::NoRoot;
    return roots.count == 0 ? FileError::Vanished : FileError::None;
}

// A failed resolution: a pulled card says so rather than "no such file".
FileError failure(Area area, FileError error) {
    const FileError state = rootState(area, rootsOf(area));
    return state != FileError::None ? state : error;
}

} // namespace

FileError confine(const QByteArray& real, Area area) {
    if (area == Area::User)
        return FileError::None;
    const AreaRoots roots = rootsOf(area);
    if (const FileError state = rootState(area, roots); state != FileError::None)
        return state;
    for (int i = 0; i < roots.count; ++i)
        if (underByName(real, roots.real[i]) || underByIdentity(real, roots.real[i]))
            return FileError::None;
    return FileError::Outside;
}

FileError confineTo(const QByteArray& real, const QString& rootNative) {
    if (rootNative.isEmpty())
        return FileError::NoRoot;
    const QByteArray rootReal = realPathOf(stripTrailingSlashes(absoluteBytes(rootNative)));
    if (rootReal.isEmpty())
        return FileError::Vanished;
    return underByName(real, rootReal) || underByIdentity(real, rootReal) ? FileError::None
                                                                          : FileError::Outside;
}

Target resolveTarget(const QString& nativePath, Area area, bool mayBeMissing) {
    Target target;
    if (nativePath.isEmpty() || nativePath.contains(QChar(0))) {
        target.error = FileError::Invalid;
        return target;
    }
    const QByteArray path = stripTrailingSlashes(absoluteBytes(nativePath));
    QByteArray real = realPathOf(path);
    if (!real.isEmpty()) {
        if (::lstat(real.constData(), &target.st) != 0) {
            target.error = fileErrorOfErrno(errno);
            return target;
        }
        target.exists = true;
    } else {
        const int failed = errno;
        if (failed != ENOENT || !mayBeMissing) {
            target.error = confined_path_internal::failure(area, fileErrorOfErrno(failed));
            return target;
        }
        const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
        if (name.isEmpty() || name == "." || name == "..") {
            target.error = FileError::Invalid;
            return target;
        }
        const QByteArray folder = realPathOf(parentOf(path));
        if (folder.isEmpty()) {
            target.error = confined_path_internal::failure(area, fileErrorOfErrno(errno));
            return target;
        }
        real = folder == "/" ? folder + name : folder + '/' + name;
        struct stat st {};
        if (::lstat(real.constData(), &st) == 0) {
            // Something realpath could not follow: a link that leads nowhere (or out of reach).
            target.real = real;
            target.error = confine(real, area);
            if (target.error == FileError::None)
                target.error = FileError::NotRegular;
            return target;
        }
    }
    target.real = real;
    target.error = confine(real, area);
    return target;
}

} // namespace tessa::platform::confined_path_internal
