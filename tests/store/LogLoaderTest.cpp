#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "platform/WorkerSlot.h"
#include "store/AppState.h"
#include "store/CallLogFile.h"
#include "store/CallLogService.h"
#include "support/CardFixtures.h"
#include "support/FakeLoadSink.h"
#include "support/ScopedConfig.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

namespace tessa {
namespace {

using test::FakeLoadSink;
using test::TempDir;

CallRecord monthLogRecord(const QString& number, uint32_t type = CallIncoming) {
    CallRecord r{};
    r.cardBytes[0] = 1;
    r.valid = 1;
    r.callType = type;
    r.number.setText(number);
    r.shortPath.setText(QStringLiteral("E:\\201801\\") + number + QStringLiteral(".wav"));
    return r;
}

QByteArray bytesOf(const std::vector<CallRecord>& records) {
    QByteArray bytes;
    for (const CallRecord& r : records)
        bytes.append(reinterpret_cast<const char*>(r.bytes()), qsizetype(sizeof r));
    return bytes;
}

QByteArray cardLog(size_t records, bool live = true) {
    auto card = test::workedCard128();
    card[0] = live ? 1 : 0;
    QByteArray bytes;
    for (size_t i = 0; i < records; ++i)
        bytes.append(reinterpret_cast<const char*>(card.data()), 128);
    return bytes;
}

std::vector<QString> numbersOf(const RecordCollection& records) {
    std::vector<QString> numbers;
    for (const CallRecord& r : records)
        numbers.push_back(r.number.text());
    return numbers;
}

class LogLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureCoreApplication();
        dir_.write(QStringLiteral("Config/TessaSet.ini"), "[Setting]\n");
        writeStringSetting(QStringLiteral("BackupPath"),
                           dir_.file(QStringLiteral("backup")) + QLatin1Char('/'));
        writeIntSetting(QStringLiteral("AutoBackup"), 0);
        service_ = std::make_unique<CallLogService>(state_, sink_);
    }
    void TearDown() override { service_.reset(); }

    void writeMonthLog(uint32_t month, const QByteArray& bytes) {
        dir_.write(QStringLiteral("backup/TessaDeviceBackup/CallLog/%1CallLogBK.dat").arg(month), bytes);
    }
    // A VX7 card on drive E whose CallLog.dat holds the bytes, as the card scan leaves the state.
    QString insertCard(const QByteArray& log) {
        const QString path = dir_.write(QStringLiteral("card/CallLog.dat"), log);
        volumes_.emplace(
            std::vector<platform::Volume>{test::removable('E', dir_.file(QStringLiteral("card")))});
        state_.cardDriveLetter = 'E';
        state_.cardLogPath = QStringLiteral("E:\\CallLog.dat");
        state_.modelCode = 0;
        return path;
    }
    bool loadEnded() {
        return test::waitUntil([&] { return !state_.busy && !state_.rebuildRunning; });
    }

    TempDir dir_;
    test::ScopedConfig config_{dir_.file(QStringLiteral("Config"))};
    std::optional<test::ScopedVolumes> volumes_;
    AppState state_;
    FakeLoadSink sink_;
    std::unique_ptr<CallLogService> service_;
};

TEST_F(LogLoaderTest, MonthLogsAreReadInAscendingMonthOrderAndListed) {
    writeMonthLog(201803, bytesOf({monthLogRecord("3a"), monthLogRecord("3b")}));
    writeMonthLog(201712, bytesOf({monthLogRecord("12a"), monthLogRecord("12b")}));
    writeMonthLog(201801, bytesOf({monthLogRecord("1a"), monthLogRecord("1b", CallMissed)}));
    state_.viewMode = ViewCard;

    ASSERT_TRUE(service_->loadMonthLogs());
    ASSERT_TRUE(loadEnded());

    EXPECT_EQ(state_.months, (std::vector<uint32_t>{201712, 201801, 201803}));
    const std::vector<QString> order{"12a", "12b", "1a", "1b", "3a", "3b"};
    EXPECT_EQ(numbersOf(state_.backupRecords), order);
    EXPECT_EQ(state_.backupRecords.begin()->index.get(), 0u);
    EXPECT_EQ(std::next(state_.backupRecords.begin())->index.get(), 1u);
    EXPECT_EQ(state_.viewMode, ViewBackup);
    EXPECT_EQ(sink_.calls,
              QStringList({"show 158 2 centred", "show 158 2 centred", "show 158 2 centred", "hide",
                           "free space", "page 1", "clear", "show 158 6", "hide", "page 1"}));
    std::vector<QString> listed;
    for (const CallRecord* r : sink_.rows[PageAll])
        listed.push_back(r->number.text());
    EXPECT_EQ(listed, order);
    ASSERT_EQ(sink_.rows[PageMissed].size(), 1u);
    EXPECT_EQ(sink_.rows[PageMissed][0]->number.text(), "1b");
}

TEST_F(LogLoaderTest, MonthLogOfPartialRecordsShowsNoProgress) {
    writeMonthLog(201801, bytesOf({monthLogRecord("a"), monthLogRecord("b")})); // 2152 bytes
    writeMonthLog(201802, QByteArray(1000, 1));

    ASSERT_TRUE(service_->loadMonthLogs());
    ASSERT_TRUE(loadEnded());

    EXPECT_EQ(state_.backupRecords.count(), 2u);
    EXPECT_EQ(sink_.calls.filter("centred"), QStringList({"show 158 2 centred"}));
    // The last position always reaches the window, with the record's short card path.
    const auto lastOfLog = std::find_if(sink_.progress.rbegin(), sink_.progress.rend(),
                                        [](const auto& p) { return p.second.contains(".wav"); });
    ASSERT_NE(lastOfLog, sink_.progress.rend());
    EXPECT_EQ(*lastOfLog, std::make_pair(2u, QString("E:\\201801\\b.wav 2/2")));
    EXPECT_EQ(sink_.progress.back(), std::make_pair(2u, QString("2/2")));
}

TEST_F(LogLoaderTest, WithoutMonthLogsOrWhileBusyNothingIsLoaded) {
    EXPECT_FALSE(service_->loadMonthLogs());
    EXPECT_FALSE(state_.busy);

    // A load in progress keeps its collection and month list; the answer still says logs exist.
    writeMonthLog(201801, bytesOf({monthLogRecord("new")}));
    state_.busy = true;
    state_.backupRecords.append(monthLogRecord("loading"));
    state_.months = {201712};
    EXPECT_TRUE(service_->loadMonthLogs());
    test::drainEvents();
    EXPECT_EQ(numbersOf(state_.backupRecords), std::vector<QString>{"loading"});
    EXPECT_EQ(state_.months, std::vector<uint32_t>{201712});
    EXPECT_TRUE(sink_.calls.isEmpty());
}

TEST_F(LogLoaderTest, EmptyCardLogIsQueuedForRebuildAndTheBackupViewStays) {
    insertCard({});
    ASSERT_TRUE(service_->startCardLoad());
    ASSERT_TRUE(loadEnded());
    ASSERT_TRUE(test::waitUntil([&] { return sink_.calls.contains("rebuild E off"); }));

    EXPECT_TRUE(sink_.calls.contains("rebuild E on"));
    EXPECT_TRUE(state_.cardRecords.empty());
    EXPECT_EQ(state_.viewMode, ViewBackup);
    // Nothing is listed again: the backup view keeps its rows.
    EXPECT_FALSE(sink_.calls.contains("clear"));
    EXPECT_FALSE(sink_.calls.contains("page 1"));
}

TEST_F(LogLoaderTest, CardLogOfDeletedRecordsLoadsNothingAndIsNotRebuilt) {
    insertCard(cardLog(1, false));
    state_.viewMode = ViewCard;
    ASSERT_TRUE(service_->startCardLoad());
    ASSERT_TRUE(loadEnded());
    test::drainEvents();

    EXPECT_TRUE(state_.cardRecords.empty());
    EXPECT_TRUE(state_.rebuildQueue.empty());
    EXPECT_EQ(state_.viewMode, ViewBackup);
    EXPECT_EQ(sink_.calls,
              QStringList({"hide", "free space", "page 1", "clear", "show 158 0", "hide", "page 1"}));
    EXPECT_EQ(TempDir::read(dir_.file("card/CallLog.dat")).size(), 128);
}

TEST_F(LogLoaderTest, CardRecordsAreShownUnlessTheAutomaticBackupWasStarted) {
    insertCard(cardLog(3));
    ASSERT_TRUE(service_->startCardLoad());
    ASSERT_TRUE(loadEnded());
    EXPECT_EQ(state_.viewMode, ViewCard);
    EXPECT_EQ(state_.cardRecords.count(), 3u);
    EXPECT_EQ(sink_.rows[PageIncoming].size(), 3u);
    EXPECT_EQ(sink_.calls.first(), "show 157 3 centred");
    EXPECT_FALSE(sink_.calls.contains("offer backup"));

    writeIntSetting(QStringLiteral("AutoBackup"), 1);
    sink_.calls.clear();
    state_.cardRecords.clear();
    sink_.onOfferBackup = [] { return true; };
    ASSERT_TRUE(service_->startCardLoad());
    ASSERT_TRUE(loadEnded());
    EXPECT_EQ(state_.viewMode, ViewBackup);
    EXPECT_EQ(sink_.calls.mid(1, 4), QStringList({"hide", "offer backup", "free space", "page 1"}));
    EXPECT_TRUE(sink_.calls.contains("show 158 0")); // the backup collection is listed
}

TEST_F(LogLoaderTest, QuitEndsTheLoaderBeforeItsNextRecord) {
    insertCard(cardLog(5));
    sink_.onShowProgress = [&] { state_.quit = true; };
    ASSERT_TRUE(service_->startCardLoad());
    ASSERT_TRUE(test::waitUntil([&] { return sink_.calls.size() == 1; }));
    service_->shutdown();
    test::drainEvents();

    EXPECT_TRUE(state_.cardRecords.empty());
    EXPECT_EQ(sink_.calls, QStringList({"show 157 5 centred"}));
    EXPECT_TRUE(sink_.progress.empty());
    EXPECT_TRUE(state_.busy); // left as it is: the program is closing
}

TEST_F(LogLoaderTest, CardLogTruncatedWhileReadEndsCleanly) {
    const QString path = insertCard(cardLog(600));
    // The card is pulled once reading has begun: only 300 records are left to read.
    sink_.onShowProgress = [&] { QFile::resize(path, 300 * 128); };
    ASSERT_TRUE(service_->startCardLoad());
    ASSERT_TRUE(loadEnded());

    EXPECT_EQ(state_.cardRecords.count(), 300u);
    EXPECT_EQ(state_.viewMode, ViewCard);
    ASSERT_FALSE(sink_.progress.empty());
    const auto lastOfCard = std::find_if(sink_.progress.rbegin(), sink_.progress.rend(),
                                         [](const auto& p) { return p.second.contains("/600"); });
    ASSERT_NE(lastOfCard, sink_.progress.rend());
    EXPECT_EQ(lastOfCard->first, 300u);
    EXPECT_EQ(sink_.rows[PageAll].size(), 300u);
}

TEST_F(LogLoaderTest, ClosingDuringTheBackupOfferEndsTheLoader) {
    insertCard(cardLog(2));
    writeIntSetting(QStringLiteral("AutoBackup"), 1);
    // The user closes the window while the backup dialog waits: the GUI thread waits for the loader,
    // which itself waits for the dialog's answer.
    sink_.onOfferBackup = [&] {
        service_->shutdown();
        return true;
    };
    ASSERT_TRUE(service_->startCardLoad());
    ASSERT_TRUE(test::waitUntil([&] { return sink_.calls.contains("offer backup"); }));
    test::drainEvents();

    EXPECT_EQ(sink_.calls.last(), "offer backup");
    EXPECT_EQ(state_.viewMode, ViewCard);
    EXPECT_TRUE(state_.busy);
}

TEST_F(LogLoaderTest, ClosingWhileTheLoaderIsStuckInAFileReturnsAndLetsItFinishAlone) {
    // A card log that is a FIFO: opening it blocks until someone writes to it.
    insertCard({});
    const QByteArray fifo = QFile::encodeName(dir_.file(QStringLiteral("card/CallLog.dat")));
    ASSERT_TRUE(QFile::remove(QString::fromLocal8Bit(fifo)));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    const int before = platform::WorkerSlot::abandonedRunning();
    ASSERT_TRUE(service_->startCardLoad());
    test::drainEvents();

    // Closing comes back although the loader may still hang in the open.
    const bool ended = service_->shutdown();
    const QStringList atClose = sink_.calls;
    if (!ended) {
        EXPECT_EQ(platform::WorkerSlot::abandonedRunning(), before + 1);
        // Unstuck, it sees the quit flag and ends without a word to the window.
        const int writer = open(fifo.constData(), O_WRONLY);
        ASSERT_GE(writer, 0);
        close(writer);
        ASSERT_TRUE(test::waitUntil([&] { return platform::WorkerSlot::abandonedRunning() == before; }));
    }
    test::drainEvents();
    EXPECT_EQ(sink_.calls, atClose);
    EXPECT_TRUE(state_.cardRecords.empty());
    EXPECT_TRUE(state_.rebuildQueue.empty());
}

} // namespace
} // namespace tessa
