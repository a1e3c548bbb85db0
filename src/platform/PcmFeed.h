#pragma once

// The blocks queued for a device that plays 16-bit PCM, handed out as samples at the chosen speed. At
// 100 % the samples pass untouched; at any other speed they go through the tempo stretcher, so that the
// device plays a recording's second in less (or more) time while every sample of it is still used. A
// block is used up once its last sample went out to the device (or, at another speed, into the
// stretcher); the output then hands it back.
//
// Not thread-safe: the output that holds it keeps it under its own lock.

#include "platform/TempoStretch.h"
#include "platform/WaveOutput.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace tessa::platform {

class PcmFeed {
public:
    static constexpr size_t kBlendSamples = 64; // 8 ms
    void push(WaveBlock* block, std::vector<int16_t> samples);
    // Up to `max` samples for the device into `out`; returns how many. Blocks used up on the way are
    // appended to `used`, in the order they were pushed.
    size_t pull(int16_t* out, size_t max, std::vector<WaveBlock*>& used);
    // The device is about to run dry and nothing is queued: what the stretcher still holds back comes
    // out with the next pull instead of waiting for samples that may never follow (the end of a play).
    void letOutTail();

    // Changes the speed from the next sample on. Leaving the stretcher for 100 % lets out what it holds
    // first, so no sample is lost or played twice and none of it is heard again later; its last
    // kBlendSamples are cross-faded into the untouched samples that follow, which would otherwise rarely
    // meet it at the same point of the wave and click.
    void setSpeed(int percent);
    int speed() const { return speed_; }

    // Drops every sample queued or held; returns the blocks, in order.
    std::vector<WaveBlock*> clear();
    bool hasBlocks() const { return !queue_.empty(); }
    // Recording samples taken from the blocks so far: the same count at every speed.
    uint64_t samplesUsed() const { return used_; }

private:
    struct Queued {
        WaveBlock* block;
        std::vector<int16_t> samples;
        size_t next = 0;
    };

    std::deque<Queued> queue_;
    TempoStretch stretch_;
    // What the stretcher let out on the way back to 100 %; the last `blend_` samples still wait to be
    // faded into the samples that follow.
    std::vector<int16_t> tail_;
    size_t tailNext_ = 0;
    size_t blend_ = 0;
    int speed_ = 100;
    uint64_t used_ = 0;
};

} // namespace tessa::platform
