#pragma once

// A page laid out for a fixed size that may be shown in a smaller area: scroll bars move its whole
// contents in steps of 32 pixels, and a size grip sits in the bottom-right corner while the whole form
// fits with room to spare. Every resize first brings the contents back to the top-left corner.
//
// Steps in each direction are (design size - client size) / 32 + 1 (truncating toward zero), so a form
// shown at its design size can still be scrolled by one step, and a client 32 pixels larger than the
// design in a direction has nothing to scroll in it.

#include <QWidget>

class QScrollBar;

namespace tessa {

// The grip that resizes the window: every point of it is the bottom-right sizing corner.
class FormSizeGrip : public QWidget {
    Q_OBJECT
public:
    explicit FormSizeGrip(QWidget* parent);
    // True for every point inside the grip: a press there starts sizing from the bottom-right corner.
    bool hitsBottomRightCorner(const QPoint& local) const { return rect().contains(local); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPoint pressedAt_;
    QSize windowSizeAtPress_;
};

class ScrollingForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStep = 32;
    static constexpr int kSizeGripId = 59936;

    enum ScrollCode { LineUp, LineDown, PageUp, PageDown, ThumbTrack, Top, Bottom, EndScroll };

    explicit ScrollingForm(QWidget* parent = nullptr);

    // The widget the form's controls are laid out on; it keeps the design size.
    QWidget* content() const { return content_; }

    // Takes the design size as laid out, sets both positions to 0 and shows the size grip. Size changes
    // before this are ignored.
    void initialise(const QSize& designSize);
    bool initialised() const { return initialised_; }
    QRect designRect() const { return design_; }

    // A scroll request of one direction, as its scroll bar makes it.
    void scroll(Qt::Orientation orientation, ScrollCode code, int thumbPosition = 0);

    int position(Qt::Orientation o) const { return axis(o).position; }
    int maximum(Qt::Orientation o) const { return axis(o).maximum; }
    int steps(Qt::Orientation o) const { return axis(o).steps; }
    QScrollBar* scrollBar(Qt::Orientation o) const { return axis(o).bar; }
    FormSizeGrip* sizeGrip() const { return grip_; }
    // The area the contents show in: the form without its visible scroll bars.
    QSize clientSize() const;

    // The change in steps a scroll code asks for, before it is limited to -position .. maximum - position.
    static int requestedSteps(Qt::Orientation o, ScrollCode code, int position, int maximum, int steps,
                              int thumbPosition);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Axis {
        QScrollBar* bar = nullptr;
        int position = 0;
        int steps = 0;
        int maximum = 0;
    };
    Axis& axis(Qt::Orientation o) { return o == Qt::Horizontal ? horizontal_ : vertical_; }
    const Axis& axis(Qt::Orientation o) const { return o == Qt::Horizontal ? horizontal_ : vertical_; }

    void returnToOrigin();
    void recompute();
    void placeBars();
    void onBarAction(Qt::Orientation o, int action);

    QWidget* content_ = nullptr;
    FormSizeGrip* grip_ = nullptr;
    Axis horizontal_;
    Axis vertical_;
    QRect design_;
    bool initialised_ = false;
};

} // namespace tessa
