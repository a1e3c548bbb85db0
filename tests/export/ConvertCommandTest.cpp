// tessa-cli convert FILE... --to DIR [--json]
#include "audio/CodecTable.h"
#include "audio/SpeechSynth.h"
#include "demo/DemoCard.h"
#include "format/LittleEndian.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

using namespace tessa;
using tessa::test::runCli;
using tessa::test::TempDir;

namespace {

QByteArray container(uint32_t formatCode, const QByteArray& audio) {
    QByteArray file(1440, '\0');
    writeLeU32(reinterpret_cast<uint8_t*>(file.data()) + 8, formatCode);
    return file + audio;
}

TEST(ConvertCommand, ConvertsEachFileAndReportsEveryResult) {
    TempDir in, out;
    const QString good =
        in.write("card/201801/20180115093012-I-555.xtr",
                 container(49, codecOf(Coding::Gsm).encode(synthesizeSpeech({1, 16000, 1}))));
    const QString brief = in.write("20180115093013-O.xtr", container(7, QByteArray(20, '\x7f')));
    const QString odd = in.write("20180115093014-O.xtr", container(6, QByteArray(4000, '\x55')));
    const test::CliResult r =
        runCli({"convert", good, brief, odd, in.file("missing.xtr"), "--to", out.path(), "--json"});
    EXPECT_EQ(r.code, 1) << r.err.toStdString();
    QJsonParseError error{};
    const QJsonArray results = QJsonDocument::fromJson(r.out.toUtf8(), &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
    ASSERT_EQ(results.size(), 4);
    EXPECT_EQ(results[0]["result"].toString(), "written");
    EXPECT_EQ(results[0]["output"].toString(), out.path() + "/20180115093012-I-555.wav");
    EXPECT_TRUE(QFileInfo(out.file("20180115093012-I-555.wav")).size() > 60);
    EXPECT_EQ(results[1]["result"].toString(), "failed");
    EXPECT_EQ(results[1]["reasonNumber"].toInt(), 211);
    EXPECT_EQ(results[2]["result"].toString(), "skipped");
    EXPECT_FALSE(results[2].toObject().contains("reasonNumber"));
    EXPECT_EQ(results[3]["reasonNumber"].toInt(), 210);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files), QStringList{"20180115093012-I-555.wav"});

    // Every file written: exit 0, one line each.
    const test::CliResult ok = runCli({"convert", good, "--to", out.path()});
    EXPECT_EQ(ok.code, 0);
    EXPECT_EQ(ok.out.count('\n'), 1);
}

TEST(ConvertCommand, RefusesWrongUsageAndAMissingFolder) {
    TempDir in;
    const QString file = in.write("a.xtr", container(7, QByteArray(4000, '\x55')));
    EXPECT_EQ(runCli({"convert", "--to", in.path()}).code, 2);
    EXPECT_EQ(runCli({"convert", file}).code, 2);
    const test::CliResult r = runCli({"convert", file, "--to", in.file("nowhere")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("nowhere"));
}

TEST(ConvertCommand, EveryContainerOfTheDemoCardBecomesAFileSoxOpens) {
    if (QStandardPaths::findExecutable("soxi").isEmpty())
        GTEST_SKIP() << "sox is not installed";
    TempDir card, out;
    QString error;
    ASSERT_TRUE(writeDemoCard(card.path(), {0, 24, 3}, &error)) << error.toStdString();
    QStringList containers;
    for (QDirIterator it(card.path(), {"*.xtr"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        containers << it.next();
    ASSERT_FALSE(containers.isEmpty());
    QStringList args = {"convert"};
    args << containers << "--to" << out.path();
    const test::CliResult r = runCli(args);
    ASSERT_EQ(r.code, 0) << r.out.toStdString();
    for (const QString& source : containers) {
        const QString wav = out.file(QFileInfo(source).fileName().replace(".xtr", ".wav"));
        QProcess soxi;
        soxi.start("soxi", {"-D", wav});
        ASSERT_TRUE(soxi.waitForFinished(20000));
        EXPECT_EQ(soxi.exitCode(), 0) << wav.toStdString();
        EXPECT_GT(soxi.readAllStandardOutput().trimmed().toDouble(), 0.5) << wav.toStdString();
    }
}

} // namespace
