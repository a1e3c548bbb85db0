// The record commands from the keyboard in the window: Enter plays the selected row, Delete asks first
// with No as the default, Ctrl+M marks, F5 refreshes, and the record pages still never close on Enter or
// Escape. Every key shows in its toolbar tooltip and context menu entry.

#include "app/ui/MainWindow.h"
#include "audio/ui/PlayerPane.h"
#include "browse/Commands.h"
#include "browse/RecordFilter.h"
#include "browse/RecordListModel.h"
#include "browse/ui/CommandKeys.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordCommands.h"
#include "browse/ui/RecordFilterBox.h"
#include "browse/ui/RecordListPage.h"
#include "browse/ui/TreePane.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "demo/DemoCard.h"
#include "store/AppState.h"
#include "store/LoadSink.h"
#include "support/CardFixtures.h"
#include "support/ui/EventLoop.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

namespace record_keys_test {

using namespace tessa;
using tessa::test::waitFor;

class RecordKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QDir().mkpath(dir.filePath("Config"));
        for (const QString& file : QDir(TESSA_BIN_DIR "/Config").entryList(QDir::Files))
            QFile::copy(TESSA_BIN_DIR "/Config/" + file, dir.filePath("Config/" + file));
        setConfigLocations(portableConfigLocations(dir.filePath("Config")));
        QDir().mkpath(dir.filePath("backup"));
        writeStringSetting(QStringLiteral("BackupPath"), dir.filePath("backup") + "/");
        writeIntSetting(QStringLiteral("AutoBackup"), 0);
        qputenv("TESSA_DEVICE_STATE", dir.filePath("device.bin").toUtf8());
        qputenv("TESSA_AUDIO", "null");
        savedDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());

        const QString card = dir.filePath(QStringLiteral("card"));
        QString error;
        ASSERT_TRUE(writeDemoCard(card, DemoCardOptions{0, 12, 5}, &error)) << error.toStdString();
        volumes.table().setVolumes(
            {{'C', platform::DriveFixed, QStringLiteral("/")}, test::removable('E', card)});
        window = std::make_unique<MainWindow>(state);
        window->resize(1200, 800);
        window->show();
        ASSERT_TRUE(waitFor([&] { return page()->rowCount() > 0 && !state.busy; }));
    }
    void TearDown() override {
        window.reset();
        qunsetenv("TESSA_AUDIO");
        qputenv("XDG_DATA_HOME", savedDataHome);
        setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent")));
    }

    RecordListPage* page() const { return window->view()->page(PageAll); }
    QTableView* table() const { return page()->table(); }
    void selectRow(int row) {
        table()->clearSelection();
        table()->selectRow(row);
    }
    // Keys go to the active window only; the progress window of a load takes the activation with it
    // when it closes, so the test gives it back first.
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        if (QApplication::activeWindow() != window.get()) {
            window->activateWindow();
            QApplication::setActiveWindow(window.get());
            ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == window.get(); }));
        }
        table()->setFocus();
        QTest::keyClick(table(), k, modifiers);
    }
    QAction* toolbarAction(int command) const {
        return window->view()->recordToolbar()->findChild<QAction*>(QStringLiteral("cmd%1").arg(command));
    }

    QTemporaryDir dir;
    QByteArray savedDataHome;
    test::ScopedVolumes volumes{{{'C', platform::DriveFixed, QStringLiteral("/")}}};
    AppState state;
    std::unique_ptr<MainWindow> window;
};

TEST_F(RecordKeysTest, EnterPlaysTheSelectedRowAndNeitherEnterNorEscapeClosesThePage) {
    selectRow(3);
    key(Qt::Key_Return);
    PlayerPane* player = window->player();
    EXPECT_EQ(player->attachedList(), page()->model());
    EXPECT_EQ(player->currentRow(), 3);
    EXPECT_EQ(player->recordingPath(), page()->model()->record(3)->fullPath.text());
    key(Qt::Key_Escape);
    key(Qt::Key_Enter);
    EXPECT_TRUE(page()->isVisible());
    EXPECT_EQ(window->view()->currentPageType(), int(PageAll));
    EXPECT_EQ(player->currentRow(), 3);
}

TEST_F(RecordKeysTest, DeleteAsksWithNoAsTheDefaultSoAStrayEnterDeletesNothing) {
    const int rows = page()->rowCount();
    selectRow(1);
    bool asked = false, noIsDefault = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(waitFor([] { return QApplication::activeModalWidget() != nullptr; }));
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        asked = box->objectName() == QLatin1String("confirmation");
        noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
        QTest::keyClick(box, Qt::Key_Return);
    });
    key(Qt::Key_Delete);
    EXPECT_TRUE(asked);
    EXPECT_TRUE(noIsDefault);
    EXPECT_EQ(page()->rowCount(), rows);
}

TEST_F(RecordKeysTest, CtrlMMarksAndUnmarksTheSelectedRows) {
    selectRow(2);
    CallRecord* r = page()->model()->record(2);
    const uint32_t before = r->marked;
    key(Qt::Key_M, Qt::ControlModifier);
    EXPECT_NE(r->marked, before);
    key(Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(r->marked, before);
}

TEST_F(RecordKeysTest, WhileFilteredTheCommandsActOnTheRowsShownOnly) {
    RecordListModel* model = page()->model();
    const int all = model->rowCount();
    const QString path = model->record(4)->fullPath.text();
    const QString stem = path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1).section(QLatin1Char('.'), 0, 0);
    page()->filterBox()->edit()->setText(stem);
    page()->filter()->finishPreparing();
    ASSERT_EQ(table()->model()->rowCount(), 1);
    table()->selectAll();
    std::vector<uint32_t> before;
    for (int row = 0; row < all; ++row)
        before.push_back(model->record(row)->marked);
    key(Qt::Key_M, Qt::ControlModifier);
    for (int row = 0; row < all; ++row)
        EXPECT_EQ(model->record(row)->marked != before[size_t(row)], row == 4) << "row " << row;
    // The page summary still counts the whole page.
    EXPECT_EQ(window->pane(3)->text(), QStringLiteral("%1:  %2").arg(text(2)).arg(all));
    // Enter plays the row shown, and Next steps over the hidden rows, round to the one shown.
    key(Qt::Key_Return);
    PlayerPane* player = window->player();
    EXPECT_EQ(player->currentRow(), 4);
    ASSERT_TRUE(test::waitFor([&] { return !player->isLoading(); }));
    player->command(PlayerPane::ControlNext);
    EXPECT_EQ(player->currentRow(), 4);
    ASSERT_TRUE(test::waitFor([&] { return !player->isLoading(); }));
    player->command(PlayerPane::ControlPrevious);
    EXPECT_EQ(player->currentRow(), 4);
}

TEST_F(RecordKeysTest, F5RefreshesTheCardView) {
    ASSERT_EQ(state.cardDriveLetter.load(), 'E');
    key(Qt::Key_F5);
    // The refresh forgets the card, and the next poll finds and lists it again.
    EXPECT_EQ(state.cardDriveLetter.load(), 0);
    EXPECT_TRUE(
        waitFor([&] { return state.cardDriveLetter == 'E' && !state.busy && page()->rowCount() > 0; }));
}

TEST_F(RecordKeysTest, TransportKeysWorkOnThePagesButTheTreeKeepsItsArrows) {
    selectRow(0);
    key(Qt::Key_Return);
    PlayerPane* player = window->player();
    ASSERT_TRUE(waitFor([&] { return !player->isLoading() && player->playState() == PlayerPane::Playing; }));
    key(Qt::Key_Space);
    EXPECT_EQ(player->playState(), PlayerPane::Paused);
    key(Qt::Key_Space);
    EXPECT_EQ(player->playState(), PlayerPane::Playing);

    QTreeWidget* tree = window->view()->treePane()->tree();
    const uint32_t position = player->session().position();
    ASSERT_EQ(QApplication::activeWindow(), window.get());
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_End);
    EXPECT_EQ(player->playState(), PlayerPane::Playing);
    EXPECT_EQ(player->session().position(), position);
}

TEST_F(RecordKeysTest, EveryKeyShowsInTheToolbarTooltipAndTheContextMenu) {
    QMenu menu;
    window->recordCommands()->fillContextMenu(menu, PageAll, true);
    for (int command : {CmdPlay, CmdDelete, CmdMark, CmdRefresh}) {
        SCOPED_TRACE(command);
        const QString keyText = commandKey(command).toString(QKeySequence::NativeText);
        ASSERT_FALSE(keyText.isEmpty());
        QAction* button = toolbarAction(command);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->toolTip().endsWith(QStringLiteral("(%1)").arg(keyText)))
            << button->toolTip().toStdString();
        QAction* entry = menu.findChild<QAction*>(QStringLiteral("cmd%1").arg(command));
        ASSERT_NE(entry, nullptr);
        EXPECT_TRUE(entry->text().endsWith(QLatin1Char('\t') + keyText)) << entry->text().toStdString();
    }
    // Enter is the page's own: the button only names it, so that Enter keeps its meaning elsewhere.
    EXPECT_TRUE(toolbarAction(CmdPlay)->shortcut().isEmpty());
    EXPECT_EQ(toolbarAction(CmdRefresh)->shortcut(), QKeySequence(Qt::Key_F5));
}

} // namespace record_keys_test
