#pragma once

// Ordering of the record lists by a clicked column. Two cell texts compare by the first reading that
// both of them pass: as base-16 unsigned integers, as decimal numbers (optionally followed by "%"), as
// moments in the user's locale, and otherwise code unit by code unit. The comparison is not a total
// order across mixed columns, so the sort is a fixed quicksort whose placement of equal and mixed keys
// is part of its behaviour.

#include <cstdint>
#include <optional>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <vector>

namespace tessa {

struct RecordTime;

// One field or literal of a date or time format, as the reader walks it.
struct DateFormatToken {
    enum Field : uint8_t {
        Literal,
        Space,
        Day,
        DayName,
        Month,
        MonthName,
        Year,
        Hour,
        Minute,
        Second,
        Msec,
        AmPm
    };
    Field field = Literal;
    int maxDigits = 0; // numeric fields
    QString literal;   // Literal: the text to match
};

// The locale's short date format and time format, used both to show a record's date and time and to
// read a cell text back as a moment.
//
// Reading a moment: after trimming white space the text must match, as a whole, one of
//   date format, white space, time format | date format | time format | "H:mm:ss"
// The last form is there because the duration columns hold 24-hour times in every locale. Numeric
// fields take 1-2 digits (years 1-4, milliseconds 1-3) of any script; a year of at most two digits is
// placed in 1930-2029. Month and day names are the locale's long, short and standalone names, AM/PM the
// locale's texts or "AM"/"PM", all without regard to case; day names are not checked against the date.
// White space in a format matches any run of white space; other characters match themselves.
// The date must exist, the hour be 0-23 (1-12 with AM/PM, 0 allowed), minutes and seconds 0-59.
// A date alone is taken at midnight; a time alone on 1899-12-30, so times come before all dates.
class ListDateTime {
public:
    // The system locale's formats.
    static ListDateTime system();
    // The formats of the given locale (tests pass a fixed one). A locale without a short date format
    // uses "yyyy/MM/dd", one without a time format "HH:mm:ss".
    explicit ListDateTime(const QLocale& locale);

    const QLocale& locale() const { return locale_; }
    const QString& dateFormat() const { return dateFormat_; }
    // The locale's long time format without its time-zone field (a list of calls has no zone).
    const QString& timeFormat() const { return timeFormat_; }

    // Column text of a record time: date, a blank, time; each part at most 64 characters, empty when
    // the part is not a valid date or time.
    QString format(const RecordTime& time) const;

    // Milliseconds on a continuous scale (Julian day * 86 400 000 + time of day), or nullopt.
    std::optional<int64_t> readMoment(QStringView text) const;

    struct Fields;

private:
    using Tokens = std::vector<DateFormatToken>;
    bool match(const Tokens& tokens, QStringView text, Fields& fields) const;

    QLocale locale_;
    QString dateFormat_;
    QString timeFormat_;
    Tokens dateTokens_, timeTokens_, dateTimeTokens_, fixedTimeTokens_;
    std::vector<QString> monthNames_[12];
    std::vector<QString> dayNames_;
    std::vector<QString> amTexts_, pmTexts_;
};

// Base-16 reading: leading white space, a sign and a "0x" prefix allowed; the whole text must be read;
// beyond 32 bits the value is 0xFFFFFFFF, a minus sign negates modulo 2^32.
std::optional<uint32_t> readHexNumber(QStringView text);
// Decimal reading: leading white space, sign, digits with an optional point and exponent, then nothing
// or exactly "%".
std::optional<double> readDecimalNumber(QStringView text);

// -1, 0 or 1 by code unit order (case-sensitive).
int compareCodeUnits(QStringView a, QStringView b);

// The comparison of two cell texts, read afresh each time. The sort uses the keys below; this is the
// definition they must agree with.
int compareCellTexts(const QString& a, const QString& b, const ListDateTime& dates);

// A cell text read once in every way the comparison needs. The text must outlive the key.
struct SortKey {
    enum Kind : uint8_t { Hex = 1, Decimal = 2, Moment = 4 };
    const QString* text = nullptr;
    uint8_t kinds = 0;
    uint32_t hex = 0;
    double decimal = 0;
    int64_t moment = 0;
};

SortKey sortKeyOf(const QString& text, const ListDateTime& dates);
int compareSortKeys(const SortKey& a, const SortKey& b);

// The rows in sorted order: entry i is the original row placed at position i. Quicksort over row
// indexes: the pivot is the key of the entry in the middle position (first + last) / 2; the left cursor
// moves right while its key compares below the pivot (above when descending), the right cursor left
// while its key compares above (below); the cursors never leave the part; entries swap when the cursors
// differ; then the left part and the right part are sorted. Not stable.
std::vector<int> sortedRowOrder(const std::vector<SortKey>& keys, bool ascending);

} // namespace tessa
