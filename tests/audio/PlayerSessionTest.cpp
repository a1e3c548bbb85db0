#include "audio/PlayerSession.h"

#include "audio/PlaybackEngine.h"
#include "audio/RecordingWriter.h"
#include "audio/SpeechSynth.h"
#include "audio/WaveImage.h"
#include "platform/FakeWaveOutput.h"
#include "platform/FileRoots.h"
#include "platform/WorkerSlot.h"
#include "support/FakeLoadSink.h"
#include "support/TempDir.h"

#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <QStringList>
#include <QThread>
#include <QTimer>

// Helpers live in a named namespace: test files may be compiled in unity batches.
namespace player_session_test {

using namespace tessa;
using tessa::test::TempDir;

// The window side as plain data; it also notes any call that does not come from the GUI thread.
class FakeDisplay : public PlayerDisplay {
public:
    void clearWave() override { note(QStringLiteral("clear")); }
    void setTotalLength(int seconds) override { note(QStringLiteral("total %1").arg(seconds)); }
    void setBookmark(int start, int end) override {
        note(QStringLiteral("bookmark %1 %2").arg(start).arg(end));
        bookmark = {start, end};
    }
    void moveCursor(int second, int total) override {
        note(QStringLiteral("cursor %1/%2").arg(second).arg(total));
    }
    void redrawWave() override { note(QStringLiteral("redraw")); }
    std::pair<int, int> selectionSeconds() const override { return selection; }
    std::pair<int, int> bookmarkSeconds() const override { return bookmark; }
    void playStateChanged() override { note(QStringLiteral("state")); }
    void warnNoAudioOutput() override { note(QStringLiteral("warn 169")); }

    QStringList calls;
    bool offThread = false;
    std::pair<int, int> selection{0, 0};
    std::pair<int, int> bookmark{0, 0};

private:
    void note(const QString& call) {
        offThread = offThread || QThread::currentThread() != QCoreApplication::instance()->thread();
        calls << call;
    }
};

// Holds the loading thread at one second until the test opens it; the thread ignores its stop request
// meanwhile, as one stuck in a slow disk would.
class Gate {
public:
    void hold(uint32_t second, uint32_t at) {
        if (second != at)
            return;
        std::unique_lock lock(mutex_);
        held_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
    }
    bool waitHeld() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [this] { return held_; });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool open_ = false;
};

class PlayerSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureCoreApplication();
        output = std::make_shared<platform::FakeWaveOutput>();
        engine = std::make_shared<PlaybackEngine>(output);
        ASSERT_TRUE(engine->open(OutputImaAdpcm));
        session = std::make_unique<PlayerSession>(engine, display);
        // The tests run the clock themselves.
        for (const char* name : {"timer10", "timer11"})
            session->findChild<QTimer*>(QString::fromLatin1(name))->setInterval(24 * 3600 * 1000);
        // What the waveform view does for a window 300 wide.
        session->waveImage()->reset(300, 98, 100);
    }

    CallRecord recording(const QString& name, int seconds, std::optional<BookmarkSpan> bookmark = {}) {
        const auto samples = synthesizeSpeech({7, size_t(seconds) * kSpeechSampleRate, 2});
        ContainerContent content;
        content.formatCode = FormatMuLaw;
        content.bookmark = bookmark;
        QString error;
        const QString path = dir.file(name);
        EXPECT_TRUE(writeContainerRecording(path, samples, content, &error)) << error.toStdString();
        CallRecord r{};
        r.fullPath.setText(path);
        return r;
    }
    bool playing() {
        return test::waitUntil(
            [&] { return !session->isLoading() && session->playState() == PlayerSession::Playing; });
    }
    // Columns of the picture that hold some of the trace.
    static int traceColumns(const WaveImage& image) {
        int columns = 0;
        image.read([&](const uint32_t* pixels, int width, int rows) {
            for (int x = 0; pixels && x < width; ++x) {
                bool lit = false;
                for (int y = 0; y < rows && !lit; ++y)
                    lit = pixels[size_t(y) * size_t(width) + size_t(x)] == WaveImage::kTrace;
                columns += lit ? 1 : 0;
            }
        });
        return columns;
    }

    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    std::shared_ptr<platform::FakeWaveOutput> output;
    std::shared_ptr<PlaybackEngine> engine;
    FakeDisplay display;
    std::unique_ptr<PlayerSession> session;
};

TEST_F(PlayerSessionTest, TheLoadingThreadDrawsThePictureAndOnlyTheGuiThreadTalksToTheWindow) {
    session->loadRecord(recording(QStringLiteral("call.xtr"), 6, BookmarkSpan{2, 4}));
    ASSERT_TRUE(playing());
    EXPECT_FALSE(display.offThread);
    // Opening set the view up before the thread drew; the end of the load started playing second 0.
    EXPECT_EQ(display.calls.mid(0, 3), QStringList({"clear", "total 6", "bookmark 2 4"}));
    EXPECT_EQ(display.calls.mid(3), QStringList({"redraw", "state", "state", "cursor 0/6"}));
    EXPECT_EQ(session->nextSecond(), 1u);
    // The trace covers the whole width: every second was drawn into the session's own picture.
    EXPECT_EQ(traceColumns(*session->waveImage()), 300);
    const WaveImage::Changes changes = session->waveImage()->takeChanges();
    EXPECT_TRUE(changes.erase);
    EXPECT_EQ(changes.low, 0);
    EXPECT_EQ(changes.high, 300);

    // The bookmark segment is read from the display, as the view holds it.
    session->play(PlayerSession::ModeBookmark);
    EXPECT_EQ(session->playMode(), PlayerSession::ModeBookmark);
    EXPECT_EQ(session->playStartSecond(), 2u);
    for (int i = 0; i < 10 && session->playState() == PlayerSession::Playing; ++i)
        session->timer10Tick();
    EXPECT_EQ(session->nextSecond(), 4u);
    EXPECT_EQ(display.calls.last(), "state");
}

TEST_F(PlayerSessionTest, ClosingWhileTheLoadingThreadIgnoresItsStopReturnsAndItFinishesAlone) {
    Gate gate;
    session->setLoadingProbe([&gate](uint32_t n) { gate.hold(n, 1); });
    const int before = platform::WorkerSlot::abandonedRunning();
    session->loadRecord(recording(QStringLiteral("call.xtr"), 8));
    ASSERT_TRUE(gate.waitHeld());
    ASSERT_TRUE(session->isLoading());

    // Switching asks the thread to stop and waits a while; it does not stop, so the load waits for
    // timer 11, and play is refused meanwhile.
    session->loadRecord(recording(QStringLiteral("next.xtr"), 3));
    EXPECT_TRUE(session->findChild<QTimer*>(QStringLiteral("timer11"))->isActive());
    session->play(PlayerSession::ModeWhole);
    EXPECT_EQ(session->playState(), PlayerSession::Stopped);

    // Closing comes back although the thread still does not stop.
    const std::shared_ptr<WaveImage> image = session->waveImage();
    const QStringList beforeClose = display.calls;
    session.reset();
    EXPECT_EQ(platform::WorkerSlot::abandonedRunning(), before + 1);
    gate.open();
    ASSERT_TRUE(test::waitUntil([&] { return platform::WorkerSlot::abandonedRunning() == before; }));
    test::drainEvents();
    EXPECT_EQ(display.calls, beforeClose) << "nothing reaches the window after the session is gone";
    // The picture it drew into is its own share: the seconds before the hold are there, no more.
    EXPECT_EQ(traceColumns(*image), 75);
}

} // namespace player_session_test
