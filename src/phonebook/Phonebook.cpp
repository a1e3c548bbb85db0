#include "phonebook/Phonebook.h"

#include "config/StringTable.h"
#include "phonebook/PhonebookStorage.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cstring>

namespace tessa {
namespace {

constexpr qsizetype kNameCharacters = qsizetype(PhonebookEntry::kNameBytes) - 1;
constexpr qsizetype kNumberCharacters = qsizetype(PhonebookEntry::kNumberBytes) - 1;

template <size_t N>
QString widen(const char (&field)[N]) {
    return platform::systemCodePage().decode(field, N);
}

// Narrows text into a field, at most maxBytes bytes and never half a character of a multi-byte code page;
// the rest of the field stays zero.
template <size_t N>
void narrowInto(char (&field)[N], const QString& text, size_t maxBytes) {
    static_assert(N > 0);
    const platform::CodePage& codePage = platform::systemCodePage();
    QByteArray bytes = codePage.encode(text);
    for (qsizetype characters = text.size(); size_t(bytes.size()) > maxBytes && characters > 0;) {
        --characters;
        if (characters > 0 && text[characters].isLowSurrogate())
            --characters;
        bytes = codePage.encode(text.left(characters));
    }
    std::memset(field, 0, N);
    std::memcpy(field, bytes.constData(), std::min(size_t(bytes.size()), std::min(maxBytes, N)));
}

} // namespace

QString phonebookTypeText(int type) {
    switch (type) {
    case 0:
        return text(182);
    case 1:
        return text(183);
    case 2:
        return text(184);
    default:
        return {};
    }
}

QString PhonebookRow::typeText() const {
    return phonebookTypeText(type);
}

PhonebookRow rowOfEntry(const PhonebookEntry& entry, uint32_t index) {
    PhonebookRow row;
    row.name = widen(entry.name);
    row.number1 = widen(entry.number1);
    row.number2 = widen(entry.number2);
    row.number3 = widen(entry.number3);
    row.type = entry.type;
    row.index = index;
    return row;
}

PhonebookListing listPhonebook(const QByteArray& bytes) {
    PhonebookListing listing;
    if (bytes.size() % qsizetype(PhonebookEntry::kSize) != 0) {
        listing.status = PhonebookListStatus::NotWhole;
        return listing;
    }
    listing.status = PhonebookListStatus::Listed;
    const auto count = uint32_t(size_t(bytes.size()) / PhonebookEntry::kSize);
    for (uint32_t i = 0; i < count; ++i) {
        PhonebookEntry entry;
        std::memcpy(entry.bytes(), bytes.constData() + size_t(i) * PhonebookEntry::kSize,
                    PhonebookEntry::kSize);
        if (entry.used())
            listing.rows.push_back(rowOfEntry(entry, i));
    }
    return listing;
}

PhonebookListing readPhonebook(const QString& path, platform::Area area) {
    QByteArray bytes;
    const platform::FileError error = phonebook_storage::readAll(path, area, &bytes);
    if (error != platform::FileError::None) {
        PhonebookListing unreadable;
        unreadable.error = error;
        return unreadable;
    }
    return listPhonebook(bytes);
}

PhonebookEntry entryOfRow(const PhonebookRow& row) {
    PhonebookEntry entry{};
    entry.inUse = PhonebookEntry::kInUse;
    narrowInto(entry.name, row.name, PhonebookEntry::kNameBytes);
    narrowInto(entry.number1, row.number1, PhonebookEntry::kNumberBytes);
    narrowInto(entry.number2, row.number2, PhonebookEntry::kNumberBytes);
    narrowInto(entry.number3, row.number3, PhonebookEntry::kNumberBytes);
    entry.type = row.type;
    return entry;
}

PhonebookEntry makePhonebookEntry(const QString& name, const QString& number1, const QString& number2,
                                  const QString& number3, uint8_t type) {
    PhonebookEntry entry{};
    entry.inUse = PhonebookEntry::kInUse;
    narrowInto(entry.name, name.left(kNameCharacters), size_t(kNameCharacters));
    narrowInto(entry.number1, number1.left(kNumberCharacters), size_t(kNumberCharacters));
    narrowInto(entry.number2, number2.left(kNumberCharacters), size_t(kNumberCharacters));
    narrowInto(entry.number3, number3.left(kNumberCharacters), size_t(kNumberCharacters));
    entry.type = type;
    return entry;
}

QString filterPhonebookName(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].unicode() >= 128)
        --end;
    return end == text.size() ? text : text.left(end);
}

bool entryShowsRow(const PhonebookEntry& entry, const PhonebookRow& row) {
    if (!entry.used() || entry.type != row.type)
        return false;
    const PhonebookRow shown = rowOfEntry(entry, row.index);
    return shown.name == row.name && shown.number1 == row.number1 && shown.number2 == row.number2 &&
           shown.number3 == row.number3;
}

void CardPhonebook::load(const QString& path) {
    path_ = path;
    reload();
}

void CardPhonebook::clear() {
    path_.clear();
    rows_.clear();
    status_ = PhonebookListStatus::Unreadable;
}

void CardPhonebook::reload() {
    rows_.clear();
    if (path_.isEmpty()) {
        status_ = PhonebookListStatus::Unreadable;
        return;
    }
    PhonebookListing listing = readPhonebook(path_, platform::Area::Card);
    status_ = listing.status;
    rows_ = std::move(listing.rows);
}

CardPhonebook::Result CardPhonebook::add(const PhonebookEntry& entry) {
    if (full())
        return Result::Full;
    if (path_.isEmpty())
        return Result::NotWritten;
    qint64 offset = 0;
    if (phonebook_storage::append(path_, platform::Area::Card, entry, &offset) != platform::FileError::None)
        return Result::NotWritten;
    const auto index = uint32_t(quint64(offset) / PhonebookEntry::kSize);
    rows_.push_back(rowOfEntry(entry, index));
    return Result::Done;
}

CardPhonebook::Result CardPhonebook::edit(size_t row, const PhonebookEntry& entry) {
    if (row >= rows_.size())
        return Result::NoRow;
    const PhonebookRow shown = rows_[row];
    const auto update = phonebook_storage::updateSlot(
        path_, platform::Area::Card, shown.index,
        [&shown](const PhonebookEntry& current) { return entryShowsRow(current, shown); },
        [&entry](const PhonebookEntry&) { return entry; });
    switch (update) {
    case phonebook_storage::SlotUpdate::Written:
        rows_[row] = rowOfEntry(entry, shown.index);
        return Result::Done;
    case phonebook_storage::SlotUpdate::Unchanged:
        reload();
        return Result::Changed;
    case phonebook_storage::SlotUpdate::Failed:
        break;
    }
    return Result::NotWritten;
}

CardPhonebook::Result CardPhonebook::remove(std::vector<size_t> rowNumbers) {
    std::sort(rowNumbers.begin(), rowNumbers.end());
    rowNumbers.erase(std::unique(rowNumbers.begin(), rowNumbers.end()), rowNumbers.end());
    rowNumbers.erase(std::remove_if(rowNumbers.begin(), rowNumbers.end(),
                                    [this](size_t row) { return row >= rows_.size(); }),
                     rowNumbers.end());
    if (rowNumbers.empty())
        return Result::NoRow;
    std::vector<bool> freed(rows_.size(), false);
    Result result = Result::Done;
    for (size_t row : rowNumbers) {
        const PhonebookRow& shown = rows_[row];
        const auto update = phonebook_storage::updateSlot(
            path_, platform::Area::Card, shown.index,
            [&shown](const PhonebookEntry& current) { return entryShowsRow(current, shown); },
            [](const PhonebookEntry& current) {
                PhonebookEntry next = current;
                next.inUse = PhonebookEntry::kFree;
                return next;
            });
        if (update == phonebook_storage::SlotUpdate::Unchanged) {
            reload();
            return Result::Changed;
        }
        if (update == phonebook_storage::SlotUpdate::Failed) {
            result = Result::NotWritten;
            break;
        }
        freed[row] = true;
    }
    std::vector<PhonebookRow> kept;
    kept.reserve(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i)
        if (!freed[i])
            kept.push_back(std::move(rows_[i]));
    rows_ = std::move(kept);
    return result;
}

} // namespace tessa
