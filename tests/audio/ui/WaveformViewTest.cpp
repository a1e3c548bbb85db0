#include "audio/ui/WaveformView.h"

#include "config/ProgramFolder.h"
#include "config/StringTable.h"
#include "support/ScopedConfig.h"

#include <atomic>
#include <gtest/gtest.h>
#include <QApplication>
#include <QMouseEvent>
#include <thread>
#include <vector>

namespace waveform_view_test {

using namespace tessa;

// 600 x 225: the wave area is 200 rows (middle 100), the wave image 198, the strip rows 200 to 224.
constexpr int kWidth = 600;
constexpr int kHeight = 225;
constexpr int kWaveRows = 198;

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kBand = qRgb(128, 100, 100);
const QRgb kBandInverted = qRgb(127, 155, 155);
const QRgb kFrame = qRgb(128, 64, 0);

std::vector<int16_t> constantSecond(int16_t value, size_t count = 8000) {
    return std::vector<int16_t>(count, value);
}

class WaveformViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(kWidth, kHeight);
        view.show();
        QApplication::processEvents();
    }

    QImage shot() {
        QApplication::processEvents();
        return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    void mouse(QEvent::Type type, int x, Qt::MouseButtons held) {
        const QPointF at(x, 50);
        QMouseEvent event(type, at, view.mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }
    void press(int x) { mouse(QEvent::MouseButtonPress, x, Qt::LeftButton); }
    void moveTo(int x) { mouse(QEvent::MouseMove, x, Qt::LeftButton); }
    void release(int x) { mouse(QEvent::MouseButtonRelease, x, Qt::NoButton); }
    void drag(int from, int to) {
        press(from);
        moveTo(to);
        release(to);
    }

    // Columns of a row that hold a colour.
    static std::vector<int> columnsOf(const QImage& image, int y, QRgb colour) {
        std::vector<int> columns;
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == colour)
                columns.push_back(x);
        }
        return columns;
    }
    // Columns of a row that are not black (the strip's anti-aliased text).
    static int litColumns(const QImage& image, int y) {
        int lit = 0;
        for (int x = 0; x < image.width(); ++x)
            lit += image.pixel(x, y) != kBlack ? 1 : 0;
        return lit;
    }
    static std::vector<int> range(int from, int to) {
        std::vector<int> columns;
        for (int x = from; x < to; ++x)
            columns.push_back(x);
        return columns;
    }

    test::ScopedConfig config{test::shippedConfigFolder()};
    WaveformView view;
};

} // namespace waveform_view_test

using namespace waveform_view_test;

TEST_F(WaveformViewTest, TraceLiesOverTheBookmarkBandInTheColumnsOfItsSecond) {
    view.setTotalLength(60);
    view.setBookmark(10, 20);
    view.image().drawSecond(constantSecond(0), 15, 60);
    view.image().drawSecond(constantSecond(-32768), 30, 60);
    view.image().drawSecond(constantSecond(16384), 59, 60);
    const QImage image = shot();

    EXPECT_EQ(columnsOf(image, 50, kBand), range(100, 200));
    EXPECT_EQ(columnsOf(image, 100, kGreen), range(150, 160));
    EXPECT_EQ(image.pixel(150, 50), kBand);
    EXPECT_EQ(columnsOf(image, 0, kGreen), range(300, 310));
    EXPECT_EQ(columnsOf(image, 150, kGreen), range(590, 600));
    EXPECT_EQ(image.pixel(305, 1), kBlack);
    // Below the wave image: the frame's bottom line, then the strip.
    EXPECT_EQ(image.pixel(300, 198), kBlack);
    EXPECT_EQ(image.pixel(300, 199), kFrame);
    EXPECT_EQ(view.bookmarkStartSecond(), 10);
    EXPECT_EQ(view.bookmarkEndSecond(), 20);
}

TEST_F(WaveformViewTest, FullScaleIsClippedToTheWaveImageAndEmptySecondsDrawNothing) {
    view.setTotalLength(1);
    std::vector<int16_t> loud(8000);
    for (size_t i = 0; i < loud.size(); ++i)
        loud[i] = i % 2 ? 32767 : -32768;
    view.image().drawSecond(loud, 0, 1);
    QImage image = shot();
    for (int y : {0, 1, 100, kWaveRows - 1}) {
        EXPECT_EQ(columnsOf(image, y, kGreen), range(0, kWidth)) << y;
    }
    EXPECT_TRUE(columnsOf(image, kWaveRows, kGreen).empty());
    EXPECT_EQ(image.pixel(300, 199), kFrame);

    view.clear();
    view.setTotalLength(60);
    view.image().drawSecond({}, 0, 60);
    view.image().drawSecond(constantSecond(-32768, 1), 5, 60);
    // A bookmark that does not start before its end is stored but not painted.
    view.setBookmark(20, 20);
    image = shot();
    for (int y : {0, 50, 100})
        EXPECT_TRUE(columnsOf(image, y, kGreen).empty()) << y;
    EXPECT_TRUE(columnsOf(image, 50, kBand).empty());
}

TEST_F(WaveformViewTest, SelectionGivesItsSecondsAndIsDrawnInverted) {
    view.setTotalLength(60);
    view.setBookmark(10, 20);
    press(300);
    moveTo(450);
    moveTo(150);
    release(150);
    EXPECT_EQ(view.selectionStartSecond(), 15);
    EXPECT_EQ(view.selectionEndSecond(), 30);
    QImage image = shot();
    // Inverted exactly from the current x up to the anchor; the stretch dragged over and left is back.
    EXPECT_EQ(columnsOf(image, 50, kWhite), range(200, 300));
    EXPECT_EQ(columnsOf(image, 50, kBandInverted), range(150, 200));
    EXPECT_EQ(image.pixel(149, 50), kBand);
    EXPECT_EQ(image.pixel(300, 50), kBlack);
    EXPECT_EQ(image.pixel(449, 50), kBlack);

    // The strip shows the selection, the position and the total.
    const QString expected = text(165) + " 00:00:15      " + text(166) + " 00:00:30      " + text(167) +
                             " 00:00:15      " + text(193) + " 00:00:00      " + text(168) + " 00:01:00";
    EXPECT_FALSE(text(165).isEmpty());
    EXPECT_EQ(view.statusText(), expected);
    int lit = 0;
    for (int y = 205; y < kHeight; ++y)
        lit += litColumns(image, y);
    EXPECT_GT(lit, 100);
    EXPECT_EQ(litColumns(image, 201), 0);

    // The other direction selects the same seconds; the new press takes the old band away.
    drag(150, 300);
    EXPECT_EQ(view.selectionStartSecond(), 15);
    EXPECT_EQ(view.selectionEndSecond(), 30);
    image = shot();
    EXPECT_EQ(columnsOf(image, 50, kWhite), range(200, 300));
    EXPECT_EQ(columnsOf(image, 50, kBandInverted), range(150, 200));

    // The selection survives the repaint of the whole window that the first second of a load asks for;
    // redrawWave takes only its drawing away.
    view.image().drawSecond(constantSecond(-32768), 0, 60);
    image = shot();
    EXPECT_EQ(columnsOf(image, 50, kWhite), range(200, 300));
    EXPECT_EQ(columnsOf(image, 0, kGreen), range(0, 10));
    view.redrawWave();
    image = shot();
    EXPECT_TRUE(columnsOf(image, 50, kWhite).empty());
    EXPECT_EQ(columnsOf(image, 50, kBand), range(100, 200));
    EXPECT_EQ(view.selectionEndSecond(), 30);
}

TEST_F(WaveformViewTest, DragsOutsideTheWindowStopAtItsEdgesAndNothingIsSelectedWhenEmpty) {
    view.setTotalLength(60);
    drag(100, -40);
    EXPECT_EQ(view.selectionStartSecond(), 0);
    EXPECT_EQ(view.selectionEndSecond(), 10);
    drag(500, kWidth + 80);
    EXPECT_EQ(view.selectionStartSecond(), 50);
    EXPECT_EQ(view.selectionEndSecond(), 60);
    EXPECT_EQ(columnsOf(shot(), 50, kWhite), range(500, kWidth));

    view.clear();
    EXPECT_EQ(view.selectionEndSecond(), 0);
    drag(100, 300);
    EXPECT_EQ(view.selectionStartSecond(), 0);
    EXPECT_EQ(view.selectionEndSecond(), 0);
    EXPECT_TRUE(columnsOf(shot(), 50, kWhite).empty());
}

TEST_F(WaveformViewTest, DoubleClickAsksToPlayFromTheClickedSecond) {
    std::vector<int> requests;
    QObject::connect(&view, &WaveformView::playFromRequested,
                     [&](int second) { requests.push_back(second); });
    mouse(QEvent::MouseButtonDblClick, 450, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(requests.empty());

    view.setTotalLength(60);
    mouse(QEvent::MouseButtonDblClick, 459, Qt::LeftButton);
    EXPECT_TRUE(requests.empty()) << "delivered like a posted message";
    QApplication::processEvents();
    EXPECT_EQ(requests, std::vector<int>{45});
    // The second press of the double click does not start a selection.
    moveTo(100);
    EXPECT_EQ(view.selectionEndSecond(), 0);
}

TEST_F(WaveformViewTest, CursorSavesAndRestoresTheColumnUnderIt) {
    view.setTotalLength(60);
    view.setBookmark(10, 20);
    view.image().drawSecond(constantSecond(0), 15, 60);
    QApplication::processEvents();
    view.moveCursor(15, 60);
    QImage image = shot();
    EXPECT_EQ(columnsOf(image, 50, kBlue), std::vector<int>{150});
    EXPECT_EQ(image.pixel(150, 0), kBlue);
    EXPECT_EQ(image.pixel(150, kWaveRows - 1), kBlue);
    EXPECT_EQ(image.pixel(150, kWaveRows), kBlack);
    EXPECT_NE(view.statusText().indexOf(text(193) + " 00:00:15"), -1);

    view.moveCursor(16, 60);
    image = shot();
    EXPECT_EQ(image.pixel(150, 50), kBand);
    EXPECT_EQ(image.pixel(150, 100), kGreen);
    EXPECT_EQ(columnsOf(image, 50, kBlue), std::vector<int>{160});

    // Back to second 0 takes the old line away too; past the end no line is drawn.
    view.moveCursor(0, 60);
    EXPECT_EQ(columnsOf(shot(), 50, kBlue), std::vector<int>{0});
    view.moveCursor(60, 60);
    image = shot();
    EXPECT_TRUE(columnsOf(image, 50, kBlue).empty());
    EXPECT_EQ(view.cursorSecond(), 60);

    // A cursor line inside the selection restores the inverted column it covered.
    drag(100, 300);
    view.moveCursor(25, 60);
    view.moveCursor(26, 60);
    image = shot();
    EXPECT_EQ(image.pixel(250, 50), kWhite);
    EXPECT_EQ(image.pixel(260, 50), kBlue);

    // After a clear there is no old column: moving to 0 restores nothing and draws at column 0.
    view.clear();
    view.moveCursor(0, 60);
    image = shot();
    EXPECT_EQ(columnsOf(image, 50, kBlue), std::vector<int>{0});
    EXPECT_EQ(columnsOf(image, 50, kBlack).size(), size_t(kWidth - 1));
    view.redrawWave();
    EXPECT_TRUE(columnsOf(shot(), 50, kBlue).empty());
}

TEST_F(WaveformViewTest, ClearForgetsTheRecording) {
    view.setTotalLength(60);
    view.setBookmark(10, 20);
    view.image().drawSecond(constantSecond(-32768), 3, 60);
    drag(100, 200);
    view.moveCursor(7, 60);
    view.clear();
    EXPECT_EQ(view.totalLength(), 0);
    EXPECT_EQ(view.cursorSecond(), 0);
    EXPECT_EQ(view.selectionStartSecond(), 0);
    EXPECT_EQ(view.selectionEndSecond(), 0);
    EXPECT_EQ(view.bookmarkStartSecond(), 0);
    EXPECT_EQ(view.bookmarkEndSecond(), 0);
    const QImage image = shot();
    for (int y : {0, 50, 100})
        EXPECT_EQ(columnsOf(image, y, kBlack).size(), size_t(kWidth)) << y;
}

TEST_F(WaveformViewTest, ResizeStartsAFreshPictureAtTheNewSize) {
    view.setTotalLength(60);
    view.image().drawSecond(constantSecond(-32768), 10, 60);
    view.resize(300, 125);
    QApplication::processEvents();
    view.image().drawSecond(constantSecond(-32768), 20, 60);
    const QImage image = shot();
    ASSERT_EQ(image.size(), QSize(300, 125));
    EXPECT_EQ(columnsOf(image, 0, kGreen), range(100, 105));
    EXPECT_EQ(image.pixel(150, 99), kFrame);
    // The strip moved with the bottom.
    int lit = 0;
    for (int y = 100; y < 125; ++y)
        lit += litColumns(image, y);
    EXPECT_GT(lit, 50);

    // Too small for a wave image: every operation still works on what is left.
    view.resize(50, 20);
    QApplication::processEvents();
    view.image().drawSecond(constantSecond(100), 0, 60);
    view.setBookmark(1, 30);
    view.moveCursor(5, 60);
    drag(25, 40);
    EXPECT_EQ(view.selectionStartSecond(), 30);
    EXPECT_EQ(view.selectionEndSecond(), 48);
    EXPECT_EQ(shot().size(), QSize(50, 20));
}

TEST_F(WaveformViewTest, LoadingThreadDrawsWhileTheWindowResizesAndRepaints) {
    view.setTotalLength(60);
    // The loading thread draws into the picture alone; it never calls the view.
    WaveImage& image = view.image();
    std::atomic<bool> done{false};
    std::thread loader([&] {
        const std::vector<int16_t> samples = constantSecond(-32768);
        for (int pass = 0; pass < 20; ++pass) {
            for (int second = 0; second < 60; ++second)
                image.drawSecond(samples, second, 60);
        }
        done = true;
    });
    int round = 0;
    while (!done) {
        view.resize(round % 2 ? 400 : kWidth, round % 3 ? 150 : kHeight);
        view.moveCursor(round % 60, 60);
        press(round % 300);
        moveTo(round % 300 + 50);
        release(round % 300 + 50);
        view.repaint();
        QApplication::processEvents();
        ++round;
    }
    loader.join();
    view.resize(kWidth, kHeight);
    view.clear();
    view.setTotalLength(60);
    std::thread last([&] {
        const std::vector<int16_t> samples = constantSecond(-32768);
        for (int second = 0; second < 60; ++second)
            image.drawSecond(samples, second, 60);
    });
    last.join();
    EXPECT_EQ(columnsOf(shot(), 0, kGreen), range(0, kWidth));
}
