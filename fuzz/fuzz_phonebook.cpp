// PhoneBook.dat: any bytes, listed the way the phonebook page lists them, each row then turned back into
// the entries the page would write.
#include "phonebook/Phonebook.h"

#include <QByteArray>

using namespace tessa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const PhonebookListing listing = listPhonebook(bytes);
    const bool whole = size % PhonebookEntry::kSize == 0;
    if ((listing.status == PhonebookListStatus::Listed) != whole || (!whole && !listing.rows.empty()))
        __builtin_trap();
    int64_t previous = -1;
    for (const PhonebookRow& row : listing.rows) {
        if (int64_t(row.index) <= previous || (row.index + 1) * PhonebookEntry::kSize > size)
            __builtin_trap();
        previous = row.index;
        if (data[row.index * PhonebookEntry::kSize] != 1 || row.name.size() > 35 || row.number1.size() > 30 ||
            row.number2.size() > 30 || row.number3.size() > 30)
            __builtin_trap();
        if (row.itemValue() != (uint32_t(row.type) << 16 | (row.index & 0xFFFF)))
            __builtin_trap();
        const PhonebookEntry rebuilt = entryOfRow(row);
        const PhonebookEntry edited = makePhonebookEntry(filterPhonebookName(row.name), row.number1,
                                                         row.number2, row.number3, row.type);
        // The editor's entry always keeps a terminator in every text field.
        if (edited.name[34] != 0 || edited.number1[29] != 0 || edited.number2[29] != 0 ||
            edited.number3[29] != 0 || edited.inUse != 1 || rebuilt.inUse != 1)
            __builtin_trap();
    }
    return 0;
}
