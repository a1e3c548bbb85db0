#include "store/CallLogService.h"

#include "store/AppState.h"
#include "store/Lister.h"
#include "store/LogLoader.h"
#include "store/RebuildWorker.h"
#include "store/SinkChannel.h"

namespace tessa {

CallLogService::CallLogService(AppState& state, LoadSink& sink, QObject* parent)
    : QObject(parent), state_(state), channel_(std::make_unique<SinkChannel>(sink, state.quit)),
      lister_(std::make_unique<Lister>(state, *channel_)),
      rebuild_(std::make_unique<RebuildWorker>(state, *channel_)),
      loader_(std::make_unique<LogLoader>(state, *channel_, *lister_, *rebuild_)) {}

CallLogService::~CallLogService() {
    shutdown();
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

bool CallLogService::busy() const {
    return state_.busy;
}

bool CallLogService::rebuildRunning() const {
    return state_.rebuildRunning;
}

void CallLogService::shutdown() {
    state_.quit = true;
    channel_->wakeWaiters();
    // The loader starts the lister and the rebuild worker, so it ends first.
    loader_->join();
    lister_->join();
    rebuild_->join();
}

} // namespace tessa
