#include "store/CallLogFile.h"

#include "store/CardRecordCodec.h"
#include "support/CardFixtures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tessa;
using tessa::test::TempDir;

namespace {

std::vector<CallRecord> readAll(const QString& path, bool monthLog, int model = ModelVX7,
                                LogReadStatus* status = nullptr, std::vector<uint32_t>* progress = nullptr) {
    std::vector<CallRecord> kept;
    LogReadHandlers handlers;
    handlers.record = [&](uint32_t done, uint32_t, CallRecord* r) {
        if (progress)
            progress->push_back(done);
        if (r)
            kept.push_back(*r);
    };
    const LogReadStatus s =
        monthLog ? readMonthLog(path, platform::Area::User, nullptr, handlers)
                 : readCardLog(path, platform::Area::User, 'E', model, nullptr, nullptr, handlers);
    if (status)
        *status = s;
    return kept;
}

QByteArray bytesOf(const std::array<uint8_t, 256>& card, size_t size = 128) {
    return QByteArray(reinterpret_cast<const char*>(card.data()), qsizetype(size));
}

CallRecord monthRecord(const QString& number, const QString& name, bool live) {
    CallRecord r{};
    r.cardBytes[0] = live ? 1 : 0;
    r.valid = live ? 1 : 0;
    r.callType = CallOutgoing;
    r.index = 4242; // never taken from the file
    r.number.setText(number);
    r.name.setText(name);
    r.shortPath.setText(QString(60, QLatin1Char('s')));
    r.fullPath.setText(QString(259, QLatin1Char('f')));
    r.fullPath.units[259] = 'g'; // no terminator in the file
    return r;
}

} // namespace

TEST(CardLog, WholeRecordsOnlyAndDeletedOnesSkipped) {
    TempDir dir;
    auto live = test::workedCard128();
    auto deleted = live;
    deleted[0] = 0;
    // 300 bytes: two whole records, the last 44 bytes ignored.
    const QString path =
        dir.write(QStringLiteral("CallLog.dat"), bytesOf(live) + bytesOf(live) + QByteArray(44, 1));
    std::vector<uint32_t> progress;
    auto records = readAll(path, false, ModelVX7, nullptr, &progress);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].index.get(), 0u);
    EXPECT_EQ(records[1].index.get(), 1u);
    EXPECT_EQ(progress, (std::vector<uint32_t>{1, 2}));

    dir.write(QStringLiteral("CallLog.dat"), bytesOf(deleted) + bytesOf(live));
    records = readAll(path, false);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].index.get(), 1u);
}

TEST(CardLog, EmptyAndAllDeletedLogsAreToldApart) {
    TempDir dir;
    LogReadStatus status{};
    const QString path = dir.write(QStringLiteral("CallLog.dat"), QByteArray());
    EXPECT_TRUE(readAll(path, false, ModelVX7, &status).empty());
    EXPECT_EQ(status, LogReadStatus::Empty);
    dir.write(QStringLiteral("CallLog.dat"), QByteArray(127, 1));
    readAll(path, false, ModelVX7, &status);
    EXPECT_EQ(status, LogReadStatus::Empty);

    auto deleted = test::workedCard128();
    deleted[0] = 0;
    dir.write(QStringLiteral("CallLog.dat"), bytesOf(deleted));
    bool started = false;
    LogReadHandlers handlers;
    handlers.started = [&](uint32_t) { started = true; };
    EXPECT_EQ(readCardLog(path, platform::Area::User, 'E', ModelVX7, nullptr, nullptr, handlers),
              LogReadStatus::NoLiveRecord);
    EXPECT_FALSE(started);

    readAll(dir.file(QStringLiteral("missing.dat")), false, ModelVX7, &status);
    EXPECT_EQ(status, LogReadStatus::Unreadable);
}

TEST(CardLog, Vx5LogsUse256ByteRecords) {
    TempDir dir;
    std::array<uint8_t, 256> card{};
    card[0] = 1;
    card[1] = CallMissed;
    const QString path = dir.write(QStringLiteral("CallLog.dat"), bytesOf(card, 256) + bytesOf(card, 200));
    const auto records = readAll(path, false, ModelVX5);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].callType.get(), uint32_t(CallMissed));
    // Read as a VX7 log the same file holds three 128-byte records, two of them live.
    EXPECT_EQ(readAll(path, false, ModelVX7).size(), 2u);
}

TEST(CardLog, RandomBytesNeverCrashTheDecoder) {
    TempDir dir;
    QByteArray noise(128 * 64, '\0');
    uint32_t x = 99;
    for (auto& c : noise) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 24);
    }
    for (int i = 0; i < 64; i += 2)
        noise[i * 128] = 1;
    const QString path = dir.write(QStringLiteral("CallLog.dat"), noise);
    for (int model : {ModelVX7, ModelVX5})
        for (const CallRecord& r : readAll(path, false, model)) {
            EXPECT_LE(r.number.length(), 32u);
            EXPECT_LE(r.name.length(), 35u);
            EXPECT_LE(r.shortPath.length(), 63u);
        }
}

TEST(MonthLog, RecordsAreBoundedAndIndexedByPosition) {
    TempDir dir;
    const CallRecord a = monthRecord(QString(50, QLatin1Char('1')), QString(40, QLatin1Char('n')), true);
    const CallRecord gone = monthRecord(QStringLiteral("2"), QString(), false);
    QByteArray file;
    for (const CallRecord* r : {&a, &gone, &a})
        file += QByteArray(reinterpret_cast<const char*>(r), sizeof *r);
    file += QByteArray(1000, 1); // not a whole record
    const QString path = dir.write(QStringLiteral("201801CallLogBK.dat"), file);
    const auto records = readAll(path, true);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].index.get(), 0u);
    EXPECT_EQ(records[1].index.get(), 2u);
    EXPECT_EQ(records[0].number.length(), 31u);
    EXPECT_EQ(records[0].name.length(), 36u);
    EXPECT_EQ(records[0].shortPath.length(), 45u);
    EXPECT_EQ(records[0].fullPath.length(), 259u);

    LogReadStatus status{};
    EXPECT_TRUE(readAll(dir.write(QStringLiteral("x"), QByteArray(1000, 1)), true, 0, &status).empty());
    EXPECT_EQ(status, LogReadStatus::Empty);
}

TEST(MonthLog, ReadingStopsWhenAsked) {
    TempDir dir;
    const CallRecord a = monthRecord(QStringLiteral("1"), QString(), true);
    QByteArray file;
    for (int i = 0; i < 10; ++i)
        file += QByteArray(reinterpret_cast<const char*>(&a), sizeof a);
    const QString path = dir.write(QStringLiteral("m"), file);
    std::atomic<bool> quit{false};
    int seen = 0;
    LogReadHandlers handlers;
    handlers.record = [&](uint32_t, uint32_t, CallRecord*) {
        if (++seen == 3)
            quit = true;
    };
    readMonthLog(path, platform::Area::User, &quit, handlers);
    EXPECT_EQ(seen, 3);
}

TEST(MonthLog, PathsFollowTheBackupLayout) {
    EXPECT_EQ(monthLogPath(QStringLiteral("/b/"), ModelVX7, 2018, 1),
              QStringLiteral("/b/TessaDeviceBackup\\CallLog\\201801CallLogBK.dat"));
    EXPECT_EQ(monthLogPathOfMonth(QStringLiteral("/b/"), ModelVX5, 201712),
              QStringLiteral("/b/TessaDeviceBackupM\\CallLog\\201712CallLogBK.dat"));
    EXPECT_EQ(kMonthLogRecordSize, 1076u);
    EXPECT_EQ(cardRecordSize(ModelVX5), 256u);
    EXPECT_EQ(cardRecordSize(7), 128u);
}

// A month-log record is kept or skipped by its byte 4 alone; the 32-bit valid field does not count.
TEST(MonthLog, RecordsAreSkippedByByteFourAlone) {
    TempDir dir;
    const auto variant = [](uint8_t byte4, uint32_t valid, const char* number) {
        CallRecord r = monthRecord(QString::fromLatin1(number), QString(), true);
        r.cardBytes[0] = byte4;
        r.valid = valid;
        return r;
    };
    const CallRecord records[] = {variant(1, 0, "kept, valid 0"), variant(0, 1, "skipped, byte 0"),
                                  variant(2, 1, "skipped, byte 2"), variant(1, 1, "kept"),
                                  variant(0xFF, 1, "skipped, byte 255")};
    QByteArray file;
    for (const CallRecord& r : records)
        file += QByteArray(reinterpret_cast<const char*>(&r), sizeof r);
    const auto kept = readAll(dir.write(QStringLiteral("201801CallLogBK.dat"), file), true);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].number.text(), QStringLiteral("kept, valid 0"));
    EXPECT_EQ(kept[0].index.get(), 0u);
    EXPECT_EQ(kept[0].valid.get(), 0u); // carried as it was read
    EXPECT_EQ(kept[1].number.text(), QStringLiteral("kept"));
    EXPECT_EQ(kept[1].index.get(), 3u);
}
