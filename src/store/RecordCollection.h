#pragma once

// A collection of owned call records (card, backup or import). Records never move once added, so the rows
// of the record lists may point at them; the rows hold a lease on the collection's current generation, and
// the collection has them dropped before it frees what they show (store/RecordLease.h).
//
// Each record may carry its origin: the log file and record size it was read from. The write-backs of
// mark and delete go to that file and slot only, never to a file worked out again from the record's
// contents (a record's time or drive letter say nothing reliable about where it lies).

#include "format/CallRecord.h"
#include "store/RecordLease.h"

#include <cstdint>
#include <list>
#include <memory>
#include <memory_resource>
#include <QString>
#include <unordered_map>
#include <vector>

namespace tessa {

struct RecordOrigin {
    QString logPath;         // native path of the card log or month log the record was read from
    uint32_t recordSize = 0; // 128 or 256 (card log of that model), 1076 (month log)
    bool monthLog() const { return recordSize == CallRecord::kSize; }
    friend bool operator==(const RecordOrigin&, const RecordOrigin&) = default;
};

class RecordCollection {
public:
    // Records come from a pool of large blocks: 100 000 records allocated one by one cost a worker
    // thread's heap a system call for nearly every one of them as it grows.
    using Storage = std::pmr::list<CallRecord>;

    RecordCollection();
    // The records move along with their generation and origins; the moved-from collection starts anew.
    RecordCollection(RecordCollection&& other);
    RecordCollection(const RecordCollection&) = delete;
    RecordCollection& operator=(const RecordCollection&) = delete;
    RecordCollection& operator=(RecordCollection&&) = delete;
    // Ends the generation first: rows still showing the records go before the records do.
    ~RecordCollection();

    // A record with no known origin: it is never written back.
    CallRecord& append(const CallRecord& record);
    // A record read from a log: its slot is record.index of origin.
    CallRecord& append(const CallRecord& record, const RecordOrigin& origin);
    // Ends the current generation (its rows are dropped first), frees every record and starts a new one.
    void clear();
    size_t count() const { return records_.size(); }
    bool empty() const { return records_.empty(); }

    // Has the rows showing the record dropped, then unlinks and frees it; false when it is not in this
    // collection.
    bool remove(const CallRecord* record);

    // Where a record of this collection was read from, or null.
    const RecordOrigin* origin(const CallRecord* record) const;
    // Every log file the records of this collection came from.
    const std::vector<RecordOrigin>& origins() const { return origins_; }

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
    static constexpr uint32_t kNoOrigin = UINT32_MAX;
    uint32_t internOrigin(const RecordOrigin& origin);
    void noteOrigin(const CallRecord& added, uint32_t origin);
    // Makes the index of records to origins from the runs, once it is first needed.
    void indexOrigins() const;

    Storage records_;
    RecordLease generation_;
    // Until the first look-up the origins are kept as runs, in the order the records were appended
    // (records of one log arrive together): indexing each of 100 000 records as it was read cost a tenth
    // of reading them, and most loads never write a record back.
    struct OriginRun {
        uint32_t origin;
        uint32_t count;
    };
    mutable std::vector<OriginRun> runs_;
    mutable bool indexed_ = false;
    mutable std::unordered_map<const CallRecord*, uint32_t> originOf_;
    std::vector<RecordOrigin> origins_;
};

} // namespace tessa
