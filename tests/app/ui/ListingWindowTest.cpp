// The window while records load, list and play, as a user sees it: the row that plays coloured and
// selected as previous and next step, the status bar's panes up to date from the start, the progress
// window's line in step with its bar and never taking the focus, and a usable size before any window
// manager sizes it.

#include "app/ui/MainWindow.h"
#include "app/ui/ProgressWindow.h"
#include "audio/ui/PlayerPane.h"
#include "browse/Commands.h"
#include "browse/RecordListModel.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordListPage.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "demo/DemoCard.h"
#include "store/AppState.h"
#include "store/CallLogService.h"
#include "store/LoadSink.h"
#include "support/CardFixtures.h"
#include "support/ui/EventLoop.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QWindow>

using namespace tessa;

namespace {

using tessa::test::waitFor;

class ListingWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QDir().mkpath(dir.filePath("Config"));
        for (const QString& file : QDir(TESSA_BIN_DIR "/Config").entryList(QDir::Files))
            QFile::copy(TESSA_BIN_DIR "/Config/" + file, dir.filePath("Config/" + file));
        setConfigLocations(portableConfigLocations(dir.filePath("Config")));
        QDir().mkpath(dir.filePath("backup"));
        writeStringSetting(QStringLiteral("BackupPath"), dir.filePath("backup") + "/");
        writeIntSetting(QStringLiteral("DevType"), 0);
        qputenv("TESSA_DEVICE_STATE", dir.filePath("device.bin").toUtf8());
    }
    void TearDown() override { setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent"))); }

    void insertCard() {
        const QString card = dir.filePath(QStringLiteral("card"));
        QString error;
        ASSERT_TRUE(writeDemoCard(card, DemoCardOptions{0, 40, 3}, &error)) << error.toStdString();
        volumes.table().setVolumes(
            {{'C', platform::DriveFixed, QStringLiteral("/")}, test::removable('E', card)});
    }

    // Month logs of the VX7 backup holding count valid records of call types 2-8.
    void writeBackup(int count, int months) {
        const QString folder = dir.filePath("backup/TessaDeviceBackup/CallLog");
        QDir().mkpath(folder);
        for (int m = 0; m < months; ++m) {
            QByteArray log;
            for (int i = m; i < count; i += months) {
                CallRecord r{};
                r.cardBytes[0] = 1;
                r.valid = 1;
                r.callType = 2 + i % 7;
                r.time.year = 2024;
                r.time.month = uint16_t(1 + m);
                r.time.day = uint16_t(1 + i % 28);
                r.number.setText(QString::number(5550000 + i));
                r.shortPath.setText(QStringLiteral("E:\\r%1.wav").arg(i));
                log.append(reinterpret_cast<const char*>(&r), sizeof r);
            }
            QFile file(folder + QStringLiteral("/2024%1CallLogBK.dat").arg(1 + m, 2, 10, QLatin1Char('0')));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(log);
        }
    }

    QString summary(int textNumber, int count) const {
        return QStringLiteral("%1:  %2").arg(text(textNumber)).arg(count);
    }

    QTemporaryDir dir;
    test::ScopedVolumes volumes{{{'C', platform::DriveFixed, QStringLiteral("/")}}};
    AppState state;
};

} // namespace

TEST_F(ListingWindowTest, ThePlayingRowIsColouredAndSelectedAsPreviousAndNextStep) {
    insertCard();
    MainWindow window(state);
    window.resize(1200, 800);
    window.show();
    MainView* view = window.view();
    RecordListPage* page = view->page(PageAll);
    ASSERT_TRUE(waitFor([&] { return page->rowCount() > 3 && !state.busy; }));
    RecordListModel* rows = page->model();
    const int last = rows->rowCount() - 1;
    page->selectRow(1);
    window.onCommand(CmdPlay);
    PlayerPane* player = window.player();
    ASSERT_EQ(player->currentRow(), 1);
    EXPECT_EQ(rows->cellBackground(1, 0), RecordListModel::kPlayingRowColour);
    EXPECT_EQ(page->table()->model()->index(1, 5).data(Qt::BackgroundRole).value<QColor>(),
              QColor(55, 140, 248));

    ASSERT_TRUE(waitFor([&] { return !player->isLoading(); }));
    player->command(PlayerPane::ControlNext);
    EXPECT_EQ(player->currentRow(), 2);
    EXPECT_EQ(page->selectedRows(), std::vector<int>{2});
    for (int column = 0; column < RecordListModel::kColumnCount; ++column) {
        EXPECT_EQ(rows->cellBackground(2, column), RecordListModel::kPlayingRowColour) << column;
        EXPECT_EQ(rows->cellBackground(1, column), RecordListModel::kWindowColour) << column;
    }

    // Previous from the first row wraps to the last, and the selection goes there with it, in view.
    ASSERT_TRUE(waitFor([&] { return !player->isLoading(); }));
    player->command(PlayerPane::ControlPrevious);
    ASSERT_TRUE(waitFor([&] { return !player->isLoading(); }));
    player->command(PlayerPane::ControlPrevious);
    ASSERT_TRUE(waitFor([&] { return !player->isLoading(); }));
    player->command(PlayerPane::ControlPrevious);
    EXPECT_EQ(player->currentRow(), last);
    EXPECT_EQ(page->selectedRows(), std::vector<int>{last});
    QTableView* table = page->table();
    EXPECT_TRUE(table->viewport()->rect().intersects(table->visualRect(table->model()->index(last, 3))));
    EXPECT_EQ(rows->cellBackground(last, 3), RecordListModel::kPlayingRowColour);
}

TEST_F(ListingWindowTest, TheFreeSpacePaneIsFilledAtStartUpWithoutCardOrBackup) {
    writeStringSetting(QStringLiteral("BackupPath"), dir.filePath("no-backup-here") + "/");
    MainWindow window(state);
    EXPECT_TRUE(window.pane(4)->text().startsWith(text(142))) << window.pane(4)->text().toStdString();
    window.show();
    // The start-up timer finds no month log, and the pane keeps its text.
    QElapsedTimer clock;
    clock.start();
    waitFor([&] { return clock.elapsed() > 1300; }, 2000);
    EXPECT_TRUE(window.pane(4)->text().startsWith(text(142)));
    EXPECT_FALSE(state.busy);
}

TEST_F(ListingWindowTest, ThePageSummaryFollowsCardRemovalAndSearchResults) {
    insertCard();
    MainWindow window(state);
    window.resize(1200, 800);
    window.show();
    MainView* view = window.view();
    ASSERT_TRUE(waitFor([&] { return view->page(PageAll)->rowCount() > 0 && !state.busy; }));
    const int listed = view->page(PageAll)->rowCount();
    EXPECT_EQ(window.pane(3)->text(), summary(2, listed));

    // Results arrive after the results page is shown, as the search worker delivers them.
    view->showPage(PageQuery);
    EXPECT_EQ(window.pane(3)->text(), summary(156, 0));
    std::vector<CallRecord*> found;
    for (CallRecord& r : state.cardRecords)
        if (found.size() < 4)
            found.push_back(&r);
    view->page(PageQuery)->model()->appendRows(found, state.cardRecords.lease());
    EXPECT_EQ(window.pane(3)->text(), summary(156, 4));

    view->showPage(PageAll);
    volumes.table().setVolumes({{'C', platform::DriveFixed, QStringLiteral("/")}});
    ASSERT_TRUE(waitFor([&] { return state.viewMode == ViewBackup; }));
    EXPECT_EQ(view->page(PageAll)->rowCount(), 0);
    EXPECT_EQ(window.pane(3)->text(), summary(2, 0));
}

TEST_F(ListingWindowTest, TheListersLineCountsTheRowsTheBarShows) {
    constexpr int kRecords = 20000;
    writeBackup(kRecords, 2);
    MainWindow window(state);
    window.resize(1200, 800);
    window.show();
    auto* progress = window.findChild<ProgressWindow*>(QStringLiteral("dlg138"));
    ASSERT_TRUE(progress);
    auto* bar = progress->findChild<QProgressBar*>(QStringLiteral("ctl1003"));
    auto* line = progress->findChild<QLabel*>(QStringLiteral("ctl1002"));
    RecordListPage* all = window.view()->page(PageAll);

    // Whenever the bar moves, the line already says the same count; while listing, that count is what
    // the all-records page holds.
    const QRegularExpression count(QStringLiteral("(\\d+)/(\\d+)$"));
    int listerSteps = 0, mismatches = 0;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
        const auto match = count.match(line->text());
        if (value == 0)
            return;
        if (!match.hasMatch() || match.captured(1).toInt() != value) {
            ++mismatches;
            ADD_FAILURE() << value << " under " << line->text().toStdString();
            return;
        }
        if (line->text() == match.captured(0)) { // the lister's line: no path before the count
            ++listerSteps;
            EXPECT_EQ(all->rowCount(), value);
        }
    });
    // The line is painted together with the bar: a bar painted with a new value has the line painted
    // before anything else is.
    int barPaints = 0, linePaintsAfterBar = 0;
    bool barWaitsForLine = false;
    struct PaintWatch : QObject {
        std::function<void(QObject*)> seen;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::Paint)
                seen(o);
            return false;
        }
    } watch;
    int lastBarValue = -1;
    watch.seen = [&](QObject* o) {
        if (o == bar && bar->value() != lastBarValue) {
            lastBarValue = bar->value();
            ++barPaints;
            barWaitsForLine = true;
        } else if (o == line && barWaitsForLine) {
            barWaitsForLine = false;
            ++linePaintsAfterBar;
        }
    };
    bar->installEventFilter(&watch);
    line->installEventFilter(&watch);

    window.callLogs()->loadMonthLogs();
    ASSERT_TRUE(waitFor([&] { return all->rowCount() == kRecords && !state.busy; }, 30000));
    EXPECT_EQ(mismatches, 0);
    // The lister's chunks grow while the window is busy, but its line is seen before the last one too.
    EXPECT_GE(listerSteps, 2);
    EXPECT_GT(barPaints, 0);
    EXPECT_GE(linePaintsAfterBar, barPaints - 1);
}

// The offscreen platform activates every window it shows, whatever it is asked, so an open menu cannot
// be seen to survive here; what is checked is that the window is shown as one that takes no activation
// and no focus, which is what desktop platforms honour, and that the focus stays where the user left it.
TEST_F(ListingWindowTest, TheProgressWindowShowsWithoutTakingActivationOrTheFocus) {
    MainWindow window(state);
    window.resize(1000, 700);
    window.show();
    QTableView* table = window.view()->page(PageAll)->table();
    table->setFocus();
    ASSERT_EQ(window.focusWidget(), table);

    auto* progress = window.findChild<ProgressWindow*>(QStringLiteral("dlg138"));
    ASSERT_TRUE(progress);
    progress->start(text(158), 100, true);
    progress->setPosition(10, QStringLiteral("10/100"));
    QApplication::processEvents();
    ASSERT_TRUE(progress->isVisible());
    ASSERT_TRUE(progress->windowHandle());
    EXPECT_TRUE(progress->windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(progress->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(progress->focusWidget(), nullptr);
    EXPECT_EQ(window.focusWidget(), table);
    progress->hide();
    QApplication::processEvents();
    EXPECT_EQ(window.focusWidget(), table);
}

TEST_F(ListingWindowTest, TheWindowOpensAtMostOfTheScreenBeforeAnythingSizesIt) {
    MainWindow window(state);
    const QRect area = window.screen()->availableGeometry();
    EXPECT_GE(window.width(), area.width() * 8 / 10);
    EXPECT_GE(window.height(), area.height() * 8 / 10);
    EXPECT_LE(window.width(), area.width());
    EXPECT_TRUE(area.contains(window.geometry().center()));
}
