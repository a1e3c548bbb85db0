#include "audio/Bookmark.h"

#include <gtest/gtest.h>

// Helpers live in a named namespace: test files may be compiled in unity batches.
namespace bookmark_test {

using namespace tessa;

std::optional<BookmarkSpan> bookmarkOf(const QByteArray& text) {
    QByteArray area(1024, '\0');
    area.replace(0, text.size(), text);
    return parseBookmark(reinterpret_cast<const uint8_t*>(area.constData()), size_t(area.size()));
}

uint32_t clock(const QByteArray& time) {
    return bookmarkClockSeconds(reinterpret_cast<const uint8_t*>(time.constData()), size_t(time.size()));
}

} // namespace bookmark_test

using namespace bookmark_test;

TEST(Bookmark, WorkedExampleNeedsBothBookmarkTags) {
    const QByteArray element = "<bookmark><bstart>00:01:05</bstart><bend>00:02:00</bend><bookmark>";
    const auto span = bookmarkOf("Call the bank\r\n" + element);
    ASSERT_TRUE(span);
    EXPECT_EQ(span->startSecond, 65u);
    EXPECT_EQ(span->endSecond, 120u);

    EXPECT_FALSE(bookmarkOf("<bookmark><bstart>00:01:05</bstart><bend>00:02:00</bend>"));
    // Nothing between the two tags.
    EXPECT_FALSE(bookmarkOf("<bookmark><bookmark><bstart>00:01:05</bstart><bend>00:02:00</bend>"));
    // The closing form of the tag is not the tag.
    EXPECT_FALSE(bookmarkOf("<bookmark><bstart>00:01:05</bstart><bend>00:02:00</bend></bookmark>"));
}

TEST(Bookmark, TimeTagsAreFoundAnywhereInTheArea) {
    // Before the first <bookmark>, and the first <bstart> wins even when a later one would be valid.
    const auto span = bookmarkOf("<bend>01:00:00</bend> <bstart>00:00:10</bstart> <bookmark>x<bookmark>");
    ASSERT_TRUE(span);
    EXPECT_EQ(span->startSecond, 10u);
    EXPECT_EQ(span->endSecond, 3600u);
    EXPECT_FALSE(
        bookmarkOf("<bookmark>x<bookmark><bstart></bstart><bstart>00:00:01</bstart><bend>00:00:09</bend>"));
    // The closing tag is looked for after its opening tag only.
    EXPECT_FALSE(bookmarkOf("</bstart><bookmark>x<bookmark><bstart>00:00:01<bend>00:00:09</bend>"));
}

TEST(Bookmark, TimesAreReadAtFixedPlaces) {
    EXPECT_EQ(clock("1:2:3"), 3600u);
    EXPECT_EQ(clock("00:01:05"), 65u);
    EXPECT_EQ(clock("99:99:99"), 99u * 3600 + 99 * 60 + 99);
    EXPECT_EQ(clock("12-34-56"), 12u * 3600 + 34 * 60 + 56);
    EXPECT_EQ(clock("7"), 7u * 3600);
    EXPECT_EQ(clock("ab:cd:ef"), 0u);
    // Neither a blank nor a sign starts a number.
    EXPECT_EQ(clock(" 1:-2:+3"), 0u);
    EXPECT_EQ(clock("1x:02:3y"), 3600u + 120 + 3);

    const auto span = bookmarkOf("<bookmark><bstart>1:2:3</bstart><bend>2</bend><bookmark>");
    ASSERT_TRUE(span);
    EXPECT_EQ(span->startSecond, 3600u);
    EXPECT_EQ(span->endSecond, 7200u);
}

TEST(Bookmark, MalformedElementsGiveNoBookmark) {
    const QByteArray tail = "<bend>00:02:00</bend><bookmark>";
    EXPECT_FALSE(bookmarkOf("<bookmark><bstart>000001050</bstart>" + tail)); // nine bytes
    EXPECT_TRUE(bookmarkOf("<bookmark><bstart>00000105</bstart>" + tail));   // eight bytes
    EXPECT_FALSE(bookmarkOf("<bookmark><bstart></bstart>" + tail));
    EXPECT_FALSE(bookmarkOf("<bookmark><bstart>00:01:05" + tail));
    EXPECT_FALSE(bookmarkOf("<bookmark><bstart>00:01:05</bstart><bend>000002000</bend><bookmark>"));
    // A start not below its end is ignored.
    EXPECT_FALSE(bookmarkOf("<bookmark><bstart>00:02:00</bstart>" + tail));
    EXPECT_FALSE(bookmarkOf("<bookmark><bstart>00:03:00</bstart>" + tail));
    // Case matters.
    EXPECT_FALSE(bookmarkOf("<Bookmark><bstart>00:01:05</bstart><bend>00:02:00</bend><Bookmark>"));
}

TEST(Bookmark, AreaEndsAtItsFirstZeroOrAfter1024Bytes) {
    const QByteArray element = "<bookmark><bstart>00:00:01</bstart><bend>00:00:02</bend><bookmark>";
    QByteArray cut = element;
    cut[40] = '\0';
    EXPECT_FALSE(bookmarkOf(cut));

    // Without a terminator the search stops at 1024 bytes, even when the buffer goes on.
    QByteArray unterminated(1024 - element.size() + 10, 'x');
    unterminated += element;
    ASSERT_GT(unterminated.size(), 1024);
    EXPECT_FALSE(parseBookmark(reinterpret_cast<const uint8_t*>(unterminated.constData()),
                               size_t(unterminated.size())));
    QByteArray fits(1024 - element.size(), 'x');
    fits += element;
    EXPECT_TRUE(parseBookmark(reinterpret_cast<const uint8_t*>(fits.constData()), size_t(fits.size())));
}

TEST(Bookmark, ReadsWhatTheWriterWrites) {
    for (const BookmarkSpan span : {BookmarkSpan{0, 1}, BookmarkSpan{65, 120}, BookmarkSpan{3599, 359999}}) {
        const auto area = containerTextArea(QStringLiteral("Note"), span, nullptr);
        ASSERT_TRUE(area);
        const auto read =
            parseBookmark(reinterpret_cast<const uint8_t*>(area->constData()), size_t(area->size()));
        ASSERT_TRUE(read);
        EXPECT_EQ(read->startSecond, span.startSecond);
        EXPECT_EQ(read->endSecond, span.endSecond);
    }
}
