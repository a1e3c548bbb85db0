#include "phonebook/ContactFetch.h"

#include "phonebook/ContactList.h"

#include <new>

namespace tessa {

ContactFetchResult fetchContacts(ContactList& contacts, const std::atomic<bool>& busy,
                                 const ContactEnumerator& source) {
    if (busy)
        return {ContactFetchStatus::RefusedBusy, contacts.size()};
    contacts.clear();
    if (source) {
        source([&contacts](const ContactBlock& block) {
            try {
                contacts.append(block);
            } catch (const std::bad_alloc&) {
                return false; // out of memory: keep the contacts stored so far
            }
            return true;
        });
    }
    return {ContactFetchStatus::Fetched, contacts.size()};
}

ContactEnumerator vcardContacts(const QString& path) {
    return [source = platform::VCardContactSource(path)](const platform::ContactCallback& deliver) {
        source.enumerate(deliver);
    };
}

} // namespace tessa
