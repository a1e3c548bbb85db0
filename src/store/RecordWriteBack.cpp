#include "store/RecordWriteBack.h"

#include "config/Settings.h"
#include "format/CardRecord.h"
#include "platform/NativePath.h"
#include "store/AppState.h"
#include "store/CallLogFile.h"

#include <cstddef>
#include <QFile>

namespace tessa {
namespace {

struct Patch {
    qint64 offset;
    QByteArray bytes;
};

// Applies patches inside the record at recordOffset, only when the file exists and the whole record lies
// within it: a stale index must never extend or scribble past the end of a log.
WriteBack patchRecord(const QString& programPath, qint64 recordOffset, qint64 recordSize,
                      std::initializer_list<Patch> patches) {
    const QString native = platform::nativePath(programPath);
    if (native.isEmpty() || !QFile::exists(native))
        return WriteBack::NotWritten;
    QFile file(native);
    if (!file.open(QIODevice::ReadWrite))
        return WriteBack::NotWritten;
    if (file.size() < recordSize || recordOffset + recordSize > file.size())
        return WriteBack::NotWritten;
    for (const Patch& patch : patches) {
        if (!file.seek(recordOffset + patch.offset) || file.write(patch.bytes) != patch.bytes.size())
            return WriteBack::NotWritten;
    }
    return file.flush() ? WriteBack::Written : WriteBack::NotWritten;
}

QByteArray le32(uint32_t value) {
    QByteArray bytes(4, '\0');
    writeLeU32(reinterpret_cast<uint8_t*>(bytes.data()), value);
    return bytes;
}

QString monthLogOf(const CallRecord& record, int modelCode, const QString& backupRoot) {
    return monthLogPath(backupRoot, modelCode, record.time.year, record.time.month);
}

QString cardLogOf(const CallRecord& record) {
    return record.shortPath.empty()
               ? QString()
               : QString(record.shortPath.text().front()) + QStringLiteral(":\\CallLog.dat");
}

} // namespace

WriteBack writeMarked(const CallRecord& record, int value, int viewMode, int modelCode,
                      const QString& backupRoot) {
    const char flag = char(value);
    if (viewMode == ViewBackup)
        return patchRecord(monthLogOf(record, modelCode, backupRoot),
                           qint64(record.index) * kMonthLogRecordSize, kMonthLogRecordSize,
                           {{CallRecord::kMarkedByte, QByteArray(1, flag)},
                            {offsetof(CallRecord, marked), le32(uint32_t(value))}});
    const qint64 size = qint64(cardRecordSize(modelCode));
    return patchRecord(cardLogOf(record), qint64(record.index) * size, size,
                       {{CardRecord128::kMarkedOffset, QByteArray(1, flag)}});
}

WriteBack writeDeleted(const CallRecord& record, int viewMode, int modelCode, const QString& backupRoot) {
    if (viewMode == ViewBackup)
        return patchRecord(
            monthLogOf(record, modelCode, backupRoot), qint64(record.index) * kMonthLogRecordSize,
            kMonthLogRecordSize,
            {{CallRecord::kValidByte, QByteArray(1, '\0')}, {offsetof(CallRecord, valid), le32(0)}});
    const qint64 size = qint64(cardRecordSize(modelCode));
    return patchRecord(cardLogOf(record), qint64(record.index) * size, size,
                       {{CardRecord128::kValidOffset, QByteArray(1, '\0')}});
}

WriteBack writeRestored(const CallRecord& record, int viewMode, int modelCode, const QString& backupRoot) {
    if (viewMode == ViewBackup)
        return patchRecord(
            monthLogOf(record, modelCode, backupRoot), qint64(record.index) * kMonthLogRecordSize,
            kMonthLogRecordSize,
            {{CallRecord::kValidByte, QByteArray(1, '\1')}, {offsetof(CallRecord, valid), le32(1)}});
    const qint64 size = qint64(cardRecordSize(modelCode));
    return patchRecord(cardLogOf(record), qint64(record.index) * size, size,
                       {{CardRecord128::kValidOffset, QByteArray(1, '\1')}});
}

CallRecord* findByFullPath(AppState& state, const QString& fullPath, bool liveOnly) {
    for (CallRecord& record : state.currentRecords()) {
        if (liveOnly && (record.valid != 1 || !record.validByte()))
            continue;
        if (record.fullPath.equals(fullPath))
            return &record;
    }
    return nullptr;
}

bool setMarked(AppState& state, const QString& fullPath, int value, WriteBack* written) {
    CallRecord* record = findByFullPath(state, fullPath, false);
    if (!record)
        return false;
    const WriteBack result = writeMarked(*record, value, state.viewMode, state.modelCode,
                                         readStringSetting(QStringLiteral("BackupPath")));
    if (written)
        *written = result;
    return true;
}

bool deleteRecord(AppState& state, const QString& fullPath, WriteBack* written) {
    CallRecord* record = findByFullPath(state, fullPath, true);
    if (!record)
        return false;
    const WriteBack result = writeDeleted(*record, state.viewMode, state.modelCode,
                                          readStringSetting(QStringLiteral("BackupPath")));
    if (written)
        *written = result;
    state.currentRecords().remove(record);
    return true;
}

} // namespace tessa
