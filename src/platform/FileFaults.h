#pragma once

// Fault injection for the confined file layer, for tests: makes the n-th operation (of chosen kinds)
// fail as a full disk, an input/output error or a pulled card would, so that the callers' handling of
// each can be shown to work. Nothing is injected unless a test asks for it.
//
// Counted operations, one each: opening or creating a file, one read call (readAt, read), one write call
// (writeAt, append; a copy counts one write per chunk), a sync (of a file or folder), a close, a removal,
// a rename, a folder listing and the making of one folder. A NoSpace fault on a write first writes half
// of the bytes for real and then fails, as a disk that fills up mid-write does; the other faults change
// nothing on disk.

#include "platform/FileError.h"

#include <cstdint>

namespace tessa::platform {

enum class FileOp : uint32_t {
    Open = 1u << 0,
    Read = 1u << 1,
    Write = 1u << 2,
    Sync = 1u << 3,
    Close = 1u << 4,
    Remove = 1u << 5,
    Rename = 1u << 6,
    List = 1u << 7,
    MakeFolder = 1u << 8,
};
constexpr uint32_t kAnyFileOp = 0x1FF;
constexpr uint32_t operator|(FileOp a, FileOp b) {
    return uint32_t(a) | uint32_t(b);
}
constexpr uint32_t operator|(uint32_t a, FileOp b) {
    return a | uint32_t(b);
}

enum class FileFault {
    NoSpace,  // FileError::NoSpace, after a partial write
    IoError,  // FileError::Io
    Vanished, // FileError::Vanished
};

struct FaultPlan {
    int nth = 1; // the n-th matching operation from now (1 = the next one)
    FileFault fault = FileFault::IoError;
    uint32_t ops = kAnyFileOp; // the kinds of operation counted (FileOp bits)
    bool sticky = false;       // once fired, every later matching operation fails too (a card pulled)
};

// Installs a plan for the whole process, replacing any earlier one.
void injectFileFault(const FaultPlan& plan);
// Removes the plan.
void clearFileFaults();
// How many times the plan has fired since it was installed.
int fileFaultsFired();

// Installs a plan for the life of the object (clears it after).
class ScopedFileFault {
public:
    explicit ScopedFileFault(const FaultPlan& plan) { injectFileFault(plan); }
    ~ScopedFileFault() { clearFileFaults(); }
    ScopedFileFault(const ScopedFileFault&) = delete;
    ScopedFileFault& operator=(const ScopedFileFault&) = delete;
};

namespace fault_internal {
// The layer's hook: counts one operation of that kind and tells the fault to give, if any.
bool due(FileOp op, FileFault* fault);
} // namespace fault_internal

} // namespace tessa::platform
