#include "platform/FileFaults.h"
#include "platform/FileRoots.h"
#include "store/AppState.h"
#include "store/CallLogService.h"
#include "store/CardRecordCodec.h"
#include "support/CardFixtures.h"
#include "support/FakeLoadSink.h"
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
        return test::waitUntil([&] {
            return !state_.rebuildRunning && !sink_.calls.isEmpty() && sink_.calls.last().endsWith("off");
        });
    }

    TempDir dir_;
    // Both cards of the queue lie under one folder, which stands for the card in use.
    platform::ScopedFileRoots roots_{dir_.path(), {}};
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

TEST_F(RebuildWorkerTest, ServesADriveQueuedWhileRunningOnceAndNeverWaitsOnAPipe) {
    // Drive E takes a while; among its recordings is a pipe, which once held the worker for good.
    QDir().mkpath(card('E', "201801"));
    const QByteArray pipe = card('E', "201801/20180115093012-I-1.wav").toLocal8Bit();
    ASSERT_EQ(mkfifo(pipe.constData(), 0600), 0);
    QStringList expectedE;
    for (int i = 0; i < 300; ++i) {
        const QString minute = QStringLiteral("%1").arg(i % 60, 2, 10, QLatin1Char('0'));
        recording('E', "201801/20180116" + QString::number(10 + i / 60) + minute + "00-I-" +
                           QString::number(1000 + i) + ".wav");
        expectedE << QString::number(1000 + i);
    }
    recording('F', "201802/20180201120000-I-21.wav");
    recording('F', "201802/20180202120000-O-22.wav");

    service_->queueRebuild('E');
    EXPECT_TRUE(service_->rebuildRunning());
    service_->queueRebuild('F'); // queued while E is being served: the same worker takes it, once
    service_->queueRebuild('F');
    ASSERT_TRUE(rebuilt());

    EXPECT_EQ(loggedNumbers(card('E', "CallLog.dat")), expectedE); // the pipe gets no record
    EXPECT_EQ(loggedNumbers(card('F', "CallLog.dat")), QStringList({"21", "22"}));
    EXPECT_EQ(sink_.calls, QStringList({"rebuild E on", "rebuild F on", "rebuild F off"}));
    EXPECT_TRUE(state_.rebuildQueue.empty());
}

TEST_F(RebuildWorkerTest, AFullCardEndsTheRebuildAndIsReported) {
    recording('E', "201801/20180115093012-I-1.wav");
    recording('E', "201801/20180115093013-I-2.wav");
    dir_.write("E/CallLog.dat", QByteArray());
    platform::ScopedFileFault full({.nth = 1,
                                    .fault = platform::FileFault::NoSpace,
                                    .ops = uint32_t(platform::FileOp::Write),
                                    .sticky = true});
    service_->queueRebuild('E');
    ASSERT_TRUE(rebuilt());
    EXPECT_EQ(TempDir::read(card('E', "CallLog.dat")), QByteArray());
    EXPECT_EQ(platform::fileFaultsFired(), 1); // the drive is given up at the first failed append
    EXPECT_EQ(sink_.calls, QStringList({"rebuild E on", "rebuild E failed", "rebuild E off"}));
}

} // namespace
} // namespace tessa
