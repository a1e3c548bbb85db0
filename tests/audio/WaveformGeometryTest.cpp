#include "audio/WaveformGeometry.h"

#include <gtest/gtest.h>
#include <vector>

namespace waveform_geometry_test {

using namespace tessa::waveform;

std::vector<TraceRun> runsOf(const std::vector<int16_t>& samples, int width, int total, int second, int top,
                             int bottom) {
    std::vector<TraceRun> runs;
    walkTrace(samples, width, total, second, top, bottom, [&](const TraceRun& run) { runs.push_back(run); });
    return runs;
}

} // namespace waveform_geometry_test

using namespace waveform_geometry_test;

TEST(WaveformGeometry, SecondsStartAtTheirColumnsAcrossTheWidth) {
    EXPECT_EQ(columnOfSecond(600, 60, 10), 100);
    for (int second = 0; second < 60; ++second)
        EXPECT_EQ(columnOfSecond(600, 60, second + 1) - columnOfSecond(600, 60, second), 10) << second;
    EXPECT_EQ(columnOfSecond(600, 60, 0), 0);
    EXPECT_EQ(columnOfSecond(600, 60, 59), 590);
    EXPECT_EQ(columnOfSecond(600, 60, 60), 600);
    // A one-second recording spans the whole width.
    EXPECT_EQ(columnOfSecond(600, 1, 0), 0);
    EXPECT_EQ(columnOfSecond(600, 1, 1), 600);
    // Width smaller than the duration: 36 seconds share a column.
    EXPECT_EQ(columnOfSecond(100, 3600, 3599), 99);
    for (int column = 0; column < 100; ++column)
        EXPECT_EQ(columnOfSecond(100, 3600, 36 * column + 18), column) << column;
    // Nothing loaded or no room: no division by zero.
    EXPECT_EQ(columnOfSecond(600, 0, 5), 0);
    EXPECT_EQ(columnOfSecond(0, 60, 5), 0);
}

TEST(WaveformGeometry, SamplesReachHalfTheAreaEachSideWithPositiveBelow) {
    // An area 200 pixels high: 32767 is 99 below the middle, -32768 is 100 above it.
    EXPECT_EQ(sampleY(0, 200, 0), 100);
    EXPECT_EQ(sampleY(0, 200, 32767), 199);
    EXPECT_EQ(sampleY(0, 200, -32768), 0);
    EXPECT_EQ(sampleY(0, 200, 16384), 150);
    // Truncation toward zero on both sides of the middle.
    EXPECT_EQ(sampleY(0, 200, 327), 100);
    EXPECT_EQ(sampleY(0, 200, -327), 100);
    EXPECT_EQ(sampleY(0, 200, 328), 101);
    EXPECT_EQ(sampleY(0, 200, -328), 99);
    // Odd height: the middle rounds down, full scale still ends at the edges.
    EXPECT_EQ(sampleY(0, 201, -32768), 0);
    EXPECT_EQ(sampleY(0, 201, 32767), 200);
    // The area need not start at row 0.
    EXPECT_EQ(sampleY(10, 210, -32768), 10);
    EXPECT_EQ(sampleY(10, 210, 32767), 209);
    // A very tall area does not overflow 32 bits.
    EXPECT_EQ(sampleY(0, 100000, 32767), 99999);
    EXPECT_EQ(sampleY(0, 100000, -32768), 0);
}

TEST(WaveformGeometry, SelectionGivesTheSameSecondsInEitherDirection) {
    const SelectionSeconds backward = selectionSeconds(300, 150, 600, 60);
    const SelectionSeconds forward = selectionSeconds(150, 300, 600, 60);
    for (const SelectionSeconds& s : {backward, forward}) {
        EXPECT_EQ(s.start, 15);
        EXPECT_EQ(s.end, 30);
        EXPECT_EQ(s.length, 15);
    }
    // The length comes from the columns, not from end - start.
    const SelectionSeconds uneven = selectionSeconds(3, 5, 7, 10);
    EXPECT_EQ(uneven.start, 4);
    EXPECT_EQ(uneven.end, 7);
    EXPECT_EQ(uneven.length, 2);
    // A click without a drag selects nothing; the right edge is the total.
    const SelectionSeconds click = selectionSeconds(450, 450, 600, 60);
    EXPECT_EQ(click.start, 45);
    EXPECT_EQ(click.end, 45);
    EXPECT_EQ(click.length, 0);
    EXPECT_EQ(selectionSeconds(0, 600, 600, 60).end, 60);
    // No width or nothing loaded.
    EXPECT_EQ(selectionSeconds(10, 300, 0, 60).end, 0);
    EXPECT_EQ(selectionSeconds(10, 300, 600, 0).end, 0);
}

TEST(WaveformGeometry, SecondOfAColumnTruncates) {
    EXPECT_EQ(secondOfColumn(450, 600, 60), 45);
    EXPECT_EQ(secondOfColumn(459, 600, 60), 45);
    EXPECT_EQ(secondOfColumn(599, 600, 1), 0);
    EXPECT_EQ(secondOfColumn(99, 100, 3600), 3564);
}

TEST(WaveformGeometry, TraceFillsTheColumnsOfItsSecond) {
    EXPECT_DOUBLE_EQ(sampleStep(600, 8000, 60), 0.00125);
    const std::vector<int16_t> silence(8000, 0);
    const auto runs = runsOf(silence, 600, 60, 10, 0, 200);
    ASSERT_EQ(runs.size(), 10u);
    int total = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].column, 100 + int(i));
        EXPECT_NEAR(runs[i].samples, 800, 1);
        EXPECT_EQ(runs[i].minY, 100);
        EXPECT_EQ(runs[i].maxY, 100);
        total += runs[i].samples;
    }
    EXPECT_EQ(total, 8000);
    // The last second stays inside the width.
    const auto last = runsOf(silence, 600, 60, 59, 0, 200);
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(last.front().column, 590);
    EXPECT_EQ(last.back().column, 599);
}

TEST(WaveformGeometry, TraceRunsKeepTheirEnvelopeAndEnds) {
    // Four samples per column: first, extremes and last of each run are what the strokes join.
    const std::vector<int16_t> samples{0, 32767, -32768, 16384, -32768, 0, 0, 32767};
    const auto runs = runsOf(samples, 2, 1, 0, 0, 200);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].column, 0);
    EXPECT_EQ(runs[0].firstY, 100);
    EXPECT_EQ(runs[0].lastY, 150);
    EXPECT_EQ(runs[0].minY, 0);
    EXPECT_EQ(runs[0].maxY, 199);
    EXPECT_EQ(runs[1].column, 1);
    EXPECT_EQ(runs[1].firstY, 0);
    EXPECT_EQ(runs[1].lastY, 199);
    EXPECT_EQ(runs[1].samples, 4);

    // Fewer samples than columns: every sample its own column, joined by strokes.
    const auto sparse = runsOf({0, 0, 0, 0}, 1000, 1, 0, 0, 200);
    ASSERT_EQ(sparse.size(), 4u);
    EXPECT_EQ(sparse[1].column, 250);
    EXPECT_EQ(sparse[3].column, 750);
    EXPECT_EQ(sparse[3].samples, 1);

    // Width smaller than the duration: a whole second in one column.
    const auto narrow = runsOf(std::vector<int16_t>(8000, 0), 100, 3600, 36 * 50 + 18, 0, 200);
    ASSERT_EQ(narrow.size(), 1u);
    EXPECT_EQ(narrow[0].column, 50);
    EXPECT_EQ(narrow[0].samples, 8000);

    EXPECT_TRUE(runsOf({}, 600, 60, 0, 0, 200).empty());
    EXPECT_TRUE(runsOf(samples, 600, 0, 0, 0, 200).empty());
    EXPECT_TRUE(runsOf(samples, 0, 60, 0, 0, 200).empty());
}

TEST(WaveformGeometry, StripLineHasFiveTimedEntriesSixBlanksApart) {
    const std::array<QString, 5> labels{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                                        QStringLiteral("D"), QStringLiteral("E")};
    EXPECT_EQ(stripText(labels, {15, 30, 15, 3723, 60}),
              QStringLiteral("A 00:00:15      B 00:00:30      C 00:00:15      D 01:02:03      E 00:01:00"));
    // Hours are not wrapped at a day, and a label is taken as it stands.
    EXPECT_EQ(stripEntry(QStringLiteral("T"), 360000), QStringLiteral("T 100:00:00"));
    EXPECT_EQ(stripEntry(QStringLiteral("%2 %1"), 61), QStringLiteral("%2 %1 00:01:01"));
    // Long labels are cut to the strip's buffer rather than overrunning it.
    const QString longLabel(1023, QLatin1Char('x'));
    const QString line = stripText({longLabel, longLabel, longLabel, longLabel, longLabel}, {1, 2, 3, 4, 5});
    EXPECT_EQ(line.size(), kStripTextLimit);
    EXPECT_TRUE(line.startsWith(longLabel.left(100)));
}
