#include "audio/OpenRecording.h"

#include "audio/G711.h"
#include "audio/GsmCodec.h"
#include "audio/ImaAdpcm.h"
#include "audio/SpeechSynth.h"
#include "config/ProgramFolder.h"
#include "format/ContainerHeader.h"
#include "format/LittleEndian.h"
#include "platform/FileRoots.h"
#include "support/TempDir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <QFileInfo>
#include <thread>
#include <vector>

// Helpers live in a named namespace: test files may be compiled in unity batches.
namespace open_recording_test {

using namespace tessa;
using tessa::test::TempDir;

// A container as the recorder lays it out, with any data offset and format code.
QByteArray container(uint32_t formatCode, const QByteArray& audio, uint32_t dataOffset = 1440,
                     const QByteArray& text = {}) {
    QByteArray file(1440, '\0');
    writeLeU32(reinterpret_cast<uint8_t*>(file.data()) + 4, dataOffset);
    writeLeU32(reinterpret_cast<uint8_t*>(file.data()) + 8, formatCode);
    file.replace(qsizetype(ContainerHeader::kTextAreaOffset), text.size(), text);
    // Audio may begin right after the text area, or overlap the header.
    if (dataOffset >= ContainerHeader::kTextAreaOffset + ContainerHeader::kTextAreaSize)
        file.resize(std::min<qsizetype>(file.size(), qsizetype(dataOffset)));
    return file + audio;
}

std::vector<int16_t> speech(size_t samples, uint32_t seed) {
    SpeechOptions o;
    o.samples = samples;
    o.seed = seed;
    return synthesizeSpeech(o);
}

QByteArray gsmFrames(const std::vector<int16_t>& samples) {
    GsmCodec codec;
    QByteArray out(qsizetype(samples.size() / 160 * 33), '\0');
    for (size_t f = 0; f < samples.size() / 160; ++f)
        codec.encode(samples.data() + f * 160, reinterpret_cast<uint8_t*>(out.data()) + f * 33);
    return out;
}

std::vector<int16_t> all(std::span<const int16_t> s) {
    return {s.begin(), s.end()};
}

// Every second read for the waveform, in order, as the loading thread reads them.
std::vector<int16_t> loadEverySecond(OpenRecording& r) {
    std::vector<int16_t> out;
    std::atomic<bool> stop{false};
    EXPECT_TRUE(r.loadAll(stop, [&](std::span<const int16_t> s, uint32_t, uint32_t) {
        out.insert(out.end(), s.begin(), s.end());
    }));
    return out;
}

} // namespace open_recording_test

using namespace open_recording_test;

TEST(OpenRecording, CodingsAndDurationsFollowTheFormatCode) {
    struct Case {
        uint32_t code, expectedCode, bytesPerSecond;
        int mode;
    };
    for (const Case c : {Case{17, 17, 16000, 3}, Case{49, 49, 1650, 3}, Case{6, 6, 8000, 2},
                         Case{7, 7, 8000, 1}, Case{0, 7, 8000, 1}, Case{49 + 65536, 7, 8000, 1},
                         Case{0xFFFFFFFF, 7, 8000, 1}, Case{17u << 16, 7, 8000, 1}}) {
        const Codec& codec = codecOfFormatCode(c.code);
        EXPECT_EQ(codec.formatCode, c.expectedCode) << c.code;
        EXPECT_EQ(codec.readBytesPerSecond, c.bytesPerSecond) << c.code;
        EXPECT_EQ(codec.playbackMode, c.mode) << c.code;
    }
    const auto duration = [](uint64_t size, uint32_t offset, uint32_t code) {
        return playerDuration(size, offset, codecOfFormatCode(code));
    };
    EXPECT_EQ(duration(1440 + 4055 * 3 - 1, 1440, 17), 2u);
    EXPECT_EQ(duration(1440 + 4055 * 3, 1440, 17), 3u);
    EXPECT_EQ(duration(1440 + 1650 * 3 + 10, 1440, 49), 3u);
    EXPECT_EQ(duration(1440 + 16000, 1440, 49 + 65536), 2u);
    EXPECT_EQ(duration(1440 + 7999, 1440, 6), 0u);
    EXPECT_EQ(duration(100, 1440, 7), 0u);
}

TEST(OpenRecording, CapitalXtrIsAPlainWavRecording) {
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    const auto samples = speech(8000 * 3, 3);
    const QByteArray file = plainWavRecording(samples);
    const QString path = dir.write(QStringLiteral("20180115093012-I-555.XTR"), file);

    OpenRecording r;
    ASSERT_EQ(r.open(path), OpenStatus::Opened);
    EXPECT_FALSE(r.isContainer());
    EXPECT_EQ(r.dataOffset(), 60u);
    EXPECT_EQ(r.formatCode(), 17u);
    EXPECT_EQ(r.bytesPerSecond(), 16000u);
    EXPECT_EQ(r.outputMode(), 3);
    EXPECT_EQ(r.duration(), uint32_t((file.size() - 60) / 4055));
    EXPECT_FALSE(r.bookmark());

    const auto decoded =
        decodeImaAdpcm(reinterpret_cast<const uint8_t*>(file.constData()) + 60, size_t(file.size() - 60));
    const auto waveform = loadEverySecond(r);
    ASSERT_EQ(waveform.size(), size_t(r.duration()) * 8000);
    EXPECT_TRUE(std::equal(waveform.begin(), waveform.end(), decoded.begin()));
    // Loading ends by closing the recording file; the audio stays readable.
    EXPECT_FALSE(r.isFileOpen());
    const auto second1 = r.readSecondForPlaying(1);
    ASSERT_EQ(second1.size(), 16000u);
    EXPECT_EQ(std::memcmp(second1.data(), decoded.data() + 8000, 16000), 0);
    EXPECT_EQ(r.currentSecond(), 1u);

    // The lower-case extension is a container, and this file's bytes make no sense as one.
    const QString lower = dir.write(QStringLiteral("20180115093012-I-555.xtr"), file);
    OpenRecording c;
    c.open(lower);
    EXPECT_TRUE(c.isContainer());
}

TEST(OpenRecording, ImaPredecodeFillsTheLastBlockWithZeros) {
    // 4096 + 256 + 60 bytes: one full chunk, then a chunk of one block and a part of a block.
    QByteArray audio(4096 + 256 + 60, '\0');
    for (qsizetype i = 0; i < audio.size(); ++i)
        audio[i] = char((i * 37 + 11) & 0xFF);
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    OpenRecording r;
    ASSERT_EQ(r.open(dir.write(QStringLiteral("a.xtr"), container(17, audio))), OpenStatus::Opened);
    ASSERT_EQ(r.duration(), 1u);
    std::atomic<bool> stop{false};
    ASSERT_TRUE(r.predecode(stop));

    const QByteArray pcm = TempDir::read(r.decodedFilePath());
    ASSERT_EQ(pcm.size(), qsizetype((16 + 2) * 505 * 2));
    uint8_t last[256] = {};
    std::memcpy(last, audio.constData() + 4096 + 256, 60);
    int16_t expected[505];
    decodeImaBlock(last, expected);
    EXPECT_EQ(std::memcmp(pcm.constData() + 17 * 505 * 2, expected, sizeof expected), 0);
    decodeImaBlock(reinterpret_cast<const uint8_t*>(audio.constData()) + 4096, expected);
    EXPECT_EQ(std::memcmp(pcm.constData() + 16 * 505 * 2, expected, sizeof expected), 0);

    // The container of the worked case, 256 + 60 bytes of audio, is under a second and is not played.
    OpenRecording shortOne;
    EXPECT_EQ(shortOne.open(dir.write(QStringLiteral("b.xtr"), container(17, audio.left(316)))),
              OpenStatus::NoDuration);
    EXPECT_TRUE(shortOne.readSecondSamples(0).empty());
}

TEST(OpenRecording, GsmSecondsDecodeFiftyFramesAndNeverTheTail) {
    const auto samples = speech(8000 * 3, 5);
    QByteArray audio = gsmFrames(samples);
    // A tail that would decode to a 51st frame of the last second if it were read.
    QByteArray tail(10, '\0');
    tail[0] = char(0xD5);
    audio += tail;
    // A frame without the signature in second 1.
    audio[qsizetype(60 * 33)] = char(0x35);

    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    OpenRecording r;
    ASSERT_EQ(r.open(dir.write(QStringLiteral("g.xtr"), container(49, audio))), OpenStatus::Opened);
    ASSERT_EQ(r.duration(), 3u);
    EXPECT_EQ(r.outputMode(), 3);

    GsmCodec reference;
    std::vector<int16_t> expected(8000 * 3);
    for (size_t f = 0; f < 150; ++f)
        reference.decode(reinterpret_cast<const uint8_t*>(audio.constData()) + f * 33,
                         expected.data() + f * 160);
    EXPECT_TRUE(std::all_of(expected.begin() + 60 * 160, expected.begin() + 61 * 160,
                            [](int16_t v) { return v == 0; }));

    for (uint32_t n = 0; n < 3; ++n) {
        const auto second = all(r.readSecondSamples(n));
        ASSERT_EQ(second.size(), 8000u) << n;
        EXPECT_TRUE(std::equal(second.begin(), second.end(), expected.begin() + n * 8000)) << n;
    }
    EXPECT_TRUE(r.readSecondSamples(3).empty());
    // Played as 16-bit PCM of the same samples.
    EXPECT_EQ(r.readSecondForPlaying(2).size(), 16000u);
}

TEST(OpenRecording, G711ExpandsForTheWaveformAndPlaysTheCodedBytes) {
    QByteArray audio(8000 * 2, '\0');
    for (qsizetype i = 0; i < audio.size(); ++i)
        audio[i] = char(i & 0xFF);
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    for (const uint32_t code : {7u, 6u, 49u + 65536u}) {
        OpenRecording r;
        ASSERT_EQ(r.open(dir.write(QStringLiteral("m%1.xtr").arg(code), container(code, audio))),
                  OpenStatus::Opened);
        EXPECT_EQ(r.duration(), 2u);
        const auto& table = code == 6 ? kALawToLinear : kMuLawToLinear;
        const auto samples = all(r.readSecondSamples(1));
        ASSERT_EQ(samples.size(), 8000u);
        for (size_t i = 0; i < samples.size(); ++i)
            ASSERT_EQ(samples[i], table[(8000 + i) & 0xFF]) << code << " " << i;
        const auto bytes = r.readSecondForPlaying(1);
        ASSERT_EQ(bytes.size(), 8000u);
        EXPECT_EQ(std::memcmp(bytes.data(), audio.constData() + 8000, 8000), 0);
    }
    EXPECT_EQ(kMuLawToLinear[0xFF], 0);
    EXPECT_EQ(kMuLawToLinear[0x00], -32124);
}

TEST(OpenRecording, BadFilesAreRefusedAndLeaveNothingToRead) {
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    const QByteArray second(8000, char(0xFF));
    struct Case {
        const char* name;
        QByteArray bytes;
        OpenStatus status;
    };
    const Case cases[] = {
        {"empty.xtr", QByteArray(), OpenStatus::Empty},
        {"empty.wav", QByteArray(), OpenStatus::Empty},
        {"beyond.xtr", container(7, second, 1440 + 8001), OpenStatus::Empty},
        {"huge-offset.xtr", container(7, second, 0xFFFFFFFF), OpenStatus::Empty},
        {"offset-zero.xtr", container(7, second, 0), OpenStatus::Opened},
        {"short-header.xtr", QByteArray(4, 'x'), OpenStatus::NoDuration}, // offset 0, mu-law
        {"short-offset.xtr", QByteArray(5, 'x'), OpenStatus::Empty},      // offset 120

        {"short.wav", QByteArray(60 + 4054, 'x'), OpenStatus::NoDuration},
        {"gsm-short.xtr", container(49, QByteArray(1649, char(0xD0))), OpenStatus::NoDuration},
    };
    for (const Case& c : cases) {
        OpenRecording r;
        EXPECT_EQ(r.open(dir.write(QString::fromLatin1(c.name), c.bytes)), c.status) << c.name;
        if (c.status != OpenStatus::Opened) {
            EXPECT_EQ(r.duration(), 0u) << c.name;
            EXPECT_TRUE(r.readSecondSamples(0).empty()) << c.name;
            EXPECT_TRUE(r.readSecondForPlaying(0).empty()) << c.name;
            EXPECT_FALSE(r.isFileOpen()) << c.name;
        }
    }
    OpenRecording r;
    EXPECT_EQ(r.open(dir.file(QStringLiteral("missing.xtr"))), OpenStatus::CannotOpen);
    EXPECT_EQ(r.open(dir.path()), OpenStatus::CannotOpen);
    EXPECT_EQ(r.open(QStringLiteral("E:\\..\\a.xtr")), OpenStatus::CannotOpen);
}

TEST(OpenRecording, FilesOf2GiBAreRefused) {
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    const QString path = dir.write(QStringLiteral("big.xtr"), container(7, QByteArray(8000, '\0')));
    QFile file(path);
    // Sparse: no disk space is used.
    if (!file.resize(kMaxRecordingSize))
        GTEST_SKIP() << "the file system cannot hold a sparse 2 GiB file";
    OpenRecording r;
    EXPECT_EQ(r.open(path), OpenStatus::TooLarge);
    EXPECT_EQ(inspectRecording(path).status, OpenStatus::TooLarge);
    EXPECT_EQ(inspectRecording(path).duration, 0u);
    ASSERT_TRUE(file.resize(kMaxRecordingSize + 5000));
    EXPECT_EQ(r.open(path), OpenStatus::TooLarge);
}

TEST(OpenRecording, TextAreaWithoutTerminatorStillOpens) {
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    QByteArray text(1024, 'a');
    text.replace(0, 30, "<bookmark><bstart>00:00:01</bs");
    OpenRecording r;
    ASSERT_EQ(r.open(dir.write(QStringLiteral("t.xtr"), container(7, QByteArray(8000, 'x'), 1168, text))),
              OpenStatus::Opened);
    EXPECT_FALSE(r.bookmark());
    EXPECT_EQ(r.dataOffset(), 1168u);

    const QByteArray element = "<bookmark><bstart>00:00:01</bstart><bend>00:00:02</bend><bookmark>";
    ASSERT_EQ(r.open(dir.write(QStringLiteral("u.xtr"), container(7, QByteArray(8000, 'x'), 1440, element))),
              OpenStatus::Opened);
    ASSERT_TRUE(r.bookmark());
    EXPECT_EQ(r.bookmark()->startSecond, 1u);
    EXPECT_EQ(r.bookmark()->endSecond, 2u);
}

TEST(OpenRecording, LoadingSurvivesTheFileVanishingAndStopsWhenAsked) {
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    const auto samples = speech(8000 * 4, 8);
    const QString path = dir.write(QStringLiteral("v.wav"), plainWavRecording(samples));
    OpenRecording r;
    ASSERT_EQ(r.open(path), OpenStatus::Opened);
    // The card is pulled and the temporary folder cleaned while loading: everything was read already.
    ASSERT_TRUE(QFile::remove(path));
    std::atomic<bool> stop{false};
    uint32_t seconds = 0;
    EXPECT_TRUE(r.loadAll(stop, [&](std::span<const int16_t> s, uint32_t n, uint32_t duration) {
        EXPECT_EQ(n, seconds);
        EXPECT_EQ(duration, r.duration());
        EXPECT_EQ(s.size(), 8000u);
        QFile::remove(r.decodedFilePath());
        ++seconds;
    }));
    EXPECT_EQ(seconds, r.duration());
    EXPECT_EQ(r.readSecondForPlaying(r.duration() - 1).size(), 16000u);

    // A stop request ends the loading between seconds and leaves the recording file open.
    const QString again = dir.write(QStringLiteral("w.wav"), plainWavRecording(samples));
    ASSERT_EQ(r.open(again), OpenStatus::Opened);
    seconds = 0;
    EXPECT_FALSE(r.loadAll(stop, [&](std::span<const int16_t>, uint32_t, uint32_t) {
        if (++seconds == 2)
            stop = true;
    }));
    EXPECT_EQ(seconds, 2u);
    EXPECT_TRUE(r.isFileOpen());
    // Stopped before the first chunk of the pre-decode.
    EXPECT_FALSE(r.predecode(stop));

    // Opening another recording under a running load ends that load too.
    stop = false;
    seconds = 0;
    EXPECT_FALSE(r.loadAll(stop, [&](std::span<const int16_t>, uint32_t, uint32_t) {
        ++seconds;
        r.open(path + QStringLiteral(".gone"));
    }));
    EXPECT_EQ(seconds, 1u);
}

TEST(OpenRecording, DecodedFileIsPrivateAndMadeAnewOnEveryOpen) {
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    const QString a = dir.write(QStringLiteral("a.wav"), plainWavRecording(speech(8000 * 2, 1)));
    const QString m = dir.write(QStringLiteral("m.xtr"), container(7, QByteArray(8000, 'x')));
    OpenRecording one;
    auto two = std::make_unique<OpenRecording>();
    ASSERT_EQ(one.open(a), OpenStatus::Opened);
    ASSERT_EQ(two->open(a), OpenStatus::Opened);
    const QString first = one.decodedFilePath();
    EXPECT_NE(first, two->decodedFilePath());
    EXPECT_TRUE(first.startsWith(privateTempFolder() + QLatin1Char('/')));
    EXPECT_EQ(QFileInfo(first).permissions() & (QFile::ReadOther | QFile::ReadGroup | QFile::WriteOther), 0);
    std::atomic<bool> stop{false};
    ASSERT_TRUE(one.predecode(stop));
    EXPECT_GT(QFileInfo(first).size(), 0);

    ASSERT_EQ(one.open(m), OpenStatus::Opened);
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_EQ(QFileInfo(one.decodedFilePath()).size(), 0);
    const QString last = two->decodedFilePath();
    two.reset();
    EXPECT_FALSE(QFileInfo::exists(last));
}

TEST(OpenRecording, ReopeningWhileALoadingThreadRunsIsSafe) {
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    const QString files[] = {
        dir.write(QStringLiteral("a.wav"), plainWavRecording(speech(8000 * 6, 2))),
        dir.write(QStringLiteral("g.xtr"), container(49, gsmFrames(speech(8000 * 6, 3)))),
        dir.write(QStringLiteral("m.xtr"), container(7, QByteArray(8000 * 6, char(0x80)))),
        dir.file(QStringLiteral("missing.xtr")),
    };
    OpenRecording r;
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    std::atomic<int> secondsSeen{0};
    ASSERT_EQ(r.open(files[0]), OpenStatus::Opened);
    // The user clicks through records faster than they load; each load ends early or runs through.
    std::thread loader([&] {
        while (!done) {
            r.loadAll(stop, [&](std::span<const int16_t> s, uint32_t n, uint32_t duration) {
                EXPECT_LE(s.size(), OpenRecording::kSampleBufferSamples);
                EXPECT_LT(n, duration);
                ++secondsSeen;
            });
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < 200; ++i)
        r.open(files[i % 4]);
    r.open(files[1]);
    while (secondsSeen < 400 && r.isFileOpen())
        std::this_thread::yield();
    done = true;
    loader.join();
    EXPECT_EQ(r.duration(), 6u);
    EXPECT_EQ(r.readSecondSamples(5).size(), 8000u);
}
