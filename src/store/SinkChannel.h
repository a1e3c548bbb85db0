#pragma once

// Calls from the loader, lister and rebuild workers into the window's LoadSink, which lives on the GUI
// thread. A call made on the GUI thread runs at once; from a worker it is queued and runs there in the
// order the calls were made.
//
// Closing the window sets the quit flag and then waits for the workers on the GUI thread, so a worker must
// never wait for the GUI thread without giving up on quit: send() does. Once quit is set no queued call
// reaches the sink any more.

#include "store/LoadSink.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <QObject>

namespace tessa {

class SinkChannel : public QObject {
    Q_OBJECT

public:
    using Call = std::function<void(LoadSink&)>;
    using Query = std::function<bool(LoadSink&)>;

    // Lives on the thread that creates it, which must be the sink's.
    SinkChannel(LoadSink& sink, const std::atomic<bool>& quit, QObject* parent = nullptr);

    bool onSinkThread() const;
    // Runs the call on the sink's thread without waiting for it. Captures must be values: the call may run
    // after the caller has moved on.
    void post(Call call);
    // Runs the query on the sink's thread after every call posted before it and returns its answer;
    // nullopt when quit is set first.
    std::optional<bool> send(Query query);
    // Lets every send() waiting for the GUI thread see the quit flag.
    void wakeWaiters();

private:
    struct Reply {
        bool done = false;
        bool abandoned = false;
        bool result = false;
    };
    struct Pending {
        Query run;
        std::shared_ptr<Reply> reply; // null for a posted call
    };

    void enqueue(Pending pending);
    Q_INVOKABLE void drain();

    LoadSink& sink_;
    const std::atomic<bool>& quit_;
    // The queue is ours rather than Qt's event queue alone so that whatever a worker wrote before a call
    // is visibly ordered before the GUI thread reads it.
    std::mutex mutex_;
    std::condition_variable replied_;
    std::deque<Pending> queue_;
};

// Paces progress updates: a position at most every period, and always the last one. Lines are cheap to
// send but a window repainted for every one of 100 000 records would dominate the load.
class ProgressThrottle {
public:
    explicit ProgressThrottle(std::chrono::milliseconds period = std::chrono::milliseconds(30))
        : period_(period), next_(std::chrono::steady_clock::now() + period) {}
    bool due(bool last) {
        const auto now = std::chrono::steady_clock::now();
        if (!last && now < next_)
            return false;
        next_ = now + period_;
        return true;
    }

private:
    std::chrono::milliseconds period_;
    std::chrono::steady_clock::time_point next_;
};

} // namespace tessa
