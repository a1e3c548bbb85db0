#include "audio/SpeechSynth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace tessa {

uint64_t SeededRandom::next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double SeededRandom::unit() {
    return double(next() >> 11) * 0x1.0p-53;
}

double SeededRandom::uniform(double low, double high) {
    return low + (high - low) * unit();
}

int SeededRandom::range(int low, int high) {
    return low + int(next() % uint64_t(int64_t(high) - low + 1));
}

// Named rather than anonymous: the library is built in unity batches, where anonymous namespaces of
// different files merge.
namespace speech_internal {

constexpr double kRate = kSpeechSampleRate;
constexpr double kPi = std::numbers::pi;

struct Vowel {
    double f1, f2, f3;
};

// Formant frequencies of a few vowels of an adult male speaker.
constexpr std::array<Vowel, 7> kVowels = {{
    {730, 1090, 2440}, // a
    {530, 1840, 2480}, // e
    {270, 2290, 3010}, // i
    {570, 840, 2410},  // o
    {300, 870, 2240},  // u
    {500, 1500, 2500}, // schwa
    {660, 1720, 2410}, // ae
}};

struct Voice {
    double pitch;        // Hz, centre of the pitch range
    double formantScale; // shorter vocal tract, higher formants
    double gain;
};

enum class Onset { None, Burst, Fricative };

struct Syllable {
    size_t start;  // first sample
    size_t onset;  // samples of consonant noise before the voicing
    size_t voiced; // samples of voicing
    Onset onsetKind;
    const Voice* voice;
    Vowel vowel;
    double pitchFrom, pitchTo;
    double amplitude;
};

// Turns of one or two speakers: phrases of words of syllables, with the pauses that separate them.
std::vector<Syllable> planSyllables(SeededRandom& rng, size_t total, const std::array<Voice, 2>& voices,
                                    int voiceCount) {
    std::vector<Syllable> plan;
    auto ms = [](double milliseconds) { return size_t(milliseconds * kRate / 1000.0); };
    size_t pos = ms(rng.uniform(150, 700));
    int speaker = voiceCount == 2 ? rng.range(0, 1) : 0;
    while (pos < total) {
        const Voice& voice = voices[size_t(speaker)];
        const int phrases = rng.range(1, 3);
        for (int p = 0; p < phrases && pos < total; ++p) {
            const int words = rng.range(2, 7);
            int syllablesLeft = 0;
            for (int w = 0; w < words; ++w)
                syllablesLeft += rng.range(1, 3);
            const int syllablesInPhrase = syllablesLeft;
            // Pitch falls over a phrase and sometimes rises again at its end, as in a question.
            const double high = voice.pitch * rng.uniform(1.05, 1.3);
            const double low = voice.pitch * rng.uniform(0.75, 0.92);
            const bool question = rng.chance(0.2);
            for (int w = 0; w < words && pos < total; ++w) {
                const int syllables = rng.range(1, 3);
                const int stressed = rng.range(0, syllables - 1);
                for (int s = 0; s < syllables && pos < total; ++s) {
                    Syllable syl{};
                    syl.start = pos;
                    const size_t length = ms(rng.uniform(100, 300));
                    const double roll = rng.unit();
                    syl.onsetKind = roll < 0.35 ? Onset::None : roll < 0.7 ? Onset::Burst : Onset::Fricative;
                    const size_t onset = syl.onsetKind == Onset::None    ? 0
                                         : syl.onsetKind == Onset::Burst ? ms(rng.uniform(10, 25))
                                                                         : ms(rng.uniform(40, 90));
                    syl.onset = std::min(length / 2, onset);
                    syl.voiced = length - syl.onset;
                    syl.voice = &voice;
                    syl.vowel = kVowels[size_t(rng.range(0, int(kVowels.size()) - 1))];
                    const double progress = 1.0 - double(syllablesLeft) / syllablesInPhrase;
                    const double along = low + (high - low) * (1.0 - progress);
                    const double lift = question && syllablesLeft <= 2 ? 1.25 : 1.0;
                    syl.pitchFrom = std::clamp(along * lift * rng.uniform(0.94, 1.06), 90.0, 220.0);
                    syl.pitchTo = std::clamp(syl.pitchFrom * rng.uniform(0.9, 1.08), 90.0, 220.0);
                    syl.amplitude =
                        voice.gain * (s == stressed ? rng.uniform(0.8, 1.0) : rng.uniform(0.4, 0.75));
                    plan.push_back(syl);
                    pos += syl.onset + syl.voiced;
                    --syllablesLeft;
                }
                pos += rng.chance(0.3) ? 0 : ms(rng.uniform(30, 140));
            }
            pos += ms(rng.uniform(250, 750));
        }
        // Between turns the other party speaks, or, alone, the speaker pauses longer.
        pos += ms(voiceCount == 2 ? rng.uniform(200, 800) : rng.uniform(400, 1500));
        if (voiceCount == 2)
            speaker = 1 - speaker;
    }
    return plan;
}

// Two-pole resonator (impulse-invariant, unity gain at 0 Hz).
struct Resonator {
    double a = 1, b = 0, c = 0;
    double y1 = 0, y2 = 0;

    void tune(double frequency, double bandwidth) {
        const double r = std::exp(-kPi * bandwidth / kRate);
        c = -r * r;
        b = 2 * r * std::cos(2 * kPi * frequency / kRate);
        a = 1 - b - c;
    }
    double step(double x) {
        const double y = a * x + b * y1 + c * y2;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// Glottal flow over one pitch period (phase 0..1): a smooth opening, a quicker closing, then closed.
double glottalFlowExact(double phase) {
    constexpr double rise = 0.4;
    constexpr double fall = 0.16;
    if (phase < rise)
        return 0.5 * (1 - std::cos(kPi * phase / rise));
    if (phase < rise + fall)
        return std::cos(0.5 * kPi * (phase - rise) / fall);
    return 0;
}

// The shapes are tabulated once: evaluating them per sample dominated the time to write a demo card.
constexpr size_t kTableSteps = 1024;

struct ShapeTables {
    std::array<double, kTableSteps + 1> glottal;
    std::array<double, kTableSteps + 1> raisedCosine; // 0 to 1 over 0..1
};

const ShapeTables& shapes() {
    static const ShapeTables tables = [] {
        ShapeTables t{};
        for (size_t i = 0; i <= kTableSteps; ++i) {
            const double x = double(i) / kTableSteps;
            t.glottal[i] = glottalFlowExact(x);
            t.raisedCosine[i] = 0.5 * (1 - std::cos(kPi * x));
        }
        return t;
    }();
    return tables;
}

double lookup(const std::array<double, kTableSteps + 1>& table, double x) {
    const double pos = std::clamp(x, 0.0, 1.0) * kTableSteps;
    const size_t i = std::min(size_t(pos), kTableSteps - 1);
    return table[i] + (table[i + 1] - table[i]) * (pos - double(i));
}

double glottalFlow(double phase) {
    return lookup(shapes().glottal, phase);
}

double gaussianish(SeededRandom& rng) {
    return (rng.unit() + rng.unit() + rng.unit() - 1.5) * 2.0;
}

// Raised-cosine attack and release around a flat middle.
double envelope(size_t t, size_t length) {
    const size_t attack = std::min<size_t>(length / 3, size_t(0.03 * kRate));
    const size_t release = std::min<size_t>(length / 2, size_t(0.07 * kRate));
    if (t < attack)
        return lookup(shapes().raisedCosine, double(t) / double(attack));
    if (t + release > length)
        return lookup(shapes().raisedCosine, double(length - t) / double(release));
    return 1.0;
}

} // namespace speech_internal

std::vector<int16_t> synthesizeSpeech(const SpeechOptions& options) {
    using namespace speech_internal;
    SeededRandom rng(0x7E55A000ull ^ (uint64_t(options.seed) << 20) ^ options.seed);
    const int voiceCount = options.voices == 2 ? 2 : 1;
    std::array<Voice, 2> voices = {{
        {rng.uniform(100, 135), 1.0, 1.0},
        {rng.uniform(175, 205), 1.14, rng.uniform(0.55, 0.75)},
    }};
    // A single speaker is either voice, at full level.
    if (voiceCount == 1 && rng.chance(0.5)) {
        std::swap(voices[0], voices[1]);
        voices[0].gain = 1.0;
    }

    const size_t total = options.samples;
    const std::vector<Syllable> plan = planSyllables(rng, total, voices, voiceCount);

    std::vector<double> signal(total, 0.0);
    std::array<Resonator, 3> formants;
    std::array<double, 3> current = {500, 1500, 2500};
    std::array<double, 3> target = current;
    constexpr std::array<double, 3> kBandwidths = {80, 100, 160};
    const double glide = 1.0 / (0.025 * kRate); // formants move within about 25 ms
    double phase = 0, previousFlow = 0, vibrato = 1;
    double pitch = voices[0].pitch;
    double hissPrevious = 0;
    double dcIn = 0, dcOut = 0;
    size_t next = 0;

    for (size_t n = 0; n < total; ++n) {
        while (next < plan.size() && plan[next].start + plan[next].onset + plan[next].voiced <= n)
            ++next;
        double excitation = 0, hiss = 0;
        if (next < plan.size() && plan[next].start <= n) {
            const Syllable& syl = plan[next];
            const size_t t = n - syl.start;
            const double scale = syl.voice->formantScale;
            target = {syl.vowel.f1 * scale, syl.vowel.f2 * scale, std::min(syl.vowel.f3 * scale, 3400.0)};
            if (t < syl.onset) {
                const double decay =
                    syl.onsetKind == Onset::Burst ? std::exp(-double(t) / (0.004 * kRate)) : 1.0;
                const double level = syl.onsetKind == Onset::Burst ? 0.5 : 0.12 * envelope(t, syl.onset);
                hiss = gaussianish(rng) * level * decay * syl.amplitude;
            } else {
                const size_t v = t - syl.onset;
                const double along = double(v) / double(syl.voiced);
                const double wanted = syl.pitchFrom + (syl.pitchTo - syl.pitchFrom) * along;
                pitch += (wanted - pitch) * 0.002;
                phase += pitch * vibrato * (1 + 0.004 * gaussianish(rng)) / kRate;
                if (phase >= 1)
                    phase -= 1;
                const double flow = glottalFlow(phase);
                // The radiated sound follows the derivative of the flow; scaling by the period keeps high
                // and low voices equally loud.
                excitation =
                    (flow - previousFlow) * (kRate / pitch) * 0.05 * syl.amplitude * envelope(v, syl.voiced);
                previousFlow = flow;
                hiss = gaussianish(rng) * 0.004 * syl.amplitude * envelope(v, syl.voiced);
            }
        }
        if (n % 16 == 0) {
            vibrato = 1 + 0.012 * std::sin(2 * kPi * 5.3 * double(n) / kRate);
            for (size_t k = 0; k < 3; ++k) {
                current[k] += (target[k] - current[k]) * std::min(1.0, glide * 16);
                formants[k].tune(current[k], kBandwidths[k]);
            }
        }
        double y = excitation;
        for (Resonator& r : formants)
            y = r.step(y);
        // Consonant noise is brightened by a first difference rather than shaped by the vowel.
        y += hiss - 0.7 * hissPrevious;
        hissPrevious = hiss;
        const double blocked = y - dcIn + 0.995 * dcOut;
        dcIn = y;
        dcOut = blocked;
        signal[n] = blocked;
    }

    double peak = 0;
    for (double v : signal)
        peak = std::max(peak, std::abs(v));
    const double wantedPeak = 32767.0 * std::pow(10.0, rng.uniform(-7.0, -5.0) / 20.0);
    const double gain = peak > 0 ? wantedPeak / peak : 0;
    const double noiseFloor = rng.uniform(3, 8);
    std::vector<int16_t> out(total);
    for (size_t n = 0; n < total; ++n) {
        const double v = signal[n] * gain + gaussianish(rng) * noiseFloor;
        out[n] = int16_t(std::clamp(std::lround(v), -32768l, 32767l));
    }
    return out;
}

} // namespace tessa
