#include "audio/PlayerSession.h"

#include "audio/PlaybackEngine.h"
#include "audio/WaveImage.h"

#include <algorithm>
#include <QTimer>

namespace tessa {

PlayerSession::PlayerSession(std::shared_ptr<PlaybackEngine> engine, PlayerDisplay& display, QObject* parent)
    : QObject(parent), engine_(std::move(engine)), display_(display),
      recording_(std::make_shared<OpenRecording>()), image_(std::make_shared<WaveImage>()) {
    timer10_ = new QTimer(this);
    timer10_->setObjectName(QStringLiteral("timer10"));
    timer10_->setInterval(tickInterval());
    connect(timer10_, &QTimer::timeout, this, &PlayerSession::timer10Tick);
    timer11_ = new QTimer(this);
    timer11_->setObjectName(QStringLiteral("timer11"));
    timer11_->setInterval(kRetryInterval);
    timer11_->setSingleShot(true);
    connect(timer11_, &QTimer::timeout, this, &PlayerSession::timer11Tick);
}

PlayerSession::~PlayerSession() {
    timer10_->stop();
    timer11_->stop();
    engine_->reset();
    // A loading thread that does not stop in time keeps its recording and image; the queue drops its end.
    loader_.stop();
    queue_.close();
}

QString PlayerSession::recordingPath() const {
    return hasRecord_ ? record_.fullPath.text() : QString();
}

void PlayerSession::setLoadingProbe(std::function<void(uint32_t)> probe) {
    probe_ = std::move(probe);
}

// ---- loading

void PlayerSession::loadRecord(const CallRecord& record) {
    record_ = record;
    hasRecord_ = true;
    haltPlayback();
    timer11_->stop();
    if (isLoading())
        stopLoaderAndRetry();
    else
        load();
}

void PlayerSession::reload() {
    haltPlayback();
    stopLoaderAndRetry();
}

void PlayerSession::stopLoaderAndRetry() {
    ++loadGeneration_; // a load that got through just now must not start playing
    loader_.requestStop();
    loader_.wait(kLoaderWait);
    timer11_->start();
}

void PlayerSession::timer11Tick() {
    timer11_->stop();
    if (isLoading()) {
        // Still winding down: two loads never run at once, so try again a period later.
        timer11_->start();
        return;
    }
    if (hasRecord_)
        load();
}

bool PlayerSession::load() {
    // Nothing may be queued when the engine closes below, or the device refuses and keeps the old mode.
    haltPlayback();
    const OpenStatus status = recording_->open(recordingPath());
    if (status == OpenStatus::CannotOpen || status == OpenStatus::NoDecodedFile) {
        failLoad(playFailureOf(status, recordingPath()));
        return false;
    }
    // The header names the coding; the engine plays it in its own mode.
    const int mode = recording_->outputMode();
    if (engine_->mode() != mode) {
        engine_->close();
        engine_->open(mode);
    }
    if (status != OpenStatus::Opened) {
        failLoad(playFailureOf(status, recordingPath()));
        return false;
    }

    lastFailure_ = PlayFailure::None;
    nextSecond_ = 0;
    display_.clearWave();
    display_.setTotalLength(int(recording_->duration()));
    if (const auto bookmark = recording_->bookmark(); bookmark && bookmark->startSecond < bookmark->endSecond)
        display_.setBookmark(int(bookmark->startSecond), int(bookmark->endSecond));

    // No loading thread runs here; the new one starts with a clear stop request. It holds what it uses
    // and reaches the session only through the queue.
    const uint64_t generation = ++loadGeneration_;
    const bool started =
        loader_.start([recording = recording_, image = image_, probe = probe_, link = queue_.link(),
                       session = this, generation](const std::atomic<bool>& stop) {
            const bool through =
                recording->loadAll(stop, [&](std::span<const int16_t> samples, uint32_t n, uint32_t total) {
                    image->drawSecond(samples, int(n), int(total));
                    if (probe)
                        probe(n);
                });
            if (through)
                link.post([session, generation] { session->loadingEnded(generation); });
        });
    if (!started) {
        recording_->closeFile();
        failLoad(PlayFailure::Unreadable);
        return false;
    }
    return true;
}

void PlayerSession::failLoad(PlayFailure failure) {
    lastFailure_ = failure;
    nextSecond_ = 0;
    display_.clearWave();
    // A blank wave alone looks like a player that hangs; the strip says what is wrong with the file.
    if (failure != PlayFailure::None)
        display_.showPlayFailure(failure, recordingPath());
}

void PlayerSession::loadingEnded(uint64_t generation) {
    if (generation != loadGeneration_)
        return;
    // The thread posted this as its last act; it is gone or about to be.
    if (!loader_.wait(kLoaderWait))
        return;
    display_.redrawWave();
    playMode_ = ModeWhole;
    playState_ = Stopped;
    playStart_ = 0;
    display_.playStateChanged();
    play(ModeWhole);
}

// ---- playing

bool PlayerSession::refusePlay() {
    // A pending reload counts as loading: what is open is no longer the current record.
    if (isLoading() || timer11_->isActive())
        return true;
    if (!engine_->outputAvailable()) {
        display_.warnNoAudioOutput();
        return true;
    }
    return false;
}

void PlayerSession::play(PlayMode mode) {
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
        const auto [first, last] = display_.selectionSeconds();
        if (first < 0 || first >= last)
            return;
        // A selection plays from the second after its start.
        from = uint32_t(first) + 1;
        end = uint32_t(last);
        break;
    }
    case ModeBookmark: {
        const auto [first, last] = display_.bookmarkSeconds();
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

void PlayerSession::playFrom(int second) {
    if (refusePlay())
        return;
    playMode_ = ModeWhole;
    start(uint32_t(std::max(second, 0)));
}

void PlayerSession::start(uint32_t second) {
    nextSecond_ = playStart_ = second;
    resume();
}

void PlayerSession::resume() {
    playState_ = Playing;
    display_.playStateChanged();
    timer10_->stop();
    if (retimed_) {
        retimed_ = false;
        timer10_->setInterval(tickInterval());
    }
    timer10_->start();
    engine_->reset();
    display_.moveCursor(int(nextSecond_), int(recording_->duration()));
    feedSecond(nextSecond_);
    ++nextSecond_;
}

void PlayerSession::timer10Tick() {
    if (playState_ != Playing) {
        timer10_->stop();
        return;
    }
    // The first tick after a change of speed came when the audio queued before it ran out; from here
    // on the period follows the speed.
    if (retimed_) {
        retimed_ = false;
        timer10_->setInterval(tickInterval());
    }
    // Checked before the read too, so that a play begun at its end never reads past it.
    const uint32_t end = endOfMode();
    if (nextSecond_ < end) {
        feedSecond(nextSecond_);
        ++nextSecond_;
        display_.moveCursor(int(nextSecond_), int(recording_->duration()));
    }
    if (nextSecond_ >= end) {
        // The engine keeps what is queued: the last second plays out.
        playState_ = Stopped;
        display_.playStateChanged();
        timer10_->stop();
    }
}

uint32_t PlayerSession::endOfMode() const {
    switch (playMode_) {
    case ModeSelection:
        return selectionEnd_;
    case ModeBookmark:
        return bookmarkEnd_;
    default:
        return recording_->duration();
    }
}

void PlayerSession::feedSecond(uint32_t second) {
    const std::span<const uint8_t> bytes = recording_->readSecondForPlaying(second);
    if (!bytes.empty())
        engine_->write(bytes.data(), bytes.size());
}

void PlayerSession::pause() {
    playState_ = Paused;
    display_.playStateChanged();
    timer10_->stop();
    engine_->reset(); // what is queued is dropped; the next second stays for the resume
}

void PlayerSession::stop() {
    if (isLoading() || playState_ == Stopped)
        return;
    playState_ = Stopped;
    display_.playStateChanged();
    display_.redrawWave();
    timer10_->stop();
    engine_->reset();
}

void PlayerSession::togglePause() {
    play(playState_ == Stopped ? ModeWhole : playMode_);
}

uint32_t PlayerSession::position() const {
    return playState_ == Playing && nextSecond_ > 0 ? nextSecond_ - 1 : nextSecond_;
}

void PlayerSession::seekTo(int64_t second) {
    const uint32_t total = recording_->duration();
    if (total == 0 || recordingPath().isEmpty() || isLoading() || timer11_->isActive())
        return;
    const auto target = uint32_t(std::clamp<int64_t>(second, 0, total));
    if (playState_ == Stopped) {
        if (target < total)
            playFrom(int(target));
        return;
    }
    if (target >= endOfMode()) {
        // Past what plays: it ends there, as it would have by itself.
        nextSecond_ = endOfMode();
        haltPlayback();
        display_.moveCursor(int(nextSecond_), int(total));
        return;
    }
    nextSecond_ = target;
    if (playState_ == Playing)
        resume();
    else
        display_.moveCursor(int(target), int(total));
}

int PlayerSession::speed() const {
    return engine_->speed();
}

std::chrono::milliseconds PlayerSession::tickInterval() const {
    return std::chrono::milliseconds(kTickInterval * 100 / speed());
}

void PlayerSession::setSpeed(int percent) {
    const int before = speed();
    engine_->setSpeed(percent);
    const int after = speed();
    if (after == before)
        return;
    if (playState_ != Playing || !timer10_->isActive()) {
        timer10_->setInterval(tickInterval());
        return;
    }
    // What is queued plays on at the new pace; the next second is due when it runs out.
    const int left = std::max(timer10_->remainingTime(), 0);
    timer10_->start(int(int64_t(left) * before / after));
    retimed_ = true;
}

void PlayerSession::haltPlayback() {
    timer10_->stop();
    engine_->reset();
    if (playState_ != Stopped) {
        playState_ = Stopped;
        display_.playStateChanged();
    }
}

} // namespace tessa
