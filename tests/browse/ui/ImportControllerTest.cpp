#include "browse/ui/ImportController.h"

#include "backup/Import.h"
#include "browse/RecordListModel.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordListPage.h"
#include "config/ProgramFolder.h"
#include "config/StringTable.h"
#include "store/AppState.h"
#include "store/LoadSink.h"
#include "support/EventLoop.h"
#include "support/ScopedConfig.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QRegularExpression>

using namespace tessa;
using tessa::test::TempDir;

namespace {

class ImportControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.write("a/20090512103000-I.wav", QByteArray(8252, 0));
        folder.write("a/b/20090513090000-O-5551234.xtr", QByteArray(100, 0));
        folder.write("a/notes.txt", "notes");
        folder.write("a/x.wav", QByteArray(100, 0));
        view = std::make_unique<MainView>(state);
        import = std::make_unique<ImportController>(*view, state, nullptr);
        import->chooseFolder = [this](QString * chosen) { ++browsed;
        if (duringBrowser)
            duringBrowser();
        *chosen = folder.file("a") + "/";
        return !cancel;
    };
} void TearDown() override {
    import.reset();
    view.reset();
}
int rows() const {
    return view->page(PageImport)->model()->rowCount();
}
bool importAndWait() {
    import->import();
    return test::waitUntil([&] { return !import->importing(); });
}

test::ScratchConfig config{test::ScratchConfig::ShippedStringTable};
TempDir folder;
AppState state;
std::unique_ptr<MainView> view;
std::unique_ptr<ImportController> import;
int browsed = 0;
bool cancel = false;
std::function<void()> duringBrowser;
}; // namespace

TEST_F(ImportControllerTest, ImportingTwiceListsTwiceAndClearEmpties) {
    ASSERT_TRUE(importAndWait());
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(view->page(PageImport)->model()->record(0)->callType.get(), uint32_t(CallOutgoing));
    ASSERT_TRUE(importAndWait());
    EXPECT_EQ(rows(), 4);
    EXPECT_EQ(state.importRecords.count(), 4u);
    // Every row points at a record of the collection.
    for (int row = 0; row < rows(); ++row) {
        const CallRecord* record = view->page(PageImport)->model()->record(row);
        EXPECT_NE(std::find_if(state.importRecords.begin(), state.importRecords.end(),
                               [&](const CallRecord& r) { return &r == record; }),
                  state.importRecords.end());
    }
    import->clear();
    EXPECT_EQ(rows(), 0);
    EXPECT_TRUE(state.importRecords.empty());
}

TEST_F(ImportControllerTest, ClearIsRefusedWhileAnImportRuns) {
    ASSERT_TRUE(importAndWait());
    // While the browser is open ...
    duringBrowser = [this] { import->clear(); };
    import->import();
    // ... and while the worker's records have not reached the page yet.
    EXPECT_TRUE(import->importing());
    import->clear();
    import->import(); // a second import meanwhile is ignored too
    ASSERT_TRUE(test::waitUntil([&] { return !import->importing(); }));
    EXPECT_EQ(browsed, 2);
    EXPECT_EQ(rows(), 4);
    EXPECT_EQ(state.importRecords.count(), 4u);
}

TEST_F(ImportControllerTest, ACancelledBrowserAddsNothing) {
    ASSERT_TRUE(importAndWait());
    cancel = true;
    ASSERT_TRUE(importAndWait());
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(state.importRecords.count(), 2u);
}

TEST_F(ImportControllerTest, ManyRecordingsReachThePageInBatches) {
    const int count = int(ImportController::kRowBatch) + 300;
    for (int i = 0; i < count; ++i) {
        const QString stamp = QStringLiteral("20090513%1%2%3")
                                  .arg(i / 3600, 2, 10, QLatin1Char('0'))
                                  .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                                  .arg(i % 60, 2, 10, QLatin1Char('0'));
        folder.write("a/c/" + stamp + "-I-" + QString::number(i) + ".wav", QByteArray());
    }
    import->import();
    // The first batch is listed before the last one, with the window answering in between.
    ASSERT_TRUE(test::waitUntil([&] { return rows() > 0; }));
    ASSERT_TRUE(test::waitUntil([&] { return !import->importing(); }));
    EXPECT_EQ(rows(), count + 2);
}

TEST_F(ImportControllerTest, PageTenListsInTheFindersOrder) {
    // Subfolders before their folder, the root last, and more rows than one batch holds.
    const QStringList folders = {"n/x/y", "n/x", "n/z", "n"};
    const int each = int(ImportController::kRowBatch) / 2 + 7;
    for (int f = 0; f < folders.size(); ++f)
        for (int i = 0; i < each; ++i)
            folder.write(folders[f] + QStringLiteral("/2009051%1%2%3%4-I-%5.wav")
                                          .arg(f)
                                          .arg(i / 3600, 2, 10, QLatin1Char('0'))
                                          .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                                          .arg(i % 60, 2, 10, QLatin1Char('0'))
                                          .arg(i),
                         QByteArray());
    QStringList expected;
    for (const CallRecord& record : importRecordings(folder.file("n"), nullptr).records)
        expected << record.fullPath.text();
    ASSERT_EQ(expected.size(), folders.size() * each);
    // The finder's walk itself: y before x, x and z before the root, whose own recordings come last.
    const auto firstOf = [&](const QString& sub) {
        return expected.indexOf(
            QRegularExpression("^" + QRegularExpression::escape(folder.file(sub)) + "/[^/]+$"));
    };
    EXPECT_LT(firstOf("n/x/y"), firstOf("n/x"));
    EXPECT_LT(firstOf("n/z"), firstOf("n"));
    EXPECT_LT(firstOf("n/x"), firstOf("n"));
    EXPECT_EQ(firstOf("n"), expected.size() - each);

    import->chooseFolder = [this](QString * chosen) {* chosen = folder.file("n") + "/";
    return true;
};
ASSERT_TRUE(importAndWait());
QStringList listed;
for (int row = 0; row < rows(); ++row)
    listed << view->page(PageImport)->model()->record(row)->fullPath.text();
EXPECT_EQ(listed, expected);
}

} // namespace
