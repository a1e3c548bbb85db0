// The phonebook page and the parameters page as the window drives them: the card scan, the card's removal
// and the recorder's notifications.

#include "app/ui/MainWindow.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordListPage.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "demo/DemoCard.h"
#include "device/ui/ParametersPage.h"
#include "phonebook/ui/PhonebookPage.h"
#include "store/AppState.h"
#include "support/CardFixtures.h"
#include "support/EventLoop.h"
#include "support/ScopedConfig.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace tessa;

namespace {

using tessa::test::waitUntil;

class RecorderPagesWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QDir().mkpath(dir.filePath("backup"));
        writeStringSetting(QStringLiteral("BackupPath"), dir.filePath("backup") + "/");
        environment.set("TESSA_DEVICE_STATE", dir.filePath("device.bin").toUtf8());
    }

    QString writeCard(int model) {
        const QString card = dir.filePath(QStringLiteral("card%1").arg(model));
        QString error;
        EXPECT_TRUE(writeDemoCard(card, DemoCardOptions{model, 20, 5}, &error)) << error.toStdString();
        return card;
    }

    test::ScratchConfig config{test::ScratchConfig::ShippedFiles};
    QTemporaryDir dir;
    test::ScopedEnvironment environment;
    test::ScopedVolumes volumes{{{'C', platform::DriveFixed, QStringLiteral("/")}}};
    AppState state;
};

TEST_F(RecorderPagesWindowTest, AVx5CardFillsThePhonebookPageAndItsRemovalClearsIt) {
    const QString card = writeCard(1);
    const PhonebookListing onCard =
        readPhonebook(card + QStringLiteral("/PhoneBook.dat"), platform::Area::User);
    ASSERT_FALSE(onCard.rows.empty()) << "the demo card carries a phonebook";
    volumes.table().setVolumes(
        {{'C', platform::DriveFixed, QStringLiteral("/")}, test::removable('E', card)});
    MainWindow window(state);
    window.resize(1200, 800);
    window.show();
    MainView* view = window.view();
    ASSERT_TRUE(waitUntil([&] { return view->page(1)->rowCount() > 0 && !state.busy; }));
    EXPECT_EQ(state.modelCode.load(), 1);

    PhonebookPage* phonebook = view->phonebookPage();
    EXPECT_EQ(phonebook->phonebook().path(), QStringLiteral("E:\\PhoneBook.dat"));
    view->showPage(11);
    EXPECT_TRUE(phonebook->isVisible());
    EXPECT_FALSE(view->parametersPage()->isVisible());
    EXPECT_EQ(phonebook->geometry(), QRect(260, 0, view->width() - 260, view->height() - 1));
    ASSERT_EQ(size_t(phonebook->list()->rowCount()), onCard.rows.size());
    EXPECT_EQ(phonebook->list()->item(0, 0)->text(), onCard.rows[0].name);
    EXPECT_TRUE(phonebook->addButton()->isEnabled());

    // Pulling the card empties and disables the page.
    volumes.table().setVolumes({{'C', platform::DriveFixed, QStringLiteral("/")}});
    ASSERT_TRUE(waitUntil([&] { return state.viewMode == ViewBackup; }));
    EXPECT_EQ(phonebook->list()->rowCount(), 0);
    EXPECT_FALSE(phonebook->addButton()->isEnabled());
    EXPECT_FALSE(phonebook->list()->isEnabled());
}

TEST_F(RecorderPagesWindowTest, TheRecorderNodeShowsTheParametersTheRecorderReports) {
    MainWindow window(state);
    window.resize(1200, 800);
    window.show();
    MainView* view = window.view();
    view->showPage(11);
    ParametersPage* parameters = view->parametersPage();
    EXPECT_TRUE(parameters->isVisible());
    EXPECT_FALSE(view->phonebookPage()->isVisible());
    EXPECT_EQ(parameters->geometry(), QRect(260, 0, view->width() - 260, view->height() - 1));
    // The simulated recorder connects, the page reads everything, report 31 enables it again.
    ASSERT_TRUE(waitUntil([&] {
        return parameters->readAllButton()->isEnabled() && parameters->list(1021)->currentIndex() >= 0 &&
               parameters->list(1072)->currentIndex() >= 0;
    }));
    EXPECT_EQ(window.pane(1)->text(), text(90));
    EXPECT_FALSE(parameters->session().waiting());
}

} // namespace
