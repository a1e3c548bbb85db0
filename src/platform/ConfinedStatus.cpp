#include "platform/ConfinedIo.h"
#include "platform/NativeName.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace tessa::platform {

using namespace confined_files_internal;
using namespace confined_path_internal;

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

} // namespace tessa::platform
