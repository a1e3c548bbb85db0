#pragma once

// A collection of owned call records (card, backup or import). Records never move once added, so the rows
// of the record lists may point at them; the rows hold a lease on the collection's current generation, and
// the collection has them dropped before it frees what they show (store/RecordLease.h).

#include "format/CallRecord.h"
#include "store/RecordLease.h"

#include <list>
#include <memory>
#include <memory_resource>

namespace tessa {

class RecordCollection {
public:
    // Records come from a pool of large blocks: 100 000 records allocated one by one cost a worker
    // thread's heap a system call for nearly every one of them as it grows.
    using Storage = std::pmr::list<CallRecord>;

    RecordCollection();
    // The records move along with their generation; the moved-from collection starts a new one.
    RecordCollection(RecordCollection&& other);
    RecordCollection(const RecordCollection&) = delete;
    RecordCollection& operator=(const RecordCollection&) = delete;
    RecordCollection& operator=(RecordCollection&&) = delete;
    // Ends the generation first: rows still showing the records go before the records do.
    ~RecordCollection();

    CallRecord& append(const CallRecord& record) { return records_.emplace_back(record); }
    // Ends the current generation (its rows are dropped first), frees every record and starts a new one.
    void clear();
    size_t count() const { return records_.size(); }
    bool empty() const { return records_.empty(); }

    // Has the rows showing the record dropped, then unlinks and frees it; false when it is not in this
    // collection.
    bool remove(const CallRecord* record);

    // The generation that rows listed from this collection now hold. Read it under the same rule as the
    // records themselves: while nothing clears the collection (the busy flag keeps loads, scans and
    // listings apart).
    const RecordLease& lease() const { return generation_; }

    Storage::iterator begin() { return records_.begin(); }
    Storage::iterator end() { return records_.end(); }
    Storage::const_iterator begin() const { return records_.begin(); }
    Storage::const_iterator end() const { return records_.end(); }

private:
    static std::unique_ptr<std::pmr::memory_resource> makePool();

    std::unique_ptr<std::pmr::memory_resource> pool_;
    Storage records_;
    RecordLease generation_;
};

} // namespace tessa
