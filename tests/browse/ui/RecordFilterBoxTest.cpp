// The filter box of a record list page: Ctrl+F focuses it, typing narrows the rows shown and says how
// many of how many, Escape empties it, and the page's selection only ever holds rows shown.

#include "browse/ui/RecordFilterBox.h"

#include "browse/RecordFilter.h"
#include "browse/RecordListModel.h"
#include "browse/ui/RecordListPage.h"
#include "config/ProgramFolder.h"
#include "config/StringTable.h"
#include "store/AppState.h"
#include "store/LoadSink.h"
#include "support/TempDir.h"

#include <cstring>
#include <deque>
#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

namespace record_filter_box_test {

using namespace tessa;
using tessa::test::TempDir;

class RecordFilterBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        config.write(QStringLiteral("TessaLang.ini"), TempDir::read(TESSA_BIN_DIR "/Config/TessaLang.ini"));
        setConfigLocations(portableConfigLocations(config.path()));
        page = std::make_unique<RecordListPage>(PageAll, state);
        std::vector<CallRecord*> rows;
        for (const char* name : {"Anna", "Bert", "Annika", "Carl", "Hanna"}) {
            CallRecord& r = records.emplace_back();
            std::memset(&r, 0, sizeof r);
            r.callType = CallIncoming;
            r.number.setText(QString::number(100 + int(records.size())));
            r.name.setText(QString::fromLatin1(name));
            r.fullPath.setText(QStringLiteral("Q:\\201801\\%1.wav").arg(records.size()));
            rows.push_back(&r);
        }
        page->model()->appendRows(rows);
        page->resize(800, 400);
        page->show();
        QApplication::setActiveWindow(page.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(page.get()));
        page->table()->setFocus();
    }
    void TearDown() override {
        page.reset();
        setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent")));
    }
    QLineEdit* edit() const { return page->filterBox()->edit(); }
    void type(const QString& text) {
        QTest::keyClicks(edit(), text);
        page->filter()->finishPreparing();
    }
    std::vector<QString> selectedNames() const {
        std::vector<QString> names;
        for (int row : page->selectedRows())
            names.push_back(page->model()->record(row)->name.text());
        return names;
    }

    TempDir config;
    AppState state;
    std::deque<CallRecord> records;
    std::unique_ptr<RecordListPage> page;
};

TEST_F(RecordFilterBoxTest, CtrlFFocusesTypingNarrowsAndTheBoxCountsTheRows) {
    EXPECT_EQ(page->filterBox()->countLabel()->text(), QStringLiteral("5 %1 5").arg(text(272)));
    EXPECT_TRUE(edit()->placeholderText().contains(
        QKeySequence(Qt::CTRL | Qt::Key_F).toString(QKeySequence::NativeText)));
    QTest::keyClick(page->table(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(edit()->hasFocus());
    type(QStringLiteral("ANN"));
    EXPECT_EQ(page->table()->model()->rowCount(), 3);
    EXPECT_EQ(page->filterBox()->countLabel()->text(), QStringLiteral("3 %1 5").arg(text(272)));
    // The page still holds all its rows: the summary and the commands count those.
    EXPECT_EQ(page->rowCount(), 5);

    QTest::keyClick(edit(), Qt::Key_Escape);
    EXPECT_TRUE(edit()->text().isEmpty());
    EXPECT_EQ(page->table()->model()->rowCount(), 5);
    EXPECT_TRUE(page->isVisible());
    EXPECT_EQ(page->filterBox()->countLabel()->text(), QStringLiteral("5 %1 5").arg(text(272)));
}

TEST_F(RecordFilterBoxTest, TheSelectionOnlyHoldsRowsShownAndPlayStartsAtTheFirstOne) {
    type(QStringLiteral("nn"));
    EXPECT_EQ(page->playRow(), 0); // Anna, model row 0
    page->table()->selectAll();
    EXPECT_EQ(selectedNames(), (std::vector<QString>{"Anna", "Annika", "Hanna"}));
    // A new text starts from no selection: nothing that leaves the view stays selected behind it.
    edit()->clear();
    EXPECT_TRUE(page->selectedRows().empty());
    page->table()->clearSelection();

    type(QStringLiteral("carl"));
    // The one row shown is view row 0 but model row 3.
    EXPECT_EQ(page->playRow(), 3);
    page->table()->selectRow(0);
    EXPECT_EQ(page->selectedRows(), std::vector<int>{3});
    // A row that leaves the view leaves the selection.
    edit()->clear();
    type(QStringLiteral("bert"));
    EXPECT_TRUE(page->selectedRows().empty());
    EXPECT_EQ(page->playRow(), 1);
}

} // namespace record_filter_box_test
