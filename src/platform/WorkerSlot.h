#pragma once

// The holder of a worker thread that runs at most once at a time. Every worker of the program runs in
// one: its owner keeps one slot per kind of worker, and the slot's run is the marker that it works.
//
// How to use it:
//
//     platform::WorkerSlot worker_;                       // a member of the owner
//     worker_.start([this](const std::atomic<bool>& stop) {
//         for (const auto& item : items) {
//             if (stop || quit)                            // between items, never in the middle of one
//                 return;
//             ...                                          // reach the GUI thread through a GuiQueue only
//         }
//     });
//     worker_.running();                                   // any thread: the body has not returned yet
//     worker_.requestStop();                               // the body sees `stop` at its next check
//     worker_.wait(std::chrono::milliseconds(500));        // waits a while; the worker stays in the slot
//     worker_.stop();                                      // closing: asks, waits at most kCloseWait
//
// Closing never hangs: stop() (and the destructor, which calls it) waits at most its limit. A worker that
// has not returned by then is let go: it finishes on its own, holding its body and its captures, and is
// counted by abandonedRunning() until it returns. Whatever it still touches must outlive it: capture by
// value or shared_ptr what an owner frees, and leave the rest (the application state) to the program,
// which frees nothing while a worker it let go still runs.
//
// The body may take `const std::atomic<bool>& stop` (its stop request, valid for as long as the body
// runs) or nothing. Call everything from the owner's threads, never from the body itself (the destructor
// excepted, which then lets the run go).

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>

namespace tessa::platform {

class WorkerSlot {
public:
    // How long closing waits for a worker, and how long start() waits for the previous run to return.
    static constexpr std::chrono::milliseconds kCloseWait{500};

    WorkerSlot() = default;
    WorkerSlot(const WorkerSlot&) = delete;
    WorkerSlot& operator=(const WorkerSlot&) = delete;
    // stop(): waits at most kCloseWait, then lets the worker go.
    ~WorkerSlot();

    // Runs the body on a new thread with a clear stop request. A previous run is waited for first, at most
    // kCloseWait (owners start a worker only once the previous one has given up its work, so that is its
    // return); false when it still runs then, or when the thread cannot be created. Two bodies of one slot
    // never run at once.
    template <class Body>
    bool start(Body body) {
        if constexpr (std::is_invocable_v<Body&, const std::atomic<bool>&>)
            return launch(Task(std::move(body)));
        else
            return launch(Task([body = std::move(body)](const std::atomic<bool>&) mutable { body(); }));
    }

    // From start() until the body has returned.
    bool running() const;
    // Sets the stop request of the current run.
    void requestStop();
    // Waits at most the limit for the body to return; true when it has (or nothing runs). The worker
    // stays in the slot either way.
    bool wait(std::chrono::milliseconds limit);
    // Sets the stop request and waits at most the limit. True when the body returned; otherwise the
    // worker is let go (see above) and the slot is free for a new start().
    bool stop(std::chrono::milliseconds limit = kCloseWait);

    // A worker this slot let go has not returned yet: what it uses must not be freed.
    bool letGoRunning() const;
    // Workers of any slot let go by stop() whose body has not returned yet.
    static int abandonedRunning();

private:
    using Task = std::function<void(const std::atomic<bool>&)>;
    struct Run;

    bool launch(Task task);
    // With mutex_ held: waits for the current run, and joins and forgets it once it has returned.
    bool waitLocked(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds limit);

    mutable std::mutex mutex_; // guards run_ and thread_: the owner's threads start, wait and stop
    std::shared_ptr<Run> run_;
    std::thread thread_;
    std::shared_ptr<Run> letGo_; // the last run let go
};

} // namespace tessa::platform
