#include "platform/VolumeTable.h"

#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

namespace tessa::platform {
namespace {

using test::TempDir;

std::map<char, std::pair<int, QString>> volumesByLetter(const std::vector<Volume>& table) {
    std::map<char, std::pair<int, QString>> m;
    for (const Volume& v : table)
        m[v.letter] = {v.type, v.root};
    return m;
}

// A machine described by a mountinfo file and a sysfs tree in a scratch folder.
class VolumeTableMachine : public ::testing::Test {
protected:
    void SetUp() override {
        env_.unset("TESSA_DRIVES");
        // USB card reader partition; the reader reports removable 0, the bus decides.
        addBlockDevice("8:17",
                       "devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb",
                       "sdb1", "0");
        // SD card in the laptop's own slot.
        addBlockDevice("179:1", "devices/platform/soc/fe340000.mmc/mmc_host/mmc0/mmc0:aaaa/block/mmcblk0",
                       "mmcblk0p1", "0");
        // SATA disk.
        addBlockDevice("8:2", "devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda",
                       "sda2", "0");
        // Optical drive: whole disk, no bus hint, only the kernel's removable flag.
        addBlockDevice("11:0", "devices/pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0/block/sr0",
                       QString(), "1");
        // Partition of a disk the kernel flags removable, on no telling bus.
        addBlockDevice("8:49", "devices/pci0000:00/0000:00:17.0/ata3/host2/target2:0:0/2:0:0:0/block/sdd",
                       "sdd1", "1");
    }

    void addBlockDevice(const QString& majorMinor, const QString& diskFolder, const QString& partition,
                        const QByteArray& removable) {
        dir_.write("sys/" + diskFolder + "/removable", removable + "\n");
        QString device = "sys/" + diskFolder;
        if (!partition.isEmpty()) {
            device += "/" + partition;
            dir_.write(device + "/partition", "1\n");
        }
        QDir().mkpath(dir_.file("sys/dev/block"));
        std::filesystem::create_symlink(("../../" + device.mid(4)).toStdString(),
                                        dir_.file("sys/dev/block/" + majorMinor).toStdString());
    }

    void writeMountInfo(const QByteArray& text) { dir_.write("mountinfo", text); }
    SystemVolumeTable makeTable() {
        return SystemVolumeTable(dir_.file("mountinfo"), dir_.file("sys/dev/block"));
    }

    TempDir dir_;
    test::ScopedEnvironment env_;
};

const QByteArray kDesktopMounts = "22 1 254:0 / / rw,relatime - ext4 /dev/vda1 rw\n"
                                  "23 22 0:21 / /proc rw,relatime - proc proc rw\n"
                                  "24 22 0:23 / /run rw,nosuid - tmpfs tmpfs rw\n"
                                  "25 22 8:2 / /home rw,relatime - ext4 /dev/sda2 rw\n"
                                  "26 22 7:0 / /snap/core/16 ro - squashfs /dev/loop0 ro\n"
                                  "27 22 8:17 / /media/u/My\\040Card rw - vfat /dev/sdb1 rw\n"
                                  "28 22 0:40 / /mnt/share rw - nfs4 server:/export rw,vers=4.2\n"
                                  "29 22 179:1 / /media/u/SD rw shared:5 master:1 - exfat /dev/mmcblk0p1 rw\n"
                                  "30 22 11:0 / /media/cdrom ro - iso9660 /dev/sr0 ro\n"
                                  "31 23 0:50 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
                                  "32 22 0:51 / /var/lib/docker/merged rw - overlay overlay rw\n"
                                  "33 22 8:2 /old /srv/old rw - ext4 /dev/sda2 rw\n"
                                  "34 22 0:52 / /srv/old rw - tmpfs tmpfs rw\n"
                                  "35 22 0:53 / /home/u/.cache/doc rw - fuse.portal portal rw\n"
                                  "36 22 0:54 / /mnt/nas rw - cifs //nas/music rw\n"
                                  "37 22 8:49 / /media/u/Zip rw - vfat /dev/sdd1 rw\n";

TEST_F(VolumeTableMachine, ClassifiesMountsAndGivesLettersInOrder) {
    writeMountInfo(kDesktopMounts);
    const auto table = volumesByLetter(makeTable().refresh());
    const std::map<char, std::pair<int, QString>> expected = {
        {'C', {DriveFixed, "/"}},
        {'D', {DriveFixed, "/home"}},
        {'E', {DriveRemovable, "/media/u/My Card"}},
        {'F', {DriveRemote, "/mnt/share"}},
        {'G', {DriveRemovable, "/media/u/SD"}},
        {'H', {DriveRemovable, "/media/cdrom"}},
        {'I', {DriveRemote, "/mnt/nas"}},
        {'J', {DriveRemovable, "/media/u/Zip"}},
    };
    EXPECT_EQ(table, expected);
}

TEST_F(VolumeTableMachine, LettersStayWithTheirMountsAcrossRefreshes) {
    writeMountInfo(kDesktopMounts);
    SystemVolumeTable table = makeTable();
    table.refresh();

    // The USB card goes; a new stick appears before the others in the file and takes the freed letter
    // without moving anyone.
    QByteArray later = kDesktopMounts;
    later.replace("27 22 8:17 / /media/u/My\\040Card rw - vfat /dev/sdb1 rw\n", "");
    later.replace("25 22 8:2", "40 22 8:33 / /media/u/Stick rw - vfat /dev/sdc1 rw\n25 22 8:2");
    writeMountInfo(later);
    auto volumes = volumesByLetter(table.refresh());
    EXPECT_EQ(volumes['E'].second, "/media/u/Stick");
    EXPECT_EQ(volumes['D'].second, "/home");
    EXPECT_EQ(volumes['F'].second, "/mnt/share");
    EXPECT_EQ(volumes['I'].second, "/mnt/nas");
    EXPECT_EQ(volumes.size(), 8u);

    // The card comes back (a new mount): it gets the lowest free letter, the others stay.
    later += "41 22 8:17 / /media/u/My\\040Card rw - vfat /dev/sdb1 rw\n";
    writeMountInfo(later);
    volumes = volumesByLetter(table.refresh());
    EXPECT_EQ(volumes['K'], std::make_pair(int(DriveRemovable), QString("/media/u/My Card")));
    EXPECT_EQ(volumes['E'].second, "/media/u/Stick");
    EXPECT_EQ(volumes['G'].second, "/media/u/SD");

    // The stick goes: its letter is free for the next new mount.
    later.replace("40 22 8:33 / /media/u/Stick rw - vfat /dev/sdc1 rw\n", "");
    later += "42 22 0:60 / /mnt/backup rw - nfs server:/b rw\n";
    writeMountInfo(later);
    volumes = volumesByLetter(table.refresh());
    EXPECT_EQ(volumes['E'], std::make_pair(int(DriveRemote), QString("/mnt/backup")));
    EXPECT_EQ(volumes['K'].second, "/media/u/My Card");
}

TEST_F(VolumeTableMachine, MountsBeyondZGetNoLetter) {
    QByteArray text = "1 0 254:0 / / rw - ext4 /dev/vda1 rw\n";
    for (int i = 0; i < 30; ++i)
        text += QByteArray::number(100 + i) + " 1 0:" + QByteArray::number(70 + i) + " / /mnt/n" +
                QByteArray::number(i) + " rw - nfs s:/e" + QByteArray::number(i) + " rw\n";
    writeMountInfo(text);
    const auto table = makeTable().refresh();
    ASSERT_EQ(table.size(), 24u); // C plus D to Z
    EXPECT_EQ(table.back().letter, 'Z');
    EXPECT_EQ(table.back().root, "/mnt/n22");
}

TEST_F(VolumeTableMachine, FilesBoundIntoTheFileSystemAreNoDrives) {
    const QString file = dir_.write("hosts", "127.0.0.1 localhost\n");
    QDir().mkpath(dir_.file("data"));
    writeMountInfo("1 0 0:30 / / rw - overlay overlay rw\n"
                   "2 1 254:0 /containers/x/hosts " +
                   QFile::encodeName(file) +
                   " rw - ext4 /dev/vda1 rw\n"
                   "3 1 254:0 /volumes/data " +
                   QFile::encodeName(dir_.file("data")) + " rw - ext4 /dev/vda1 rw\n");
    const auto table = volumesByLetter(makeTable().refresh());
    const std::map<char, std::pair<int, QString>> expected = {{'C', {DriveFixed, "/"}},
                                                              {'D', {DriveFixed, dir_.file("data")}}};
    EXPECT_EQ(table, expected);
}

TEST_F(VolumeTableMachine, UnreadableMountInfoLeavesTheRootDrive) {
    const auto table = SystemVolumeTable(dir_.file("missing"), dir_.file("sys/dev/block")).refresh();
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].letter, 'C');
    EXPECT_EQ(table[0].root, "/");
}

TEST_F(VolumeTableMachine, SubstitutedDrivesReplaceRemovableMedia) {
    writeMountInfo(kDesktopMounts);
    SystemVolumeTable table = makeTable();
    table.refresh(); // the nfs share holds F before the substitution

    const QString card1 = dir_.file("card1");
    const QByteArray value = "E=" + QFile::encodeName(card1) +
                             "; f=" + QFile::encodeName(dir_.file("card2/")) +
                             " ;C=/x;B=/y;A=/z;Q;=/r;1=/s;E=/dup;G=;HH=/t";
    const test::ScopedEnvironment env("TESSA_DRIVES", value);
    const auto volumes = volumesByLetter(table.refresh());
    const std::map<char, std::pair<int, QString>> expected = {
        {'C', {DriveFixed, "/"}},
        {'D', {DriveFixed, "/home"}},
        {'E', {DriveRemovable, card1}},
        {'F', {DriveRemovable, dir_.file("card2")}}, // folder need not exist
        {'G', {DriveRemote, "/mnt/share"}},          // moved off the letter the substitution uses
        {'I', {DriveRemote, "/mnt/nas"}},            // stays where it was
    };
    EXPECT_EQ(volumes, expected);
}

TEST_F(VolumeTableMachine, EmptySubstitutionHidesAllRemovableMedia) {
    writeMountInfo(kDesktopMounts);
    const QByteArray value;
    const test::ScopedEnvironment env("TESSA_DRIVES", value);
    for (const Volume& v : makeTable().refresh())
        EXPECT_NE(v.type, DriveRemovable) << v.letter;
}

// A table that counts how often it is read.
class SnapshotCountingTable : public VolumeTable {
public:
    std::vector<Volume> refresh() override {
        ++refreshes;
        publish({{'F', DriveRemovable, "/f"}, {'C', DriveFixed, "/"}, {'Z', DriveRemote, "/z"}});
        return snapshot();
    }
    int refreshes = 0;
};

TEST(VolumeTable, SnapshotReadsOnceAndAnswersByLetter) {
    SnapshotCountingTable table;
    EXPECT_EQ(table.driveMask(), (1u << 2) | (1u << 5) | (1u << 25));
    ASSERT_TRUE(table.volume('f').has_value());
    EXPECT_EQ(table.volume('F')->root, "/f");
    EXPECT_FALSE(table.volume('D').has_value());
    const auto snapshot = table.snapshot();
    ASSERT_EQ(snapshot.size(), 3u);
    EXPECT_EQ(snapshot[0].letter, 'C'); // ordered by letter
    EXPECT_EQ(snapshot[2].letter, 'Z');
    EXPECT_EQ(table.refreshes, 1);
}

TEST(VolumeTable, SpaceOfAMissingFolderIsZero) {
    TempDir dir;
    FixedVolumeTable table({{'E', DriveRemovable, dir.file("absent")}, {'F', DriveRemovable, dir.path()}});
    const DiskSpace missing = table.space(*table.volume('E'));
    EXPECT_EQ(missing.totalBytes, 0u);
    EXPECT_EQ(missing.freeBytes, 0u);
    const DiskSpace present = table.space(*table.volume('F'));
    EXPECT_GT(present.totalBytes, 1024u);
    EXPECT_LE(present.freeBytes, present.totalBytes);
}

TEST(VolumeTable, ProcessTableCanBeReplacedAndRestored) {
    const QByteArray value;
    const test::ScopedEnvironment env("TESSA_DRIVES", value);
    auto fixed = std::make_shared<FixedVolumeTable>(std::vector<Volume>{{'E', DriveRemovable, "/e"}});
    EXPECT_EQ(installedVolumeTable(), nullptr); // the system table was in use
    setVolumeTable(fixed);
    EXPECT_EQ(installedVolumeTable(), fixed);
    EXPECT_EQ(&volumeTable(), fixed.get());
    EXPECT_EQ(volumeTable().driveMask(), 1u << 4);
    setVolumeTable(nullptr);
    EXPECT_EQ(installedVolumeTable(), nullptr);
    const auto system = volumeTable().refresh();
    ASSERT_FALSE(system.empty());
    EXPECT_EQ(system[0].letter, 'C');
    EXPECT_EQ(system[0].root, "/");
    EXPECT_EQ(system[0].type, DriveFixed);
    EXPECT_GT(volumeTable().space(system[0]).totalBytes, 0u);
}

} // namespace
} // namespace tessa::platform
