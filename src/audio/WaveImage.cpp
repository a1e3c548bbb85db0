#include "audio/WaveImage.h"

#include "audio/WaveformGeometry.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace tessa {

// Named rather than anonymous: the library is built in unity batches, where anonymous namespaces of
// different files merge.
namespace wave_image_internal {

// Plots one second's trace: each column's vertical stroke and the strokes joining neighbouring columns,
// which is the pixel set of the polyline through every sample.
class TracePlotter {
public:
    TracePlotter(uint32_t* pixels, int width, int rows) : pixels_(pixels), width_(width), height_(rows) {}

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
    uint32_t& at(int x, int y) { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }

    void plot(int x, int y) {
        if (x < 0 || x >= width_ || y < 0 || y >= height_)
            return;
        at(x, y) = WaveImage::kTrace;
        note(x);
    }

    void vertical(int x, int y0, int y1) {
        if (x < 0 || x >= width_)
            return;
        y0 = std::max(y0, 0);
        y1 = std::min(y1, height_ - 1);
        for (int y = y0; y <= y1; ++y)
            at(x, y) = WaveImage::kTrace;
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

    uint32_t* pixels_;
    int width_;
    int height_;
    waveform::TraceRun previous_;
    bool hasPrevious_ = false;
    int low_ = std::numeric_limits<int>::max();
    int high_ = std::numeric_limits<int>::min();
};

} // namespace wave_image_internal

void WaveImage::reset(int width, int rows, int waveBottom) {
    std::lock_guard lock(mutex_);
    const bool room = width > 0 && rows > 0;
    width_ = room ? width : 0;
    rows_ = room ? rows : 0;
    pixels_.assign(room ? size_t(width) * size_t(rows) : 0, kBackground);
    waveWidth_ = std::max(width, 0);
    waveBottom_ = waveBottom;
    // The columns drawn are gone with the old size; a pending erase still stands.
    changes_.low = changes_.high = 0;
}

void WaveImage::clear() {
    std::lock_guard lock(mutex_);
    std::fill(pixels_.begin(), pixels_.end(), kBackground);
}

std::optional<WaveImage::Columns> WaveImage::paintBand(int startSecond, int endSecond, int total) {
    std::lock_guard lock(mutex_);
    if (pixels_.empty())
        return std::nullopt;
    const int low = std::clamp(waveform::columnOfSecond(waveWidth_, total, startSecond), 0, width_);
    const int high = std::clamp(waveform::columnOfSecond(waveWidth_, total, endSecond), 0, width_);
    for (int y = 0; y < rows_ && low < high; ++y) {
        uint32_t* row = pixels_.data() + size_t(y) * size_t(width_);
        std::fill(row + low, row + high, kBookmark);
    }
    return Columns{low, high};
}

void WaveImage::drawSecond(std::span<const int16_t> samples, int second, int total) {
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        // The first second of a recording also takes away whatever the window still shows of the last.
        if (second == 0)
            changes_.erase = true;
        if (!pixels_.empty()) {
            wave_image_internal::TracePlotter plotter(pixels_.data(), width_, rows_);
            waveform::walkTrace(samples, waveWidth_, total, second, 0, waveBottom_, plotter);
            if (plotter.lowColumn() < plotter.highColumn()) {
                changes_.low = changes_.low < changes_.high ? std::min(changes_.low, plotter.lowColumn())
                                                            : plotter.lowColumn();
                changes_.high = std::max(changes_.high, plotter.highColumn());
            }
        }
        // One call until the changes are taken: a busy GUI thread gets the drawing of many seconds in one go.
        if (!handlerCalled_ && handler_ && (changes_.erase || changes_.low < changes_.high)) {
            handlerCalled_ = true;
            handler = handler_;
        }
    }
    if (handler)
        handler();
}

void WaveImage::setChangeHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
    handlerCalled_ = false;
}

WaveImage::Changes WaveImage::takeChanges() {
    std::lock_guard lock(mutex_);
    const Changes taken = changes_;
    changes_ = {};
    handlerCalled_ = false;
    return taken;
}

} // namespace tessa
