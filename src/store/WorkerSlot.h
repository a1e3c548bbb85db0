#pragma once

// The handle of a worker that runs at most once at a time. Its owner keeps one slot per kind of worker;
// the thread object is the marker that the worker runs.

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace tessa {

class WorkerSlot {
public:
    WorkerSlot() = default;
    WorkerSlot(const WorkerSlot&) = delete;
    WorkerSlot& operator=(const WorkerSlot&) = delete;
    ~WorkerSlot() { join(); }

    // Runs body on a new thread. The owner starts a worker only once the previous one has given up its
    // work (its own flag tells), so joining that one first waits at most for its return. False when the
    // thread cannot be created.
    bool start(std::function<void()> body);
    // From start until the body has returned.
    bool running() const { return running_.load(); }
    // Waits for the worker to end; never call it from the worker itself.
    void join();

private:
    std::mutex mutex_; // guards thread_: the owner's threads start and join workers
    std::thread thread_;
    std::atomic<bool> running_{false};
};

} // namespace tessa
