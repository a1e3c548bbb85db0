#pragma once

// Rebuilding a card's empty CallLog.dat from the recordings found on the card. Drives wait in the rebuild
// queue of the application state; one worker serves them in turn, including drives queued while it runs.

#include "platform/GuiQueue.h"
#include "platform/WorkerSlot.h"

#include <chrono>

namespace tessa {

struct AppState;
class LoadSink;

class RebuildWorker {
public:
    // Sink calls go through the queue, which must belong to the sink's thread.
    RebuildWorker(AppState& state, LoadSink& sink, platform::GuiQueue& queue);
    ~RebuildWorker();

    // Queues the drive unless it is queued already, and starts the worker when none runs. Any thread.
    void queue(char driveLetter);
    // Waits for the worker, at most the limit; it ends early once the quit flag is set. False when it had
    // not ended by then and was let go.
    bool stop(std::chrono::milliseconds limit = platform::WorkerSlot::kCloseWait);
    // A worker let go by stop() still runs.
    bool letGoRunning() const { return worker_.letGoRunning(); }

private:
    void run();
    // False when an append failed (full, write-protected or pulled card): the drive is given up.
    bool rebuildDrive(char driveLetter);

    AppState& state_;
    LoadSink& sink_;
    platform::GuiQueue& queue_;
    platform::WorkerSlot worker_;
};

} // namespace tessa
