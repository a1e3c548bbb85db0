#include "backup/Import.h"

#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <sys/stat.h>

namespace tessa {
namespace {

using test::TempDir;

// The worked folder: a recording without a number (the 20-character name the backup writes), an outgoing
// container one folder deeper, and two files that are no recordings.
void writeWorkedFolder(const TempDir& dir) {
    dir.write("a/20090512103000-I.wav", QByteArray(8252, 0));
    dir.write("a/b/20090513090000-O-5551234.xtr", QByteArray(100, 0));
    dir.write("a/notes.txt", "notes");
    dir.write("a/x.wav", QByteArray(8252, 0));
}

TEST(Import, BuildsRecordsFromTheRecordingsBelowAFolderInFinderOrder) {
    TempDir dir;
    writeWorkedFolder(dir);
    const ImportResult result = importRecordings(dir.file("a"), nullptr);
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(result.filesFound, 4u);
    ASSERT_EQ(result.records.size(), 2u);

    // The subfolder is searched before its parent.
    const CallRecord& outgoing = result.records[0];
    EXPECT_EQ(outgoing.callType.get(), uint32_t(CallOutgoing));
    EXPECT_EQ(outgoing.number.text(), QStringLiteral("5551234"));
    EXPECT_EQ(outgoing.fullPath.text(), dir.file("a/b/20090513090000-O-5551234.xtr"));
    EXPECT_EQ(outgoing.time.day.get(), 13);

    const CallRecord& incoming = result.records[1];
    EXPECT_EQ(incoming.callType.get(), uint32_t(CallIncoming));
    EXPECT_TRUE(incoming.number.text().isEmpty());
    EXPECT_EQ(incoming.time.year.get(), 2009);
    EXPECT_EQ(incoming.time.second.get(), 0);
    EXPECT_EQ(incoming.time.hour.get(), 10);
    EXPECT_EQ(incoming.recordingDuration.get(), 2u); // 8192 bytes of samples at 4096 a second
    EXPECT_EQ(incoming.valid.get(), 1u);
    EXPECT_EQ(incoming.auxFlag.get(), 1u);
}

TEST(Import, SkipsSpecialFilesAndPathsTooLongForARecord) {
    TempDir dir;
    dir.write("ok/20090512103000-I.wav", QByteArray(8252, 0));
    // A pipe named like a recording would block whoever opens it.
    ASSERT_EQ(mkfifo(dir.file("ok/20090512103001-I.wav").toLocal8Bit().constData(), 0600), 0);
    const QString deep = QString(250, QLatin1Char('d'));
    dir.write(deep + "/20090512103002-I.wav", QByteArray(10, 0));
    const ImportResult result = importRecordings(dir.path(), nullptr);
    ASSERT_EQ(result.records.size(), 1u);
    EXPECT_TRUE(result.records[0].fullPath.text().endsWith("ok/20090512103000-I.wav"));
}

TEST(ImportCli, ListsTheRecordsAsJsonWithTheLogKeys) {
    TempDir dir;
    writeWorkedFolder(dir);
    const test::CliResult run = test::runCli({"import", dir.file("a"), "--json"});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    const QJsonArray records = QJsonDocument::fromJson(run.out.toUtf8()).array();
    ASSERT_EQ(records.size(), 2);
    const QJsonObject first = records[0].toObject();
    for (const char* key : {"index", "valid", "callType", "auxFlag", "marked", "time", "number", "name",
                            "callDuration", "recordingDuration", "shortPath", "fullPath", "remark"})
        EXPECT_TRUE(first.contains(QLatin1String(key))) << key;
    EXPECT_EQ(first["callType"].toInt(), 4);
    EXPECT_EQ(records[1].toObject()["time"].toString(), QStringLiteral("2009-05-12 10:30:00"));

    const test::CliResult text = test::runCli({"import", dir.file("a")});
    EXPECT_EQ(text.code, 0);
    EXPECT_EQ(text.out.count('\n'), 2);
    EXPECT_EQ(test::runCli({"import", dir.file("missing")}).code, 1);
    EXPECT_EQ(test::runCli({"import"}).code, 2);
}

} // namespace
} // namespace tessa
