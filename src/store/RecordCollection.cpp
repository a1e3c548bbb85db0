#include "store/RecordCollection.h"

namespace tessa {

RecordCollection::RecordCollection() : generation_(std::make_shared<RecordGeneration>()) {}

RecordCollection::RecordCollection(RecordCollection&& other)
    : records_(std::move(other.records_)), generation_(std::move(other.generation_)) {
    other.records_.clear();
    other.generation_ = std::make_shared<RecordGeneration>();
}

RecordCollection::~RecordCollection() {
    generation_->end();
}

void RecordCollection::clear() {
    generation_->end();
    generation_ = std::make_shared<RecordGeneration>();
    records_.clear();
}

bool RecordCollection::remove(const CallRecord* record) {
    for (auto it = records_.begin(); it != records_.end(); ++it)
        if (&*it == record) {
            generation_->freeing(*it);
            records_.erase(it);
            return true;
        }
    return false;
}

} // namespace tessa
