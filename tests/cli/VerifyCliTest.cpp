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

TEST(VerifyCli, ReportsWhatIsWrongAndExitsOneForMissingOrDamaged) {
    BackupScene scene;
    scene.add("20180115093012-I-5551234.wav");
    scene.add("20180116080000-O-42.wav");
    ASSERT_EQ(runCli({"backup", scene.card, "--to", scene.backup}).code, 0);

    const auto clean = runCli({"verify", scene.backup});
    EXPECT_EQ(clean.code, 0) << clean.err.toStdString();
    EXPECT_EQ(clean.out, "TessaDeviceBackup: 2 checked, 2 intact, 0 unlisted, 0 placeholder(s), 0 missing, "
                         "0 damaged\n");

    QFile::remove(scene.onPc("20180116080000-O-42.wav"));
    const auto broken = runCli({"verify", scene.backup, "--model", "0"});
    EXPECT_EQ(broken.code, 1);
    EXPECT_TRUE(broken.out.startsWith("missing  TessaDeviceBackup/201801/20180116/20180116080000-O-42.wav"))
        << broken.out.toStdString();

    const auto json = runCli({"verify", scene.backup, "--json"});
    EXPECT_EQ(json.code, 1);
    const QJsonObject doc = QJsonDocument::fromJson(json.out.toUtf8()).object();
    const QJsonArray models = doc["models"].toArray();
    ASSERT_EQ(models.size(), 1);
    const QJsonObject model = models[0].toObject();
    EXPECT_EQ(model["model"].toInt(), 0);
    const QJsonArray copies = model["copies"].toArray();
    ASSERT_EQ(copies.size(), 1);
    EXPECT_EQ(copies[0].toObject()["state"].toString(), "missing");
    EXPECT_EQ(copies[0].toObject()["path"].toString(), "201801/20180116/20180116080000-O-42.wav");
    EXPECT_EQ(model["summary"].toObject()["intact"].toInt(), 1);
    EXPECT_EQ(model["summary"].toObject()["missing"].toInt(), 1);
}

TEST(VerifyCli, RefusesWhatIsNoBackup) {
    BackupScene scene;
    EXPECT_EQ(runCli({"verify"}).code, 2);
    EXPECT_EQ(runCli({"verify", scene.backup, "--model", "3"}).code, 2);
    const auto empty = runCli({"verify", scene.backup});
    EXPECT_EQ(empty.code, 1);
    EXPECT_TRUE(empty.err.contains("holds no month logs")) << empty.err.toStdString();
    // The other model's folder is asked for by name: it has no month logs.
    scene.add("20180115093012-I-5551234.wav");
    ASSERT_EQ(runCli({"backup", scene.card, "--to", scene.backup}).code, 0);
    EXPECT_EQ(runCli({"verify", scene.backup, "--model", "1"}).code, 1);
    EXPECT_EQ(runCli({"verify", scene.backup + "nothing-here"}).code, 1);
}

} // namespace
} // namespace tessa
