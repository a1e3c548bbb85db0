#pragma once

// Puts every record of the current collection on the record list pages by its call type and mark.

#include "store/WorkerSlot.h"

#include <cstddef>

namespace tessa {

struct AppState;
class RecordCollection;
class SinkChannel;

// Captions of the progress window (string numbers): the card's records, the PC backup's.
inline constexpr int kProgressCaptionCard = 157;
inline constexpr int kProgressCaptionBackup = 158;

class Lister {
public:
    // Up to this many records are listed on the calling thread; more on the lister worker.
    static constexpr size_t kInlineLimit = 1000;

    Lister(AppState& state, SinkChannel& channel);
    ~Lister();

    // Empties pages 1 to 9 and lists the current collection. The caller holds the busy flag; it is cleared
    // once the window has every row, or left set when the quit flag ends the listing.
    void list();
    // Waits for the lister worker; it ends at its next record once the quit flag is set.
    void join();

private:
    void walk(RecordCollection& records);

    AppState& state_;
    SinkChannel& channel_;
    WorkerSlot worker_;
};

} // namespace tessa
