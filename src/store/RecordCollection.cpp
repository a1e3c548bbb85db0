#include "store/RecordCollection.h"

#include <cstddef>
#include <new>
#include <vector>

namespace tessa {
namespace {

// Hands out blocks of one size from chunks of many, and takes freed ones back for reuse; any other size
// goes to the heap. A list of records asks for nothing but its nodes.
class NodePool : public std::pmr::memory_resource {
public:
    ~NodePool() override { release(); }

    void release() {
        for (void* chunk : chunks_)
            ::operator delete(chunk);
        chunks_.clear();
        free_ = nullptr;
        left_ = 0;
    }

private:
    static constexpr size_t kNodesPerChunk = 1024;
    struct FreeNode {
        FreeNode* next;
    };

    void* do_allocate(size_t bytes, size_t alignment) override {
        if (nodeSize_ == 0 && bytes >= sizeof(FreeNode) && alignment <= alignof(std::max_align_t))
            nodeSize_ = (bytes + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
        if (bytes > nodeSize_ || nodeSize_ - bytes >= alignof(std::max_align_t) ||
            alignment > alignof(std::max_align_t))
            return ::operator new(bytes, std::align_val_t(alignment));
        if (free_) {
            FreeNode* node = free_;
            free_ = node->next;
            return node;
        }
        if (left_ == 0) {
            next_ = static_cast<std::byte*>(::operator new(nodeSize_* kNodesPerChunk));
            chunks_.push_back(next_);
            left_ = kNodesPerChunk;
        }
        void* node = next_;
        next_ += nodeSize_;
        --left_;
        return node;
    }

    void do_deallocate(void* p, size_t bytes, size_t alignment) override {
        if (bytes > nodeSize_ || nodeSize_ - bytes >= alignof(std::max_align_t) ||
            alignment > alignof(std::max_align_t)) {
            ::operator delete(p, std::align_val_t(alignment));
            return;
        }
        free_ = new (p) FreeNode{free_};
    }

    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
        return this == &other;
    }

    size_t nodeSize_ = 0;
    std::vector<void*> chunks_;
    FreeNode* free_ = nullptr;
    std::byte* next_ = nullptr;
    size_t left_ = 0;
};

} // namespace

std::unique_ptr<std::pmr::memory_resource> RecordCollection::makePool() {
    return std::make_unique<NodePool>();
}

RecordCollection::RecordCollection()
    : pool_(makePool()), records_(pool_.get()), generation_(std::make_shared<RecordGeneration>()) {}

RecordCollection::RecordCollection(RecordCollection&& other)
    : pool_(std::move(other.pool_)), records_(std::move(other.records_)),
      generation_(std::move(other.generation_)), runs_(std::move(other.runs_)), indexed_(other.indexed_),
      originOf_(std::move(other.originOf_)), origins_(std::move(other.origins_)) {
    // The moved-from collection starts again on a pool of its own.
    other.pool_ = makePool();
    std::destroy_at(&other.records_);
    std::construct_at(&other.records_, other.pool_.get());
    other.originOf_.clear();
    other.runs_.clear();
    other.indexed_ = false;
    other.origins_.clear();
    other.generation_ = std::make_shared<RecordGeneration>();
}

RecordCollection::~RecordCollection() {
    generation_->end();
}

CallRecord& RecordCollection::append(const CallRecord& record) {
    CallRecord& added = records_.emplace_back(record);
    noteOrigin(added, kNoOrigin);
    return added;
}

CallRecord& RecordCollection::append(const CallRecord& record, const RecordOrigin& origin) {
    CallRecord& added = records_.emplace_back(record);
    noteOrigin(added, internOrigin(origin));
    return added;
}

void RecordCollection::noteOrigin(const CallRecord& added, uint32_t origin) {
    if (indexed_) {
        if (origin != kNoOrigin)
            originOf_.emplace(&added, origin);
        return;
    }
    if (!runs_.empty() && runs_.back().origin == origin && runs_.back().count < UINT32_MAX)
        ++runs_.back().count;
    else
        runs_.push_back({origin, 1});
}

void RecordCollection::indexOrigins() const {
    if (indexed_)
        return;
    originOf_.reserve(records_.size());
    auto record = records_.begin();
    for (const OriginRun& run : runs_)
        for (uint32_t i = 0; i < run.count && record != records_.end(); ++i, ++record)
            if (run.origin != kNoOrigin)
                originOf_.emplace(&*record, run.origin);
    runs_.clear();
    runs_.shrink_to_fit();
    indexed_ = true;
}

uint32_t RecordCollection::internOrigin(const RecordOrigin& origin) {
    // Records of one log arrive together: the last origin is nearly always the one.
    for (size_t i = origins_.size(); i-- > 0;)
        if (origins_[i] == origin)
            return uint32_t(i);
    origins_.push_back(origin);
    return uint32_t(origins_.size() - 1);
}

void RecordCollection::clear() {
    generation_->end();
    generation_ = std::make_shared<RecordGeneration>();
    records_.clear();
    static_cast<NodePool&>(*pool_).release();
    originOf_.clear();
    runs_.clear();
    indexed_ = false;
    origins_.clear();
}

bool RecordCollection::remove(const CallRecord* record) {
    // The runs count records in list order: once one leaves the middle they no longer fit.
    indexOrigins();
    for (auto it = records_.begin(); it != records_.end(); ++it)
        if (&*it == record) {
            generation_->freeing(*it);
            originOf_.erase(record);
            records_.erase(it);
            return true;
        }
    return false;
}

const RecordOrigin* RecordCollection::origin(const CallRecord* record) const {
    indexOrigins();
    const auto found = originOf_.find(record);
    return found == originOf_.end() ? nullptr : &origins_[found->second];
}

} // namespace tessa
