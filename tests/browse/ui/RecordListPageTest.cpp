// A record list page as the user meets it: the colours of its cells drawn (the row that plays above
// all), double clicks that play only on a row, the whole text of a cut cell as its tooltip, and the
// header showing the sort column and direction.

#include "browse/ui/RecordListPage.h"

#include "browse/Commands.h"
#include "browse/RecordListModel.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "store/AppState.h"
#include "store/LoadSink.h"
#include "support/TempDir.h"
#include "support/ui/EventLoop.h"

#include <gtest/gtest.h>
#include <list>
#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QImage>
#include <QMouseEvent>
#include <QTableView>
#include <QTest>
#include <QToolTip>

using namespace tessa;
using tessa::test::TempDir;
using tessa::test::waitFor;

namespace {

class RecordListPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        setConfigLocations(portableConfigLocations(config.path()));
        for (int i = 0; i < 5; ++i) {
            CallRecord& r = records.emplace_back();
            r.cardBytes[0] = 1;
            r.valid = 1;
            r.callType = 2 + i % 3;
            r.time.year = 2024;
            r.time.month = 3;
            r.time.day = uint16_t(1 + i);
            r.callDuration = uint32_t(60 * (5 - i));
            r.number.setText(QStringLiteral("0301%1").arg(i));
            r.fullPath.setText(
                QStringLiteral("/nowhere/a/rather/long/folder/name/2024030%1-I-0301%1.wav").arg(i));
        }
        page = std::make_unique<RecordListPage>(PageAll, state);
        std::vector<CallRecord*> rows;
        for (CallRecord& r : records)
            rows.push_back(&r);
        page->model()->appendRows(rows);
        page->resize(1000, 400);
        page->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        page.reset();
        setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent")));
    }

    QTableView* table() const { return page->table(); }
    QRect cell(int row, int column) const {
        return table()->visualRect(table()->model()->index(row, column));
    }
    // The colour drawn near the right end of a cell, where left-aligned short texts leave it bare.
    QColor drawnAt(int row, int column) const {
        const QImage image = table()->viewport()->grab().toImage();
        const QRect r = cell(row, column);
        return image.pixelColor(r.right() - 4, r.center().y());
    }
    // Press, release, double click and release, as a mouse delivers them.
    void doubleClick(QPoint at) const {
        QWidget* viewport = table()->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(at), QPointF(viewport->mapToGlobal(at)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &twice);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    }
    // Shows the tooltip of a cell as the mouse resting on it would; the text shown, or empty for none.
    QString tooltipOf(int row, int column) const {
        // A tooltip takes a moment to go.
        QToolTip::hideText();
        waitFor([] { return !QToolTip::isVisible(); }, 2000);
        const QPoint at = cell(row, column).center();
        QHelpEvent help(QEvent::ToolTip, at, table()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(table()->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }

    TempDir config;
    AppState state;
    std::list<CallRecord> records;
    std::unique_ptr<RecordListPage> page;
};

} // namespace

TEST_F(RecordListPageTest, CellColoursAreDrawnAndThePlayingRowStaysVisibleWhenSelected) {
    EXPECT_EQ(drawnAt(1, 5), QColor(Qt::white));
    page->model()->setRowBackground(1, RecordListModel::kPlayingRowColour);
    const QColor playing(55, 140, 248);
    for (int column : {2, 5, 8})
        EXPECT_EQ(drawnAt(1, column), playing) << column;
    // Selected, the row that plays keeps its colour rather than the selection's.
    page->selectRow(1);
    QApplication::processEvents();
    EXPECT_EQ(page->selectedRows(), std::vector<int>{1});
    EXPECT_EQ(drawnAt(1, 5), playing);
    // Another selected row shows the selection as usual.
    page->selectRow(3);
    QApplication::processEvents();
    EXPECT_NE(drawnAt(3, 5), QColor(Qt::white));
    EXPECT_NE(drawnAt(3, 5), playing);

    // Any cell's own text and background colours.
    page->model()->setCellColours(2, 4, 0xFF0000, 0x00FF00);
    EXPECT_EQ(drawnAt(2, 4), QColor(0, 255, 0));
    EXPECT_EQ(table()->model()->index(2, 4).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    EXPECT_EQ(drawnAt(2, 5), QColor(Qt::white));
    // Back to white when playback moves on.
    page->model()->setRowBackground(1, RecordListModel::kWindowColour);
    EXPECT_EQ(drawnAt(1, 5), QColor(Qt::white));
}

TEST_F(RecordListPageTest, DoubleClickPlaysOnARowButNotOnTheEmptySpaceBelowTheRows) {
    int plays = 0;
    QObject::connect(page.get(), &RecordListPage::command, [&](int command) { plays += command == CmdPlay; });
    const QRect last = cell(4, 3);
    const QPoint below(last.center().x(), last.bottom() + 3 * last.height());
    ASSERT_LT(below.y(), table()->viewport()->height());
    doubleClick(cell(2, 3).center());
    EXPECT_EQ(plays, 1);
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    doubleClick(below);
    EXPECT_EQ(plays, 1);
}

TEST_F(RecordListPageTest, ACutCellShowsItsWholeTextAsTooltipAndAWholeOneNone) {
    table()->setColumnWidth(RecordListModel::ColumnPath, 60);
    table()->setColumnWidth(RecordListModel::ColumnCallDuration, 200);
    table()->setColumnWidth(RecordListModel::ColumnNumber, 30);
    QApplication::processEvents();
    EXPECT_EQ(tooltipOf(0, RecordListModel::ColumnPath), records.front().fullPath.text());
    EXPECT_EQ(tooltipOf(0, RecordListModel::ColumnNumber),
              page->model()->cellText(0, RecordListModel::ColumnNumber));
    EXPECT_EQ(tooltipOf(0, RecordListModel::ColumnCallDuration), QString());
    // Widened, the path is no longer cut.
    table()->setColumnWidth(RecordListModel::ColumnPath, 900);
    QApplication::processEvents();
    EXPECT_EQ(tooltipOf(0, RecordListModel::ColumnPath), QString());
}

TEST_F(RecordListPageTest, TheHeaderShowsTheSortColumnAndDirection) {
    QHeaderView* header = table()->horizontalHeader();
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), -1);
    const auto clickTitle = [&](int column) {
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    };
    clickTitle(RecordListModel::ColumnCallDuration);
    EXPECT_EQ(header->sortIndicatorSection(), int(RecordListModel::ColumnCallDuration));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(page->model()->cellText(0, RecordListModel::ColumnCallDuration), QStringLiteral("00:01:00"));
    clickTitle(RecordListModel::ColumnCallDuration);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(page->model()->cellText(0, RecordListModel::ColumnCallDuration), QStringLiteral("00:05:00"));
    clickTitle(RecordListModel::ColumnTime);
    EXPECT_EQ(header->sortIndicatorSection(), int(RecordListModel::ColumnTime));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    // A row added leaves the list unsorted, and the header says so.
    page->model()->appendRow(&records.front());
    EXPECT_EQ(header->sortIndicatorSection(), -1);
}
