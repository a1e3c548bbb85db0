#include "backup/BackupChanges.h"

#include "support/BackupScene.h"

#include <gtest/gtest.h>

namespace tessa {
namespace {

using test::BackupScene;
using test::RecordingObserver;

class BackupChangesTest : public ::testing::Test {
protected:
    void backUp(const QString& name) {
        scene.add(name);
        RecordingObserver seen;
        ASSERT_TRUE(runBackupPass(scene.request(false), scene.load(), nullptr, seen).ran);
    }
    bool look() { return watch.reloadDue(scene.backup, scene.model()); }

    BackupScene scene;
    MonthLogWatch watch;
};

TEST_F(BackupChangesTest, TheSignatureFollowsAppendsAndNewMonthsOfOneModelOnly) {
    EXPECT_EQ(monthLogsSignature(scene.backup, scene.model()), 0u);
    EXPECT_EQ(monthLogsSignature(QString(), scene.model()), 0u);
    backUp("20180115100000-I-0.wav");
    const uint64_t one = monthLogsSignature(scene.backup, scene.model());
    EXPECT_NE(one, 0u);
    EXPECT_EQ(monthLogsSignature(scene.backup, scene.model()), one) << "looking changes nothing";
    EXPECT_EQ(monthLogsSignature(scene.backup, 1 - scene.model()), 0u) << "the other model has no logs";

    backUp("20180115100001-I-1.wav");
    const uint64_t appended = monthLogsSignature(scene.backup, scene.model());
    EXPECT_NE(appended, one);
    backUp("20180216100000-I-2.wav");
    const uint64_t newMonth = monthLogsSignature(scene.backup, scene.model());
    EXPECT_NE(newMonth, appended);

    // Other files beside the month logs (the checksum lists among them) do not count.
    scene.dir.write("backup/TessaDeviceBackup/CallLog/notes.txt", "x");
    EXPECT_EQ(monthLogsSignature(scene.backup, scene.model()), newMonth);
}

TEST_F(BackupChangesTest, AChangeIsDueOnceItHeldForOneLook) {
    backUp("20180115100000-I-0.wav");
    watch.loading(scene.backup, scene.model());
    EXPECT_FALSE(look());

    backUp("20180115100001-I-1.wav");
    EXPECT_FALSE(look()) << "first seen: the writer may still be appending";
    backUp("20180115100002-I-2.wav");
    EXPECT_FALSE(look()) << "still growing";
    EXPECT_TRUE(look()) << "unchanged since the last look: read it";
    EXPECT_TRUE(look()) << "due until the view reads the logs again";

    watch.loading(scene.backup, scene.model());
    EXPECT_FALSE(look());
    EXPECT_FALSE(look());
}

TEST_F(BackupChangesTest, AfterTheCardViewTheNextLookIsTheReference) {
    backUp("20180115100000-I-0.wav");
    watch.loading(scene.backup, scene.model());
    watch.forget();
    // The window's own pass from the card view appended: its records are already in the collection.
    backUp("20180115100001-I-1.wav");
    EXPECT_FALSE(look());
    EXPECT_FALSE(look());
    // Later appends are measured from there.
    backUp("20180115100002-I-2.wav");
    EXPECT_FALSE(look());
    EXPECT_TRUE(look());
}

} // namespace
} // namespace tessa
