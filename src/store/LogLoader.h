#pragma once

// Loading call logs: the card's CallLog.dat or every month log of the PC backup, read on the loader
// thread into the card or backup collection, followed by the choice of view and the listing.

#include "platform/GuiQueue.h"
#include "platform/WorkerSlot.h"

#include <QString>
#include <vector>

namespace tessa {

struct AppState;
class Lister;
class LoadSink;
class RebuildWorker;

class LogLoader {
public:
    // Sink calls go through the queue, which must belong to the sink's thread.
    LogLoader(AppState& state, LoadSink& sink, platform::GuiQueue& queue, Lister& lister,
              RebuildWorker& rebuild);
    ~LogLoader();

    // GUI thread. Empties the backup collection and the month list, finds the month logs of the current
    // model under BackupPath and starts the loader over them. False when there is no month log. While a
    // load or listing runs, the collection and the month list are left to it and nothing is started.
    bool loadMonthLogs();
    // GUI thread. Starts the loader over what the load source names (the card log path, or the month
    // list). Sets the busy flag; false when it was set already or the thread cannot be created.
    bool start();
    // Waits for the loader, at most the limit; it ends at its next record once the quit flag is set. False
    // when it had not ended by then and was let go.
    bool stop(std::chrono::milliseconds limit = platform::WorkerSlot::kCloseWait);
    // A worker let go by stop() still runs.
    bool letGoRunning() const { return worker_.letGoRunning(); }

private:
    struct Plan {
        bool fromCard = false;
        std::vector<QString> files;
        char driveLetter = 0;
        int modelCode = 0;
    };

    void run(const Plan& plan);
    // Reads one log into its collection; false when the quit flag ended it.
    bool readLog(const Plan& plan, const QString& path, size_t& kept);

    AppState& state_;
    bool progressShown_ = false; // this load has shown the progress window; the worker's own
    LoadSink& sink_;
    platform::GuiQueue& queue_;
    Lister& lister_;
    RebuildWorker& rebuild_;
    platform::WorkerSlot worker_;
};

} // namespace tessa
