#pragma once

// Puts every record of the current collection on the record list pages by its call type and mark.

#include "platform/GuiQueue.h"
#include "platform/WorkerSlot.h"

#include <chrono>
#include <cstddef>

namespace tessa {

struct AppState;
class LoadSink;
class RecordCollection;

// Captions of the progress window (string numbers): the card's records, the PC backup's.
inline constexpr int kProgressCaptionCard = 157;
inline constexpr int kProgressCaptionBackup = 158;

class Lister {
public:
    // Up to this many records are listed on the calling thread; more on the lister worker.
    static constexpr size_t kInlineLimit = 1000;

    // Sink calls go through the queue, which must belong to the sink's thread.
    Lister(AppState& state, LoadSink& sink, platform::GuiQueue& queue);
    ~Lister();

    // Empties pages 1 to 9 and lists the current collection. The caller holds the busy flag; it is cleared
    // once the window has every row, or left set when the quit flag ends the listing.
    void list();
    // Waits for the lister worker, at most the limit; it ends at its next record once the quit flag is set.
    // False when it had not ended by then and was let go.
    bool stop(std::chrono::milliseconds limit = platform::WorkerSlot::kCloseWait);
    // A worker let go by stop() still runs.
    bool letGoRunning() const { return worker_.letGoRunning(); }

private:
    void walk(RecordCollection& records);

    AppState& state_;
    LoadSink& sink_;
    platform::GuiQueue& queue_;
    platform::WorkerSlot worker_;
};

} // namespace tessa
