#include "platform/TempoStretch.h"

#include <algorithm>
#include <cmath>
#include <SoundTouch.h>

namespace tessa::platform {

// Named rather than anonymous: libraries may be built in unity batches, where anonymous namespaces of
// different files merge.
namespace tempo_stretch_internal {

constexpr unsigned kSampleRate = 8000;
// Pieces of 40 ms joined over 8 ms, searched within 15 ms: the lengths that suit speech, where the
// library's automatic choice (tuned for music) lets syllables echo at the fast steps.
constexpr int kSequenceMs = 40;
constexpr int kSeekWindowMs = 15;
constexpr int kOverlapMs = 8;
// Conversion goes through a buffer of this many samples at a time.
constexpr size_t kChunk = 1024;

int16_t toSample(float v) {
    return int16_t(std::clamp(std::lround(v * 32768.0f), -32768L, 32767L));
}

} // namespace tempo_stretch_internal

using namespace tempo_stretch_internal;

TempoStretch::TempoStretch() : touch_(std::make_unique<soundtouch::SoundTouch>()), buffer_(kChunk) {
    touch_->setSampleRate(kSampleRate);
    touch_->setChannels(1);
    touch_->setSetting(SETTING_SEQUENCE_MS, kSequenceMs);
    touch_->setSetting(SETTING_SEEKWINDOW_MS, kSeekWindowMs);
    touch_->setSetting(SETTING_OVERLAP_MS, kOverlapMs);
    touch_->setTempo(1.0);
}

TempoStretch::~TempoStretch() = default;

void TempoStretch::setSpeed(int percent) {
    speed_ = std::clamp(percent, kSlowest, kFastest);
    touch_->setTempo(speed_ / 100.0);
}

void TempoStretch::put(const int16_t* samples, size_t count) {
    while (count > 0) {
        const size_t n = std::min(count, kChunk);
        for (size_t i = 0; i < n; ++i)
            buffer_[i] = float(samples[i]) / 32768.0f;
        touch_->putSamples(buffer_.data(), unsigned(n));
        samples += n;
        count -= n;
    }
}

size_t TempoStretch::take(int16_t* out, size_t max) {
    size_t taken = 0;
    while (taken < max) {
        const unsigned got = touch_->receiveSamples(buffer_.data(), unsigned(std::min(max - taken, kChunk)));
        if (got == 0)
            break;
        for (unsigned i = 0; i < got; ++i)
            out[taken + i] = toSample(buffer_[i]);
        taken += got;
    }
    return taken;
}

size_t TempoStretch::ready() const {
    return touch_->numSamples();
}

size_t TempoStretch::held() const {
    return touch_->numUnprocessedSamples();
}

void TempoStretch::drain() {
    touch_->flush();
}

void TempoStretch::clear() {
    touch_->clear();
}

} // namespace tessa::platform
