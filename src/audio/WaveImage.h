#pragma once

// The picture of a recording's waveform without a window behind it: background, bookmark band and
// trace, as 32-bit pixels 0xAARRGGBB, row after row. The player's loading thread draws the seconds into
// it; the waveform view sizes it, paints the band and copies it to the screen. Every function may be
// called from any thread: one lock guards the pixels and the note of what changed since the view last
// took it.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace tessa {

class WaveImage {
public:
    static constexpr uint32_t kBackground = 0xFF000000;
    static constexpr uint32_t kTrace = 0xFF00FF00;
    static constexpr uint32_t kBookmark = 0xFF806464;

    // What changed since the last takeChanges(): the first second of a recording was drawn (the window
    // takes away whatever it still shows of the last one), and the columns drawn into.
    struct Changes {
        bool erase = false;
        int low = 0; // columns low .. high - 1; none when low >= high
        int high = 0;
    };
    struct Columns {
        int low = 0;
        int high = 0;
    };

    // A black picture of width x rows for a window of that width; seconds are drawn in a wave area from
    // row 0 to waveBottom. Without room (either size 0) there are no pixels and drawing does nothing.
    void reset(int width, int rows, int waveBottom);
    // Everything black again; the size stays.
    void clear();
    // Fills the columns of the seconds start .. end of a recording of `total` seconds over the whole
    // height with the bookmark colour. The columns filled; nullopt without pixels.
    std::optional<Columns> paintBand(int startSecond, int endSecond, int total);
    // Draws one second's samples of a recording of `total` seconds as the trace.
    void drawSecond(std::span<const int16_t> samples, int second, int total);

    // Called on the drawing thread, outside the lock, on the first change after takeChanges(): the one
    // who shows the picture asks its own thread to take the changes then.
    void setChangeHandler(std::function<void()> handler);
    Changes takeChanges();

    // Runs read(pixels, width, rows) under the lock; pixels is null when there are none.
    template <class Read>
    void read(Read&& read) const {
        std::lock_guard lock(mutex_);
        read(pixels_.empty() ? nullptr : pixels_.data(), width_, rows_);
    }

private:
    mutable std::mutex mutex_;
    std::vector<uint32_t> pixels_;
    int width_ = 0;
    int rows_ = 0;
    int waveWidth_ = 0;  // width of the window the seconds are placed across
    int waveBottom_ = 0; // bottom of the wave area the samples are placed in
    Changes changes_;
    bool handlerCalled_ = false; // since the last takeChanges()
    std::function<void()> handler_;
};

} // namespace tessa
