#include "platform/WorkerSlot.h"

#include <condition_variable>
#include <system_error>

namespace tessa::platform {

namespace worker_slot_internal {
std::atomic<int> abandonedWorkers{0};
} // namespace worker_slot_internal

// One run of a body, shared by the slot and its thread, so that a worker let go can still finish and say
// that it did after its slot is gone.
struct WorkerSlot::Run {
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable endedChanged;
    std::atomic<bool> ended{false}; // written under mutex
    bool abandoned = false;         // under mutex

    bool waitEnded(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex);
        return endedChanged.wait_for(lock, limit, [this] { return ended.load(); });
    }
};

WorkerSlot::~WorkerSlot() {
    {
        std::lock_guard lock(mutex_);
        // The last capture of a body may own the slot: then the body has returned, and its thread ends
        // right after this.
        if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();
            run_.reset();
            return;
        }
    }
    stop();
}

int WorkerSlot::abandonedRunning() {
    return worker_slot_internal::abandonedWorkers.load();
}

bool WorkerSlot::running() const {
    std::lock_guard lock(mutex_);
    return run_ && !run_->ended;
}

bool WorkerSlot::letGoRunning() const {
    std::lock_guard lock(mutex_);
    return letGo_ && !letGo_->ended;
}

void WorkerSlot::requestStop() {
    std::lock_guard lock(mutex_);
    if (run_)
        run_->stop = true;
}

bool WorkerSlot::waitLocked(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds limit) {
    while (run_) {
        const std::shared_ptr<Run> run = run_;
        lock.unlock();
        const bool ended = run->waitEnded(limit);
        lock.lock();
        if (!ended)
            return false;
        if (run_ == run) {
            // It has returned: the join only waits for the thread to wind down.
            if (thread_.joinable())
                thread_.join();
            run_.reset();
        }
        // Another thread may have started a run meanwhile; that one is waited for too.
    }
    return true;
}

bool WorkerSlot::wait(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return waitLocked(lock, limit);
}

bool WorkerSlot::stop(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    if (!run_)
        return true;
    run_->stop = true;
    const std::shared_ptr<Run> run = run_;
    lock.unlock();
    const bool ended = run->waitEnded(limit);
    lock.lock();
    if (run_ != run)
        return ended; // joined or let go by another caller meanwhile
    {
        std::lock_guard runLock(run->mutex);
        if (!run->ended) {
            // A thread cannot be ended from outside safely; it owns its run and body and may finish
            // whenever it gets unstuck.
            run->abandoned = true;
            ++worker_slot_internal::abandonedWorkers;
            thread_.detach();
            letGo_ = std::move(run_);
            return false;
        }
    }
    if (thread_.joinable())
        thread_.join();
    run_.reset();
    return true;
}

bool WorkerSlot::launch(Task task) {
    std::unique_lock lock(mutex_);
    if (!waitLocked(lock, kCloseWait))
        return false;
    auto run = std::make_shared<Run>();
    try {
        thread_ = std::thread([run, task = std::move(task)]() mutable {
            task(run->stop);
            task = nullptr; // the captures go before the run counts as ended
            {
                std::lock_guard runLock(run->mutex);
                run->ended = true;
                if (run->abandoned)
                    --worker_slot_internal::abandonedWorkers;
            }
            run->endedChanged.notify_all();
        });
    } catch (const std::system_error&) {
        return false;
    }
    run_ = std::move(run);
    return true;
}

} // namespace tessa::platform
