#include "support/BackupScene.h"
#include "support/CliRunner.h"

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tessa {
namespace {

using test::BackupScene;
using test::runCli;
using test::TempDir;

QStringList lines(const QString& text) {
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

TEST(BackupCli, BacksUpTheCardAndReportsEachRecord) {
    BackupScene scene;
    scene.add("20180115093012-I-5551234.wav");
    scene.add("20180116080000-O-42.wav", true);
    const auto first = runCli({"backup", scene.card, "--to", scene.backup});
    ASSERT_EQ(first.code, 0) << first.err.toStdString();
    const QStringList out = lines(first.out);
    ASSERT_EQ(out.size(), 3);
    EXPECT_TRUE(out[0].startsWith("copied  E:\\201801\\20180115093012-I-5551234.wav  ->  " +
                                  scene.onPc("20180115093012-I-5551234.wav")))
        << out[0].toStdString();
    EXPECT_TRUE(out[1].startsWith("placeholder  E:\\201801\\20180116080000-O-42.wav"))
        << out[1].toStdString();
    EXPECT_EQ(out[2], "1 copied, 0 moved, 1 placeholder(s), 0 already there, 0 skipped");
    EXPECT_EQ(TempDir::read(scene.onPc("20180115093012-I-5551234.wav")),
              BackupScene::contentOf("20180115093012-I-5551234.wav"));
    EXPECT_EQ(scene.monthLogRecords("201801").size(), 2u);

    const auto again = runCli({"backup", scene.card, "--to", scene.backup, "--move", "--json"});
    ASSERT_EQ(again.code, 0) << again.err.toStdString();
    const QJsonObject doc = QJsonDocument::fromJson(again.out.toUtf8()).object();
    const QJsonArray records = doc["records"].toArray();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].toObject()["outcome"].toString(), "already there");
    EXPECT_TRUE(records[0].toObject()["leftCard"].toBool());
    EXPECT_EQ(records[1].toObject()["outcome"].toString(), "already there");
    EXPECT_EQ(records[0].toObject()["destination"].toString(), scene.onPc("20180115093012-I-5551234.wav"));
    const QJsonObject summary = doc["summary"].toObject();
    EXPECT_EQ(summary["alreadyThere"].toInt(), 2);
    EXPECT_EQ(summary["copied"].toInt(), 0);
    EXPECT_TRUE(summary["complete"].toBool());
    EXPECT_EQ(summary["cardLog"].toString(), "deleted");
    EXPECT_FALSE(QFileInfo::exists(scene.onCard("20180115093012-I-5551234.wav")));
    EXPECT_EQ(scene.monthLogRecords("201801").size(), 2u);
}

TEST(BackupCli, ExitsWithOneWhenARecordIsNotBackedUp) {
    BackupScene scene;
    scene.add("20180115093012-I-5551234.wav");
    scene.addWithCardPath("20180115093013-I-1.wav", "201801\\2018011509301-I-1.wav");
    const auto r = runCli({"backup", scene.card, "--to", scene.backup, "--move"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(
        r.out.contains("skipped  E:\\201801\\2018011509301-I-1.wav  (the recording name has fewer than 14"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("moved  E:\\201801\\20180115093012-I-5551234.wav"));
    // The card keeps naming the record that was not backed up.
    ASSERT_TRUE(QFileInfo::exists(scene.card + "/CallLog.dat"));
    EXPECT_EQ(scene.cardLog().at(0), 0);
    EXPECT_EQ(scene.cardLog().at(128), 1);
}

TEST(BackupCli, TakesTheModelFromTheCardAndAFolderGetsAFreeLetter) {
    BackupScene scene(ModelVX5);
    scene.add("20180115093012-I-5551234.wav");
    scene.dir.write("card/PhoneBook.dat", QByteArray(64, '\0'));
    // A copy of the card in a folder that no drive letter names yet.
    TempDir other;
    QDir().mkpath(other.file("card/RECORD/201801"));
    QFile::copy(scene.card + "/CallLog.dat", other.file("card/CallLog.dat"));
    QFile::copy(scene.card + "/PhoneBook.dat", other.file("card/PhoneBook.dat"));
    QFile::copy(scene.onCard("20180115093012-I-5551234.wav"),
                other.file("card/RECORD/201801/20180115093012-I-5551234.wav"));
    const auto r = runCli({"backup", other.file("card"), "--to", scene.backup});
    ASSERT_EQ(r.code, 0) << r.err.toStdString() << r.out.toStdString();
    const auto logged = scene.monthLogRecords("201801");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].shortPath.text(), "F:\\RECORD\\201801\\20180115093012-I-5551234.wav");
    EXPECT_TRUE(QFileInfo::exists(scene.onPc("20180115093012-I-5551234.wav")));
    // The drive letter lasted only as long as the command.
    EXPECT_FALSE(platform::volumeTable().volume('F'));
    // --model overrides the card's own.
    const auto vx7 = runCli({"backup", other.file("card"), "--to", scene.backup, "--model", "0"});
    EXPECT_TRUE(QFileInfo::exists(scene.backup + "TessaDeviceBackup")) << vx7.out.toStdString();
}

TEST(BackupCli, WrongUsageAndUnreadableCards) {
    TempDir dir;
    EXPECT_EQ(runCli({"backup"}).code, 2);
    EXPECT_EQ(runCli({"backup", dir.path()}).code, 2);
    EXPECT_EQ(runCli({"backup", dir.path(), "--to"}).code, 2);
    EXPECT_EQ(runCli({"backup", dir.path(), "--to", dir.file("bk"), "--model", "7"}).code, 2);
    EXPECT_EQ(runCli({"backup", dir.path(), "a", "--to", dir.file("bk")}).code, 2);
    const auto noLog = runCli({"backup", dir.path(), "--to", dir.file("bk")});
    EXPECT_EQ(noLog.code, 1);
    EXPECT_TRUE(noLog.err.contains("call log")) << noLog.err.toStdString();
    const auto noCard = runCli({"backup", dir.file("none"), "--to", dir.file("bk")});
    EXPECT_EQ(noCard.code, 1);
    EXPECT_TRUE(noCard.err.contains("no such file")) << noCard.err.toStdString();
    EXPECT_TRUE(runCli({"help"}).out.contains("backup CARD_ROOT --to BACKUP_ROOT"));
}

} // namespace
} // namespace tessa
