// Command 32780: the list on view becomes a workbook in the private temp folder, opened by the desktop's
// spreadsheet program.
#include "app/ui/ExportCommands.h"
#include "app/ui/ProgressWindow.h"
#include "browse/Commands.h"
#include "browse/RecordListModel.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordCommands.h"
#include "browse/ui/RecordListPage.h"
#include "config/ProgramFolder.h"
#include "config/StringTable.h"
#include "store/AppState.h"
#include "store/LoadSink.h"
#include "support/EventLoop.h"
#include "support/FakeDesktop.h"
#include "support/ScopedConfig.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"
#include "support/ui/MessageAnswers.h"
#include "support/XlsxContent.h"

#include <cstring>
#include <deque>
#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>

using namespace tessa;
using tessa::test::TempDir;

namespace {

using tessa::test::MessageAnswers;

class SpreadsheetCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        config.write(QStringLiteral("TessaSet.ini"), "[Setting]\r\nDevice=VX7\r\nDevice2=VX5\r\n");
        environment.set("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        view = std::make_unique<MainView>(state);
        progress = std::make_unique<ProgressWindow>();
        commands = std::make_unique<RecordCommands>(*view, state, nullptr);
        exports = std::make_unique<ExportCommands>(*view, state, *progress, *commands, nullptr);
    }
    void TearDown() override {
        exports.reset();
        commands.reset();
        progress.reset();
        view.reset();
    }

    void addRecord(const QString& number, bool marked) {
        CallRecord& r = records.emplace_back();
        std::memset(&r, 0, sizeof r);
        r.valid = 1;
        r.callType = CallIncoming;
        r.marked = marked ? 1 : 0;
        r.number.setText(number);
        r.time.year = 2018;
        r.time.month = 1;
        r.time.day = 15;
        r.fullPath.setText(QStringLiteral("E:\\201801\\20180115093012-I-%1.wav").arg(number));
        view->page(PageAll)->model()->appendRow(&r);
    }
    QStringList workbooks() const {
        return QDir(privateTempFolder()).entryList({QStringLiteral("*.xlsx")}, QDir::Files);
    }
    bool idle() const { return !exports->spreadsheetRunning(); }

    test::ScratchConfig config{test::ScratchConfig::ShippedStringTable};
    TempDir runtime;
    test::ScopedEnvironment environment;
    test::FakeDesktop desktop;
    AppState state;
    std::deque<CallRecord> records;
    std::unique_ptr<MainView> view;
    std::unique_ptr<ProgressWindow> progress;
    std::unique_ptr<RecordCommands> commands;
    std::unique_ptr<ExportCommands> exports;
};

TEST_F(SpreadsheetCommandTest, TheListOnViewIsWrittenAndOpened) {
    desktop.setSpreadsheetProgram("calc.desktop\n");
    addRecord(QStringLiteral("0123"), true);
    addRecord(QStringLiteral("5551234"), false);
    addRecord(QStringLiteral("777"), false);
    view->showPage(PageAll);
    ASSERT_TRUE(exports->handle(CmdExport));
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->windowTitle(), text(97));
    ASSERT_TRUE(test::waitUntil([&] { return idle() && !desktop.calls("xdg-open").empty(); }));
    ASSERT_TRUE(test::waitUntil([&] { return !progress->isVisible(); }));
    EXPECT_EQ(progress->findChild<QProgressBar*>(QStringLiteral("ctl1003"))->maximum(), 3);
    EXPECT_EQ(progress->findChild<QProgressBar*>(QStringLiteral("ctl1003"))->value(), 3);
    EXPECT_EQ(progress->findChild<QLabel*>(QStringLiteral("ctl1002"))->text(), "3/3");

    ASSERT_EQ(desktop.calls("xdg-mime").size(), 1u);
    EXPECT_EQ(desktop.calls("xdg-mime")[0],
              (QStringList{"query", "default",
                           "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"}));
    const QStringList opened = desktop.calls("xdg-open")[0];
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(QFileInfo(opened[0]).absolutePath(), privateTempFolder());
    EXPECT_TRUE(opened[0].endsWith(".xlsx"));
    EXPECT_TRUE(QFileInfo(opened[0]).fileName().startsWith(QStringLiteral("VX7 %1 ").arg(text(2))));

    const test::XlsxContent sheet = test::readXlsx(opened[0]);
    ASSERT_TRUE(sheet.read);
    EXPECT_EQ(sheet.maxRow, 4);
    EXPECT_EQ(sheet.maxColumn, 8);
    EXPECT_EQ(sheet.text("A1"), text(15));
    EXPECT_EQ(sheet.text("A2"), text(17));
    EXPECT_EQ(sheet.text("A3"), "");
    EXPECT_TRUE(sheet.text("E2").startsWith("0123"));
    EXPECT_TRUE(sheet.text("E4").startsWith("777"));
}

TEST_F(SpreadsheetCommandTest, WithoutASpreadsheetProgramNothingIsWrittenAndTextSays107) {
    addRecord(QStringLiteral("1"), false);
    MessageAnswers answers;
    exports->handle(CmdExport);
    ASSERT_TRUE(test::waitUntil([&] { return idle() && !answers.texts.empty(); }));
    EXPECT_EQ(answers.texts, std::vector<QString>{text(107)});
    EXPECT_TRUE(workbooks().isEmpty());
    EXPECT_TRUE(desktop.calls("xdg-open").empty());
    EXPECT_TRUE(test::waitUntil([&] { return !progress->isVisible(); }));

    // No xdg-mime at all is the same case.
    desktop.remove("xdg-mime");
    exports->handle(CmdExport);
    ASSERT_TRUE(test::waitUntil([&] { return idle() && answers.texts.size() == 2; }));
    EXPECT_EQ(answers.texts[1], text(107));
}

TEST_F(SpreadsheetCommandTest, AWorkbookThatCannotBeWrittenIsReportedWith109) {
    desktop.setSpreadsheetProgram("calc.desktop\n");
    addRecord(QStringLiteral("1"), false);
    // The private temp folder cannot be made: a file stands where it belongs.
    runtime.write(QStringLiteral("tessa"), "not a folder");
    MessageAnswers answers;
    exports->handle(CmdExport);
    ASSERT_TRUE(test::waitUntil([&] { return idle() && !answers.texts.empty(); }));
    EXPECT_EQ(answers.texts, std::vector<QString>{text(109)});
    EXPECT_EQ(answers.names, std::vector<QString>{QStringLiteral("spreadsheetFailed")});
    EXPECT_TRUE(desktop.calls("xdg-open").empty());
}

TEST_F(SpreadsheetCommandTest, AnEmptyListDoesNothingAndASecondStartIsIgnored) {
    MessageAnswers answers;
    exports->handle(CmdExport);
    QApplication::processEvents();
    EXPECT_TRUE(idle());
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(desktop.callCount(), 0);

    desktop.setSpreadsheetProgram("calc.desktop\n");
    desktop.setSlowQuery(true);
    addRecord(QStringLiteral("1"), false);
    exports->handle(CmdExport);
    exports->handle(CmdExport);
    exports->handle(CmdExport);
    ASSERT_TRUE(test::waitUntil([&] { return idle() && !desktop.calls("xdg-open").empty(); }));
    EXPECT_EQ(desktop.calls("xdg-mime").size(), 1u);
    EXPECT_EQ(workbooks().size(), 1);
    EXPECT_TRUE(answers.texts.empty());
}

TEST_F(SpreadsheetCommandTest, RefusedWhileACallLogLoads) {
    addRecord(QStringLiteral("1"), false);
    state.busy = true;
    MessageAnswers answers;
    exports->handle(CmdExport);
    EXPECT_EQ(answers.texts, std::vector<QString>{text(159)});
    EXPECT_TRUE(idle());
    EXPECT_EQ(desktop.callCount(), 0);
}

TEST_F(SpreadsheetCommandTest, ClosingDuringAnExportEndsItWithoutTouchingTheWindow) {
    desktop.setSpreadsheetProgram("calc.desktop\n");
    desktop.setSlowQuery(true);
    for (int i = 0; i < 2000; ++i)
        addRecord(QString::number(i), false);
    exports->handle(CmdExport);
    ASSERT_FALSE(idle());
    exports->shutdown();
    // Whatever the worker does after this, it goes nowhere: the window objects can go at once.
    commands.reset();
    view.reset();
    progress.reset();
    ASSERT_TRUE(test::waitUntil([&] { return idle() && platform::WorkerSlot::abandonedRunning() == 0; }));
    QApplication::processEvents();
    EXPECT_TRUE(desktop.calls("xdg-open").empty());
    EXPECT_TRUE(workbooks().isEmpty());
}

} // namespace
