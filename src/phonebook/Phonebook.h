#pragma once

// The card's phonebook as the page shows it: the entries in use, in file order, each with the index of its
// slot. Adding appends a slot (free slots are never reused), editing writes over the entry's slot and
// deleting frees it; the file never shrinks. Every change goes to the card at once.
//
// A change is made only to a slot that still holds what its row shows: a card whose phonebook was
// changed elsewhere since it was read (or swapped for another card) is never overwritten blindly; the
// phonebook is read again instead and the caller tells the user.

#include "format/PhonebookEntry.h"
#include "platform/FileError.h"
#include "platform/FileRoots.h"

#include <cstdint>
#include <QByteArray>
#include <QString>
#include <vector>

namespace tessa {

struct PhonebookRow {
    QString name;
    QString number1;
    QString number2;
    QString number3;
    uint8_t type = 0;
    uint32_t index = 0; // the slot, whole: the item value keeps only its low 16 bits

    uint32_t itemValue() const { return phonebookItemValue(type, index); }
    QString typeText() const;
};

enum class PhonebookListStatus {
    Listed,     // the rows are the entries in use
    Unreadable, // the file could not be opened or read: no rows
    NotWhole,   // the size is not a multiple of 155: no rows
};

struct PhonebookListing {
    PhonebookListStatus status = PhonebookListStatus::Unreadable;
    platform::FileError error = platform::FileError::None; // why it is Unreadable
    std::vector<PhonebookRow> rows;
};

// The text that names a record type (0, 1, 2); empty for any other type.
QString phonebookTypeText(int type);

// The rows of a file's bytes: nothing unless the size is a multiple of 155, then every entry whose in-use
// byte is 1. Text fields are widened from the system code page.
PhonebookListing listPhonebook(const QByteArray& bytes);
// The same for a file (program or native path) that must lie in the area.
PhonebookListing readPhonebook(const QString& path, platform::Area area);

PhonebookRow rowOfEntry(const PhonebookEntry& entry, uint32_t index);

// The entry rebuilt from what a row shows: in use, name and numbers narrowed into their whole fields,
// the row's type; every other byte zero.
PhonebookEntry entryOfRow(const PhonebookRow& row);

// The entry the contact editor yields: all zero, in use, the first 34 characters of the name and the
// first 29 of each number (never more bytes than leave room for the terminator), the type.
PhonebookEntry makePhonebookEntry(const QString& name, const QString& number1, const QString& number2,
                                  const QString& number3, uint8_t type);

// The name box after a change: a last character of code 128 or above is removed, and again for the new
// last character, so that only a 7-bit character can end the name. Characters before it are kept.
QString filterPhonebookName(const QString& text);

// The slot holds the entry the row shows: in use, the same texts, the same type. Bytes the row does not
// show (reserved, after a terminator) do not count.
bool entryShowsRow(const PhonebookEntry& entry, const PhonebookRow& row);

class CardPhonebook {
public:
    enum class Result {
        Done,
        Full,       // Add: the page lists 50 rows or more
        NoRow,      // no row given, or a row that does not exist
        NotWritten, // the card could not be written: the rows show what the card holds
        Changed,    // the slot no longer held the row's entry: read again, nothing written
    };

    // Stores the path and lists the file, which must lie on the card in use.
    void load(const QString& path);
    // No card: no rows, no path.
    void clear();
    // Lists the stored path again.
    void reload();

    const QString& path() const { return path_; }
    const std::vector<PhonebookRow>& rows() const { return rows_; }
    PhonebookListStatus status() const { return status_; }
    bool full() const { return rows_.size() >= size_t(kPhonebookMaxRows); }

    // Appends the entry to the file (created when missing) and its row to the rows.
    Result add(const PhonebookEntry& entry);
    // Writes the entry over the slot of the row and shows it in the row.
    Result edit(size_t row, const PhonebookEntry& entry);
    // Frees the slots of the rows, in ascending row order, and removes their rows. Stops at the first slot
    // that cannot be freed; rows already freed stay removed.
    Result remove(std::vector<size_t> rowNumbers);

private:
    QString path_;
    std::vector<PhonebookRow> rows_;
    PhonebookListStatus status_ = PhonebookListStatus::Unreadable;
};

} // namespace tessa
