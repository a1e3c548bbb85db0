#pragma once

// Rebuilding a card's empty CallLog.dat from the recordings found on the card. Drives wait in the rebuild
// queue of the application state; one worker serves them in turn, including drives queued while it runs.

#include "store/WorkerSlot.h"

namespace tessa {

struct AppState;
class SinkChannel;

class RebuildWorker {
public:
    RebuildWorker(AppState& state, SinkChannel& channel);
    ~RebuildWorker();

    // Queues the drive unless it is queued already, and starts the worker when none runs. Any thread.
    void queue(char driveLetter);
    // Waits for the worker; it ends early once the quit flag is set.
    void join();

private:
    void run();
    void rebuildDrive(char driveLetter);

    AppState& state_;
    SinkChannel& channel_;
    WorkerSlot worker_;
};

} // namespace tessa
