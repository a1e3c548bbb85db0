#pragma once

// The player's waveform: the whole recording as a green trace drawn second by second while it loads,
// the recorder's bookmark segment as a band behind the trace, a blue cursor at the playing position, a
// selection dragged with the mouse and shown inverted, and a status strip with the selection, position
// and total as times. A double click asks the player to play from the clicked second.
//
// The wave image is shared with the player's loading thread, which draws seconds into it; one mutex
// guards it and everything the loading thread reads. Everything else belongs to the GUI thread.
//
// What the window shows is kept in a screen image that the GUI-thread operations draw on directly (the
// cursor saves and restores the column under it, the selection inverts columns), and paintEvent only
// copies it out. That keeps every drawing step in one place and makes the picture independent of when
// Qt decides to paint.

#include <cstdint>
#include <mutex>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <span>
#include <vector>

namespace tessa {

class WaveformView : public QWidget {
    Q_OBJECT
public:
    explicit WaveformView(QWidget* parent = nullptr);
    ~WaveformView() override;

    // GUI thread only.

    // Forgets the recording: total, cursor, selection and bookmark back to 0, the wave image black.
    void clear();
    // Seconds of the recording the mouse selection, the double click and the strip measure against.
    void setTotalLength(int seconds);
    int totalLength() const { return total_; }
    // Paints the bookmark band into the wave image when start < end; call it before drawing the seconds
    // so that the trace lies over the band.
    void setBookmark(int startSecond, int endSecond);
    int bookmarkStartSecond() const { return bookmarkStart_; }
    int bookmarkEndSecond() const { return bookmarkEnd_; }
    // Moves the cursor line to a second of `total` and redraws the strip.
    void moveCursor(int second, int total);
    int cursorSecond() const { return cursorSecond_; }
    // Shows the wave image alone again, taking away the cursor line and the selection's inversion; the
    // selection's seconds stay.
    void redrawWave();
    // The selection as the strip last showed it.
    int selectionStartSecond() const { return selectionStart_; }
    int selectionEndSecond() const { return selectionEnd_; }
    QString statusText() const { return stripText_; }

    // Any thread (the player's loading thread): draws the samples of one second of a recording of
    // `total` seconds into the wave image and schedules the window's update on the GUI thread. Never
    // touches the widget itself. The view must outlive every thread that calls it.
    void drawSecond(std::span<const int16_t> samples, int second, int total);

signals:
    // Double click on a loaded recording; delivered queued, like a posted message.
    void playFromRequested(int second);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void ensureImages();
    void rebuildImages();
    void eraseBackground();
    void copyWaveColumns(int low, int high);
    void refreshColumns(int low, int high);
    void showBand();
    void drawAnchorLine();
    void drawCursorLine();
    void redrawStrip();
    void flushPendingDrawing();
    int clampedX(double x) const;
    int waveRows() const;

    // GUI thread.
    int total_ = 0;
    int cursorSecond_ = 0;
    int cursorX_ = 0;
    bool cursorDrawn_ = false; // the cursor line is on screen and cursorColumn_ holds what it covers
    int anchorX_ = 0;
    int currentX_ = 0;
    int previousX_ = 0;
    bool selecting_ = false;
    bool anchorShown_ = false;
    int selectionStart_ = 0;
    int selectionEnd_ = 0;
    int bookmarkStart_ = 0;
    int bookmarkEnd_ = 0;
    QImage screen_;                  // the whole client area as the window shows it
    QImage strip_;                   // the status strip, composed before it goes on screen
    std::vector<QRgb> cursorColumn_; // the screen column under the cursor line
    std::vector<uint8_t> inverted_;  // per column: shown inverted as part of the selection
    QString stripText_;
    QFont stripFont_;

    // Shared with the loading thread.
    mutable std::mutex mutex_;
    QImage wave_;        // background, bookmark band and trace
    int waveWidth_ = 0;  // client width the wave image was made for
    int waveBottom_ = 0; // bottom of the wave area the samples are placed in
    int dirtyLow_ = 0;   // columns drawn since the window was last brought up to date
    int dirtyHigh_ = 0;
    bool erasePending_ = false;
    bool flushPosted_ = false;
};

} // namespace tessa
