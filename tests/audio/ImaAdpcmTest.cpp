#include "audio/ImaAdpcm.h"

#include "audio/RecordingWriter.h"
#include "audio/SpeechSynth.h"
#include "format/LittleEndian.h"
#include "support/PeerTool.h"
#include "support/TempDir.h"

#include <cmath>
#include <gtest/gtest.h>

// Helpers live in a named namespace: the tests are compiled in unity batches.
namespace ima_test {

using namespace tessa;

std::vector<uint8_t> block(int16_t predictor, uint8_t index, std::initializer_list<uint8_t> codeBytes) {
    std::vector<uint8_t> b(kImaBlockBytes, 0);
    writeLeU16(b.data(), uint16_t(predictor));
    b[2] = index;
    b[3] = 0xAB; // not interpreted
    size_t i = 4;
    for (uint8_t c : codeBytes)
        b[i++] = c;
    return b;
}

std::vector<int16_t> decode(const std::vector<uint8_t>& b) {
    std::vector<int16_t> out(kImaBlockSamples);
    decodeImaBlock(b.data(), out.data());
    return out;
}

double snrDb(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded) {
    double signal = 0, noise = 0;
    for (size_t i = 0; i < reference.size(); ++i) {
        signal += double(reference[i]) * reference[i];
        const double d = double(reference[i]) - decoded[i];
        noise += d * d;
    }
    return 10 * std::log10(signal / std::max(noise, 1.0));
}

QByteArray pcmWav(const std::vector<int16_t>& samples) {
    QByteArray out(44, '\0');
    auto* h = reinterpret_cast<uint8_t*>(out.data());
    const uint32_t dataSize = uint32_t(samples.size() * 2);
    std::memcpy(h, "RIFF", 4);
    writeLeU32(h + 4, 36 + dataSize);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    writeLeU32(h + 16, 16);
    writeLeU16(h + 20, 1);
    writeLeU16(h + 22, 1);
    writeLeU32(h + 24, 8000);
    writeLeU32(h + 28, 16000);
    writeLeU16(h + 32, 2);
    writeLeU16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    writeLeU32(h + 40, dataSize);
    out.append(reinterpret_cast<const char*>(samples.data()), qsizetype(dataSize));
    return out;
}

// The data chunk of a RIFF WAVE file, or empty.
QByteArray wavData(const QByteArray& file) {
    qsizetype pos = 12;
    while (pos + 8 <= file.size()) {
        const uint32_t size = readLeU32(reinterpret_cast<const uint8_t*>(file.constData()) + pos + 4);
        if (file.mid(pos, 4) == "data")
            return file.mid(pos + 8, qsizetype(size));
        pos += 8 + qsizetype(size) + (size & 1);
    }
    return {};
}

std::vector<int16_t> pcmSamples(const QByteArray& data) {
    std::vector<int16_t> s(size_t(data.size() / 2));
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t(readLeU16(reinterpret_cast<const uint8_t*>(data.constData()) + 2 * i));
    return s;
}

std::vector<int16_t> speech(size_t samples, uint32_t seed) {
    SpeechOptions o;
    o.samples = samples;
    o.seed = seed;
    o.voices = 2;
    return synthesizeSpeech(o);
}

} // namespace ima_test

using namespace ima_test;

TEST(ImaAdpcm, DecodesHandWorkedCodesLowNibbleFirst) {
    // Predictor -1000, index 0 (step 7). Codes 7, F, 0, 8 in that order.
    const auto s = decode(block(-1000, 0, {0xF7, 0x80}));
    EXPECT_EQ(s[0], -1000);
    EXPECT_EQ(s[1], -989);  // code 7: 0 + 7 + 3 + 1; index 8 (step 16)
    EXPECT_EQ(s[2], -1019); // code F: -(2 + 16 + 8 + 4); index 16 (step 34)
    EXPECT_EQ(s[3], -1015); // code 0: +34 >> 3; index 15 (step 31)
    EXPECT_EQ(s[4], -1018); // code 8: -(31 >> 3); index 14
    EXPECT_EQ(s[5], -1015); // code 0 with step 28: +3
}

TEST(ImaAdpcm, ClampsIndexAndPredictor) {
    // A header index of 100 is used as 88 (step 32767); a further +2 stays at 88.
    const auto high = decode(block(1000, 100, {0xC4, 0x0F}));
    EXPECT_EQ(high[1], 32767);  // 1000 + 4095 + 32767, clamped
    EXPECT_EQ(high[2], -4095);  // 32767 - (4095 + 32767)
    EXPECT_EQ(high[3], -32768); // -4095 - 61436, clamped
    EXPECT_EQ(high[4], -28673); // code 0 with step 32767 (index 87 gives 29794 afterwards): +4095

    // A negative header index reads as 0, and index 0 never drops below 0: code 0 adds 7 >> 3 = 0.
    const auto low = decode(block(5, 0xFB, {0x00, 0x00}));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(low[size_t(i)], 5) << i;
}

TEST(ImaAdpcm, PartialLastBlockReadsAsZeroPadded) {
    std::vector<uint8_t> data(kImaBlockBytes + 60);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 37 + 11);
    data[2] = 20;
    data[kImaBlockBytes + 2] = 30;
    const auto samples = decodeImaAdpcm(data.data(), data.size());
    ASSERT_EQ(samples.size(), 2 * kImaBlockSamples);
    std::vector<uint8_t> padded(data.begin() + kImaBlockBytes, data.end());
    padded.resize(kImaBlockBytes, 0);
    const auto second = decode(padded);
    EXPECT_TRUE(std::equal(second.begin(), second.end(), samples.begin() + kImaBlockSamples));
}

TEST(ImaAdpcm, EncoderRoundTripKeepsSpeechWithinBoundedError) {
    const auto input = speech(3 * 8000 + 123, 7);
    const QByteArray coded = encodeImaAdpcm(input);
    ASSERT_EQ(size_t(coded.size()), imaBlocksFor(input.size()) * kImaBlockBytes);
    auto decoded = decodeImaAdpcm(reinterpret_cast<const uint8_t*>(coded.constData()), size_t(coded.size()));
    ASSERT_GE(decoded.size(), input.size());
    // Every block restarts from its exact first sample.
    for (size_t b = 0; b * kImaBlockSamples < input.size(); ++b)
        EXPECT_EQ(decoded[b * kImaBlockSamples], input[b * kImaBlockSamples]);
    // The padding of the last block decodes towards silence.
    decoded.resize(input.size());
    EXPECT_GT(snrDb(input, decoded), 20.0);
}

TEST(ImaAdpcm, AgreesWithSoxOnBothSides) {
    if (!tessa::test::havePeer("sox"))
        GTEST_SKIP() << "sox is not installed";
    tessa::test::TempDir dir;
    const auto input = speech(8000, 3);

    // Blocks coded by sox, decoded by us and by sox.
    const QString in = dir.write(QStringLiteral("in.wav"), pcmWav(input));
    const QString soxIma = dir.file(QStringLiteral("sox-ima.wav"));
    ASSERT_TRUE(tessa::test::sox({QStringLiteral("-D"), in, QStringLiteral("-e"), QStringLiteral("ima-adpcm"),
                                  QStringLiteral("-r"), QStringLiteral("8000"), soxIma}));
    const QByteArray soxFile = tessa::test::TempDir::read(soxIma);
    ASSERT_GT(soxFile.size(), 60);
    ASSERT_EQ(readLeU16(reinterpret_cast<const uint8_t*>(soxFile.constData()) + 32), kImaBlockBytes);
    const QByteArray blocks = soxFile.mid(52, 4) == "data" ? soxFile.mid(60) : wavData(soxFile);
    ASSERT_FALSE(blocks.isEmpty());
    const auto ours =
        decodeImaAdpcm(reinterpret_cast<const uint8_t*>(blocks.constData()), size_t(blocks.size()));
    const QString soxPcm = dir.file(QStringLiteral("sox-pcm.wav"));
    ASSERT_TRUE(tessa::test::sox({soxIma, QStringLiteral("-e"), QStringLiteral("signed-integer"),
                                  QStringLiteral("-b"), QStringLiteral("16"), soxPcm}));
    const auto theirs = pcmSamples(wavData(tessa::test::TempDir::read(soxPcm)));
    ASSERT_EQ(ours.size(), theirs.size());
    EXPECT_EQ(ours, theirs);

    // Our plain WAV recording, decoded by sox and by us.
    const QString mine = dir.write(QStringLiteral("mine.wav"), plainWavRecording(input));
    const QString minePcm = dir.file(QStringLiteral("mine-pcm.wav"));
    ASSERT_TRUE(tessa::test::sox({mine, QStringLiteral("-e"), QStringLiteral("signed-integer"),
                                  QStringLiteral("-b"), QStringLiteral("16"), minePcm}));
    const QByteArray mineFile = tessa::test::TempDir::read(mine);
    const auto ourDecode = decodeImaAdpcm(reinterpret_cast<const uint8_t*>(mineFile.constData()) + 60,
                                          size_t(mineFile.size() - 60));
    auto soxDecode = pcmSamples(wavData(tessa::test::TempDir::read(minePcm)));
    ASSERT_GE(soxDecode.size(), input.size());
    ASSERT_LE(soxDecode.size(), ourDecode.size());
    EXPECT_TRUE(std::equal(soxDecode.begin(), soxDecode.end(), ourDecode.begin()));
}
