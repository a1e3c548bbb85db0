#pragma once

// A volume table installed for the process while the object lives; the table it replaced comes back
// when it goes.

#include "platform/VolumeTable.h"

#include <memory>
#include <vector>

namespace tessa::test {

// Any table a test made (one that counts its queries, or fakes a disk size).
class ScopedVolumeTable {
public:
    explicit ScopedVolumeTable(std::shared_ptr<platform::VolumeTable> table)
        : previous_(platform::installedVolumeTable()) {
        platform::setVolumeTable(std::move(table));
    }
    ~ScopedVolumeTable() { platform::setVolumeTable(previous_); }
    ScopedVolumeTable(const ScopedVolumeTable&) = delete;
    ScopedVolumeTable& operator=(const ScopedVolumeTable&) = delete;

private:
    std::shared_ptr<platform::VolumeTable> previous_;
};

// The given letters mapped to folders.
class ScopedVolumes {
public:
    explicit ScopedVolumes(std::vector<platform::Volume> volumes)
        : table_(std::make_shared<platform::FixedVolumeTable>(std::move(volumes))), installed_(table_) {
        table_->refresh();
    }
    platform::FixedVolumeTable& table() { return *table_; }

private:
    std::shared_ptr<platform::FixedVolumeTable> table_;
    ScopedVolumeTable installed_;
};

} // namespace tessa::test
