// Commands 32784 and 32796: the selected records handed to the mail program through xdg-email, with
// converted or original recordings, and the converted files' life in the private temp folder.
#include "app/ui/ExportCommands.h"
#include "app/ui/ProgressWindow.h"
#include "audio/CodecTable.h"
#include "audio/SpeechSynth.h"
#include "browse/Commands.h"
#include "browse/RecordListModel.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordCommands.h"
#include "browse/ui/RecordListPage.h"
#include "config/ProgramFolder.h"
#include "config/StringTable.h"
#include "format/LittleEndian.h"
#include "platform/FileRoots.h"
#include "store/AppState.h"
#include "store/LoadSink.h"
#include "support/FakeDesktop.h"
#include "support/TempDir.h"
#include "support/ui/EventLoop.h"
#include "support/ui/MessageAnswers.h"

#include <cstring>
#include <deque>
#include <gtest/gtest.h>
#include <QDir>
#include <QDirIterator>
#include <QItemSelectionModel>
#include <QTableView>

using namespace tessa;
using tessa::test::MessageAnswers;
using tessa::test::TempDir;

namespace {

class MailCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        config.write(QStringLiteral("TessaLang.ini"), TempDir::read(TESSA_BIN_DIR "/Config/TessaLang.ini"));
        config.write(
            QStringLiteral("TessaSet.ini"),
            "[Setting]\r\nDevice=VX7\r\nDevice2=VX5\r\nCompany=Tessa project\r\nWeb=http://example.org\r\n");
        setConfigLocations(portableConfigLocations(config.path()));
        oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        view = std::make_unique<MainView>(state);
        progress = std::make_unique<ProgressWindow>();
        commands = std::make_unique<RecordCommands>(*view, state, nullptr);
        exports = std::make_unique<ExportCommands>(*view, state, *progress, *commands, nullptr);
        QByteArray gsm(1440, '\0');
        writeLeU32(reinterpret_cast<uint8_t*>(gsm.data()) + 8, 49);
        gsm += codecOf(Coding::Gsm).encode(synthesizeSpeech({4, 16000, 1}));
        card.write(QStringLiteral("201801/20180115093012-I-5551234.xtr"), gsm);
    }
    void TearDown() override {
        exports.reset();
        commands.reset();
        progress.reset();
        view.reset();
        qputenv("XDG_RUNTIME_DIR", oldRuntime);
        setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent")));
    }

    void addRecord(const QString& number, const QString& path) {
        CallRecord& r = records.emplace_back();
        std::memset(&r, 0, sizeof r);
        r.valid = 1;
        r.callType = CallIncoming;
        r.number.setText(number);
        r.time.year = 2018;
        r.time.month = 1;
        r.time.day = 15;
        r.fullPath.setText(path);
        view->page(PageAll)->model()->appendRow(&r);
    }
    void selectAll() {
        view->showPage(PageAll);
        QTableView* table = view->page(PageAll)->table();
        for (int row = 0; row < table->model()->rowCount(); ++row)
            table->selectionModel()->select(table->model()->index(row, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // The two records of the usual case: one with its recording on the card, one whose recording is gone.
    void twoRecords() {
        addRecord(QStringLiteral("5551234"),
                  card.file(QStringLiteral("201801/20180115093012-I-5551234.xtr")));
        addRecord(QStringLiteral("777"), card.file(QStringLiteral("201801/20180115093013-O-777.xtr")));
        selectAll();
    }
    QStringList tempFiles() const {
        QStringList found;
        for (QDirIterator it(privateTempFolder(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            found << it.next();
        return found;
    }
    bool idle() const { return !exports->mailRunning(); }
    QStringList attachments(const QStringList& args) const {
        QStringList files;
        for (qsizetype i = 0; i + 1 < args.size(); ++i)
            if (args[i] == "--attach")
                files << args[i + 1];
        return files;
    }

    TempDir config, runtime, card;
    QByteArray oldRuntime;
    platform::ScopedFileRoots roots{card.path(), QString()};
    test::FakeDesktop desktop;
    AppState state;
    std::deque<CallRecord> records;
    std::unique_ptr<MainView> view;
    std::unique_ptr<ProgressWindow> progress;
    std::unique_ptr<RecordCommands> commands;
    std::unique_ptr<ExportCommands> exports;
};

TEST_F(MailCommandTest, DescribesBothRecordsAndAttachesTheOneConvertedRecording) {
    twoRecords();
    MessageAnswers answers;
    exports->handle(CmdEmail);
    ASSERT_TRUE(test::waitFor([&] { return idle() && desktop.calls("xdg-email").size() == 1; }));
    const QStringList args = desktop.calls("xdg-email")[0];
    ASSERT_GE(args.size(), 5);
    EXPECT_EQ(args.mid(0, 3), (QStringList{"--utf8", "--subject", "Tessa Device Records"}));
    EXPECT_EQ(args[3], "--body");
    EXPECT_EQ(args[4].count(text(11) + ":2018/01/15"), 2);
    EXPECT_TRUE(args[4].contains(text(12) + ":5551234 "));
    EXPECT_TRUE(args[4].contains(text(12) + ":777 "));
    EXPECT_TRUE(args[4].endsWith("\r\nVX7\r\nTessa project\r\nhttp://example.org"));
    const QStringList files = attachments(args);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(QFileInfo(files[0]).fileName(), "20180115093012-I-5551234.wav");
    EXPECT_TRUE(files[0].startsWith(privateTempFolder() + "/"));
    EXPECT_EQ(desktop.presentAttachments(0), files); // there while xdg-email ran
    EXPECT_TRUE(answers.texts.empty());

    // Still there after the hand-over: the mail program reads them later. The next e-mail removes them.
    EXPECT_EQ(tempFiles(), files);
    exports->handle(CmdEmail);
    ASSERT_TRUE(test::waitFor([&] { return idle() && desktop.calls("xdg-email").size() == 2; }));
    EXPECT_FALSE(QFileInfo::exists(files[0]));
    const QStringList second = attachments(desktop.calls("xdg-email")[1]);
    ASSERT_EQ(second.size(), 1);
    EXPECT_NE(second[0], files[0]);
    EXPECT_EQ(tempFiles(), second);
    // And closing the program removes what the last one left.
    exports->shutdown();
    EXPECT_TRUE(tempFiles().isEmpty());
}

TEST_F(MailCommandTest, OriginalsAttachTheContainerItself) {
    twoRecords();
    exports->handle(CmdEmailOriginals);
    ASSERT_TRUE(test::waitFor([&] { return idle() && desktop.calls("xdg-email").size() == 1; }));
    EXPECT_EQ(attachments(desktop.calls("xdg-email")[0]),
              QStringList{QFileInfo(card.file("201801/20180115093012-I-5551234.xtr")).canonicalFilePath()});
    EXPECT_TRUE(tempFiles().isEmpty());
}

TEST_F(MailCommandTest, ImportedRecordingsAreAttachedFromTheFolderTheyWereImportedFrom) {
    // The import page's records name files outside the card and the backup.
    TempDir imported;
    const QString recording = imported.write(QStringLiteral("20180115093012-I-5551234.xtr"),
                                             TempDir::read(card.file("201801/20180115093012-I-5551234.xtr")));
    CallRecord& r = records.emplace_back();
    std::memset(&r, 0, sizeof r);
    r.valid = 1;
    r.callType = CallIncoming;
    r.fullPath.setText(recording);
    view->page(PageImport)->model()->appendRow(&r);
    view->showPage(PageImport);
    view->page(PageImport)->table()->selectRow(0);
    for (int command : {CmdEmail, CmdEmailOriginals}) {
        const size_t call = desktop.calls("xdg-email").size();
        exports->handle(command);
        ASSERT_TRUE(test::waitFor([&] { return idle() && desktop.calls("xdg-email").size() == call + 1; }));
        const QStringList files = attachments(desktop.calls("xdg-email")[call]);
        ASSERT_EQ(files.size(), 1) << command;
        EXPECT_EQ(QFileInfo(files[0]).fileName(),
                  command == CmdEmail ? "20180115093012-I-5551234.wav" : "20180115093012-I-5551234.xtr");
    }
}

TEST_F(MailCommandTest, ASecondEmailWhileTheMailProgramRunsIsRefusedWith207) {
    twoRecords();
    desktop.holdMail(true);
    MessageAnswers answers;
    exports->handle(CmdEmail);
    ASSERT_TRUE(test::waitFor([&] { return desktop.mailRunning(); }));
    exports->handle(CmdEmail);
    EXPECT_EQ(answers.texts, std::vector<QString>{text(207)});
    EXPECT_EQ(answers.captions, std::vector<QString>{text(160)});
    EXPECT_EQ(answers.icons, std::vector<QMessageBox::Icon>{QMessageBox::Information});
    EXPECT_EQ(tempFiles().size(), 1); // kept while the mail program runs
    desktop.holdMail(false);
    ASSERT_TRUE(test::waitFor([&] { return idle(); }));
    EXPECT_EQ(desktop.calls("xdg-email").size(), 1u);
}

TEST_F(MailCommandTest, ClosingWhileTheMailProgramRunsLeavesItAndItsFiles) {
    twoRecords();
    desktop.holdMail(true);
    exports->handle(CmdEmail);
    ASSERT_TRUE(test::waitFor([&] { return desktop.mailRunning(); }));
    exports->shutdown();
    EXPECT_TRUE(desktop.mailRunning());
    EXPECT_EQ(tempFiles().size(), 1);
    desktop.holdMail(false);
}

TEST_F(MailCommandTest, FailuresSay113Or116AndLeaveNoFiles) {
    twoRecords();
    MessageAnswers answers;
    desktop.setMailExitCode(4);
    exports->handle(CmdEmail);
    ASSERT_TRUE(test::waitFor([&] { return idle() && answers.texts.size() == 1; }));
    EXPECT_EQ(answers.texts[0], text(116));
    EXPECT_EQ(answers.captions[0], text(112));
    EXPECT_EQ(answers.icons[0], QMessageBox::Critical);
    EXPECT_TRUE(tempFiles().isEmpty());

    desktop.remove("xdg-email");
    exports->handle(CmdEmailOriginals);
    ASSERT_TRUE(test::waitFor([&] { return idle() && answers.texts.size() == 2; }));
    EXPECT_EQ(answers.texts[1], text(113));
    EXPECT_EQ(answers.captions[1], text(112));
    EXPECT_TRUE(tempFiles().isEmpty());
}

TEST_F(MailCommandTest, NothingSelectedOrBusyDoesNotSend) {
    addRecord(QStringLiteral("1"), card.file(QStringLiteral("201801/20180115093012-I-5551234.xtr")));
    view->showPage(PageAll);
    MessageAnswers answers;
    exports->handle(CmdEmail); // no selection
    QApplication::processEvents();
    EXPECT_TRUE(idle());
    selectAll();
    state.busy = true;
    exports->handle(CmdEmail);
    EXPECT_EQ(answers.texts, std::vector<QString>{text(159)});
    state.busy = false;
    view->showPage(PageDevice); // no record list on view
    exports->handle(CmdEmail);
    QApplication::processEvents();
    EXPECT_TRUE(idle());
    EXPECT_EQ(desktop.callCount(), 0);
}

} // namespace
