#include "export/SpreadsheetExport.h"

#include "config/ProgramFolder.h"
#include "export/XlsxSheetWriter.h"
#include "support/ScopedConfig.h"
#include "support/TempDir.h"
#include "support/XlsxContent.h"

#include <gtest/gtest.h>
#include <QDir>

using namespace tessa;
using tessa::test::readXlsx;
using tessa::test::TempDir;
using tessa::test::XlsxContent;

namespace {

class ListSource : public SheetSource {
public:
    std::vector<QString> titles;
    std::vector<SheetListRow> rows;
    int fetches = 0;
    int failAtFetch = -1; // the program closes when this fetch is asked for
    std::vector<QString> columnTitles() override { return titles; }
    int rowCount() override { return int(rows.size()); }
    bool fetchRows(int first, int count, std::vector<SheetListRow>& out) override {
        if (fetches++ == failAtFetch)
            return false;
        out.assign(size_t(count), {});
        for (int i = 0; i < count; ++i)
            if (first + i < int(rows.size()))
                out[size_t(i)] = rows[size_t(first + i)];
        return true;
    }
};

SheetListRow row(bool marked, std::vector<QString> texts) {
    return SheetListRow{marked, std::move(texts)};
}

class SpreadsheetExportTest : public ::testing::Test {
protected:
    void SetUp() override { config.write("TessaLang.ini", "[English]\r\n0017=Marked\r\n"); }
    QStringList leftovers() const {
        return QDir(out.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    test::ScratchConfig config;
    TempDir out, scratch;
};

TEST_F(SpreadsheetExportTest, ThreeColumnsTwoRowsFillA1ToC3AsBorderedCentredText) {
    ListSource source;
    source.titles = {QStringLiteral("Mark"), QStringLiteral("Number"), QStringLiteral("Call Type")};
    source.rows = {row(true, {QStringLiteral("ignored"), QStringLiteral("0123"), QStringLiteral("Incoming")}),
                   row(false, {QString(), QStringLiteral("5551234"), QStringLiteral("Outgoing")})};
    const QString path = out.file("sheet.xlsx");
    int lastDone = 0, lastTotal = 0;
    SheetOptions progress;
    progress.rowsDone = [&](int done, int total) {
        lastDone = done;
        lastTotal = total;
    };
    ASSERT_EQ(exportSpreadsheet(source, path, scratch.path(), progress), SheetStatus::Written);
    EXPECT_EQ(lastDone, 2);
    EXPECT_EQ(lastTotal, 2);

    const XlsxContent sheet = readXlsx(path);
    ASSERT_TRUE(sheet.read);
    EXPECT_EQ(sheet.maxRow, 3);
    EXPECT_EQ(sheet.maxColumn, 2);
    EXPECT_EQ(sheet.text("A1"), "Mark");
    EXPECT_EQ(sheet.text("B1"), "Number");
    EXPECT_EQ(sheet.text("C1"), "Call Type");
    // The mark column shows text 17 for a marked row, whatever the list's own text says.
    EXPECT_EQ(sheet.text("A2"), "Marked");
    EXPECT_EQ(sheet.text("A3"), "");
    EXPECT_EQ(sheet.text("B2"), "0123"); // a text, so the leading zero stays
    EXPECT_EQ(sheet.text("C3"), "Outgoing");
    for (const char* cell : {"A1", "B1", "C1", "A2", "B2", "C2", "A3", "B3", "C3"}) {
        SCOPED_TRACE(cell);
        ASSERT_TRUE(sheet.has(QLatin1String(cell))); // an empty cell is there too, with its border
        const auto* format = sheet.formatOf(QLatin1String(cell));
        ASSERT_NE(format, nullptr);
        EXPECT_EQ(format->numFmtCode, "@");
        EXPECT_TRUE(format->thinBorderAllRound);
        EXPECT_EQ(format->horizontal, "center");
        EXPECT_EQ(format->vertical, "center");
    }
    for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(sheet.widths.count(c), 1u);
        EXPECT_NEAR(sheet.widths.at(c), 20.0, 1.0); // the library adds its cell padding to the 20 characters
    }
    EXPECT_EQ(leftovers(), QStringList{QStringLiteral("sheet.xlsx")});
}

TEST_F(SpreadsheetExportTest, ColumnsBeyondZAreLeftOut) {
    ListSource source;
    std::vector<QString> texts;
    for (int c = 0; c < 30; ++c) {
        source.titles.push_back(QStringLiteral("T%1").arg(c));
        texts.push_back(QStringLiteral("v%1").arg(c));
    }
    source.rows = {row(false, texts)};
    const QString path = out.file("wide.xlsx");
    ASSERT_EQ(exportSpreadsheet(source, path, scratch.path()), SheetStatus::Written);
    const XlsxContent sheet = readXlsx(path);
    ASSERT_TRUE(sheet.read);
    EXPECT_EQ(sheet.maxColumn, 25);
    EXPECT_EQ(sheet.text("Z1"), "T25");
    EXPECT_EQ(sheet.text("Z2"), "v25");
    EXPECT_FALSE(sheet.has(QStringLiteral("AA1")));
    EXPECT_EQ(sheet.widths.count(26), 0u);
}

TEST_F(SpreadsheetExportTest, RowsComeInBlocksInListOrder) {
    ListSource source;
    source.titles = {QStringLiteral("Mark"), QStringLiteral("Number")};
    for (int i = 0; i < 600; ++i)
        source.rows.push_back(row(i % 7 == 0, {QString(), QString::number(i)}));
    const QString path = out.file("long.xlsx");
    ASSERT_EQ(exportSpreadsheet(source, path, scratch.path()), SheetStatus::Written);
    EXPECT_GE(source.fetches, 3); // never the whole list at once
    const XlsxContent sheet = readXlsx(path);
    ASSERT_TRUE(sheet.read);
    EXPECT_EQ(sheet.maxRow, 601);
    for (int i : {0, 1, 255, 256, 257, 511, 512, 599}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sheet.text(QStringLiteral("B%1").arg(i + 2)), QString::number(i));
        EXPECT_EQ(sheet.text(QStringLiteral("A%1").arg(i + 2)), i % 7 == 0 ? "Marked" : "");
    }
}

TEST_F(SpreadsheetExportTest, EmptyListWritesNothing) {
    ListSource source;
    source.titles = {QStringLiteral("Mark")};
    EXPECT_EQ(exportSpreadsheet(source, out.file("none.xlsx"), scratch.path()), SheetStatus::Empty);
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(SpreadsheetExportTest, ClosingProgramLeavesNoFileBehind) {
    ListSource source;
    source.titles = {QStringLiteral("Mark"), QStringLiteral("Number")};
    for (int i = 0; i < 600; ++i)
        source.rows.push_back(row(false, {QString(), QString::number(i)}));
    source.failAtFetch = 1;
    EXPECT_EQ(exportSpreadsheet(source, out.file("cut.xlsx"), scratch.path()), SheetStatus::Stopped);
    std::atomic<bool> stop{true};
    source.failAtFetch = -1;
    SheetOptions progress;
    progress.stop = &stop;
    EXPECT_EQ(exportSpreadsheet(source, out.file("cut.xlsx"), scratch.path(), progress),
              SheetStatus::Stopped);
    EXPECT_TRUE(leftovers().isEmpty());
    EXPECT_TRUE(QDir(scratch.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(SpreadsheetExportTest, UnwritableFolderIsReportedAndAnEarlierFileStays) {
    ListSource source;
    source.titles = {QStringLiteral("Mark")};
    source.rows = {row(false, {QString()})};
    EXPECT_EQ(exportSpreadsheet(source, out.file("missing/folder/x.xlsx"), scratch.path()),
              SheetStatus::NotWritten);

    // A workbook that cannot be put in place leaves what stands at its path as it was.
    const QString path = out.write("taken.xlsx/inside", "earlier");
    XlsxSheetWriter writer(out.file("taken.xlsx"), scratch.path());
    ASSERT_TRUE(writer.isOpen());
    EXPECT_FALSE(writer.writeText(XlsxSheetWriter::kMaxRows, 0, QStringLiteral("x")));
    EXPECT_FALSE(writer.writeText(0, XlsxSheetWriter::kMaxColumns, QStringLiteral("x")));
    EXPECT_TRUE(writer.writeText(0, 0, QStringLiteral("x")));
    EXPECT_FALSE(writer.finish());
    EXPECT_EQ(TempDir::read(path), "earlier");
    EXPECT_EQ(leftovers(), QStringList());
}

TEST(SpreadsheetFileName, SaysWhatItHoldsAndIsAPlainName) {
    const QDateTime made(QDate(2018, 1, 15), QTime(9, 30, 12));
    EXPECT_EQ(spreadsheetFileName(QStringLiteral("VX7"), QStringLiteral("All Records"), made),
              "VX7 All Records 2018-01-15 09.30.12.xlsx");
    EXPECT_EQ(spreadsheetFileName(QStringLiteral(".."), QStringLiteral("a/b\\c"), made),
              "_. a_b_c 2018-01-15 09.30.12.xlsx");
}

} // namespace
