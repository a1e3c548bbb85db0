#include "backup/CardLogAfterMove.h"

#include "backup/BackupLayout.h"
#include "format/CardRecord.h"
#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"
#include "store/CardRecordCodec.h"

#include <cstring>
#include <set>

namespace tessa {

using platform::Area;
using platform::FileError;

namespace {

// The short card path of a live slot, decoded as the loader decodes it; empty for a slot not in use.
QString slotCardPath(const char* slot, size_t recordSize, char driveLetter, int modelCode,
                     CallRecord* decoded) {
    uint8_t card[CardRecord256::kSize] = {};
    std::memcpy(card, slot, recordSize);
    *decoded = CallRecord{};
    if (card[0] != 1 || !decodeCardRecord(card, *decoded, driveLetter, modelCode, nullptr))
        return {};
    return decoded->shortPath.text();
}

// The entry's recording is a regular file on the card now.
bool recordingOnCard(CallRecord record) {
    if (!record.shortPath.text().contains(QLatin1Char('-')))
        completeRecordName(record);
    const QString native = platform::nativePath(record.shortPath.text());
    if (native.isEmpty())
        return false;
    const platform::FileStatus status = platform::statFile(native, Area::Card);
    return status.error == FileError::None && status.kind == platform::EntryKind::File;
}

} // namespace

CardLogChange updateCardLogAfterMove(const QString& cardLogPath, char driveLetter, int modelCode,
                                     const std::vector<LeftCardRecord>& left, bool wholeLogBackedUp) {
    if (left.empty() && !wholeLogBackedUp)
        return CardLogChange::Untouched;
    const QString native = platform::nativePath(cardLogPath);
    QByteArray bytes;
    if (native.isEmpty() || platform::readWholeFile(native, Area::Card, &bytes) != FileError::None)
        return left.empty() ? CardLogChange::Untouched : CardLogChange::Failed;

    const size_t size = cardRecordSize(modelCode);
    const size_t count = size_t(bytes.size()) / size;
    std::set<size_t> clear;
    bool othersOnCard = false;
    CallRecord decoded;
    for (size_t i = 0; i < count; ++i) {
        const QString path =
            slotCardPath(bytes.constData() + i * size, size, driveLetter, modelCode, &decoded);
        if (path.isEmpty())
            continue;
        bool movedAway = false;
        for (const LeftCardRecord& r : left)
            if (r.index == i && r.cardPath == path) {
                movedAway = true;
                break;
            }
        if (movedAway)
            clear.insert(i);
        else if (wholeLogBackedUp && !othersOnCard)
            othersOnCard = recordingOnCard(decoded);
    }

    if (wholeLogBackedUp && !othersOnCard)
        return platform::removeFile(native, Area::Card) == FileError::None ? CardLogChange::Deleted
                                                                           : CardLogChange::Failed;
    if (clear.empty())
        return left.empty() ? CardLogChange::Untouched : CardLogChange::Failed;

    platform::ConfinedFile file;
    if (file.open(native, Area::Card, platform::ConfinedFile::Mode::ReadWrite) != FileError::None)
        return CardLogChange::Failed;
    const char zero = 0;
    bool failed = false;
    for (const size_t i : clear)
        if (file.writeAt(qint64(i * size), QByteArrayView(&zero, 1)) != FileError::None)
            failed = true;
    if (file.sync() != FileError::None)
        failed = true;
    if (file.close() != FileError::None)
        failed = true;
    // Some entries may have been cleared before a failure: the log then names less than before, never a
    // recording that left without also naming the ones that stayed.
    return failed || clear.size() != left.size() ? CardLogChange::Failed : CardLogChange::EntriesCleared;
}

} // namespace tessa
