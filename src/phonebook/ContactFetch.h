#pragma once

// The Outlook-match command's fetch: the contact list is emptied and filled anew from the contact source.
// The window then reloads the call logs so that the new names appear (as the refresh command does).

#include "platform/VCardContactSource.h"

#include <atomic>
#include <cstddef>
#include <functional>

namespace tessa {

class ContactList;

// Entry point of a contact source: hands every contact to the callback, then returns.
using ContactEnumerator = std::function<void(const platform::ContactCallback&)>;

enum class ContactFetchStatus {
    RefusedBusy, // a call log is being loaded or listed: text 159, caption 160, information icon
    Fetched,
};

struct ContactFetchResult {
    ContactFetchStatus status = ContactFetchStatus::Fetched;
    size_t count = 0; // contacts now in the list
};

// Run on the thread that starts loads (the window's): the loader reads the list without a lock, and the
// busy flag is what keeps it from reading while the list is refilled. A source that cannot be read leaves
// the list empty; a refusal leaves it untouched.
ContactFetchResult fetchContacts(ContactList& contacts, const std::atomic<bool>& busy,
                                 const ContactEnumerator& source);

// The source of the user's vCard files: a file or a folder of them, by default the contacts folder.
ContactEnumerator vcardContacts(const QString& path = platform::VCardContactSource::defaultFolder());

} // namespace tessa
