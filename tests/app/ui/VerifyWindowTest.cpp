// The window's side of the backup checks: Tools > Verify Backup runs beside the window, and the backup
// view follows what a watcher (another process) appends to the month logs.

#include "app/ui/MainWindow.h"
#include "backup/ui/VerifyDialog.h"
#include "browse/Commands.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordListPage.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "demo/DemoCard.h"
#include "platform/VolumeTable.h"
#include "store/AppState.h"
#include "store/LoadSink.h"
#include "support/ScopedConfig.h"
#include "support/ScopedEnvironment.h"
#include "support/ScopedVolumes.h"
#include "support/TempDir.h"
#include "support/ui/EventLoop.h"

#include <gtest/gtest.h>
#include <optional>
#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>

namespace tessa {
namespace {

using test::TempDir;
using test::waitFor;

// A backup made by tessa-cli from demo cards, and a window that shows it: drive E is an empty folder,
// so no card is found and the window stays on the backup view.
class VerifyWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(backup);
        QDir().mkpath(dir.file("noCard"));
        writeStringSetting(QStringLiteral("BackupPath"), backup);
        writeIntSetting(QStringLiteral("AutoBackup"), 0);
        writeIntSetting(QStringLiteral("DevType"), 0);
        environment.set("TESSA_DEVICE_STATE", dir.file("device.bin").toUtf8());
        environment.set("TESSA_DRIVES", ("E=" + dir.file("noCard")).toUtf8());
        auto table = std::make_shared<platform::SystemVolumeTable>();
        table->refresh();
        volumes.emplace(std::move(table));
    }

    // Another process backs a demo card up into the backup folder, as a watcher would.
    void backUpFromOutside(const QString& name, uint32_t seed, int records) {
        const QString card = dir.file(name);
        QString error;
        ASSERT_TRUE(writeDemoCard(card, DemoCardOptions{0, records, seed}, &error)) << error.toStdString();
        QProcess cli;
        cli.setProcessChannelMode(QProcess::MergedChannels);
        cli.start(QStringLiteral(TESSA_BIN_DIR "/tessa-cli"),
                  {"backup", card, "--to", backup, "--model", "0"});
        ASSERT_TRUE(cli.waitForFinished(60000));
        ASSERT_EQ(cli.exitCode(), 0) << cli.readAll().toStdString();
    }
    // Records in the month logs of the VX7 model folder.
    size_t loggedRecords() const {
        size_t logged = 0;
        const QString logs = backup + "TessaDeviceBackup/CallLog/";
        for (const QString& name : QDir(logs).entryList({"*CallLogBK.dat"}, QDir::Files))
            logged += size_t(QFileInfo(logs + name).size()) / 1076;
        return logged;
    }
    bool showsBackupOf(MainWindow& window, size_t records) {
        return !state.busy && state.viewMode == ViewBackup && state.backupRecords.count() == records &&
               window.view()->page(PageAll)->rowCount() == int(records);
    }

    TempDir dir;
    test::ScratchConfig config{test::ScratchConfig::ShippedFiles};
    test::ScopedEnvironment environment;
    std::optional<test::ScopedVolumeTable> volumes;
    QString backup = dir.file("backup") + "/";
    AppState state;
};

TEST_F(VerifyWindowTest, VerifyBackupRunsBesideTheWindowAndReportsInItsDialog) {
    backUpFromOutside("card1", 3, 12);
    const size_t records = loggedRecords();
    ASSERT_GT(records, 0u);
    // One copy lost: the report names it.
    const QStringList days = QDir(backup + "TessaDeviceBackup").entryList({"20*"}, QDir::Dirs);
    ASSERT_FALSE(days.isEmpty());
    QDirIterator copies(backup + "TessaDeviceBackup/" + days.first(), QDir::Files,
                        QDirIterator::Subdirectories);
    ASSERT_TRUE(copies.hasNext());
    const QString lost = copies.next();
    ASSERT_TRUE(QFile::remove(lost));

    MainWindow window(state);
    window.show();
    ASSERT_TRUE(waitFor([&] { return showsBackupOf(window, records); }, 20000));

    QAction* verify = window.findChild<QAction*>(QStringLiteral("cmd32850"));
    ASSERT_TRUE(verify);
    EXPECT_EQ(verify->text(), text(412));
    EXPECT_TRUE(verify->isEnabled());
    verify->trigger();

    // The command returned before the check ended (its end arrives through the event loop), with no
    // modal window in the way.
    auto* dialog = window.findChild<VerifyDialog*>();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(dialog->summary().ran);
    EXPECT_EQ(dialog->windowTitle(), text(401));
    ASSERT_TRUE(dialog->findChild<QProgressBar*>(QStringLiteral("verifyProgress")));

    // A second request shows the same dialog.
    verify->trigger();
    EXPECT_EQ(window.findChildren<VerifyDialog*>().size(), 1);

    ASSERT_TRUE(waitFor([&] { return dialog->summary().ran && !dialog->running(); }, 20000));
    const VerifySummary& summary = dialog->summary();
    EXPECT_EQ(summary.records, uint32_t(records));
    EXPECT_EQ(summary.missing, 1u);
    EXPECT_EQ(summary.damaged, 0u);
    EXPECT_EQ(dialog->progressBar()->maximum(), int(records));
    EXPECT_EQ(dialog->progressBar()->value(), int(records));
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("verifyStatus"))->text(), verifyCountsLine(summary));
    const QString report = dialog->report()->toPlainText();
    const QString relative = QDir(backup + "TessaDeviceBackup").relativeFilePath(lost);
    EXPECT_TRUE(report.contains(text(409) + ": " + relative)) << report.toStdString();
    // The window went on with its own work meanwhile: the backup is still on view.
    EXPECT_EQ(window.view()->page(PageAll)->rowCount(), int(records));
}

TEST_F(VerifyWindowTest, TheBackupViewReloadsAfterAnotherProcessAppended) {
    backUpFromOutside("card1", 3, 8);
    const size_t first = loggedRecords();
    MainWindow window(state);
    window.show();
    ASSERT_TRUE(waitFor([&] { return showsBackupOf(window, first); }, 20000));

    backUpFromOutside("card2", 4, 9);
    const size_t both = loggedRecords();
    ASSERT_GT(both, first);
    // Seen at one drive poll, read at the next (2 s apart) and listed a second later.
    EXPECT_TRUE(waitFor([&] { return showsBackupOf(window, both); }, 20000))
        << state.backupRecords.count() << " of " << both;
}

} // namespace
} // namespace tessa
