#include "device/ui/ScrollingForm.h"

#include <algorithm>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSizeGrip>

namespace tessa {

FormSizeGrip::FormSizeGrip(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ctl%1").arg(ScrollingForm::kSizeGripId));
    setCursor(Qt::SizeFDiagCursor);
    const int vertical = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const int horizontal = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    setFixedSize(vertical, horizontal);
}

void FormSizeGrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionSizeGrip option;
    option.initFrom(this);
    option.corner = Qt::BottomRightCorner;
    style()->drawControl(QStyle::CE_SizeGrip, &option, &painter, this);
}

void FormSizeGrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !hitsBottomRightCorner(event->position().toPoint()))
        return QWidget::mousePressEvent(event);
    pressedAt_ = event->globalPosition().toPoint();
    windowSizeAtPress_ = window()->size();
    event->accept();
}

void FormSizeGrip::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || !windowSizeAtPress_.isValid())
        return QWidget::mouseMoveEvent(event);
    const QPoint moved = event->globalPosition().toPoint() - pressedAt_;
    window()->resize(windowSizeAtPress_ + QSize(moved.x(), moved.y()));
    event->accept();
}

ScrollingForm::ScrollingForm(QWidget* parent) : QWidget(parent) {
    content_ = new QWidget(this);
    content_->setObjectName(QStringLiteral("formContent"));
    for (Qt::Orientation o : {Qt::Horizontal, Qt::Vertical}) {
        auto* bar = new QScrollBar(o, this);
        bar->setObjectName(o == Qt::Horizontal ? QStringLiteral("horizontalScroll")
                                               : QStringLiteral("verticalScroll"));
        bar->setRange(0, 0);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        bar->hide();
        connect(bar, &QScrollBar::actionTriggered, this, [this, o](int action) { onBarAction(o, action); });
        axis(o).bar = bar;
    }
}

void ScrollingForm::initialise(const QSize& designSize) {
    design_ = QRect(QPoint(0, 0), designSize);
    content_->setGeometry(design_);
    horizontal_.position = vertical_.position = 0;
    initialised_ = true;
    if (!grip_)
        grip_ = new FormSizeGrip(this);
    grip_->move(width() - grip_->width(), height() - grip_->height());
    grip_->show();
    grip_->raise();
    // The form may already have its final size, and then no size change would set the ranges.
    recompute();
}

QSize ScrollingForm::clientSize() const {
    const int w = width() - (vertical_.bar->isHidden() ? 0 : vertical_.bar->sizeHint().width());
    const int h = height() - (horizontal_.bar->isHidden() ? 0 : horizontal_.bar->sizeHint().height());
    return {std::max(w, 0), std::max(h, 0)};
}

void ScrollingForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!initialised_)
        return;
    returnToOrigin();
    recompute();
}

void ScrollingForm::returnToOrigin() {
    content_->move(0, 0);
    for (Axis* a : {&horizontal_, &vertical_}) {
        a->position = 0;
        a->bar->setValue(0);
    }
}

void ScrollingForm::recompute() {
    const bool maximised = window()->isMaximized();
    // Showing a scroll bar takes from the client area, which changes the steps. Starting from no bars
    // and adding those needed settles on the same state whatever the bars were before (at most three
    // passes: each can only add a bar).
    horizontal_.bar->hide();
    vertical_.bar->hide();
    for (int pass = 0; pass < 4; ++pass) {
        const QSize client = clientSize();
        horizontal_.steps = (design_.width() - client.width()) / kStep + 1;
        vertical_.steps = (design_.height() - client.height()) / kStep + 1;
        for (Axis* a : {&horizontal_, &vertical_}) {
            a->maximum = std::max(a->steps, 0);
            a->position = std::min(a->position, a->maximum);
            a->bar->setRange(0, a->maximum);
            a->bar->setValue(a->position);
            // An empty range hides the bar, as a window's own scroll bars do.
            if (a->maximum > 0)
                a->bar->show();
        }
        if (clientSize() == client)
            break;
    }
    content_->move(-horizontal_.position * kStep, -vertical_.position * kStep);
    placeBars();
    grip_->setVisible(horizontal_.steps <= 0 && vertical_.steps <= 0 && !maximised);
    if (!maximised) {
        const QSize client = clientSize();
        grip_->move(client.width() - grip_->width(), client.height() - grip_->height());
    }
    grip_->raise();
}

void ScrollingForm::placeBars() {
    const QSize client = clientSize();
    vertical_.bar->setGeometry(client.width(), 0, width() - client.width(), client.height());
    horizontal_.bar->setGeometry(0, client.height(), client.width(), height() - client.height());
    vertical_.bar->raise();
    horizontal_.bar->raise();
}

int ScrollingForm::requestedSteps(Qt::Orientation o, ScrollCode code, int position, int maximum, int steps,
                                  int thumbPosition) {
    const bool vertical = o == Qt::Vertical;
    switch (code) {
    case LineUp:
        return -1;
    case LineDown:
        return 1;
    case PageUp:
        return vertical ? (steps > 0 ? -steps : -1) : -kStep;
    case PageDown:
        return vertical ? (steps > 0 ? steps : 1) : kStep;
    case ThumbTrack:
        return thumbPosition - position;
    case Top:
        return -position;
    case Bottom:
        return maximum - position;
    case EndScroll:
        break;
    }
    return 0;
}

void ScrollingForm::scroll(Qt::Orientation o, ScrollCode code, int thumbPosition) {
    Axis& a = axis(o);
    const int requested = requestedSteps(o, code, a.position, a.maximum, a.steps, thumbPosition);
    const int d = std::clamp(requested, -a.position, a.maximum - a.position);
    if (d == 0)
        return;
    a.position += d;
    if (o == Qt::Horizontal)
        content_->move(content_->x() - d * kStep, content_->y());
    else
        content_->move(content_->x(), content_->y() - d * kStep);
    a.bar->setValue(a.position);
}

void ScrollingForm::onBarAction(Qt::Orientation o, int action) {
    QScrollBar* bar = axis(o).bar;
    ScrollCode code = EndScroll;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        code = LineUp;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        code = LineDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        code = PageUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        code = PageDown;
        break;
    case QAbstractSlider::SliderMove:
        code = ThumbTrack;
        break;
    case QAbstractSlider::SliderToMinimum:
        code = Top;
        break;
    case QAbstractSlider::SliderToMaximum:
        code = Bottom;
        break;
    default:
        break;
    }
    scroll(o, code, bar->sliderPosition());
    // The bar moves to where the form went, not where its own step rule would have taken it.
    bar->setSliderPosition(axis(o).position);
}

} // namespace tessa
