#pragma once

// One backup pass at a time on its worker, for the backup dialog. The pass reads a copy of the records
// it walks, made on the GUI thread when it starts, so that nothing the window frees meanwhile can reach
// it; the copies it logs are appended to the backup collection on the GUI thread, so that the backup view
// can show, mark and delete them without a reload.
//
// A pass started from a menu holds the busy flag while it runs: loads, rescans and view switches wait
// for it, as they wait for a loader. An automatic backup runs while the card loader holds the flag and
// waits for the dialog.

#include "backup/BackupPass.h"
#include "platform/GuiQueue.h"
#include "platform/WorkerSlot.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace tessa {

struct AppState;

class BackupRunner {
public:
    // What the dialog hears, on the GUI thread.
    struct Listener {
        std::function<void(uint32_t total)> rangeSet;
        std::function<void(uint32_t position, const QString& destination)> progress;
        std::function<void(const BackupSummary& summary)> ended;
    };

    enum class StartResult { Started, Busy, NotStarted };

    // GUI thread.
    explicit BackupRunner(AppState& state);
    ~BackupRunner();

    // GUI thread. Starts a pass over the records. holdBusy: take the busy flag for the pass (Busy when a
    // load or listing holds it). extraStop, when given, ends the walk between records once it is set (the
    // record list of a selected-records pass went away). Busy also while an earlier pass still runs.
    StartResult start(const BackupRequest& request, std::vector<CallRecord> records, Listener listener,
                      bool holdBusy, std::shared_ptr<const std::atomic<bool>> extraStop = nullptr);
    // A pass runs (its worker has not returned).
    bool running() const { return worker_.running(); }
    // Asks the pass to stop before its next record.
    void requestStop() { worker_.requestStop(); }
    // Waits at most the limit for the pass to end; true when it has.
    bool wait(std::chrono::milliseconds limit) { return worker_.wait(limit); }
    // Runs now on the GUI thread what the worker has reported so far (after wait() said it ended).
    void flushReports() { queue_.flush(); }

private:
    AppState& state_;
    platform::GuiQueue queue_;
    platform::WorkerSlot worker_;
};

} // namespace tessa
