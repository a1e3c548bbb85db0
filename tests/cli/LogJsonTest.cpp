// The JSON of `tessa-cli log` is written as UTF-8 bytes straight from the records: it must say exactly
// what the text-based writer says, for every kind of unit a field can hold, across its output blocks,
// whether it goes to a pipe or to a text stream.

#include "cli/Json.h"
#include "format/CallRecord.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace tessa;
using tessa::test::TempDir;

namespace {

// Quotes, backslashes, every control unit, Latin, CJK, a surrogate pair and a lone surrogate.
QString awkwardText(int n) {
    QString text = QStringLiteral("a\"b\\c/d\n\r\t\u00e9\u00df\u4e2d\u6587 %1 ").arg(n);
    text += QChar(char16_t(n % 0x20));
    text += QChar(char16_t(0xD83D));
    text += QChar(char16_t(0xDE00));
    if (n % 2)
        text += QChar(char16_t(0xDC00));
    text += QChar(char16_t(0x7F));
    text += QChar(char16_t(0xFFFD));
    return text;
}

CallRecord awkwardRecord(int n) {
    CallRecord r{};
    r.cardBytes[0] = 1;
    r.valid = 1;
    r.callType = 2 + n % 7;
    r.time.year = uint16_t(2000 + n % 30);
    r.time.month = uint16_t(1 + n % 12);
    r.time.day = uint16_t(1 + n % 28);
    r.time.hour = uint16_t(n % 24);
    r.time.minute = uint16_t(n % 60);
    r.time.second = uint16_t((n * 7) % 60);
    r.callDuration = uint32_t(n * 3);
    r.number.setText(QStringLiteral("+49 (30) %1").arg(n));
    r.name.setText(awkwardText(n).left(40));
    r.shortPath.setText(QStringLiteral("E:\\x\\%1.wav").arg(n));
    // Long paths take the output past several blocks.
    r.fullPath.setText((awkwardText(n) + QString(200, QLatin1Char('p'))).left(259));
    return r;
}

} // namespace

TEST(LogJsonTest, TheByteWriterSaysWhatTheTextWriterSays) {
    for (int n = 0; n < 64; ++n) {
        const QString text = awkwardText(n);
        QByteArray bytes = "prefix";
        cli::appendJsonString(bytes, text);
        EXPECT_EQ(bytes, "prefix" + cli::jsonString(text).toUtf8()) << n;
    }
    QByteArray empty;
    cli::appendJsonString(empty, QString());
    EXPECT_EQ(empty, "\"\"");
    QByteArray numbers;
    cli::appendJsonNumber(numbers, -9223372036854775807LL - 1);
    cli::appendJsonNumber(numbers, 4294967295LL);
    EXPECT_EQ(numbers, "-92233720368547758084294967295");
}

TEST(LogJsonTest, AMonthLogListsTheSameToAPipeAndToAStreamAndParsesBackWhole) {
    constexpr int kRecords = 3000;
    TempDir dir;
    QByteArray log;
    for (int n = 0; n < kRecords; ++n) {
        const CallRecord r = awkwardRecord(n);
        log.append(reinterpret_cast<const char*>(&r), sizeof r);
    }
    const QString path = dir.write(QStringLiteral("202001CallLogBK.dat"), log);

    const test::CliResult inProcess = test::runCli({"log", path, "--json"});
    ASSERT_EQ(inProcess.code, 0) << inProcess.err.toStdString();
    QProcess cli;
    cli.start(QStringLiteral(TESSA_BIN_DIR "/tessa-cli"), {"log", path, "--json"});
    ASSERT_TRUE(cli.waitForFinished(60000));
    ASSERT_EQ(cli.exitCode(), 0);
    const QByteArray piped = cli.readAllStandardOutput();
    ASSERT_GT(piped.size(), 1 << 20); // more than one output block
    EXPECT_EQ(piped, inProcess.out.toUtf8());

    // Lone surrogates are escaped units a JSON reader takes as they are; the rest reads back exactly.
    QJsonParseError error{};
    const QJsonArray records = QJsonDocument::fromJson(piped, &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    ASSERT_EQ(records.size(), kRecords);
    for (int n = 0; n < kRecords; n += 97) {
        const CallRecord r = awkwardRecord(n);
        const QJsonObject o = records[n].toObject();
        EXPECT_EQ(o["index"].toInt(), n);
        EXPECT_EQ(o["callType"].toInt(), int(r.callType.get()));
        EXPECT_EQ(o["time"].toString(), QStringLiteral("%1-%2-%3 %4:%5:%6")
                                            .arg(r.time.year.get(), 4, 10, QLatin1Char('0'))
                                            .arg(r.time.month.get(), 2, 10, QLatin1Char('0'))
                                            .arg(r.time.day.get(), 2, 10, QLatin1Char('0'))
                                            .arg(r.time.hour.get(), 2, 10, QLatin1Char('0'))
                                            .arg(r.time.minute.get(), 2, 10, QLatin1Char('0'))
                                            .arg(r.time.second.get(), 2, 10, QLatin1Char('0')));
        EXPECT_EQ(o["number"].toString(), r.number.text());
        EXPECT_EQ(o["callDuration"].toInt(), n * 3);
        if (n % 2 == 0) {
            EXPECT_EQ(o["name"].toString(), r.name.text().left(36)) << n;
            EXPECT_EQ(o["fullPath"].toString(), r.fullPath.text()) << n;
        }
    }
}
