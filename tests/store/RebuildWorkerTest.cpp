#include "store/AppState.h"
#include "store/CallLogService.h"
#include "store/CardRecordCodec.h"
#include "store/FakeLoadSink.h"
#include "support/CardFixtures.h"
#include "support/TempDir.h"

#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <QDir>
#include <sys/stat.h>
#include <unistd.h>

namespace tessa {
namespace {

using test::FakeLoadSink;
using test::TempDir;

// Numbers of the records of a rebuilt VX7 log, sorted: recordings are met in directory order.
QStringList loggedNumbers(const QString& logPath) {
    const QByteArray log = TempDir::read(logPath);
    EXPECT_EQ(log.size() % 128, 0);
    QStringList numbers;
    for (qsizetype at = 0; at + 128 <= log.size(); at += 128) {
        uint8_t card[256] = {};
        std::memcpy(card, log.constData() + at, 128);
        CallRecord record{};
        EXPECT_TRUE(decodeCardRecord(card, record, 'E', 0, nullptr));
        numbers << record.number.text();
    }
    numbers.sort();
    return numbers;
}

class RebuildWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureCoreApplication();
        volumes_ = std::make_unique<test::ScopedVolumes>(std::vector<platform::Volume>{
            test::removable('E', dir_.file("E")), test::removable('F', dir_.file("F"))});
        service_ = std::make_unique<CallLogService>(state_, sink_);
    }
    void TearDown() override { service_.reset(); }

    QString card(char letter, const QString& file) {
        return dir_.file(QString(QChar::fromLatin1(letter)) + "/" + file);
    }
    void recording(char letter, const QString& file) {
        dir_.write(QString(QChar::fromLatin1(letter)) + "/" + file, QByteArray(8252, 0));
    }
    bool rebuilt() {
        return test::processEventsUntil([&] {
            return !state_.rebuildRunning && !sink_.calls.isEmpty() && sink_.calls.last().endsWith("off");
        });
    }

    TempDir dir_;
    std::unique_ptr<test::ScopedVolumes> volumes_;
    AppState state_;
    FakeLoadSink sink_;
    std::unique_ptr<CallLogService> service_;
};

TEST_F(RebuildWorkerTest, WritesOneRecordPerRecordingOfTheMonthFolders) {
    recording('E', "201801/20180115093012-I-5551234.wav");
    recording('E', "201801/20180116101500-O-777.xtr");
    recording('E', "201801/20180117-I-1.wav");       // breaks the grammar
    recording('E', "201801/20180118093012-X-2.wav"); // unknown tag
    recording('E', "201801/notes.txt");
    recording('E', "2018AB/20180119093012-I-3.wav");           // not a month folder
    recording('E', "20180119093012-I-4.wav");                  // card root
    QDir().mkpath(card('E', "201801/20180118093012-I-5.wav")); // a folder, not a recording
    dir_.write("E/CallLog.dat", {});

    service_->queueRebuild('E');
    ASSERT_TRUE(rebuilt());

    EXPECT_EQ(loggedNumbers(card('E', "CallLog.dat")), QStringList({"5551234", "777"}));
    EXPECT_EQ(sink_.calls, QStringList({"rebuild E on", "rebuild E off"}));
    EXPECT_EQ(state_.rebuildDriveLetter, 'E');
}

TEST_F(RebuildWorkerTest, ServesADriveQueuedWhileRunningOnce) {
    // A recording that is a pipe holds the worker on drive E until the test writes to it.
    QDir().mkpath(card('E', "201801"));
    const QByteArray pipe = card('E', "201801/20180115093012-I-1.wav").toLocal8Bit();
    ASSERT_EQ(mkfifo(pipe.constData(), 0600), 0);
    recording('F', "201802/20180201120000-I-21.wav");
    recording('F', "201802/20180202120000-O-22.wav");

    service_->queueRebuild('E');
    int writer = -1;
    ASSERT_TRUE(test::processEventsUntil([&] {
        writer = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK); // succeeds once the worker opens it
        return writer >= 0;
    }));
    EXPECT_TRUE(service_->rebuildRunning());
    service_->queueRebuild('F');
    service_->queueRebuild('F');
    ::close(writer);
    ASSERT_TRUE(rebuilt());

    EXPECT_EQ(loggedNumbers(card('E', "CallLog.dat")), QStringList({"1"}));
    EXPECT_EQ(loggedNumbers(card('F', "CallLog.dat")), QStringList({"21", "22"}));
    EXPECT_EQ(sink_.calls, QStringList({"rebuild E on", "rebuild F on", "rebuild F off"}));
    EXPECT_TRUE(state_.rebuildQueue.empty());
}

} // namespace
} // namespace tessa
