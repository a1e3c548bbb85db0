#include "backup/ui/BackupDialog.h"

#include "backup/BackupRunner.h"
#include "backup/ui/BackupPathDialog.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "store/AppState.h"
#include "support/BackupScene.h"
#include "support/ui/AnswerBox.h"
#include "support/ui/EventLoop.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace tessa {
namespace {

using test::answerBox;
using test::BackupScene;
using test::TempDir;
using test::waitFor;

// A card with three recordings, the program's settings in a scratch Config folder, and the card
// collection loaded as the loader would.
class BackupDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(config.file("Config"));
        for (const QString& file : QDir(TESSA_BIN_DIR "/Config").entryList(QDir::Files))
            QFile::copy(TESSA_BIN_DIR "/Config/" + file, config.file("Config/" + file));
        setConfigLocations(portableConfigLocations(config.file("Config")));
        writeStringSetting(QStringLiteral("BackupPath"), scene.backup);
        for (const QString& n : names)
            scene.add(n);
        for (const CallRecord& r : scene.load())
            state.cardRecords.append(r);
        state.cardDriveLetter = 'E';
        state.cardLogPath = QStringLiteral("E:\\CallLog.dat");
    }
    void TearDown() override { setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent"))); }

    QPushButton* button(BackupDialog& d, int id) {
        return d.findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id));
    }
    QString settingsText() { return QString::fromUtf8(TempDir::read(config.file("Config/TessaSet.ini"))); }

    const QStringList names = {"20180115093012-I-5551234.wav", "20180115100000-O-0123.wav",
                               "20180116080000-NOTE-.xtr"};
    TempDir config;
    BackupScene scene;
    AppState state;
    BackupRunner runner{state};
};

TEST_F(BackupDialogTest, DeleteAnsweredNoRunsAKeepPassAndClosesWhenItEnds) {
    writeIntSetting(QStringLiteral("BackupDelFile"), 1);
    BackupDialog dialog(state, runner, BackupDialog::Variant::AllRecords);
    EXPECT_EQ(dialog.windowTitle(), text(99));
    EXPECT_EQ(dialog.fileMode()->currentIndex(), 1);
    EXPECT_EQ(dialog.rootEdit()->text(), scene.backup);
    int doneCount = 0;
    QObject::connect(&dialog, &BackupDialog::passDone, [&] { ++doneCount; });
    dialog.show();

    int answered = 0;
    answerBox(QStringLiteral("deleteConfirmation"), QMessageBox::No, &answered);
    button(dialog, 1085)->click();
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(dialog.fileMode()->currentIndex(), 0);
    EXPECT_TRUE(dialog.started());
    EXPECT_FALSE(button(dialog, 1085)->isEnabled());
    EXPECT_FALSE(dialog.fileMode()->isEnabled());
    EXPECT_TRUE(button(dialog, 1084)->isEnabled());
    ASSERT_TRUE(waitFor([&] { return doneCount > 0; }));

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(doneCount, 1);
    EXPECT_FALSE(state.busy);
    for (const QString& n : names) {
        EXPECT_EQ(TempDir::read(scene.onCard(n)), BackupScene::contentOf(n)) << n.toStdString();
        EXPECT_EQ(TempDir::read(scene.onPc(n)), BackupScene::contentOf(n)) << n.toStdString();
    }
    // The answer changed this pass only: the setting still says delete.
    EXPECT_EQ(readIntSetting(QStringLiteral("BackupDelFile")), 1);
    EXPECT_EQ(dialog.progressBar()->maximum(), 3);
    EXPECT_EQ(dialog.progressBar()->value(), 3);
    EXPECT_EQ(dialog.currentEdit()->text(), scene.loggedPath(names[2]));
    // The backup collection took the logged copies with their places in the month logs.
    ASSERT_EQ(state.backupRecords.count(), 3u);
    std::vector<uint32_t> indexes;
    for (const CallRecord& r : state.backupRecords)
        indexes.push_back(r.index.get());
    EXPECT_EQ(indexes, (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(state.backupRecords.begin()->fullPath.text(), scene.loggedPath(names[0]));
}

TEST_F(BackupDialogTest, StopBeforeStartClosesAsCancel) {
    BackupDialog dialog(state, runner, BackupDialog::Variant::Automatic);
    int doneCount = 0;
    QObject::connect(&dialog, &BackupDialog::passDone, [&] { ++doneCount; });
    dialog.initialise();
    dialog.show();
    button(dialog, 1084)->click();
    ASSERT_TRUE(waitFor([&] { return doneCount > 0; }));
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.started());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(QFileInfo::exists(scene.modelFolder()));
    // Shown again for the next card, it is ready to start.
    dialog.initialise();
    dialog.show();
    EXPECT_TRUE(button(dialog, 1085)->isEnabled());
    EXPECT_TRUE(dialog.fileMode()->isEnabled());
    EXPECT_FALSE(dialog.started());
    dialog.reject();
    EXPECT_EQ(doneCount, 2);
}

TEST_F(BackupDialogTest, ChoicesAreWrittenAtOnce) {
    writeStringSetting(QStringLiteral("AutoBackup"), QString());
    BackupDialog dialog(state, runner, BackupDialog::Variant::AllRecords);
    dialog.show();
    writeIntSetting(QStringLiteral("AutoBackup"), -1);
    dialog.initialise();
    // A missing or unset key means automatic backup is off, and the box says so.
    EXPECT_FALSE(dialog.autoBackupBox()->isChecked());
    dialog.autoBackupBox()->click();
    EXPECT_EQ(readIntSetting(QStringLiteral("AutoBackup")), 1);
    dialog.autoBackupBox()->click();
    EXPECT_EQ(readIntSetting(QStringLiteral("AutoBackup")), 0);

    writeIntSetting(QStringLiteral("BackupDelFile"), 7);
    dialog.initialise();
    EXPECT_EQ(dialog.fileMode()->currentIndex(), -1);
    EXPECT_EQ(dialog.fileMode()->itemText(0), text(136));
    EXPECT_EQ(dialog.fileMode()->itemText(1), text(135));
    emit dialog.fileMode()->activated(1);
    EXPECT_EQ(readIntSetting(QStringLiteral("BackupDelFile")), 1);
    dialog.reject();
    EXPECT_FALSE(QFileInfo::exists(scene.modelFolder()));
}

TEST_F(BackupDialogTest, WithoutABackupFolderThePassDoesNothingAndTheDialogStays) {
    writeStringSetting(QStringLiteral("BackupPath"), QString());
    BackupDialog dialog(state, runner, BackupDialog::Variant::AllRecords);
    int doneCount = 0;
    QObject::connect(&dialog, &BackupDialog::passDone, [&] { ++doneCount; });
    dialog.show();
    button(dialog, 1085)->click();
    ASSERT_TRUE(waitFor([&] { return !runner.running() && !state.busy; }));
    waitFor([] { return false; }, 100);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(doneCount, 0);
    button(dialog, 1084)->click();
    ASSERT_TRUE(waitFor([&] { return doneCount == 1; }));
    EXPECT_EQ(state.backupRecords.count(), 0u);
}

TEST_F(BackupDialogTest, AMenuPassIsRefusedWhileACallLogLoads) {
    state.busy = true;
    BackupDialog dialog(state, runner, BackupDialog::Variant::AllRecords);
    dialog.show();
    int answered = 0;
    answerBox(QStringLiteral("busyRefusal"), QMessageBox::Ok, &answered);
    button(dialog, 1085)->click();
    EXPECT_EQ(answered, 1);
    EXPECT_FALSE(dialog.started());
    EXPECT_TRUE(button(dialog, 1085)->isEnabled());
    EXPECT_FALSE(runner.running());
    EXPECT_TRUE(state.busy); // the loader's, left alone
    dialog.reject();
    EXPECT_FALSE(QFileInfo::exists(scene.modelFolder()));
}

TEST_F(BackupDialogTest, TheSelectedRecordsPassWalksTheSelection) {
    std::vector<CallRecord> selection;
    for (const CallRecord& r : state.cardRecords)
        selection.push_back(r);
    selection.erase(selection.begin() + 1);
    QObject list;
    BackupDialog dialog(state, runner, BackupDialog::Variant::SelectedRecords);
    dialog.setSelection(selection, &list);
    dialog.initialise();
    EXPECT_EQ(dialog.windowTitle(), text(194));
    int doneCount = 0;
    QObject::connect(&dialog, &BackupDialog::passDone, [&] { ++doneCount; });
    dialog.show();
    button(dialog, 1085)->click();
    ASSERT_TRUE(waitFor([&] { return doneCount > 0; }));
    EXPECT_TRUE(QFileInfo::exists(scene.onPc(names[0])));
    EXPECT_FALSE(QFileInfo::exists(scene.onPc(names[1])));
    EXPECT_TRUE(QFileInfo::exists(scene.onPc(names[2])));
    EXPECT_EQ(dialog.progressBar()->maximum(), 2);
    EXPECT_EQ(state.backupRecords.count(), 2u);
}

TEST_F(BackupDialogTest, ASelectionWhoseRecordListWentAwayBacksUpNothing) {
    std::vector<CallRecord> selection(state.cardRecords.begin(), state.cardRecords.end());
    auto* list = new QObject;
    BackupDialog dialog(state, runner, BackupDialog::Variant::SelectedRecords);
    dialog.setSelection(selection, list);
    int doneCount = 0;
    QObject::connect(&dialog, &BackupDialog::passDone, [&] { ++doneCount; });
    dialog.show();
    delete list;
    button(dialog, 1085)->click();
    ASSERT_TRUE(waitFor([&] { return doneCount > 0; }));
    EXPECT_EQ(state.backupRecords.count(), 0u);
    for (const QString& n : names)
        EXPECT_FALSE(QFileInfo::exists(scene.onPc(n)));
}

TEST_F(BackupDialogTest, ThePathDialogWritesOnlyAChangedFolder) {
    const QString other = scene.dir.file("other") + "/";
    QDir().mkpath(other);
    QString picked;
    QString shownAt;
    auto chooser = [&](QWidget*, const QString& initial, QString* chosen) {
        shownAt = initial;
        *chosen = picked;
        return true;
    };
    int changes = 0;
    {
        // The folder already set, picked again: OK writes nothing.
        const QString before = settingsText();
        picked = scene.backup;
        BackupPathDialog dialog;
        EXPECT_EQ(dialog.windowTitle(), text(153));
        dialog.setFolderChooser(chooser);
        dialog.pathChanged = [&] { ++changes; };
        dialog.browse();
        EXPECT_EQ(shownAt, scene.backup);
        dialog.accept();
        EXPECT_EQ(changes, 0);
        EXPECT_EQ(settingsText(), before);
    }
    {
        // Another folder, cancelled: nothing written either.
        picked = other;
        BackupPathDialog dialog;
        dialog.setFolderChooser(chooser);
        dialog.browse();
        EXPECT_EQ(dialog.pathEdit()->text(), other);
        dialog.reject();
        EXPECT_EQ(readStringSetting(QStringLiteral("BackupPath")), scene.backup);
    }
    {
        // From the backup dialog's "...": written on OK, reported, and shown in the backup dialog.
        BackupDialog backup(state, runner, BackupDialog::Variant::AllRecords);
        int reported = 0;
        backup.backupPathChanged = [&] { ++reported; };
        backup.preparePathDialog = [&](BackupPathDialog& path) {
            path.setFolderChooser(chooser);
            QTimer::singleShot(0, &path, [&path] {
                path.browse();
                path.accept();
            });
        };
        backup.show();
        button(backup, 1069)->click();
        EXPECT_EQ(reported, 1);
        EXPECT_EQ(readStringSetting(QStringLiteral("BackupPath")), other);
        EXPECT_EQ(backup.rootEdit()->text(), other);
        backup.reject();
    }
    // With no folder set the browser starts at the root drive.
    writeStringSetting(QStringLiteral("BackupPath"), QString());
    BackupPathDialog empty;
    empty.setFolderChooser(chooser);
    empty.browse();
    EXPECT_EQ(shownAt, QStringLiteral("/"));
}

} // namespace
} // namespace tessa
