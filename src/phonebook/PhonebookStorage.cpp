#include "phonebook/PhonebookStorage.h"

#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"

#include <QByteArrayView>

namespace tessa::phonebook_storage {
namespace {

using platform::FileError;

constexpr qint64 kEntrySize = qint64(PhonebookEntry::kSize);

QByteArrayView viewOf(const PhonebookEntry& entry) {
    return QByteArrayView(reinterpret_cast<const char*>(entry.bytes()), kEntrySize);
}

} // namespace

FileError readAll(const QString& path, platform::Area area, QByteArray* bytes) {
    const QString native = platform::nativePath(path);
    if (native.isEmpty())
        return FileError::Invalid;
    return platform::readWholeFile(native, area, bytes);
}

FileError append(const QString& path, platform::Area area, const PhonebookEntry& entry, qint64* offset) {
    const QString native = platform::nativePath(path);
    if (native.isEmpty())
        return FileError::Invalid;
    platform::AppendOptions options;
    options.create = true;
    return platform::appendToFile(native, area, viewOf(entry), options, offset);
}

SlotUpdate updateSlot(const QString& path, platform::Area area, uint32_t index,
                      const std::function<bool(const PhonebookEntry& current)>& expected,
                      const std::function<PhonebookEntry(const PhonebookEntry& current)>& replacement) {
    const QString native = platform::nativePath(path);
    if (native.isEmpty())
        return SlotUpdate::Failed;
    platform::ConfinedFile file;
    if (file.open(native, area, platform::ConfinedFile::Mode::ReadWrite) != FileError::None)
        return SlotUpdate::Failed;
    const qint64 offset = qint64(index) * kEntrySize;
    const qint64 size = file.size();
    if (size < 0)
        return SlotUpdate::Failed;
    // A slot that is not wholly inside the file is not the one the row was read from.
    if (offset + kEntrySize > size)
        return SlotUpdate::Unchanged;
    PhonebookEntry current;
    size_t got = 0;
    if (file.readAt(offset, current.bytes(), size_t(kEntrySize), &got) != FileError::None ||
        got != size_t(kEntrySize))
        return SlotUpdate::Failed;
    if (!expected(current))
        return SlotUpdate::Unchanged;
    if (file.writeAt(offset, viewOf(replacement(current))) != FileError::None)
        return SlotUpdate::Failed;
    return file.close() == FileError::None ? SlotUpdate::Written : SlotUpdate::Failed;
}

} // namespace tessa::phonebook_storage
