// The desktop notices of the window: what is said, and that nothing is said while the program is active.

#include "app/ui/DesktopNotices.h"

#include "app/ui/MainWindow.h"
#include "backup/BackupPass.h"
#include "backup/BackupVerify.h"
#include "backup/ui/BackupDialog.h"
#include "backup/ui/VerifyDialog.h"
#include "browse/Commands.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "demo/DemoCard.h"
#include "platform/VolumeTable.h"
#include "store/AppState.h"
#include "support/ScopedConfig.h"
#include "support/ScopedEnvironment.h"
#include "support/ScopedVolumes.h"
#include "support/TempDir.h"
#include "support/ui/EventLoop.h"

#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <QApplication>
#include <QDir>
#include <QTimer>
#include <vector>

namespace tessa {
namespace {

using test::TempDir;
using test::waitFor;

struct Sent {
    QString summary, body;
};

// Keeps every notice instead of showing it.
class RecordingNotifier : public platform::DesktopNotifier {
public:
    explicit RecordingNotifier(std::shared_ptr<std::vector<Sent>> sent) : sent_(std::move(sent)) {}
    void notify(const QString& summary, const QString& body) override { sent_->push_back({summary, body}); }

private:
    std::shared_ptr<std::vector<Sent>> sent_;
};

class DesktopNoticesTest : public ::testing::Test {
protected:
    void SetUp() override {
        notices.setNotifier(std::make_unique<RecordingNotifier>(sent));
        notices.setActiveCheck([this] { return active; });
    }
    test::ScratchConfig config{test::ScratchConfig::ShippedFiles};
    std::shared_ptr<std::vector<Sent>> sent = std::make_shared<std::vector<Sent>>();
    bool active = false;
    DesktopNotices notices;
};

TEST_F(DesktopNoticesTest, EachNoticeSaysWhatHappenedWithItsCounts) {
    notices.cardFound(12);
    BackupSummary backup;
    backup.ran = true;
    backup.copied = 7;
    backup.moved = 1;
    backup.placeholders = 2;
    backup.alreadyThere = 3;
    backup.skipped = 4;
    notices.backupFinished(backup);
    VerifySummary intact;
    intact.ran = intact.complete = true;
    intact.records = intact.intact = 5;
    notices.verifyFinished(intact);
    VerifySummary damaged = intact;
    damaged.intact = 4;
    damaged.damaged = 1;
    notices.verifyFinished(damaged);

    ASSERT_EQ(sent->size(), 4u);
    EXPECT_EQ((*sent)[0].summary, text(415));
    EXPECT_EQ((*sent)[0].body, text(416) + ": 12");
    EXPECT_EQ((*sent)[1].summary, text(417));
    EXPECT_EQ((*sent)[1].body, text(418) + ": 7, " + text(419) + ": 1, " + text(414) + ": 2, " + text(420) +
                                   ": 3, " + text(421) + ": 4.");
    EXPECT_EQ((*sent)[2].summary, text(422));
    EXPECT_EQ((*sent)[2].body, verifyCountsLine(intact));
    EXPECT_EQ((*sent)[3].summary, text(423));
    EXPECT_TRUE((*sent)[3].body.contains(text(410) + ": 1")) << (*sent)[3].body.toStdString();
    for (const Sent& s : *sent)
        EXPECT_FALSE(s.summary.isEmpty() || s.body.isEmpty());
}

TEST_F(DesktopNoticesTest, NothingIsSaidWhileTheProgramIsActiveOrWhenNothingWasDone) {
    active = true;
    notices.cardFound(12);
    BackupSummary backup;
    backup.ran = true;
    notices.backupFinished(backup);
    VerifySummary verified;
    verified.ran = verified.complete = true;
    notices.verifyFinished(verified);
    EXPECT_TRUE(sent->empty());

    active = false;
    // A pass refused by the lock, and a check that was stopped or found no backup, prove nothing.
    BackupSummary refused;
    refused.lockRefused = true;
    notices.backupFinished(refused);
    VerifySummary stopped;
    stopped.ran = true;
    notices.verifyFinished(stopped);
    notices.verifyFinished(VerifySummary{});
    EXPECT_TRUE(sent->empty());

    notices.cardFound(1);
    EXPECT_EQ(sent->size(), 1u);
}

// The window tells of the card it found, the backup it made and the check it ran, while inactive.
class WindowNoticesTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(backup);
        writeStringSetting(QStringLiteral("BackupPath"), backup);
        writeIntSetting(QStringLiteral("AutoBackup"), 0);
        writeIntSetting(QStringLiteral("BackupDelFile"), 0);
        QString error;
        ASSERT_TRUE(writeDemoCard(card, DemoCardOptions{0, 9, 4}, &error)) << error.toStdString();
        environment.set("TESSA_DEVICE_STATE", dir.file("device.bin").toUtf8());
        environment.set("TESSA_DRIVES", ("E=" + card).toUtf8());
        auto table = std::make_shared<platform::SystemVolumeTable>();
        table->refresh();
        volumes.emplace(std::move(table));
    }
    // Runs Back Up All Records from the menu: the modal dialog, started and left to finish.
    void backUpAll(MainWindow& window) {
        QTimer::singleShot(0, [] {
            waitFor([] { return qobject_cast<BackupDialog*>(QApplication::activeModalWidget()) != nullptr; },
                    5000);
            if (auto* d = qobject_cast<BackupDialog*>(QApplication::activeModalWidget()))
                d->startPass();
        });
        window.onCommand(CmdBackupAll);
    }

    TempDir dir;
    test::ScratchConfig config{test::ScratchConfig::ShippedFiles};
    test::ScopedEnvironment environment;
    std::optional<test::ScopedVolumeTable> volumes;
    QString card = dir.file("card");
    QString backup = dir.file("backup") + "/";
    AppState state;
    std::shared_ptr<std::vector<Sent>> sent = std::make_shared<std::vector<Sent>>();
    bool active = false;
};

TEST_F(WindowNoticesTest, CardBackupAndVerificationAreToldOnlyWhileTheWindowIsInactive) {
    MainWindow window(state);
    window.notices()->setNotifier(std::make_unique<RecordingNotifier>(sent));
    window.notices()->setActiveCheck([this] { return active; });
    window.show();
    ASSERT_TRUE(waitFor([&] { return !state.busy && !state.cardRecords.empty() && !sent->empty(); }, 20000));
    const size_t records = state.cardRecords.count();
    ASSERT_EQ(sent->size(), 1u);
    EXPECT_EQ((*sent)[0].summary, text(415));
    EXPECT_EQ((*sent)[0].body, cardFoundBody(records));

    // Active: the backup is seen in its dialog, nothing goes to the desktop.
    active = true;
    backUpAll(window);
    ASSERT_EQ(state.backupRecords.count(), records);
    EXPECT_EQ(sent->size(), 1u);

    // Inactive: the second pass finds everything there, and says so.
    active = false;
    backUpAll(window);
    ASSERT_EQ(sent->size(), 2u);
    EXPECT_EQ((*sent)[1].summary, text(417));
    BackupSummary expected;
    expected.alreadyThere = uint32_t(records);
    EXPECT_EQ((*sent)[1].body, backupFinishedBody(expected));

    window.onCommand(CmdVerifyBackup);
    ASSERT_TRUE(waitFor([&] { return sent->size() == 3; }, 20000));
    EXPECT_EQ((*sent)[2].summary, text(422)) << (*sent)[2].body.toStdString();
}

} // namespace
} // namespace tessa
