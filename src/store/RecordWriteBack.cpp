#include "store/RecordWriteBack.h"

#include "format/CardRecord.h"
#include "platform/CodePage.h"
#include "platform/ConfinedFiles.h"
#include "store/AppState.h"
#include "store/CallLogFile.h"

#include <cstddef>
#include <cstring>
#include <vector>

namespace tessa {
namespace write_back_internal {

struct Patch {
    qint64 offset;
    QByteArray bytes;
};

QByteArray le32(uint32_t value) {
    QByteArray bytes(4, '\0');
    writeLeU32(reinterpret_cast<uint8_t*>(bytes.data()), value);
    return bytes;
}

WriteBack ofFileError(platform::FileError error) {
    switch (error) {
    case platform::FileError::None:
        return WriteBack::Written;
    case platform::FileError::Outside:
    case platform::FileError::NotRegular:
    case platform::FileError::Folder:
        return WriteBack::Refused;
    default:
        return WriteBack::NotWritten;
    }
}

// The card path text of a card record slot, as the decoder forms it ("X:\" and the path).
QString cardSlotPath(const uint8_t* slot, uint32_t recordSize, QChar drive) {
    const bool wide = recordSize == CardRecord256::kSize;
    const size_t offset = wide ? offsetof(CardRecord256, cardPath) : offsetof(CardRecord128, cardPath);
    const size_t field = wide ? sizeof(CardRecord256::cardPath) : sizeof(CardRecord128::cardPath);
    return drive + QStringLiteral(":\\") +
           platform::systemCodePage().decode(reinterpret_cast<const char*>(slot + offset), field);
}

// Reads the record's slot in its origin, checks that it still holds the record, then applies the
// patches inside it. A slot beyond the end of the log is never written: a stale index must not extend a
// log or scribble past its end.
WriteBack patchSlot(const CallRecord& record, const RecordOrigin* origin,
                    std::initializer_list<Patch> patches) {
    if (!origin || origin->logPath.isEmpty() || origin->recordSize == 0)
        return WriteBack::NoOrigin;
    const platform::Area area = origin->monthLog() ? platform::Area::Backup : platform::Area::Card;
    platform::ConfinedFile file;
    if (const auto error = file.open(origin->logPath, area, platform::ConfinedFile::Mode::ReadWrite);
        error != platform::FileError::None)
        return ofFileError(error);
    const qint64 size = qint64(origin->recordSize);
    const qint64 at = qint64(record.index) * size;
    if (file.size() < at + size)
        return WriteBack::Stale;
    std::vector<uint8_t> slot(static_cast<size_t>(size));
    size_t got = 0;
    if (const auto error = file.readAt(at, slot.data(), slot.size(), &got);
        error != platform::FileError::None)
        return ofFileError(error);
    if (got != slot.size())
        return WriteBack::Stale;
    if (!slotHoldsRecord(slot.data(), record, *origin))
        return WriteBack::Stale;
    for (const Patch& patch : patches)
        if (const auto error = file.writeAt(at + patch.offset, patch.bytes);
            error != platform::FileError::None)
            return ofFileError(error);
    return ofFileError(file.close());
}

} // namespace write_back_internal

using namespace write_back_internal;

const char* writeBackText(WriteBack result) {
    switch (result) {
    case WriteBack::Written:
        return "written";
    case WriteBack::NotWritten:
        return "the call log could not be written";
    case WriteBack::Refused:
        return "the call log is not a regular file inside the card or backup folder";
    case WriteBack::Stale:
        return "the call log no longer holds this record at its place";
    case WriteBack::NoOrigin:
        return "the record was not read from a call log";
    }
    return "";
}

bool slotHoldsRecord(const uint8_t* slot, const CallRecord& record, const RecordOrigin& origin) {
    const QString path = record.fullPath.text();
    if (origin.monthLog()) {
        CallRecord stored;
        std::memcpy(&stored, slot, sizeof stored);
        boundMonthLogStrings(stored);
        return stored.fullPath.text() == path;
    }
    if (path.size() < 3)
        return false;
    return cardSlotPath(slot, origin.recordSize, path[0]) == path;
}

WriteBack writeMarked(const CallRecord& record, const RecordOrigin* origin, int value) {
    const char flag = char(value);
    if (origin && origin->monthLog())
        return patchSlot(record, origin,
                         {{CallRecord::kMarkedByte, QByteArray(1, flag)},
                          {offsetof(CallRecord, marked), le32(uint32_t(value))}});
    return patchSlot(record, origin, {{CardRecord128::kMarkedOffset, QByteArray(1, flag)}});
}

WriteBack writeDeleted(const CallRecord& record, const RecordOrigin* origin) {
    if (origin && origin->monthLog())
        return patchSlot(
            record, origin,
            {{CallRecord::kValidByte, QByteArray(1, '\0')}, {offsetof(CallRecord, valid), le32(0)}});
    return patchSlot(record, origin, {{0, QByteArray(1, '\0')}});
}

WriteBack writeRestored(const CallRecord& record, const RecordOrigin* origin) {
    if (origin && origin->monthLog())
        return patchSlot(
            record, origin,
            {{CallRecord::kValidByte, QByteArray(1, '\1')}, {offsetof(CallRecord, valid), le32(1)}});
    return patchSlot(record, origin, {{0, QByteArray(1, '\1')}});
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
    const WriteBack result = writeMarked(*record, state.currentRecords().origin(record), value);
    if (written)
        *written = result;
    return true;
}

bool deleteRecord(AppState& state, const QString& fullPath, WriteBack* written) {
    CallRecord* record = findByFullPath(state, fullPath, true);
    if (!record)
        return false;
    const WriteBack result = writeDeleted(*record, state.currentRecords().origin(record));
    if (written)
        *written = result;
    state.currentRecords().remove(record);
    return true;
}

} // namespace tessa
