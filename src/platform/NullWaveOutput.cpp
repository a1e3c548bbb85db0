#include "platform/NullWaveOutput.h"

#include "platform/TempoStretch.h"

#include <algorithm>

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
    if (queue_.empty())
        headEnds_ = Clock::now() + lengthOf(block);
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

// A block takes as long as it would on a device playing at the speed.
NullWaveOutput::Clock::duration NullWaveOutput::lengthOf(const WaveBlock* block) const {
    return std::chrono::microseconds(uint64_t(block->length) * 1000000 * 100 /
                                     (uint64_t(format_.averageBytesPerSecond) * uint64_t(speed_)));
}

void NullWaveOutput::setSpeed(int percent) {
    std::lock_guard lock(mutex_);
    percent = std::clamp(percent, TempoStretch::kSlowest, TempoStretch::kFastest);
    if (percent == speed_)
        return;
    // The rest of the block being played goes at the new pace.
    if (!queue_.empty()) {
        const auto now = Clock::now();
        const auto left = std::max(headEnds_ - now, Clock::duration::zero());
        headEnds_ = now + left * speed_ / percent;
        changed_.notify_all();
    }
    speed_ = percent;
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
        if (!queue_.empty())
            headEnds_ += lengthOf(queue_.front());
        WaveBlockDone done = done_;
        lock.unlock();
        done(block);
        lock.lock();
    }
}

} // namespace tessa::platform
