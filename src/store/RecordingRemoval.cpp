#include "store/RecordingRemoval.h"

#include "platform/NativePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tessa {
namespace {

// True when the canonical file lies below the canonical root (links are followed on both sides).
bool inside(const QString& canonicalFile, const QString& allowedRootNative) {
    const QString root = QFileInfo(allowedRootNative).canonicalFilePath();
    if (root.isEmpty() || canonicalFile.isEmpty())
        return false;
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return canonicalFile.startsWith(prefix);
}

} // namespace

RecordingRemoval checkRecordingRemoval(const QString& programPath, const QString& allowedRootNative) {
    const QString native = platform::nativePath(programPath);
    if (native.isEmpty())
        return RecordingRemoval::Refused;
    const QFileInfo file(native);
    if (!file.exists() && !file.isSymLink())
        return RecordingRemoval::Missing;
    if (file.isDir() || !inside(file.canonicalFilePath(), allowedRootNative))
        return RecordingRemoval::Refused;
    return RecordingRemoval::Removed;
}

RecordingRemoval removeRecording(const QString& programPath, const QString& allowedRootNative) {
    const RecordingRemoval check = checkRecordingRemoval(programPath, allowedRootNative);
    if (check != RecordingRemoval::Removed)
        return check;
    return QFile::remove(platform::nativePath(programPath)) ? RecordingRemoval::Removed
                                                            : RecordingRemoval::Failed;
}

} // namespace tessa
