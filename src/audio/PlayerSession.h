#pragma once

// The player without its window: the current call record and its open recording, the loading thread,
// the three ways of playing (the whole recording, the selection, the bookmark segment) and what the
// player's timers do: timer 10 hands the engine one second of audio per tick, the one-shot timer 11
// loads the current record again once a loading thread asked to stop has ended.
//
// Threads: the loading thread pre-decodes and reads every second of the open recording and draws each
// into the session's WaveImage; it touches nothing else of the session and no window, and when it gets
// through it posts the end of the load back through the session's queue, which then starts playing.
// What it uses (the recording, the image) it holds itself, so that when closing lets it go it finishes
// safely on its own. The GUI thread never starts another load while a loading thread runs: it asks it to
// stop, waits at most 500 ms and retries through timer 11.

#include "audio/OpenRecording.h"
#include "audio/PlayFailure.h"
#include "format/CallRecord.h"
#include "platform/GuiQueue.h"
#include "platform/WorkerSlot.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <QObject>
#include <QString>
#include <utility>

class QTimer;

namespace tessa {

class PlaybackEngine;
class WaveImage;

// What the session asks of the window that shows it; called on the GUI thread only.
class PlayerDisplay {
public:
    virtual ~PlayerDisplay() = default;
    // The waveform view: forget the recording; its length in seconds; the bookmark band (painted into
    // the session's image); the cursor; the picture alone again, without cursor and selection.
    virtual void clearWave() = 0;
    virtual void setTotalLength(int seconds) = 0;
    virtual void setBookmark(int startSecond, int endSecond) = 0;
    virtual void moveCursor(int second, int total) = 0;
    virtual void redrawWave() = 0;
    // The mouse selection and the bookmark segment as the view holds them: start and end seconds.
    virtual std::pair<int, int> selectionSeconds() const = 0;
    virtual std::pair<int, int> bookmarkSeconds() const = 0;
    // The play mode or state changed: the captions follow.
    virtual void playStateChanged() = 0;
    // Message 169: nothing can be played without an audio output.
    virtual void warnNoAudioOutput() = 0;
    // The current record's recording did not load, and why; called after the wave was cleared.
    virtual void showPlayFailure(PlayFailure failure, const QString& programPath) {
        (void)failure;
        (void)programPath;
    }
};

class PlayerSession : public QObject {
    Q_OBJECT
public:
    enum PlayMode : int { ModeWhole = 0, ModeSelection = 1, ModeBookmark = 2 };
    enum PlayState : int { Stopped = 0, Paused = 1, Playing = 2 };

    static constexpr int kTickInterval = 1000;  // timer 10: one second of audio per tick
    static constexpr int kRetryInterval = 1000; // timer 11: the deferred reload
    static constexpr std::chrono::milliseconds kLoaderWait{500};

    // The engine is the program's single audio output, shared with the window. The display must outlive
    // the session. The timers are children named "timer10" and "timer11".
    PlayerSession(std::shared_ptr<PlaybackEngine> engine, PlayerDisplay& display, QObject* parent = nullptr);
    // Stops the output and the loading thread (waiting for it at most 500 ms).
    ~PlayerSession() override;

    // Makes a copy of the record current and loads its recording; while a loading thread runs, the load
    // is deferred to timer 11.
    void loadRecord(const CallRecord& record);
    // Loads the current record again (the window's size changed, and the picture with it): stops the
    // output and reloads through timer 11, which also starts playing again from second 0.
    void reload();

    // The play commands: start in the mode, or pause and resume it when it is the one playing. Refused
    // while loading; warned about when the engine has no output.
    void play(PlayMode mode);
    // Plays the whole recording from a second (the waveform's double click).
    void playFrom(int second);
    void stop();
    // Space: pauses or resumes what plays; from a stop, plays the whole recording from its start.
    void togglePause();
    // The play position moved by the keys: to a second of the recording (clamped to it), or by a number
    // of seconds from the one being heard. While playing, playback goes on from there at once; while
    // paused, the resume starts there; from a stop, the whole recording plays from there. Reaching the
    // end of what plays stops it. Refused while loading.
    void seekTo(int64_t second);
    void seekBy(int seconds) { seekTo(int64_t(position()) + seconds); }
    // The second being heard while playing (the one handed to the engine last), else the one a resume
    // or seek starts from.
    uint32_t position() const;
    // Stops timer 10 and the output; what is queued is dropped.
    void haltPlayback();

    // Playback speed in percent (50 to 200), pitch kept. Timer 10 still hands the engine one second of
    // the recording per tick, and ticks as often as the output plays one: every 1000 ms at 100, every
    // 500 ms at 200, so the position keeps counting the recording's seconds. A change while playing
    // keeps the position and what is queued; the tick due next comes when the queued audio, at the new
    // speed, runs out.
    void setSpeed(int percent);
    int speed() const;
    std::chrono::milliseconds tickInterval() const;

    // What timers 10 and 11 do when they fire; tests call them to run the clock by hand.
    void timer10Tick();
    void timer11Tick();

    bool isLoading() const { return loader_.running(); }
    // Why the last load failed; None after a load that started.
    PlayFailure lastFailure() const { return lastFailure_; }
    PlayMode playMode() const { return playMode_; }
    PlayState playState() const { return playState_; }
    uint32_t nextSecond() const { return nextSecond_; }
    uint32_t playStartSecond() const { return playStart_; }
    uint32_t duration() const { return recording_->duration(); }
    QString recordingPath() const;
    // The picture the loading thread draws; the window shows it.
    const std::shared_ptr<WaveImage>& waveImage() const { return image_; }
    PlaybackEngine& engine() const { return *engine_; }

    // Called on the loading thread after each second it drew: lets tests hold a load in progress. Taken
    // when a load starts.
    void setLoadingProbe(std::function<void(uint32_t second)> probe);

private:
    bool load();
    void failLoad(PlayFailure failure = PlayFailure::None);
    void loadingEnded(uint64_t generation);
    void stopLoaderAndRetry();

    bool refusePlay();
    void start(uint32_t second);
    void resume();
    void pause();
    void feedSecond(uint32_t second);
    uint32_t endOfMode() const;

    std::shared_ptr<PlaybackEngine> engine_;
    PlayerDisplay& display_;
    QTimer* timer10_ = nullptr;
    QTimer* timer11_ = nullptr;

    CallRecord record_{};
    bool hasRecord_ = false;

    std::shared_ptr<OpenRecording> recording_;
    std::shared_ptr<WaveImage> image_;
    PlayMode playMode_ = ModeWhole;
    PlayState playState_ = Stopped;
    uint32_t nextSecond_ = 0;
    uint32_t playStart_ = 0;
    uint32_t selectionEnd_ = 0;
    uint32_t bookmarkEnd_ = 0;
    bool retimed_ = false; // timer 10 runs to the end of the audio queued before a change of speed

    platform::GuiQueue queue_;
    platform::WorkerSlot loader_;
    PlayFailure lastFailure_ = PlayFailure::None;
    uint64_t loadGeneration_ = 0; // GUI thread only; a posted end of an older load is ignored
    std::function<void(uint32_t)> probe_;
};

} // namespace tessa
