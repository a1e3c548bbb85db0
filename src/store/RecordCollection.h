#pragma once

// A collection of owned call records (card, backup or import). Records never move once added, so the rows
// of the record lists may point at them.

#include "format/CallRecord.h"

#include <list>

namespace tessa {

class RecordCollection {
public:
    using Storage = std::list<CallRecord>;

    CallRecord& append(const CallRecord& record) { return records_.emplace_back(record); }
    void clear() { records_.clear(); }
    size_t count() const { return records_.size(); }
    bool empty() const { return records_.empty(); }

    // Unlinks and frees the record; false when it is not in this collection.
    bool remove(const CallRecord* record) {
        for (auto it = records_.begin(); it != records_.end(); ++it)
            if (&*it == record) {
                records_.erase(it);
                return true;
            }
        return false;
    }

    Storage::iterator begin() { return records_.begin(); }
    Storage::iterator end() { return records_.end(); }
    Storage::const_iterator begin() const { return records_.begin(); }
    Storage::const_iterator end() const { return records_.end(); }

private:
    Storage records_;
};

} // namespace tessa
