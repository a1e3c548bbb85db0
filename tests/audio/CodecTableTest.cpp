#include "audio/CodecTable.h"

#include "audio/SpeechSynth.h"
#include "format/ContainerHeader.h"

#include <cmath>
#include <gtest/gtest.h>

// Helpers live in a named namespace: test files may be compiled in unity batches.
namespace codec_table_test {

using namespace tessa;

constexpr Coding kAllCodings[] = {Coding::Pcm16,    Coding::ImaAdpcm, Coding::Gsm,
                                  Coding::GsmWav49, Coding::MuLaw,    Coding::ALaw};

std::vector<int16_t> speech(size_t samples) {
    SpeechOptions o;
    o.samples = samples;
    o.seed = 23;
    o.voices = 2;
    return synthesizeSpeech(o);
}

double rms(std::span<const int16_t> s) {
    double sum = 0;
    for (int16_t v : s)
        sum += double(v) * v;
    return std::sqrt(sum / double(s.size()));
}

double rmsError(std::span<const int16_t> a, std::span<const int16_t> b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += double(a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(sum / double(a.size()));
}

} // namespace codec_table_test

using namespace codec_table_test;

TEST(CodecTable, FormatCodesNameTheirCodingsAndEveryOtherCodeIsMuLaw) {
    struct Case {
        uint32_t code;
        Coding coding;
        uint32_t duration, stored, read;
        int mode;
    };
    for (const Case c :
         {Case{17, Coding::ImaAdpcm, 4055, 4096, 16000, 3}, Case{49, Coding::Gsm, 1650, 1650, 1650, 3},
          Case{6, Coding::ALaw, 8000, 8000, 8000, 2}, Case{7, Coding::MuLaw, 8000, 8000, 8000, 1}}) {
        const Codec& codec = codecOfFormatCode(c.code);
        EXPECT_EQ(codec.coding, c.coding) << c.code;
        EXPECT_EQ(codec.formatCode, c.code);
        EXPECT_EQ(codec.waveTag, c.code) << "the format codes are WAVE tags";
        EXPECT_EQ(codec.durationBytesPerSecond, c.duration) << c.code;
        EXPECT_EQ(codec.storedBytesPerSecond, c.stored) << c.code;
        EXPECT_EQ(codec.readBytesPerSecond, c.read) << c.code;
        EXPECT_EQ(codec.playbackMode, c.mode) << c.code;
        EXPECT_EQ(findFormatCode(c.code), &codec);
    }
    for (const uint32_t other : {0u, 1u, 3u, 49u + 65536u, 17u << 16, 0xFFFFFFFFu}) {
        EXPECT_EQ(codecOfFormatCode(other).coding, Coding::MuLaw) << other;
        EXPECT_EQ(findFormatCode(other), nullptr) << other;
    }
    for (const Coding coding : kAllCodings)
        EXPECT_EQ(codecOf(coding).coding, coding);
    EXPECT_TRUE(codecOf(Coding::ImaAdpcm).decodedAhead);
    EXPECT_FALSE(codecOf(Coding::Gsm).decodedAhead);
}

TEST(CodecTable, OnlyTheMuLawAndALawModesPlayCodedBytes) {
    EXPECT_TRUE(playsCodedBytes(codecOf(Coding::MuLaw)));
    EXPECT_TRUE(playsCodedBytes(codecOf(Coding::ALaw)));
    EXPECT_FALSE(playsCodedBytes(codecOf(Coding::ImaAdpcm)));
    EXPECT_FALSE(playsCodedBytes(codecOf(Coding::Gsm)));

    for (int mode = 0; mode <= 4; ++mode) {
        const auto format = waveFormatForMode(mode);
        ASSERT_TRUE(format) << mode;
        const Codec* codec = codecOfOutputFormat(*format);
        ASSERT_NE(codec, nullptr) << mode;
        EXPECT_EQ(codec->waveTag, format->formatTag) << mode;
        EXPECT_EQ(codec->blockBytes, format->blockAlign) << mode;
    }
    EXPECT_EQ(codecOfOutputFormat(*waveFormatForMode(OutputGsm))->coding, Coding::GsmWav49);
    EXPECT_FALSE(waveFormatForMode(-1));
    EXPECT_FALSE(waveFormatForMode(5));
    // Close to a mode's format is no mode's format.
    auto imaAt4055 = *waveFormatForMode(OutputImaAdpcm);
    imaAt4055.averageBytesPerSecond = 4055;
    EXPECT_EQ(codecOfOutputFormat(imaAt4055), nullptr);
    auto stereo = *waveFormatForMode(OutputPcm);
    stereo.channels = 2;
    EXPECT_EQ(codecOfOutputFormat(stereo), nullptr);
}

TEST(CodecTable, PartialBlocksCountWholeExceptHalfAPcmSample) {
    EXPECT_EQ(codecOf(Coding::Pcm16).samplesFor(16001), 8000u);
    EXPECT_EQ(codecOf(Coding::ImaAdpcm).samplesFor(256 + 60), 2u * 505);
    EXPECT_EQ(codecOf(Coding::ImaAdpcm).samplesFor(4096), 16u * 505);
    EXPECT_EQ(codecOf(Coding::Gsm).samplesFor(1650), 8000u);
    EXPECT_EQ(codecOf(Coding::Gsm).samplesFor(1651), 8160u);
    EXPECT_EQ(codecOf(Coding::GsmWav49).samplesFor(65 * 25 + 1), 26u * 320);
    EXPECT_EQ(codecOf(Coding::MuLaw).samplesFor(8000), 8000u);
    EXPECT_EQ(codecOf(Coding::ALaw).samplesFor(0), 0u);
}

// Each coding's encoder and decoder from the table belong together: what one codes the other reads back
// at the length the table states, close to the input for the waveform coders, at the input's level for
// GSM.
TEST(CodecTable, EveryEncoderIsReadBackByItsOwnDecoder) {
    const auto input = speech(8000 + 123);
    for (const Coding coding : kAllCodings) {
        const Codec& codec = codecOf(coding);
        SCOPED_TRACE(codec.name);
        const QByteArray coded = codec.encode(input);
        ASSERT_FALSE(coded.isEmpty());
        EXPECT_EQ(coded.size() % codec.blockBytes, 0) << "the last block is padded";
        const size_t expected = codec.samplesFor(size_t(coded.size()));
        ASSERT_GE(expected, input.size());
        EXPECT_LT(expected - input.size(), codec.blockSamples);

        std::vector<int16_t> decoded(expected, 0x5555);
        const auto decoder = codec.makeDecoder();
        ASSERT_EQ(decoder->decode(reinterpret_cast<const uint8_t*>(coded.constData()), size_t(coded.size()),
                                  decoded.data()),
                  expected);
        const std::span<const int16_t> in(input), out(decoded.data(), input.size());
        if (coding == Coding::Pcm16) {
            EXPECT_TRUE(std::equal(in.begin(), in.end(), out.begin()));
        } else if (coding == Coding::Gsm || coding == Coding::GsmWav49) {
            EXPECT_GT(rms(out), 0.5 * rms(in));
            EXPECT_LT(rms(out), 2.0 * rms(in));
        } else {
            // IMA ADPCM's quantiser adapts in coarser steps than the G.711 segments.
            EXPECT_LT(rmsError(in, out), (coding == Coding::ImaAdpcm ? 0.25 : 0.1) * rms(in));
        }
    }
}

TEST(CodecTable, ThePathAloneTellsAContainer) {
    ContainerHeader header{};
    header.dataOffset = 1440;
    header.formatCode = 49;
    struct Case {
        const char* path;
        bool container;
    };
    for (const Case c : {Case{"E:\\201801\\20180115093012-I-555.xtr", true}, Case{"a.XTR", false},
                         Case{"/backup/old.xtr/20180115093012-I-555.wav", true}, Case{"a.xtr.bak", true},
                         Case{"a.wav", false}, Case{"a.xt", false}}) {
        const RecordingLayout layout = recordingLayout(QString::fromLatin1(c.path), header);
        EXPECT_EQ(layout.container, c.container) << c.path;
        EXPECT_EQ(layout.dataOffset, c.container ? 1440u : 60u) << c.path;
        EXPECT_EQ(layout.codec->coding, c.container ? Coding::Gsm : Coding::ImaAdpcm) << c.path;
    }
    header.formatCode = 49 + 65536;
    EXPECT_EQ(recordingLayout(QStringLiteral("a.xtr"), header).codec->coding, Coding::MuLaw);
}
