#include "platform/NullWaveOutput.h"

namespace tessa::platform {

NullWaveOutput::~NullWaveOutput() {
    reset();
    close();
}

WaveResult NullWaveOutput::query(const WaveFormat& format) {
    return format.averageBytesPerSecond > 0 ? WaveResult::Ok : WaveResult::BadFormat;
}

WaveResult NullWaveOutput::open(const WaveFormat& format, WaveBlockDone done) {
    if (query(format) != WaveResult::Ok)
        return WaveResult::BadFormat;
    std::lock_guard lock(mutex_);
    if (open_)
        return WaveResult::AlreadyOpen;
    format_ = format;
    done_ = std::move(done);
    open_ = true;
    quit_ = false;
    player_ = std::thread(&NullWaveOutput::play, this);
    return WaveResult::Ok;
}

WaveResult NullWaveOutput::write(WaveBlock* block) {
    std::lock_guard lock(mutex_);
    if (!open_)
        return WaveResult::NotOpen;
    const auto length =
        std::chrono::microseconds(uint64_t(block->length) * 1000000 / format_.averageBytesPerSecond);
    if (queue_.empty())
        headEnds_ = Clock::now() + length;
    queue_.push_back(block);
    changed_.notify_all();
    return WaveResult::Ok;
}

WaveResult NullWaveOutput::reset() {
    std::deque<WaveBlock*> blocks;
    WaveBlockDone done;
    {
        std::lock_guard lock(mutex_);
        if (!open_)
            return WaveResult::NotOpen;
        blocks.swap(queue_);
        done = done_;
        changed_.notify_all();
    }
    for (WaveBlock* b : blocks)
        done(b);
    return WaveResult::Ok;
}

WaveResult NullWaveOutput::close() {
    {
        std::lock_guard lock(mutex_);
        if (!open_)
            return WaveResult::NotOpen;
        if (!queue_.empty())
            return WaveResult::StillPlaying;
        open_ = false;
        quit_ = true;
        changed_.notify_all();
    }
    player_.join();
    done_ = nullptr;
    return WaveResult::Ok;
}

void NullWaveOutput::play() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (queue_.empty()) {
            changed_.wait(lock);
            continue;
        }
        if (changed_.wait_until(lock, headEnds_) == std::cv_status::no_timeout)
            continue; // something changed: look again
        if (queue_.empty())
            continue;
        WaveBlock* block = queue_.front();
        queue_.pop_front();
        if (!queue_.empty()) {
            const auto next = std::chrono::microseconds(uint64_t(queue_.front()->length) * 1000000 /
                                                        format_.averageBytesPerSecond);
            headEnds_ += next;
        }
        WaveBlockDone done = done_;
        lock.unlock();
        done(block);
        lock.lock();
    }
}

} // namespace tessa::platform
