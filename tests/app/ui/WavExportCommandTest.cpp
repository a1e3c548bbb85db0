// Command 32795: the WAV export dialog run modally, fed the selected recordings through timer 11 once
// its window is up, and forgotten when it closes.
#include "app/ui/ExportCommands.h"
#include "app/ui/ProgressWindow.h"
#include "browse/Commands.h"
#include "browse/RecordListModel.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordCommands.h"
#include "browse/ui/RecordListPage.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "export/ui/WavExportDialog.h"
#include "format/LittleEndian.h"
#include "platform/FileRoots.h"
#include "store/AppState.h"
#include "store/LoadSink.h"
#include "support/TempDir.h"

#include <cstring>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <QApplication>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

using namespace tessa;
using tessa::test::TempDir;

namespace {

QByteArray imaContainer(qsizetype n) {
    QByteArray file(1440, '\0');
    writeLeU32(reinterpret_cast<uint8_t*>(file.data()) + 8, 17);
    return file + QByteArray(n, '\x22');
}

// What the test saw of the dialog while it ran.
struct Seen {
    bool shown = false;
    bool timerRunningAfterHandOver = true;
    QStringList sources;
};

class WavExportCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        config.write(QStringLiteral("TessaLang.ini"), TempDir::read(TESSA_BIN_DIR "/Config/TessaLang.ini"));
        config.write(QStringLiteral("TessaSet.ini"), "[Setting]\r\nDevice=VX7\r\nDevice2=VX5\r\n");
        setConfigLocations(portableConfigLocations(config.path()));
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
        setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent")));
    }

    void addRecord(int pageType, const QString& path) {
        CallRecord& r = records.emplace_back();
        std::memset(&r, 0, sizeof r);
        r.valid = 1;
        r.callType = CallIncoming;
        r.time.year = 2009;
        r.time.month = 5;
        r.time.day = 12;
        r.fullPath.setText(path);
        view->page(pageType)->model()->appendRow(&r);
    }
    void select(int pageType, std::initializer_list<int> rows) {
        view->showPage(pageType);
        QTableView* table = view->page(pageType)->table();
        for (int row : rows)
            table->selectionModel()->select(table->model()->index(row, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // Runs command 32795; once the dialog has its list (or after a while), act on it.
    Seen runExport(const std::function<void(WavExportDialog&)>& act) {
        Seen seen;
        auto* poll = new QTimer(exports.get());
        int ticks = 0;
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            WavExportDialog* dialog = exports->wavExportDialog();
            auto* timer11 = exports->findChild<QTimer*>(QStringLiteral("timer11"));
            if (dialog && dialog->isVisible() && ((timer11 && !timer11->isActive()) || ++ticks > 400)) {
                seen.shown = true;
                seen.timerRunningAfterHandOver = timer11 && timer11->isActive();
                seen.sources = dialog->sources();
                poll->stop();
                poll->deleteLater();
                act(*dialog);
            }
        });
        poll->start(10);
        EXPECT_TRUE(exports->handle(CmdExportWav));
        return seen;
    }

    TempDir config, card, imported, out;
    platform::ScopedFileRoots roots{card.path(), QString()};
    AppState state;
    std::deque<CallRecord> records;
    std::unique_ptr<MainView> view;
    std::unique_ptr<ProgressWindow> progress;
    std::unique_ptr<RecordCommands> commands;
    std::unique_ptr<ExportCommands> exports;
};

TEST_F(WavExportCommandTest, HandsTheSelectedContainerRecordingsOverInListOrder) {
    const QStringList paths = {
        card.file("200905/20090512103000-I.xtr"), card.file("200905/20090512103100-O.wav"),
        card.file("200905/20090512103200-I.xtr"), card.file("200905/20090512103300-M.xtr")};
    for (const QString& path : paths)
        addRecord(PageAll, path);
    select(PageAll, {3, 1, 0});
    const Seen seen = runExport([](WavExportDialog& dialog) { dialog.reject(); });
    EXPECT_TRUE(seen.shown);
    EXPECT_FALSE(seen.timerRunningAfterHandOver);
    // Rows 0 and 3 in list order; the WAV path is left out and the unselected row is not handed over.
    EXPECT_EQ(seen.sources, QStringList({paths[0], paths[3]}));
    // Closed, the dialog is forgotten and gone.
    EXPECT_EQ(exports->wavExportDialog(), nullptr);
    EXPECT_FALSE(exports->findChild<QTimer*>(QStringLiteral("timer11"))->isActive());
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_NE(widget->objectName(), QStringLiteral("dlg157"));
}

TEST_F(WavExportCommandTest, NothingSelectedLeavesTheListEmptyAndOkClosesIt) {
    addRecord(PageAll, card.file("200905/20090512103000-I.xtr"));
    view->showPage(PageAll);
    const Seen seen = runExport(
        [](WavExportDialog& dialog) { dialog.findChild<QPushButton*>(QStringLiteral("ctl1"))->click(); });
    // The command returns only once the worker has closed the dialog.
    EXPECT_TRUE(seen.shown);
    EXPECT_TRUE(seen.sources.isEmpty());
    EXPECT_EQ(exports->wavExportDialog(), nullptr);
}

TEST_F(WavExportCommandTest, ExportsFromTheCardAndFromTheImportPageIntoTheChosenFolder) {
    writeStringSetting(QStringLiteral("ExportPath"), out.path() + QLatin1Char('/'));
    // The card's recording, and an imported one that lies in the folder it was imported from.
    addRecord(PageAll, card.write("200905/20090512103000-I.xtr", imaContainer(10000)));
    select(PageAll, {0});
    Seen seen = runExport(
        [](WavExportDialog& dialog) { dialog.findChild<QPushButton*>(QStringLiteral("ctl1"))->click(); });
    EXPECT_EQ(seen.sources.size(), 1);
    EXPECT_EQ(QFileInfo(out.file("20090512103000-I.wav")).size(), 60 + 10000);

    addRecord(PageImport, imported.write("20090513110000-O.xtr", imaContainer(5000)));
    select(PageImport, {0});
    seen = runExport(
        [](WavExportDialog& dialog) { dialog.findChild<QPushButton*>(QStringLiteral("ctl1"))->click(); });
    EXPECT_EQ(seen.sources.size(), 1);
    EXPECT_EQ(QFileInfo(out.file("20090513110000-O.wav")).size(), 60 + 5000);
}

TEST_F(WavExportCommandTest, IsNotRefusedWhileACallLogLoads) {
    state.busy = true;
    addRecord(PageAll, card.file("200905/20090512103000-I.xtr"));
    select(PageAll, {0});
    const Seen seen = runExport([](WavExportDialog& dialog) { dialog.reject(); });
    state.busy = false;
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(seen.sources.size(), 1);
}

} // namespace
