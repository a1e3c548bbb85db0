#include "backup/BackupChanges.h"

#include "backup/BackupLayout.h"
#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"
#include "store/CallLogFile.h"

#include <QCryptographicHash>
#include <vector>

namespace tessa {

uint64_t monthLogsSignature(const QString& root, int modelCode) {
    if (root.isEmpty())
        return 0;
    const QString folder = platform::nativePath(backupCallLogFolder(backupModelRoot(root, modelCode)));
    std::vector<platform::FolderEntry> entries;
    if (folder.isEmpty() ||
        platform::listFolder(folder, platform::Area::Backup, &entries) != platform::FileError::None)
        return 0;
    // Order-independent: each log's name and size hashed on its own, the hashes added.
    uint64_t signature = 0;
    for (const platform::FolderEntry& entry : entries) {
        if (entry.kind != platform::EntryKind::File || !isMonthLogName(entry.name))
            continue;
        const QByteArray key = entry.name.toUtf8() + '/' + QByteArray::number(entry.size);
        const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256);
        uint64_t part = 0;
        for (int i = 0; i < 8; ++i)
            part = (part << 8) | uint8_t(hash[i]);
        signature += part | 1;
    }
    return signature;
}

} // namespace tessa

namespace tessa {

void MonthLogWatch::loading(const QString& root, int modelCode) {
    shown_ = monthLogsSignature(root, modelCode);
    known_ = true;
    pendingKnown_ = false;
}

bool MonthLogWatch::reloadDue(const QString& root, int modelCode) {
    const uint64_t now = monthLogsSignature(root, modelCode);
    if (!known_) {
        shown_ = now;
        known_ = true;
        pendingKnown_ = false;
        return false;
    }
    if (now == shown_) {
        pendingKnown_ = false;
        return false;
    }
    if (pendingKnown_ && pending_ == now)
        return true;
    pending_ = now;
    pendingKnown_ = true;
    return false;
}

} // namespace tessa
