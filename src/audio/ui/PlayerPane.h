#pragma once

// The player pane of the main view: plays the recording of one call record of a record list, steps to
// the previous or next row with wrap-around, shows the waveform with the bookmark band, and plays the
// whole recording, the mouse selection or the bookmark segment, one second per tick of timer 10.
//
// Threads: a loading thread opens nothing and touches no widget; it pre-decodes and reads every second
// of the open recording, draws each into the waveform view (whose drawing is made for that) and, when it
// gets through, posts the play command back to the pane. The user-interface thread never starts another
// load while a loading thread runs: it asks it to stop, waits at most 500 ms and retries through the
// one-shot timer 11.

#include "audio/OpenRecording.h"
#include "browse/RecordListModel.h"
#include "format/CallRecord.h"
#include "platform/GuiQueue.h"
#include "platform/WorkerSlot.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <QPointer>
#include <QWidget>

class QPushButton;
class QTimer;

namespace tessa {

class PlaybackEngine;
class WaveformView;

class PlayerPane : public QWidget {
    Q_OBJECT
public:
    // Controls; the buttons' object names are "ctl" and the number.
    enum Control : int {
        ControlWaveform = 1085,
        ControlPrevious = 1045,
        ControlNext = 1046,
        ControlPlaySelection = 1047,
        ControlPlay = 1048,
        ControlPlayBookmark = 1050,
        ControlStop = 1051,
    };
    enum PlayMode : int { ModeWhole = 0, ModeSelection = 1, ModeBookmark = 2 };
    enum PlayState : int { Stopped = 0, Paused = 1, Playing = 2 };

    static constexpr int kTickInterval = 1000;  // timer 10: one second of audio per tick
    static constexpr int kRetryInterval = 1000; // timer 11: the deferred reload
    static constexpr std::chrono::milliseconds kLoaderWait{500};
    // Height of the buttons below the waveform.
    static constexpr int kButtonHeight = 25;

    // The engine is the program's single audio output; the pane shares it with the window, which opens
    // it in mode 0 at start-up and decides from it whether anything can be played.
    explicit PlayerPane(std::shared_ptr<PlaybackEngine> engine, QWidget* parent = nullptr);
    ~PlayerPane() override;

    // Attaches the pane to a record list's rows and loads the given row (the list's first selected
    // row, or row 0).
    void attach(RecordListModel* rows, int row);
    // Makes a copy of the record current and loads its recording; while a loading thread runs, the load
    // is deferred to timer 11.
    void loadRecord(const CallRecord& record);
    // The buttons' commands (ControlPrevious ... ControlStop).
    void command(int control);
    // Plays the whole recording from a second (the waveform view's double click).
    void playFrom(int second);

    // What timers 10 and 11 do when they fire; tests call them to run the clock by hand.
    void timer10Tick();
    void timer11Tick();

    // State, for the window and for tests.
    bool isLoading() const { return loader_.running(); }
    PlayMode playMode() const { return playMode_; }
    PlayState playState() const { return playState_; }
    uint32_t nextSecond() const { return nextSecond_; }
    uint32_t playStartSecond() const { return playStart_; }
    uint32_t duration() const { return recording_.duration(); }
    QString recordingPath() const;
    RecordListModel* attachedList() const { return list_; }
    int currentRow() const { return row_; }
    WaveformView* waveform() const { return view_; }
    PlaybackEngine& engine() const { return *engine_; }

    // Called on the loading thread after each second it drew: lets tests hold a load in progress.
    void setLoadingProbe(std::function<void(uint32_t second)> probe);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutControls();
    void updateCaptions();
    QPushButton* button(int control) const;

    bool load();
    void failLoad();
    void runLoadingThread(const std::atomic<bool>& stop, uint64_t generation);
    void loadingEnded(uint64_t generation);
    void stopLoaderAndRetry();

    void step(int delta);
    void colourCurrentRow(uint32_t rgb);

    bool refusePlay();
    void playCommand(PlayMode mode);
    void start(uint32_t second);
    void resume();
    void pause();
    void stop();
    // Stops timer 10 and the output; what is queued is dropped.
    void haltPlayback();
    void feedSecond(uint32_t second);
    uint32_t endOfMode() const;

    std::shared_ptr<PlaybackEngine> engine_;
    WaveformView* view_ = nullptr;
    std::array<QPushButton*, 6> buttons_{};
    QTimer* timer10_ = nullptr;
    QTimer* timer11_ = nullptr;

    QPointer<RecordListModel> list_;
    int row_ = 0;
    CallRecord record_{};
    bool hasRecord_ = false;

    OpenRecording recording_;
    PlayMode playMode_ = ModeWhole;
    PlayState playState_ = Stopped;
    uint32_t nextSecond_ = 0;
    uint32_t playStart_ = 0;
    uint32_t selectionEnd_ = 0;
    uint32_t bookmarkEnd_ = 0;

    // The loading thread and what it shares with the user-interface thread.
    platform::GuiQueue queue_;
    platform::WorkerSlot loader_;
    uint64_t loadGeneration_ = 0; // user-interface thread only; a posted end of an older load is ignored
    std::function<void(uint32_t)> probe_;
};

// Message 169: nothing can be played without an audio output.
void warnNoAudioOutput(QWidget* parent);

} // namespace tessa
