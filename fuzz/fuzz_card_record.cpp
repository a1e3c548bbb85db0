// Card records of both sizes, with a contact list so that name resolution runs too.
#include "phonebook/ContactList.h"
#include "store/CardRecordCodec.h"

#include <cstring>

using namespace tessa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ContactList contacts = [] {
        ContactList list;
        ContactBlock c{};
        c.name.setText(QStringLiteral("Fuzz"));
        c.numbers[0].setText(QStringLiteral("5551234"));
        c.numbers[3].setText(QStringLiteral("110"));
        list.append(c);
        return list;
    }();
    uint8_t card[256] = {};
    std::memcpy(card, data, std::min(size, sizeof card));
    for (int model : {ModelVX7, ModelVX5}) {
        CallRecord record{};
        if (decodeCardRecord(card, record, 'E', model, &contacts)) {
            if (record.number.length() > 32 || record.shortPath.length() > 63)
                __builtin_trap();
        }
    }
    return 0;
}
