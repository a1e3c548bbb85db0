#include "backup/BackupManifest.h"

#include "backup/BackupPass.h"
#include "platform/FileFaults.h"
#include "support/BackupScene.h"

#include <gtest/gtest.h>
#include <QCryptographicHash>
#include <QFile>
#include <QProcess>

namespace tessa {
namespace {

using test::BackupScene;
using test::RecordingObserver;
using test::TempDir;

// sha256sum -c of a manifest, run from the model folder as its paths are relative to it.
struct PeerCheck {
    int code = -1;
    QString out;
};
PeerCheck sha256sumCheck(const QString& modelFolder, const QString& manifest) {
    QProcess p;
    p.setWorkingDirectory(modelFolder);
    p.start("sha256sum", {"-c", "--strict", manifest});
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

QByteArray sha256(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

TEST(BackupManifest, PassListsEveryCopyItWritesAndSha256sumAgrees) {
    BackupScene scene;
    scene.add("20180115093012-I-5551234.wav");
    scene.add("20180116080000-O-42.wav", false, 70000);
    scene.add("20180201120000-I-7.wav");
    scene.add("20180202120000-O-8.wav", true); // missing on the card: a placeholder, no checksum
    RecordingObserver seen;
    const BackupSummary summary = runBackupPass(scene.request(false), scene.load(), nullptr, seen);
    ASSERT_TRUE(summary.ran);
    EXPECT_EQ(summary.copied, 3u);

    const QByteArray january = TempDir::read(scene.modelFolder() + "/CallLog/201801.sha256");
    EXPECT_EQ(january, sha256(BackupScene::contentOf("20180115093012-I-5551234.wav")).toHex() +
                           "  201801/20180115/20180115093012-I-5551234.wav\n" +
                           sha256(BackupScene::contentOf("20180116080000-O-42.wav", 70000)).toHex() +
                           "  201801/20180116/20180116080000-O-42.wav\n");
    const PeerCheck jan = sha256sumCheck(scene.modelFolder(), "CallLog/201801.sha256");
    EXPECT_EQ(jan.code, 0) << jan.out.toStdString();
    const PeerCheck feb = sha256sumCheck(scene.modelFolder(), "CallLog/201802.sha256");
    EXPECT_EQ(feb.code, 0) << feb.out.toStdString();
    EXPECT_EQ(parseManifest(TempDir::read(scene.modelFolder() + "/CallLog/201802.sha256")).size(), 1u);

    // A second pass copies nothing and lists nothing twice.
    runBackupPass(scene.request(false), scene.load(), nullptr, seen);
    EXPECT_EQ(TempDir::read(scene.modelFolder() + "/CallLog/201801.sha256"), january);

    // The peer sees a changed copy.
    QFile copy(scene.onPc("20180116080000-O-42.wav"));
    ASSERT_TRUE(copy.open(QIODevice::ReadWrite));
    copy.seek(5000);
    copy.write("x");
    copy.close();
    const PeerCheck changed = sha256sumCheck(scene.modelFolder(), "CallLog/201801.sha256");
    EXPECT_NE(changed.code, 0);
    EXPECT_TRUE(changed.out.contains("20180116080000-O-42.wav: FAILED")) << changed.out.toStdString();
}

TEST(BackupManifest, MoveModeListsTheCopyItVerified) {
    BackupScene scene;
    scene.add("20180115093012-I-5551234.wav");
    RecordingObserver seen;
    const BackupSummary summary = runBackupPass(scene.request(true), scene.load(), nullptr, seen);
    EXPECT_EQ(summary.moved, 1u);
    const PeerCheck check = sha256sumCheck(scene.modelFolder(), "CallLog/201801.sha256");
    EXPECT_EQ(check.code, 0) << check.out.toStdString();
    EXPECT_TRUE(check.out.contains("20180115093012-I-5551234.wav: OK"));
}

TEST(BackupManifest, ACopyWrittenAgainReplacesItsLine) {
    BackupScene scene;
    const QString name = "20180115093012-I-5551234.wav";
    scene.add(name);
    scene.add("20180116080000-O-42.wav");
    RecordingObserver seen;
    runBackupPass(scene.request(false), scene.load(), nullptr, seen);
    // A power cut left the copy short: the next pass copies it again, and the manifest names it once.
    QFile::resize(scene.onPc(name), 100);
    runBackupPass(scene.request(false), scene.load(), nullptr, seen);
    const QByteArray manifest = TempDir::read(scene.modelFolder() + "/CallLog/201801.sha256");
    EXPECT_EQ(manifest.count(name.toUtf8()), 1) << manifest.toStdString();
    EXPECT_TRUE(manifest.contains("20180116080000-O-42.wav"));
    const PeerCheck check = sha256sumCheck(scene.modelFolder(), "CallLog/201801.sha256");
    EXPECT_EQ(check.code, 0) << check.out.toStdString();
}

TEST(BackupManifest, AManifestThatCannotBeWrittenCostsTheLineNotTheBackup) {
    BackupScene scene;
    scene.add("20180115093012-I-5551234.wav");
    // A folder where the manifest belongs: it cannot be appended to.
    QDir().mkpath(scene.modelFolder() + "/CallLog/201801.sha256");
    RecordingObserver seen;
    const BackupSummary summary = runBackupPass(scene.request(false), scene.load(), nullptr, seen);
    EXPECT_EQ(summary.copied, 1u);
    EXPECT_EQ(scene.monthLogRecords("201801").size(), 1u);
    ASSERT_EQ(seen.results.size(), 1u);
    EXPECT_TRUE(seen.results[0].reason.contains("manifest")) << seen.results[0].reason.toStdString();
}

TEST(BackupManifest, LinesRoundTripInTheFormsSha256sumWrites) {
    TempDir dir;
    const QByteArray a = QByteArray("first copy"), b = QByteArray("second copy");
    // A name with a line break and one with a backslash are escaped; sha256sum reads them back.
    const QString odd = "201801/20180115/20180115093012-I-a\nb.wav";
    const QString slash = "201801/20180115/20180115093013-I-a\\b.wav";
    dir.write(odd, a);
    dir.write(slash, b);
    const QByteArray manifest = manifestLine(sha256(a), odd) + manifestLine(sha256(b), slash);
    EXPECT_TRUE(manifest.startsWith('\\'));
    dir.write("m.sha256", manifest);
    const PeerCheck check = sha256sumCheck(dir.path(), "m.sha256");
    EXPECT_EQ(check.code, 0) << check.out.toStdString();

    // What sha256sum itself writes (text and binary forms) parses to the same entries.
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start("sha256sum", {odd, "-b", slash});
    ASSERT_TRUE(p.waitForFinished(30000));
    int unreadable = -1;
    const auto entries = parseManifest(p.readAllStandardOutput() + "not a line\n", &unreadable);
    EXPECT_EQ(unreadable, 1);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.at(odd), sha256(a));
    EXPECT_EQ(entries.at(slash), sha256(b));
    EXPECT_EQ(parseManifest(manifest), entries);
}

TEST(BackupManifest, CopyPathsAreTakenFromTheLayoutWhateverTheRoot) {
    EXPECT_EQ(copyPathInModelFolder("/old/disk/TessaDeviceBackup\\201801\\20180115\\x-I.wav"),
              QString("201801/20180115/x-I.wav"));
    EXPECT_EQ(copyPathInModelFolder("/b/TessaDeviceBackup/201801/20180115/x-I.wav.tmp"),
              QString("201801/20180115/x-I.wav.tmp"));
    EXPECT_FALSE(copyPathInModelFolder("/b/TessaDeviceBackup/201801/20180215/x.wav")); // day of another month
    EXPECT_FALSE(copyPathInModelFolder("/b/TessaDeviceBackup/20180115/x.wav"));
    EXPECT_FALSE(copyPathInModelFolder("/b/201801/20180115/.."));
    EXPECT_FALSE(copyPathInModelFolder(""));
}

} // namespace
} // namespace tessa
