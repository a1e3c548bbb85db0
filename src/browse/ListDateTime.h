#pragma once

// Dates and times of the record lists in the user's locale: how a record's moment is shown, and how a
// cell text is read back as a moment when a column is sorted.

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

} // namespace tessa
