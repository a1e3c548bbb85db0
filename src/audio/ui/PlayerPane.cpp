#include "audio/ui/PlayerPane.h"

#include "audio/PlaybackEngine.h"
#include "audio/ui/WaveformView.h"
#include "browse/RecordListModel.h"
#include "config/StringTable.h"

#include <algorithm>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace tessa {

// Named rather than anonymous: the library is built in unity batches, where anonymous namespaces of
// different files merge.
namespace player_pane_internal {

// The buttons from left to right.
constexpr std::array<int, 6> kButtonOrder = {
    PlayerPane::ControlPrevious,     PlayerPane::ControlPlay, PlayerPane::ControlPlaySelection,
    PlayerPane::ControlPlayBookmark, PlayerPane::ControlStop, PlayerPane::ControlNext,
};

QString ownCaption(int control) {
    switch (control) {
    case PlayerPane::ControlPrevious:
        return text(88);
    case PlayerPane::ControlNext:
        return text(89);
    case PlayerPane::ControlPlaySelection:
        return text(162);
    case PlayerPane::ControlPlay:
        return text(189);
    case PlayerPane::ControlPlayBookmark:
        return text(190);
    case PlayerPane::ControlStop:
        return text(192);
    default:
        return {};
    }
}

int buttonOfMode(PlayerPane::PlayMode mode) {
    switch (mode) {
    case PlayerPane::ModeSelection:
        return PlayerPane::ControlPlaySelection;
    case PlayerPane::ModeBookmark:
        return PlayerPane::ControlPlayBookmark;
    default:
        return PlayerPane::ControlPlay;
    }
}

bool isDialogKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace player_pane_internal

using namespace player_pane_internal;

void warnNoAudioOutput(QWidget* parent) {
    QMessageBox box(QMessageBox::Warning, text(170), text(169), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("outputUnavailable"));
    box.exec();
}

PlayerPane::PlayerPane(std::shared_ptr<PlaybackEngine> engine, QWidget* parent)
    : QWidget(parent), engine_(std::move(engine)) {
    setObjectName(QStringLiteral("dlg152"));

    view_ = new WaveformView(this);
    view_->setObjectName(QStringLiteral("ctl%1").arg(int(ControlWaveform)));
    view_->installEventFilter(this);
    connect(view_, &WaveformView::playFromRequested, this, &PlayerPane::playFrom);

    for (size_t i = 0; i < kButtonOrder.size(); ++i) {
        const int control = kButtonOrder[i];
        auto* b = new QPushButton(this);
        b->setObjectName(QStringLiteral("ctl%1").arg(control));
        b->setAutoDefault(false);
        b->installEventFilter(this);
        connect(b, &QPushButton::clicked, this, [this, control] { command(control); });
        buttons_[i] = b;
    }
    updateCaptions();

    timer10_ = new QTimer(this);
    timer10_->setObjectName(QStringLiteral("timer10"));
    timer10_->setInterval(kTickInterval);
    connect(timer10_, &QTimer::timeout, this, &PlayerPane::timer10Tick);
    timer11_ = new QTimer(this);
    timer11_->setObjectName(QStringLiteral("timer11"));
    timer11_->setInterval(kRetryInterval);
    timer11_->setSingleShot(true);
    connect(timer11_, &QTimer::timeout, this, &PlayerPane::timer11Tick);

    layoutControls();
}

PlayerPane::~PlayerPane() {
    timer10_->stop();
    timer11_->stop();
    engine_->reset();
    // The loading thread draws into the view, a child that goes after this body: it must end first.
    loader_.stop();
    queue_.close();
}

QString PlayerPane::recordingPath() const {
    return hasRecord_ ? record_.fullPath.text() : QString();
}

void PlayerPane::setLoadingProbe(std::function<void(uint32_t)> probe) {
    probe_ = std::move(probe);
}

QPushButton* PlayerPane::button(int control) const {
    for (size_t i = 0; i < kButtonOrder.size(); ++i)
        if (kButtonOrder[i] == control)
            return buttons_[i];
    return nullptr;
}

// ---- layout and captions

void PlayerPane::layoutControls() {
    const int cx = width(), cy = height();
    view_->setGeometry(2, 2, std::max(0, cx - 4), std::max(0, cy - 29));
    const int w = std::max(0, (cx - 16) / 6);
    for (size_t i = 0; i < buttons_.size(); ++i)
        buttons_[i]->setGeometry(2 + int(i) * (w + 3), cy - 26, w, kButtonHeight);
}

void PlayerPane::updateCaptions() {
    const int playing = playState_ == Playing ? buttonOfMode(playMode_) : 0;
    for (int control : kButtonOrder)
        button(control)->setText(control == playing ? text(191) : ownCaption(control));
}

void PlayerPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutControls();
    if (recordingPath().isEmpty())
        return;
    // The waveform lost its picture with the old size: load the record again, which redraws it (and
    // starts playing from the beginning).
    haltPlayback();
    stopLoaderAndRetry();
}

void PlayerPane::closeEvent(QCloseEvent* event) {
    if (isLoading())
        event->ignore();
    else
        QWidget::closeEvent(event);
}

void PlayerPane::keyPressEvent(QKeyEvent* event) {
    if (isLoading() && isDialogKey(event)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool PlayerPane::eventFilter(QObject* watched, QEvent* event) {
    // Escape and Enter would reach the window while a load runs; they are dropped.
    if (isLoading() && isDialogKey(event))
        return true;
    return QWidget::eventFilter(watched, event);
}

// ---- loading

void PlayerPane::attach(RecordListModel* rows, int row) {
    if (!rows)
        return;
    // The row that played so far, in this list or another, stops being current.
    colourCurrentRow(RecordListModel::kWindowColour);
    list_ = rows;
    row_ = row;
    if (const CallRecord* r = rows->record(row_))
        loadRecord(*r);
}

void PlayerPane::loadRecord(const CallRecord& record) {
    record_ = record;
    hasRecord_ = true;
    haltPlayback();
    timer11_->stop();
    colourCurrentRow(RecordListModel::kPlayingRowColour);
    if (isLoading())
        stopLoaderAndRetry();
    else
        load();
}

void PlayerPane::stopLoaderAndRetry() {
    ++loadGeneration_; // a load that got through just now must not start playing
    loader_.requestStop();
    loader_.wait(kLoaderWait);
    timer11_->start();
}

void PlayerPane::timer11Tick() {
    timer11_->stop();
    if (isLoading()) {
        // Still winding down: two loads never run at once, so try again a period later.
        timer11_->start();
        return;
    }
    if (hasRecord_)
        load();
}

bool PlayerPane::load() {
    // Nothing may be queued when the engine closes below, or the device refuses and keeps the old mode.
    haltPlayback();
    const OpenStatus status = recording_.open(recordingPath());
    if (status == OpenStatus::CannotOpen || status == OpenStatus::NoDecodedFile) {
        failLoad();
        return false;
    }
    // The header names the coding; the engine plays it in its own mode.
    const int mode = recording_.outputMode();
    if (engine_->mode() != mode) {
        engine_->close();
        engine_->open(mode);
    }
    if (status != OpenStatus::Opened) {
        failLoad();
        return false;
    }

    nextSecond_ = 0;
    view_->clear();
    view_->setTotalLength(int(recording_.duration()));
    if (const auto bookmark = recording_.bookmark(); bookmark && bookmark->startSecond < bookmark->endSecond)
        view_->setBookmark(int(bookmark->startSecond), int(bookmark->endSecond));

    // No loading thread runs here; the new one starts with a clear stop request.
    const uint64_t generation = ++loadGeneration_;
    if (!loader_.start(
            [this, generation](const std::atomic<bool>& stop) { runLoadingThread(stop, generation); })) {
        recording_.closeFile();
        failLoad();
        return false;
    }
    return true;
}

void PlayerPane::failLoad() {
    nextSecond_ = 0;
    view_->clear();
}

// On the loading thread: no widget is touched here but through the view's own thread-safe drawing.
void PlayerPane::runLoadingThread(const std::atomic<bool>& stop, uint64_t generation) {
    const bool through =
        recording_.loadAll(stop, [this](std::span<const int16_t> samples, uint32_t n, uint32_t total) {
            view_->drawSecond(samples, int(n), int(total));
            if (probe_)
                probe_(n);
        });
    if (through)
        queue_.post([this, generation] { loadingEnded(generation); });
}

void PlayerPane::loadingEnded(uint64_t generation) {
    if (generation != loadGeneration_)
        return;
    // The thread posted this as its last act; it is gone or about to be.
    if (!loader_.wait(kLoaderWait))
        return;
    view_->redrawWave();
    playMode_ = ModeWhole;
    playState_ = Stopped;
    playStart_ = 0;
    updateCaptions();
    command(ControlPlay);
}

// ---- the record list

void PlayerPane::colourCurrentRow(uint32_t rgb) {
    if (list_)
        list_->setRowBackground(row_, rgb);
}

void PlayerPane::step(int delta) {
    if (isLoading() || !list_)
        return;
    haltPlayback();
    colourCurrentRow(RecordListModel::kWindowColour);
    const int rows = list_->rowCount();
    if (rows <= 0)
        return;
    // Rows may have gone since the index was set; it still moves one step and wraps at both ends.
    if (delta < 0)
        row_ = row_ <= 0 ? rows - 1 : std::min(row_ - 1, rows - 1);
    else
        row_ = row_ + 1 >= rows ? 0 : row_ + 1;
    if (const CallRecord* r = list_->record(row_))
        loadRecord(*r);
}

// ---- playing

void PlayerPane::command(int control) {
    switch (control) {
    case ControlPrevious:
        step(-1);
        return;
    case ControlNext:
        step(1);
        return;
    case ControlPlay:
        playCommand(ModeWhole);
        return;
    case ControlPlaySelection:
        playCommand(ModeSelection);
        return;
    case ControlPlayBookmark:
        playCommand(ModeBookmark);
        return;
    case ControlStop:
        stop();
        return;
    default:
        return;
    }
}

bool PlayerPane::refusePlay() {
    // A pending reload counts as loading: what is open is no longer the current record.
    if (isLoading() || timer11_->isActive())
        return true;
    if (!engine_->outputAvailable()) {
        warnNoAudioOutput(this);
        return true;
    }
    return false;
}

void PlayerPane::playCommand(PlayMode mode) {
    if (refusePlay())
        return;
    uint32_t from = 0;
    uint32_t end = 0;
    switch (mode) {
    case ModeWhole:
        if (recordingPath().isEmpty())
            return;
        break;
    case ModeSelection: {
        const int first = view_->selectionStartSecond(), last = view_->selectionEndSecond();
        if (first < 0 || first >= last)
            return;
        // A selection plays from the second after its start.
        from = uint32_t(first) + 1;
        end = uint32_t(last);
        break;
    }
    case ModeBookmark: {
        const int first = view_->bookmarkStartSecond(), last = view_->bookmarkEndSecond();
        if (first < 0 || first >= last)
            return;
        from = uint32_t(first);
        end = uint32_t(last);
        break;
    }
    }
    if (playMode_ == mode && playState_ == Paused) {
        resume();
        return;
    }
    if (playMode_ == mode && playState_ == Playing) {
        pause();
        return;
    }
    playMode_ = mode;
    if (mode == ModeSelection)
        selectionEnd_ = end;
    else if (mode == ModeBookmark)
        bookmarkEnd_ = end;
    start(from);
}

void PlayerPane::playFrom(int second) {
    if (refusePlay())
        return;
    playMode_ = ModeWhole;
    start(uint32_t(std::max(second, 0)));
}

void PlayerPane::start(uint32_t second) {
    nextSecond_ = playStart_ = second;
    resume();
}

void PlayerPane::resume() {
    playState_ = Playing;
    updateCaptions();
    timer10_->stop();
    timer10_->start();
    engine_->reset();
    view_->moveCursor(int(nextSecond_), int(recording_.duration()));
    feedSecond(nextSecond_);
    ++nextSecond_;
}

void PlayerPane::timer10Tick() {
    if (playState_ != Playing) {
        timer10_->stop();
        return;
    }
    // Checked before the read too, so that a play begun at its end never reads past it.
    const uint32_t end = endOfMode();
    if (nextSecond_ < end) {
        feedSecond(nextSecond_);
        ++nextSecond_;
        view_->moveCursor(int(nextSecond_), int(recording_.duration()));
    }
    if (nextSecond_ >= end) {
        // The engine keeps what is queued: the last second plays out.
        playState_ = Stopped;
        updateCaptions();
        timer10_->stop();
    }
}

uint32_t PlayerPane::endOfMode() const {
    switch (playMode_) {
    case ModeSelection:
        return selectionEnd_;
    case ModeBookmark:
        return bookmarkEnd_;
    default:
        return recording_.duration();
    }
}

void PlayerPane::feedSecond(uint32_t second) {
    const std::span<const uint8_t> bytes = recording_.readSecondForPlaying(second);
    if (!bytes.empty())
        engine_->write(bytes.data(), bytes.size());
}

void PlayerPane::pause() {
    playState_ = Paused;
    updateCaptions();
    timer10_->stop();
    engine_->reset(); // what is queued is dropped; the next second stays for the resume
}

void PlayerPane::stop() {
    if (isLoading() || playState_ == Stopped)
        return;
    playState_ = Stopped;
    updateCaptions();
    view_->redrawWave();
    timer10_->stop();
    engine_->reset();
}

void PlayerPane::haltPlayback() {
    timer10_->stop();
    engine_->reset();
    if (playState_ != Stopped) {
        playState_ = Stopped;
        updateCaptions();
    }
}

} // namespace tessa
