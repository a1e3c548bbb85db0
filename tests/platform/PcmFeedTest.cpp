// The samples on their way to a PCM device at another speed: every recording sample is used at every
// speed, the device gets fewer (or more) of them at the same pitch, 100 % passes them untouched, and a
// change of speed or a reset neither loses, repeats nor leaves behind stale samples.

#include "platform/PcmFeed.h"

#include "platform/TempoStretch.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

// Helpers live in a named namespace: test files may be compiled in unity batches.
namespace pcm_feed_test {

using namespace tessa::platform;

constexpr int kRate = 8000;
constexpr double kAmplitude = 8000;

std::vector<int16_t> tone(double hz, size_t samples, size_t phase = 0) {
    std::vector<int16_t> out(samples);
    for (size_t i = 0; i < samples; ++i)
        out[i] = int16_t(
            std::lround(kAmplitude * std::sin(2 * std::numbers::pi * hz * double(i + phase) / kRate)));
    return out;
}

// Sign changes per second: twice the frequency of a pure tone.
double crossingsPerSecond(const std::vector<int16_t>& s) {
    int crossings = 0;
    for (size_t i = 1; i < s.size(); ++i)
        crossings += (s[i - 1] < 0) != (s[i] < 0) ? 1 : 0;
    return s.empty() ? 0 : crossings * double(kRate) / double(s.size());
}

// The largest step from one sample to the next: a click shows as a step no tone of this pitch makes.
int largestStep(const std::vector<int16_t>& s) {
    int step = 0;
    for (size_t i = 1; i < s.size(); ++i)
        step = std::max(step, std::abs(int(s[i]) - int(s[i - 1])));
    return step;
}

// Pulls the feed dry in pieces of `piece` samples, the way a sound sink asks for room.
std::vector<int16_t> pullAll(PcmFeed& feed, std::vector<WaveBlock*>& used, size_t piece = 333) {
    std::vector<int16_t> out;
    std::vector<int16_t> buffer(piece);
    for (;;) {
        const size_t n = feed.pull(buffer.data(), piece, used);
        if (n == 0) {
            if (!feed.hasBlocks()) {
                feed.letOutTail();
                const size_t tail = feed.pull(buffer.data(), piece, used);
                if (tail == 0)
                    return out;
                out.insert(out.end(), buffer.begin(), buffer.begin() + long(tail));
                continue;
            }
            return out; // would be a feed that holds blocks but gives nothing: caught by the callers
        }
        out.insert(out.end(), buffer.begin(), buffer.begin() + long(n));
    }
}

TEST(TempoStretch, ChangesTheLengthByTheSpeedAndKeepsThePitch) {
    const auto in = tone(1000, 10 * kRate);
    for (int speed : {50, 75, 125, 150, 200}) {
        SCOPED_TRACE(speed);
        TempoStretch stretch;
        stretch.setSpeed(speed);
        EXPECT_EQ(stretch.speed(), speed);
        std::vector<int16_t> out;
        std::vector<int16_t> buffer(4096);
        for (size_t at = 0; at < in.size(); at += 800) {
            stretch.put(in.data() + at, 800);
            while (const size_t n = stretch.take(buffer.data(), buffer.size()))
                out.insert(out.end(), buffer.begin(), buffer.begin() + long(n));
        }
        EXPECT_GT(stretch.held(), 0u) << "the stretcher holds back some input while it searches";
        stretch.drain();
        EXPECT_EQ(stretch.held(), 0u);
        while (const size_t n = stretch.take(buffer.data(), buffer.size()))
            out.insert(out.end(), buffer.begin(), buffer.begin() + long(n));
        const double expected = double(in.size()) * 100 / speed;
        EXPECT_NEAR(double(out.size()), expected, expected * 0.02);
        // A 1 kHz tone stays a 1 kHz tone: a resampling speed-up would double it at 200 %.
        EXPECT_NEAR(crossingsPerSecond(out), 2000, 40);
    }
    TempoStretch clamped;
    clamped.setSpeed(400);
    EXPECT_EQ(clamped.speed(), TempoStretch::kFastest);
    clamped.setSpeed(10);
    EXPECT_EQ(clamped.speed(), TempoStretch::kSlowest);
}

TEST(PcmFeed, AtNormalSpeedPassesEverySampleUntouchedAndHandsBlocksBackWhenTheirLastSampleWentOut) {
    PcmFeed feed;
    WaveBlock blocks[3];
    std::vector<int16_t> all;
    const size_t sizes[] = {1000, 1, 2500};
    for (int i = 0; i < 3; ++i) {
        std::vector<int16_t> samples = tone(437 + 100 * i, sizes[i], all.size());
        all.insert(all.end(), samples.begin(), samples.end());
        feed.push(&blocks[i], std::move(samples));
    }
    std::vector<WaveBlock*> used;
    std::vector<int16_t> out(999);
    EXPECT_EQ(feed.pull(out.data(), 999, used), 999u);
    EXPECT_TRUE(used.empty()) << "one sample of the first block has not gone out yet";
    EXPECT_EQ(feed.pull(out.data() + 0, 1, used), 1u);
    EXPECT_EQ(used, (std::vector<WaveBlock*>{&blocks[0]}));
    used.clear();
    const std::vector<int16_t> rest = pullAll(feed, used);
    EXPECT_EQ(used, (std::vector<WaveBlock*>{&blocks[1], &blocks[2]}));
    ASSERT_EQ(rest.size(), all.size() - 1000);
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), all.begin() + 1000)) << "not bit-identical at 100 %";
    EXPECT_EQ(feed.samplesUsed(), all.size());
    EXPECT_FALSE(feed.hasBlocks());
}

TEST(PcmFeed, UsesEveryRecordingSampleAtEverySpeedAndPlaysThemInTheirShareOfTime) {
    // Four recording seconds, one block each, as the player hands them over.
    for (int speed : {50, 75, 100, 125, 150, 200}) {
        SCOPED_TRACE(speed);
        PcmFeed feed;
        feed.setSpeed(speed);
        EXPECT_EQ(feed.speed(), speed);
        WaveBlock blocks[4];
        for (size_t s = 0; s < 4; ++s)
            feed.push(&blocks[s], tone(1000, kRate, s * kRate));
        std::vector<WaveBlock*> used;
        const std::vector<int16_t> out = pullAll(feed, used);
        EXPECT_EQ(feed.samplesUsed(), uint64_t(4 * kRate));
        EXPECT_EQ(used.size(), 4u);
        const double expected = 4.0 * kRate * 100 / speed;
        EXPECT_NEAR(double(out.size()), expected, expected * 0.02);
        EXPECT_NEAR(crossingsPerSecond(out), 2000, 40);
    }
}

TEST(PcmFeed, ChangingSpeedMidStreamLosesNothingRepeatsNothingAndDoesNotClick) {
    PcmFeed feed;
    WaveBlock block;
    const auto in = tone(500, 6 * kRate);
    feed.push(&block, in);
    std::vector<WaveBlock*> used;
    std::vector<int16_t> out(2 * kRate);

    // Two seconds at 100 %, two at 200 % (about one second out), the rest at 100 % again.
    ASSERT_EQ(feed.pull(out.data(), 2 * kRate, used), size_t(2 * kRate));
    std::vector<int16_t> heard(out.begin(), out.end());
    feed.setSpeed(200);
    while (feed.samplesUsed() < uint64_t(4 * kRate)) {
        const size_t n = feed.pull(out.data(), 100, used);
        ASSERT_GT(n, 0u);
        heard.insert(heard.end(), out.begin(), out.begin() + long(n));
    }
    const size_t usedAtSwitch = size_t(feed.samplesUsed());
    feed.setSpeed(100);
    const std::vector<int16_t> rest = pullAll(feed, used);
    heard.insert(heard.end(), rest.begin(), rest.end());

    EXPECT_EQ(feed.samplesUsed(), in.size());
    EXPECT_EQ(used, (std::vector<WaveBlock*>{&block}));
    // Back at 100 % the samples after the switch come once, after what the stretcher held, and
    // untouched but for the few the stretcher's last samples fade into.
    const size_t untouched = in.size() - usedAtSwitch - PcmFeed::kBlendSamples;
    ASSERT_GE(rest.size(), untouched + PcmFeed::kBlendSamples);
    EXPECT_TRUE(std::equal(rest.end() - long(untouched), rest.end(), in.begin() + long(usedAtSwitch)));
    const double expected = 2.0 * kRate + 1.0 * kRate + 2.0 * kRate;
    EXPECT_NEAR(double(heard.size()), expected, expected * 0.02);
    EXPECT_NEAR(crossingsPerSecond(heard), 1000, 30);
    // A 500 Hz tone of this loudness moves at most about 3100 from one sample to the next.
    EXPECT_LT(largestStep(heard), 4000);
}

TEST(PcmFeed, ClearDropsTheBlocksAndWhatTheStretcherHeldSoNothingStaleIsHeardLater) {
    PcmFeed feed;
    feed.setSpeed(150);
    WaveBlock loud[2], quiet;
    feed.push(&loud[0], tone(1000, kRate));
    feed.push(&loud[1], tone(1000, kRate));
    std::vector<WaveBlock*> used;
    std::vector<int16_t> out(1000);
    ASSERT_EQ(feed.pull(out.data(), 1000, used), 1000u);
    EXPECT_EQ(feed.clear(), (std::vector<WaveBlock*>{&loud[0], &loud[1]}));
    EXPECT_FALSE(feed.hasBlocks());

    feed.push(&quiet, std::vector<int16_t>(kRate, 0));
    const std::vector<int16_t> after = pullAll(feed, used);
    ASSERT_FALSE(after.empty());
    for (int16_t s : after)
        ASSERT_EQ(s, 0) << "a sample of the tone played after the reset";
}

} // namespace pcm_feed_test
