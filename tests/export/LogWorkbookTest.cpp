// tessa-cli log ... --xlsx OUT: the records of a log as the record list's spreadsheet.
#include "config/StringTable.h"
#include "support/CardFixtures.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"
#include "support/XlsxContent.h"

#include <gtest/gtest.h>

using namespace tessa;
using tessa::test::runCli;
using tessa::test::TempDir;

namespace {

QByteArray cardLog(bool secondMarked) {
    auto first = test::workedCard128();
    auto second = first;
    second[3] = secondMarked ? 1 : 0;
    const char path[] = "201801\\20180115093012-I-5551234.xtr";
    test::setCardPath(second.data(), 83, 45, QByteArray(path));
    return QByteArray(reinterpret_cast<const char*>(first.data()), 128) +
           QByteArray(reinterpret_cast<const char*>(second.data()), 128);
}

TEST(LogWorkbook, HoldsTheRecordListColumnsAndEveryRecord) {
    TempDir dir;
    const QString log = dir.write(QStringLiteral("CallLog.dat"), cardLog(true));
    const QString out = dir.file(QStringLiteral("records.xlsx"));
    const test::CliResult r = runCli({"log", log, "--drive", "g", "--xlsx", out});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("5551234")); // the listing is printed as before

    const test::XlsxContent sheet = test::readXlsx(out);
    ASSERT_TRUE(sheet.read);
    EXPECT_EQ(sheet.maxColumn, 8); // the nine columns of the record list
    EXPECT_EQ(sheet.maxRow, 3);
    EXPECT_EQ(sheet.text("A1"), text(15));
    EXPECT_EQ(sheet.text("E1"), text(12));
    EXPECT_EQ(sheet.text("I1"), text(26));
    EXPECT_EQ(sheet.text("A2"), "");
    EXPECT_EQ(sheet.text("A3"), text(17));
    EXPECT_EQ(sheet.text("B2"), ""); // the file column shows an image only
    EXPECT_EQ(sheet.text("C2"), text(18));
    EXPECT_TRUE(sheet.text("E2").startsWith("5551234")); // number, then the (empty) name
    EXPECT_EQ(sheet.text("I2"), "G:\\201801\\20180115093012-I-5551234.wav");
    EXPECT_EQ(sheet.text("I3"), "G:\\201801\\20180115093012-I-5551234.xtr");
    EXPECT_FALSE(sheet.text("D2").isEmpty());
}

TEST(LogWorkbook, AnEmptyLogGetsTheHeaderAndAnUnwritableOutputFails) {
    TempDir dir;
    const QString empty = dir.write(QStringLiteral("Empty.dat"), {});
    const QString out = dir.file(QStringLiteral("empty.xlsx"));
    ASSERT_EQ(runCli({"log", empty, "--xlsx", out}).code, 0);
    const test::XlsxContent sheet = test::readXlsx(out);
    ASSERT_TRUE(sheet.read);
    EXPECT_EQ(sheet.maxRow, 1);
    EXPECT_EQ(sheet.text("C1"), text(16));

    const QString log = dir.write(QStringLiteral("CallLog.dat"), cardLog(false));
    const test::CliResult r =
        runCli({"log", log, "--xlsx", dir.file(QStringLiteral("no/such/folder/x.xlsx"))});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("no/such/folder/x.xlsx"));
    EXPECT_EQ(runCli({"log", log, "--xlsx"}).code, 2);
}

} // namespace
