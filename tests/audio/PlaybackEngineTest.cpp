#include "audio/PlaybackEngine.h"

#include "platform/FakeWaveOutput.h"
#include "platform/NullWaveOutput.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

// Helpers live in a named namespace: test files may be compiled in unity batches.
namespace playback_engine_test {

using namespace tessa;
using namespace std::chrono_literals;
using platform::FakeWaveOutput;

// Blocks come back on the engine's own thread; this waits for it without bounding how fast it must be.
template <typename Predicate>
bool eventually(Predicate done) {
    const auto giveUp = std::chrono::steady_clock::now() + 20s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

struct Rig {
    std::shared_ptr<FakeWaveOutput> fake = std::make_shared<FakeWaveOutput>();
    PlaybackEngine engine{fake};
};

std::vector<uint8_t> second(uint8_t value, size_t bytes = 16000) {
    return std::vector<uint8_t>(bytes, value);
}

} // namespace playback_engine_test

using namespace playback_engine_test;

TEST(PlaybackEngine, OpensEachModeWithItsFormat) {
    struct Case {
        int mode;
        uint16_t tag, bits, align;
        uint32_t rate;
        uint16_t samplesPerBlock;
    };
    for (const Case c : {Case{0, 17, 4, 256, 4000, 505}, Case{1, 7, 8, 1, 8000, 0}, Case{2, 6, 8, 1, 8000, 0},
                         Case{3, 1, 16, 2, 16000, 0}, Case{4, 49, 0, 65, 1625, 320}}) {
        Rig rig;
        ASSERT_TRUE(rig.engine.open(c.mode)) << c.mode;
        EXPECT_TRUE(rig.engine.outputAvailable());
        EXPECT_TRUE(rig.engine.callbackThreadRunning());
        const platform::WaveFormat f = rig.fake->format();
        EXPECT_EQ(f.formatTag, c.tag);
        EXPECT_EQ(f.channels, 1);
        EXPECT_EQ(f.samplesPerSecond, 8000u);
        EXPECT_EQ(f.bitsPerSample, c.bits);
        EXPECT_EQ(f.blockAlign, c.align);
        EXPECT_EQ(f.averageBytesPerSecond, c.rate);
        EXPECT_EQ(f.samplesPerBlock, c.samplesPerBlock);
        EXPECT_EQ(f.extraSize, c.samplesPerBlock ? 2 : 0);
        rig.engine.close();
        EXPECT_FALSE(rig.engine.outputAvailable());
        EXPECT_FALSE(rig.engine.callbackThreadRunning());
        EXPECT_FALSE(rig.fake->isOpen());
    }
}

TEST(PlaybackEngine, OpenFailsWhileItsThreadRunsOrTheFormatIsRefused) {
    Rig rig;
    ASSERT_TRUE(rig.engine.open(3));
    EXPECT_FALSE(rig.engine.open(1));
    EXPECT_TRUE(rig.engine.outputAvailable());
    EXPECT_TRUE(rig.engine.callbackThreadRunning());
    EXPECT_EQ(rig.fake->format().formatTag, 1);
    ASSERT_TRUE(rig.engine.write(second(1).data(), 16000));
    rig.fake->advance(1s);
    EXPECT_TRUE(eventually([&] { return rig.engine.pendingCount() == 0; }));
    rig.engine.close();

    rig.fake->refuseFormat(platform::WaveTagMuLaw);
    EXPECT_FALSE(rig.engine.open(1));
    EXPECT_FALSE(rig.engine.outputAvailable());
    EXPECT_FALSE(rig.engine.callbackThreadRunning());
    EXPECT_EQ(rig.engine.lastResult(), platform::WaveResult::BadFormat);
    EXPECT_FALSE(rig.engine.write(second(1).data(), 8000));
    EXPECT_TRUE(rig.engine.open(3));
}

TEST(PlaybackEngine, ModeWithoutDeviceOpensButPlaysNothing) {
    Rig rig;
    EXPECT_TRUE(rig.engine.open(7));
    EXPECT_TRUE(rig.engine.isOpen());
    EXPECT_FALSE(rig.engine.outputAvailable());
    EXPECT_FALSE(rig.fake->isOpen());
    EXPECT_FALSE(rig.engine.write(second(1).data(), 16000));
    EXPECT_FALSE(rig.engine.reset());
    rig.engine.close();
    // Closing leaves it ready for a mode with a device.
    EXPECT_TRUE(rig.engine.open(3));
    EXPECT_TRUE(rig.engine.outputAvailable());
}

TEST(PlaybackEngine, BlocksPlayInOrderAndAreFreedOnTheCallbackThread) {
    Rig rig;
    ASSERT_TRUE(rig.engine.open(3));
    std::vector<uint8_t> block = second(1);
    for (uint8_t v = 1; v <= 3; ++v) {
        block.assign(16000, v);
        ASSERT_TRUE(rig.engine.write(block.data(), block.size()));
        // The engine keeps its own copy: the caller's buffer is reused at once.
        block.assign(16000, 0xEE);
    }
    EXPECT_EQ(rig.engine.pendingCount(), 3);
    rig.fake->advance(1500ms);
    EXPECT_TRUE(eventually([&] { return rig.engine.pendingCount() == 2; }));
    rig.fake->advance(1500ms);
    EXPECT_TRUE(eventually([&] { return rig.engine.pendingCount() == 0; }));
    EXPECT_EQ(rig.fake->unprepared(), 3u);
    const auto played = rig.fake->played();
    ASSERT_EQ(played.size(), 48000u);
    for (size_t i = 0; i < played.size(); ++i)
        ASSERT_EQ(played[i], uint8_t(1 + i / 16000)) << i;

    rig.fake->failWrites(true);
    EXPECT_FALSE(rig.engine.write(block.data(), block.size()));
    EXPECT_EQ(rig.engine.pendingCount(), 0);
}

TEST(PlaybackEngine, QueueHoldsAtMost601Blocks) {
    Rig rig;
    ASSERT_TRUE(rig.engine.open(1));
    const auto block = second(0x55, 8000);
    for (int i = 0; i < 601; ++i)
        ASSERT_TRUE(rig.engine.write(block.data(), block.size())) << i;
    EXPECT_EQ(rig.engine.pendingCount(), 601);
    // Dropped, yet reported as written.
    EXPECT_TRUE(rig.engine.write(block.data(), block.size()));
    EXPECT_TRUE(rig.engine.write(block.data(), block.size()));
    EXPECT_EQ(rig.engine.pendingCount(), 601);
    EXPECT_EQ(rig.fake->queuedBlocks(), 601u);

    rig.fake->advance(1s);
    ASSERT_TRUE(eventually([&] { return rig.engine.pendingCount() == 600; }));
    EXPECT_TRUE(rig.engine.write(block.data(), block.size()));
    EXPECT_EQ(rig.engine.pendingCount(), 601);
}

TEST(PlaybackEngine, ResetReturnsEveryBlock) {
    Rig rig;
    ASSERT_TRUE(rig.engine.open(3));
    const auto block = second(7);
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(rig.engine.write(block.data(), block.size()));
    rig.fake->advance(2500ms); // two played, one half-played
    EXPECT_TRUE(rig.engine.reset());
    EXPECT_TRUE(eventually([&] { return rig.engine.pendingCount() == 0; }));
    EXPECT_EQ(rig.fake->handedBack(), 50u);
    EXPECT_EQ(rig.fake->unprepared(), 50u);
    EXPECT_EQ(rig.fake->played().size(), 2u * 16000);
    EXPECT_EQ(rig.fake->queuedBlocks(), 0u);
    // Reset leaves the engine open.
    EXPECT_TRUE(rig.engine.outputAvailable());
    EXPECT_TRUE(rig.engine.write(block.data(), block.size()));
    EXPECT_EQ(rig.engine.pendingCount(), 1);
    rig.engine.reset();
    rig.engine.close();
    EXPECT_EQ(rig.engine.pendingCount(), 0);
}

TEST(PlaybackEngine, CloseKeepsADeviceThatStillHoldsBlocks) {
    Rig rig;
    ASSERT_TRUE(rig.engine.open(3));
    const auto block = second(9);
    ASSERT_TRUE(rig.engine.write(block.data(), block.size()));
    ASSERT_TRUE(rig.engine.write(block.data(), block.size()));
    rig.engine.close();
    EXPECT_EQ(rig.engine.lastResult(), platform::WaveResult::StillPlaying);
    EXPECT_TRUE(rig.engine.isOpen());
    EXPECT_TRUE(rig.engine.outputAvailable());
    EXPECT_FALSE(rig.engine.callbackThreadRunning());
    // Open fails: the device is still open.
    EXPECT_FALSE(rig.engine.open(3));
    EXPECT_FALSE(rig.engine.callbackThreadRunning());
    // With no thread to take them, the returned blocks are freed where they arrive.
    EXPECT_TRUE(rig.engine.reset());
    EXPECT_EQ(rig.engine.pendingCount(), 0);
    EXPECT_EQ(rig.fake->unprepared(), 2u);
    rig.engine.close();
    EXPECT_FALSE(rig.engine.isOpen());
    EXPECT_TRUE(rig.engine.open(1));
}

TEST(PlaybackEngine, CloseGivesUpOnAStalledCallbackThread) {
    auto fake = std::make_shared<FakeWaveOutput>();
    {
        PlaybackEngine engine(fake);
        ASSERT_TRUE(engine.open(3));
        const auto block = second(3);
        ASSERT_TRUE(engine.write(block.data(), block.size()));
        ASSERT_TRUE(engine.write(block.data(), block.size()));
        fake->setStalled(true);
        ASSERT_TRUE(engine.reset());
        ASSERT_TRUE(eventually([&] { return fake->stalledCallers() == 1; }));

        engine.close(); // returns after its bounded wait
        EXPECT_FALSE(engine.callbackThreadRunning());
        EXPECT_FALSE(engine.outputAvailable());
        EXPECT_EQ(engine.abandonedCallbackThreads(), 1);
        EXPECT_EQ(engine.pendingCount(), 2);

        // A new thread serves the next open, untouched by the old one's late work.
        ASSERT_TRUE(engine.open(1));
        EXPECT_EQ(engine.pendingCount(), 0);
        fake->setStalled(false);
        EXPECT_TRUE(eventually([&] { return engine.abandonedCallbackThreads() == 0; }));
        EXPECT_EQ(fake->unprepared(), 2u);
        EXPECT_EQ(engine.pendingCount(), 0);
        ASSERT_TRUE(engine.write(block.data(), 8000));
        fake->advance(1s);
        EXPECT_TRUE(eventually([&] { return engine.pendingCount() == 0; }));
        EXPECT_EQ(fake->unprepared(), 3u);
    }
    EXPECT_FALSE(fake->isOpen());
}

TEST(PlaybackEngine, NullOutputPlaysInRealTime) {
    auto output = std::make_shared<platform::NullWaveOutput>();
    PlaybackEngine engine(output);
    ASSERT_TRUE(engine.open(1));
    EXPECT_TRUE(engine.outputAvailable());
    const auto block = second(0xFF, 80); // 10 ms of mu-law
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(engine.write(block.data(), block.size()));
    EXPECT_GT(engine.pendingCount(), 0);
    EXPECT_TRUE(eventually([&] { return engine.pendingCount() == 0; }));
    // A long block is cut short by a reset.
    const auto longBlock = second(0xFF, 8000 * 60);
    ASSERT_TRUE(engine.write(longBlock.data(), longBlock.size()));
    EXPECT_EQ(engine.pendingCount(), 1);
    EXPECT_TRUE(engine.reset());
    EXPECT_TRUE(eventually([&] { return engine.pendingCount() == 0; }));
    engine.close();
    EXPECT_FALSE(engine.outputAvailable());
}
