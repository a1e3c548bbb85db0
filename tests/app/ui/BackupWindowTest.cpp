#include "app/ui/BackupCommands.h"
#include "app/ui/MainWindow.h"
#include "backup/ui/BackupDialog.h"
#include "browse/Commands.h"
#include "browse/RecordListModel.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordCommands.h"
#include "browse/ui/RecordListPage.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "demo/DemoCard.h"
#include "platform/VolumeTable.h"
#include "store/AppState.h"
#include "store/LoadSink.h"
#include "support/TempDir.h"
#include "support/ui/AnswerBox.h"
#include "support/ui/EventLoop.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

namespace tessa {
namespace {

using test::answerBox;
using test::TempDir;
using test::waitFor;

// The automatic backup dialog runs in a local event loop inside the card loader's call to the window, so
// a test cannot wait for it and then act: it arms the action first, and the local loop runs it.
void actWhen(std::function<bool()> condition, std::function<void()> action) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [=] {
        if (!condition())
            return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start(10);
}

// The window with a demo card that TESSA_DRIVES makes drive E, automatic backup switched on.
class BackupWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(dir.file("Config"));
        for (const QString& file : QDir(TESSA_BIN_DIR "/Config").entryList(QDir::Files))
            QFile::copy(TESSA_BIN_DIR "/Config/" + file, dir.file("Config/" + file));
        setConfigLocations(portableConfigLocations(dir.file("Config")));
        QDir().mkpath(backup);
        writeStringSetting(QStringLiteral("BackupPath"), backup);
        writeIntSetting(QStringLiteral("AutoBackup"), 1);
        writeIntSetting(QStringLiteral("BackupDelFile"), 0);
        qputenv("TESSA_DEVICE_STATE", dir.file("device.bin").toUtf8());
        QString error;
        ASSERT_TRUE(writeDemoCard(card, DemoCardOptions{0, 12, 5}, &error)) << error.toStdString();
        qputenv("TESSA_DRIVES", ("E=" + card).toUtf8());
        auto table = std::make_shared<platform::SystemVolumeTable>();
        table->refresh();
        platform::setVolumeTable(table);
    }
    void TearDown() override {
        qunsetenv("TESSA_DRIVES");
        platform::setVolumeTable(nullptr);
        setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent")));
    }

    BackupDialog* automatic(MainWindow& window) { return window.backupCommands()->automaticDialog(); }
    QPushButton* button(BackupDialog* d, int id) {
        return d->findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id));
    }
    void selectRow(MainWindow& window, int row) {
        QTableView* table = window.view()->page(PageAll)->table();
        table->clearSelection();
        table->selectionModel()->select(table->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // The month-log image of a record of the backup collection, as the file holds it now.
    QByteArray monthLogImage(const CallRecord& r) {
        const QString stamp = r.shortPath.text().section(QLatin1Char('\\'), -1).left(6);
        const QByteArray log = TempDir::read(backup + "TessaDeviceBackup/CallLog/" + stamp + "CallLogBK.dat");
        return log.mid(qsizetype(r.index.get()) * 1076, 1076);
    }

    TempDir dir;
    QString card = dir.file("card");
    QString backup = dir.file("backup") + "/";
    AppState state;
};

TEST_F(BackupWindowTest, AutomaticBackupShowsTheBackupWhoseRecordsCanBeMarkedAndDeleted) {
    MainWindow window(state);
    window.resize(1200, 800);
    bool busyWhileOffered = false;
    int viewWhileOffered = -1;
    size_t cardCount = 0;
    actWhen([&] { return automatic(window)->isVisible(); },
            [&] {
                // The loader waits for the dialog with the card's records loaded and the busy flag held.
                busyWhileOffered = state.busy;
                viewWhileOffered = state.viewMode;
                cardCount = state.cardRecords.count();
                button(automatic(window), 1085)->click();
            });
    window.show();

    ASSERT_TRUE(waitFor([&] { return cardCount > 0 && state.viewMode == ViewBackup && !state.busy; }, 20000));
    EXPECT_TRUE(busyWhileOffered);
    EXPECT_EQ(viewWhileOffered, int(ViewCard));
    ASSERT_TRUE(waitFor([&] { return window.view()->page(PageAll)->rowCount() == int(cardCount); }));
    EXPECT_FALSE(automatic(window)->isVisible());
    EXPECT_EQ(state.backupRecords.count(), cardCount);
    // The card kept its recordings; the rows show the backup collection's new records.
    RecordListModel* rows = window.view()->page(PageAll)->model();
    for (int row = 0; row < rows->rowCount(); ++row) {
        const CallRecord* r = rows->record(row);
        ASSERT_TRUE(r);
        EXPECT_TRUE(r->fullPath.text().startsWith(backup)) << row;
        EXPECT_EQ(monthLogImage(*r).mid(556, 520),
                  QByteArray(reinterpret_cast<const char*>(&r->fullPath), 520));
    }

    // Marking a freshly backed-up record writes its mark into its month log.
    int markRow = -1, deleteRow = -1;
    for (int row = 0; row < rows->rowCount() && deleteRow < 0; ++row) {
        const QString path = rows->record(row)->fullPath.text();
        if (path.endsWith(".tmp"))
            continue;
        (markRow < 0 ? markRow : deleteRow) = row;
    }
    ASSERT_GE(deleteRow, 0);
    CallRecord* marked = rows->record(markRow);
    selectRow(window, markRow);
    window.recordCommands()->toggleMarks();
    EXPECT_EQ(marked->marked.get(), 1u);
    EXPECT_EQ(monthLogImage(*marked).at(7), 1);
    EXPECT_EQ(monthLogImage(*marked).at(144), 1);

    // Deleting another clears it in its month log and removes its copy from the backup.
    CallRecord* doomed = rows->record(deleteRow);
    const CallRecord before = *doomed;
    const QString copy = QString(before.fullPath.text()).replace('\\', '/');
    ASSERT_TRUE(QFileInfo::exists(copy));
    selectRow(window, deleteRow);
    answerBox(QStringLiteral("confirmation"), QMessageBox::Yes);
    answerBox(QStringLiteral("deleteSummary"), QMessageBox::Ok);
    window.recordCommands()->deleteSelected();
    EXPECT_EQ(monthLogImage(before).at(4), 0);
    EXPECT_EQ(monthLogImage(before).mid(132, 4), QByteArray(4, '\0'));
    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_EQ(state.backupRecords.count(), cardCount - 1);
    EXPECT_EQ(window.view()->page(PageAll)->rowCount(), int(cardCount - 1));
}

TEST_F(BackupWindowTest, StopBeforeStartReleasesTheLoaderWithTheCardsRecords) {
    MainWindow window(state);
    bool offered = false;
    actWhen([&] { return automatic(window)->isVisible(); },
            [&] {
                offered = true;
                button(automatic(window), 1084)->click();
            });
    window.show();
    ASSERT_TRUE(
        waitFor([&] { return offered && !state.busy && window.view()->page(PageAll)->rowCount() > 0; }));
    EXPECT_EQ(state.viewMode.load(), int(ViewCard));
    EXPECT_EQ(size_t(window.view()->page(PageAll)->rowCount()), state.cardRecords.count());
    EXPECT_FALSE(QFileInfo::exists(backup + "TessaDeviceBackup"));
}

TEST_F(BackupWindowTest, ASecondCardInsertionOffersTheBackupAgain) {
    MainWindow window(state);
    bool offered = false;
    actWhen([&] { return automatic(window)->isVisible(); },
            [&] {
                offered = true;
                button(automatic(window), 1085)->click();
            });
    window.show();
    ASSERT_TRUE(waitFor([&] { return offered && state.viewMode == ViewBackup && !state.busy; }, 20000));

    // The card is pulled, then put back.
    ASSERT_TRUE(QDir().rename(card, card + "-out"));
    ASSERT_TRUE(waitFor([&] { return state.cardDriveLetter == 0; }, 10000));
    BackupDialog* dialog = automatic(window);
    bool ready = false;
    offered = false;
    actWhen([&] { return dialog->isVisible(); },
            [&] {
                offered = true;
                ready = !dialog->started() && button(dialog, 1085)->isEnabled() &&
                        button(dialog, 1069)->isEnabled() && dialog->progressBar()->value() == 0;
                // A second pass over the same card finds everything in the backup.
                button(dialog, 1085)->click();
            });
    ASSERT_TRUE(QDir().rename(card + "-out", card));
    ASSERT_TRUE(waitFor([&] { return offered; }, 10000));
    EXPECT_TRUE(ready);
    ASSERT_TRUE(
        waitFor([&] { return state.viewMode == ViewBackup && !state.busy && !dialog->isVisible(); }, 20000));
    size_t logged = 0;
    for (const QString& name :
         QDir(backup + "TessaDeviceBackup/CallLog").entryList({"*CallLogBK.dat"}, QDir::Files))
        logged += size_t(QFileInfo(backup + "TessaDeviceBackup/CallLog/" + name).size()) / 1076;
    EXPECT_EQ(logged, state.cardRecords.count());
}

TEST_F(BackupWindowTest, TheBackupCommandsOpenTheirDialogsAndRefuseWhileBusy) {
    writeIntSetting(QStringLiteral("AutoBackup"), 0);
    MainWindow window(state);
    window.show();
    ASSERT_TRUE(waitFor([&] { return !state.busy && window.view()->page(PageAll)->rowCount() > 0; }));
    EXPECT_TRUE(window.findChild<QAction*>(QStringLiteral("cmd32790"))->isEnabled());

    // Back up all records from the menu: the modal dialog, started and left to finish.
    QString title;
    QTimer::singleShot(0, [&] {
        waitFor([] { return qobject_cast<BackupDialog*>(QApplication::activeModalWidget()) != nullptr; },
                5000);
        if (auto* d = qobject_cast<BackupDialog*>(QApplication::activeModalWidget())) {
            title = d->windowTitle();
            d->startPass();
        }
    });
    window.onCommand(CmdBackupAll);
    EXPECT_EQ(title, text(99));
    EXPECT_FALSE(state.busy);
    EXPECT_EQ(state.backupRecords.count(), state.cardRecords.count());

    // The selected records need a selection on the page on view.
    selectRow(window, 0);
    QTimer::singleShot(0, [&] {
        waitFor([] { return qobject_cast<BackupDialog*>(QApplication::activeModalWidget()) != nullptr; },
                5000);
        if (auto* d = qobject_cast<BackupDialog*>(QApplication::activeModalWidget())) {
            title = d->windowTitle();
            d->reject();
        }
    });
    window.onCommand(CmdBackupSelected);
    EXPECT_EQ(title, text(194));

    state.busy = true;
    int refused = 0;
    answerBox(QStringLiteral("busyRefusal"), QMessageBox::Ok, &refused);
    window.onCommand(CmdBackupAll);
    answerBox(QStringLiteral("busyRefusal"), QMessageBox::Ok, &refused);
    window.onCommand(CmdSetBackupFolder);
    EXPECT_EQ(refused, 2);
    state.busy = false;
}

} // namespace
} // namespace tessa
