#include "browse/ui/QueryDialog.h"

#include "browse/RecordListModel.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordListPage.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "store/AppState.h"
#include "support/CardFixtures.h"
#include "support/EventLoop.h"
#include "support/ScopedConfig.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

using namespace tessa;

namespace {

using test::waitUntil;

template <typename T>
T* control(QWidget& dialog, int id) {
    T* found = dialog.findChild<T*>(QStringLiteral("ctl%1").arg(id));
    EXPECT_NE(found, nullptr) << "control " << id;
    return found;
}

QCheckBox* box(QWidget& dialog, int id) {
    return control<QCheckBox>(dialog, id);
}

// Ticks or clears a box the way the user does, so that the dialog reacts to it.
void setTicked(QWidget& dialog, int id, bool ticked) {
    if (box(dialog, id)->isChecked() != ticked)
        box(dialog, id)->click();
}

// Ticks and enabled states of boxes 1051-1055 as "te" pairs: T/t ticked or not, E/e enabled or not.
QString typeBoxStates(QWidget& dialog) {
    QString out;
    for (int id = 1051; id <= 1055; ++id) {
        QCheckBox* b = box(dialog, id);
        out += QLatin1Char(b->isChecked() ? 'T' : 't');
        out += QLatin1Char(b->isEnabled() ? 'E' : 'e');
        out += QLatin1Char(' ');
    }
    return out.trimmed();
}

CallRecord callAt(uint32_t type, const QString& number, const QDateTime& when) {
    CallRecord r{};
    r.cardBytes[0] = 1;
    r.valid = 1;
    r.callType = type;
    r.number.setText(number);
    r.time.year = uint16_t(when.date().year());
    r.time.month = uint16_t(when.date().month());
    r.time.day = uint16_t(when.date().day());
    r.time.hour = uint16_t(when.time().hour());
    r.time.minute = uint16_t(when.time().minute());
    r.time.second = uint16_t(when.time().second());
    return r;
}

class QueryDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        view = std::make_unique<MainView>(state);
    }
    void TearDown() override { view.reset(); }

    std::vector<CallRecord*> pageRows(int pageType) {
        std::vector<CallRecord*> rows;
        RecordListModel* model = view->page(pageType)->model();
        for (int i = 0; i < model->rowCount(); ++i)
            rows.push_back(model->record(i));
        return rows;
    }

    // Clicks search and waits for the search to end.
    void search(QueryDialog& dialog) {
        control<QPushButton>(dialog, 1)->click();
        ASSERT_TRUE(waitUntil([&] { return !dialog.searching(); }));
    }

    test::ScratchConfig config{test::ScratchConfig::ShippedFiles};
    QTemporaryDir dir;
    test::ScopedVolumes volumes{{{'C', platform::DriveFixed, QStringLiteral("/")}}};
    AppState state;
    std::unique_ptr<MainView> view;
};

TEST_F(QueryDialogTest, TheCallTypeBoxesFollowThePageOnView) {
    const std::vector<std::pair<int, QString>> presets = {
        {2, "te TE te te te"}, {3, "TE te TE te te"}, {4, "te te te TE te"},
        {1, "TE TE TE TE te"}, {8, "TE TE TE TE te"},
    };
    for (const auto& [pageType, states] : presets) {
        QueryDialog dialog(*view, state, pageType);
        EXPECT_EQ(typeBoxStates(dialog), states) << "page " << pageType;
        EXPECT_TRUE(box(dialog, 1050)->isChecked());
    }

    // Clearing the call-type box disables the types but keeps their ticks; ticking it again applies the
    // page's preset, which on the incoming page leaves the missed box ticked but fixed.
    QueryDialog incoming(*view, state, 3);
    box(incoming, 1050)->click();
    EXPECT_EQ(typeBoxStates(incoming), "Te te Te te te");
    box(incoming, 1050)->click();
    EXPECT_EQ(typeBoxStates(incoming), "TE te Te te te");

    QueryDialog outgoing(*view, state, 2);
    box(outgoing, 1050)->click();
    box(outgoing, 1050)->click();
    EXPECT_EQ(typeBoxStates(outgoing), "te TE te te te");

    QueryDialog all(*view, state, 1);
    box(all, 1052)->click();
    box(all, 1050)->click();
    EXPECT_EQ(typeBoxStates(all), "Te te Te Te te");
    box(all, 1050)->click();
    EXPECT_EQ(typeBoxStates(all), "TE TE TE TE te");
}

TEST_F(QueryDialogTest, OpensWithTheLastSearchsConditionsAndTheLocaleFormat) {
    {
        // Never searched: both conditions ticked, their fields usable.
        QFile settings(configLocations().settingsFile);
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
        settings.write("[Setting]\nDevType=0\n");
        settings.close();
        QueryDialog dialog(*view, state, 1);
        EXPECT_EQ(dialog.objectName(), "dlg145");
        EXPECT_EQ(dialog.windowTitle(), text(7));
        EXPECT_TRUE(box(dialog, 1048)->isChecked());
        EXPECT_TRUE(box(dialog, 1049)->isChecked());
        EXPECT_TRUE(control<QDateTimeEdit>(dialog, 1058)->isEnabled());
        EXPECT_TRUE(control<QDateTimeEdit>(dialog, 1008)->isEnabled());
        EXPECT_TRUE(control<QLineEdit>(dialog, 1060)->isEnabled());
        EXPECT_EQ(control<QLineEdit>(dialog, 1060)->maxLength(), 50);
        EXPECT_EQ(control<QDateTimeEdit>(dialog, 1058)->displayFormat(),
                  queryDateTimeFormat(QLocale::system()));
        EXPECT_FALSE(control<QProgressBar>(dialog, 1003)->isVisibleTo(&dialog));
    }
    writeIntSetting("DateCond", 0);
    writeIntSetting("NumCond", 0);
    writeStringSetting("SearchedNum", "0171");
    QueryDialog dialog(*view, state, 1);
    EXPECT_FALSE(box(dialog, 1048)->isChecked());
    EXPECT_FALSE(box(dialog, 1049)->isChecked());
    EXPECT_FALSE(control<QDateTimeEdit>(dialog, 1058)->isEnabled());
    EXPECT_FALSE(control<QLineEdit>(dialog, 1060)->isEnabled());
    EXPECT_EQ(control<QLineEdit>(dialog, 1060)->text(), "0171");
    box(dialog, 1048)->click();
    EXPECT_TRUE(control<QDateTimeEdit>(dialog, 1058)->isEnabled());
    EXPECT_TRUE(control<QDateTimeEdit>(dialog, 1008)->isEnabled());
    box(dialog, 1049)->click();
    EXPECT_TRUE(control<QLineEdit>(dialog, 1060)->isEnabled());
}

TEST_F(QueryDialogTest, ASearchFillsTheResultsPageShowsItAndRemembersItsConditions) {
    const QDateTime from(QDate(2020, 2, 1), QTime(8, 0, 0));
    const QDateTime to(QDate(2020, 2, 3), QTime(18, 30, 15));
    CallRecord& atStart = state.backupRecords.append(callAt(CallIncoming, "5551", from));
    state.backupRecords.append(callAt(CallIncoming, "5552", from.addSecs(-1)));
    state.backupRecords.append(callAt(CallOutgoing, "5553", from.addSecs(60)));
    CallRecord& missed = state.backupRecords.append(callAt(CallMissed, "7555", to));
    state.backupRecords.append(callAt(CallIncoming, "5554", to.addSecs(1)));
    state.backupRecords.append(callAt(CallIncoming, "4444", from.addSecs(60)));
    // A record on page 9 from an earlier search goes.
    CallRecord stale = callAt(CallIncoming, "1", from);
    view->page(9)->model()->appendRow(&stale);
    view->showPage(3);

    QueryDialog dialog(*view, state, 3);
    setTicked(dialog, 1048, true);
    setTicked(dialog, 1049, true);
    control<QDateTimeEdit>(dialog, 1058)->setDateTime(from);
    control<QDateTimeEdit>(dialog, 1008)->setDateTime(to);
    control<QLineEdit>(dialog, 1060)->setText("555");

    control<QPushButton>(dialog, 1)->click();
    // While it runs the conditions cannot change and the collection cannot be reloaded.
    for (int id : {1048, 1049, 1050, 1051, 1052, 1053, 1054})
        EXPECT_FALSE(box(dialog, id)->isEnabled()) << id;
    EXPECT_FALSE(control<QLineEdit>(dialog, 1060)->isEnabled());
    EXPECT_FALSE(control<QPushButton>(dialog, 1)->isEnabled());
    EXPECT_TRUE(control<QPushButton>(dialog, 2)->isEnabled());
    EXPECT_TRUE(state.busy);
    ASSERT_TRUE(waitUntil([&] { return !dialog.searching(); }));

    EXPECT_EQ(pageRows(9), (std::vector<CallRecord*>{&atStart, &missed}));
    EXPECT_EQ(view->currentPageType(), 9);
    EXPECT_FALSE(view->page(9)->isHidden());
    EXPECT_TRUE(view->page(3)->isHidden());
    EXPECT_FALSE(state.busy);
    // Afterwards every box may be changed, those the page had fixed included.
    EXPECT_EQ(typeBoxStates(dialog), "TE tE TE tE te");
    EXPECT_TRUE(control<QPushButton>(dialog, 1)->isEnabled());
    EXPECT_FALSE(control<QProgressBar>(dialog, 1003)->isVisibleTo(&dialog));

    EXPECT_EQ(readIntSetting("DateCond"), 1);
    EXPECT_EQ(readIntSetting("NumCond"), 1);
    EXPECT_EQ(readStringSetting("SearchedNum"), "555");

    // A ticked number box with an empty field is no condition and is remembered as off; the time box
    // cleared is remembered too, and only the type condition is left.
    control<QLineEdit>(dialog, 1060)->clear();
    setTicked(dialog, 1048, false);
    search(dialog);
    EXPECT_EQ(readIntSetting("DateCond"), 0);
    EXPECT_EQ(readIntSetting("NumCond"), 0);
    EXPECT_EQ(readStringSetting("SearchedNum"), "");
    EXPECT_EQ(pageRows(9).size(), 5u); // incoming and missed
    // The fields are usable again after a search whatever their boxes say.
    EXPECT_TRUE(control<QDateTimeEdit>(dialog, 1058)->isEnabled());

    QueryDialog reopened(*view, state, 1);
    EXPECT_FALSE(box(reopened, 1048)->isChecked());
    EXPECT_FALSE(box(reopened, 1049)->isChecked());
    EXPECT_EQ(control<QLineEdit>(reopened, 1060)->text(), "");
}

TEST_F(QueryDialogTest, WithNoConditionOnThePageKeepsItsRows) {
    CallRecord& kept = state.backupRecords.append(callAt(CallIncoming, "1", QDateTime::currentDateTime()));
    state.backupRecords.append(callAt(CallOutgoing, "2", QDateTime::currentDateTime()));
    view->page(9)->model()->appendRow(&kept);

    QueryDialog dialog(*view, state, 1);
    control<QLineEdit>(dialog, 1060)->setText("2");
    setTicked(dialog, 1048, false);
    setTicked(dialog, 1049, false);
    setTicked(dialog, 1050, false);
    search(dialog);
    EXPECT_EQ(pageRows(9), std::vector<CallRecord*>{&kept});
    EXPECT_EQ(view->currentPageType(), 9);
    EXPECT_TRUE(control<QPushButton>(dialog, 1)->isEnabled());
    EXPECT_FALSE(state.busy);
    EXPECT_EQ(readIntSetting("NumCond"), 0);
    EXPECT_EQ(readStringSetting("SearchedNum"), "");

    // Only the call-type box with none of its types ticked: still nothing to search for.
    setTicked(dialog, 1050, true);
    for (int id = 1051; id <= 1054; ++id)
        box(dialog, id)->setChecked(false);
    search(dialog);
    EXPECT_EQ(pageRows(9), std::vector<CallRecord*>{&kept});
}

TEST_F(QueryDialogTest, LeavingDuringASearchStopsItWithTheRowsFoundSoFar) {
    std::vector<CallRecord*> all;
    const QDateTime when(QDate(2021, 7, 1), QTime(9, 0));
    for (int i = 0; i < 200000; ++i)
        all.push_back(&state.backupRecords.append(callAt(CallOutgoing, QString::number(i), when)));

    QueryDialog dialog(*view, state, 2);
    dialog.show();
    setTicked(dialog, 1048, false);
    setTicked(dialog, 1049, false);
    control<QPushButton>(dialog, 1)->click();
    control<QPushButton>(dialog, 2)->click();
    EXPECT_FALSE(dialog.searching());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(state.busy);
    const std::vector<CallRecord*> rows = pageRows(9);
    ASSERT_LE(rows.size(), all.size());
    EXPECT_TRUE(std::equal(rows.begin(), rows.end(), all.begin()));
}

TEST_F(QueryDialogTest, TheCommandRunsTheDialogAndReportsTheResultsPage) {
    state.backupRecords.append(callAt(CallMissed, "0044", QDateTime::currentDateTime()));
    state.backupRecords.append(callAt(CallMissed, "0045", QDateTime::currentDateTime()));
    std::vector<std::pair<int, int>> reports;
    QObject::connect(view.get(), &MainView::statusReport,
                     [&](int pageType, int rows) { reports.emplace_back(pageType, rows); });
    view->showPage(8);

    bool searched = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QueryDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->objectName(), "dlg145");
        setTicked(*dialog, 1048, false);
        setTicked(*dialog, 1049, true);
        control<QLineEdit>(*dialog, 1060)->setText("44");
        control<QPushButton>(*dialog, 1)->click();
        searched = waitUntil([&] { return !dialog->searching(); });
        control<QPushButton>(*dialog, 2)->click();
    });
    runQuery(*view, state, nullptr);
    EXPECT_TRUE(searched);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), std::make_pair(9, 1));
}

TEST_F(QueryDialogTest, ASearchWaitsForACallLogThatBeganLoadingWhileTheDialogStoodOpen) {
    CallRecord& kept = state.backupRecords.append(callAt(CallIncoming, "1", QDateTime::currentDateTime()));
    view->page(9)->model()->appendRow(&kept);
    QueryDialog dialog(*view, state, 1);
    setTicked(dialog, 1048, false);
    state.busy = true;
    bool refused = false;
    QTimer::singleShot(0, [&] {
        auto* message = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(message, nullptr);
        refused = message->text() == text(159);
        message->accept();
    });
    control<QPushButton>(dialog, 1)->click();
    EXPECT_TRUE(refused);
    EXPECT_FALSE(dialog.searching());
    EXPECT_TRUE(state.busy); // still the loader's
    EXPECT_EQ(pageRows(9), std::vector<CallRecord*>{&kept});
    EXPECT_TRUE(control<QPushButton>(dialog, 1)->isEnabled());
}

TEST_F(QueryDialogTest, TheCommandIsRefusedWhileACallLogLoads) {
    state.busy = true;
    QString shown;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        auto* message = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(message, nullptr) << modal->objectName().toStdString();
        shown = message->text();
        EXPECT_EQ(message->windowTitle(), text(160));
        EXPECT_EQ(message->icon(), QMessageBox::Information);
        message->accept();
    });
    runQuery(*view, state, nullptr);
    EXPECT_EQ(shown, text(159));
    EXPECT_EQ(view->currentPageType(), 1);
}

} // namespace
