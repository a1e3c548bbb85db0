#include "platform/NativePath.h"

#include "platform/VolumeTable.h"
#include "support/ScopedVolumes.h"

#include <gtest/gtest.h>

namespace tessa::platform {
namespace {

// The roots are only mapped, never opened.
class NativePathTest : public ::testing::Test {
protected:
    test::ScopedVolumes volumes_{{
        {'C', DriveFixed, "/"},
        {'E', DriveRemovable, "/tmp/card one"},
        {'F', DriveRemovable, "/media/card"},
        {'G', DriveRemovable, "/media/card2"},
    }};
};

TEST_F(NativePathTest, DrivePrefixMapsToTheVolumeRoot) {
    EXPECT_EQ(nativePath("E:\\201801\\20180115093000-I-5551234.wav"),
              "/tmp/card one/201801/20180115093000-I-5551234.wav");
    EXPECT_EQ(nativePath("e:/CallLog.dat"), "/tmp/card one/CallLog.dat");
    EXPECT_EQ(nativePath("F:\\a/b\\c"), "/media/card/a/b/c");
    EXPECT_EQ(nativePath("E:\\"), "/tmp/card one/");
    EXPECT_EQ(nativePath("E:\\201801\\"), "/tmp/card one/201801/");
    EXPECT_EQ(nativePath("C:\\etc\\hosts"), "/etc/hosts");
    EXPECT_EQ(nativePath("E:\\a...b\\...\\.hidden"), "/tmp/card one/a...b/.../.hidden");
}

TEST_F(NativePathTest, AbsolutePathAfterThePrefixStaysOnTheCard) {
    EXPECT_EQ(nativePath("E:\\/etc/passwd"), "/tmp/card one/etc/passwd");
    EXPECT_EQ(nativePath("F:\\\\\\etc\\passwd"), "/media/card/etc/passwd");
    EXPECT_EQ(nativePath("F://etc"), "/media/card/etc");
}

TEST_F(NativePathTest, PathsWithoutPrefixAreNative) {
    EXPECT_EQ(nativePath("/home/u/Backup/VX7/201801/CallLogBK.dat"),
              "/home/u/Backup/VX7/201801/CallLogBK.dat");
    EXPECT_EQ(nativePath("backup\\201801\\x.wav"), "backup/201801/x.wav");
}

TEST_F(NativePathTest, ClimbingComponentsAreRefused) {
    for (const char* path : {"E:\\..\\x", "E:\\a\\..\\..\\x", "E:/a/../b", "..\\x", "E:\\a\\..", "..",
                             "/home/u/../../etc/passwd", "F:\\201801/..\\..\\card2\\x", "E:..\\x"})
        EXPECT_EQ(nativePath(path), QString()) << path;
}

TEST_F(NativePathTest, UnknownDrivesAndEmbeddedNulAreRefused) {
    EXPECT_EQ(nativePath("Q:\\CallLog.dat"), QString());
    EXPECT_EQ(nativePath("D:\\"), QString());
    EXPECT_EQ(nativePath(QString("E:\\CallLog.dat") + QChar(0) + "x"), QString());
    EXPECT_EQ(nativePath(QString("/tmp/x") + QChar(0)), QString());
    EXPECT_EQ(nativePath("E:CallLog.dat"), QString()); // drive-relative form
}

TEST_F(NativePathTest, DrivePrefixNeedsLetterColonAndSeparator) {
    EXPECT_TRUE(hasDrivePrefix("E:\\x"));
    EXPECT_TRUE(hasDrivePrefix("e:/x"));
    EXPECT_TRUE(hasDrivePrefix("E:"));
    EXPECT_FALSE(hasDrivePrefix("E:x"));
    EXPECT_FALSE(hasDrivePrefix("1:\\x"));
    EXPECT_FALSE(hasDrivePrefix("\\\\server\\share"));
    EXPECT_FALSE(hasDrivePrefix("/media/card"));
    EXPECT_FALSE(hasDrivePrefix(""));
}

TEST_F(NativePathTest, DriveOfNativePathIsTheLongestWholeComponentRoot) {
    EXPECT_EQ(driveLetterOfNative("/media/card/201801/x.wav"), 'F');
    EXPECT_EQ(driveLetterOfNative("/media/card"), 'F');
    EXPECT_EQ(driveLetterOfNative("/media/card/"), 'F');
    EXPECT_EQ(driveLetterOfNative("/media/card2/x"), 'G');
    EXPECT_EQ(driveLetterOfNative("/media/cardx/x"), 'C');
    EXPECT_EQ(driveLetterOfNative("/media/card/../card2/x"), 'G');
    EXPECT_EQ(driveLetterOfNative("/tmp/card one/CallLog.dat"), 'E');
    EXPECT_EQ(driveLetterOfNative("/etc"), 'C');
    EXPECT_EQ(driveLetterOfNative("relative/path"), 0);
    EXPECT_EQ(driveLetterOfNative(""), 0);
}

// Counts reads, to see that a table never read is read once and then reused.
class NativePathCountingTable : public VolumeTable {
public:
    std::vector<Volume> refresh() override {
        ++refreshes;
        publish({{'E', DriveRemovable, "/e"}});
        return snapshot();
    }
    int refreshes = 0;
};

TEST(NativePathTableUse, UnreadTableIsReadOnce) {
    auto table = std::make_shared<NativePathCountingTable>();
    const test::ScopedVolumeTable installed(table);
    EXPECT_EQ(nativePath("E:\\a"), "/e/a");
    EXPECT_EQ(nativePath("E:\\b"), "/e/b");
    EXPECT_EQ(table->refreshes, 1);
}

} // namespace
} // namespace tessa::platform
