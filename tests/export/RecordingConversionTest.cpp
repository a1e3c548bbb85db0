// Container recordings converted to WAV files: the headers byte for byte for worked sizes, the outputs as
// sox and ffmpeg read them, GSM's second coding, the failure reasons and the output name rule.
#include "export/RecordingConversion.h"

#include "audio/CodecTable.h"
#include "audio/SpeechSynth.h"
#include "format/LittleEndian.h"
#include "platform/FileRoots.h"
#include "support/TempDir.h"

#include <cmath>
#include <gtest/gtest.h>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

using namespace tessa;
using tessa::test::TempDir;

namespace {

// A container whose header names another data offset than 1440: the audio is taken from 1440 all the same.
QByteArray container(uint32_t formatCode, const QByteArray& audio) {
    QByteArray file(1440, '\x55');
    writeLeU32(reinterpret_cast<uint8_t*>(file.data()) + 4, 2048);
    writeLeU32(reinterpret_cast<uint8_t*>(file.data()) + 8, formatCode);
    return file + audio;
}

QByteArray pattern(qsizetype n) {
    QByteArray bytes(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        bytes[i] = char((i * 37 + 11) & 0xFF);
    return bytes;
}

// The header as a reader of the format expects it, written out field by field.
class Bytes {
public:
    Bytes& tag(const char* four) {
        bytes_.append(four, 4);
        return *this;
    }
    Bytes& u32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes_.append(char(v >> (8 * i)));
        return *this;
    }
    Bytes& u16(uint16_t v) {
        bytes_.append(char(v)).append(char(v >> 8));
        return *this;
    }
    QByteArray bytes() const { return bytes_; }

private:
    QByteArray bytes_;
};

std::vector<int16_t> samplesOf(const QByteArray& raw) {
    std::vector<int16_t> s(size_t(raw.size()) / 2);
    std::memcpy(s.data(), raw.constData(), s.size() * 2);
    return s;
}

bool have(const char* program) {
    return !QStandardPaths::findExecutable(QLatin1String(program)).isEmpty();
}

QByteArray run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(60000)) << program.toStdString();
    EXPECT_EQ(p.exitCode(), 0) << program.toStdString() << ": " << p.readAllStandardError().toStdString();
    return p.readAllStandardOutput();
}

// What the peers make of a WAV file: the coding's name and the decoded samples.
struct PeerView {
    QString soxEncoding;
    std::vector<int16_t> soxSamples;
    QString ffmpegCodec;
    std::vector<int16_t> ffmpegSamples;
};
PeerView peersRead(const QString& wav) {
    PeerView v;
    v.soxEncoding = QString::fromUtf8(run(QStringLiteral("soxi"), {QStringLiteral("-e"), wav})).trimmed();
    v.soxSamples = samplesOf(
        run(QStringLiteral("sox"),
            {wav, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-e"), QStringLiteral("signed"),
             QStringLiteral("-b"), QStringLiteral("16"), QStringLiteral("-")}));
    v.ffmpegCodec =
        QString::fromUtf8(
            run(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=codec_name"), QStringLiteral("-of"), QStringLiteral("csv=p=0"), wav}))
            .trimmed();
    v.ffmpegSamples = samplesOf(run(QStringLiteral("ffmpeg"),
                                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), wav,
                                     QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")}));
    return v;
}

double rmsDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    double sum = 0;
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return std::sqrt(sum / double(std::max<size_t>(n, 1)));
}

std::vector<int16_t> decodeFresh(const Codec& codec, const QByteArray& coded) {
    std::vector<int16_t> out(codec.samplesFor(size_t(coded.size())));
    out.resize(codec.makeDecoder()->decode(reinterpret_cast<const uint8_t*>(coded.constData()),
                                           size_t(coded.size()), out.data()));
    return out;
}

class RecordingConversionTest : public ::testing::Test {
protected:
    QString source(const QString& name, const QByteArray& bytes) { return dir.write(name, bytes); }
    ConversionResult convert(const QString& from, const QString& to) {
        return convertRecording(from, platform::Area::User, to);
    }
    TempDir dir;
};

TEST_F(RecordingConversionTest, ImaAdpcmCountsWholeChunksAndCopiesEveryByte) {
    const QByteArray audio = pattern(10000);
    const QString out = dir.file("ima.wav");
    ASSERT_EQ(convert(source("ima.xtr", container(17, audio)), out), ConversionResult::Written);
    const QByteArray wav = TempDir::read(out);
    const QByteArray header = Bytes()
                                  .tag("RIFF")
                                  .u32(8244)
                                  .tag("WAVE")
                                  .tag("fmt ")
                                  .u32(20)
                                  .u16(17)
                                  .u16(1)
                                  .u32(8000)
                                  .u32(4055)
                                  .u16(256)
                                  .u16(4)
                                  .u16(2)
                                  .u16(505)
                                  .tag("fact")
                                  .u32(4)
                                  .u32(16160)
                                  .tag("data")
                                  .u32(8192)
                                  .bytes();
    ASSERT_EQ(wav.size(), 60 + 10000);
    EXPECT_EQ(wav.left(60), header);
    EXPECT_EQ(wav.mid(60), audio);
}

TEST_F(RecordingConversionTest, MuLawDeclaresEverySample) {
    const QByteArray audio = pattern(16000);
    const QString out = dir.file("mu.wav");
    ASSERT_EQ(convert(source("mu.xtr", container(7, audio)), out), ConversionResult::Written);
    const QByteArray wav = TempDir::read(out);
    const QByteArray header = Bytes()
                                  .tag("RIFF")
                                  .u32(16050)
                                  .tag("WAVE")
                                  .tag("fmt ")
                                  .u32(18)
                                  .u16(7)
                                  .u16(1)
                                  .u32(8000)
                                  .u32(8000)
                                  .u16(1)
                                  .u16(8)
                                  .u16(0)
                                  .tag("fact")
                                  .u32(4)
                                  .u32(16000)
                                  .tag("data")
                                  .u32(16000)
                                  .bytes();
    ASSERT_EQ(wav.size(), 58 + 16000);
    EXPECT_EQ(wav.left(58), header);
    EXPECT_EQ(wav.mid(58), audio);
}

TEST_F(RecordingConversionTest, GsmBecomesWaveFormat49WithWholeBlocksDeclared) {
    const std::vector<int16_t> speech = synthesizeSpeech({7, 3 * 8000 + 160, 1}); // 151 frames
    const QByteArray frames = codecOf(Coding::Gsm).encode(speech);
    ASSERT_EQ(frames.size(), 151 * 33);
    const QString out = dir.file("gsm.wav");
    ASSERT_EQ(convert(source("gsm.xtr", container(49, frames)), out), ConversionResult::Written);
    const QByteArray wav = TempDir::read(out);
    // 151 frames decode to 24160 samples: 75 blocks and a last one padded to 320 samples.
    const uint32_t g = 76 * 65;
    const QByteArray header = Bytes()
                                  .tag("RIFF")
                                  .u32(g + 52)
                                  .tag("WAVE")
                                  .tag("fmt ")
                                  .u32(20)
                                  .u16(49)
                                  .u16(1)
                                  .u32(8000)
                                  .u32(1625)
                                  .u16(65)
                                  .u16(0)
                                  .u16(2)
                                  .u16(320)
                                  .tag("fact")
                                  .u32(4)
                                  .u32(76 * 320)
                                  .tag("data")
                                  .u32(g)
                                  .bytes();
    ASSERT_EQ(wav.size(), qsizetype(60 + g));
    EXPECT_EQ(wav.left(60), header);
}

TEST_F(RecordingConversionTest, PeersReadEachOutputWithItsFormatAndLength) {
    if (!have("sox") || !have("soxi") || !have("ffmpeg") || !have("ffprobe"))
        GTEST_SKIP() << "sox or ffmpeg is not installed";
    const std::vector<int16_t> speech = synthesizeSpeech({3, 3 * 8000, 2});

    const QByteArray ima = codecOf(Coding::ImaAdpcm).encode(speech); // 48 blocks: three whole chunks
    ASSERT_EQ(ima.size(), 48 * 256);
    ASSERT_EQ(convert(source("a.xtr", container(17, ima)), dir.file("a.wav")), ConversionResult::Written);
    PeerView v = peersRead(dir.file("a.wav"));
    EXPECT_EQ(v.soxEncoding, "IMA ADPCM");
    EXPECT_EQ(v.ffmpegCodec, "adpcm_ima_wav");
    EXPECT_EQ(v.soxSamples.size(), 48u * 505);
    EXPECT_EQ(v.ffmpegSamples.size(), 48u * 505);
    EXPECT_EQ(v.soxSamples, decodeFresh(codecOf(Coding::ImaAdpcm), ima));

    const QByteArray mu = codecOf(Coding::MuLaw).encode(speech);
    ASSERT_EQ(convert(source("m.xtr", container(7, mu)), dir.file("m.wav")), ConversionResult::Written);
    v = peersRead(dir.file("m.wav"));
    EXPECT_EQ(v.soxEncoding, "u-law");
    EXPECT_EQ(v.ffmpegCodec, "pcm_mulaw");
    EXPECT_EQ(v.soxSamples.size(), speech.size());
    EXPECT_EQ(v.ffmpegSamples, decodeFresh(codecOf(Coding::MuLaw), mu));

    const QByteArray gsm = codecOf(Coding::Gsm).encode(speech);
    ASSERT_EQ(convert(source("g.xtr", container(49, gsm)), dir.file("g.wav")), ConversionResult::Written);
    v = peersRead(dir.file("g.wav"));
    EXPECT_EQ(v.soxEncoding, "GSM");
    EXPECT_EQ(v.ffmpegCodec, "gsm_ms");
    EXPECT_EQ(v.soxSamples.size(), speech.size());
    EXPECT_EQ(v.ffmpegSamples.size(), speech.size());
}

TEST_F(RecordingConversionTest, GsmOutputDecodesWithinGsmsOwnRecodingError) {
    if (!have("sox"))
        GTEST_SKIP() << "sox is not installed";
    const std::vector<int16_t> speech = synthesizeSpeech({11, 4 * 8000, 2});
    const Codec& gsm = codecOf(Coding::Gsm);
    const QByteArray frames = gsm.encode(speech);
    // Another recording's decoder history must not leak in: convert a different one first.
    ASSERT_EQ(convert(source("other.xtr", container(49, gsm.encode(synthesizeSpeech({99, 8000, 1})))),
                      dir.file("other.wav")),
              ConversionResult::Written);
    ASSERT_EQ(convert(source("g.xtr", container(49, frames)), dir.file("g.wav")), ConversionResult::Written);

    const std::vector<int16_t> heard = decodeFresh(gsm, frames); // what the recording sounds like
    const std::vector<int16_t> converted = samplesOf(
        run(QStringLiteral("sox"),
            {dir.file("g.wav"), QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-e"),
             QStringLiteral("signed"), QStringLiteral("-b"), QStringLiteral("16"), QStringLiteral("-")}));
    ASSERT_EQ(converted.size(), heard.size());
    // GSM coding the decoded audio a second time, the error any re-coding makes.
    const std::vector<int16_t> recoded = decodeFresh(gsm, gsm.encode(heard));
    const double ownError = rmsDifference(recoded, heard);
    const double error = rmsDifference(converted, heard);
    EXPECT_GT(ownError, 0.0);
    EXPECT_LE(error, ownError * 1.05 + 1.0) << "re-coding error " << ownError;
    // And the result is still the speech: far below the signal's own level.
    double level = 0;
    for (int16_t s : heard)
        level += double(s) * s;
    level = std::sqrt(level / double(heard.size()));
    EXPECT_LT(error, level / 3);
}

TEST_F(RecordingConversionTest, FailuresHaveTheirReasons) {
    const QString out = dir.file("out.wav");
    EXPECT_EQ(convert(dir.file("missing.xtr"), out), ConversionResult::SourceNotOpened);
    EXPECT_EQ(convert(dir.path(), out), ConversionResult::SourceNotOpened); // a folder

    // 1440 + 32 bytes is too short; one byte more is not.
    EXPECT_EQ(convert(source("short.xtr", container(7, pattern(32))), out), ConversionResult::TooShort);
    EXPECT_EQ(convert(source("just.xtr", container(7, pattern(33))), out), ConversionResult::Written);
    EXPECT_EQ(TempDir::read(out).size(), 58 + 33);

    // Less than a second of GSM (49 frames, 7840 samples): reason 213, and the earlier output of that
    // name is gone.
    const QByteArray frames = codecOf(Coding::Gsm).encode(synthesizeSpeech({5, 49 * 160, 1}));
    ASSERT_EQ(frames.size(), 49 * 33);
    EXPECT_EQ(convert(source("brief.xtr", container(49, frames)), out), ConversionResult::OutputNotWritten);
    EXPECT_FALSE(QFileInfo::exists(out));
    // Exactly one second is written.
    EXPECT_EQ(convert(source("second.xtr",
                             container(49, codecOf(Coding::Gsm).encode(synthesizeSpeech({5, 8000, 1})))),
                      out),
              ConversionResult::Written);

    // An output folder that does not exist.
    EXPECT_EQ(convert(source("ok.xtr", container(7, pattern(800))), dir.file("no/such/out.wav")),
              ConversionResult::OutputNotWritten);
    EXPECT_EQ(conversionReasonText(ConversionResult::SourceNotOpened), 210);
    EXPECT_EQ(conversionReasonText(ConversionResult::TooShort), 211);
    EXPECT_EQ(conversionReasonText(ConversionResult::NoMemory), 212);
    EXPECT_EQ(conversionReasonText(ConversionResult::OutputNotWritten), 213);
    EXPECT_EQ(conversionReasonText(ConversionResult::Written), 0);
}

TEST_F(RecordingConversionTest, OtherCodingsWriteNothingAndLeaveAnEarlierFile) {
    const QString out = dir.write("kept.wav", "earlier");
    for (uint32_t code : {6u, 49u + 65536u, 0u, 1u}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(convert(source("odd.xtr", container(code, pattern(4000))), out),
                  ConversionResult::OtherCoding);
        EXPECT_EQ(conversionReasonText(ConversionResult::OtherCoding), 0);
    }
    EXPECT_EQ(TempDir::read(out), "earlier");
}

TEST_F(RecordingConversionTest, NeverWritesOverItsSourceNorReadsOutsideItsArea) {
    // A source named without ".xtr" keeps its name; converted into its own folder it would be replaced.
    const QByteArray bytes = container(7, pattern(1000));
    const QString plain = source("plain.wav", bytes);
    EXPECT_EQ(convert(plain, wavOutputPath(plain, dir.path())), ConversionResult::OutputNotWritten);
    EXPECT_EQ(TempDir::read(plain), bytes);

    TempDir card, elsewhere;
    const QString outside = elsewhere.write("x.xtr", bytes);
    platform::ScopedFileRoots roots(card.path(), QString());
    EXPECT_EQ(convertRecording(outside, platform::Area::Card, dir.file("x.wav")),
              ConversionResult::SourceNotOpened);
    const QString inside = card.write("201801/y.xtr", bytes);
    EXPECT_EQ(convertRecording(inside, platform::Area::Card, dir.file("y.wav")), ConversionResult::Written);
}

TEST(WavOutputPath, TakesTheNameAfterTheLastSeparatorAndReplacesEveryXtr) {
    EXPECT_EQ(wavOutputPath(QStringLiteral("E:\\201801\\20090512103000-I.xtr"), QStringLiteral("D:\\out\\")),
              "D:\\out\\20090512103000-I.wav");
    // Both separators: whichever comes later wins.
    EXPECT_EQ(
        wavOutputPath(QStringLiteral("/card/2009\\05/a\\20090512103000-I.xtr"), QStringLiteral("/out/")),
        "/out/20090512103000-I.wav");
    EXPECT_EQ(wavOutputPath(QStringLiteral("E:\\x/y\\z.xtr.xtr"), QStringLiteral("/out/")), "/out/z.wav.wav");
    EXPECT_EQ(wavOutputPath(QStringLiteral("bare.xtr"), QStringLiteral("/out/")), "/out/bare.wav");
    // A folder typed without its separator still gets the file inside it.
    EXPECT_EQ(wavOutputPath(QStringLiteral("/c/a.xtr"), QStringLiteral("/home/u/out")), "/home/u/out/a.wav");
}

} // namespace
