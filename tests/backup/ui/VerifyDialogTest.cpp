#include "backup/ui/VerifyDialog.h"

#include "backup/BackupPass.h"
#include "config/ProgramFolder.h"
#include "config/StringTable.h"
#include "support/BackupScene.h"
#include "support/ui/EventLoop.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace tessa {
namespace {

using test::BackupScene;
using test::RecordingObserver;
using test::TempDir;
using test::waitFor;

class VerifyDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(config.file("Config"));
        for (const QString& file : QDir(TESSA_BIN_DIR "/Config").entryList(QDir::Files))
            QFile::copy(TESSA_BIN_DIR "/Config/" + file, config.file("Config/" + file));
        setConfigLocations(portableConfigLocations(config.file("Config")));
    }
    void TearDown() override { setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent"))); }
    void backUp(int records) {
        for (int i = 0; i < records; ++i)
            scene.add(QStringLiteral("2018011510%1%2-I-%3.wav")
                          .arg(i / 60, 2, 10, QChar('0'))
                          .arg(i % 60, 2, 10, QChar('0'))
                          .arg(i));
        RecordingObserver seen;
        ASSERT_EQ(runBackupPass(scene.request(false), scene.load(), nullptr, seen).copied, uint32_t(records));
    }
    TempDir config;
    BackupScene scene;
    std::atomic<bool> quit{false};
};

TEST_F(VerifyDialogTest, ShowsTheCountsAndListsWhatIsMissing) {
    backUp(3);
    QFile::remove(scene.onPc("20180115100001-I-1.wav"));
    VerifyDialog dialog(&quit);
    dialog.show();
    int ended = 0;
    QObject::connect(&dialog, &VerifyDialog::checkEnded, [&] { ++ended; });
    ASSERT_TRUE(dialog.start(scene.backup, scene.model()));
    ASSERT_TRUE(waitFor([&] { return ended == 1; }));
    EXPECT_EQ(dialog.summary().missing, 1u);
    EXPECT_EQ(dialog.summary().intact, 2u);
    EXPECT_EQ(dialog.progressBar()->maximum(), 3);
    EXPECT_EQ(dialog.progressBar()->value(), 3);
    const QString report = dialog.report()->toPlainText();
    EXPECT_TRUE(report.startsWith(text(405))) << report.toStdString();
    EXPECT_TRUE(report.contains(text(409) + ": 201801/20180115/20180115100001-I-1.wav"))
        << report.toStdString();
    const QString status = dialog.findChild<QLabel*>("verifyStatus")->text();
    EXPECT_EQ(status, text(403) + ": 3, " + text(413) + ": 2, " + text(411) + ": 0, " + text(414) + ": 0, " +
                          text(409) + ": 1, " + text(410) + ": 0.");
    EXPECT_FALSE(dialog.findChild<QPushButton*>("verifyStop")->isEnabled());
}

TEST_F(VerifyDialogTest, AnIntactBackupSaysSoAndNoBackupSaysThat) {
    backUp(2);
    VerifyDialog dialog(&quit);
    int ended = 0;
    QObject::connect(&dialog, &VerifyDialog::checkEnded, [&] { ++ended; });
    ASSERT_TRUE(dialog.start(scene.backup, scene.model()));
    ASSERT_TRUE(waitFor([&] { return ended == 1; }));
    EXPECT_TRUE(dialog.findChild<QLabel*>("verifyStatus")->text().endsWith(text(404)));
    EXPECT_TRUE(dialog.report()->toPlainText().isEmpty());

    // The other model has no backup here.
    ASSERT_TRUE(dialog.start(scene.backup, 1 - scene.model()));
    ASSERT_TRUE(waitFor([&] { return ended == 2; }));
    EXPECT_EQ(dialog.findChild<QLabel*>("verifyStatus")->text(), text(406));
}

TEST_F(VerifyDialogTest, TheWindowKeepsRunningAndCloseStopsTheCheck) {
    backUp(200);
    VerifyDialog dialog(&quit);
    dialog.show();
    int ended = 0;
    QObject::connect(&dialog, &VerifyDialog::checkEnded, [&] { ++ended; });
    ASSERT_TRUE(dialog.start(scene.backup, scene.model()));
    // start() returned at once; a second start is refused while the first runs or has just ended.
    EXPECT_FALSE(dialog.start(scene.backup, scene.model()) && dialog.running());
    QElapsedTimer clock;
    clock.start();
    dialog.findChild<QPushButton*>("verifyClose")->click();
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(waitFor([&] { return !dialog.running(); }));
}

} // namespace
} // namespace tessa
