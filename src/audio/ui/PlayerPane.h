#pragma once

// The player pane of the main view: the window of a PlayerSession. It holds the waveform view and the
// six buttons, steps to the previous or next row of the record list it is attached to (with wrap-around,
// colouring the current row), and shows what the session does. Playing, loading and the timers are the
// session's; its loading thread draws into the session's wave image, which the waveform view shows, and
// never calls a widget.

#include "audio/PlayerSession.h"
#include "browse/RecordListModel.h"
#include "format/CallRecord.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <QPointer>
#include <QWidget>
#include <utility>

class QAction;
class QMenu;
class QPushButton;
class QToolButton;

namespace tessa {

class PlaybackEngine;
class RecordFilterProxy;
class WaveformView;

class PlayerPane : public QWidget, private PlayerDisplay {
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
    using PlayMode = PlayerSession::PlayMode;
    using PlayState = PlayerSession::PlayState;
    using enum PlayerSession::PlayMode;
    using enum PlayerSession::PlayState;

    // Height of the buttons below the waveform.
    static constexpr int kButtonHeight = 25;

    // The engine is the program's single audio output; the pane shares it with the window, which opens
    // it in mode 0 at start-up and decides from it whether anything can be played.
    explicit PlayerPane(std::shared_ptr<PlaybackEngine> engine, QWidget* parent = nullptr);
    ~PlayerPane() override;

    // Attaches the pane to a record list's rows and loads the given row (the list's first selected
    // row, or row 0). With a filter, Previous and Next step over the rows it hides.
    void attach(RecordListModel* rows, int row, const RecordFilterProxy* shown = nullptr);
    // Colours the current row and makes a copy of the record current in the session, which loads it.
    void loadRecord(const CallRecord& record);
    // The buttons' commands (ControlPrevious ... ControlStop).
    void command(int control);
    // Plays the whole recording from a second (the waveform view's double click).
    void playFrom(int second) { session_->playFrom(second); }

    // The keyboard transport: Space pauses and resumes, Left and Right move 5 s, Home and End go to the
    // start and the end. The actions work where they are added: the pane adds them to itself, and the
    // window adds them to the record pages, so that the navigation tree keeps its own arrow keys.
    enum Transport : int { PauseResume, Back, Forward, ToStart, ToEnd };
    static constexpr int kSeekSeconds = 5;
    QAction* transportAction(Transport which) const { return transport_[size_t(which)]; }
    QList<QAction*> transportActions() const;
    // The pane's context menu: the transport entries with their keys, then the speed menu.
    void fillContextMenu(QMenu& menu) const;

    // Playback speed: one of kPlaybackSpeeds (a value between steps takes the nearest). The choice is
    // kept in the settings and is the speed of the next run too. The speed button at the right end of
    // the waveform's strip opens the speed menu; [ and ] step slower and faster, on the pane and on
    // the pages the window adds speedActions() to.
    void setSpeed(int percent);
    int speed() const { return session_->speed(); }
    QMenu* speedMenu() const { return speedMenu_; }
    QAction* slowerAction() const { return slower_; }
    QAction* fasterAction() const { return faster_; }
    QList<QAction*> speedActions() const { return {slower_, faster_}; }

    // What timers 10 and 11 do when they fire; tests call them to run the clock by hand.
    void timer10Tick() { session_->timer10Tick(); }
    void timer11Tick() { session_->timer11Tick(); }

    // State, for the window and for tests.
    PlayerSession& session() const { return *session_; }
    bool isLoading() const { return session_->isLoading(); }
    PlayMode playMode() const { return session_->playMode(); }
    PlayState playState() const { return session_->playState(); }
    uint32_t nextSecond() const { return session_->nextSecond(); }
    uint32_t playStartSecond() const { return session_->playStartSecond(); }
    uint32_t duration() const { return session_->duration(); }
    QString recordingPath() const { return session_->recordingPath(); }
    RecordListModel* attachedList() const { return list_; }
    int currentRow() const { return row_; }
    WaveformView* waveform() const { return view_; }
    PlaybackEngine& engine() const { return session_->engine(); }

    // Called on the loading thread after each second it drew: lets tests hold a load in progress.
    void setLoadingProbe(std::function<void(uint32_t second)> probe) {
        session_->setLoadingProbe(std::move(probe));
    }

signals:
    // Previous or next made another row of the attached list current: the list's view selects it, so
    // that the user sees which record plays.
    void rowMadeCurrent(RecordListModel* list, int row);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // PlayerDisplay: the session's calls, passed to the waveform view and the buttons.
    void clearWave() override;
    void setTotalLength(int seconds) override;
    void setBookmark(int startSecond, int endSecond) override;
    void moveCursor(int second, int total) override;
    void redrawWave() override;
    std::pair<int, int> selectionSeconds() const override;
    std::pair<int, int> bookmarkSeconds() const override;
    void playStateChanged() override;
    void warnNoAudioOutput() override;
    void showPlayFailure(PlayFailure failure, const QString& programPath) override;

    void buildTransport();
    void buildSpeedControl();
    void showSpeed();
    void layoutControls();
    void updateCaptions();
    QPushButton* button(int control) const;

    void step(int delta);
    void colourCurrentRow(uint32_t rgb);

    PlayerSession* session_ = nullptr;
    WaveformView* view_ = nullptr;
    std::array<QPushButton*, 6> buttons_{};
    std::array<QAction*, 5> transport_{};
    QToolButton* speedButton_ = nullptr;
    QMenu* speedMenu_ = nullptr;
    QList<QAction*> speedSteps_;
    QAction* slower_ = nullptr;
    QAction* faster_ = nullptr;

    QPointer<RecordListModel> list_;
    QPointer<const RecordFilterProxy> shown_;
    int row_ = 0;
};

// Message 169: nothing can be played without an audio output.
void warnNoAudioOutput(QWidget* parent);
// The status strip's line for a recording that did not load; empty for PlayFailure::None.
QString playFailureText(PlayFailure failure, const QString& programPath);

} // namespace tessa
