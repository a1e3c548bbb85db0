#include "backup/CardRepair.h"

#include "format/CardRecord.h"
#include "platform/FileFaults.h"
#include "platform/FileRoots.h"
#include "store/AppState.h"
#include "store/CallLogService.h"
#include "store/CardRecordCodec.h"
#include "support/CardFixtures.h"
#include "support/CliRunner.h"
#include "support/FakeLoadSink.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <thread>

namespace tessa {
namespace {

using test::TempDir;
using Status = RepairOutcome::Status;

QString recordingName(int i) {
    return QStringLiteral("201801") + QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')) +
           QStringLiteral("093012-I-555") + QString::number(i) + QStringLiteral(".wav");
}

QByteArray cardRecord(const QString& name, int model, const QByteArray& path = {}) {
    auto record = buildCardRecord('E', name, model, 2);
    EXPECT_TRUE(record);
    if (!path.isEmpty()) {
        const size_t offset = model == ModelVX5 ? 88 : 83, field = model == ModelVX5 ? 64 : 45;
        test::setCardPath(record->data(), offset, field, path);
    }
    return QByteArray(reinterpret_cast<const char*>(record->data()), qsizetype(cardRecordSize(model)));
}

// Card paths of the records of a log.
QStringList loggedPaths(const QByteArray& log, int model) {
    QStringList paths;
    const qsizetype size = qsizetype(cardRecordSize(model));
    EXPECT_EQ(log.size() % size, 0);
    for (qsizetype at = 0; at + size <= log.size(); at += size) {
        uint8_t card[256] = {};
        std::memcpy(card, log.constData() + at, size_t(size));
        CallRecord record{};
        EXPECT_TRUE(decodeCardRecord(card, record, 'E', model, nullptr));
        paths << record.fullPath.text();
    }
    return paths;
}

class CardRepairTest : public ::testing::Test {
protected:
    QString card() const { return dir_.file("card"); }
    QString log() const { return dir_.file("card/CallLog.dat"); }
    QString backupCopy() const { return dir_.file("card/CallLog_BK.dat"); }
    // Twelve recordings in their month folder, ten of them named by the log.
    QByteArray twelveOfWhichTenLogged() {
        QByteArray log;
        for (int i = 0; i < 12; ++i) {
            dir_.write("card/201801/" + recordingName(i), QByteArray(8252, 0));
            if (i < 10)
                log += cardRecord(recordingName(i), ModelVX7);
        }
        dir_.write("card/CallLog.dat", log);
        return log;
    }
    RepairOutcome repair(int model = ModelVX7) { return repairCard('E', card(), model, {}); }

    TempDir dir_;
};

TEST_F(CardRepairTest, AppendsOneRecordPerRecordingTheLogDoesNotName) {
    const QByteArray old = twelveOfWhichTenLogged();
    dir_.write("card/beep1.wav", QByteArray(5000, 0)); // a sound of the recorder, not a recording
    dir_.write("card/201801/readme.txt", "x");
    std::vector<size_t> progress;
    RepairHooks hooks;
    hooks.progress = [&](size_t done, size_t total, int) {
        progress.push_back(done);
        EXPECT_EQ(total, 16u);
    };
    const RepairOutcome outcome = repairCard('E', card(), ModelVX7, hooks);
    EXPECT_EQ(outcome.status, Status::Done);
    EXPECT_TRUE(outcome.safetyCopied);
    EXPECT_EQ(outcome.added, 2);
    // 12 recordings, the beep, the text, the log and its safety copy, made before the search.
    EXPECT_EQ(outcome.filesFound, 16u);
    ASSERT_EQ(progress.size(), 16u);
    EXPECT_EQ(progress.back(), 16u);

    const QByteArray now = TempDir::read(log());
    EXPECT_EQ(TempDir::read(backupCopy()), old);
    ASSERT_EQ(now.size(), old.size() + 2 * 128);
    EXPECT_EQ(now.left(old.size()), old);
    QStringList added = loggedPaths(now.mid(old.size()), ModelVX7);
    added.sort();
    EXPECT_EQ(added, QStringList({"E:\\201801\\" + recordingName(10), "E:\\201801\\" + recordingName(11)}));

    // Everything is named now: a second run adds nothing and copies the grown log.
    EXPECT_EQ(repair().added, 0);
    EXPECT_EQ(TempDir::read(log()), now);
    EXPECT_EQ(TempDir::read(backupCopy()), now);
}

TEST_F(CardRepairTest, SlashSeparatedPathsOfTheLogMatch) {
    QByteArray log;
    dir_.write("card/201801/" + recordingName(0), QByteArray(8252, 0));
    log += cardRecord(recordingName(0), ModelVX7, "201801/" + recordingName(0).toLatin1());
    // A deleted record names nothing.
    QByteArray deleted = cardRecord(recordingName(1), ModelVX7);
    deleted[0] = 0;
    dir_.write("card/201801/" + recordingName(1), QByteArray(8252, 0));
    log += deleted;
    dir_.write("card/CallLog.dat", log);
    const RepairOutcome outcome = repair();
    EXPECT_EQ(outcome.added, 1);
    EXPECT_EQ(loggedPaths(TempDir::read(this->log()).mid(log.size()), ModelVX7),
              QStringList({"E:\\201801\\" + recordingName(1)}));
}

TEST_F(CardRepairTest, ARecordingOutsideItsMonthFolderPointsThereAndIsAddedOnce) {
    dir_.write("card/CallLog.dat", {});
    dir_.write("card/misc/" + recordingName(3), QByteArray(8252, 0));
    dir_.write("card/201801/20180104-I-1.wav", QByteArray(8252, 0)); // breaks the grammar
    const RepairOutcome outcome = repair();
    EXPECT_EQ(outcome.added, 1);
    EXPECT_TRUE(outcome.safetyCopied);
    EXPECT_TRUE(QFile::exists(backupCopy()));
    const QByteArray now = TempDir::read(log());
    EXPECT_EQ(loggedPaths(now, ModelVX7), QStringList({"E:\\201801\\" + recordingName(3)}));
    // No file at the rebuilt place: nothing to measure.
    uint8_t first[256] = {};
    std::memcpy(first, now.constData(), 128);
    CallRecord record{};
    decodeCardRecord(first, record, 'E', ModelVX7, nullptr);
    EXPECT_EQ(record.recordingDuration.get(), 0u);
    EXPECT_EQ(repair().added, 0);
}

TEST_F(CardRepairTest, AVx5CardGetsRecordsOfItsLayoutAndALogWhenItHadNone) {
    dir_.write("card/PhoneBook.dat", QByteArray(155, 0));
    dir_.write("card/RECORD/201801/" + recordingName(0), QByteArray(8252, 0));
    dir_.write("card/RECORD/201801/" + recordingName(1), QByteArray(8252, 0));
    EXPECT_EQ(modelOfCardFolder(card()), ModelVX5);
    const RepairOutcome outcome = repair(ModelVX5);
    EXPECT_EQ(outcome.added, 2);
    EXPECT_FALSE(outcome.safetyCopied);
    EXPECT_FALSE(QFile::exists(backupCopy()));
    QStringList paths = loggedPaths(TempDir::read(log()), ModelVX5);
    paths.sort();
    EXPECT_EQ(paths, QStringList({"E:\\RECORD\\201801\\" + recordingName(0),
                                  "E:\\RECORD\\201801\\" + recordingName(1)}));
    EXPECT_EQ(repair(ModelVX5).added, 0);
}

TEST_F(CardRepairTest, NothingIsAppendedWhenTheSafetyCopyFails) {
    const QByteArray old = twelveOfWhichTenLogged();
    {
        platform::ScopedFileFault fault({1, platform::FileFault::NoSpace, uint32_t(platform::FileOp::Write)});
        const RepairOutcome outcome = repair();
        EXPECT_EQ(outcome.status, Status::SafetyCopyFailed);
        EXPECT_EQ(outcome.error, platform::FileError::NoSpace);
        EXPECT_EQ(outcome.added, 0);
    }
    EXPECT_EQ(TempDir::read(log()), old);
    EXPECT_FALSE(QFile::exists(backupCopy()));

    const test::CliResult failed = [&] {
        platform::ScopedFileFault fault({1, platform::FileFault::IoError, uint32_t(platform::FileOp::Write)});
        return test::runCli({"repair", card()});
    }();
    EXPECT_EQ(failed.code, 1);
    EXPECT_TRUE(failed.err.contains("nothing appended")) << failed.err.toStdString();
    EXPECT_EQ(TempDir::read(log()), old);
}

TEST_F(CardRepairTest, ALogThatLeadsOffTheCardIsNeverWritten) {
    dir_.write("elsewhere.dat", "keep");
    QDir().mkpath(card());
    ASSERT_TRUE(QFile::link(dir_.file("elsewhere.dat"), log()));
    dir_.write("card/201801/" + recordingName(0), QByteArray(8252, 0));
    EXPECT_EQ(repair().status, Status::UnsafeLog);
    EXPECT_EQ(TempDir::read(dir_.file("elsewhere.dat")), QByteArray("keep"));
}

// The digest sha256sum gives a file, as a peer that reads it independently of the program.
QByteArray sha256Of(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("sha256sum"), {QStringLiteral("-b"), path});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput().split(' ').first();
}

TEST_F(CardRepairTest, CommandLinePrintsTheAddedRecordsAndTheCount) {
    twelveOfWhichTenLogged();
    const QByteArray before = sha256Of(log());
    ASSERT_EQ(before.size(), 64);
    const test::CliResult json = test::runCli({"repair", card(), "--json"});
    ASSERT_EQ(json.code, 0) << json.err.toStdString();
    // The safety copy is the log as it was before the append, byte for byte.
    EXPECT_EQ(sha256Of(backupCopy()), before);
    EXPECT_NE(sha256Of(log()), before);
    const QJsonObject doc = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(doc["count"].toInt(), 2);
    EXPECT_EQ(doc["model"].toInt(), 0);
    EXPECT_EQ(doc["added"].toArray().size(), 2);
    EXPECT_EQ(doc["safetyCopy"].toString(), backupCopy());

    const test::CliResult again = test::runCli({"repair", card()});
    EXPECT_EQ(again.code, 0);
    EXPECT_EQ(again.out, QStringLiteral("0 record(s) added\n"));
    EXPECT_EQ(test::runCli({"repair", card(), "--model", "7"}).code, 2);
}

TEST(RepairClaim, RefusedWhileTheRebuildServesTheDriveOrAnotherRepairRuns) {
    AppState state;
    state.rebuildRunning = true;
    state.rebuildDriveLetter = 'E';
    state.rebuildQueue.push_back('G');
    EXPECT_FALSE(RepairClaim(state, 'E').granted());
    EXPECT_FALSE(RepairClaim(state, 'G').granted());
    {
        RepairClaim f(state, 'F');
        EXPECT_TRUE(f.granted());
        EXPECT_EQ(state.repairDriveLetter, 'F');
        EXPECT_FALSE(RepairClaim(state, 'H').granted());
    }
    EXPECT_EQ(state.repairDriveLetter, 0);
    state.rebuildRunning = false;
    EXPECT_TRUE(RepairClaim(state, 'E').granted());
}

TEST(RepairClaim, TheRebuildWaitsWhileARepairHoldsTheDrive) {
    test::ensureCoreApplication();
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    test::ScopedVolumes volumes({test::removable('E', dir.file("E"))});
    dir.write("E/201801/" + recordingName(0), QByteArray(8252, 0));
    dir.write("E/CallLog.dat", {});
    AppState state;
    test::FakeLoadSink sink;
    CallLogService service(state, sink);
    auto claim = std::make_unique<RepairClaim>(state, 'E');
    ASSERT_TRUE(claim->granted());
    service.queueRebuild('E');
    // The worker has taken the drive and waits for the repair to let it go.
    ASSERT_TRUE(test::waitUntil([&] { return state.rebuildDriveLetter == 'E'; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_TRUE(TempDir::read(dir.file("E/CallLog.dat")).isEmpty());
    EXPECT_TRUE(state.rebuildRunning);
    claim.reset();
    ASSERT_TRUE(test::waitUntil([&] { return !state.rebuildRunning; }));
    EXPECT_EQ(TempDir::read(dir.file("E/CallLog.dat")).size(), 128);
    EXPECT_TRUE(RepairClaim(state, 'E').granted());
}

} // namespace
} // namespace tessa
