#include "backup/ui/RepairDialog.h"

#include "config/ProgramFolder.h"
#include "config/StringTable.h"
#include "format/CardRecord.h"
#include "platform/FileFaults.h"
#include "store/AppState.h"
#include "store/CardRecordCodec.h"
#include "support/CardFixtures.h"
#include "support/EventLoop.h"
#include "support/ScopedConfig.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

using namespace tessa;
using tessa::test::TempDir;

namespace {

// Closes every message box that opens and keeps its object name.
class MessageAnswers {
public:
    MessageAnswers() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                names.push_back(box->objectName());
                box->done(QMessageBox::Ok);
            }
        });
        timer_.start();
    }
    std::vector<QString> names;

private:
    QTimer timer_;
};

QString recordingName(int i) {
    return QStringLiteral("201801") + QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')) +
           QStringLiteral("093012-I-555") + QString::number(i) + QStringLiteral(".wav");
}

class RepairDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        volumes = std::make_unique<test::ScopedVolumes>(std::vector<platform::Volume>{
            platform::Volume{'C', platform::DriveFixed, dir.file("C")}, test::removable('E', dir.file("E")),
            platform::Volume{'F', platform::DriveRemote, dir.file("F")},
            test::removable('G', dir.file("G"))});
        QByteArray log;
        for (int i = 0; i < 12; ++i) {
            dir.write("E/201801/" + recordingName(i), QByteArray(8252, 0));
            if (i < 10) {
                const auto record = buildCardRecord('E', recordingName(i), ModelVX7, 2);
                log += QByteArray(reinterpret_cast<const char*>(record->data()), 128);
            }
        }
        oldLog = log;
        dir.write("E/CallLog.dat", log);
    }
    void TearDown() override { volumes.reset(); }

    test::ScratchConfig config{test::ScratchConfig::ShippedStringTable};
    TempDir dir;
    std::unique_ptr<test::ScopedVolumes> volumes;
    AppState state;
    QByteArray oldLog;
};

TEST_F(RepairDialogTest, ListsRemovableDrivesAndRepairsTheSelectedOne) {
    RepairDialog dialog(state);
    EXPECT_EQ(dialog.windowTitle(), text(218));
    EXPECT_EQ(dialog.findChild<QLabel*>("ctl1106")->text(), text(219));
    EXPECT_EQ(dialog.startButton()->text(), text(220));
    ASSERT_EQ(dialog.driveList()->count(), 2);
    EXPECT_EQ(dialog.driveList()->itemText(0), QStringLiteral("E:\\"));
    EXPECT_EQ(dialog.driveList()->itemText(1), QStringLiteral("G:\\"));
    EXPECT_EQ(dialog.driveList()->currentIndex(), 0);
    EXPECT_TRUE(dialog.progressBar()->isHidden());
    EXPECT_TRUE(dialog.statusLine()->text().isEmpty());

    dialog.show();
    dialog.startButton()->click();
    // Running: Start is disabled and neither Escape nor reject closes the dialog.
    EXPECT_TRUE(dialog.running());
    EXPECT_FALSE(dialog.startButton()->isEnabled());
    EXPECT_FALSE(dialog.progressBar()->isHidden());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &escape);
    dialog.reject();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(state.repairDriveLetter, 'E');

    ASSERT_TRUE(test::waitUntil([&] { return !dialog.running(); }));
    EXPECT_TRUE(dialog.startButton()->isEnabled());
    EXPECT_EQ(dialog.statusLine()->text(), QStringLiteral("%1 - 2").arg(text(221)));
    EXPECT_EQ(dialog.progressBar()->value(), dialog.progressBar()->maximum());
    EXPECT_EQ(dialog.progressBar()->maximum(), 14); // 12 recordings, the log and its safety copy
    EXPECT_EQ(TempDir::read(dir.file("E/CallLog.dat")).size(), oldLog.size() + 256);
    EXPECT_EQ(TempDir::read(dir.file("E/CallLog_BK.dat")), oldLog);
    EXPECT_EQ(state.repairDriveLetter, 0);

    // Finished: a second start is allowed and adds nothing; then the dialog closes.
    dialog.startButton()->click();
    ASSERT_TRUE(test::waitUntil([&] { return !dialog.running(); }));
    EXPECT_EQ(dialog.statusLine()->text(), QStringLiteral("%1 - 0").arg(text(221)));
    dialog.reject();
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(RepairDialogTest, RefusedWhileTheRebuildServesTheDrive) {
    state.rebuildRunning = true;
    state.rebuildDriveLetter = 'E';
    MessageAnswers answers;
    RepairDialog dialog(state);
    dialog.startButton()->click();
    EXPECT_EQ(answers.names, std::vector<QString>{QStringLiteral("repairRefused")});
    EXPECT_FALSE(dialog.running());
    EXPECT_TRUE(dialog.startButton()->isEnabled());
    EXPECT_EQ(TempDir::read(dir.file("E/CallLog.dat")), oldLog);
}

TEST_F(RepairDialogTest, TellsTheUserWhenTheSafetyCopyCannotBeWritten) {
    MessageAnswers answers;
    RepairDialog dialog(state);
    {
        platform::ScopedFileFault fault(
            {1, platform::FileFault::NoSpace, uint32_t(platform::FileOp::Write), true});
        dialog.startButton()->click();
        ASSERT_TRUE(test::waitUntil([&] { return !dialog.running(); }));
    }
    EXPECT_EQ(answers.names, std::vector<QString>{QStringLiteral("safetyCopyFailed")});
    EXPECT_EQ(dialog.statusLine()->text(), QStringLiteral("%1 - 0").arg(text(221)));
    EXPECT_EQ(TempDir::read(dir.file("E/CallLog.dat")), oldLog);
}

TEST_F(RepairDialogTest, WithoutARemovableDriveStartDoesNothing) {
    volumes->table().setVolumes({platform::Volume{'C', platform::DriveFixed, dir.file("C")}});
    RepairDialog dialog(state);
    EXPECT_EQ(dialog.driveList()->count(), 0);
    dialog.startButton()->click();
    EXPECT_FALSE(dialog.running());
    EXPECT_TRUE(dialog.progressBar()->isHidden());
}

} // namespace
