#pragma once

// Ordering of the record lists by a clicked column. Two cell texts compare by the first reading that
// both of them pass: as base-16 unsigned integers, as decimal numbers (optionally followed by "%"), as
// moments in the user's locale, and otherwise code unit by code unit. The comparison is not a total
// order across mixed columns, so the sort is a fixed quicksort whose placement of equal and mixed keys
// is part of its behaviour.

#include "browse/ListDateTime.h"

#include <cstdint>
#include <optional>
#include <QString>
#include <QStringView>
#include <vector>

namespace tessa {

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
