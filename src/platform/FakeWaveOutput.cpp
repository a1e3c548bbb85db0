#include "platform/FakeWaveOutput.h"

#include "platform/TempoStretch.h"

#include <algorithm>

namespace tessa::platform {

WaveResult FakeWaveOutput::query(const WaveFormat& format) {
    std::lock_guard lock(mutex_);
    return refused_.count(format.formatTag) ? WaveResult::BadFormat : WaveResult::Ok;
}

WaveResult FakeWaveOutput::open(const WaveFormat& format, WaveBlockDone done) {
    std::lock_guard lock(mutex_);
    if (refused_.count(format.formatTag))
        return WaveResult::BadFormat;
    if (open_)
        return WaveResult::AlreadyOpen;
    open_ = true;
    format_ = format;
    done_ = std::move(done);
    return WaveResult::Ok;
}

WaveResult FakeWaveOutput::write(WaveBlock* block) {
    std::lock_guard lock(mutex_);
    if (!open_)
        return WaveResult::NotOpen;
    if (failWrites_)
        return WaveResult::Failed;
    queue_.push_back({block, durationOf(block)});
    return WaveResult::Ok;
}

void FakeWaveOutput::unprepare(WaveBlock*) {
    std::unique_lock lock(mutex_);
    if (stalled_) {
        ++stalledCallers_;
        stallLifted_.wait(lock, [this] { return !stalled_; });
        --stalledCallers_;
    }
    ++unprepared_;
}

WaveResult FakeWaveOutput::reset() {
    std::deque<Queued> blocks;
    {
        std::lock_guard lock(mutex_);
        if (!open_)
            return WaveResult::NotOpen;
        ++resets_;
        blocks.swap(queue_);
    }
    handBack(blocks);
    return WaveResult::Ok;
}

WaveResult FakeWaveOutput::close() {
    std::lock_guard lock(mutex_);
    if (!open_)
        return WaveResult::NotOpen;
    if (!queue_.empty())
        return WaveResult::StillPlaying;
    open_ = false;
    done_ = nullptr;
    return WaveResult::Ok;
}

void FakeWaveOutput::setSpeed(int percent) {
    std::lock_guard lock(mutex_);
    percent = std::clamp(percent, TempoStretch::kSlowest, TempoStretch::kFastest);
    // What is still to play of each queued block goes at the new pace.
    for (Queued& q : queue_)
        q.left = q.left * speed_ / percent;
    speed_ = percent;
}

void FakeWaveOutput::refuseFormat(uint16_t formatTag) {
    std::lock_guard lock(mutex_);
    refused_.insert(formatTag);
}

void FakeWaveOutput::failWrites(bool fail) {
    std::lock_guard lock(mutex_);
    failWrites_ = fail;
}

void FakeWaveOutput::advance(std::chrono::microseconds elapsed) {
    std::deque<Queued> finished;
    {
        std::lock_guard lock(mutex_);
        while (!queue_.empty() && queue_.front().left <= elapsed) {
            elapsed -= queue_.front().left;
            const WaveBlock* b = queue_.front().block;
            played_.insert(played_.end(), b->data, b->data + b->length);
            finished.push_back(queue_.front());
            queue_.pop_front();
        }
        if (!queue_.empty())
            queue_.front().left -= elapsed;
    }
    handBack(finished);
}

void FakeWaveOutput::setStalled(bool stalled) {
    {
        std::lock_guard lock(mutex_);
        stalled_ = stalled;
    }
    stallLifted_.notify_all();
}

// Outside the lock: the completion function may come straight back into unprepare().
void FakeWaveOutput::handBack(std::deque<Queued>& blocks) {
    WaveBlockDone done;
    {
        std::lock_guard lock(mutex_);
        done = done_;
        handedBack_ += blocks.size();
    }
    for (const Queued& q : blocks)
        if (done)
            done(q.block);
}

std::chrono::microseconds FakeWaveOutput::durationOf(const WaveBlock* block) const {
    const uint64_t rate = format_.averageBytesPerSecond ? format_.averageBytesPerSecond : 1;
    return std::chrono::microseconds(uint64_t(block->length) * 1000000 * 100 / (rate * uint64_t(speed_)));
}

bool FakeWaveOutput::isOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}
WaveFormat FakeWaveOutput::format() const {
    std::lock_guard lock(mutex_);
    return format_;
}
size_t FakeWaveOutput::queuedBlocks() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}
size_t FakeWaveOutput::handedBack() const {
    std::lock_guard lock(mutex_);
    return handedBack_;
}
size_t FakeWaveOutput::unprepared() const {
    std::lock_guard lock(mutex_);
    return unprepared_;
}
int FakeWaveOutput::stalledCallers() const {
    std::lock_guard lock(mutex_);
    return stalledCallers_;
}
int FakeWaveOutput::resets() const {
    std::lock_guard lock(mutex_);
    return resets_;
}
int FakeWaveOutput::speed() const {
    std::lock_guard lock(mutex_);
    return speed_;
}
std::vector<uint8_t> FakeWaveOutput::played() const {
    std::lock_guard lock(mutex_);
    return played_;
}

} // namespace tessa::platform
