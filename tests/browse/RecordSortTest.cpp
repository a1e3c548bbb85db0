#include "browse/RecordSort.h"

#include <gtest/gtest.h>
#include <limits>
#include <random>

using namespace tessa;

// Failure messages show texts rather than code units; internal linkage keeps it to this file.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

ListDateTime britishDates() {
    return ListDateTime(QLocale(QLocale::English, QLocale::UnitedKingdom));
}

int sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

// The quicksort as written down, on texts and recursive, to hold the key-based sort to.
void referenceQuickSort(std::vector<int>& order, const std::vector<QString>& texts, const ListDateTime& dates,
                        bool ascending, int first, int last) {
    if (last <= first)
        return;
    const QString pivot = texts[size_t(order[size_t((first + last) / 2)])];
    int left = first, right = last;
    while (left <= right) {
        if (ascending) {
            while (left < last && compareCellTexts(texts[size_t(order[size_t(left)])], pivot, dates) < 0)
                ++left;
            while (right > first && compareCellTexts(texts[size_t(order[size_t(right)])], pivot, dates) > 0)
                --right;
        } else {
            while (left < last && compareCellTexts(texts[size_t(order[size_t(left)])], pivot, dates) > 0)
                ++left;
            while (right > first && compareCellTexts(texts[size_t(order[size_t(right)])], pivot, dates) < 0)
                --right;
        }
        if (left <= right) {
            if (left != right)
                std::swap(order[size_t(left)], order[size_t(right)]);
            ++left;
            --right;
        }
    }
    if (first < right)
        referenceQuickSort(order, texts, dates, ascending, first, right);
    if (left < last)
        referenceQuickSort(order, texts, dates, ascending, left, last);
}

std::vector<int> keyedOrder(const std::vector<QString>& texts, const ListDateTime& dates, bool ascending) {
    std::vector<SortKey> keys;
    for (const QString& t : texts)
        keys.push_back(sortKeyOf(t, dates));
    return sortedRowOrder(keys, ascending);
}

// Texts of every kind the comparison tells apart, with near neighbours, so that mixed pairs and equal
// keys written differently both occur often.
const std::vector<QString>& textPool() {
    static const std::vector<QString> pool = {"",
                                              " ",
                                              "9",
                                              "10",
                                              "A",
                                              "a",
                                              "0x1A",
                                              "1a",
                                              " -1",
                                              "FFFFFFFF",
                                              "123456789",
                                              "12.5%",
                                              "3%",
                                              "3",
                                              "1e3",
                                              "1E3",
                                              "0.5",
                                              ".5",
                                              "-2.5",
                                              "xyz",
                                              "Xyz",
                                              "Bob",
                                              "5551234 Bob",
                                              "5551234 ",
                                              "01:02:05",
                                              "00:59:59",
                                              "1:02:05",
                                              "05/01/2018 09:03:07",
                                              "04/02/2018 08:00:00",
                                              "05/01/2018",
                                              "5/1/2018 9:03:07",
                                              "31/02/2018",
                                              "E:\\201801\\a.wav",
                                              "\u00e9t\u00e9",
                                              "Office"};
    return pool;
}

} // namespace

TEST(RecordSortTest, ReadsBase16LikeTheCLibrary) {
    EXPECT_EQ(readHexNumber(u"9"), 9u);
    EXPECT_EQ(readHexNumber(u"10"), 16u);
    EXPECT_EQ(readHexNumber(u"A"), 10u);
    EXPECT_EQ(readHexNumber(u"  +0x1a"), 26u);
    EXPECT_EQ(readHexNumber(u"-1"), 0xFFFFFFFFu);
    EXPECT_EQ(readHexNumber(u"-0x10"), 0xFFFFFFF0u);
    EXPECT_EQ(readHexNumber(u"123456789"), 0xFFFFFFFFu); // saturates, also when negative
    EXPECT_EQ(readHexNumber(u"-123456789"), 0xFFFFFFFFu);
    EXPECT_EQ(readHexNumber(u"0x0FFFFFFFF"), 0xFFFFFFFFu);
    for (const char16_t* bad : {u"", u" ", u"0x", u"0xg", u"12 ", u"G", u"+", u"1.5", u"\uff11"})
        EXPECT_FALSE(readHexNumber(bad).has_value()) << QString::fromUtf16(bad).toStdString();
}

TEST(RecordSortTest, ReadsDecimalsWithOptionalPercent) {
    EXPECT_EQ(readDecimalNumber(u"12.5%"), 12.5);
    EXPECT_EQ(readDecimalNumber(u" -3%"), -3.0);
    EXPECT_EQ(readDecimalNumber(u".5"), 0.5);
    EXPECT_EQ(readDecimalNumber(u"5."), 5.0);
    EXPECT_EQ(readDecimalNumber(u"1E3"), 1000.0);
    EXPECT_EQ(readDecimalNumber(u"1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(readDecimalNumber(u"-1e400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(readDecimalNumber(u"1e-400"), 0.0);
    EXPECT_EQ(readDecimalNumber(u"0.000001e-400"), 0.0);
    for (const char16_t* bad : {u"", u".", u"1e", u"12.5 %", u"12.5%%", u"%", u"1,5", u"inf", u"nan", u"5 "})
        EXPECT_FALSE(readDecimalNumber(bad).has_value()) << QString::fromUtf16(bad).toStdString();
}

TEST(RecordSortTest, FirstReadingBothTextsPassDecides) {
    const ListDateTime dates = britishDates();
    EXPECT_EQ(compareCellTexts("9", "10", dates), -1);    // 9 < 16
    EXPECT_EQ(compareCellTexts("A", "9", dates), 1);      // 10 > 9
    EXPECT_EQ(compareCellTexts("0x10", "16", dates), -1); // both base 16: 16 < 22
    EXPECT_EQ(compareCellTexts("12.5%", "3%", dates), 1);
    EXPECT_EQ(compareCellTexts("10", "1.5", dates), 1); // 1.5 is no base-16 number: decimals decide
    EXPECT_EQ(compareCellTexts("xyz", "Xyz", dates), 1);
    EXPECT_EQ(compareCellTexts("", "9", dates), -1);
    EXPECT_EQ(compareCellTexts("abc", "abc", dates), 0);
    EXPECT_EQ(compareCellTexts("-1", "FFFFFFFF", dates), 0);
    // Dates by moment, against their text order; a bare time comes before every date.
    EXPECT_EQ(compareCellTexts("05/01/2018 09:03:07", "04/02/2018 08:00:00", dates), -1);
    EXPECT_EQ(compareCellTexts("05/01/2018", "05/01/2018 00:00:00", dates), 0);
    EXPECT_EQ(compareCellTexts("23:59:59", "01/01/1900", dates), -1);
    // Durations read as 24-hour times, so 9 hours come before 10.
    EXPECT_EQ(compareCellTexts("9:00:00", "10:00:00", dates), -1);
    // Code units: upper case before lower case, and before anything above U+007F.
    EXPECT_EQ(compareCellTexts("Zz", "a", dates), -1);
    EXPECT_EQ(compareCellTexts("z", "\u00e9", dates), -1);
}

TEST(RecordSortTest, KeysAgreeWithTextComparison) {
    const ListDateTime dates = britishDates();
    const auto& pool = textPool();
    for (const QString& a : pool)
        for (const QString& b : pool)
            EXPECT_EQ(sign(compareSortKeys(sortKeyOf(a, dates), sortKeyOf(b, dates))),
                      compareCellTexts(a, b, dates))
                << a.toStdString() << " / " << b.toStdString();
}

TEST(RecordSortTest, QuicksortPlacesRowsExactlyAsTheAlgorithm) {
    const ListDateTime dates = britishDates();
    const auto& pool = textPool();
    std::mt19937 random(12345);
    for (int round = 0; round < 40; ++round) {
        // Few distinct texts per round: many equal keys and many mixed comparisons.
        const size_t distinct = 2 + random() % (round < 20 ? 6 : pool.size() - 2);
        const size_t count = 1 + random() % 400;
        std::vector<QString> texts;
        for (size_t i = 0; i < count; ++i)
            texts.push_back(pool[(random() % distinct + size_t(round)) % pool.size()]);
        for (const bool ascending : {true, false}) {
            std::vector<int> expected(count);
            std::iota(expected.begin(), expected.end(), 0);
            referenceQuickSort(expected, texts, dates, ascending, 0, int(count) - 1);
            EXPECT_EQ(keyedOrder(texts, dates, ascending), expected) << "round " << round;
        }
    }
}

TEST(RecordSortTest, OrdersConsistentColumns) {
    const ListDateTime dates = britishDates();
    std::vector<QString> texts = {"00:00:10", "01:02:05", "00:00:09", "10:00:00", "00:00:10", "09:59:59"};
    const auto up = keyedOrder(texts, dates, true);
    ASSERT_EQ(up.size(), texts.size());
    EXPECT_EQ(up.front(), 2);
    for (size_t i = 1; i < up.size(); ++i)
        EXPECT_LE(compareCellTexts(texts[size_t(up[i - 1])], texts[size_t(up[i])], dates), 0);
    const auto down = keyedOrder(texts, dates, false);
    EXPECT_EQ(texts[size_t(down.front())], QStringLiteral("10:00:00"));
    EXPECT_EQ(texts[size_t(down.back())], QStringLiteral("00:00:09"));

    // Already sorted and reversed inputs of a large size stay quick and correct.
    std::vector<SortKey> keys;
    std::vector<QString> numbers;
    for (int i = 0; i < 20000; ++i)
        numbers.push_back(QString::number(20000 - i, 16));
    for (const QString& t : numbers)
        keys.push_back(sortKeyOf(t, dates));
    const auto order = sortedRowOrder(keys, true);
    for (size_t i = 0; i < order.size(); ++i)
        ASSERT_EQ(order[i], int(order.size() - 1 - i));
}
