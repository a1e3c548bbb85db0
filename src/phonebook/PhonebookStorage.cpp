#include "phonebook/PhonebookStorage.h"

#include "platform/NativePath.h"

#include <cstring>
#include <QFile>
#include <QFileInfo>

namespace tessa::phonebook_storage {
namespace {

constexpr qint64 kEntrySize = qint64(PhonebookEntry::kSize);

// Only a regular file of its own is opened: a link could lead the write off the card, and a FIFO or
// device would block the window.
bool openable(const QString& native, bool mayBeMissing) {
    if (native.isEmpty())
        return false;
    const QFileInfo info(native);
    if (info.isSymLink())
        return false;
    if (!info.exists())
        return mayBeMissing;
    return info.isFile();
}

bool writeAllOf(QFile& file, const char* bytes, qint64 size) {
    return file.write(bytes, size) == size && file.flush();
}

} // namespace

std::optional<QByteArray> readAll(const QString& path) {
    const QString native = platform::nativePath(path);
    if (!openable(native, false))
        return std::nullopt;
    QFile file(native);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

bool append(const QString& path, const PhonebookEntry& entry, qint64* sizeBefore) {
    const QString native = platform::nativePath(path);
    if (!openable(native, true))
        return false;
    QFile file(native);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const qint64 size = file.size();
    if (!file.seek(size) || !writeAllOf(file, reinterpret_cast<const char*>(entry.bytes()), kEntrySize))
        return false;
    file.close();
    if (file.error() != QFileDevice::NoError)
        return false;
    if (sizeBefore)
        *sizeBefore = size;
    return true;
}

SlotUpdate updateSlot(const QString& path, uint32_t index,
                      const std::function<bool(const PhonebookEntry& current)>& expected,
                      const std::function<PhonebookEntry(const PhonebookEntry& current)>& replacement) {
    const QString native = platform::nativePath(path);
    if (!openable(native, false))
        return SlotUpdate::Failed;
    QFile file(native);
    if (!file.open(QIODevice::ReadWrite))
        return SlotUpdate::Failed;
    const qint64 offset = qint64(index) * kEntrySize;
    // A slot that is not wholly inside the file is not the one the row was read from.
    if (offset + kEntrySize > file.size())
        return SlotUpdate::Unchanged;
    PhonebookEntry current;
    if (!file.seek(offset) || file.read(reinterpret_cast<char*>(current.bytes()), kEntrySize) != kEntrySize)
        return SlotUpdate::Failed;
    if (!expected(current))
        return SlotUpdate::Unchanged;
    const PhonebookEntry next = replacement(current);
    if (!file.seek(offset) || !writeAllOf(file, reinterpret_cast<const char*>(next.bytes()), kEntrySize))
        return SlotUpdate::Failed;
    file.close();
    return file.error() == QFileDevice::NoError ? SlotUpdate::Written : SlotUpdate::Failed;
}

} // namespace tessa::phonebook_storage
