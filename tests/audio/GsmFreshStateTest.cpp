// A GSM recording sounds the same whatever was decoded before it: every time decoding starts over (a
// recording opened, the waveform pass, playing from a second that does not follow the last one decoded)
// the decoder starts from a fresh state, so the samples equal libgsm's own decode of the frames.
#include "audio/GsmCodec.h"
#include "audio/OpenRecording.h"
#include "audio/SpeechSynth.h"
#include "format/LittleEndian.h"
#include "platform/FileRoots.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <cmath>
#include <cstring>
#include <gsm.h>
#include <gtest/gtest.h>

// Helpers live in a named namespace: test files may be compiled in unity batches.
namespace gsm_fresh_state_test {

using namespace tessa;
using tessa::test::TempDir;

constexpr size_t kFrameBytes = 33;
constexpr size_t kFrameSamples = 160;
constexpr size_t kSecondBytes = 1650;

// Two steady tones: a signal whose decoder history matters from the first frame on.
std::vector<int16_t> twoTones(size_t seconds) {
    std::vector<int16_t> s(seconds * 8000);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t(9000 * std::sin(2 * M_PI * 440 * double(i) / 8000) +
                       7000 * std::sin(2 * M_PI * 1270 * double(i) / 8000));
    return s;
}

std::vector<int16_t> speech(size_t seconds, uint32_t seed) {
    SpeechOptions o;
    o.samples = seconds * 8000;
    o.seed = seed;
    o.voices = 2;
    return synthesizeSpeech(o);
}

// libgsm's own coding and decoding, each from a state of its own.
QByteArray libgsmEncode(const std::vector<int16_t>& samples) {
    gsm state = gsm_create();
    QByteArray out(qsizetype(samples.size() / kFrameSamples * kFrameBytes), '\0');
    for (size_t f = 0; f < samples.size() / kFrameSamples; ++f)
        gsm_encode(state, const_cast<gsm_signal*>(samples.data() + f * kFrameSamples),
                   reinterpret_cast<gsm_byte*>(out.data()) + f * kFrameBytes);
    gsm_destroy(state);
    return out;
}

std::vector<int16_t> libgsmDecode(const QByteArray& frames) {
    gsm state = gsm_create();
    std::vector<int16_t> out(size_t(frames.size()) / kFrameBytes * kFrameSamples);
    for (size_t f = 0; f < out.size() / kFrameSamples; ++f)
        EXPECT_EQ(
            gsm_decode(state,
                       reinterpret_cast<gsm_byte*>(const_cast<char*>(frames.constData())) + f * kFrameBytes,
                       out.data() + f * kFrameSamples),
            0);
    gsm_destroy(state);
    return out;
}

QByteArray container(const QByteArray& frames) {
    QByteArray file(1440, '\0');
    writeLeU32(reinterpret_cast<uint8_t*>(file.data()) + 4, 1440);
    writeLeU32(reinterpret_cast<uint8_t*>(file.data()) + 8, 49);
    return file + frames;
}

std::vector<int16_t> waveformPass(OpenRecording& r) {
    std::vector<int16_t> out;
    const std::atomic<bool> stop{false};
    EXPECT_TRUE(r.loadAll(stop, [&](std::span<const int16_t> s, uint32_t, uint32_t) {
        out.insert(out.end(), s.begin(), s.end());
    }));
    return out;
}

std::vector<int16_t> played(OpenRecording& r, uint32_t second) {
    const auto bytes = r.readSecondForPlaying(second);
    std::vector<int16_t> s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

// The largest difference between the two, over the first `count` samples.
int largestDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t count) {
    int largest = 0;
    for (size_t i = 0; i < count && i < a.size() && i < b.size(); ++i)
        largest = std::max(largest, std::abs(int(a[i]) - int(b[i])));
    return largest;
}

} // namespace gsm_fresh_state_test

using namespace gsm_fresh_state_test;

TEST(GsmFreshState, ARecordingDecodedAfterAnotherEqualsLibgsm) {
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    const QString before = dir.write(QStringLiteral("before.xtr"), container(libgsmEncode(speech(3, 41))));
    const QByteArray frames = libgsmEncode(twoTones(4));
    const QString tones = dir.write(QStringLiteral("tones.xtr"), container(frames));
    const std::vector<int16_t> reference = libgsmDecode(frames);

    OpenRecording r;
    ASSERT_EQ(r.open(before), OpenStatus::Opened);
    waveformPass(r);
    for (uint32_t n = 0; n < r.duration(); ++n)
        r.readSecondForPlaying(n);

    ASSERT_EQ(r.open(tones), OpenStatus::Opened);
    ASSERT_EQ(r.duration(), 4u);
    const auto waveform = waveformPass(r);
    ASSERT_EQ(waveform.size(), reference.size());
    EXPECT_EQ(largestDifference(waveform, reference, waveform.size()), 0) << "waveform pass";

    // Playing from the start after the waveform pass, then straight on: one stream, as libgsm decodes it.
    std::vector<int16_t> heard;
    for (uint32_t n = 0; n < 4; ++n) {
        const auto s = played(r, n);
        heard.insert(heard.end(), s.begin(), s.end());
    }
    ASSERT_EQ(heard.size(), reference.size());
    EXPECT_EQ(largestDifference(heard, reference, heard.size()), 0) << "played";

    // Playing from second 2 after second 0: the decode starts over at second 2's first frame.
    played(r, 0);
    const QByteArray fromTwo = frames.mid(qsizetype(2 * kSecondBytes));
    const auto restarted = libgsmDecode(fromTwo);
    EXPECT_EQ(played(r, 2), std::vector<int16_t>(restarted.begin(), restarted.begin() + 8000));
    // A resume at the second after the last one read runs on without a restart.
    EXPECT_EQ(played(r, 3), std::vector<int16_t>(restarted.begin() + 8000, restarted.end()));
    // A second read again is a second that does not follow: it starts over too.
    EXPECT_EQ(played(r, 3), libgsmDecode(frames.mid(qsizetype(3 * kSecondBytes))));
}

TEST(GsmFreshState, DecodeCommandWritesLibgsmsDecode) {
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    const QByteArray frames = libgsmEncode(twoTones(3));
    const QString tones = dir.write(QStringLiteral("tones.xtr"), container(frames));
    const QString out = dir.file(QStringLiteral("out.wav"));
    const auto r = tessa::test::runCli({QStringLiteral("decode"), tones, out});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QByteArray wav = TempDir::read(out);
    ASSERT_EQ(wav.size(), 44 + 3 * 16000);
    std::vector<int16_t> written(3 * 8000);
    std::memcpy(written.data(), wav.constData() + 44, written.size() * 2);
    const auto reference = libgsmDecode(frames);
    EXPECT_EQ(largestDifference(written, reference, written.size()), 0);
}
