#include "store/Lister.h"

#include "store/AppState.h"
#include "store/LoadSink.h"

#include <array>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace tessa {
namespace {

// Rows go to the window in chunks: one call per record would cost more than listing it. The next chunk
// goes once the window has taken the one before, so that a walk faster than the window hands over fewer,
// bigger chunks instead of queueing many small ones: the window repaints its page after every chunk, and
// those repaints cost more than listing the rows. A chunk stays small enough for the window to take well
// within a frame.
constexpr size_t kRecordsPerChunk = 4096;
constexpr size_t kMaxRecordsPerChunk = 32768;

// Rows gathered per page, each page in collection order.
class PageRows {
public:
    void add(CallRecord* record, const std::vector<int>& pages) {
        for (const int page : pages)
            rows_[size_t(page)].push_back(record);
    }
    void flush(LoadSink& sink, platform::GuiQueue& queue, const RecordLease& lease) {
        for (size_t page = 0; page < rows_.size(); ++page) {
            if (rows_[page].empty())
                continue;
            queue.post([&sink, page = int(page), rows = std::move(rows_[page]), lease] {
                sink.appendRows(page, rows, lease);
            });
            rows_[page] = {};
        }
    }

private:
    std::array<std::vector<CallRecord*>, PageQuery + 1> rows_;
};

QString listerCountLine(uint32_t done, uint32_t total) {
    return QStringLiteral("%1/%2").arg(done).arg(total);
}

} // namespace

Lister::Lister(AppState& state, LoadSink& sink, platform::GuiQueue& queue)
    : state_(state), sink_(sink), queue_(queue) {}

Lister::~Lister() {
    stop();
}

bool Lister::stop(std::chrono::milliseconds limit) {
    return worker_.stop(limit);
}

void Lister::list() {
    queue_.post([&sink = sink_] { sink.clearRecordLists(); });
    RecordCollection& records = state_.currentRecords();
    if (records.count() > kInlineLimit && worker_.start([this, &records] { walk(records); }))
        return;
    walk(records);
}

void Lister::walk(RecordCollection& records) {
    // The GUI thread's own listing is short; a worker (the loader's thread or the lister's) may be asked
    // to stop by the window closing.
    const bool stoppable = !queue_.onGuiThread();
    const uint32_t count = uint32_t(std::min<size_t>(records.count(), UINT32_MAX));
    const int caption = state_.viewMode == ViewBackup ? kProgressCaptionBackup : kProgressCaptionCard;
    if (!queue_.send([&sink = sink_, caption, count] {
            sink.showProgress(caption, count, false);
            return true;
        }))
        return;

    // Rows reach the window after this thread has moved on; the lease keeps them from being shown if the
    // records went meanwhile.
    const RecordLease lease = records.lease();
    PageRows rows;
    uint32_t shownTotal = count;
    uint32_t handled = 0;
    size_t pending = 0;
    // Chunks sent, and chunks the window has taken.
    uint32_t sent = 0;
    const auto taken = std::make_shared<std::atomic<uint32_t>>(0);
    // Progress goes with each chunk of rows, after it: bar and line then count the records whose rows
    // the window holds, not ones still on their way.
    auto flush = [&] {
        rows.flush(sink_, queue_, lease);
        queue_.post([&sink = sink_, handled, line = listerCountLine(handled, shownTotal), taken] {
            sink.setProgress(handled, line);
            ++*taken;
        });
        ++sent;
        pending = 0;
    };
    for (CallRecord& record : records) {
        if (stoppable && state_.quit)
            return;
        // A record that cannot be listed is not counted in the total shown.
        if (!record.validByte())
            --shownTotal;
        rows.add(&record, pagesOfRecord(record));
        ++handled;
        ++pending;
        if ((pending >= kRecordsPerChunk && *taken == sent) || pending == kMaxRecordsPerChunk) {
            flush();
            std::this_thread::yield();
        }
    }
    if (pending > 0)
        flush();
    // The busy flag drops only when the window has taken every row: until then the rows it is still to
    // receive point into a collection that a card scan would empty.
    queue_.post([&sink = sink_, &busy = state_.busy] {
        sink.hideProgress();
        sink.showPage(PageAll);
        busy = false;
    });
}

} // namespace tessa
