#include "browse/ListDateTime.h"

#include "format/CallRecord.h"

#include <algorithm>
#include <QDate>
#include <QTime>

namespace tessa {
namespace {

using Token = DateFormatToken;

constexpr int64_t kMsPerDay = 86'400'000;
constexpr int kMaxFormattedPart = 64;

// Digit of any script (Arabic-Indic, Devanagari, ...) as the locale may write them.
int anyDigit(QChar c) {
    if (!c.isDigit())
        return -1;
    const int v = c.digitValue();
    return v >= 0 && v <= 9 ? v : -1;
}

// Long time formats name the time zone; the records carry local time without one, so the field and the
// brackets or blanks it leaves behind go.
QString withoutZone(const QString& format) {
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char('t'))
            continue;
        out += c;
    }
    out.replace(QStringLiteral("()"), QString());
    out.replace(QStringLiteral("[]"), QString());
    QString collapsed;
    quoted = false;
    for (const QChar c : out) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c.isSpace() && !collapsed.isEmpty() && collapsed.back().isSpace())
            continue;
        collapsed += c;
    }
    return collapsed.trimmed();
}

void addLiteral(std::vector<Token>& out, QChar c) {
    if (c.isSpace()) {
        if (out.empty() || out.back().field != Token::Space)
            out.push_back({Token::Space, 0, {}});
        return;
    }
    if (out.empty() || out.back().field != Token::Literal)
        out.push_back({Token::Literal, 0, {}});
    out.back().literal += c;
}

// Splits a format in the QLocale notation into fields and literals.
std::vector<Token> tokenize(const QString& format) {
    std::vector<Token> out;
    const qsizetype n = format.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            ++i;
            if (i < n && format[i] == QLatin1Char('\'')) {
                addLiteral(out, c);
                ++i;
                continue;
            }
            while (i < n) {
                if (format[i] == QLatin1Char('\'')) {
                    if (i + 1 < n && format[i + 1] == QLatin1Char('\'')) {
                        addLiteral(out, c);
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                addLiteral(out, format[i++]);
            }
            continue;
        }
        qsizetype run = 1;
        while (i + run < n && format[i + run] == c)
            ++run;
        qsizetype take = 1;
        switch (c.unicode()) {
        case 'd':
            take = std::min<qsizetype>(run, 4);
            out.push_back({take >= 3 ? Token::DayName : Token::Day, 2, {}});
            break;
        case 'M':
            take = std::min<qsizetype>(run, 4);
            out.push_back({take >= 3 ? Token::MonthName : Token::Month, 2, {}});
            break;
        case 'y':
            take = run >= 4 ? 4 : (run >= 2 ? 2 : 1);
            if (take == 1)
                addLiteral(out, c);
            else
                out.push_back({Token::Year, int(take), {}});
            break;
        case 'h':
        case 'H':
            take = std::min<qsizetype>(run, 2);
            out.push_back({Token::Hour, 2, {}});
            break;
        case 'm':
            take = std::min<qsizetype>(run, 2);
            out.push_back({Token::Minute, 2, {}});
            break;
        case 's':
            take = std::min<qsizetype>(run, 2);
            out.push_back({Token::Second, 2, {}});
            break;
        case 'z':
            take = std::min<qsizetype>(run, 3);
            out.push_back({Token::Msec, 3, {}});
            break;
        case 'a':
        case 'A':
            take =
                i + 1 < n && (format[i + 1] == QLatin1Char('p') || format[i + 1] == QLatin1Char('P')) ? 2 : 1;
            out.push_back({Token::AmPm, 0, {}});
            break;
        default:
            addLiteral(out, c);
            break;
        }
        i += take;
    }
    return out;
}

void addName(std::vector<QString>& names, const QString& name) {
    if (!name.isEmpty() && std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(name);
}

} // namespace

struct ListDateTime::Fields {
    int year = 1900;
    int yearDigits = 4;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
    int pm = -1; // -1 no AM/PM field, 0 AM, 1 PM

    std::optional<int64_t> moment(bool hasDate, bool hasTime) const {
        // Day zero of the date scale that a bare time is read on.
        static const int64_t kDayZero = QDate(1899, 12, 30).toJulianDay();
        int64_t day = kDayZero;
        if (hasDate) {
            int y = year;
            if (yearDigits <= 2)
                y += y < 30 ? 2000 : 1900;
            const QDate date(y, month, this->day);
            if (!date.isValid())
                return std::nullopt;
            day = date.toJulianDay();
        }
        int64_t ms = 0;
        if (hasTime) {
            int h = hour;
            if (pm >= 0) {
                if (h > 12)
                    return std::nullopt;
                h = h % 12 + (pm == 1 ? 12 : 0);
            } else if (h > 23) {
                return std::nullopt;
            }
            if (minute > 59 || second > 59)
                return std::nullopt;
            ms = ((int64_t(h) * 60 + minute) * 60 + second) * 1000 + msec;
        }
        return day * kMsPerDay + ms;
    }
};

ListDateTime ListDateTime::system() {
    return ListDateTime(QLocale::system());
}

ListDateTime::ListDateTime(const QLocale& locale) : locale_(locale) {
    dateFormat_ = locale.dateFormat(QLocale::ShortFormat);
    if (dateFormat_.trimmed().isEmpty())
        dateFormat_ = QStringLiteral("yyyy/MM/dd");
    timeFormat_ = withoutZone(locale.timeFormat(QLocale::LongFormat));
    if (timeFormat_.isEmpty())
        timeFormat_ = QStringLiteral("HH:mm:ss");

    dateTokens_ = tokenize(dateFormat_);
    timeTokens_ = tokenize(timeFormat_);
    dateTimeTokens_ = tokenize(dateFormat_ + QLatin1Char(' ') + timeFormat_);
    fixedTimeTokens_ = tokenize(QStringLiteral("H:mm:ss"));

    for (int m = 1; m <= 12; ++m) {
        auto& names = monthNames_[m - 1];
        for (const auto type : {QLocale::LongFormat, QLocale::ShortFormat}) {
            addName(names, locale.monthName(m, type));
            addName(names, locale.standaloneMonthName(m, type));
        }
    }
    for (int d = 1; d <= 7; ++d)
        for (const auto type : {QLocale::LongFormat, QLocale::ShortFormat}) {
            addName(dayNames_, locale.dayName(d, type));
            addName(dayNames_, locale.standaloneDayName(d, type));
        }
    addName(amTexts_, locale.amText());
    addName(amTexts_, QStringLiteral("AM"));
    addName(pmTexts_, locale.pmText());
    addName(pmTexts_, QStringLiteral("PM"));
}

QString ListDateTime::format(const RecordTime& time) const {
    const QDate date(time.year, time.month, time.day);
    const QTime clock(time.hour, time.minute, time.second);
    QString text;
    if (date.isValid())
        text = locale_.toString(date, dateFormat_).left(kMaxFormattedPart);
    text += QLatin1Char(' ');
    if (clock.isValid())
        text += locale_.toString(clock, timeFormat_).left(kMaxFormattedPart);
    return text;
}

namespace {

// Length of the longest name that the text continues with at pos; 0 when none.
qsizetype longestName(QStringView text, qsizetype pos, const std::vector<QString>& names) {
    qsizetype best = 0;
    const QStringView rest = text.mid(pos);
    for (const QString& name : names)
        if (name.size() > best && rest.startsWith(name, Qt::CaseInsensitive))
            best = name.size();
    return best;
}

} // namespace

bool ListDateTime::match(const Tokens& tokens, QStringView text, Fields& f) const {
    const qsizetype n = text.size();
    qsizetype pos = 0;
    for (const Token& token : tokens) {
        switch (token.field) {
        case Token::Literal:
            for (const QChar c : token.literal) {
                if (pos >= n || text[pos].toCaseFolded() != c.toCaseFolded())
                    return false;
                ++pos;
            }
            break;
        case Token::Space:
            if (pos >= n || !text[pos].isSpace())
                return false;
            while (pos < n && text[pos].isSpace())
                ++pos;
            break;
        case Token::MonthName: {
            qsizetype best = 0;
            for (int m = 0; m < 12; ++m) {
                const qsizetype len = longestName(text, pos, monthNames_[m]);
                if (len > best) {
                    best = len;
                    f.month = m + 1;
                }
            }
            if (best == 0)
                return false;
            pos += best;
            break;
        }
        case Token::DayName: {
            const qsizetype len = longestName(text, pos, dayNames_);
            if (len == 0)
                return false;
            pos += len;
            break;
        }
        case Token::AmPm: {
            const qsizetype am = longestName(text, pos, amTexts_);
            const qsizetype pm = longestName(text, pos, pmTexts_);
            if (am == 0 && pm == 0)
                return false;
            f.pm = pm > am ? 1 : 0;
            pos += std::max(am, pm);
            break;
        }
        default: {
            int value = 0, digits = 0;
            for (int d; digits < token.maxDigits && pos < n && (d = anyDigit(text[pos])) >= 0;
                 ++pos, ++digits)
                value = value * 10 + d;
            if (digits == 0)
                return false;
            switch (token.field) {
            case Token::Day:
                f.day = value;
                break;
            case Token::Month:
                f.month = value;
                break;
            case Token::Year:
                f.year = value;
                f.yearDigits = digits;
                break;
            case Token::Hour:
                f.hour = value;
                break;
            case Token::Minute:
                f.minute = value;
                break;
            case Token::Second:
                f.second = value;
                break;
            case Token::Msec:
                f.msec = value * (digits == 1 ? 100 : digits == 2 ? 10 : 1);
                break;
            default:
                break;
            }
            break;
        }
        }
    }
    return pos == n;
}

std::optional<int64_t> ListDateTime::readMoment(QStringView text) const {
    const QStringView t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    struct Form {
        const Tokens* tokens;
        bool hasDate, hasTime;
    };
    const Form forms[] = {{&dateTimeTokens_, true, true},
                          {&dateTokens_, true, false},
                          {&timeTokens_, false, true},
                          {&fixedTimeTokens_, false, true}};
    for (const Form& form : forms) {
        Fields fields;
        if (!match(*form.tokens, t, fields))
            continue;
        if (const auto moment = fields.moment(form.hasDate, form.hasTime))
            return moment;
    }
    return std::nullopt;
}

} // namespace tessa
