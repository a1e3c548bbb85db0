#include "audio/ui/PlayerPane.h"

#include "audio/PlaybackEngine.h"
#include "audio/PlaybackSpeed.h"
#include "audio/ui/WaveformView.h"
#include "audio/WaveformGeometry.h"
#include "browse/RecordFilter.h"
#include "browse/RecordListModel.h"
#include "config/StringTable.h"

#include <algorithm>
#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

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

int buttonOfMode(PlayerSession::PlayMode mode) {
    switch (mode) {
    case PlayerSession::ModeSelection:
        return PlayerPane::ControlPlaySelection;
    case PlayerSession::ModeBookmark:
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

// A label with its key, as tooltips show it.
QString withKey(const QString& label, const QKeySequence& key) {
    return QStringLiteral("%1 (%2)").arg(label, key.toString(QKeySequence::NativeText));
}

// A speed as the menu and the button show it: 0.5×, 1×, 1.25× ...
QString speedLabel(int percent) {
    return QLocale().toString(percent / 100.0, 'g', 3) + QChar(0x00D7);
}

// The speed button sits at the right end of the waveform's strip, clear of its centred text.
constexpr int kSpeedButtonWidth = 56;

} // namespace player_pane_internal

QString playFailureText(PlayFailure failure, const QString& programPath) {
    switch (failure) {
    case PlayFailure::None:
        return {};
    case PlayFailure::NoRecording:
        return text(263);
    case PlayFailure::NotFound:
        return QStringLiteral("%1 %2").arg(text(260), programPath);
    case PlayFailure::Empty:
        return QStringLiteral("%1 %2").arg(text(261), programPath);
    case PlayFailure::Unreadable:
        return QStringLiteral("%1 %2").arg(text(262), programPath);
    case PlayFailure::NoTempFile:
        return text(264);
    }
    return {};
}

using namespace player_pane_internal;

void warnNoAudioOutput(QWidget* parent) {
    QMessageBox box(QMessageBox::Warning, text(170), text(169), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("outputUnavailable"));
    box.exec();
}

PlayerPane::PlayerPane(std::shared_ptr<PlaybackEngine> engine, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("dlg152"));
    session_ = new PlayerSession(std::move(engine), *this, this);

    view_ = new WaveformView(session_->waveImage(), this);
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
    buildTransport();
    buildSpeedControl();
    updateCaptions();
    layoutControls();
}

void PlayerPane::buildTransport() {
    struct Entry {
        Transport which;
        const char* name;
        Qt::Key key;
        QString label;
    };
    const Entry entries[] = {
        {PauseResume, "transportPauseResume", Qt::Key_Space, text(265)},
        {Back, "transportBack", Qt::Key_Left, text(266)},
        {Forward, "transportForward", Qt::Key_Right, text(267)},
        {ToStart, "transportStart", Qt::Key_Home, text(268)},
        {ToEnd, "transportEnd", Qt::Key_End, text(269)},
    };
    for (const Entry& e : entries) {
        auto* action = new QAction(e.label, this);
        action->setObjectName(QLatin1String(e.name));
        action->setShortcut(QKeySequence(e.key));
        // Within the pane and the pages it is added to, never the whole window.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        action->setToolTip(withKey(e.label, action->shortcut()));
        connect(action, &QAction::triggered, this, [this, which = e.which] {
            switch (which) {
            case PauseResume:
                session_->togglePause();
                break;
            case Back:
                session_->seekBy(-kSeekSeconds);
                break;
            case Forward:
                session_->seekBy(kSeekSeconds);
                break;
            case ToStart:
                session_->seekTo(0);
                break;
            case ToEnd:
                session_->seekTo(session_->duration());
                break;
            }
        });
        transport_[size_t(e.which)] = action;
        addAction(action);
    }
}

void PlayerPane::buildSpeedControl() {
    speedMenu_ = new QMenu(text(430), this);
    speedMenu_->setObjectName(QStringLiteral("speedMenu"));
    auto* steps = new QActionGroup(this);
    steps->setExclusive(true);
    for (int percent : kPlaybackSpeeds) {
        QAction* step = speedMenu_->addAction(speedLabel(percent));
        step->setObjectName(QStringLiteral("speed%1").arg(percent));
        step->setCheckable(true);
        step->setData(percent);
        steps->addAction(step);
        connect(step, &QAction::triggered, this, [this, percent] { setSpeed(percent); });
        speedSteps_.append(step);
    }
    speedMenu_->addSeparator();
    const auto stepAction = [this](const char* name, Qt::Key key, const QString& label, int (*next)(int)) {
        auto* action = new QAction(label, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(QKeySequence(key));
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        action->setToolTip(withKey(label, action->shortcut()));
        connect(action, &QAction::triggered, this, [this, next] { setSpeed(next(speed())); });
        addAction(action);
        speedMenu_->addAction(action);
        return action;
    };
    slower_ = stepAction("speedSlower", Qt::Key_BracketLeft, text(431), slowerPlaybackSpeed);
    faster_ = stepAction("speedFaster", Qt::Key_BracketRight, text(432), fasterPlaybackSpeed);

    speedButton_ = new QToolButton(view_);
    speedButton_->setObjectName(QStringLiteral("playSpeed"));
    speedButton_->setAutoRaise(true);
    speedButton_->setFocusPolicy(Qt::NoFocus);
    speedButton_->setPopupMode(QToolButton::InstantPopup);
    speedButton_->setMenu(speedMenu_);
    const QString keys = QStringLiteral("%1 %2, %3 %4")
                             .arg(slower_->shortcut().toString(QKeySequence::NativeText), text(431),
                                  faster_->shortcut().toString(QKeySequence::NativeText), text(432));
    speedButton_->setToolTip(QStringLiteral("%1 (%2)").arg(text(430), keys));

    // The speed of the last run; restoring it is no new choice, so nothing is written.
    session_->setSpeed(readPlaybackSpeedSetting());
    showSpeed();
}

void PlayerPane::setSpeed(int percent) {
    const int step = nearestPlaybackSpeed(percent);
    if (step != speed())
        session_->setSpeed(step);
    writePlaybackSpeedSetting(step);
    showSpeed();
}

void PlayerPane::showSpeed() {
    const int now = speed();
    for (QAction* step : speedSteps_)
        step->setChecked(step->data().toInt() == now);
    speedButton_->setText(speedLabel(now));
    slower_->setEnabled(now > kPlaybackSpeeds.front());
    faster_->setEnabled(now < kPlaybackSpeeds.back());
}

QList<QAction*> PlayerPane::transportActions() const {
    return QList<QAction*>(transport_.begin(), transport_.end());
}

void PlayerPane::fillContextMenu(QMenu& menu) const {
    menu.clear();
    for (QAction* action : transport_)
        menu.addAction(action);
    menu.addSeparator();
    menu.addMenu(speedMenu_);
}

void PlayerPane::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("playerMenu"));
    fillContextMenu(menu);
    menu.exec(event->globalPos());
}

PlayerPane::~PlayerPane() {
    // The session goes while the pane it shows is still whole.
    delete session_;
    session_ = nullptr;
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
    if (speedButton_) {
        const int strip = waveform::kStripHeight;
        speedButton_->setGeometry(std::max(0, view_->width() - kSpeedButtonWidth - 2),
                                  std::max(0, view_->height() - strip + 2), kSpeedButtonWidth, strip - 4);
    }
}

void PlayerPane::updateCaptions() {
    const int playing = playState() == Playing ? buttonOfMode(playMode()) : 0;
    for (int control : kButtonOrder)
        button(control)->setText(control == playing ? text(191) : ownCaption(control));
    // The play button pauses and resumes, as Space does.
    if (QAction* space = transport_[PauseResume])
        button(ControlPlay)->setToolTip(withKey(ownCaption(ControlPlay), space->shortcut()));
}

void PlayerPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutControls();
    if (recordingPath().isEmpty())
        return;
    // The waveform lost its picture with the old size: load the record again, which redraws it (and
    // starts playing from the beginning).
    session_->reload();
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
    if (session_ && isLoading() && isDialogKey(event))
        return true;
    return QWidget::eventFilter(watched, event);
}

// ---- what the session shows

void PlayerPane::clearWave() {
    view_->clear();
}

void PlayerPane::setTotalLength(int seconds) {
    view_->setTotalLength(seconds);
}

void PlayerPane::setBookmark(int startSecond, int endSecond) {
    view_->setBookmark(startSecond, endSecond);
}

void PlayerPane::moveCursor(int second, int total) {
    view_->moveCursor(second, total);
}

void PlayerPane::redrawWave() {
    view_->redrawWave();
}

std::pair<int, int> PlayerPane::selectionSeconds() const {
    return {view_->selectionStartSecond(), view_->selectionEndSecond()};
}

std::pair<int, int> PlayerPane::bookmarkSeconds() const {
    return {view_->bookmarkStartSecond(), view_->bookmarkEndSecond()};
}

void PlayerPane::playStateChanged() {
    updateCaptions();
}

void PlayerPane::warnNoAudioOutput() {
    tessa::warnNoAudioOutput(this);
}

void PlayerPane::showPlayFailure(PlayFailure failure, const QString& programPath) {
    view_->setNotice(playFailureText(failure, programPath));
}

// ---- the record list

void PlayerPane::attach(RecordListModel* rows, int row, const RecordFilterProxy* shown) {
    if (!rows)
        return;
    // The row that played so far, in this list or another, stops being current.
    colourCurrentRow(RecordListModel::kWindowColour);
    list_ = rows;
    shown_ = shown;
    row_ = row;
    if (const CallRecord* r = rows->record(row_))
        loadRecord(*r);
}

void PlayerPane::loadRecord(const CallRecord& record) {
    colourCurrentRow(RecordListModel::kPlayingRowColour);
    session_->loadRecord(record);
}

void PlayerPane::colourCurrentRow(uint32_t rgb) {
    if (list_)
        list_->setRowBackground(row_, rgb);
}

void PlayerPane::step(int delta) {
    if (isLoading() || !list_)
        return;
    session_->haltPlayback();
    colourCurrentRow(RecordListModel::kWindowColour);
    const int rows = list_->rowCount();
    if (rows <= 0)
        return;
    // Rows may have gone since the index was set; it still moves one step and wraps at both ends, over
    // the rows a filter hides. When the filter hides them all, nothing is current.
    const auto shown = [this](int row) {
        return !shown_ || shown_->sourceModel() != list_ || !shown_->isFiltering() ||
               shown_->shownRow(row) >= 0;
    };
    int tries = rows;
    do {
        if (delta < 0)
            row_ = row_ <= 0 ? rows - 1 : std::min(row_ - 1, rows - 1);
        else
            row_ = row_ + 1 >= rows ? 0 : row_ + 1;
    } while (!shown(row_) && --tries > 0);
    if (!shown(row_))
        return;
    emit rowMadeCurrent(list_, row_);
    if (const CallRecord* r = list_->record(row_))
        loadRecord(*r);
}

void PlayerPane::command(int control) {
    switch (control) {
    case ControlPrevious:
        step(-1);
        return;
    case ControlNext:
        step(1);
        return;
    case ControlPlay:
        session_->play(ModeWhole);
        return;
    case ControlPlaySelection:
        session_->play(ModeSelection);
        return;
    case ControlPlayBookmark:
        session_->play(ModeBookmark);
        return;
    case ControlStop:
        session_->stop();
        return;
    default:
        return;
    }
}

} // namespace tessa
