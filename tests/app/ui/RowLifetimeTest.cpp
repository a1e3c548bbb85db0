// The rows of the record lists against the collections they show: reloading, rescanning and matching
// contacts free the card's records, and nothing the user does afterwards may reach them through a row.
// These sequences read freed memory when rows are left behind; the sanitizer build reports it.

#include "app/ui/MainWindow.h"
#include "app/ui/ProgressWindow.h"
#include "audio/ui/PlayerPane.h"
#include "browse/Commands.h"
#include "browse/RecordListModel.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordListPage.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "demo/DemoCard.h"
#include "store/AppState.h"
#include "store/LoadSink.h"
#include "support/CardFixtures.h"
#include "support/ui/EventLoop.h"

#include <functional>
#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>

using namespace tessa;

namespace {

using tessa::test::waitFor;

// Runs an action once, the moment the watched widget is shown: the progress window appears when the
// loader starts reading, after the card scan has emptied the card collection and before any row is
// listed again.
class OnFirstShow : public QObject {
public:
    OnFirstShow(QWidget* watched, std::function<void()> action) : action_(std::move(action)) {
        watched->installEventFilter(this);
    }
    bool fired() const { return fired_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show && !fired_) {
            fired_ = true;
            action_();
        }
        return false;
    }

private:
    std::function<void()> action_;
    bool fired_ = false;
};

class RowLifetimeTest : public ::testing::Test {
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
        // Contact matching reads an empty contacts folder of the test's own.
        savedDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
    }
    void TearDown() override {
        qputenv("XDG_DATA_HOME", savedDataHome);
        setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent")));
    }

    // A demo card in drive E, loaded and listed in the card view of a shown window.
    std::unique_ptr<MainWindow> windowWithCard(int model, int records) {
        card = dir.filePath(QStringLiteral("card"));
        QString error;
        EXPECT_TRUE(writeDemoCard(card, DemoCardOptions{model, records, 5}, &error)) << error.toStdString();
        volumes.table().setVolumes(
            {{'C', platform::DriveFixed, QStringLiteral("/")}, test::removable('E', card)});
        auto window = std::make_unique<MainWindow>(state);
        window->resize(1200, 800);
        window->show();
        EXPECT_TRUE(waitFor([&] { return window->view()->page(PageAll)->rowCount() > 0 && !state.busy; }));
        EXPECT_EQ(state.viewMode.load(), int(ViewCard));
        return window;
    }

    QTemporaryDir dir;
    QString card;
    QByteArray savedDataHome;
    test::ScopedVolumes volumes{{{'C', platform::DriveFixed, QStringLiteral("/")}}};
    AppState state;
};

// The three commands that reload the card view: Refresh, Synchronise, Match Contacts.
class ReloadCommandTest : public RowLifetimeTest, public ::testing::WithParamInterface<int> {};

std::string commandName(const ::testing::TestParamInfo<int>& info) {
    switch (info.param) {
    case CmdRefresh:
        return "Refresh";
    case CmdSynchronise:
        return "Synchronise";
    case CmdContacts:
        return "MatchContacts";
    default:
        return std::to_string(info.param);
    }
}

} // namespace

// The card is still in: the scan frees the card's records and the loader reads them again. Playing while
// it does must find no row of the freed records, and the list comes back whole afterwards.
TEST_P(ReloadCommandTest, PlayWhileTheCardIsReloadedFindsNoFreedRecord) {
    auto window = windowWithCard(0, 40);
    RecordListPage* page = window->view()->page(PageAll);
    const int listed = page->rowCount();
    page->table()->selectRow(0);

    int rowsWhileReading = -1;
    OnFirstShow atLoaderStart(window->findChild<ProgressWindow*>(), [&] {
        rowsWhileReading = page->rowCount();
        window->onCommand(CmdPlay);
    });
    window->onCommand(GetParam());
    ASSERT_TRUE(waitFor([&] { return atLoaderStart.fired(); }));
    EXPECT_EQ(rowsWhileReading, 0);
    EXPECT_TRUE(window->player()->recordingPath().isEmpty()) << "nothing was there to play";

    ASSERT_TRUE(waitFor([&] { return !state.busy && page->rowCount() == listed; }));
    EXPECT_EQ(size_t(page->rowCount()), state.cardRecords.count());
    // The new rows are the new records: playing now plays the first of them.
    window->onCommand(CmdPlay);
    EXPECT_EQ(window->player()->recordingPath(), page->model()->cellText(0, RecordListModel::ColumnPath));
}

// The card went before the poll noticed: the scan frees the records and finds no card to read again.
// Mark, play, previous and next then have no row left to act on.
TEST_P(ReloadCommandTest, MarkAndPlayAfterTheCardWentFindNoFreedRecord) {
    auto window = windowWithCard(0, 40);
    MainView* view = window->view();
    RecordListPage* page = view->page(PageAll);
    window->onCommand(CmdPlay); // the player holds on to page 1
    ASSERT_FALSE(window->player()->recordingPath().isEmpty());
    page->table()->selectRow(1);

    volumes.table().setVolumes({{'C', platform::DriveFixed, QStringLiteral("/")}});
    window->onCommand(GetParam());
    ASSERT_TRUE(waitFor([&] { return state.cardRecords.empty() && !state.busy; }));
    for (int type = PageAll; type <= PageQuery; ++type)
        EXPECT_EQ(view->page(type)->rowCount(), 0) << "page " << type;

    const QString played = window->player()->recordingPath();
    window->onCommand(CmdMark);
    window->onCommand(CmdPlay);
    window->player()->command(PlayerPane::ControlNext);
    window->player()->command(PlayerPane::ControlPrevious);
    EXPECT_EQ(window->player()->recordingPath(), played) << "the player keeps its own copy and nothing new";
    EXPECT_EQ(view->page(PageMarked)->rowCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(CardView, ReloadCommandTest,
                         ::testing::Values(CmdRefresh, CmdSynchronise, CmdContacts), commandName);

// A VX5 list fills its remark column when a row is first drawn. Scrolling while the card is read again
// must not draw a row of the freed records.
TEST_F(RowLifetimeTest, ScrollingAVx5ListWhileTheCardIsReloadedDrawsNoFreedRecord) {
    auto window = windowWithCard(1, 160);
    RecordListPage* page = window->view()->page(PageAll);
    const int listed = page->rowCount();
    ASSERT_FALSE(page->table()->isColumnHidden(RecordListModel::ColumnRemark));

    int rowsWhileReading = -1;
    OnFirstShow atLoaderStart(window->findChild<ProgressWindow*>(), [&] {
        rowsWhileReading = page->rowCount();
        QScrollBar* bar = page->table()->verticalScrollBar();
        for (int at = bar->minimum(); at <= bar->maximum(); at += std::max(1, bar->pageStep())) {
            bar->setValue(at);
            page->table()->viewport()->grab(); // draws the rows now in view
        }
    });
    window->onCommand(CmdSynchronise);
    ASSERT_TRUE(waitFor([&] { return atLoaderStart.fired(); }));
    EXPECT_EQ(rowsWhileReading, 0);
    ASSERT_TRUE(waitFor([&] { return !state.busy && page->rowCount() == listed; }));
}
