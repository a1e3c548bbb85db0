#include "platform/ConfinedFiles.h"

#include "platform/NativeName.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace tessa::platform {
namespace {

using test::TempDir;

QByteArray bytesOf(const QString& path) {
    return TempDir::read(path);
}

void makeLink(const QString& target, const QString& link) {
    ASSERT_EQ(::symlink(encodeNativeName(target).constData(), encodeNativeName(link).constData()), 0)
        << link.toStdString();
}

void makeFifo(const QString& path) {
    ASSERT_EQ(::mkfifo(encodeNativeName(path).constData(), 0600), 0) << path.toStdString();
}

// A card folder, a backup folder and a folder outside both, with the roots set to the first two.
class ConfinedFilesTest : public ::testing::Test {
protected:
    TempDir scratch;
    QString card = scratch.file("card");
    QString backup = scratch.file("backup");
    QString outside = scratch.file("outside");
    ScopedFileRoots roots{card, backup};

    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(card + "/201801"));
        ASSERT_TRUE(QDir().mkpath(backup));
        ASSERT_TRUE(QDir().mkpath(outside));
        clearFileFaults();
    }
    void TearDown() override { clearFileFaults(); }
};

TEST_F(ConfinedFilesTest, FilesInsideTheirAreaAreReadAndWritten) {
    scratch.write("card/CallLog.dat", QByteArray(256, 'a'));
    QByteArray bytes;
    EXPECT_EQ(readWholeFile(card + "/CallLog.dat", Area::Card, &bytes), FileError::None);
    EXPECT_EQ(bytes, QByteArray(256, 'a'));
    EXPECT_EQ(readFilePart(card + "/CallLog.dat", Area::CardOrBackup, 250, 100, &bytes), FileError::None);
    EXPECT_EQ(bytes, QByteArray(6, 'a'));

    ConfinedFile file;
    ASSERT_EQ(file.open(card + "/CallLog.dat", Area::Card, ConfinedFile::Mode::ReadWrite), FileError::None);
    EXPECT_EQ(file.writeAt(128, "xy"), FileError::None);
    EXPECT_EQ(file.close(), FileError::None);
    EXPECT_EQ(bytesOf(card + "/CallLog.dat").mid(127, 4), QByteArray("axya"));

    // The same file is not a backup file.
    EXPECT_EQ(readWholeFile(card + "/CallLog.dat", Area::Backup, &bytes), FileError::Outside);
}

TEST_F(ConfinedFilesTest, TargetsOutsideTheRootAreRefusedWhateverThePathSays) {
    scratch.write("outside/secret", "keep");
    makeLink(outside + "/secret", card + "/CallLog.dat");    // the card's own log as a link
    makeLink(outside, card + "/RECORD");                     // a folder of the path as a link
    makeLink(outside + "/missing", card + "/PhoneBook.dat"); // a link leading nowhere yet

    QByteArray bytes;
    for (const QString& path : {card + "/CallLog.dat", card + "/RECORD/secret", card + "/../outside/secret",
                                card + "/201801/../../outside/secret", outside + "/secret"}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(readWholeFile(path, Area::Card, &bytes), FileError::Outside);
        EXPECT_EQ(readWholeFile(path, Area::CardOrBackup, &bytes), FileError::Outside);
        ConfinedFile file;
        EXPECT_EQ(file.open(path, Area::Card, ConfinedFile::Mode::ReadWrite), FileError::Outside);
        EXPECT_EQ(appendToFile(path, Area::Card, "x", {}), FileError::Outside);
        EXPECT_EQ(removeFile(path, Area::Card), FileError::Outside);
        EXPECT_EQ(writeWholeFile(path, Area::Card, "x", Replace::Existing), FileError::Outside);
        EXPECT_EQ(statFile(path, Area::Card).error, FileError::Outside);
    }
    EXPECT_EQ(bytesOf(outside + "/secret"), "keep");

    // Nothing is created through a dangling link, inside or out.
    EXPECT_NE(appendToFile(card + "/PhoneBook.dat", Area::Card, "x", {.create = true}), FileError::None);
    EXPECT_NE(writeWholeFile(card + "/PhoneBook.dat", Area::Card, "x", Replace::Existing), FileError::None);
    EXPECT_FALSE(QFileInfo::exists(outside + "/missing"));
    EXPECT_NE(makeFolders(card + "/RECORD/201801", Area::Card), FileError::None);
    EXPECT_FALSE(QFileInfo::exists(outside + "/201801"));
    EXPECT_EQ(copyFile(outside + "/secret", Area::User, card + "/RECORD/copy", Area::Card),
              FileError::Outside);
    EXPECT_FALSE(QFileInfo::exists(outside + "/copy"));

    std::vector<FolderEntry> entries;
    EXPECT_EQ(listFolder(card + "/RECORD", Area::Card, &entries), FileError::Outside);
    EXPECT_TRUE(entries.empty());
}

TEST_F(ConfinedFilesTest, LinksThatStayInsideAreFollowed) {
    scratch.write("card/201801/a.wav", "audio");
    makeLink(card + "/201801/a.wav", card + "/alias.wav");
    makeLink("201801", card + "/month");
    QByteArray bytes;
    EXPECT_EQ(readWholeFile(card + "/month/a.wav", Area::Card, &bytes), FileError::None);
    EXPECT_EQ(bytes, "audio");
    const FileStatus status = statFile(card + "/alias.wav", Area::Card);
    EXPECT_EQ(status.error, FileError::None);
    EXPECT_EQ(status.realPath, QFileInfo(card + "/201801/a.wav").canonicalFilePath());
    EXPECT_TRUE(sameFile(card + "/alias.wav", Area::Card, card + "/month/./a.wav", Area::Card));
    EXPECT_FALSE(sameFile(card + "/alias.wav", Area::Card, card + "/201801", Area::Card));
}

TEST_F(ConfinedFilesTest, RootsDecideWhatIsAllowed) {
    scratch.write("backup/x.dat", "b");
    scratch.write("outside/y.dat", "o");
    QByteArray bytes;
    EXPECT_EQ(readWholeFile(backup + "/x.dat", Area::Backup, &bytes), FileError::None);
    EXPECT_EQ(readWholeFile(backup + "/x.dat", Area::CardOrBackup, &bytes), FileError::None);
    EXPECT_EQ(readWholeFile(backup + "/x.dat", Area::Card, &bytes), FileError::Outside);
    EXPECT_EQ(readWholeFile(outside + "/y.dat", Area::User, &bytes), FileError::None);
    {
        ScopedFileRoots none{QString(), QString()};
        EXPECT_EQ(readWholeFile(backup + "/x.dat", Area::Backup, &bytes), FileError::NoRoot);
        EXPECT_EQ(readWholeFile(backup + "/x.dat", Area::CardOrBackup, &bytes), FileError::NoRoot);
    }
    // The card root given through a link is the folder the link reaches.
    makeLink(card, scratch.file("cardlink"));
    {
        ScopedFileRoots viaLink{scratch.file("cardlink"), QString()};
        scratch.write("card/CallLog.dat", "c");
        EXPECT_EQ(readWholeFile(card + "/CallLog.dat", Area::Card, &bytes), FileError::None);
    }
    // A card that went away.
    {
        ScopedFileRoots gone{scratch.file("pulled"), QString()};
        EXPECT_EQ(readWholeFile(scratch.file("pulled/CallLog.dat"), Area::Card, &bytes), FileError::Vanished);
    }
}

TEST_F(ConfinedFilesTest, OnlyRegularFilesOpenAndNothingBlocks) {
    makeFifo(card + "/201801/20180115093012-I-1.wav");
    makeLink("/dev/zero", card + "/zero.wav");
    {
        ScopedFileRoots devRoot{"/dev", backup};
        ConfinedFile device;
        EXPECT_EQ(device.open("/dev/zero", Area::Card, ConfinedFile::Mode::Read), FileError::NotRegular);
    }
    QByteArray bytes;
    const QString fifo = card + "/201801/20180115093012-I-1.wav";
    EXPECT_EQ(readWholeFile(fifo, Area::Card, &bytes), FileError::NotRegular);
    EXPECT_EQ(readWholeFile(fifo, Area::User, &bytes), FileError::NotRegular);
    EXPECT_EQ(appendToFile(fifo, Area::Card, "x", {}), FileError::NotRegular);
    EXPECT_EQ(copyFile(fifo, Area::Card, backup + "/copy.wav", Area::Backup), FileError::NotRegular);
    EXPECT_EQ(removeFile(fifo, Area::Card), FileError::NotRegular);
    EXPECT_TRUE(QFileInfo(fifo).exists());
    EXPECT_EQ(readWholeFile("/dev/null", Area::User, &bytes), FileError::NotRegular);
    EXPECT_EQ(readWholeFile(card + "/zero.wav", Area::Card, &bytes), FileError::Outside);
    EXPECT_EQ(readWholeFile(card + "/201801", Area::Card, &bytes), FileError::Folder);
    EXPECT_EQ(removeFile(card + "/201801", Area::Card), FileError::Folder);
    EXPECT_TRUE(QFileInfo(card + "/201801").isDir());
    EXPECT_EQ(readWholeFile(card + "/none.wav", Area::Card, &bytes), FileError::NotFound);
    EXPECT_EQ(statFile(fifo, Area::Card).kind, EntryKind::Other);
}

TEST_F(ConfinedFilesTest, UnreadableFilesSayPermissionDenied) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    const QString path = scratch.write("card/locked.dat", "x");
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::WriteOwner));
    QByteArray bytes;
    EXPECT_EQ(readWholeFile(path, Area::Card, &bytes), FileError::Permission);
}

TEST_F(ConfinedFilesTest, AppendsAreWholeOrLeaveTheOldSize) {
    const QString log = scratch.write("card/CallLog.dat", QByteArray(300, 'r')); // a torn third record
    qint64 at = -1;
    EXPECT_EQ(appendToFile(log, Area::Card, QByteArray(128, 'n'), {.alignTo = 128}, &at), FileError::None);
    EXPECT_EQ(at, 384);
    EXPECT_EQ(QFileInfo(log).size(), 512);
    EXPECT_EQ(bytesOf(log).mid(300, 84), QByteArray(84, '\0'));

    for (const FileFault fault : {FileFault::NoSpace, FileFault::IoError, FileFault::Vanished}) {
        ScopedFileFault full({.nth = 1, .fault = fault, .ops = uint32_t(FileOp::Write)});
        EXPECT_NE(appendToFile(log, Area::Card, QByteArray(128, 'z'), {}), FileError::None);
        EXPECT_EQ(fileFaultsFired(), 1);
        EXPECT_EQ(QFileInfo(log).size(), 512);
    }
    {
        ScopedFileFault full({.nth = 1, .fault = FileFault::NoSpace, .ops = uint32_t(FileOp::Write)});
        EXPECT_EQ(appendToFile(log, Area::Card, QByteArray(128, 'z'), {}), FileError::NoSpace);
    }
    {
        ScopedFileFault syncFails({.nth = 1, .fault = FileFault::IoError, .ops = uint32_t(FileOp::Sync)});
        EXPECT_EQ(appendToFile(log, Area::Card, "abc", {.durability = Durability::Synced}), FileError::Io);
    }
    {
        ScopedFileFault closeFails({.nth = 1, .fault = FileFault::IoError, .ops = uint32_t(FileOp::Close)});
        EXPECT_EQ(appendToFile(log, Area::Card, "abc", {}), FileError::Io);
    }
    EXPECT_EQ(QFileInfo(log).size(), 512);
    EXPECT_FALSE(bytesOf(log).contains('z'));

    // A file the failed append would have created is not left behind.
    {
        ScopedFileFault full({.nth = 1, .fault = FileFault::NoSpace, .ops = uint32_t(FileOp::Write)});
        EXPECT_EQ(appendToFile(card + "/new.dat", Area::Card, "abcdef", {.create = true}),
                  FileError::NoSpace);
    }
    EXPECT_FALSE(QFileInfo::exists(card + "/new.dat"));
    EXPECT_EQ(appendToFile(card + "/new.dat", Area::Card, "abc", {}), FileError::NotFound);
    EXPECT_EQ(appendToFile(card + "/new.dat", Area::Card, "abc", {.create = true}), FileError::None);
    EXPECT_EQ(bytesOf(card + "/new.dat"), "abc");
}

TEST_F(ConfinedFilesTest, FaultsFireOnTheNthMatchingOperationAndStickWhenAsked) {
    const QString path = scratch.write("card/a.dat", "0123456789");
    {
        ScopedFileFault third({.nth = 3, .fault = FileFault::IoError, .ops = uint32_t(FileOp::Read)});
        QByteArray bytes;
        EXPECT_EQ(readWholeFile(path, Area::Card, &bytes), FileError::None);
        EXPECT_EQ(readWholeFile(path, Area::Card, &bytes), FileError::None);
        EXPECT_EQ(readWholeFile(path, Area::Card, &bytes), FileError::Io);
        EXPECT_EQ(readWholeFile(path, Area::Card, &bytes), FileError::None);
        EXPECT_EQ(fileFaultsFired(), 1);
    }
    {
        ScopedFileFault pulled({.nth = 2, .fault = FileFault::Vanished, .sticky = true});
        QByteArray bytes;
        ConfinedFile file;
        EXPECT_EQ(file.open(path, Area::Card, ConfinedFile::Mode::ReadWrite), FileError::None);
        EXPECT_EQ(file.writeAt(0, "x"), FileError::Vanished);
        EXPECT_EQ(readWholeFile(path, Area::Card, &bytes), FileError::Vanished);
        EXPECT_EQ(removeFile(path, Area::Card), FileError::Vanished);
        EXPECT_EQ(makeFolders(card + "/x", Area::Card), FileError::Vanished);
    }
    EXPECT_EQ(bytesOf(path), "0123456789");
    EXPECT_FALSE(QFileInfo::exists(card + "/x"));
}

TEST_F(ConfinedFilesTest, CopiesAppearOnlyWhenComplete) {
    QByteArray audio(600 * 1024, '\0');
    for (qsizetype i = 0; i < audio.size(); ++i)
        audio[i] = char(i * 7);
    const QString source = scratch.write("card/201801/a.wav", audio);
    const QString target = backup + "/a.wav";

    {
        ScopedFileFault full({.nth = 2, .fault = FileFault::NoSpace, .ops = uint32_t(FileOp::Write)});
        EXPECT_EQ(copyFile(source, Area::Card, target, Area::Backup), FileError::NoSpace);
    }
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(QDir(backup).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());

    EXPECT_EQ(copyFile(source, Area::Card, target, Area::Backup, Replace::Never, Durability::Synced),
              FileError::None);
    EXPECT_EQ(bytesOf(target), audio);
    EXPECT_EQ(QFileInfo(target).lastModified(), QFileInfo(source).lastModified());

    scratch.write("card/201801/b.wav", "other");
    EXPECT_EQ(copyFile(card + "/201801/b.wav", Area::Card, target, Area::Backup), FileError::Exists);
    EXPECT_EQ(bytesOf(target), audio);
    EXPECT_EQ(copyFile(card + "/201801/b.wav", Area::Card, target, Area::Backup, Replace::Existing),
              FileError::None);
    EXPECT_EQ(bytesOf(target), "other");
    EXPECT_EQ(copyFile(target, Area::Backup, target, Area::Backup, Replace::Existing), FileError::Exists);
    EXPECT_EQ(bytesOf(target), "other");
    EXPECT_EQ(QDir(backup).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"a.wav"});
}

TEST_F(ConfinedFilesTest, VerifiedCopiesAreReadBackBeforeTheyTakeTheirName) {
    QByteArray audio(600 * 1024, '\0');
    for (qsizetype i = 0; i < audio.size(); ++i)
        audio[i] = char(i * 13);
    const QString source = scratch.write("card/201801/a.wav", audio);
    const QString target = backup + "/a.wav";
    CopyOptions verified;
    verified.verify = true;
    // The copy itself reads four times (three chunks and the end); the fifth read is the read-back.
    {
        ScopedFileFault fault({.nth = 5, .fault = FileFault::IoError, .ops = uint32_t(FileOp::Read)});
        EXPECT_EQ(copyFile(source, Area::Card, target, Area::Backup, verified), FileError::Io);
        EXPECT_EQ(fileFaultsFired(), 1);
    }
    EXPECT_EQ(QDir(backup).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    {
        ScopedFileFault fault({.nth = 1, .fault = FileFault::IoError, .ops = uint32_t(FileOp::Sync)});
        EXPECT_EQ(copyFile(source, Area::Card, target, Area::Backup, verified), FileError::Io);
    }
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(copyFile(source, Area::Card, target, Area::Backup, verified), FileError::None);
    EXPECT_EQ(bytesOf(target), audio);
}

TEST_F(ConfinedFilesTest, ComparesTellEqualFilesFromDifferentOnes) {
    QByteArray audio(300 * 1024, 'a');
    const QString a = scratch.write("card/201801/a.wav", audio);
    const QString same = scratch.write("backup/same.wav", audio);
    audio[audio.size() - 1] = 'b';
    const QString lastByte = scratch.write("backup/last.wav", audio);
    const QString shorter = scratch.write("backup/short.wav", audio.left(1000));
    const QString empty1 = scratch.write("card/201801/e.wav", {});
    const QString empty2 = scratch.write("backup/e.wav", {});
    const QString secret = scratch.write("outside/secret.wav", audio);

    bool equal = false;
    EXPECT_EQ(compareFiles(a, Area::Card, same, Area::Backup, &equal), FileError::None);
    EXPECT_TRUE(equal);
    EXPECT_EQ(compareFiles(a, Area::Card, lastByte, Area::Backup, &equal), FileError::None);
    EXPECT_FALSE(equal);
    equal = true;
    EXPECT_EQ(compareFiles(a, Area::Card, shorter, Area::Backup, &equal), FileError::None);
    EXPECT_FALSE(equal);
    EXPECT_EQ(compareFiles(empty1, Area::Card, empty2, Area::Backup, &equal), FileError::None);
    EXPECT_TRUE(equal);
    equal = false;
    EXPECT_EQ(compareFiles(a, Area::Card, secret, Area::Backup, &equal), FileError::Outside);
    EXPECT_EQ(compareFiles(a, Area::Card, backup + "/none.wav", Area::Backup, &equal), FileError::NotFound);
    EXPECT_FALSE(equal);
    {
        ScopedFileFault fault({.nth = 2, .fault = FileFault::Vanished, .ops = uint32_t(FileOp::Read)});
        EXPECT_EQ(compareFiles(a, Area::Card, same, Area::Backup, &equal), FileError::Vanished);
    }
}

TEST_F(ConfinedFilesTest, WholeFileWritesReplaceAtomicallyAndKeepTheMode) {
    const QString path = scratch.write("card/PhoneBook.dat", "old contents");
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadGroup));
    {
        ScopedFileFault renameFails({.nth = 1, .fault = FileFault::IoError, .ops = uint32_t(FileOp::Rename)});
        EXPECT_EQ(writeWholeFile(path, Area::Card, "new", Replace::Existing), FileError::Io);
    }
    EXPECT_EQ(bytesOf(path), "old contents");
    EXPECT_EQ(writeWholeFile(path, Area::Card, "new", Replace::Never), FileError::Exists);
    EXPECT_EQ(writeWholeFile(path, Area::Card, "new", Replace::Existing, Durability::Synced),
              FileError::None);
    EXPECT_EQ(bytesOf(path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(encodeNativeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(QDir(card).entryList(QDir::Files | QDir::Hidden), QStringList{"PhoneBook.dat"});
}

TEST_F(ConfinedFilesTest, MovesRenameAndNeverLoseTheSource) {
    const QString source = scratch.write("card/201801/a.wav", "audio");
    MoveResult moved = moveFile(source, Area::Card, backup + "/a.wav", Area::Backup);
    EXPECT_EQ(moved.error, FileError::None);
    EXPECT_TRUE(moved.targetWritten);
    EXPECT_FALSE(QFileInfo::exists(source));
    EXPECT_EQ(bytesOf(backup + "/a.wav"), "audio");

    scratch.write("card/201801/b.wav", "bee");
    scratch.write("backup/b.wav", "existing");
    moved = moveFile(card + "/201801/b.wav", Area::Card, backup + "/b.wav", Area::Backup);
    EXPECT_EQ(moved.error, FileError::Exists);
    EXPECT_FALSE(moved.targetWritten);
    EXPECT_EQ(bytesOf(card + "/201801/b.wav"), "bee");
    EXPECT_EQ(bytesOf(backup + "/b.wav"), "existing");

    {
        ScopedFileFault renameFails({.nth = 1, .fault = FileFault::IoError, .ops = uint32_t(FileOp::Rename)});
        moved = moveFile(card + "/201801/b.wav", Area::Card, backup + "/c.wav", Area::Backup);
        EXPECT_EQ(moved.error, FileError::Io);
    }
    EXPECT_EQ(bytesOf(card + "/201801/b.wav"), "bee");
    EXPECT_FALSE(QFileInfo::exists(backup + "/c.wav"));
}

TEST_F(ConfinedFilesTest, MovesAcrossFileSystemsRemoveTheSourceOnlyAfterAWholeCopy) {
    QTemporaryDir other(QStringLiteral("/dev/shm/tessa-move-XXXXXX"));
    struct stat here {
    }, there{};
    if (!other.isValid() || ::stat(encodeNativeName(card).constData(), &here) != 0 ||
        ::stat(encodeNativeName(other.path()).constData(), &there) != 0 || here.st_dev == there.st_dev)
        GTEST_SKIP() << "needs a second file system";
    ScopedFileRoots roots2{card, other.path()};
    const QString source = scratch.write("card/201801/a.wav", QByteArray(1000, 'a'));
    const QString target = other.path() + "/a.wav";
    {
        ScopedFileFault full({.nth = 1, .fault = FileFault::NoSpace, .ops = uint32_t(FileOp::Write)});
        const MoveResult moved = moveFile(source, Area::Card, target, Area::Backup);
        EXPECT_EQ(moved.error, FileError::NoSpace);
        EXPECT_FALSE(moved.targetWritten);
    }
    EXPECT_TRUE(QFileInfo::exists(source));
    EXPECT_FALSE(QFileInfo::exists(target));
    {
        ScopedFileFault stuck({.nth = 1, .fault = FileFault::IoError, .ops = uint32_t(FileOp::Remove)});
        const MoveResult moved = moveFile(source, Area::Card, target, Area::Backup);
        EXPECT_EQ(moved.error, FileError::Io);
        EXPECT_TRUE(moved.targetWritten);
    }
    EXPECT_EQ(bytesOf(source), QByteArray(1000, 'a'));
    EXPECT_EQ(bytesOf(target), QByteArray(1000, 'a'));
    ASSERT_TRUE(QFile::remove(target));
    const MoveResult moved = moveFile(source, Area::Card, target, Area::Backup);
    EXPECT_EQ(moved.error, FileError::None);
    EXPECT_FALSE(QFileInfo::exists(source));
    EXPECT_EQ(bytesOf(target), QByteArray(1000, 'a'));
}

TEST_F(ConfinedFilesTest, FoldersAreMadeAndListedButNeverRemoved) {
    EXPECT_EQ(makeFolders(backup + "/TessaDeviceBackup/201801/20180115", Area::Backup), FileError::None);
    EXPECT_TRUE(QFileInfo(backup + "/TessaDeviceBackup/201801/20180115").isDir());
    EXPECT_EQ(makeFolders(backup + "/TessaDeviceBackup/201801", Area::Backup), FileError::None);
    EXPECT_EQ(makeFolders(outside + "/x/y", Area::Backup), FileError::Outside);
    EXPECT_FALSE(QFileInfo::exists(outside + "/x"));
    EXPECT_EQ(syncFolder(backup + "/TessaDeviceBackup", Area::Backup), FileError::None);

    // A name that is not UTF-8 lists, opens and is removed by the name the listing gave.
    const QByteArray odd = encodeNativeName(card + "/201801/") + QByteArray("\xff\xfe-\x80.wav");
    const int fd = ::open(odd.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "odd", 3), 3);
    ::close(fd);
    scratch.write("card/201801/b.wav", "b");
    makeLink(outside, card + "/201801/link");
    ASSERT_TRUE(QDir().mkpath(card + "/201801/sub"));

    std::vector<FolderEntry> entries;
    ASSERT_EQ(listFolder(card + "/201801", Area::Card, &entries), FileError::None);
    std::map<QString, EntryKind> kinds;
    QString oddName;
    for (const FolderEntry& e : entries) {
        kinds[e.name] = e.kind;
        if (e.name.endsWith("-" + decodeNativeName("\x80") + ".wav"))
            oddName = e.name;
    }
    EXPECT_EQ(entries.size(), 4u);
    EXPECT_EQ(kinds["b.wav"], EntryKind::File);
    EXPECT_EQ(kinds["link"], EntryKind::Link);
    EXPECT_EQ(kinds["sub"], EntryKind::Folder);
    ASSERT_FALSE(oddName.isEmpty());
    QByteArray bytes;
    EXPECT_EQ(readWholeFile(card + "/201801/" + oddName, Area::Card, &bytes), FileError::None);
    EXPECT_EQ(bytes, "odd");
    EXPECT_EQ(removeFile(card + "/201801/" + oddName, Area::Card), FileError::None);
    EXPECT_EQ(::access(odd.constData(), F_OK), -1);
    EXPECT_EQ(removeFile(card + "/201801/sub", Area::Card), FileError::Folder);
    EXPECT_EQ(removeFile(card + "/201801/link", Area::Card), FileError::Outside);
    EXPECT_TRUE(QFileInfo(outside).isDir());
}

TEST(NativeNameTest, EveryByteStringRoundTrips) {
    const QByteArray samples[] = {
        "plain.wav", "caf\xc3\xa9.wav",      "\xff\xfe",     "\xc0\xaf", "\xed\xb2\x80", "\xf4\x90\x80\x80",
        "a\xe2\x82", "\xf0\x9f\x8e\xb5.wav", "\x80\x80\xc3",
    };
    for (const QByteArray& bytes : samples)
        EXPECT_EQ(encodeNativeName(decodeNativeName(bytes)), bytes) << bytes.toHex().toStdString();
    EXPECT_EQ(decodeNativeName("caf\xc3\xa9"), QString::fromUtf8("caf\xc3\xa9"));
    EXPECT_EQ(decodeNativeName("\xff").size(), 1);
    EXPECT_EQ(decodeNativeName("\xed\xb2\x80").size(), 3); // an encoded surrogate stays three bytes
    char arg0[] = "tessa-cli", arg1[] = "\xff.wav";
    char* argv[] = {arg0, arg1};
    EXPECT_EQ(encodeNativeName(losslessArguments(2, argv).at(1)), QByteArray("\xff.wav"));
}

} // namespace
} // namespace tessa::platform
