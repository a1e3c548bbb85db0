#include "store/WorkerSlot.h"

#include <system_error>

namespace tessa {

bool WorkerSlot::start(std::function<void()> body) {
    std::lock_guard lock(mutex_);
    if (thread_.joinable())
        thread_.join();
    running_ = true;
    try {
        thread_ = std::thread([this, body = std::move(body)] {
            body();
            running_ = false;
        });
    } catch (const std::system_error&) {
        running_ = false;
        return false;
    }
    return true;
}

void WorkerSlot::join() {
    std::thread worker;
    {
        std::lock_guard lock(mutex_);
        worker = std::move(thread_);
    }
    if (worker.joinable())
        worker.join();
}

} // namespace tessa
