#include "store/CallLogService.h"

#include "platform/GuiQueue.h"
#include "platform/WorkerSlot.h"
#include "store/AppState.h"
#include "store/Lister.h"
#include "store/LogLoader.h"
#include "store/RebuildWorker.h"

#include <algorithm>
#include <vector>

namespace tessa {

namespace call_log_service_internal {

// What a worker let go at close still uses stays until the process ends, reachable from here.
void keepUntilExit(std::shared_ptr<void> part) {
    static auto* kept = new std::vector<std::shared_ptr<void>>;
    kept->push_back(std::move(part));
}

} // namespace call_log_service_internal

CallLogService::CallLogService(AppState& state, LoadSink& sink, QObject* parent)
    : QObject(parent), state_(state), queue_(std::make_unique<platform::GuiQueue>(&state.quit)),
      lister_(std::make_unique<Lister>(state, sink, *queue_)),
      rebuild_(std::make_unique<RebuildWorker>(state, sink, *queue_)),
      loader_(std::make_unique<LogLoader>(state, sink, *queue_, *lister_, *rebuild_)) {}

CallLogService::~CallLogService() {
    shutdown();
    if (loader_->letGoRunning() || lister_->letGoRunning() || rebuild_->letGoRunning()) {
        using call_log_service_internal::keepUntilExit;
        // The loader reaches the lister, the rebuild worker and the queue: all of them stay.
        keepUntilExit(std::shared_ptr<LogLoader>(std::move(loader_)));
        keepUntilExit(std::shared_ptr<Lister>(std::move(lister_)));
        keepUntilExit(std::shared_ptr<RebuildWorker>(std::move(rebuild_)));
        keepUntilExit(std::shared_ptr<platform::GuiQueue>(std::move(queue_)));
    }
}

bool CallLogService::loadMonthLogs() {
    return loader_->loadMonthLogs();
}

bool CallLogService::startCardLoad() {
    if (state_.busy)
        return false;
    state_.loadSource = LoadCard;
    return loader_->start();
}

bool CallLogService::runLister() {
    if (state_.busy.exchange(true))
        return false;
    lister_->list();
    return true;
}

void CallLogService::queueRebuild(char driveLetter) {
    rebuild_->queue(driveLetter);
}

bool CallLogService::rebuildRunning() const {
    return state_.rebuildRunning;
}

bool CallLogService::shutdown() {
    using namespace std::chrono;
    state_.quit = true;
    queue_->close();
    const auto deadline = steady_clock::now() + platform::WorkerSlot::kCloseWait;
    const auto left = [deadline] {
        return std::max(milliseconds(0), duration_cast<milliseconds>(deadline - steady_clock::now()));
    };
    // The loader starts the lister and the rebuild worker, so it ends first.
    bool ended = loader_->stop(left());
    ended = lister_->stop(left()) && ended;
    ended = rebuild_->stop(left()) && ended;
    return ended;
}

} // namespace tessa
