#include "audio/G711.h"

#include "format/LittleEndian.h"
#include "support/PeerTool.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>

// Helpers live in a named namespace: the tests are compiled in unity batches.
namespace g711_test {

using namespace tessa;

// Width of the quantisation interval of a code, in 16-bit units.
int muLawInterval(uint8_t code) {
    return 8 << ((~code >> 4) & 7);
}
int aLawInterval(uint8_t code) {
    const int segment = ((code ^ 0x55) >> 4) & 7;
    return segment < 2 ? 16 : 8 << segment;
}

} // namespace g711_test

using namespace g711_test;

TEST(G711, ExpansionTablesHoldTheStandardValues) {
    EXPECT_EQ(expandMuLaw(0x00), -32124);
    EXPECT_EQ(expandMuLaw(0x7F), 0);
    EXPECT_EQ(expandMuLaw(0x80), 32124);
    EXPECT_EQ(expandMuLaw(0xFF), 0);
    EXPECT_EQ(expandMuLaw(0xFE), 8);
    EXPECT_EQ(expandMuLaw(0x70), -120);
    EXPECT_EQ(expandMuLaw(0x10), -15996);
    EXPECT_EQ(expandALaw(0xD5), 8);
    EXPECT_EQ(expandALaw(0x55), -8);
    EXPECT_EQ(expandALaw(0xAA), 32256);
    EXPECT_EQ(expandALaw(0x2A), -32256);
    EXPECT_EQ(expandALaw(0xC5), 264);

    const uint8_t codes[] = {0x00, 0x80, 0xFF};
    int16_t out[3] = {};
    expandMuLaw(codes, 3, out);
    EXPECT_EQ(out[1], 32124);
    expandALaw(codes, 3, out);
    EXPECT_EQ(out[0], expandALaw(0x00));
}

TEST(G711, CompressionStaysWithinOneStepAndIsMonotonic) {
    struct Law {
        uint8_t (*compress)(int16_t);
        int16_t (*expand)(uint8_t);
        int (*interval)(uint8_t);
    };
    const Law laws[] = {{compressMuLaw, expandMuLaw, muLawInterval},
                        {compressALaw, expandALaw, aLawInterval}};
    for (const Law& law : laws) {
        int previous = -32768;
        for (int x = -32768; x <= 32767; ++x) {
            const uint8_t code = law.compress(int16_t(x));
            const int y = law.expand(code);
            ASSERT_LE(std::abs(y - x), law.interval(code)) << x;
            ASSERT_GE(y, previous) << x;
            previous = y;
        }
        // Every value of the table codes back to itself.
        for (int c = 0; c < 256; ++c)
            ASSERT_EQ(law.expand(law.compress(law.expand(uint8_t(c)))), law.expand(uint8_t(c))) << c;
    }
    EXPECT_EQ(compressMuLaw(0), 0xFF);
    EXPECT_EQ(compressMuLaw(32767), 0x80);
    EXPECT_EQ(compressMuLaw(-32768), 0x00);
    EXPECT_EQ(compressALaw(0), 0xD5);
    EXPECT_EQ(compressALaw(-32768), 0x2A);
}

TEST(G711, AgreesWithSoxOnARamp) {
    if (!tessa::test::havePeer("sox"))
        GTEST_SKIP() << "sox is not installed";
    tessa::test::TempDir dir;
    QByteArray ramp;
    for (int x = -32768; x <= 32767; ++x) {
        ramp.append(char(x & 0xFF));
        ramp.append(char((x >> 8) & 0xFF));
    }
    const QString pcm = dir.write(QStringLiteral("ramp.raw"), ramp);
    auto rawArgs = [](const char* encoding, int bits) {
        return QStringList{QStringLiteral("-t"),   QStringLiteral("raw"),   QStringLiteral("-r"),
                           QStringLiteral("8000"), QStringLiteral("-c"),    QStringLiteral("1"),
                           QStringLiteral("-e"),   QLatin1String(encoding), QStringLiteral("-b"),
                           QString::number(bits)};
    };
    struct Law {
        const char* encoding;
        uint8_t (*compress)(int16_t);
        int16_t (*expand)(uint8_t);
    };
    for (const Law& law :
         {Law{"mu-law", compressMuLaw, expandMuLaw}, Law{"a-law", compressALaw, expandALaw}}) {
        SCOPED_TRACE(law.encoding);
        const QString coded = dir.file(QStringLiteral("ramp.") + QLatin1String(law.encoding));
        ASSERT_TRUE(tessa::test::sox(QStringList{QStringLiteral("-D")} + rawArgs("signed-integer", 16) +
                                     QStringList{pcm} + rawArgs(law.encoding, 8) + QStringList{coded}));
        const QByteArray codes = tessa::test::TempDir::read(coded);
        ASSERT_EQ(codes.size(), 65536);
        int mismatches = 0;
        for (int i = 0; i < 65536; ++i)
            mismatches += uint8_t(codes[i]) != law.compress(int16_t(i - 32768));
        EXPECT_EQ(mismatches, 0);

        const QString back = dir.file(QStringLiteral("back.raw"));
        ASSERT_TRUE(tessa::test::sox(rawArgs(law.encoding, 8) + QStringList{coded} +
                                     rawArgs("signed-integer", 16) + QStringList{back}));
        const QByteArray expanded = tessa::test::TempDir::read(back);
        ASSERT_EQ(expanded.size(), 2 * 65536);
        for (int i = 0; i < 65536; ++i) {
            const auto sample =
                int16_t(readLeU16(reinterpret_cast<const uint8_t*>(expanded.constData()) + 2 * i));
            ASSERT_EQ(sample, law.expand(uint8_t(codes[i]))) << i;
        }
    }
}
