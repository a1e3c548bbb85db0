// The command-line additions for recordings: note, bookmark and the player's duration in
// "recording --json", and "decode" writing a recording as it is heard.
#include "audio/G711.h"
#include "audio/ImaAdpcm.h"
#include "audio/RecordingWriter.h"
#include "audio/SpeechSynth.h"
#include "cli/Cli.h"
#include "format/LittleEndian.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// Helpers live in a named namespace: test files may be compiled in unity batches.
namespace decode_cli_test {

using namespace tessa;
using tessa::test::TempDir;

using tessa::test::runCli;
using Result = tessa::test::CliResult;

QJsonObject recordingJson(const QString& path) {
    const Result r = runCli({QStringLiteral("recording"), path, QStringLiteral("--json")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

std::vector<int16_t> speech(size_t samples, uint32_t seed) {
    SpeechOptions o;
    o.samples = samples;
    o.seed = seed;
    return synthesizeSpeech(o);
}

// The PCM of a 44-byte-header WAV file, after checking the header says 16-bit mono at 8000 Hz.
std::vector<int16_t> pcmOf(const QByteArray& wav) {
    EXPECT_GE(wav.size(), 44);
    const auto* h = reinterpret_cast<const uint8_t*>(wav.constData());
    EXPECT_EQ(wav.left(4), "RIFF");
    EXPECT_EQ(readLeU32(h + 4), uint32_t(wav.size() - 8));
    EXPECT_EQ(wav.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(readLeU32(h + 16), 16u);
    EXPECT_EQ(readLeU16(h + 20), 1);
    EXPECT_EQ(readLeU16(h + 22), 1);
    EXPECT_EQ(readLeU32(h + 24), 8000u);
    EXPECT_EQ(readLeU32(h + 28), 16000u);
    EXPECT_EQ(readLeU16(h + 32), 2);
    EXPECT_EQ(readLeU16(h + 34), 16);
    EXPECT_EQ(wav.mid(36, 4), "data");
    EXPECT_EQ(readLeU32(h + 40), uint32_t(wav.size() - 44));
    std::vector<int16_t> s(size_t(wav.size() - 44) / 2);
    std::memcpy(s.data(), wav.constData() + 44, s.size() * 2);
    return s;
}

} // namespace decode_cli_test

using namespace decode_cli_test;

TEST(DecodeCli, RecordingJsonTellsNoteBookmarkAndDuration) {
    TempDir dir;
    ContainerContent content;
    content.formatCode = FormatGsm;
    content.note = QStringLiteral("Ask for the quote");
    content.bookmark = BookmarkSpan{2, 5};
    const auto samples = speech(8000 * 6 + 100, 4);
    QString error;
    const QString gsm = dir.file(QStringLiteral("20180115093012-I-555.xtr"));
    ASSERT_TRUE(writeContainerRecording(gsm, samples, content, &error)) << error.toStdString();
    QJsonObject o = recordingJson(gsm);
    EXPECT_EQ(o.value("note").toString(), QStringLiteral("Ask for the quote"));
    EXPECT_EQ(o.value("bookmark").toArray(), (QJsonArray{2, 5}));
    EXPECT_EQ(o.value("duration").toInt(), 6);
    EXPECT_EQ(o.value("formatCode").toInt(), 49);

    const QString wav = dir.file(QStringLiteral("20180115093012-I-555.wav"));
    ASSERT_TRUE(writePlainWavRecording(wav, samples, &error));
    o = recordingJson(wav);
    EXPECT_TRUE(o.value("note").isNull());
    EXPECT_TRUE(o.value("bookmark").isNull());
    EXPECT_EQ(o.value("duration").toInt(), int((QFileInfo(wav).size() - 60) / 4055));

    // A container the player refuses has duration 0; its text area is still read.
    QByteArray broken = TempDir::read(gsm);
    writeLeU32(reinterpret_cast<uint8_t*>(broken.data()) + 4, uint32_t(broken.size() + 1));
    o = recordingJson(dir.write(QStringLiteral("broken.xtr"), broken));
    EXPECT_EQ(o.value("duration").toInt(), 0);
    EXPECT_EQ(o.value("bookmark").toArray(), (QJsonArray{2, 5}));
    EXPECT_TRUE(o.contains("note"));
}

TEST(DecodeCli, DecodeWritesWhatThePlayerPlays) {
    TempDir dir;
    const auto samples = speech(8000 * 3 + 500, 6);
    QString error;

    // IMA ADPCM: the decoded blocks, whole seconds only.
    const QString wav = dir.file(QStringLiteral("a.wav"));
    ASSERT_TRUE(writePlainWavRecording(wav, samples, &error));
    const QString out = dir.file(QStringLiteral("out.wav"));
    Result r = runCli({QStringLiteral("decode"), wav, out});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QByteArray file = TempDir::read(wav);
    const auto expected =
        decodeImaAdpcm(reinterpret_cast<const uint8_t*>(file.constData()) + 60, size_t(file.size() - 60));
    auto pcm = pcmOf(TempDir::read(out));
    ASSERT_EQ(pcm.size(), size_t((file.size() - 60) / 4055) * 8000);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), expected.begin()));

    // GSM: every second of fifty frames.
    ContainerContent gsm;
    gsm.formatCode = FormatGsm;
    const QString gsmPath = dir.file(QStringLiteral("g.xtr"));
    ASSERT_TRUE(writeContainerRecording(gsmPath, samples, gsm, &error));
    r = runCli({QStringLiteral("decode"), gsmPath, out});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    pcm = pcmOf(TempDir::read(out));
    ASSERT_EQ(pcm.size(), 3u * 8000);
    EXPECT_TRUE(std::any_of(pcm.begin() + 16000, pcm.end(), [](int16_t v) { return std::abs(v) > 1000; }));

    // mu-law and A-law: every byte through its own table.
    for (const uint32_t code : {uint32_t(FormatMuLaw), uint32_t(FormatALaw)}) {
        ContainerContent content;
        content.formatCode = code;
        const QString xtr = dir.file(QStringLiteral("g%1.xtr").arg(code));
        ASSERT_TRUE(writeContainerRecording(xtr, samples, content, &error));
        r = runCli({QStringLiteral("decode"), xtr, out});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QByteArray coded = TempDir::read(xtr).mid(1440);
        pcm = pcmOf(TempDir::read(out));
        ASSERT_EQ(pcm.size(), 3u * 8000);
        for (size_t i = 0; i < pcm.size(); ++i)
            ASSERT_EQ(pcm[i], code == FormatALaw ? expandALaw(uint8_t(coded[qsizetype(i)]))
                                                 : expandMuLaw(uint8_t(coded[qsizetype(i)])))
                << code << " " << i;
    }
}

TEST(DecodeCli, DecodeRefusesWhatCannotBePlayed) {
    TempDir dir;
    const QString out = dir.file(QStringLiteral("out.wav"));
    Result r = runCli({QStringLiteral("decode"), dir.file(QStringLiteral("none.xtr")), out});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("none.xtr")));
    EXPECT_FALSE(QFileInfo::exists(out));

    r = runCli(
        {QStringLiteral("decode"), dir.write(QStringLiteral("short.wav"), QByteArray(3000, 'x')), out});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("shorter than one second"))) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(out));

    const QString good = dir.write(QStringLiteral("m.xtr"), [] {
        QByteArray f(1440, '\0');
        writeLeU32(reinterpret_cast<uint8_t*>(f.data()) + 4, 1440);
        writeLeU32(reinterpret_cast<uint8_t*>(f.data()) + 8, 7);
        return f + QByteArray(8000, char(0xFF));
    }());
    r = runCli({QStringLiteral("decode"), good, dir.file(QStringLiteral("no/such/folder/out.wav"))});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(runCli({QStringLiteral("decode"), good}).code, 2);
    EXPECT_EQ(runCli({QStringLiteral("decode"), good, out}).code, 0);
    EXPECT_EQ(pcmOf(TempDir::read(out)), std::vector<int16_t>(8000, 0));
}
