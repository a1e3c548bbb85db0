#include "backup/BackupVerify.h"

#include "backup/BackupPass.h"
#include "support/BackupScene.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>

namespace tessa {
namespace {

using test::BackupScene;
using test::RecordingObserver;
using test::TempDir;

void overwrite(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

struct Seen : VerifyObserver {
    void rangeSet(uint32_t total) override { ranges.push_back(total); }
    void positionSet(uint32_t position) override { positions.push_back(position); }
    void copyChecked(const VerifiedCopy& copy) override { copies.push_back(copy); }
    void logUnreadable(const QString& name) override { unreadable.push_back(name); }
    const VerifiedCopy* find(const QString& name) const {
        for (const VerifiedCopy& c : copies)
            if (c.relativePath.endsWith(name))
                return &c;
        return nullptr;
    }
    std::vector<uint32_t> ranges, positions;
    std::vector<VerifiedCopy> copies;
    std::vector<QString> unreadable;
};

const QString kKept = "20180115093012-I-5551234.wav";
const QString kDeleted = "20180116080000-O-42.wav";
const QString kTruncated = "20180201120000-I-7.wav";
const QString kChanged = "20180202120000-O-8.wav";
const QString kUnlisted = "20180203120000-O-9.wav";
const QString kMissingOnCard = "20180204120000-O-10.wav";

class VerifyTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const QString& name : {kKept, kDeleted, kTruncated, kChanged, kUnlisted})
            scene.add(name, false, 9000);
        scene.add(kMissingOnCard, true);
        RecordingObserver pass;
        ASSERT_EQ(runBackupPass(scene.request(false), scene.load(), nullptr, pass).copied, 5u);
    }
    VerifySummary verify(Seen& seen, const std::function<bool()>& stop = nullptr) {
        return verifyBackup(scene.backup, scene.model(), stop, seen);
    }
    BackupScene scene;
};

TEST_F(VerifyTest, AFreshBackupIsIntact) {
    Seen seen;
    const VerifySummary s = verify(seen);
    EXPECT_TRUE(s.allGood());
    EXPECT_EQ(s.records, 6u);
    EXPECT_EQ(s.intact, 5u);
    EXPECT_EQ(s.placeholders, 1u);
    EXPECT_EQ(seen.ranges, std::vector<uint32_t>{6});
    EXPECT_EQ(seen.positions, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(s.monthLogs, 2u);
}

TEST_F(VerifyTest, FindsDeletedTruncatedChangedAndUnlistedCopies) {
    QFile::remove(scene.onPc(kDeleted));
    QFile::resize(scene.onPc(kTruncated), 5000);
    QFile changed(scene.onPc(kChanged));
    ASSERT_TRUE(changed.open(QIODevice::ReadWrite));
    changed.seek(8999);
    char last = 0;
    changed.getChar(&last);
    changed.seek(8999);
    changed.putChar(char(last ^ 1));
    changed.close();
    // The manifest loses the line of one copy: it still opens as a recording, but cannot be proved.
    const QString manifest = scene.modelFolder() + "/CallLog/201802.sha256";
    QByteArray lines = TempDir::read(manifest);
    const qsizetype at = lines.indexOf(kUnlisted.toUtf8());
    const qsizetype start = lines.lastIndexOf('\n', at) + 1;
    lines.remove(start, lines.indexOf('\n', at) + 1 - start);
    overwrite(manifest, lines);

    Seen seen;
    const VerifySummary s = verify(seen);
    EXPECT_FALSE(s.allGood());
    EXPECT_EQ(s.intact, 1u);
    EXPECT_EQ(s.missing, 1u);
    EXPECT_EQ(s.damaged, 2u);
    EXPECT_EQ(s.unlisted, 1u);
    EXPECT_EQ(s.placeholders, 1u);
    ASSERT_TRUE(seen.find(kDeleted) && seen.find(kTruncated) && seen.find(kChanged) && seen.find(kUnlisted));
    EXPECT_EQ(seen.find(kDeleted)->state, CopyState::Missing);
    EXPECT_EQ(seen.find(kTruncated)->state, CopyState::Damaged);
    EXPECT_EQ(seen.find(kChanged)->state, CopyState::Damaged);
    EXPECT_EQ(seen.find(kChanged)->reason, "the checksum differs from the manifest");
    EXPECT_EQ(seen.find(kUnlisted)->state, CopyState::Unlisted);
    EXPECT_EQ(seen.find(kKept)->state, CopyState::Intact);
    EXPECT_EQ(seen.find(kDeleted)->relativePath, "201801/20180116/" + kDeleted);
    EXPECT_EQ(seen.find(kDeleted)->month, 201801u);
    EXPECT_EQ(seen.find(kDeleted)->index, 1u);
}

TEST_F(VerifyTest, AnUnlistedCopyWithoutAudioIsDamaged) {
    overwrite(scene.modelFolder() + "/CallLog/201801.sha256", QByteArray());
    QFile::resize(scene.onPc(kKept), 60); // a WAV header and nothing after it
    QFile::resize(scene.onPc(kDeleted), 0);
    Seen seen;
    const VerifySummary s = verify(seen);
    EXPECT_EQ(seen.find(kKept)->state, CopyState::Damaged);
    EXPECT_EQ(seen.find(kDeleted)->state, CopyState::Damaged);
    EXPECT_EQ(s.damaged, 2u);
}

TEST_F(VerifyTest, DeletedRecordsAreNotCheckedAndAMovedTreeStillVerifies) {
    // Deleting a record in the backup view clears its flag byte: its copy may go.
    QFile log(scene.monthLog("201801"));
    ASSERT_TRUE(log.open(QIODevice::ReadWrite));
    log.seek(qint64(CallRecord::kSize) + qint64(CallRecord::kValidByte));
    log.putChar(0);
    log.close();
    QFile::remove(scene.onPc(kDeleted));

    TempDir elsewhere;
    ASSERT_EQ(QProcess::execute("cp", {"-a", scene.backup + ".", elsewhere.path()}), 0);
    Seen seen;
    const VerifySummary s = verifyBackup(elsewhere.path() + "/", scene.model(), nullptr, seen);
    EXPECT_TRUE(s.allGood());
    EXPECT_EQ(s.records, 5u);
    EXPECT_EQ(s.intact, 4u);
}

TEST_F(VerifyTest, StopsBetweenRecordsAndReportsAnUnreadableMonthLog) {
    Seen seen;
    int asked = 0;
    const VerifySummary s = verify(seen, [&] { return ++asked > 2; });
    EXPECT_FALSE(s.complete);
    EXPECT_FALSE(s.allGood());
    EXPECT_EQ(s.records, 2u);

    QFile::remove(scene.monthLog("201802"));
    QDir().mkpath(scene.monthLog("201802")); // a folder under a month log's name is no month log
    QFile::setPermissions(scene.monthLog("201801"), QFileDevice::WriteOwner);
    Seen again;
    const VerifySummary t = verify(again);
    if (TempDir::read(scene.monthLog("201801")).isEmpty()) { // root reads everything
        EXPECT_EQ(t.unreadableLogs, 1u);
        EXPECT_FALSE(t.allGood());
        ASSERT_EQ(again.unreadable.size(), 1u);
    }
    QFile::setPermissions(scene.monthLog("201801"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST(Verify, NoBackupFolderIsNotARun) {
    TempDir dir;
    Seen seen;
    EXPECT_FALSE(verifyBackup(dir.path() + "/", 0, nullptr, seen).ran);
}

} // namespace
} // namespace tessa
