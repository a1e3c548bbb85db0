#pragma once

// Import of recordings from any folder: every recording below it becomes a call record built from its file
// name and size, without a call log.

#include "format/CallRecord.h"

#include <atomic>
#include <QString>
#include <vector>

namespace tessa {

class ContactList;

struct ImportResult {
    std::vector<CallRecord> records; // in the finder's order
    size_t filesFound = 0;
    bool complete = true; // false when a folder could not be listed (what was found before stays)
};

// The records of the recordings below folder (a native path or a drive-letter path). Files whose names do
// not parse are skipped. stop (may be null) ends the walk early.
ImportResult importRecordings(const QString& folder, const ContactList* contacts,
                              const std::atomic<bool>* stop = nullptr);

} // namespace tessa
