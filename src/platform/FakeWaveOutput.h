#pragma once

// A wave output for tests: it plays blocks in simulated time that the test advances, can refuse
// formats, and can hold the engine's callback thread inside unprepare() to play a stalled device.

#include "platform/WaveOutput.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>

namespace tessa::platform {

class FakeWaveOutput : public WaveOutput {
public:
    WaveResult query(const WaveFormat& format) override;
    WaveResult open(const WaveFormat& format, WaveBlockDone done) override;
    WaveResult write(WaveBlock* block) override;
    void unprepare(WaveBlock* block) override;
    WaveResult reset() override;
    WaveResult close() override;
    // Plays in simulated time at the speed: at 200 a block lasts half its length.
    void setSpeed(int percent) override;

    // Controls.
    void refuseFormat(uint16_t formatTag);
    void failWrites(bool fail);
    // Plays for the given simulated time; blocks that finish are handed back in order.
    void advance(std::chrono::microseconds elapsed);
    // While stalled, unprepare() blocks the calling thread until the stall is lifted.
    void setStalled(bool stalled);

    // Observations.
    bool isOpen() const;
    WaveFormat format() const;
    size_t queuedBlocks() const;
    size_t handedBack() const;
    size_t unprepared() const;
    int stalledCallers() const;
    int resets() const;
    int speed() const;
    // Bytes of every block that played to its end, in order.
    std::vector<uint8_t> played() const;

private:
    struct Queued {
        WaveBlock* block;
        std::chrono::microseconds left;
    };
    std::chrono::microseconds durationOf(const WaveBlock* block) const;
    void handBack(std::deque<Queued>& blocks);

    mutable std::mutex mutex_;
    std::condition_variable stallLifted_;
    std::set<uint16_t> refused_;
    bool failWrites_ = false;
    bool open_ = false;
    bool stalled_ = false;
    WaveFormat format_;
    WaveBlockDone done_;
    std::deque<Queued> queue_;
    std::vector<uint8_t> played_;
    size_t handedBack_ = 0;
    size_t unprepared_ = 0;
    int stalledCallers_ = 0;
    int resets_ = 0;
    int speed_ = 100;
};

} // namespace tessa::platform
