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

// Recordings in nested folders, named so that the order a folder holds them in says nothing about the
// folders: the finder's order alone decides the listing.
QStringList writeNestedFolders(const TempDir& dir) {
    const QStringList folders = {"root/x/y", "root/x", "root/z", "root"};
    QStringList paths;
    for (int f = 0; f < folders.size(); ++f)
        for (int i = 0; i < 3; ++i) {
            const QString name = QStringLiteral("2009051%1%2%3-I-55%4.wav")
                                     .arg(3 - f)
                                     .arg(10 + i)
                                     .arg(QStringLiteral("0000"))
                                     .arg(f * 10 + i);
            paths << dir.write(folders[f] + "/" + name, QByteArray(8252, 0));
        }
    return paths;
}

// Where each path's folder comes in a list of paths: every recording of a folder together, and a folder's
// place after each of its subfolders.
void expectFinderOrder(const QStringList& listed, const QString& root) {
    QStringList folderOrder;
    for (const QString& path : listed) {
        const QString folder = path.left(path.lastIndexOf(QLatin1Char('/')));
        if (folderOrder.isEmpty() || folderOrder.last() != folder) {
            EXPECT_FALSE(folderOrder.contains(folder))
                << "recordings of " << folder.toStdString() << " split";
            folderOrder << folder;
        }
    }
    ASSERT_EQ(folderOrder.size(), 4);
    EXPECT_EQ(folderOrder.last(), root);
    EXPECT_LT(folderOrder.indexOf(root + "/x/y"), folderOrder.indexOf(root + "/x"));
    EXPECT_LT(folderOrder.indexOf(root + "/z"), folderOrder.indexOf(root));
}

TEST(ImportCli, ListsInTheFindersOrderEveryFolderAfterItsSubfoldersAndTheRootLast) {
    TempDir dir;
    const QStringList written = writeNestedFolders(dir);
    const test::CliResult run = test::runCli({"import", dir.file("root"), "--json"});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    QStringList listed;
    for (const QJsonValue& record : QJsonDocument::fromJson(run.out.toUtf8()).array())
        listed << record.toObject()["fullPath"].toString();
    ASSERT_EQ(listed.size(), written.size());
    expectFinderOrder(listed, dir.file("root"));

    // The same order as the finder's own walk.
    QStringList found;
    for (const CallRecord& record : importRecordings(dir.file("root"), nullptr).records)
        found << record.fullPath.text();
    EXPECT_EQ(listed, found);
}

} // namespace
} // namespace tessa
