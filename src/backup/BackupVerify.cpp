#include "backup/BackupVerify.h"

#include "audio/CodecTable.h"
#include "audio/OpenRecording.h"
#include "backup/BackupLayout.h"
#include "backup/BackupManifest.h"
#include "format/CallRecord.h"
#include "format/ContainerHeader.h"
#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"
#include "platform/Sha256.h"
#include "store/CallLogFile.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace tessa {

using platform::Area;
using platform::FileError;

namespace backup_verify_internal {

constexpr size_t kReadChunk = 1 << 20;

struct MonthLog {
    uint32_t month = 0;
    QString name;
};

struct LoggedCopy {
    uint32_t month = 0;
    uint32_t index = 0;
    QString loggedPath;
};

// The month logs of the model folder in month order; the month is the number their name begins with.
std::vector<MonthLog> findMonthLogs(const QString& callLogFolderNative, bool* found) {
    std::vector<MonthLog> logs;
    std::vector<platform::FolderEntry> entries;
    *found = platform::listFolder(callLogFolderNative, Area::Backup, &entries) == FileError::None;
    for (const platform::FolderEntry& entry : entries) {
        if (entry.kind != platform::EntryKind::File || !isMonthLogName(entry.name))
            continue;
        qsizetype digits = 0;
        while (digits < entry.name.size() && entry.name[digits].isDigit())
            ++digits;
        logs.push_back({entry.name.left(digits).toUInt(), entry.name});
    }
    std::sort(logs.begin(), logs.end(), [](const MonthLog& a, const MonthLog& b) {
        return a.month != b.month ? a.month < b.month : a.name < b.name;
    });
    return logs;
}

QString errorText(FileError error) {
    return QString::fromLatin1(platform::fileErrorText(error));
}

// Opens, inspects and (when listed) hashes one copy; fills state and reason.
void checkCopy(const QString& native, const QString& relativePath, const QByteArray* listed,
               VerifiedCopy& copy) {
    platform::ConfinedFile file;
    if (const FileError error = file.open(native, Area::Backup, platform::ConfinedFile::Mode::Read);
        error != FileError::None) {
        copy.state = error == FileError::NotFound ? CopyState::Missing : CopyState::Damaged;
        copy.reason = error == FileError::NotFound
                          ? QStringLiteral("the copy is not in the backup")
                          : QStringLiteral("the copy cannot be opened: ") + errorText(error);
        return;
    }
    const qint64 size = file.size();
    ContainerHeader header{};
    RecordingLayout layout = recordingLayout(relativePath, header);
    if (layout.container) {
        size_t got = 0;
        if (const FileError error = file.readAt(0, &header, sizeof header, &got); error != FileError::None) {
            copy.state = CopyState::Damaged;
            copy.reason = QStringLiteral("the copy cannot be read: ") + errorText(error);
            return;
        }
        layout = recordingLayout(relativePath, header);
    }
    if (size <= qint64(layout.dataOffset)) {
        copy.state = CopyState::Damaged;
        copy.reason = QStringLiteral("the copy is empty or ends before its audio");
        return;
    }
    if (size >= kMaxRecordingSize) {
        copy.state = CopyState::Damaged;
        copy.reason = QStringLiteral("the copy is too large to be a recording");
        return;
    }
    if (!listed) {
        copy.state = CopyState::Unlisted;
        return;
    }
    platform::Sha256 hash;
    std::vector<char> buffer(kReadChunk);
    for (;;) {
        size_t got = 0;
        if (const FileError error = file.read(buffer.data(), buffer.size(), &got); error != FileError::None) {
            copy.state = CopyState::Damaged;
            copy.reason = QStringLiteral("the copy cannot be read: ") + errorText(error);
            return;
        }
        if (got == 0)
            break;
        hash.addData(QByteArrayView(buffer.data(), qsizetype(got)));
    }
    if (hash.result() != *listed) {
        copy.state = CopyState::Damaged;
        copy.reason = QStringLiteral("the checksum differs from the manifest");
        return;
    }
    copy.state = CopyState::Intact;
}

} // namespace backup_verify_internal

using namespace backup_verify_internal;

VerifySummary verifyBackup(const QString& root, int modelCode, const std::function<bool()>& stopRequested,
                           VerifyObserver& observer) {
    VerifySummary summary;
    if (root.isEmpty())
        return summary;
    platform::setBackupRoot(platform::nativePath(root));
    const QString modelRoot = backupModelRoot(root, modelCode);
    const QString modelNative = platform::nativePath(modelRoot);
    bool found = false;
    const std::vector<MonthLog> logs =
        findMonthLogs(platform::nativePath(backupCallLogFolder(modelRoot)), &found);
    if (!found)
        return summary;
    summary.ran = true;

    // Every live record first, so that the progress has its range before the first copy is read.
    std::vector<LoggedCopy> copies;
    for (const MonthLog& log : logs) {
        QByteArray bytes;
        const FileError read = platform::readWholeFile(
            platform::nativePath(backupCallLogFolder(modelRoot) + log.name), Area::Backup, &bytes);
        if (read != FileError::None) {
            ++summary.unreadableLogs;
            observer.logUnreadable(log.name);
            continue;
        }
        ++summary.monthLogs;
        CallRecord record;
        uint32_t index = 0;
        for (qsizetype at = 0; at + qsizetype(CallRecord::kSize) <= bytes.size();
             at += qsizetype(CallRecord::kSize), ++index) {
            std::memcpy(record.bytes(), bytes.constData() + at, CallRecord::kSize);
            if (!record.validByte())
                continue;
            boundMonthLogStrings(record);
            copies.push_back({log.month, index, record.fullPath.text()});
        }
    }

    std::map<uint32_t, std::map<QString, QByteArray>> manifests;
    auto manifestOf = [&](uint32_t month) -> const std::map<QString, QByteArray>& {
        auto known = manifests.find(month);
        if (known == manifests.end()) {
            QByteArray bytes;
            platform::readWholeFile(platform::nativePath(manifestPath(modelRoot, month)), Area::Backup,
                                    &bytes);
            known = manifests.emplace(month, parseManifest(bytes)).first;
        }
        return known->second;
    };

    summary.complete = true;
    observer.rangeSet(uint32_t(copies.size()));
    for (size_t i = 0; i < copies.size(); ++i) {
        if (stopRequested && stopRequested()) {
            summary.complete = false;
            break;
        }
        observer.positionSet(uint32_t(i + 1));
        const LoggedCopy& logged = copies[i];
        VerifiedCopy copy;
        copy.month = logged.month;
        copy.index = logged.index;
        const auto relative = copyPathInModelFolder(logged.loggedPath);
        copy.relativePath = relative ? *relative : logged.loggedPath;
        if (!relative) {
            copy.state = CopyState::Missing;
            copy.reason = QStringLiteral("the month log names no copy in the backup tree");
        } else if (relative->endsWith(QLatin1String(".tmp"))) {
            copy.state = CopyState::Placeholder;
        } else {
            const auto& manifest = manifestOf(logged.month);
            const auto listed = manifest.find(*relative);
            checkCopy(modelNative + *relative, *relative,
                      listed == manifest.end() ? nullptr : &listed->second, copy);
        }
        ++summary.records;
        switch (copy.state) {
        case CopyState::Intact:
            ++summary.intact;
            break;
        case CopyState::Unlisted:
            ++summary.unlisted;
            break;
        case CopyState::Missing:
            ++summary.missing;
            break;
        case CopyState::Damaged:
            ++summary.damaged;
            break;
        case CopyState::Placeholder:
            ++summary.placeholders;
            break;
        }
        observer.copyChecked(copy);
    }
    return summary;
}

QString copyStateText(CopyState state) {
    switch (state) {
    case CopyState::Intact:
        return QStringLiteral("intact");
    case CopyState::Unlisted:
        return QStringLiteral("unlisted");
    case CopyState::Missing:
        return QStringLiteral("missing");
    case CopyState::Damaged:
        return QStringLiteral("damaged");
    case CopyState::Placeholder:
        return QStringLiteral("placeholder");
    }
    return {};
}

} // namespace tessa
