#include "audio/GsmCodec.h"

#include "audio/SpeechSynth.h"
#include "format/LittleEndian.h"
#include "support/PeerTool.h"
#include "support/TempDir.h"

#include <cmath>
#include <gtest/gtest.h>

// Helpers live in a named namespace: the tests are compiled in unity batches.
namespace gsm_test {

using namespace tessa;

constexpr size_t kFrames = 50;

QByteArray encodeFrames(const std::vector<int16_t>& samples) {
    GsmCodec codec;
    QByteArray frames(qsizetype(kFrames * GsmCodec::kFrameBytes), '\0');
    for (size_t f = 0; f < kFrames; ++f)
        codec.encode(samples.data() + f * GsmCodec::kFrameSamples,
                     reinterpret_cast<uint8_t*>(frames.data()) + f * GsmCodec::kFrameBytes);
    return frames;
}

std::vector<int16_t> decodeFrames(const QByteArray& frames) {
    GsmCodec codec;
    std::vector<int16_t> out(kFrames * GsmCodec::kFrameSamples);
    for (size_t f = 0; f < kFrames; ++f)
        codec.decode(reinterpret_cast<const uint8_t*>(frames.constData()) + f * GsmCodec::kFrameBytes,
                     out.data() + f * GsmCodec::kFrameSamples);
    return out;
}

double rms(const std::vector<int16_t>& s) {
    double sum = 0;
    for (int16_t v : s)
        sum += double(v) * v;
    return std::sqrt(sum / double(s.size()));
}

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

} // namespace gsm_test

using namespace gsm_test;

TEST(GsmCodec, FramesRoundTripAndUnsignedFramesAreRefused) {
    SpeechOptions o;
    o.samples = kFrames * GsmCodec::kFrameSamples;
    o.seed = 5;
    const auto input = synthesizeSpeech(o);
    QByteArray frames = encodeFrames(input);
    for (size_t f = 0; f < kFrames; ++f)
        ASSERT_EQ(uint8_t(frames[qsizetype(f * GsmCodec::kFrameBytes)]) >> 4, 0xD) << f;

    // A lossy vocoder: the level survives, not the waveform.
    const auto decoded = decodeFrames(frames);
    EXPECT_GT(rms(decoded), 0.5 * rms(input));
    EXPECT_LT(rms(decoded), 2.0 * rms(input));

    GsmCodec codec;
    std::vector<int16_t> untouched(GsmCodec::kFrameSamples, 0x1234);
    frames[0] = char((uint8_t(frames[0]) & 0x0F) | 0xC0);
    EXPECT_FALSE(codec.decode(reinterpret_cast<const uint8_t*>(frames.constData()), untouched.data()));
    EXPECT_TRUE(std::all_of(untouched.begin(), untouched.end(), [](int16_t v) { return v == 0x1234; }));
    EXPECT_TRUE(codec.decode(reinterpret_cast<const uint8_t*>(frames.constData()) + GsmCodec::kFrameBytes,
                             untouched.data()));
}

TEST(GsmCodec, DecodesLikeSox) {
    if (!tessa::test::havePeer("sox"))
        GTEST_SKIP() << "sox is not installed";
    SpeechOptions o;
    o.samples = kFrames * GsmCodec::kFrameSamples;
    o.seed = 9;
    o.voices = 2;
    const QByteArray frames = encodeFrames(synthesizeSpeech(o));
    tessa::test::TempDir dir;
    const QString gsm = dir.write(QStringLiteral("speech.gsm"), frames);
    const QString wav = dir.file(QStringLiteral("speech.wav"));
    ASSERT_TRUE(tessa::test::sox({QStringLiteral("-t"), QStringLiteral("gsm"), gsm, QStringLiteral("-e"),
                                  QStringLiteral("signed-integer"), QStringLiteral("-b"),
                                  QStringLiteral("16"), wav}));
    const QByteArray pcm = wavData(tessa::test::TempDir::read(wav));
    const auto ours = decodeFrames(frames);
    ASSERT_EQ(size_t(pcm.size()), ours.size() * 2);
    for (size_t i = 0; i < ours.size(); ++i)
        ASSERT_EQ(int16_t(readLeU16(reinterpret_cast<const uint8_t*>(pcm.constData()) + 2 * i)), ours[i])
            << i;
}
