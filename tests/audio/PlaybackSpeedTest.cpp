// Playback speed in the player: the steps, the setting that keeps the choice, and the session, whose
// timer hands the engine one recording second per tick at every speed and ticks as often as the output
// plays one, so that the position keeps counting the recording's seconds.

#include "audio/PlaybackSpeed.h"

#include "audio/PlaybackEngine.h"
#include "audio/PlayerSession.h"
#include "audio/RecordingWriter.h"
#include "audio/SpeechSynth.h"
#include "config/Settings.h"
#include "platform/FakeWaveOutput.h"
#include "platform/FileRoots.h"
#include "support/EventLoop.h"
#include "support/ScopedConfig.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTimer>

// Helpers live in a named namespace: test files may be compiled in unity batches.
namespace playback_speed_test {

using namespace tessa;
using namespace std::chrono_literals;
using tessa::test::TempDir;

TEST(PlaybackSpeedSteps, NearestSlowerAndFaster) {
    EXPECT_EQ(nearestPlaybackSpeed(100), 100);
    EXPECT_EQ(nearestPlaybackSpeed(130), 125);
    EXPECT_EQ(nearestPlaybackSpeed(175), 150) << "the lower of two as near";
    EXPECT_EQ(nearestPlaybackSpeed(0), 50);
    EXPECT_EQ(nearestPlaybackSpeed(1000), 200);
    EXPECT_EQ(slowerPlaybackSpeed(100), 75);
    EXPECT_EQ(slowerPlaybackSpeed(75), 50);
    EXPECT_EQ(slowerPlaybackSpeed(50), 50);
    EXPECT_EQ(fasterPlaybackSpeed(100), 125);
    EXPECT_EQ(fasterPlaybackSpeed(150), 200);
    EXPECT_EQ(fasterPlaybackSpeed(200), 200);
    EXPECT_EQ(fasterPlaybackSpeed(130), 150) << "from between steps, the step above the nearest";
}

class PlaybackSpeedSettingTest : public ::testing::Test {
protected:
    test::ScratchConfig dir;
};

TEST_F(PlaybackSpeedSettingTest, RoundTripsThroughTheSettingsFileAndReadsOddValuesAsAStep) {
    EXPECT_EQ(readPlaybackSpeedSetting(), 100) << "no file: normal speed";
    dir.write(QStringLiteral("TessaSet.ini"), "[Setting]\r\nDevType=1\r\n");
    EXPECT_EQ(readPlaybackSpeedSetting(), 100) << "no key: normal speed";
    for (int speed : kPlaybackSpeeds) {
        ASSERT_TRUE(writePlaybackSpeedSetting(speed));
        EXPECT_EQ(readPlaybackSpeedSetting(), speed);
        EXPECT_EQ(readIntSetting(QStringLiteral("PlaySpeed")), speed);
    }
    EXPECT_EQ(readIntSetting(QStringLiteral("DevType")), 1) << "the other keys stay";
    ASSERT_TRUE(writePlaybackSpeedSetting(140));
    EXPECT_EQ(readIntSetting(QStringLiteral("PlaySpeed")), 150) << "only steps are written";
    for (const auto& [text, speed] : std::vector<std::pair<const char*, int>>{
             {"abc", 100}, {"0", 100}, {"-5", 100}, {"60", 50}, {"1000", 200}, {"\"125\"", 125}}) {
        dir.write(QStringLiteral("TessaSet.ini"), QByteArray("[Setting]\r\nPlaySpeed=") + text + "\r\n");
        EXPECT_EQ(readPlaybackSpeedSetting(), speed) << text;
    }
}

class NoDisplay : public PlayerDisplay {
public:
    void clearWave() override {}
    void setTotalLength(int) override {}
    void setBookmark(int, int) override {}
    void moveCursor(int, int) override {}
    void redrawWave() override {}
    std::pair<int, int> selectionSeconds() const override { return {0, 0}; }
    std::pair<int, int> bookmarkSeconds() const override { return {0, 0}; }
    void playStateChanged() override {}
    void warnNoAudioOutput() override {}
};

class SessionSpeedTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureCoreApplication();
        output = std::make_shared<platform::FakeWaveOutput>();
        engine = std::make_shared<PlaybackEngine>(output);
        ASSERT_TRUE(engine->open(OutputImaAdpcm));
        session = std::make_unique<PlayerSession>(engine, display);
    }
    QTimer* timer10() const { return session->findChild<QTimer*>(QStringLiteral("timer10")); }
    // The tests run the clock themselves: the timers still start and stop, but never fire.
    void holdTimers() const {
        for (const char* name : {"timer10", "timer11"})
            session->findChild<QTimer*>(QString::fromLatin1(name))->setInterval(24 * 3600 * 1000);
    }
    // A mu-law recording of `seconds`, loaded and playing from second 0; returns its audio bytes.
    QByteArray playRecording(int seconds) {
        const auto samples = synthesizeSpeech({11, size_t(seconds) * kSpeechSampleRate, 2});
        ContainerContent content;
        content.formatCode = FormatMuLaw;
        const QString path = dir.file(QStringLiteral("call.xtr"));
        EXPECT_TRUE(writeContainerRecording(path, samples, content, nullptr));
        CallRecord r{};
        r.fullPath.setText(path);
        session->loadRecord(r);
        EXPECT_TRUE(test::waitUntil(
            [&] { return !session->isLoading() && session->playState() == PlayerSession::Playing; }));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray file = f.readAll();
        return file.mid(qsizetype(file.size()) - qsizetype(seconds) * 8000);
    }

    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    std::shared_ptr<platform::FakeWaveOutput> output;
    std::shared_ptr<PlaybackEngine> engine;
    NoDisplay display;
    std::unique_ptr<PlayerSession> session;
};

TEST_F(SessionSpeedTest, EveryTickHandsOverOneRecordingSecondWhichPlaysInItsShareOfTime) {
    for (int speed : kPlaybackSpeeds) {
        SCOPED_TRACE(speed);
        SetUp();
        session->setSpeed(speed);
        EXPECT_EQ(session->speed(), speed);
        EXPECT_EQ(engine->speed(), speed);
        EXPECT_EQ(output->speed(), speed);
        const auto period = std::chrono::milliseconds(100000 / speed);
        EXPECT_EQ(session->tickInterval(), period);
        EXPECT_EQ(timer10()->intervalAsDuration(), period);
        holdTimers();

        const QByteArray audio = playRecording(6);
        for (int tick = 0; tick < 3; ++tick)
            session->timer10Tick();
        EXPECT_EQ(session->position(), 3u) << "the position counts recording seconds";
        ASSERT_EQ(output->queuedBlocks(), 4u);
        // One recording second lasts 1000 ms at 100 %, 500 ms at 200 %, 2000 ms at 50 %; the tick period
        // is that in whole milliseconds.
        const auto second = std::chrono::microseconds(100000000 / speed);
        EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(second), period);
        output->advance(second - 1us);
        EXPECT_EQ(output->handedBack(), 0u);
        output->advance(1us);
        EXPECT_EQ(output->handedBack(), 1u);
        output->advance(3 * second);
        EXPECT_EQ(output->handedBack(), 4u);
        // The same recording bytes at every speed: the stretching is the output's alone.
        const std::vector<uint8_t> played = output->played();
        ASSERT_EQ(played.size(), size_t(4 * 8000));
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(played.data()), qsizetype(played.size())),
                  audio.left(4 * 8000));
        session.reset();
    }
}

TEST_F(SessionSpeedTest, ChangingSpeedWhilePlayingKeepsThePositionAndWhatIsQueued) {
    holdTimers();
    playRecording(10);
    session->timer10Tick();
    session->timer10Tick();
    ASSERT_EQ(session->position(), 2u);
    const size_t queued = output->queuedBlocks();
    const int resets = output->resets();
    const int before = timer10()->remainingTime();

    session->setSpeed(200);
    EXPECT_EQ(session->position(), 2u);
    EXPECT_EQ(session->nextSecond(), 3u);
    EXPECT_EQ(session->playState(), PlayerSession::Playing);
    EXPECT_EQ(output->queuedBlocks(), queued) << "what was queued plays on, at the new speed";
    EXPECT_EQ(output->resets(), resets) << "no reset: the position does not jump back";
    EXPECT_EQ(output->speed(), 200);
    // The tick due next comes when the queued audio runs out at the new pace: in half the time.
    EXPECT_NEAR(timer10()->remainingTime(), before / 2, 1000);
    EXPECT_TRUE(timer10()->isActive());

    // From that tick on, the period follows the speed.
    session->timer10Tick();
    EXPECT_EQ(session->position(), 3u);
    EXPECT_EQ(timer10()->intervalAsDuration(), 500ms);

    // Paused, a change keeps the second the resume starts from and sets the period for it.
    session->togglePause();
    ASSERT_EQ(session->playState(), PlayerSession::Paused);
    session->setSpeed(50);
    EXPECT_EQ(session->nextSecond(), 4u);
    EXPECT_EQ(timer10()->intervalAsDuration(), 2000ms);
    session->togglePause();
    EXPECT_EQ(session->playState(), PlayerSession::Playing);
    EXPECT_EQ(session->position(), 4u);
    EXPECT_EQ(timer10()->intervalAsDuration(), 2000ms);

    // A value outside the range ends at its edge.
    session->setSpeed(500);
    EXPECT_EQ(session->speed(), 200);
}

} // namespace playback_speed_test
