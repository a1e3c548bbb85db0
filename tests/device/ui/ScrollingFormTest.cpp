#include "device/ui/ScrollingForm.h"

#include "support/EventLoop.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>

namespace tessa {
namespace {

constexpr QSize kDesign{400, 300};

// A form in a window of its own.
class ScrollingFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(kDesign + QSize(300, 300));
        form = new ScrollingForm(&window);
        form->setGeometry(0, 0, kDesign.width(), kDesign.height());
        form->initialise(kDesign);
        window.show();
        extent = form->scrollBar(Qt::Vertical)->sizeHint().width();
    }
    void resizeForm(int width, int height) { form->resize(width, height); }

    QWidget window;
    ScrollingForm* form = nullptr;
    int extent = 0;
};

TEST_F(ScrollingFormTest, AtTheDesignSizeOneStepCanStillBeScrolled) {
    ASSERT_GT(extent, 0);
    EXPECT_EQ(form->clientSize(), kDesign - QSize(extent, extent)) << "both bars show";
    for (Qt::Orientation o : {Qt::Horizontal, Qt::Vertical}) {
        EXPECT_EQ(form->steps(o), 1);
        EXPECT_EQ(form->maximum(o), 1);
        EXPECT_EQ(form->scrollBar(o)->minimum(), 0);
        EXPECT_EQ(form->scrollBar(o)->maximum(), 1);
        EXPECT_FALSE(form->scrollBar(o)->isHidden());
    }
    EXPECT_FALSE(form->sizeGrip()->isVisible());
    form->scroll(Qt::Vertical, ScrollingForm::LineDown);
    form->scroll(Qt::Vertical, ScrollingForm::LineDown);
    EXPECT_EQ(form->position(Qt::Vertical), 1) << "limited at the maximum";
    EXPECT_EQ(form->content()->pos(), QPoint(0, -32));
    form->scroll(Qt::Horizontal, ScrollingForm::PageDown); // +32 steps, limited to 1
    EXPECT_EQ(form->position(Qt::Horizontal), 1);
    EXPECT_EQ(form->content()->pos(), QPoint(-32, -32));
    EXPECT_EQ(form->scrollBar(Qt::Horizontal)->value(), 1);
}

TEST_F(ScrollingFormTest, StepsFollowTheTruncatingFormula) {
    resizeForm(300 + extent, 236 + extent);
    ASSERT_EQ(form->clientSize(), QSize(300, 236));
    EXPECT_EQ(form->steps(Qt::Horizontal), 4); // 100 / 32 + 1
    EXPECT_EQ(form->steps(Qt::Vertical), 3);   // 64 / 32 + 1
    EXPECT_EQ(form->scrollBar(Qt::Vertical)->maximum(), 3);

    // Page down at position 1 with a maximum of 3: +3 asked, +2 done.
    form->scroll(Qt::Vertical, ScrollingForm::LineDown);
    form->scroll(Qt::Vertical, ScrollingForm::PageDown);
    EXPECT_EQ(form->position(Qt::Vertical), 3);
    EXPECT_EQ(form->content()->y(), -96);
    form->scroll(Qt::Vertical, ScrollingForm::PageUp);
    EXPECT_EQ(form->position(Qt::Vertical), 0);
    form->scroll(Qt::Vertical, ScrollingForm::ThumbTrack, 2);
    EXPECT_EQ(form->position(Qt::Vertical), 2);
    form->scroll(Qt::Vertical, ScrollingForm::ThumbTrack, 9);
    EXPECT_EQ(form->position(Qt::Vertical), 3);
    form->scroll(Qt::Vertical, ScrollingForm::Top);
    EXPECT_EQ(form->position(Qt::Vertical), 0);
    form->scroll(Qt::Horizontal, ScrollingForm::Bottom);
    EXPECT_EQ(form->position(Qt::Horizontal), 4);
    EXPECT_EQ(form->content()->x(), -128);
    form->scroll(Qt::Horizontal, ScrollingForm::EndScroll, 0);
    EXPECT_EQ(form->position(Qt::Horizontal), 4);

    // 31 pixels wider than the design is still one step (-31 / 32 truncates to 0); 32 is none.
    resizeForm(431, 400);
    ASSERT_EQ(form->clientSize(), QSize(431, 400 - extent));
    EXPECT_EQ(form->steps(Qt::Horizontal), 1);
    EXPECT_EQ(form->steps(Qt::Vertical), -1);
    EXPECT_EQ(form->maximum(Qt::Vertical), 0);
    EXPECT_TRUE(form->scrollBar(Qt::Vertical)->isHidden());
    EXPECT_FALSE(form->scrollBar(Qt::Horizontal)->isHidden());
    resizeForm(432, 400);
    EXPECT_EQ(form->clientSize(), QSize(432, 400));
    EXPECT_EQ(form->steps(Qt::Horizontal), 0);
    EXPECT_EQ(form->steps(Qt::Vertical), -2);
    form->scroll(Qt::Vertical, ScrollingForm::PageDown);
    EXPECT_EQ(form->position(Qt::Vertical), 0);
}

TEST_F(ScrollingFormTest, TheScrollCodeTable) {
    using F = ScrollingForm;
    EXPECT_EQ(F::requestedSteps(Qt::Vertical, F::PageDown, 0, 5, 5, 0), 5);
    EXPECT_EQ(F::requestedSteps(Qt::Vertical, F::PageDown, 0, 0, -2, 0), 1);
    EXPECT_EQ(F::requestedSteps(Qt::Vertical, F::PageUp, 3, 5, 5, 0), -5);
    EXPECT_EQ(F::requestedSteps(Qt::Vertical, F::PageUp, 3, 0, 0, 0), -1);
    EXPECT_EQ(F::requestedSteps(Qt::Horizontal, F::PageDown, 0, 5, 5, 0), 32);
    EXPECT_EQ(F::requestedSteps(Qt::Horizontal, F::PageUp, 0, 5, 5, 0), -32);
    EXPECT_EQ(F::requestedSteps(Qt::Horizontal, F::ThumbTrack, 2, 5, 5, 4), 2);
    EXPECT_EQ(F::requestedSteps(Qt::Vertical, F::Top, 2, 5, 5, 0), -2);
    EXPECT_EQ(F::requestedSteps(Qt::Vertical, F::Bottom, 2, 5, 5, 0), 3);
    EXPECT_EQ(F::requestedSteps(Qt::Vertical, F::LineUp, 0, 5, 5, 0), -1);
    EXPECT_EQ(F::requestedSteps(Qt::Vertical, F::EndScroll, 2, 5, 5, 4), 0);
}

TEST_F(ScrollingFormTest, TheScrollBarsMoveByTheFormsRule) {
    resizeForm(300 + extent, 236 + extent);
    QScrollBar* bar = form->scrollBar(Qt::Vertical);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(form->position(Qt::Vertical), 3);
    EXPECT_EQ(bar->value(), 3);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(form->position(Qt::Vertical), 2);
    EXPECT_EQ(form->content()->y(), -64);
    QScrollBar* across = form->scrollBar(Qt::Horizontal);
    across->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(form->position(Qt::Horizontal), 4);
    EXPECT_EQ(across->value(), 4);
}

TEST_F(ScrollingFormTest, EveryResizeReturnsToTheOriginFirst) {
    resizeForm(300, 200);
    form->scroll(Qt::Vertical, ScrollingForm::Bottom);
    form->scroll(Qt::Horizontal, ScrollingForm::LineDown);
    ASSERT_NE(form->content()->pos(), QPoint(0, 0));
    form->resize(form->width() - 1, form->height()); // still room to scroll both ways
    EXPECT_EQ(form->position(Qt::Vertical), 0);
    EXPECT_EQ(form->position(Qt::Horizontal), 0);
    EXPECT_EQ(form->content()->pos(), QPoint(0, 0));
    EXPECT_EQ(form->scrollBar(Qt::Vertical)->value(), 0);
}

TEST_F(ScrollingFormTest, TheSizeGripShowsOnlyWithRoomToSpareAndNotMaximised) {
    EXPECT_EQ(form->sizeGrip()->objectName(), QStringLiteral("ctl59936"));
    resizeForm(432, 331); // one step down, and the bar it needs makes one across
    EXPECT_EQ(form->steps(Qt::Vertical), 1);
    EXPECT_FALSE(form->sizeGrip()->isVisible());
    resizeForm(432, 332);
    ASSERT_TRUE(form->sizeGrip()->isVisible());
    resizeForm(431, 332); // from a form without bars as well: the rule holds whatever came before
    EXPECT_FALSE(form->sizeGrip()->isVisible());
    resizeForm(464, 364);
    ASSERT_TRUE(form->sizeGrip()->isVisible());
    const QRect grip = form->sizeGrip()->geometry();
    EXPECT_EQ(grip.bottomRight(), QPoint(form->clientSize().width() - 1, form->clientSize().height() - 1));
    // Every point of it is the sizing corner.
    for (const QPoint& p :
         {QPoint(0, 0), QPoint(grip.width() - 1, 0), QPoint(grip.width() / 2, grip.height() - 1)})
        EXPECT_TRUE(form->sizeGrip()->hitsBottomRightCorner(p));
    EXPECT_FALSE(form->sizeGrip()->hitsBottomRightCorner(QPoint(grip.width(), 0)));

    // Dragging it resizes the window.
    const QSize before = window.size();
    const QPoint start = form->sizeGrip()->mapToGlobal(QPoint(2, 2));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(start), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(form->sizeGrip(), &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(22, 12), QPointF(start + QPoint(20, 10)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->sizeGrip(), &move);
    EXPECT_EQ(window.size(), before + QSize(20, 10));

    window.showMaximized();
    ASSERT_TRUE(test::waitUntil([&] { return window.isMaximized(); }, 2000));
    form->resize(form->width() + 1, form->height());
    EXPECT_FALSE(form->sizeGrip()->isVisible());
}

} // namespace
} // namespace tessa
