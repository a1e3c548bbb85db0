#pragma once

// The player's waveform: the whole recording as a green trace drawn second by second while it loads,
// the recorder's bookmark segment as a band behind the trace, a blue cursor at the playing position, a
// selection dragged with the mouse and shown inverted, and a status strip with the selection, position
// and total as times. A double click asks the player to play from the clicked second.
//
// The wave image (background, band and trace) is a plain WaveImage shared with the player's loading
// thread, which draws seconds into it and never calls the view; the view learns of new drawing through
// its queue. Everything else belongs to the GUI thread.
//
// What the window shows is kept in a screen image that the GUI-thread operations draw on directly (the
// cursor saves and restores the column under it, the selection inverts columns), and paintEvent only
// copies it out. That keeps every drawing step in one place and makes the picture independent of when
// Qt decides to paint.

#include "audio/WaveImage.h"
#include "platform/GuiQueue.h"

#include <cstdint>
#include <memory>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <vector>

namespace tessa {

class WaveformView : public QWidget {
    Q_OBJECT
public:
    // Shows the image it is given, or one of its own.
    explicit WaveformView(QWidget* parent = nullptr);
    explicit WaveformView(std::shared_ptr<WaveImage> image, QWidget* parent = nullptr);
    ~WaveformView() override;

    // The picture the loading thread draws into (WaveImage::drawSecond), from any thread. The view sizes
    // it to its own width; the player reloads the recording after a size change to redraw it.
    WaveImage& image() const { return *image_; }

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
    // A line the strip shows instead of the times (why nothing plays) until the next clear(); empty
    // shows the times again.
    void setNotice(const QString& notice);
    QString notice() const { return notice_; }

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
    QString notice_;
    QFont stripFont_;

    std::shared_ptr<WaveImage> image_; // shared with the loading thread
    platform::GuiQueue queue_;         // the image's news of new drawing
};

} // namespace tessa
