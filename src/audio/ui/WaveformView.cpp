#include "audio/ui/WaveformView.h"

#include "audio/WaveformGeometry.h"
#include "config/StringTable.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>

namespace tessa {

namespace {

constexpr QRgb kWaveBackground = 0xFF000000;
constexpr QRgb kWaveTrace = 0xFF00FF00;
constexpr QRgb kWaveCursor = 0xFF0000FF;
constexpr QRgb kWaveAnchor = 0xFFFF00FF;
constexpr QRgb kWaveFrame = 0xFF804000;
constexpr QRgb kWaveBookmark = 0xFF806464;
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

// Plots one second's trace into the wave image: each column's vertical stroke and the strokes joining
// neighbouring columns, which is the pixel set of the polyline through every sample.
class WaveTracePlotter {
public:
    explicit WaveTracePlotter(QImage& image)
        : bits_(image.bits()), stride_(image.bytesPerLine()), width_(image.width()), height_(image.height()) {
    }

    void operator()(const waveform::TraceRun& run) {
        if (hasPrevious_)
            line(previous_.column, previous_.lastY, run.column, run.firstY);
        if (run.samples >= 2)
            vertical(run.column, run.minY, run.maxY);
        previous_ = run;
        hasPrevious_ = true;
    }

    int lowColumn() const { return low_; }
    int highColumn() const { return high_; }

private:
    void plot(int x, int y) {
        if (x < 0 || x >= width_ || y < 0 || y >= height_)
            return;
        reinterpret_cast<QRgb*>(bits_ + y * stride_)[x] = kWaveTrace;
        note(x);
    }

    void vertical(int x, int y0, int y1) {
        if (x < 0 || x >= width_)
            return;
        y0 = std::max(y0, 0);
        y1 = std::min(y1, height_ - 1);
        for (int y = y0; y <= y1; ++y)
            reinterpret_cast<QRgb*>(bits_ + y * stride_)[x] = kWaveTrace;
        if (y0 <= y1)
            note(x);
    }

    // Bresenham, both ends included; a stroke wholly beside the image is not walked.
    void line(int x0, int y0, int x1, int y1) {
        if ((x0 < 0 && x1 < 0) || (x0 >= width_ && x1 >= width_))
            return;
        const int dx = std::abs(x1 - x0);
        const int sx = x0 < x1 ? 1 : -1;
        const int dy = -std::abs(y1 - y0);
        const int sy = y0 < y1 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            plot(x0, y0);
            if (x0 == x1 && y0 == y1)
                break;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }

    void note(int x) {
        low_ = std::min(low_, x);
        high_ = std::max(high_, x + 1);
    }

    uchar* bits_;
    qsizetype stride_;
    int width_;
    int height_;
    waveform::TraceRun previous_;
    bool hasPrevious_ = false;
    int low_ = std::numeric_limits<int>::max();
    int high_ = std::numeric_limits<int>::min();
};

} // namespace

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::ArrowCursor);
    // Arial with a 16-pixel character cell: about 14 pixels of em.
    stripFont_ = QFont(QStringLiteral("Arial"));
    stripFont_.setPixelSize(14);
    rebuildImages();
}

WaveformView::~WaveformView() = default;

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
    {
        std::lock_guard lock(mutex_);
        wave_ = rows > 0 && width > 0 ? QImage(width, rows, QImage::Format_RGB32) : QImage();
        if (!wave_.isNull())
            wave_.fill(kWaveBackground);
        waveWidth_ = width;
        waveBottom_ = waveform::waveAreaBottom(height);
        dirtyLow_ = dirtyHigh_ = 0;
    }
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
    {
        std::lock_guard lock(mutex_);
        const int rows = std::min(wave_.height(), screen_.height());
        if (wave_.width() == screen_.width()) {
            for (int y = 0; y < rows; ++y) {
                const QRgb* from = reinterpret_cast<const QRgb*>(wave_.constScanLine(y));
                QRgb* to = wavePixelRow(screen_, y);
                for (int x = low; x < high; ++x)
                    to[x] = inverted_[static_cast<size_t>(x)] ? from[x] ^ kWaveInvert : from[x];
            }
        }
    }
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
        waveform::stripText({text(165), text(166), text(167), text(193), text(168)},
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
    anchorX_ = currentX_ = previousX_ = 0;
    selecting_ = false;
    selectionStart_ = selectionEnd_ = 0;
    bookmarkStart_ = bookmarkEnd_ = 0;
    {
        std::lock_guard lock(mutex_);
        if (!wave_.isNull())
            wave_.fill(kWaveBackground);
    }
    eraseBackground();
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
    int low = 0;
    int high = 0;
    {
        std::lock_guard lock(mutex_);
        if (wave_.isNull())
            return;
        low = std::clamp(waveform::columnOfSecond(waveWidth_, total_, startSecond), 0, wave_.width());
        high = std::clamp(waveform::columnOfSecond(waveWidth_, total_, endSecond), 0, wave_.width());
        for (int y = 0; y < wave_.height(); ++y)
            std::fill(wavePixelRow(wave_, y) + low, wavePixelRow(wave_, y) + high, kWaveBookmark);
    }
    refreshColumns(low, high);
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

void WaveformView::drawSecond(std::span<const int16_t> samples, int second, int total) {
    bool post = false;
    {
        std::lock_guard lock(mutex_);
        // The first second of a recording also takes away whatever the window still shows of the last.
        if (second == 0)
            erasePending_ = true;
        if (!wave_.isNull()) {
            WaveTracePlotter plotter(wave_);
            waveform::walkTrace(samples, waveWidth_, total, second, 0, waveBottom_, plotter);
            if (plotter.lowColumn() < plotter.highColumn()) {
                dirtyLow_ =
                    dirtyLow_ < dirtyHigh_ ? std::min(dirtyLow_, plotter.lowColumn()) : plotter.lowColumn();
                dirtyHigh_ = std::max(dirtyHigh_, plotter.highColumn());
            }
        }
        // One update in flight at a time: a busy GUI thread gets the drawing of many seconds in one go.
        if (!flushPosted_ && (erasePending_ || dirtyLow_ < dirtyHigh_)) {
            flushPosted_ = true;
            post = true;
        }
    }
    if (post)
        QMetaObject::invokeMethod(
            this, [this] { flushPendingDrawing(); }, Qt::QueuedConnection);
}

void WaveformView::flushPendingDrawing() {
    bool erase = false;
    int low = 0;
    int high = 0;
    {
        std::lock_guard lock(mutex_);
        erase = erasePending_;
        low = dirtyLow_;
        high = dirtyHigh_;
        erasePending_ = false;
        dirtyLow_ = dirtyHigh_ = 0;
        flushPosted_ = false;
    }
    ensureImages();
    if (erase)
        eraseBackground();
    else if (low < high)
        refreshColumns(low, high);
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
    anchorX_ = currentX_ = previousX_ = clampedX(event->position().x());
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
    previousX_ = currentX_;
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
