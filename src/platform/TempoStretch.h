#pragma once

// Plays 16-bit mono PCM at 8000 samples per second faster or slower without changing its pitch. Samples
// go in at one end and come out, stretched, at the other; a few tens of milliseconds stay inside while
// the stretcher looks for the best place to join its pieces.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace soundtouch {
class SoundTouch;
}

namespace tessa::platform {

class TempoStretch {
public:
    // Speeds in percent of the recording's own pace.
    static constexpr int kSlowest = 50;
    static constexpr int kFastest = 200;

    TempoStretch();
    ~TempoStretch();
    TempoStretch(const TempoStretch&) = delete;
    TempoStretch& operator=(const TempoStretch&) = delete;

    // Takes effect for the samples not yet stretched; clamped to kSlowest..kFastest.
    void setSpeed(int percent);
    int speed() const { return speed_; }

    void put(const int16_t* samples, size_t count);
    // Moves up to `max` stretched samples to `out`; returns how many.
    size_t take(int16_t* out, size_t max);
    // Stretched samples ready to be taken.
    size_t ready() const;
    // Samples put in that have not come out yet, in input samples.
    size_t held() const;
    // Lets out what is held back, as at the end of a stream: it comes out as ready samples and the
    // stretcher is empty afterwards. It may end in a few milliseconds of quiet.
    void drain();
    // Forgets everything put in and not taken.
    void clear();

private:
    std::unique_ptr<soundtouch::SoundTouch> touch_;
    std::vector<float> buffer_; // conversion to and from the stretcher's float samples
    int speed_ = 100;
};

} // namespace tessa::platform
