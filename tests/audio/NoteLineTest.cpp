#include "audio/NoteLine.h"

#include "format/ContainerHeader.h"
#include "platform/FileRoots.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tessa;
using tessa::test::TempDir;

namespace {

std::optional<QByteArray> noteOf(const QByteArray& text) {
    return findNoteLine(reinterpret_cast<const uint8_t*>(text.constData()), size_t(text.size()));
}

// A zero-terminated text area as the recorder writes it.
std::optional<QByteArray> noteOfArea(const QByteArray& text) {
    QByteArray area(1024, '\0');
    area.replace(0, text.size(), text);
    return noteOf(area);
}

QByteArray containerWith(const QByteArray& textArea) {
    QByteArray file(int(ContainerHeader::kStandardDataOffset) + 1650, '\0');
    // A note that would be found if the area were read from the wrong place.
    file.replace(20, 5, "Wrong");
    file.replace(int(ContainerHeader::kTextAreaOffset), textArea.size(), textArea);
    return file;
}

} // namespace

TEST(NoteLineTest, BookmarkLineIsPassedOver) {
    EXPECT_EQ(noteOfArea("Bookmark at:  00:00:05\r\nOffice"), QByteArray("Office"));
    // Shorter than 22 characters, or with one blank, a bookmark-like line is a note.
    EXPECT_EQ(noteOfArea("Bookmark at:  0\r\nOffice"), QByteArray("Bookmark at:  0"));
    EXPECT_EQ(noteOfArea("Bookmark at: 00:00:05\r\nOffice"), QByteArray("Bookmark at: 00:00:05"));
    EXPECT_EQ(noteOfArea("Bookmark at:  00:00:05"), std::nullopt);
}

TEST(NoteLineTest, FillerAndEmptyLinesAreNotNotes) {
    const QByteArray twenty(20, ' ');
    EXPECT_EQ(noteOfArea(twenty + "\r\nHome"), QByteArray("Home"));
    EXPECT_EQ(noteOfArea(QByteArray(19, ' ') + "\r\nHome"), QByteArray(19, ' '));
    EXPECT_EQ(noteOfArea(QByteArray(21, ' ') + "\r\nHome"), QByteArray(21, ' '));
    EXPECT_EQ(noteOfArea("\r\nHome"), QByteArray("Home"));
    EXPECT_EQ(noteOfArea(twenty), std::nullopt);
    EXPECT_EQ(noteOfArea(""), std::nullopt);
    // A line that is not a note at the terminator ends the scan: there is no note.
    EXPECT_EQ(noteOfArea("Home\r\n"), QByteArray("Home"));
    EXPECT_EQ(noteOfArea("\r\n\r\n"), std::nullopt);
}

TEST(NoteLineTest, ThirdLineBreakIsNeverPassed) {
    const QByteArray twenty(20, ' ');
    // Two lines that are no notes, then a third ending in CR LF: the scan gives up there.
    EXPECT_EQ(noteOfArea(twenty + "\r\n" + twenty + "\r\nOffice\r\n"), std::nullopt);
    EXPECT_EQ(noteOfArea(twenty + "\r\n" + twenty + "\r\nOffice\r\nMore"), std::nullopt);
    // The same third line ending at the terminator is tested.
    EXPECT_EQ(noteOfArea(twenty + "\r\n" + twenty + "\r\nOffice"), QByteArray("Office"));
    // A lone CR does not end a line.
    EXPECT_EQ(noteOfArea(twenty + "\r" + twenty + "\r\nOffice"), QByteArray(twenty + "\r" + twenty));
}

TEST(NoteLineTest, LinesOf64CharactersAreNeverTheNote) {
    const QByteArray line63(63, 'n'), line64(64, 'n'), line70(70, 'n');
    EXPECT_EQ(noteOfArea(line63 + "\r\nOffice"), line63);
    EXPECT_EQ(noteOfArea(line64 + "\r\nOffice"), QByteArray("Office"));
    EXPECT_EQ(noteOfArea(line70 + "\r\nOffice"), QByteArray("Office"));
    EXPECT_EQ(noteOfArea(line63), line63);
    EXPECT_EQ(noteOfArea(line64), std::nullopt);
    EXPECT_EQ(noteOfArea(line70), std::nullopt);
    // The long lines still count among the two the scan looks at.
    EXPECT_EQ(noteOfArea(line70 + "\r\n" + line70 + "\r\nOffice\r\n"), std::nullopt);
}

TEST(NoteLineTest, AreaWithoutTerminatorHasNoNote) {
    // 1024 bytes: a long first line, then "Office" running to the last byte without a zero.
    QByteArray area = QByteArray(1016, 'x') + "\r\nOffice";
    ASSERT_EQ(area.size(), 1024);
    EXPECT_EQ(noteOf(area), std::nullopt);
    // A zero just past the area is not looked at.
    EXPECT_EQ(noteOf(area + QByteArray(1, '\0')), std::nullopt);
    // A short area ends as if the rest were zero.
    EXPECT_EQ(noteOf(area.left(1023)), QByteArray("Offic"));
    // A CR in the last byte has no LF to pair with, even if one follows the area.
    EXPECT_EQ(noteOf(QByteArray(1016, 'x') + "\r\nOffic\r\n"), std::nullopt);
}

TEST(NoteLineTest, ReadsTheTextAreaOfTheFile) {
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    const QString path = dir.write("20180115093012-I-5551234.xtr",
                                   containerWith(QByteArray("Bookmark at:  00:00:05\r\nOffice\0tail", 35)));
    EXPECT_EQ(readNoteLine(path), QByteArray("Office"));

    // A file cut inside the text area reads as far as it goes.
    const QString cut = dir.write("cut.xtr", containerWith("Office").left(150));
    EXPECT_EQ(readNoteLine(cut), QByteArray("Office"));
    const QString tiny = dir.write("tiny.xtr", QByteArray(100, 'a'));
    EXPECT_EQ(readNoteLine(tiny), std::nullopt);
    EXPECT_EQ(readNoteLine(dir.file("missing.xtr")), std::nullopt);
}
