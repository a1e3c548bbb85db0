#include "browse/StatusTexts.h"

#include "config/StringTable.h"
#include "support/ScopedConfig.h"

#include <gtest/gtest.h>

using namespace tessa;

TEST(StatusTexts, FreeSpaceInMegabytesGigabytesAndTerabytes) {
    const test::ScratchConfig config;
    config.write(QStringLiteral("TessaLang.ini"),
                 "[English]\n0142=Free\n0143=Card\n0144=Backup\n0146=Space\n0147=Time\n0148=h\n");
    EXPECT_EQ(freeSpaceText(1536ull << 20, 0, 1),
              QStringLiteral("Free: Backup(Space: 1.50GB, Time: 109.71h)"));
    EXPECT_EQ(freeSpaceText(700ull << 20, 1, 0),
              QStringLiteral("Free: Card(Space: 700.00MB, Time: 124.44h)"));
    EXPECT_EQ(freeSpaceText(2ull << 40, 0, 1),
              QStringLiteral("Free: Backup(Space: 2.00TB, Time: 149796.58h)"));
    EXPECT_EQ(freeSpaceText(0, 0, 1), QStringLiteral("Free: Backup(Space: 0.00MB, Time: 0.00h)"));
}

TEST(StatusTexts, PageSummaryByPageType) {
    const test::ScratchConfig config;
    config.write(QStringLiteral("TessaLang.ini"), "[English]\n0002=All\n0025=Messages\n0006=Recorder\n");
    config.write(QStringLiteral("TessaSet.ini"), "[Setting]\nDevice=VX7\nDevice2=VX5\n");
    EXPECT_EQ(pageSummaryText(1, 12, 0), QStringLiteral("All:  12"));
    EXPECT_EQ(pageSummaryText(6, 0, 0), QStringLiteral("Messages:  0"));
    EXPECT_EQ(pageSummaryText(0, 5, 1), QStringLiteral("VX5"));
    EXPECT_EQ(pageSummaryText(0, 5, 0), QStringLiteral("VX7"));
    EXPECT_EQ(pageSummaryText(11, 5, 0), QStringLiteral("Recorder"));
    EXPECT_EQ(pageSummaryText(12, 5, 0), QString());
}
