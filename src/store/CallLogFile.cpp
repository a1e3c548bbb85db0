#include "store/CallLogFile.h"

#include "format/CardRecord.h"
#include "platform/NativePath.h"
#include "store/CardRecordCodec.h"

#include <cstring>
#include <QFile>
#include <vector>

namespace tessa {
namespace {

// Records are read in batches: a log of 100 000 records is read in a few hundred calls.
constexpr size_t kBatchRecords = 256;

class BatchReader {
public:
    BatchReader(QFile& file, size_t recordSize) : file_(file), recordSize_(recordSize) {}
    // The next whole record, or null at the end of the data actually present.
    const uint8_t* next() {
        if (pos_ == filled_) {
            buffer_.resize(kBatchRecords * recordSize_);
            const qint64 got = file_.read(reinterpret_cast<char*>(buffer_.data()), qint64(buffer_.size()));
            pos_ = 0;
            filled_ = got > 0 ? size_t(got) / recordSize_ * recordSize_ : 0;
            if (filled_ == 0)
                return nullptr;
        }
        const uint8_t* record = buffer_.data() + pos_;
        pos_ += recordSize_;
        return record;
    }

private:
    QFile& file_;
    size_t recordSize_;
    std::vector<uint8_t> buffer_;
    size_t pos_ = 0;
    size_t filled_ = 0;
};

bool quitting(const std::atomic<bool>* quit) {
    return quit && quit->load(std::memory_order_relaxed);
}

bool openLog(QFile& file, const QString& path) {
    const QString native = platform::nativePath(path);
    if (native.isEmpty())
        return false;
    file.setFileName(native);
    return file.open(QIODevice::ReadOnly);
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

LogReadStatus readCardLog(const QString& path, char driveLetter, int modelCode, const ContactList* contacts,
                          const std::atomic<bool>* quit, const LogReadHandlers& handlers) {
    QFile file;
    if (!openLog(file, path))
        return LogReadStatus::Unreadable;
    const size_t recordSize = cardRecordSize(modelCode);
    const uint32_t count = uint32_t(std::min<qint64>(file.size() / qint64(recordSize), UINT32_MAX));
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
        file.seek(0);
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

LogReadStatus readMonthLog(const QString& path, const std::atomic<bool>* quit,
                           const LogReadHandlers& handlers) {
    QFile file;
    if (!openLog(file, path))
        return LogReadStatus::Unreadable;
    const uint32_t count = uint32_t(std::min<qint64>(file.size() / qint64(kMonthLogRecordSize), UINT32_MAX));
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
