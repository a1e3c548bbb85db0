// Decoding against an independent peer: IMA ADPCM and GSM 06.10 coded by sox and decoded by sox
// (whose GSM decoder is libgsm's reference code) and by the open recording, sample for sample; and the
// wave output's expansion of WAVE format 49 GSM against sox.
#include "audio/OpenRecording.h"
#include "audio/PcmExpander.h"
#include "audio/SpeechSynth.h"
#include "format/LittleEndian.h"
#include "platform/FileRoots.h"
#include "platform/WaveOutput.h"
#include "support/PeerTool.h"
#include "support/TempDir.h"

#include <cstring>
#include <gtest/gtest.h>

// Helpers live in a named namespace: test files may be compiled in unity batches.
namespace open_recording_peers_test {

using namespace tessa;
using tessa::test::TempDir;

struct Chunk {
    QByteArray id;
    QByteArray body;
};

Chunk riffChunk(const QByteArray& file, const char* id) {
    qsizetype pos = 12;
    while (pos + 8 <= file.size()) {
        const uint32_t size = readLeU32(reinterpret_cast<const uint8_t*>(file.constData()) + pos + 4);
        if (file.mid(pos, 4) == id)
            return {id, file.mid(pos + 8, qsizetype(size))};
        pos += 8 + qsizetype(size) + (size & 1);
    }
    return {};
}

std::vector<int16_t> samplesOf(const QByteArray& raw) {
    std::vector<int16_t> s(size_t(raw.size()) / 2);
    std::memcpy(s.data(), raw.constData(), s.size() * 2);
    return s;
}

// Speech written as a 16-bit WAV file for the peers to code.
QString speechWav(const TempDir& dir, size_t seconds, uint32_t seed) {
    SpeechOptions o;
    o.samples = seconds * 8000;
    o.seed = seed;
    o.voices = 2;
    const auto samples = synthesizeSpeech(o);
    QByteArray wav("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x80\x3e\0\0\x02\0\x10\0data", 40);
    QByteArray size(4, '\0');
    writeLeU32(reinterpret_cast<uint8_t*>(size.data()), uint32_t(samples.size() * 2));
    wav += size;
    wav.append(reinterpret_cast<const char*>(samples.data()), qsizetype(samples.size() * 2));
    writeLeU32(reinterpret_cast<uint8_t*>(wav.data()) + 4, uint32_t(wav.size() - 8));
    return dir.write(QStringLiteral("speech.wav"), wav);
}

QByteArray containerOf(uint32_t formatCode, const QByteArray& audio) {
    QByteArray file(1440, '\0');
    writeLeU32(reinterpret_cast<uint8_t*>(file.data()) + 4, 1440);
    writeLeU32(reinterpret_cast<uint8_t*>(file.data()) + 8, formatCode);
    return file + audio;
}

std::vector<int16_t> everySecond(OpenRecording& r) {
    std::vector<int16_t> out;
    std::atomic<bool> stop{false};
    EXPECT_TRUE(r.loadAll(stop, [&](std::span<const int16_t> s, uint32_t, uint32_t) {
        out.insert(out.end(), s.begin(), s.end());
    }));
    return out;
}

} // namespace open_recording_peers_test

using namespace open_recording_peers_test;

TEST(OpenRecordingPeers, ImaAdpcmDecodesLikeSox) {
    if (!tessa::test::havePeer("sox"))
        GTEST_SKIP() << "sox is not installed";
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    const QString source = speechWav(dir, 5, 21);
    const QString ima = dir.file(QStringLiteral("ima.wav"));
    ASSERT_TRUE(tessa::test::sox({source, QStringLiteral("-e"), QStringLiteral("ima-adpcm"), ima}));
    const QByteArray file = TempDir::read(ima);
    const QByteArray fmt = riffChunk(file, "fmt ").body;
    ASSERT_GE(fmt.size(), 20);
    ASSERT_EQ(readLeU16(reinterpret_cast<const uint8_t*>(fmt.constData()) + 12), 256) << "block align";
    const QByteArray audio = riffChunk(file, "data").body;
    ASSERT_GT(audio.size(), 4055 * 4);

    const QString raw = dir.file(QStringLiteral("sox.raw"));
    ASSERT_TRUE(tessa::test::sox({ima, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-e"),
                                  QStringLiteral("signed-integer"), QStringLiteral("-b"),
                                  QStringLiteral("16"), raw}));
    const auto soxSamples = samplesOf(TempDir::read(raw));

    // The same blocks, as a container and as a plain WAV recording (whose header is not read).
    const QString xtr = dir.write(QStringLiteral("c.xtr"), containerOf(17, audio));
    QByteArray plain = file.left(60);
    plain.replace(0, 4, "JUNK");
    const QString wav = dir.write(QStringLiteral("p.wav"), plain + audio);
    for (const QString& path : {xtr, wav}) {
        OpenRecording r;
        ASSERT_EQ(r.open(path), OpenStatus::Opened);
        const auto ours = everySecond(r);
        ASSERT_EQ(ours.size(), size_t(r.duration()) * 8000);
        ASSERT_LE(ours.size(), soxSamples.size());
        for (size_t i = 0; i < ours.size(); ++i)
            ASSERT_EQ(ours[i], soxSamples[i]) << path.toStdString() << " sample " << i;
    }
    // ffmpeg is no peer here: its IMA decoder computes each difference by multiplication, which rounds
    // differently from the shifts and adds of the standard decoder.
}

TEST(OpenRecordingPeers, GsmDecodesLikeLibgsmThroughSox) {
    if (!tessa::test::havePeer("sox"))
        GTEST_SKIP() << "sox is not installed";
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    const QString source = speechWav(dir, 4, 33);
    const QString gsm = dir.file(QStringLiteral("speech.gsm"));
    ASSERT_TRUE(tessa::test::sox({source, gsm}));
    const QByteArray frames = TempDir::read(gsm);
    ASSERT_GE(frames.size(), 1650 * 3);
    for (qsizetype f = 0; f < frames.size(); f += 33)
        ASSERT_EQ(uint8_t(frames[f]) >> 4, 0xD);
    const QString raw = dir.file(QStringLiteral("sox.raw"));
    ASSERT_TRUE(tessa::test::sox({gsm, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-e"),
                                  QStringLiteral("signed-integer"), QStringLiteral("-b"),
                                  QStringLiteral("16"), raw}));
    const auto soxSamples = samplesOf(TempDir::read(raw));

    OpenRecording r;
    ASSERT_EQ(r.open(dir.write(QStringLiteral("g.xtr"), containerOf(49, frames))), OpenStatus::Opened);
    ASSERT_EQ(r.duration(), uint32_t(frames.size() / 1650));
    const auto ours = everySecond(r);
    ASSERT_EQ(ours.size(), size_t(r.duration()) * 8000);
    ASSERT_LE(ours.size(), soxSamples.size());
    for (size_t i = 0; i < ours.size(); ++i)
        ASSERT_EQ(ours[i], soxSamples[i]) << "sample " << i;
}

// The wave output's own GSM mode takes WAVE format 49: 65-byte pairs of frames.
TEST(OpenRecordingPeers, Wav49GsmExpandsLikeSox) {
    if (!tessa::test::havePeer("sox"))
        GTEST_SKIP() << "sox is not installed";
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    const QString source = speechWav(dir, 3, 34);
    const QString gsmWav = dir.file(QStringLiteral("gsm.wav"));
    ASSERT_TRUE(tessa::test::sox({source, QStringLiteral("-e"), QStringLiteral("gsm-full-rate"), gsmWav}));
    const QByteArray file = TempDir::read(gsmWav);
    const QByteArray fmt = riffChunk(file, "fmt ").body;
    ASSERT_GE(fmt.size(), 16);
    ASSERT_EQ(readLeU16(reinterpret_cast<const uint8_t*>(fmt.constData())), 49) << "format tag";
    const QByteArray data = riffChunk(file, "data").body;
    const QString raw = dir.file(QStringLiteral("sox.raw"));
    ASSERT_TRUE(tessa::test::sox({gsmWav, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-e"),
                                  QStringLiteral("signed-integer"), QStringLiteral("-b"),
                                  QStringLiteral("16"), raw}));
    const auto soxSamples = samplesOf(TempDir::read(raw));

    // Handed over in pieces of whole blocks, as an engine's writes would come.
    PcmExpander expander(*waveFormatForMode(4));
    std::vector<int16_t> ours;
    for (qsizetype pos = 0; pos < data.size(); pos += 65 * 25)
        expander.expand(reinterpret_cast<const uint8_t*>(data.constData()) + pos,
                        size_t(std::min<qsizetype>(65 * 25, data.size() - pos)), ours);
    ASSERT_EQ(ours.size(), size_t((data.size() + 64) / 65 * 320)); // a trailing part of a block counts whole
    ASSERT_LE(soxSamples.size(), ours.size());
    for (size_t i = 0; i < soxSamples.size(); ++i)
        ASSERT_EQ(ours[i], soxSamples[i]) << "sample " << i;
}
