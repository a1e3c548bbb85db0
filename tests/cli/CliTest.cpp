#include "cli/Cli.h"

#include "store/CallLogFile.h"
#include "support/CardFixtures.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace tessa;
using tessa::test::TempDir;

namespace {

using tessa::test::runCli;
using Result = tessa::test::CliResult;

QJsonDocument parse(const QString& text) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
    return doc;
}

} // namespace

TEST(Cli, UsageAndInputErrorsHaveTheirExitCodes) {
    EXPECT_EQ(runCli({}).code, 2);
    EXPECT_EQ(runCli({"frobnicate"}).code, 2);
    EXPECT_EQ(runCli({"log"}).code, 2);
    EXPECT_EQ(runCli({"log", "a", "b"}).code, 2);
    EXPECT_EQ(runCli({"log", "x", "--model", "2"}).code, 2);
    EXPECT_EQ(runCli({"log", "x", "--drive", "EE"}).code, 2);
    EXPECT_EQ(runCli({"log", "x", "--model"}).code, 2);
    EXPECT_EQ(runCli({"log", "x", "--colour"}).code, 2);
    EXPECT_EQ(runCli({"drives", "extra"}).code, 2);
    const Result missing = runCli({"log", "/nonexistent/CallLog.dat"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.contains("/nonexistent/CallLog.dat"));
    EXPECT_EQ(runCli({"recording", "/nonexistent/a.wav"}).code, 1);
    EXPECT_EQ(runCli({"help"}).code, 0);
}

TEST(Cli, LogListsTheRecordsAsJson) {
    TempDir dir;
    auto card = test::workedCard128();
    auto deleted = card;
    deleted[0] = 0;
    card[3] = 1;
    const QString log = dir.write(QStringLiteral("CallLog.dat"),
                                  QByteArray(reinterpret_cast<const char*>(deleted.data()), 128) +
                                      QByteArray(reinterpret_cast<const char*>(card.data()), 128));
    const Result r = runCli({"log", log, "--drive", "g", "--json"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonArray records = parse(r.out).array();
    ASSERT_EQ(records.size(), 1);
    const QJsonObject o = records[0].toObject();
    EXPECT_EQ(o.keys().size(), 13);
    EXPECT_EQ(o["index"].toInt(), 1);
    EXPECT_EQ(o["valid"].toInt(), 1);
    EXPECT_EQ(o["callType"].toInt(), 2);
    EXPECT_EQ(o["auxFlag"].toInt(), 1);
    EXPECT_EQ(o["marked"].toInt(), 1);
    EXPECT_EQ(o["time"].toString(), QStringLiteral("2018-01-15 09:30:12"));
    EXPECT_EQ(o["number"].toString(), QStringLiteral("5551234"));
    EXPECT_EQ(o["name"].toString(), QString());
    EXPECT_EQ(o["callDuration"].toInt(), 90);
    EXPECT_EQ(o["recordingDuration"].toInt(), 96);
    EXPECT_EQ(o["shortPath"].toString(), QStringLiteral("G:\\201801\\20180115093012-I-5551234.wav"));
    EXPECT_EQ(o["fullPath"].toString(), o["shortPath"].toString());
    EXPECT_EQ(o["remark"].toString(), QString());

    // An empty log is a valid, empty list.
    const Result empty = runCli({"log", dir.write(QStringLiteral("Empty.dat"), {}), "--json"});
    EXPECT_EQ(empty.code, 0);
    EXPECT_TRUE(parse(empty.out).array().isEmpty());
}

TEST(Cli, LogShowsVx5Remarks) {
    TempDir dir;
    std::array<uint8_t, 256> card{};
    card[0] = 1;
    card[1] = CallIncoming;
    std::memcpy(card.data() + 152, "Plumber", 7);
    const QString log =
        dir.write(QStringLiteral("CallLog.dat"), QByteArray(reinterpret_cast<const char*>(card.data()), 256));
    const Result r = runCli({"log", log, "--model", "1", "--json"});
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(parse(r.out).array()[0].toObject()["remark"].toString(), QStringLiteral("Plumber"));
}

TEST(Cli, LogReadsMonthLogs) {
    TempDir dir;
    CallRecord r{};
    r.cardBytes[0] = 1;
    r.valid = 1;
    r.callType = CallNote;
    r.index = 77;
    r.fullPath.setText(QStringLiteral("/pc/b.wav"));
    const QString log = dir.write(QStringLiteral("201801CallLogBK.dat"),
                                  QByteArray(reinterpret_cast<const char*>(&r), sizeof r));
    const Result res = runCli({"log", log, "--json"});
    ASSERT_EQ(res.code, 0);
    const QJsonObject o = parse(res.out).array()[0].toObject();
    EXPECT_EQ(o["index"].toInt(), 0);
    EXPECT_EQ(o["callType"].toInt(), 5);
    EXPECT_EQ(o["fullPath"].toString(), QStringLiteral("/pc/b.wav"));
}

TEST(Cli, RecordingShowsBothMeasures) {
    TempDir dir;
    QByteArray xtr(4000, '\0');
    writeLeU32(reinterpret_cast<uint8_t*>(xtr.data()) + 4, 1440);
    writeLeU32(reinterpret_cast<uint8_t*>(xtr.data()) + 8, 49);
    const Result r =
        runCli({"recording", dir.write(QStringLiteral("20180115093012-I-1.xtr"), xtr), "--json"});
    ASSERT_EQ(r.code, 0);
    const QJsonObject o = parse(r.out).object();
    EXPECT_EQ(o["kind"].toString(), QStringLiteral("container"));
    EXPECT_EQ(o["dataOffset"].toInt(), 1440);
    EXPECT_EQ(o["formatCode"].toInt(), 49);
    EXPECT_EQ(o["storedDuration"].toInt(), 2);
    EXPECT_EQ(o["displayLength"].toInt(), 1);

    const Result wav =
        runCli({"recording", dir.write(QStringLiteral("a.wav"), QByteArray(8252, 'x')), "--json"});
    const QJsonObject w = parse(wav.out).object();
    EXPECT_EQ(w["kind"].toString(), QStringLiteral("wav"));
    EXPECT_EQ(w["dataOffset"].toInt(), 60);
    EXPECT_EQ(w["formatCode"].toInt(), 17);
    EXPECT_EQ(w["storedDuration"].toInt(), 2);
}

TEST(Cli, DrivesTellWhichOneIsTheCard) {
    TempDir reader, card, vx5;
    card.write(QStringLiteral("CallLog.dat"), {});
    vx5.write(QStringLiteral("CallLog.dat"), {});
    vx5.write(QStringLiteral("PhoneBook.dat"), {});
    test::ScopedVolumes volumes({{'C', platform::DriveFixed, QStringLiteral("/")},
                                 test::removable('E', card.path()),
                                 test::removable('F', reader.path()),
                                 test::removable('G', vx5.path())});
    const Result r = runCli({"drives", "--json"});
    ASSERT_EQ(r.code, 0);
    const QJsonArray drives = parse(r.out).array();
    ASSERT_EQ(drives.size(), 4);
    EXPECT_EQ(drives[0].toObject()["letter"].toString(), QStringLiteral("C"));
    EXPECT_FALSE(drives[0].toObject()["card"].toBool());
    EXPECT_TRUE(drives[0].toObject()["model"].isNull());
    EXPECT_EQ(drives[1].toObject()["type"].toInt(), 2);
    EXPECT_TRUE(drives[1].toObject()["card"].toBool());
    EXPECT_EQ(drives[1].toObject()["model"].toInt(), 0);
    EXPECT_FALSE(drives[2].toObject()["card"].toBool());
    EXPECT_EQ(drives[3].toObject()["model"].toInt(), 1);
    EXPECT_GT(drives[1].toObject()["totalBytes"].toDouble(), 1024);
}
