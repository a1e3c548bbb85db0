#pragma once

// What the window holds to load and list call logs: the loader, the lister and the rebuild worker over
// one application state, talking to the window through its LoadSink.
//
// Create it, and call everything but queueRebuild(), on the GUI thread, the thread of the sink. No call
// waits for a worker except shutdown(). Sink calls from workers arrive through the GUI thread's event loop,
// so the loads progress only while it runs.

#include <memory>
#include <QObject>

namespace tessa::platform {
class GuiQueue;
}

namespace tessa {

struct AppState;
class LoadSink;
class Lister;
class LogLoader;
class RebuildWorker;

class CallLogService : public QObject {
public:
    CallLogService(AppState& state, LoadSink& sink, QObject* parent = nullptr);
    // Shuts down first. Parts that a worker let go at shutdown may still use are kept, not freed.
    ~CallLogService() override;

    // Timers 10 and 30: reload the month logs of the current model. False when there is none.
    bool loadMonthLogs();
    // After a card scan stored the card's letter, log path and model: loads the card log. False while
    // busy or when the loader cannot start.
    bool startCardLoad();
    // Card view command: lists the current collection again without reading anything. False (and nothing
    // done) while busy; with more than 1000 records the rows arrive later and the busy flag stays set until
    // then.
    bool runLister();
    // Queues a drive for the rebuild of its empty call log. Any thread.
    void queueRebuild(char driveLetter);

    bool rebuildRunning() const;

    // Window closing: sets the quit flag and waits for every worker, 500 ms at most in all. Workers stop at
    // their next record or file and give up any wait for the GUI thread, so this returns promptly even
    // when called from inside a sink call (such as a backup dialog's local event loop); a worker stuck in
    // a file operation is let go. Nothing reaches the sink afterwards. False when a worker was let go.
    bool shutdown();

private:
    AppState& state_;
    std::unique_ptr<platform::GuiQueue> queue_;
    std::unique_ptr<Lister> lister_;
    std::unique_ptr<RebuildWorker> rebuild_;
    std::unique_ptr<LogLoader> loader_;
};

} // namespace tessa
