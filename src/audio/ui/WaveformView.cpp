#include "audio/ui/WaveformView.h"

#include "audio/WaveformGeometry.h"
#include "config/StringTable.h"

#include <algorithm>
#include <cmath>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>

namespace tessa {

namespace {

constexpr QRgb kWaveBackground = WaveImage::kBackground;
constexpr QRgb kWaveCursor = 0xFF0000FF;
constexpr QRgb kWaveAnchor = 0xFFFF00FF;
constexpr QRgb kWaveFrame = 0xFF804000;
constexpr QRgb kWaveInvert = 0x00FFFFFF;
constexpr QRgb kWaveStripText = 0xFFFFFFFF;
// The anchor line's dash: so many pixels drawn, then a gap.
constexpr int kWaveDashOn = 18;
constexpr int kWaveDashPeriod = 24;
// The strip's text starts this far below the strip's top.
constexpr int kWaveStripTextTop = 5;

QRgb* wavePixelRow(QImage& image, int y) {
    return reinterpret_cast<QRgb*>(image.bits() + y * image.bytesPerLine());
}

} // namespace

WaveformView::WaveformView(QWidget* parent) : WaveformView(std::make_shared<WaveImage>(), parent) {}

WaveformView::WaveformView(std::shared_ptr<WaveImage> image, QWidget* parent)
    : QWidget(parent), image_(std::move(image)) {
    // The drawing thread only posts: the queue drops the call once the view is gone, whoever holds the
    // image then.
    image_->setChangeHandler([link = queue_.link(), this] { link.post([this] { flushPendingDrawing(); }); });
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::ArrowCursor);
    // Arial with a 16-pixel character cell: about 14 pixels of em.
    stripFont_ = QFont(QStringLiteral("Arial"));
    stripFont_.setPixelSize(14);
    rebuildImages();
}

WaveformView::~WaveformView() {
    image_->setChangeHandler({});
}

int WaveformView::waveRows() const {
    return std::min(waveform::waveImageHeight(screen_.height()), screen_.height());
}

int WaveformView::clampedX(double x) const {
    return std::clamp(static_cast<int>(std::floor(x)), 0, screen_.width());
}

void WaveformView::ensureImages() {
    // A hidden widget is resized before it hears about it; work at the size it has now.
    if (screen_.size() != size())
        rebuildImages();
}

void WaveformView::rebuildImages() {
    const int width = std::max(0, this->width());
    const int height = std::max(0, this->height());
    const int rows = waveform::waveImageHeight(height);
    image_->reset(width, rows, waveform::waveAreaBottom(height));
    screen_ = width > 0 && height > 0 ? QImage(width, height, QImage::Format_RGB32) : QImage();
    strip_ = width > 0 ? QImage(width, waveform::kStripHeight, QImage::Format_RGB32) : QImage();
    cursorColumn_.assign(static_cast<size_t>(rows), kWaveBackground);
    inverted_.assign(static_cast<size_t>(width), 0);
    cursorDrawn_ = false;
    anchorShown_ = false;
    eraseBackground();
}

void WaveformView::eraseBackground() {
    if (screen_.isNull())
        return;
    const int width = screen_.width();
    const int bottom = waveform::waveAreaBottom(screen_.height());
    screen_.fill(kWaveBackground);
    if (bottom > 0) {
        QPainter painter(&screen_);
        painter.fillRect(0, 0, width, 1, QColor(kWaveFrame));
        painter.fillRect(0, bottom - 1, width, 1, QColor(kWaveFrame));
        painter.fillRect(0, 0, 1, bottom, QColor(kWaveFrame));
        painter.fillRect(width - 1, 0, 1, bottom, QColor(kWaveFrame));
    }
    std::fill(inverted_.begin(), inverted_.end(), 0);
    const int low = std::clamp(std::min(anchorX_, currentX_), 0, width);
    const int high = std::clamp(std::max(anchorX_, currentX_), 0, width);
    std::fill(inverted_.begin() + low, inverted_.begin() + high, 1);
    copyWaveColumns(0, width);
    cursorDrawn_ = false;
    anchorShown_ = false;
    redrawStrip();
    update();
}

void WaveformView::copyWaveColumns(int low, int high) {
    low = std::max(low, 0);
    high = std::min(high, screen_.width());
    if (screen_.isNull() || low >= high)
        return;
    image_->read([&](const uint32_t* pixels, int width, int imageRows) {
        if (!pixels || width != screen_.width())
            return;
        const int rows = std::min(imageRows, screen_.height());
        for (int y = 0; y < rows; ++y) {
            const QRgb* from = pixels + size_t(y) * size_t(width);
            QRgb* to = wavePixelRow(screen_, y);
            for (int x = low; x < high; ++x)
                to[x] = inverted_[static_cast<size_t>(x)] ? from[x] ^ kWaveInvert : from[x];
        }
    });
    if (cursorDrawn_ && cursorX_ >= low && cursorX_ < high)
        cursorDrawn_ = false;
    if (anchorShown_ && anchorX_ >= low && anchorX_ < high)
        anchorShown_ = false;
    update(low, 0, high - low, waveRows());
}

// Brings columns up to date with the wave image while keeping the cursor and anchor lines drawn there.
void WaveformView::refreshColumns(int low, int high) {
    const bool cursor = cursorDrawn_ && cursorX_ >= low && cursorX_ < high;
    const bool anchor = anchorShown_ && anchorX_ >= low && anchorX_ < high;
    copyWaveColumns(low, high);
    if (anchor)
        drawAnchorLine();
    if (cursor)
        drawCursorLine();
}

// Inverts exactly the columns between the anchor and the current x; during a drag only the columns the
// pointer passed over since the last move differ from what is shown.
void WaveformView::showBand() {
    const int width = screen_.width();
    const int low = std::clamp(std::min(anchorX_, currentX_), 0, width);
    const int high = std::clamp(std::max(anchorX_, currentX_), 0, width);
    int x = 0;
    while (x < width) {
        const auto wanted = [&](int column) { return uint8_t(column >= low && column < high ? 1 : 0); };
        if (inverted_[static_cast<size_t>(x)] == wanted(x)) {
            ++x;
            continue;
        }
        const int start = x;
        while (x < width && inverted_[static_cast<size_t>(x)] != wanted(x)) {
            inverted_[static_cast<size_t>(x)] = wanted(x);
            ++x;
        }
        copyWaveColumns(start, x);
    }
}

void WaveformView::drawAnchorLine() {
    if (anchorX_ < 0 || anchorX_ >= screen_.width())
        return;
    const int rows = waveRows();
    for (int y = 0; y < rows; ++y) {
        if (y % kWaveDashPeriod < kWaveDashOn)
            wavePixelRow(screen_, y)[anchorX_] = kWaveAnchor;
    }
    anchorShown_ = true;
    update(anchorX_, 0, 1, rows);
}

// Saves the screen column at the cursor x and draws the cursor line over it.
void WaveformView::drawCursorLine() {
    const int rows = waveRows();
    if (cursorX_ < 0 || cursorX_ >= screen_.width() || rows <= 0)
        return;
    cursorColumn_.resize(static_cast<size_t>(rows));
    for (int y = 0; y < rows; ++y) {
        QRgb& pixel = wavePixelRow(screen_, y)[cursorX_];
        cursorColumn_[static_cast<size_t>(y)] = pixel;
        pixel = kWaveCursor;
    }
    cursorDrawn_ = true;
    update(cursorX_, 0, 1, rows);
}

void WaveformView::redrawStrip() {
    const int width = screen_.width();
    const waveform::SelectionSeconds selection =
        waveform::selectionSeconds(anchorX_, currentX_, width, total_);
    selectionStart_ = selection.start;
    selectionEnd_ = selection.end;
    stripText_ =
        !notice_.isEmpty()
            ? notice_
            : waveform::stripText({text(165), text(166), text(167), text(193), text(168)},
                                  {selection.start, selection.end, selection.length, cursorSecond_, total_});
    if (strip_.isNull() || screen_.isNull())
        return;
    strip_.fill(kWaveBackground);
    {
        QPainter painter(&strip_);
        painter.setFont(stripFont_);
        painter.setPen(QColor(kWaveStripText));
        painter.drawText(QRect(0, kWaveStripTextTop, strip_.width(), strip_.height() - kWaveStripTextTop),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, stripText_);
    }
    const int bottom = waveform::waveAreaBottom(screen_.height());
    QPainter painter(&screen_);
    painter.drawImage(0, bottom, strip_);
    update(0, bottom, width, waveform::kStripHeight);
}

void WaveformView::clear() {
    ensureImages();
    total_ = 0;
    cursorSecond_ = cursorX_ = 0;
    anchorX_ = currentX_ = 0;
    selecting_ = false;
    selectionStart_ = selectionEnd_ = 0;
    bookmarkStart_ = bookmarkEnd_ = 0;
    notice_.clear();
    image_->clear();
    eraseBackground();
}

void WaveformView::setNotice(const QString& notice) {
    ensureImages();
    notice_ = notice;
    redrawStrip();
}

void WaveformView::setTotalLength(int seconds) {
    ensureImages();
    total_ = seconds;
    redrawStrip();
}

void WaveformView::setBookmark(int startSecond, int endSecond) {
    ensureImages();
    bookmarkStart_ = startSecond;
    bookmarkEnd_ = endSecond;
    if (startSecond >= endSecond || total_ <= 0)
        return;
    if (const auto band = image_->paintBand(startSecond, endSecond, total_))
        refreshColumns(band->low, band->high);
}

void WaveformView::moveCursor(int second, int total) {
    ensureImages();
    cursorSecond_ = second;
    if (cursorDrawn_) {
        for (size_t y = 0; y < cursorColumn_.size() && int(y) < screen_.height(); ++y)
            wavePixelRow(screen_, int(y))[cursorX_] = cursorColumn_[y];
        cursorDrawn_ = false;
        update(cursorX_, 0, 1, waveRows());
    }
    cursorX_ = waveform::columnOfSecond(screen_.width(), total, second);
    drawCursorLine();
    redrawStrip();
}

void WaveformView::redrawWave() {
    ensureImages();
    std::fill(inverted_.begin(), inverted_.end(), 0);
    copyWaveColumns(0, screen_.width());
}

void WaveformView::flushPendingDrawing() {
    const WaveImage::Changes changes = image_->takeChanges();
    ensureImages();
    if (changes.erase)
        eraseBackground();
    else if (changes.low < changes.high)
        refreshColumns(changes.low, changes.high);
}

void WaveformView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (screen_.size() != size()) {
        painter.fillRect(event->rect(), QColor(kWaveBackground));
        return;
    }
    painter.drawImage(event->rect(), screen_, event->rect());
}

void WaveformView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The pictures are lost with the old size; the player loads the recording again to redraw them.
    ensureImages();
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || total_ == 0) {
        QWidget::mousePressEvent(event);
        return;
    }
    ensureImages();
    std::fill(inverted_.begin(), inverted_.end(), 0);
    copyWaveColumns(0, screen_.width());
    anchorX_ = currentX_ = clampedX(event->position().x());
    selecting_ = true;
    drawAnchorLine();
    redrawStrip();
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    ensureImages();
    currentX_ = clampedX(event->position().x());
    showBand();
    redrawStrip();
}

void WaveformView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        selecting_ = false;
    QWidget::mouseReleaseEvent(event);
}

void WaveformView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click does not start a selection.
    if (event->button() != Qt::LeftButton || total_ <= 0)
        return;
    ensureImages();
    const int second = waveform::secondOfColumn(clampedX(event->position().x()), screen_.width(), total_);
    QMetaObject::invokeMethod(
        this, [this, second] { emit playFromRequested(second); }, Qt::QueuedConnection);
}

} // namespace tessa
