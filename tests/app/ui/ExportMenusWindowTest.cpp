// The export and e-mail entries of the window: enabled in the context menus, drop-downs and toolbar
// buttons, and each reaching its command.
#include "app/ui/ExportCommands.h"
#include "app/ui/MainWindow.h"
#include "browse/Commands.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordCommands.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "export/ui/WavExportDialog.h"
#include "store/AppState.h"
#include "store/LoadSink.h"
#include "support/CardFixtures.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

using namespace tessa;

namespace {

class ExportMenusWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QDir().mkpath(dir.filePath("Config"));
        for (const QString& file : QDir(TESSA_BIN_DIR "/Config").entryList(QDir::Files))
            QFile::copy(TESSA_BIN_DIR "/Config/" + file, dir.filePath("Config/" + file));
        setConfigLocations(portableConfigLocations(dir.filePath("Config")));
        qputenv("TESSA_DEVICE_STATE", dir.filePath("device.bin").toUtf8());
    }
    void TearDown() override { setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent"))); }

    static QAction* entry(QObject& menu, int command) {
        return menu.findChild<QAction*>(QStringLiteral("cmd%1").arg(command));
    }

    QTemporaryDir dir;
    test::ScopedVolumes volumes{{{'C', platform::DriveFixed, QStringLiteral("/")}}};
    AppState state;
};

TEST_F(ExportMenusWindowTest, ExportAndEmailEntriesAreEnabledWhereverTheyAppear) {
    MainWindow window(state);
    RecordCommands& commands = *window.recordCommands();
    for (int model : {ModelVX7, ModelVX5}) {
        state.modelCode = model;
        for (int page : {int(PageAll), int(PageImport)}) {
            for (bool selection : {false, true}) {
                QMenu menu;
                commands.fillContextMenu(menu, page, selection);
                std::vector<int> expected = {CmdExport, CmdExportWav, CmdEmail};
                if (page == PageImport || model == ModelVX5)
                    expected.push_back(CmdEmailOriginals);
                else
                    EXPECT_EQ(entry(menu, CmdEmailOriginals), nullptr);
                for (int command : expected) {
                    QAction* action = entry(menu, command);
                    ASSERT_NE(action, nullptr) << command << " page " << page;
                    EXPECT_TRUE(action->isEnabled()) << command << " page " << page << " model " << model;
                }
            }
        }
        QMenu exportDrop, mailDrop;
        commands.fillDropDown(exportDrop, CmdExport);
        commands.fillDropDown(mailDrop, CmdEmail);
        ASSERT_NE(entry(exportDrop, CmdExport), nullptr);
        ASSERT_NE(entry(exportDrop, CmdExportWav), nullptr);
        EXPECT_TRUE(entry(exportDrop, CmdExport)->isEnabled());
        EXPECT_TRUE(entry(exportDrop, CmdExportWav)->isEnabled());
        ASSERT_NE(entry(mailDrop, CmdEmail), nullptr);
        EXPECT_TRUE(entry(mailDrop, CmdEmail)->isEnabled());
        if (model == ModelVX5) {
            ASSERT_NE(entry(mailDrop, CmdEmailOriginals), nullptr);
            EXPECT_TRUE(entry(mailDrop, CmdEmailOriginals)->isEnabled());
        } else {
            EXPECT_EQ(entry(mailDrop, CmdEmailOriginals), nullptr);
        }
    }
    // The toolbar buttons of both toolbars.
    for (QToolBar* bar : {window.view()->recordToolbar(), window.view()->importToolbar()}) {
        for (int command : {CmdExport, CmdEmail}) {
            if (QAction* action = entry(*bar, command)) {
                EXPECT_TRUE(action->isEnabled()) << command;
            }
        }
    }
    EXPECT_NE(entry(*window.view()->recordToolbar(), CmdExport), nullptr);
    EXPECT_NE(entry(*window.view()->recordToolbar(), CmdEmail), nullptr);
}

TEST_F(ExportMenusWindowTest, TheWavEntryOfTheContextMenuOpensTheExportDialog) {
    MainWindow window(state);
    QMenu menu;
    window.recordCommands()->fillContextMenu(menu, PageAll, false);
    QString opened;
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, [&, poll] {
        if (auto* dialog = qobject_cast<WavExportDialog*>(QApplication::activeModalWidget())) {
            opened = dialog->objectName();
            poll->stop();
            poll->deleteLater();
            dialog->reject();
        }
    });
    poll->start(10);
    entry(menu, CmdExportWav)->trigger(); // returns once the modal dialog has closed
    EXPECT_EQ(opened, QStringLiteral("dlg157"));
    EXPECT_EQ(window.exportCommands()->wavExportDialog(), nullptr);
}

} // namespace
