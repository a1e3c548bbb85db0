#pragma once

// A speech-like test signal for demonstration cards and codec tests: voiced syllables from a glottal
// pulse train shaped by formant resonators, grouped into words, phrases and turns with pauses between
// them. Everything follows from the seed, so a card generated twice is the same byte for byte.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessa {

constexpr int kSpeechSampleRate = 8000;

// A small portable generator (SplitMix64): the standard library's distributions differ between
// implementations, and the demo card must not.
class SeededRandom {
public:
    explicit SeededRandom(uint64_t seed) : state_(seed) {}

    uint64_t next();
    double unit();                           // [0, 1)
    double uniform(double low, double high); // [low, high)
    int range(int low, int high);            // low..high inclusive
    bool chance(double probability) { return unit() < probability; }

private:
    uint64_t state_;
};

struct SpeechOptions {
    uint32_t seed = 1;
    size_t samples = kSpeechSampleRate;
    // 2: a lower and a higher voice take turns, the second quieter like the far end of a line.
    int voices = 1;
};

// 16-bit mono at 8000 Hz. Peaks lie near -6 dBFS; pauses hold only a faint noise floor.
std::vector<int16_t> synthesizeSpeech(const SpeechOptions& options);

} // namespace tessa
