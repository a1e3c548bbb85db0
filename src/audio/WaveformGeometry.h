#pragma once

// Where the waveform view puts things: the pixel column of a second, the row of a sample, the second of
// a column, the seconds of a mouse selection, and the walk of one second's trace column by column.
// Pure arithmetic so that it can be checked without a window; the view draws what these say.
//
// Columns are worked out in floating point in the order (width / total) x second and truncated, so that
// a second always starts at the same column whichever operation asks (band, cursor, trace).

#include <algorithm>
#include <array>
#include <cstdint>
#include <QString>
#include <span>

namespace tessa::waveform {

// The status strip below the wave area.
constexpr int kStripHeight = 25;
// The wave image is this much shorter than the wave area; its last rows show the frame.
constexpr int kWaveImageInset = 2;
// The status strip's text is cut to what its fixed text buffer of 512 characters could hold.
constexpr int kStripTextLimit = 511;

// Bottom of the wave area (its top is 0) for a client height.
inline int waveAreaBottom(int clientHeight) {
    return std::max(0, clientHeight - kStripHeight);
}

// Rows of the wave image (and of the cursor's saved column) for a client height; 0 when there is no room.
inline int waveImageHeight(int clientHeight) {
    return std::max(0, waveAreaBottom(clientHeight) - kWaveImageInset);
}

// First pixel column of a second; also the column of the cursor and of the bookmark band's edges.
inline int columnOfSecond(int width, int total, int second) {
    if (width <= 0 || total <= 0)
        return 0;
    return static_cast<int>(static_cast<double>(width) / total * second);
}

// Columns advanced per sample when a second of `count` samples is drawn.
inline double sampleStep(int width, int count, int total) {
    if (width <= 0 || count <= 0 || total <= 0)
        return 0.0;
    return static_cast<double>(width) / count / total;
}

// Row of a sample: full scale reaches half the area on either side of the middle, positive samples
// below it. Integer arithmetic truncating toward zero, widened so that tall areas cannot overflow.
inline int sampleY(int top, int bottom, int sample) {
    const int mid = (top + bottom) / 2;
    return mid + static_cast<int>(static_cast<int64_t>(bottom - top) * sample / 65535);
}

// Second under a pixel column (a double-click, a selection edge).
inline int secondOfColumn(int x, int width, int total) {
    if (width <= 0 || total <= 0)
        return 0;
    return static_cast<int>(static_cast<double>(x) / width * total);
}

struct SelectionSeconds {
    int start = 0;
    int end = 0;
    // Worked out from the columns, so it may differ by one from end - start.
    int length = 0;
};

// The seconds of a selection between the anchor and the current column, whatever the drag direction.
inline SelectionSeconds selectionSeconds(int anchorX, int currentX, int width, int total) {
    const int low = std::min(anchorX, currentX);
    const int high = std::max(anchorX, currentX);
    return {secondOfColumn(low, width, total), secondOfColumn(high, width, total),
            secondOfColumn(high - low, width, total)};
}

// The samples of one second that fall into one pixel column, in drawing order. Consecutive samples of
// a run are joined by vertical strokes, so a run of two or more covers minY..maxY; the stroke from one
// run to the next goes from the earlier run's (column, lastY) to the later run's (column, firstY).
struct TraceRun {
    int column = 0;
    int firstY = 0;
    int lastY = 0;
    int minY = 0;
    int maxY = 0;
    int samples = 0;
};

// Walks the trace of second `second` of `total` as the polyline through every sample would draw it
// (x advanced by sampleStep per sample and truncated), handing each pixel column's run to `visit`.
// Nothing is visited when there are no samples or no width or length to place them in.
template <typename Visit>
void walkTrace(std::span<const int16_t> samples, int width, int total, int second, int top, int bottom,
               Visit&& visit) {
    if (samples.empty() || width <= 0 || total <= 0)
        return;
    const double dx = sampleStep(width, static_cast<int>(samples.size()), total);
    double x = static_cast<double>(width) / total * second;
    TraceRun run;
    run.column = static_cast<int>(x);
    run.firstY = run.lastY = run.minY = run.maxY = sampleY(top, bottom, samples[0]);
    run.samples = 1;
    for (size_t i = 1; i < samples.size(); ++i) {
        x += dx;
        const int column = static_cast<int>(x);
        const int y = sampleY(top, bottom, samples[i]);
        if (column != run.column) {
            visit(static_cast<const TraceRun&>(run));
            run = TraceRun{column, y, y, y, y, 0};
        }
        run.lastY = y;
        run.minY = std::min(run.minY, y);
        run.maxY = std::max(run.maxY, y);
        ++run.samples;
    }
    visit(static_cast<const TraceRun&>(run));
}

// One entry of the status strip: "label hh:mm:ss".
inline QString stripEntry(const QString& label, int seconds) {
    const auto two = [](int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); };
    return QStringLiteral("%1 %2:%3:%4")
        .arg(label, two(seconds / 3600), two(seconds % 3600 / 60), two(seconds % 60));
}

// The strip's line: selection start, selection end, selection length, position and total, six blanks
// apart, cut to the strip's buffer.
inline QString stripText(const std::array<QString, 5>& labels, const std::array<int, 5>& seconds) {
    QString line;
    for (size_t i = 0; i < labels.size(); ++i) {
        if (i > 0)
            line += QStringLiteral("      ");
        line += stripEntry(labels[i], seconds[i]);
    }
    line.truncate(kStripTextLimit);
    return line;
}

} // namespace tessa::waveform
