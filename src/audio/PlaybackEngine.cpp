#include "audio/PlaybackEngine.h"

#include "platform/TempoStretch.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>

namespace tessa {

// Named rather than anonymous: the library is built in unity batches, where anonymous namespaces of
// different files merge.
namespace engine_internal {

// A block as the engine queues it: the output sees only the WaveBlock part.
struct QueuedBlock : platform::WaveBlock {
    std::unique_ptr<uint8_t[]> copy;
    std::shared_ptr<std::atomic<int32_t>> pending;
};

// The end of every block: the output lets go of it, it stops counting as pending, its memory goes.
void freeBlock(platform::WaveOutput* output, platform::WaveBlock* block) {
    auto* queued = static_cast<QueuedBlock*>(block);
    output->unprepare(block);
    queued->pending->fetch_sub(1);
    delete queued;
}

} // namespace engine_internal

// The callback thread's message queue. Shared by the engine, the output's completion function and the
// thread itself, so that a thread given up by close() can still finish its work safely.
struct PlaybackEngine::Channel {
    explicit Channel(std::shared_ptr<platform::WaveOutput> out) : output(std::move(out)) {}

    struct Message {
        platform::WaveBlock* block = nullptr; // null: quit
    };

    std::shared_ptr<platform::WaveOutput> output;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Message> messages;
    bool accepting = true; // cleared when the thread ends
    std::atomic<bool> finished{false};

    void finishBlock(platform::WaveBlock* block) { engine_internal::freeBlock(output.get(), block); }

    // A block the output hands back. Once the thread has ended nobody would free it, so it is freed
    // where it arrives.
    void post(platform::WaveBlock* block) {
        {
            std::lock_guard lock(mutex);
            if (accepting) {
                messages.push_back({block});
                wake.notify_one();
                return;
            }
        }
        finishBlock(block);
    }

    void postQuit() {
        std::lock_guard lock(mutex);
        messages.push_back({nullptr});
        wake.notify_one();
    }

    static void run(std::shared_ptr<Channel> self) {
        for (;;) {
            Message m;
            {
                std::unique_lock lock(self->mutex);
                self->wake.wait(lock, [&] { return !self->messages.empty(); });
                m = self->messages.front();
                self->messages.pop_front();
                if (!m.block) {
                    // Blocks handed back after the quit message are freed here rather than lost.
                    self->accepting = false;
                    std::deque<Message> rest;
                    rest.swap(self->messages);
                    lock.unlock();
                    for (const Message& late : rest)
                        if (late.block)
                            self->finishBlock(late.block);
                    self->finished = true;
                    return;
                }
            }
            self->finishBlock(m.block);
        }
    }
};

PlaybackEngine::PlaybackEngine(std::shared_ptr<platform::WaveOutput> output)
    : output_(std::move(output)), pending_(std::make_shared<std::atomic<int32_t>>(0)) {}

PlaybackEngine::~PlaybackEngine() {
    if (deviceHeld_)
        reset();
    close();
}

int32_t PlaybackEngine::pendingCount() const {
    return pending_->load();
}

int PlaybackEngine::abandonedCallbackThreads() const {
    int running = 0;
    for (const auto& channel : abandoned_)
        running += channel->finished ? 0 : 1;
    return running;
}

bool PlaybackEngine::startCallbackThread() {
    if (threadRunning_)
        return false;
    auto channel = std::make_shared<Channel>(output_);
    try {
        thread_ = std::thread(&Channel::run, channel);
    } catch (const std::system_error&) {
        return false;
    }
    channel_ = std::move(channel);
    threadRunning_ = true;
    return true;
}

void PlaybackEngine::stopCallbackThread() {
    if (!threadRunning_)
        return;
    channel_->postQuit();
    for (int poll = 0; poll < kStopPolls && !channel_->finished; ++poll)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (channel_->finished) {
        thread_.join();
    } else {
        // A thread cannot be ended from outside safely. It owns its share of the queue and the output,
        // so it may finish whenever it gets unstuck; until then it is only counted.
        thread_.detach();
        abandoned_.push_back(channel_);
    }
    std::erase_if(abandoned_, [](const auto& c) { return bool(c->finished); });
    channel_.reset();
    threadRunning_ = false;
}

bool PlaybackEngine::open(int mode) {
    mode_ = mode;
    if (!startCallbackThread())
        return false;
    const auto fail = [this] {
        stopCallbackThread();
        return false;
    };
    if (open_)
        return fail();
    const auto format = waveFormatForMode(mode);
    if (format) {
        lastResult_ = output_->query(*format);
        if (lastResult_ != platform::WaveResult::Ok)
            return fail();
        // The output keeps only a weak reference: the channel owns the output, not the other way round.
        std::weak_ptr<Channel> weak = channel_;
        platform::WaveOutput* output = output_.get();
        lastResult_ = output_->open(*format, [weak, output](platform::WaveBlock* block) {
            if (const auto channel = weak.lock())
                channel->post(block);
            else
                engine_internal::freeBlock(output, block);
        });
        if (lastResult_ != platform::WaveResult::Ok)
            return fail();
        deviceHeld_ = true;
    }
    open_ = true;
    pending_ = std::make_shared<std::atomic<int32_t>>(0);
    return true;
}

void PlaybackEngine::close() {
    if (open_ && deviceHeld_) {
        lastResult_ = output_->close();
        if (lastResult_ == platform::WaveResult::Ok) {
            deviceHeld_ = false;
            open_ = false;
        }
    } else if (open_) {
        // Opened for a mode without a device: nothing refuses, and leaving the flag set would make
        // every later open fail.
        open_ = false;
    }
    stopCallbackThread();
}

bool PlaybackEngine::write(const uint8_t* bytes, size_t length) {
    if (!open_)
        return false;
    if (pending_->load() > kMaxPending)
        return true;
    if (!deviceHeld_) {
        lastResult_ = platform::WaveResult::NotOpen;
        return false;
    }
    if (length > UINT32_MAX) {
        lastResult_ = platform::WaveResult::Failed;
        return false;
    }
    std::unique_ptr<engine_internal::QueuedBlock> block(new (std::nothrow) engine_internal::QueuedBlock);
    if (!block)
        return false;
    block->copy.reset(new (std::nothrow) uint8_t[length ? length : 1]);
    if (!block->copy)
        return false;
    if (length)
        std::memcpy(block->copy.get(), bytes, length);
    block->data = block->copy.get();
    block->length = uint32_t(length);
    block->pending = pending_;
    // Counted before the output sees it: the block may come back before write() returns.
    pending_->fetch_add(1);
    lastResult_ = output_->write(block.get());
    if (lastResult_ != platform::WaveResult::Ok) {
        pending_->fetch_sub(1);
        return false;
    }
    block.release();
    return true;
}

void PlaybackEngine::setSpeed(int percent) {
    speed_ = std::clamp(percent, platform::TempoStretch::kSlowest, platform::TempoStretch::kFastest);
    output_->setSpeed(speed_);
}

bool PlaybackEngine::reset() {
    if (!deviceHeld_) {
        lastResult_ = platform::WaveResult::NotOpen;
        return false;
    }
    lastResult_ = output_->reset();
    return lastResult_ == platform::WaveResult::Ok;
}

} // namespace tessa
