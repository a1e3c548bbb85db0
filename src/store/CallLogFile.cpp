#include "store/CallLogFile.h"

#include "format/CardRecord.h"
#include "platform/ConfinedFiles.h"
#include "store/CardRecordCodec.h"

#include <cstring>
#include <vector>

namespace tessa {
namespace {

// Records are read in batches: a log of 100 000 records is read in a few hundred calls.
constexpr size_t kBatchRecords = 256;

class BatchReader {
public:
    BatchReader(platform::ConfinedFile& file, size_t recordSize) : file_(file), recordSize_(recordSize) {}
    // The next whole record, or null at the end of the data actually present (or at a read error).
    const uint8_t* next() {
        if (pos_ == filled_) {
            buffer_.resize(kBatchRecords * recordSize_);
            size_t got = 0;
            if (file_.readAt(offset_, buffer_.data(), buffer_.size(), &got) != platform::FileError::None)
                got = 0;
            pos_ = 0;
            filled_ = got / recordSize_ * recordSize_;
            offset_ += qint64(filled_);
            if (filled_ == 0)
                return nullptr;
        }
        const uint8_t* record = buffer_.data() + pos_;
        pos_ += recordSize_;
        return record;
    }

private:
    platform::ConfinedFile& file_;
    size_t recordSize_;
    qint64 offset_ = 0;
    std::vector<uint8_t> buffer_;
    size_t pos_ = 0;
    size_t filled_ = 0;
};

bool quitting(const std::atomic<bool>* quit) {
    return quit && quit->load(std::memory_order_relaxed);
}

bool openLog(platform::ConfinedFile& file, const QString& nativePath, platform::Area area) {
    return !nativePath.isEmpty() &&
           file.open(nativePath, area, platform::ConfinedFile::Mode::Read) == platform::FileError::None;
}

} // namespace

QString backupModelFolder(int modelCode) {
    return modelCode == ModelVX5 ? QStringLiteral("TessaDeviceBackupM") : QStringLiteral("TessaDeviceBackup");
}

QString monthLogPath(const QString& backupRoot, int modelCode, int year, int month) {
    return QStringLiteral("%1%2\\CallLog\\%3%4%5")
        .arg(backupRoot, backupModelFolder(modelCode))
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(kMonthLogSuffix);
}

QString monthLogPathOfMonth(const QString& backupRoot, int modelCode, uint32_t yyyymm) {
    return QStringLiteral("%1%2\\CallLog\\%3%4")
        .arg(backupRoot, backupModelFolder(modelCode))
        .arg(yyyymm)
        .arg(kMonthLogSuffix);
}

bool isMonthLogName(const QString& path) {
    return path.endsWith(kMonthLogSuffix);
}

void boundMonthLogStrings(CallRecord& record) {
    record.number.bound<31>();
    record.name.bound<36>();
    record.shortPath.bound<45>();
    record.fullPath.bound<259>();
}

LogReadStatus readCardLog(const QString& nativePath, platform::Area area, char driveLetter, int modelCode,
                          const ContactList* contacts, const std::atomic<bool>* quit,
                          const LogReadHandlers& handlers) {
    platform::ConfinedFile file;
    if (!openLog(file, nativePath, area))
        return LogReadStatus::Unreadable;
    const qint64 size = file.size();
    if (size < 0)
        return LogReadStatus::Unreadable;
    const size_t recordSize = cardRecordSize(modelCode);
    const uint32_t count = uint32_t(std::min<qint64>(size / qint64(recordSize), UINT32_MAX));
    if (count == 0)
        return LogReadStatus::Empty;

    // Nothing is shown for a log whose records are all deleted.
    {
        BatchReader probe(file, recordSize);
        bool live = false;
        while (const uint8_t* card = probe.next())
            if (cardRecordInUse(card)) {
                live = true;
                break;
            }
        if (!live)
            return LogReadStatus::NoLiveRecord;
    }

    if (handlers.started)
        handlers.started(count);
    BatchReader reader(file, recordSize);
    uint8_t card[CardRecord256::kSize];
    for (uint32_t i = 0; i < count; ++i) {
        if (quitting(quit))
            break;
        const uint8_t* next = reader.next();
        if (!next)
            break; // the log shrank while being read
        std::memset(card, 0, sizeof card);
        std::memcpy(card, next, recordSize);
        CallRecord record{};
        CallRecord* kept = nullptr;
        if (cardRecordInUse(card)) {
            record.index = i;
            if (decodeCardRecord(card, record, driveLetter, modelCode, contacts))
                kept = &record;
        }
        if (handlers.record)
            handlers.record(i + 1, count, kept);
    }
    return LogReadStatus::Read;
}

LogReadStatus readMonthLog(const QString& nativePath, platform::Area area, const std::atomic<bool>* quit,
                           const LogReadHandlers& handlers) {
    platform::ConfinedFile file;
    if (!openLog(file, nativePath, area))
        return LogReadStatus::Unreadable;
    const qint64 size = file.size();
    if (size < 0)
        return LogReadStatus::Unreadable;
    const uint32_t count = uint32_t(std::min<qint64>(size / qint64(kMonthLogRecordSize), UINT32_MAX));
    if (count == 0)
        return LogReadStatus::Empty;
    if (handlers.started)
        handlers.started(count);
    BatchReader reader(file, kMonthLogRecordSize);
    for (uint32_t i = 0; i < count; ++i) {
        if (quitting(quit))
            break;
        const uint8_t* next = reader.next();
        if (!next)
            break;
        CallRecord record;
        std::memcpy(&record, next, sizeof record);
        CallRecord* kept = nullptr;
        if (record.validByte()) {
            boundMonthLogStrings(record);
            record.index = i;
            kept = &record;
        }
        if (handlers.record)
            handlers.record(i + 1, count, kept);
    }
    return LogReadStatus::Read;
}

} // namespace tessa
