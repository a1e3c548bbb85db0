#include "audio/SpeechSynth.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(SpeechSynth, LooksLikeACallOnAWaveform) {
    tessa::SpeechOptions o;
    o.samples = 6 * 8000;
    o.seed = 21;
    o.voices = 2;
    const auto s = tessa::synthesizeSpeech(o);
    ASSERT_EQ(s.size(), o.samples);

    int peak = 0;
    for (int16_t v : s)
        peak = std::max(peak, std::abs(int(v)));
    EXPECT_GT(peak, 32767 * 0.4); // about -6 dBFS
    EXPECT_LT(peak, 32767 * 0.6);

    // Loudness per 50 ms window: there are pauses near silence and there is speech.
    int quiet = 0, loud = 0;
    for (size_t w = 0; w + 400 <= s.size(); w += 400) {
        double sum = 0;
        for (size_t i = w; i < w + 400; ++i)
            sum += double(s[i]) * s[i];
        const double rms = std::sqrt(sum / 400);
        quiet += rms < 30;
        loud += rms > 1500;
    }
    EXPECT_GT(quiet, 10);
    EXPECT_GT(loud, 20);

    EXPECT_EQ(tessa::synthesizeSpeech(o), s);
    o.seed = 22;
    EXPECT_NE(tessa::synthesizeSpeech(o), s);
}
