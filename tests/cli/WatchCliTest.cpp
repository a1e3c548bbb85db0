#include "platform/FolderLock.h"
#include "support/BackupScene.h"

#include <csignal>
#include <gtest/gtest.h>
#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <thread>

namespace tessa {
namespace {

using test::BackupScene;
using test::RecordingObserver;
using test::TempDir;

// Recording i of a long card: one a second from 10:00:00.
QString longCardName(int i) {
    return QStringLiteral("2018011510%1%2-I-%3.wav")
        .arg(i / 60, 2, 10, QChar('0'))
        .arg(i % 60, 2, 10, QChar('0'))
        .arg(i);
}

QString cliPath() {
    return QStringLiteral(TESSA_BIN_DIR "/tessa-cli");
}

// A watcher process over the scene's drives (TESSA_DRIVES is inherited), its JSON lines collected.
class Watcher {
public:
    explicit Watcher(const QString& backup, bool move = false) {
        QStringList args{"watch", "--to", backup, "--json"};
        if (move)
            args << "--move";
        process_.start(cliPath(), args);
        EXPECT_TRUE(process_.waitForStarted(10000));
    }
    ~Watcher() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    // Waits for the next report line; an empty object when none came in time.
    QJsonObject nextPass(int ms) {
        QDeadlineTimer deadline(ms);
        while (!process_.canReadLine() && !deadline.hasExpired())
            process_.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        if (!process_.canReadLine())
            return {};
        return QJsonDocument::fromJson(process_.readLine()).object();
    }
    // SIGTERM; the exit code, or -1 when it did not end within the limit.
    int terminate(int ms = 10000) {
        ::kill(pid_t(process_.processId()), SIGTERM);
        if (!process_.waitForFinished(ms))
            return -1;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    QString rest() {
        return QString::fromUtf8(process_.readAllStandardOutput() + process_.readAllStandardError());
    }

private:
    QProcess process_;
};

TEST(WatchCli, BacksUpACardOncePerInsertionAndEndsOnSigterm) {
    BackupScene scene;
    scene.add("20180115093012-I-5551234.wav");
    scene.add("20180116080000-O-42.wav");
    Watcher watcher(scene.backup);
    const QJsonObject pass = watcher.nextPass(20000);
    ASSERT_EQ(pass["event"].toString(), "pass") << watcher.rest().toStdString();
    EXPECT_EQ(pass["drive"].toString(), "E");
    EXPECT_EQ(pass["copied"].toInt(), 2);
    EXPECT_TRUE(pass["complete"].toBool());
    EXPECT_EQ(scene.monthLogRecords("201801").size(), 2u);

    // Two more polls with the card still in: no second pass.
    EXPECT_TRUE(watcher.nextPass(4500).isEmpty());

    // The card goes and comes back (with one more recording): one more pass, over the new record only.
    const QString away = scene.card + "-away";
    ASSERT_TRUE(QDir().rename(scene.card, away));
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    ASSERT_TRUE(QDir().rename(away, scene.card));
    scene.add("20180117080000-O-43.wav");
    const QJsonObject again = watcher.nextPass(20000);
    ASSERT_EQ(again["event"].toString(), "pass") << watcher.rest().toStdString();
    EXPECT_EQ(again["copied"].toInt(), 1);
    EXPECT_EQ(again["alreadyThere"].toInt(), 2);
    EXPECT_EQ(scene.monthLogRecords("201801").size(), 3u);

    EXPECT_EQ(watcher.terminate(), 0);
}

TEST(WatchCli, SigtermMidPassEndsBetweenRecordsWithWholeMonthLogs) {
    BackupScene scene;
    constexpr int kRecords = 300;
    for (int i = 0; i < kRecords; ++i)
        scene.add(longCardName(i), false, 64 * 1024);
    Watcher watcher(scene.backup, true); // move mode syncs every copy: a pass that takes its time
    const QString log = scene.monthLog("201801");
    QDeadlineTimer deadline(30000);
    while (QFileInfo(log).size() == 0 && !deadline.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GT(QFileInfo(log).size(), 0);
    const int code = watcher.terminate();
    EXPECT_EQ(code, 0) << watcher.rest().toStdString();
    const QJsonObject pass = watcher.nextPass(1000);
    const auto records = scene.monthLogRecords("201801"); // a torn tail fails inside
    ASSERT_FALSE(records.empty());
    if (!pass.isEmpty() && !pass["complete"].toBool()) {
        EXPECT_TRUE(pass["stopped"].toBool());
        EXPECT_LT(int(records.size()), kRecords);
    }
    // Every logged copy is whole in the tree and gone from the card; every other recording is still there.
    int onCard = 0;
    for (int i = 0; i < kRecords; ++i) {
        const QString name = longCardName(i);
        const bool logged = i < int(records.size());
        if (logged) {
            EXPECT_EQ(TempDir::read(scene.onPc(name)), BackupScene::contentOf(name, 64 * 1024))
                << name.toStdString();
        }
        if (QFileInfo::exists(scene.onCard(name))) {
            ++onCard;
        } else {
            EXPECT_TRUE(logged) << name.toStdString();
        }
    }
    EXPECT_EQ(onCard + int(records.size()), kRecords);
}

TEST(WatchCli, TheLockRefusesASecondPassIntoTheSameRoot) {
    BackupScene scene;
    scene.add("20180115093012-I-5551234.wav");
    platform::FolderLock held;
    ASSERT_EQ(held.tryLock(QDir(scene.backup).absolutePath(), platform::Area::Backup),
              platform::FolderLock::Result::Locked);

    // In this process: the pass refuses and writes nothing.
    RecordingObserver seen;
    const BackupSummary refused = runBackupPass(scene.request(false), scene.load(), nullptr, seen);
    EXPECT_TRUE(refused.lockRefused);
    EXPECT_FALSE(refused.ran);
    EXPECT_TRUE(seen.results.empty());
    EXPECT_FALSE(QFileInfo::exists(scene.monthLog("201801")));

    // A watcher is refused too, and tries again until the root is free.
    Watcher watcher(scene.backup);
    const QJsonObject first = watcher.nextPass(20000);
    ASSERT_EQ(first["event"].toString(), "pass") << watcher.rest().toStdString();
    EXPECT_TRUE(first["lockRefused"].toBool());
    EXPECT_FALSE(QFileInfo::exists(scene.onPc("20180115093012-I-5551234.wav")));
    held.unlock();
    const QJsonObject second = watcher.nextPass(20000);
    EXPECT_FALSE(second["lockRefused"].toBool());
    EXPECT_EQ(second["copied"].toInt(), 1);
    EXPECT_EQ(watcher.terminate(), 0);

    // With the lock free again, this process's pass runs.
    EXPECT_FALSE(runBackupPass(scene.request(false), scene.load(), nullptr, seen).lockRefused);
}

} // namespace
} // namespace tessa
