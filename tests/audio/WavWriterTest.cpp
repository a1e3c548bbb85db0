#include "audio/WavWriter.h"

#include "audio/G711.h"
#include "audio/GsmCodec.h"
#include "audio/SpeechSynth.h"
#include "support/PeerTool.h"
#include "support/TempDir.h"

#include <cstring>
#include <gtest/gtest.h>

// Helpers live in a named namespace: test files may be compiled in unity batches.
namespace wav_writer_test {

using namespace tessa;
using tessa::test::TempDir;

// "RIFF", "WAVE", "fmt ", "fact" and "data" in hex, to write whole headers as literals.
QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

std::vector<int16_t> speech(size_t samples, uint32_t seed) {
    SpeechOptions o;
    o.samples = samples;
    o.seed = seed;
    o.voices = 2;
    return synthesizeSpeech(o);
}

// sox's reading of a WAV file as raw 16-bit samples.
std::vector<int16_t> soxDecode(const TempDir& dir, const QString& wav) {
    const QString raw = dir.file(QStringLiteral("sox.raw"));
    EXPECT_TRUE(tessa::test::sox({wav, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-e"),
                                  QStringLiteral("signed-integer"), QStringLiteral("-b"),
                                  QStringLiteral("16"), raw}));
    const QByteArray bytes = TempDir::read(raw);
    std::vector<int16_t> s(size_t(bytes.size()) / 2);
    std::memcpy(s.data(), bytes.constData(), s.size() * 2);
    return s;
}

} // namespace wav_writer_test

using namespace wav_writer_test;

TEST(WavWriter, EveryHeaderFormByteForByte) {
    // 16-bit PCM, one second.
    EXPECT_EQ(wavHeader(Coding::Pcm16, 16000, 8000),
              hex("52494646 a43e0000 57415645 666d7420 10000000 0100 0100 401f0000 803e0000 0200 1000"
                  "64617461 803e0000"));
    // IMA ADPCM as the export writes n = 10000 bytes: the whole 4096-byte chunks are declared.
    EXPECT_EQ(wavHeader(Coding::ImaAdpcm, 8192, 16160),
              hex("52494646 34200000 57415645 666d7420 14000000 1100 0100 401f0000 d70f0000 0001 0400"
                  "0200 f901 66616374 04000000 203f0000 64617461 00200000"));
    // mu-law, n = 16000.
    EXPECT_EQ(wavHeader(Coding::MuLaw, 16000, 16000),
              hex("52494646 b23e0000 57415645 666d7420 12000000 0700 0100 401f0000 401f0000 0100 0800"
                  "0000 66616374 04000000 803e0000 64617461 803e0000"));
    // GSM 6.10 (WAVE 49), 100 blocks.
    EXPECT_EQ(wavHeader(Coding::GsmWav49, 6500, 32000),
              hex("52494646 98190000 57415645 666d7420 14000000 3100 0100 401f0000 59060000 4100 0000"
                  "0200 4001 66616374 04000000 007d0000 64617461 64190000"));
    EXPECT_EQ(wavHeader(Coding::Pcm16, 0, 0).size(), qsizetype(PcmWavHeader::kSize));
    EXPECT_EQ(wavHeader(Coding::ImaAdpcm, 0, 0).size(), qsizetype(ImaWavHeader::kSize));
    EXPECT_EQ(wavHeader(Coding::MuLaw, 0, 0).size(), qsizetype(MuLawWavHeader::kSize));
    // No WAV form: the recorder's bare frames and A-law.
    EXPECT_TRUE(wavHeader(Coding::Gsm, 1650, 8000).isEmpty());
    EXPECT_TRUE(wavHeader(Coding::ALaw, 8000, 8000).isEmpty());
    EXPECT_TRUE(wavFile(Coding::ALaw, QByteArray(10, 'x'), 10).isEmpty());
}

TEST(WavWriter, AFileWrittenInPiecesDeclaresWhatWasWritten) {
    TempDir dir;
    const QString path = dir.file(QStringLiteral("out.wav"));
    const auto samples = speech(8000 * 2 + 7, 3);
    {
        WavFileWriter writer(Coding::Pcm16);
        ASSERT_TRUE(writer.open(path));
        for (size_t at = 0; at < samples.size(); at += 3000)
            ASSERT_TRUE(writer.append(samples.data() + at, std::min<size_t>(3000, samples.size() - at) * 2));
        EXPECT_EQ(writer.dataBytes(), samples.size() * 2);
        ASSERT_TRUE(writer.finish(uint32_t(samples.size())));
    }
    const QByteArray whole =
        wavFile(Coding::Pcm16, codecOf(Coding::Pcm16).encode(samples), uint32_t(samples.size()));
    EXPECT_EQ(TempDir::read(path), whole);
    if (tessa::test::havePeer("sox")) {
        EXPECT_EQ(soxDecode(dir, path), samples);
    }

    // A form that declares only whole parts: all bytes are written, fewer declared.
    WavFileWriter ima(Coding::ImaAdpcm);
    const QString imaPath = dir.file(QStringLiteral("ima.wav"));
    ASSERT_TRUE(ima.open(imaPath));
    const QByteArray audio(10000, '\x11');
    ASSERT_TRUE(ima.append(audio.constData(), size_t(audio.size())));
    ASSERT_TRUE(ima.finish(16160, 8192));
    const QByteArray written = TempDir::read(imaPath);
    EXPECT_EQ(written, wavHeader(Coding::ImaAdpcm, 8192, 16160) + audio);

    // Overwrites what was there; refuses what it cannot create, and a coding without a WAV form.
    ASSERT_TRUE(ima.open(imaPath));
    ASSERT_TRUE(ima.finish(0));
    EXPECT_EQ(TempDir::read(imaPath), wavHeader(Coding::ImaAdpcm, 0, 0));
    EXPECT_FALSE(WavFileWriter(Coding::Pcm16).open(dir.file(QStringLiteral("no/such/out.wav"))));
    EXPECT_FALSE(WavFileWriter(Coding::ALaw).open(dir.file(QStringLiteral("alaw.wav"))));
    WavFileWriter unopened(Coding::Pcm16);
    EXPECT_FALSE(unopened.append("ab", 2));
    EXPECT_FALSE(unopened.finish(1));
}

TEST(WavWriter, PeersReadTheMuLawAndGsmForms) {
    if (!tessa::test::havePeer("sox"))
        GTEST_SKIP() << "sox is not installed";
    TempDir dir;
    const auto samples = speech(8000 * 3, 8);

    const QByteArray mu = codecOf(Coding::MuLaw).encode(samples);
    const QString muPath =
        dir.write(QStringLiteral("mu.wav"), wavFile(Coding::MuLaw, mu, uint32_t(mu.size())));
    const auto muSox = soxDecode(dir, muPath);
    ASSERT_EQ(muSox.size(), samples.size());
    for (size_t i = 0; i < muSox.size(); ++i)
        ASSERT_EQ(muSox[i], expandMuLaw(uint8_t(mu[qsizetype(i)]))) << i;

    // Our WAVE 49 coder's blocks, read by sox (libgsm) and by our own decoder, give the same samples.
    const QByteArray gsm = encodeGsmWav49(samples);
    ASSERT_EQ(gsm.size(), qsizetype(samples.size() / 320 * 65));
    const QString gsmPath =
        dir.write(QStringLiteral("gsm.wav"), wavFile(Coding::GsmWav49, gsm, uint32_t(samples.size())));
    const auto gsmSox = soxDecode(dir, gsmPath);
    ASSERT_EQ(gsmSox.size(), samples.size());
    std::vector<int16_t> ours(samples.size());
    GsmWav49Decoder decoder;
    ASSERT_EQ(
        decoder.decode(reinterpret_cast<const uint8_t*>(gsm.constData()), size_t(gsm.size()), ours.data()),
        samples.size());
    EXPECT_EQ(ours, gsmSox);

    // And sox, coding the same samples, writes the same blocks (its data chunk padded to an even size).
    const QString raw = dir.write(QStringLiteral("in.raw"), codecOf(Coding::Pcm16).encode(samples));
    const QString soxGsm = dir.file(QStringLiteral("sox-gsm.wav"));
    ASSERT_TRUE(tessa::test::sox({QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-r"),
                                  QStringLiteral("8000"), QStringLiteral("-e"), QStringLiteral("signed"),
                                  QStringLiteral("-b"), QStringLiteral("16"), QStringLiteral("-c"),
                                  QStringLiteral("1"), raw, QStringLiteral("-e"),
                                  QStringLiteral("gsm-full-rate"), soxGsm}));
    const QByteArray soxFile = TempDir::read(soxGsm);
    const qsizetype data = soxFile.indexOf("data");
    ASSERT_GT(data, 0);
    EXPECT_EQ(soxFile.mid(data + 8, gsm.size()), gsm);
}
