#include "browse/ui/RecordCommands.h"

#include "browse/Commands.h"
#include "browse/RecordListModel.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordListPage.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"
#include "store/AppState.h"
#include "store/CallLogFile.h"
#include "store/LoadSink.h"
#include "support/CardFixtures.h"
#include "support/ScopedConfig.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMessageBox>
#include <QTableView>
#include <QTimer>

using namespace tessa;
using tessa::test::TempDir;

namespace {

// Answers every message box that opens with Yes (or OK) and keeps their texts.
class MessageAnswers {
public:
    MessageAnswers() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.push_back(box->text());
                box->done(box->standardButtons() & QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::Ok);
            }
        });
        timer_.start();
    }
    std::vector<QString> texts;

private:
    QTimer timer_;
};

class RecordCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeStringSetting(QStringLiteral("BackupPath"), backup.path() + "/");
        view = std::make_unique<MainView>(state);
        commands = std::make_unique<RecordCommands>(*view, state, nullptr);
    }
    void TearDown() override {
        commands.reset();
        view.reset();
    }

    // A VX7 card on E with one record per call type given, each with its recording; marked as listed.
    void loadCard(const std::vector<std::pair<uint8_t, bool>>& calls) {
        QByteArray log;
        int i = 0;
        for (const auto& [type, marked] : calls) {
            auto card = test::workedCard128();
            card[1] = type;
            card[3] = marked;
            const QString name = QStringLiteral("2018011509301%1-I-5551234.wav").arg(i++);
            test::setCardPath(card.data(), 83, 45, ("201801\\" + name).toLatin1());
            cardDir.write("201801/" + name, QByteArray(5000, 'a'));
            log += QByteArray(reinterpret_cast<const char*>(card.data()), 128);
        }
        cardDir.write(QStringLiteral("CallLog.dat"), log);
        LogReadHandlers handlers;
        const QString native = platform::nativePath(QStringLiteral("E:\\CallLog.dat"));
        handlers.record = [&](uint32_t, uint32_t, CallRecord* r) {
            if (r)
                state.cardRecords.append(*r, {native, 128});
        };
        readCardLog(native, platform::Area::Card, 'E', ModelVX7, nullptr, nullptr, handlers);
        state.viewMode = ViewCard;
        state.cardDriveLetter = 'E';
        listCurrent();
    }

    void listCurrent() {
        for (CallRecord& r : state.currentRecords())
            for (int page : pagesOfRecord(r))
                view->page(page)->model()->appendRow(&r);
        view->showPage(PageAll);
    }

    void selectRows(int pageType, std::initializer_list<int> rows) {
        QTableView* table = view->page(pageType)->table();
        table->clearSelection();
        for (int row : rows)
            table->selectionModel()->select(table->model()->index(row, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    QByteArray cardLog() const { return TempDir::read(cardDir.file(QStringLiteral("CallLog.dat"))); }

    test::ScratchConfig config{test::ScratchConfig::ShippedStringTable};
    TempDir backup, cardDir;
    test::ScopedVolumes volumes{{test::removable('E', cardDir.path())}};
    platform::ScopedFileRoots roots{cardDir.path(), backup.path()};
    AppState state;
    std::unique_ptr<MainView> view;
    std::unique_ptr<RecordCommands> commands;
};

} // namespace

TEST_F(RecordCommandsTest, DeleteKeepsMarkedRecordsAndReportsTheCounts) {
    loadCard({{CallIncoming, false}, {CallOutgoing, true}, {CallNote, false}});
    selectRows(PageAll, {0, 1, 2});
    MessageAnswers answers;
    commands->handle(CmdDelete);
    ASSERT_EQ(answers.texts.size(), 3u);
    EXPECT_EQ(answers.texts[0], QStringLiteral("%1 3\r\n%2").arg(text(95), text(92)));
    EXPECT_EQ(answers.texts[1], text(164));
    EXPECT_EQ(answers.texts[2], QStringLiteral("%1 2\r\n%2 1").arg(text(93), text(94)));

    const QByteArray log = cardLog();
    EXPECT_EQ(log.size(), 3 * 128);
    EXPECT_EQ(log[0], 0);
    EXPECT_EQ(log[128], 1); // the marked one stays
    EXPECT_EQ(log[256], 0);
    EXPECT_FALSE(QFile::exists(cardDir.file("201801/20180115093010-I-5551234.wav")));
    EXPECT_TRUE(QFile::exists(cardDir.file("201801/20180115093011-I-5551234.wav")));
    EXPECT_EQ(view->page(PageAll)->rowCount(), 1);
    // Card records stay in the collection until the next listing; their rows elsewhere too.
    EXPECT_EQ(state.cardRecords.count(), 3u);
    EXPECT_EQ(view->page(PageIncoming)->rowCount(), 1);
}

TEST_F(RecordCommandsTest, DeleteNeverRemovesAFileOutsideTheCard) {
    const QString outside = backup.write(QStringLiteral("precious.wav"), "keep me");
    loadCard({{CallIncoming, false}});
    CallRecord& r = *state.cardRecords.begin();
    r.fullPath.setText(QStringLiteral("E:\\..\\") + QFileInfo(outside).absoluteFilePath().mid(1));
    selectRows(PageAll, {0});
    MessageAnswers answers;
    commands->handle(CmdDelete);
    EXPECT_TRUE(QFile::exists(outside));
    EXPECT_EQ(cardLog()[0], 1);
    EXPECT_EQ(answers.texts.back(), QStringLiteral("%1 0\r\n%2 1").arg(text(93), text(94)));
}

TEST_F(RecordCommandsTest, FailedWriteBackIsReportedOnceAndChangesNothing) {
    loadCard({{CallIncoming, false}, {CallIncoming, false}});
    QFile::remove(cardDir.file(QStringLiteral("CallLog.dat"))); // the card log is gone
    selectRows(PageAll, {0, 1});
    MessageAnswers answers;
    commands->handle(CmdMark);
    EXPECT_EQ(answers.texts, std::vector<QString>{text(226)});
    EXPECT_EQ(state.cardRecords.begin()->marked.get(), 0u);
    EXPECT_EQ(view->page(PageMarked)->rowCount(), 0);

    answers.texts.clear();
    commands->handle(CmdDelete);
    ASSERT_EQ(answers.texts.size(), 3u);
    EXPECT_EQ(answers.texts[1], text(226));
    EXPECT_EQ(view->page(PageAll)->rowCount(), 2);
    EXPECT_TRUE(QFile::exists(cardDir.file("201801/20180115093010-I-5551234.wav")));
}

TEST_F(RecordCommandsTest, MarkingUpdatesTheOtherPages) {
    loadCard({{CallMissed, false}, {CallOutgoing, false}});
    selectRows(PageAll, {0});
    commands->handle(CmdMark);
    CallRecord* missed = view->page(PageAll)->model()->record(0);
    EXPECT_EQ(missed->marked.get(), 1u);
    EXPECT_EQ(missed->cardBytes[3], 1);
    EXPECT_EQ(cardLog()[3], 1);
    EXPECT_EQ(view->page(PageMarked)->rowCount(), 1);
    for (int page : {PageAll, PageIncoming, PageMissed})
        EXPECT_EQ(view->page(page)->model()->cellImage(0, RecordListModel::ColumnMark),
                  RecordListModel::kMarkedImage)
            << page;
    EXPECT_EQ(view->page(PageOutgoing)->model()->cellImage(0, RecordListModel::ColumnMark),
              RecordListModel::kNoImage);

    commands->handle(CmdMark); // unmark from page 1: page 7 loses it
    EXPECT_EQ(cardLog()[3], 0);
    EXPECT_EQ(view->page(PageMarked)->rowCount(), 0);
    EXPECT_EQ(view->page(PageMissed)->model()->cellImage(0, RecordListModel::ColumnMark),
              RecordListModel::kNoImage);
}

TEST_F(RecordCommandsTest, BackupDeleteRewritesTheMonthLogAndDropsEveryRow) {
    CallRecord r{};
    r.cardBytes[0] = 1;
    r.valid = 1;
    r.callType = CallIncoming;
    r.time.year = 2018;
    r.time.month = 1;
    const QString copy = backup.write(QStringLiteral("TessaDeviceBackup/201801/20180115/a.wav"), "audio");
    r.fullPath.setText(copy);
    const QString log = backup.write(QStringLiteral("TessaDeviceBackup/CallLog/201801CallLogBK.dat"),
                                     QByteArray(reinterpret_cast<const char*>(&r), sizeof r));
    state.backupRecords.append(r, {log, 1076});
    state.viewMode = ViewBackup;
    listCurrent();
    selectRows(PageAll, {0});
    MessageAnswers answers;
    commands->handle(CmdDelete);
    const QByteArray after = TempDir::read(log);
    EXPECT_EQ(after[4], 0);
    EXPECT_EQ(after[132], 0);
    EXPECT_FALSE(QFile::exists(copy));
    EXPECT_EQ(state.backupRecords.count(), 0u);
    EXPECT_EQ(view->page(PageIncoming)->rowCount(), 0);
}

TEST_F(RecordCommandsTest, DeleteKeepsARecordingAMarkedRecordStillNamesAndTheCardsOwnFiles) {
    loadCard({{CallIncoming, false}, {CallIncoming, true}, {CallNote, false}});
    auto it = state.cardRecords.begin();
    CallRecord& unmarked = *it++;
    CallRecord& marked = *it++;
    CallRecord& third = *it;
    // The marked record names the unmarked one's recording in another spelling; the third names the log.
    const QString shared = unmarked.fullPath.text();
    marked.fullPath.setText(QString(shared).replace("\\201801\\", "\\.\\201801\\"));
    third.fullPath.setText(QStringLiteral("E:\\CallLog.dat"));
    const QByteArray logBefore = cardLog();
    selectRows(PageAll, {0, 1, 2});
    MessageAnswers answers;
    commands->handle(CmdDelete);
    EXPECT_TRUE(QFile::exists(platform::nativePath(shared)));
    EXPECT_EQ(cardLog().size(), logBefore.size());
    EXPECT_EQ(cardLog()[0], 0);   // the unmarked record is deleted...
    EXPECT_EQ(cardLog()[128], 1); // ...the marked one and the one naming the log are kept
    EXPECT_EQ(cardLog()[256], 1);
    EXPECT_EQ(answers.texts.back(), QStringLiteral("%1 1\r\n%2 2").arg(text(93), text(94)));
}

TEST_F(RecordCommandsTest, ContextMenuGreyStatesAndTheVx5Entries) {
    QMenu menu;
    commands->setAvailable(CmdPlay, true);
    commands->fillContextMenu(menu, PageAll, false);
    auto enabled = [&](int command) {
        for (QAction* a : menu.findChildren<QAction*>(QStringLiteral("cmd%1").arg(command)))
            return a->isEnabled();
        ADD_FAILURE() << "no entry " << command;
        return false;
    };
    EXPECT_FALSE(enabled(CmdPlay));
    EXPECT_FALSE(enabled(CmdDelete));
    EXPECT_FALSE(enabled(CmdMark));
    EXPECT_TRUE(enabled(CmdRefresh));
    commands->fillContextMenu(menu, PageAll, true);
    EXPECT_TRUE(enabled(CmdPlay));
    EXPECT_TRUE(enabled(CmdDelete));
    EXPECT_EQ(menu.findChildren<QAction*>(QStringLiteral("cmd32796")).size(), 0);
    state.modelCode = 1;
    commands->fillContextMenu(menu, PageAll, true);
    EXPECT_EQ(menu.findChildren<QAction*>(QStringLiteral("cmd32796")).size(), 1);

    QMenu dropDown;
    state.modelCode = 0;
    commands->fillDropDown(dropDown, CmdEmail);
    EXPECT_EQ(dropDown.actions().size(), 1);
    state.modelCode = 1;
    commands->fillDropDown(dropDown, CmdEmail);
    EXPECT_EQ(dropDown.actions().size(), 2);
}
