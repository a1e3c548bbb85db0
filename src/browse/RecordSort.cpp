#include "browse/RecordSort.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <numeric>
#include <string_view>

namespace tessa {
namespace {

// White space as the C library's number readers skip it.
bool isCSpace(QChar c) {
    const char16_t u = c.unicode();
    return u == ' ' || (u >= '\t' && u <= '\r');
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

bool isAsciiDigit(QChar c) {
    return c.unicode() >= '0' && c.unicode() <= '9';
}

template <typename T>
int threeWay(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

std::optional<uint32_t> readHexNumber(QStringView text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && isCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        negative = text[i++] == QLatin1Char('-');
    if (i + 2 < n && text[i] == QLatin1Char('0') &&
        (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X')) && hexDigit(text[i + 2]) >= 0)
        i += 2;
    uint64_t value = 0;
    bool overflow = false;
    qsizetype digits = 0;
    for (int d; i < n && (d = hexDigit(text[i])) >= 0; ++i, ++digits) {
        value = value * 16 + uint64_t(d);
        if (value > 0xFFFFFFFFu) {
            overflow = true;
            value = 0xFFFFFFFFu; // keeps the running value small; the result saturates anyway
        }
    }
    if (digits == 0 || i != n)
        return std::nullopt;
    if (overflow)
        return 0xFFFFFFFFu;
    return negative ? uint32_t(0u - uint32_t(value)) : uint32_t(value);
}

std::optional<double> readDecimalNumber(QStringView text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && isCSpace(text[i]))
        ++i;
    std::string number;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        if (text[i] == QLatin1Char('-'))
            number += '-';
        ++i;
    }
    int integerDigits = 0, fractionDigits = 0;
    for (; i < n && isAsciiDigit(text[i]); ++i, ++integerDigits)
        number += char(text[i].unicode());
    if (i < n && text[i] == QLatin1Char('.')) {
        number += '.';
        for (++i; i < n && isAsciiDigit(text[i]); ++i, ++fractionDigits)
            number += char(text[i].unicode());
    }
    if (integerDigits + fractionDigits == 0)
        return std::nullopt;
    long exponent = 0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        bool negativeExponent = false;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            negativeExponent = text[j++] == QLatin1Char('-');
        if (j < n && isAsciiDigit(text[j])) {
            number += negativeExponent ? "e-" : "e";
            for (; j < n && isAsciiDigit(text[j]); ++j) {
                number += char(text[j].unicode());
                exponent = std::min(exponent * 10 + (text[j].unicode() - '0'), 100000L);
            }
            if (negativeExponent)
                exponent = -exponent;
            i = j;
        }
    }
    if (!(i == n || (i + 1 == n && text[i] == QLatin1Char('%'))))
        return std::nullopt;

    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large becomes infinite and too small zero, as the C library's reader gives them. The
        // decimal exponent of the first significant digit tells which.
        const size_t mantissaEnd = std::min(number.find('e'), number.size());
        const size_t firstSignificant = number.find_first_of("123456789");
        const size_t point = std::min(number.find('.'), mantissaEnd);
        long magnitude = exponent;
        if (firstSignificant < point)
            magnitude += long(point - firstSignificant);
        else if (firstSignificant < mantissaEnd)
            magnitude -= long(firstSignificant - point - 1);
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        if (number.front() == '-')
            value = -value;
    }
    return value;
}

int compareCodeUnits(QStringView a, QStringView b) {
    const std::u16string_view x(a.utf16(), size_t(a.size()));
    const std::u16string_view y(b.utf16(), size_t(b.size()));
    const int c = x.compare(y);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int compareCellTexts(const QString& a, const QString& b, const ListDateTime& dates) {
    if (!a.isEmpty() && !b.isEmpty()) {
        const auto ha = readHexNumber(a), hb = readHexNumber(b);
        if (ha && hb)
            return threeWay(*ha, *hb);
        const auto da = readDecimalNumber(a), db = readDecimalNumber(b);
        if (da && db)
            return threeWay(*da, *db);
    }
    const auto ma = dates.readMoment(a), mb = dates.readMoment(b);
    if (ma && mb)
        return threeWay(*ma, *mb);
    return compareCodeUnits(a, b);
}

SortKey sortKeyOf(const QString& text, const ListDateTime& dates) {
    SortKey key;
    key.text = &text;
    if (const auto hex = readHexNumber(text)) {
        key.kinds |= SortKey::Hex;
        key.hex = *hex;
    }
    if (const auto decimal = readDecimalNumber(text)) {
        key.kinds |= SortKey::Decimal;
        key.decimal = *decimal;
    }
    if (const auto moment = dates.readMoment(text)) {
        key.kinds |= SortKey::Moment;
        key.moment = *moment;
    }
    return key;
}

int compareSortKeys(const SortKey& a, const SortKey& b) {
    const uint8_t both = a.kinds & b.kinds;
    if (both & SortKey::Hex)
        return threeWay(a.hex, b.hex);
    if (both & SortKey::Decimal)
        return threeWay(a.decimal, b.decimal);
    if (both & SortKey::Moment)
        return threeWay(a.moment, b.moment);
    return compareCodeUnits(*a.text, *b.text);
}

std::vector<int> sortedRowOrder(const std::vector<SortKey>& keys, bool ascending) {
    std::vector<int> order(keys.size());
    std::iota(order.begin(), order.end(), 0);
    const auto below = [&](int row, const SortKey& pivot) {
        const int c = compareSortKeys(keys[size_t(row)], pivot);
        return ascending ? c < 0 : c > 0;
    };
    const auto above = [&](int row, const SortKey& pivot) {
        const int c = compareSortKeys(keys[size_t(row)], pivot);
        return ascending ? c > 0 : c < 0;
    };

    // Parts never overlap and the comparison keeps no state, so the order in which parts are taken does
    // not change the result; taking the smaller part first keeps the list of pending parts short.
    std::vector<std::pair<int, int>> pending;
    if (order.size() > 1)
        pending.emplace_back(0, int(order.size()) - 1);
    while (!pending.empty()) {
        auto [first, last] = pending.back();
        pending.pop_back();
        while (first < last) {
            const SortKey& pivot = keys[size_t(order[size_t((first + last) / 2)])];
            int left = first, right = last;
            while (left <= right) {
                while (left < last && below(order[size_t(left)], pivot))
                    ++left;
                while (right > first && above(order[size_t(right)], pivot))
                    --right;
                if (left <= right) {
                    if (left != right)
                        std::swap(order[size_t(left)], order[size_t(right)]);
                    ++left;
                    --right;
                }
            }
            // Left part first..right, right part left..last.
            if (right - first < last - left) {
                if (left < last)
                    pending.emplace_back(left, last);
                last = right;
            } else {
                if (first < right)
                    pending.emplace_back(first, right);
                first = left;
            }
        }
    }
    return order;
}

} // namespace tessa
