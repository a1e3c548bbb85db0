#include "app/ui/MainWindow.h"

#include "audio/ui/PlayerPane.h"
#include "audio/ui/WaveformView.h"
#include "browse/Commands.h"
#include "browse/RecordListModel.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordListPage.h"
#include "browse/ui/TreePane.h"
#include "config/IniFile.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "demo/DemoCard.h"
#include "device/ui/ParametersPage.h"
#include "phonebook/ui/PhonebookPage.h"
#include "platform/FileRoots.h"
#include "store/AppState.h"
#include "store/CallLogService.h"
#include "store/LoadSink.h"
#include "support/CardFixtures.h"
#include "support/EventLoop.h"
#include "support/ScopedConfig.h"
#include "support/ScopedEnvironment.h"
#include "support/ui/Screenshot.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

using namespace tessa;

namespace {

using tessa::test::waitUntil;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QDir().mkpath(dir.filePath("backup"));
        writeStringSetting(QStringLiteral("BackupPath"), dir.filePath("backup") + "/");
        environment.set("TESSA_DEVICE_STATE", dir.filePath("device.bin").toUtf8());
    }

    QString writeCard(int model = 0) {
        const QString card = dir.filePath(QStringLiteral("card%1").arg(model));
        QString error;
        EXPECT_TRUE(writeDemoCard(card, DemoCardOptions{model, 40, 3}, &error)) << error.toStdString();
        return card;
    }

    test::ScratchConfig config{test::ScratchConfig::ShippedFiles};
    QTemporaryDir dir;
    test::ScopedEnvironment environment;
    test::ScopedVolumes volumes{{{'C', platform::DriveFixed, QStringLiteral("/")}}};
    AppState state;
};

} // namespace

TEST_F(MainWindowTest, StartsOnTheAllRecordsPage) {
    MainWindow window(state);
    window.resize(1200, 800);
    window.show();
    MainView* view = window.view();
    EXPECT_EQ(view->currentPageType(), 1);
    EXPECT_EQ(view->treePane()->selectedPage(), 1);
    QTreeWidget* tree = view->treePane()->tree();
    EXPECT_TRUE(tree->topLevelItem(0)->isExpanded());
    EXPECT_TRUE(tree->currentItem()->isExpanded());
    EXPECT_TRUE(view->page(1)->isVisible());
    EXPECT_TRUE(view->recordToolbar()->isVisible());
    EXPECT_FALSE(view->importToolbar()->isVisible());
    EXPECT_EQ(window.pane(1)->text(), text(91));
    EXPECT_EQ(window.windowTitle(), readStringSetting(QStringLiteral("Software")) + "  1.0.0.22 20180115");
}

TEST_F(MainWindowTest, PageSwitchingShowsAndHidesTheParts) {
    MainWindow window(state);
    window.resize(1200, 800);
    window.show();
    MainView* view = window.view();
    view->showPage(0);
    EXPECT_TRUE(view->webPane()->isVisible());
    EXPECT_TRUE(view->playerPane()->isVisible());
    EXPECT_FALSE(view->recordToolbar()->isVisible());
    EXPECT_FALSE(view->page(1)->isVisible());

    view->showPage(10);
    EXPECT_TRUE(view->importToolbar()->isVisible());
    EXPECT_FALSE(view->recordToolbar()->isVisible());
    EXPECT_TRUE(view->page(10)->isVisible());
    EXPECT_EQ(window.pane(3)->text(), QStringLiteral("%1:  0").arg(text(215)));

    view->showPage(11);
    EXPECT_FALSE(view->playerPane()->isVisible());
    EXPECT_TRUE(view->parametersPage()->isVisible());
    EXPECT_FALSE(view->phonebookPage()->isVisible());
    EXPECT_EQ(window.pane(3)->text(), text(6));

    // Answering-machine messages have a node of their own.
    view->showPage(6);
    EXPECT_EQ(view->treePane()->selectedPage(), 6);
    EXPECT_TRUE(view->page(6)->isVisible());
}

TEST_F(MainWindowTest, CardIsFoundListedAndRemoved) {
    const QString card = writeCard();
    volumes.table().setVolumes(
        {{'C', platform::DriveFixed, QStringLiteral("/")}, test::removable('E', card)});
    MainWindow window(state);
    window.resize(1200, 800);
    window.show();
    MainView* view = window.view();
    ASSERT_TRUE(waitUntil([&] { return view->page(1)->rowCount() > 0 && !state.busy; }));
    EXPECT_EQ(state.viewMode.load(), int(ViewCard));
    EXPECT_EQ(state.cardDriveLetter.load(), 'E');
    EXPECT_EQ(size_t(view->page(1)->rowCount()), state.cardRecords.count());
    EXPECT_EQ(window.pane(3)->text(), QStringLiteral("%1:  %2").arg(text(2)).arg(state.cardRecords.count()));
    EXPECT_TRUE(window.pane(4)->text().startsWith(text(142)));
    EXPECT_TRUE(QFile::exists(card + "/beep1.wav"));
    EXPECT_EQ(readIntSetting(QStringLiteral("DevType")), 0);
    EXPECT_EQ(platform::cardRoot(), QDir(card).canonicalPath());
    test::saveScreenshot(window, QStringLiteral("tessa-main-window"));

    // Pulling the card empties the lists and goes back to the backup.
    volumes.table().setVolumes({{'C', platform::DriveFixed, QStringLiteral("/")}});
    ASSERT_TRUE(waitUntil([&] { return state.viewMode == ViewBackup; }));
    EXPECT_EQ(view->page(1)->rowCount(), 0);
    EXPECT_EQ(state.cardDriveLetter.load(), 0);
    EXPECT_TRUE(platform::cardRoot().isEmpty()); // nothing reaches the pulled card's folder any more
}

TEST_F(MainWindowTest, CommandsAreRefusedWhileBusy) {
    MainWindow window(state);
    window.show();
    state.busy = true;
    QString shown;
    QTimer::singleShot(0, [&] {
        waitUntil([&] { return QApplication::activeModalWidget() != nullptr; }, 2000);
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->windowTitle() + "|" + box->text();
            box->accept();
        }
    });
    const int view = state.viewMode;
    window.onCommand(CmdCardView);
    EXPECT_EQ(shown, text(160) + "|" + text(159));
    EXPECT_EQ(state.viewMode.load(), view);
    state.busy = false;
}

TEST_F(MainWindowTest, AutomaticBackupToggleAndCheckMarks) {
    MainWindow window(state);
    auto* toggle = window.findChild<QAction*>(QStringLiteral("cmd32787"));
    ASSERT_TRUE(toggle);
    IniFile(configLocations().settingsFile).write("Setting", "AutoBackup", "");
    writeIntSetting(QStringLiteral("AutoBackup"), -1);
    window.onCommand(CmdAutoBackup); // -1 counts as on: it is switched off
    EXPECT_EQ(readIntSetting(QStringLiteral("AutoBackup")), 0);
    EXPECT_FALSE(toggle->isChecked());
    window.onCommand(CmdAutoBackup);
    EXPECT_EQ(readIntSetting(QStringLiteral("AutoBackup")), 1);
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_TRUE(window.findChild<QAction*>(QStringLiteral("cmd32789"))->isChecked()); // backup view, VX7
    EXPECT_FALSE(window.findChild<QAction*>(QStringLiteral("cmd32788"))->isChecked());
}

TEST_F(MainWindowTest, ColumnWidthsAreKeptByTheAllRecordsPage) {
    {
        MainWindow window(state);
        window.view()->page(1)->table()->setColumnWidth(3, 222);
        window.view()->page(2)->table()->setColumnWidth(4, 333); // other pages do not save
    }
    EXPECT_EQ(readIntSetting(QStringLiteral("ListWndColumn4")), 222);
    EXPECT_NE(readIntSetting(QStringLiteral("ListWndColumn5")), 333);
    MainWindow again(state);
    for (int type = 1; type <= 10; ++type)
        EXPECT_EQ(again.view()->page(type)->table()->columnWidth(3), 222) << type;
    // The remark column stays hidden for the VX7 whatever width is stored.
    EXPECT_TRUE(again.view()->page(1)->table()->isColumnHidden(7));
}

TEST_F(MainWindowTest, AboutBoxShowsTheSettingLinesAndClosesOnAClick) {
    writeStringSetting(QStringLiteral("Software"), QStringLiteral("Tessa Test"));
    IniFile(configLocations().settingsFile)
        .write(QStringLiteral("Setting"), QStringLiteral("Company"), QString());
    MainWindow window(state);
    window.show();
    bool closedByClick = false;
    QString software, company, version;
    bool logo = false;
    QTimer::singleShot(0, [&] {
        waitUntil([&] { return QApplication::activeModalWidget() != nullptr; }, 2000);
        QWidget* about = QApplication::activeModalWidget();
        if (!about)
            return;
        software = about->findChild<QLabel*>(QStringLiteral("ctl1076"))->text();
        company = about->findChild<QLabel*>(QStringLiteral("ctl1077"))->text();
        version = about->findChild<QLabel*>(QStringLiteral("ctl1084"))->text();
        logo = !about->findChild<QLabel*>(QStringLiteral("ctl1110"))->pixmap().isNull();
        QMouseEvent click(QEvent::MouseButtonPress, QPointF(5, 5), about->mapToGlobal(QPointF(5, 5)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(about, &click);
        closedByClick = !about->isVisible();
    });
    window.onCommand(CmdAbout);
    EXPECT_EQ(software, QStringLiteral("Tessa Test"));
    EXPECT_EQ(company, QString());
    EXPECT_EQ(version, QStringLiteral("1.0.0.22 20180115"));
    EXPECT_TRUE(logo);
    EXPECT_TRUE(closedByClick);
}

TEST_F(MainWindowTest, DoubleClickingACardRecordPlaysItWithItsWaveform) {
    const QString card = writeCard();
    volumes.table().setVolumes(
        {{'C', platform::DriveFixed, QStringLiteral("/")}, test::removable('E', card)});
    MainWindow window(state);
    window.resize(1200, 800);
    window.show();
    MainView* view = window.view();
    ASSERT_TRUE(waitUntil([&] { return view->page(PageNotes)->rowCount() > 0 && !state.busy; }));
    view->showPage(PageNotes);
    QTableView* table = view->page(PageNotes)->table();
    const QModelIndex first = table->model()->index(0, 3);
    table->selectRow(0);
    emit table->doubleClicked(first);
    PlayerPane* player = window.player();
    ASSERT_TRUE(waitUntil([&] { return player->playState() == PlayerPane::Playing; }));
    EXPECT_GT(player->duration(), 0u);
    EXPECT_EQ(player->waveform()->totalLength(), int(player->duration()));
    EXPECT_EQ(player->currentRow(), 0);
    test::saveScreenshot(window, QStringLiteral("tessa-playing"));
}
