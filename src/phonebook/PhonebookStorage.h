#pragma once

// Every byte of PhoneBook.dat that the program reads or writes passes through these three functions, and
// they reach the file only through the confined file layer: the phonebook must be a regular file whose
// real path lies in the area named (the card in use, for the page). Paths are program paths
// ("E:\PhoneBook.dat") or native ones. Each call opens, works and closes at once: nothing is held open
// between user actions.

#include "format/PhonebookEntry.h"
#include "platform/FileError.h"
#include "platform/FileRoots.h"

#include <cstdint>
#include <functional>
#include <QByteArray>
#include <QString>

namespace tessa::phonebook_storage {

// The whole file.
platform::FileError readAll(const QString& path, platform::Area area, QByteArray* bytes);

// Appends the entry at the end of the file, creating the file when missing; *offset is where it went.
// All or nothing: a failed append leaves the file as it was.
platform::FileError append(const QString& path, platform::Area area, const PhonebookEntry& entry,
                           qint64* offset);

enum class SlotUpdate {
    Written,   // the slot held what was expected and now holds the replacement
    Unchanged, // the slot is not there or not what was expected: nothing was written
    Failed,    // the file could not be opened, read or written
};

// Reads entry `index` of an existing file and, when `expected` accepts it, writes `replacement(current)`
// over it in the same opening. The file never grows or shrinks.
SlotUpdate updateSlot(const QString& path, platform::Area area, uint32_t index,
                      const std::function<bool(const PhonebookEntry& current)>& expected,
                      const std::function<PhonebookEntry(const PhonebookEntry& current)>& replacement);

} // namespace tessa::phonebook_storage
