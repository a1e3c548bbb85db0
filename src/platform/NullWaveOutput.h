#pragma once

// A silent wave output (TESSA_AUDIO=null): it takes as long to play each block as a sound card would,
// so the player behaves as usual on a machine without sound.

#include "platform/WaveOutput.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace tessa::platform {

class NullWaveOutput : public WaveOutput {
public:
    NullWaveOutput() = default;
    ~NullWaveOutput() override;

    WaveResult query(const WaveFormat& format) override;
    WaveResult open(const WaveFormat& format, WaveBlockDone done) override;
    WaveResult write(WaveBlock* block) override;
    WaveResult reset() override;
    WaveResult close() override;
    void setSpeed(int percent) override;

private:
    using Clock = std::chrono::steady_clock;
    void play();
    Clock::duration lengthOf(const WaveBlock* block) const;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<WaveBlock*> queue_;
    WaveFormat format_;
    WaveBlockDone done_;
    bool open_ = false;
    bool quit_ = false;
    int speed_ = 100; // percent
    // When the block at the head of the queue ends; the clock runs on from block to block while the
    // queue is never empty, as a device's would.
    Clock::time_point headEnds_{};
    std::thread player_;
};

} // namespace tessa::platform
