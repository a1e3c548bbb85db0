#pragma once

// Every byte of PhoneBook.dat that the program reads or writes passes through these four functions, and
// nothing else in the program opens that file. Paths are program paths ("E:\PhoneBook.dat") or native
// ones. Each call opens, works and closes at once: nothing is held open between user actions.

#include "format/PhonebookEntry.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <QByteArray>
#include <QString>

namespace tessa::phonebook_storage {

// The whole file, or nothing when it cannot be opened or read.
std::optional<QByteArray> readAll(const QString& path);

// Appends the entry at the end of the file, creating the file when missing. The file's size before the
// append goes to *sizeBefore. False when the bytes did not all reach the file.
bool append(const QString& path, const PhonebookEntry& entry, qint64* sizeBefore);

enum class SlotUpdate {
    Written,   // the slot held what was expected and now holds the replacement
    Unchanged, // the slot is not there or not what was expected: nothing was written
    Failed,    // the file could not be opened, read or written
};

// Reads entry `index` of an existing file and, when `expected` accepts it, writes `replacement(current)`
// over it in the same opening. The file never grows or shrinks.
SlotUpdate updateSlot(const QString& path, uint32_t index,
                      const std::function<bool(const PhonebookEntry& current)>& expected,
                      const std::function<PhonebookEntry(const PhonebookEntry& current)>& replacement);

} // namespace tessa::phonebook_storage
