#include "audio/RecordingWriter.h"

#include "audio/G711.h"
#include "audio/ImaAdpcm.h"
#include "audio/SpeechSynth.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

// Helpers live in a named namespace: the tests are compiled in unity batches.
namespace writer_test {

using namespace tessa;

const uint8_t* bytes(const QByteArray& a) {
    return reinterpret_cast<const uint8_t*>(a.constData());
}

std::vector<int16_t> speech(size_t samples) {
    SpeechOptions o;
    o.samples = samples;
    o.seed = 11;
    return synthesizeSpeech(o);
}

// The reader's note-line scan of a text area: at most two completed lines, lines of 64 characters or more
// are never notes.
QByteArray findNote(const QByteArray& area) {
    auto isNote = [](const QByteArray& line) {
        return !line.isEmpty() && line != QByteArray(20, ' ') &&
               !(line.size() >= 22 && line.startsWith("Bookmark at:  "));
    };
    QByteArray line;
    int completed = 0;
    for (qsizetype i = 0; i < area.size(); ++i) {
        const char c = area[i];
        if (c == '\0')
            return !line.isEmpty() && line.size() < 64 && isNote(line) ? line : QByteArray();
        if (c == '\r' && i + 1 < area.size() && area[i + 1] == '\n') {
            if (completed == 2)
                return {};
            if (line.size() < 64 && isNote(line))
                return line;
            ++completed;
            line.clear();
            ++i;
            continue;
        }
        if (line.size() < 64)
            line += c;
    }
    return {};
}

// The reader's bookmark grammar: "<bookmark>" twice, 1 to 1024 bytes apart, then the first <bstart> and
// <bend> contents as HH:MM:SS. Returns {start, end} or {0, 0}.
std::pair<int, int> findBookmark(const QByteArray& area) {
    const QByteArray text = area.left(area.indexOf('\0'));
    const qsizetype first = text.indexOf("<bookmark>");
    const qsizetype second = first < 0 ? -1 : text.indexOf("<bookmark>", first + 10);
    if (second < 0 || second - (first + 10) < 1 || second - (first + 10) > 1024)
        return {0, 0};
    auto inner = [&](const char* open, const char* close) -> QByteArray {
        const qsizetype a = text.indexOf(open);
        const qsizetype b = a < 0 ? -1 : text.indexOf(close, a + qsizetype(strlen(open)));
        if (b < 0)
            return {};
        const QByteArray v = text.mid(a + qsizetype(strlen(open)), b - a - qsizetype(strlen(open)));
        return v.size() >= 1 && v.size() <= 8 ? v : QByteArray();
    };
    const QByteArray s = inner("<bstart>", "</bstart>");
    const QByteArray e = inner("<bend>", "</bend>");
    if (s.isEmpty() || e.isEmpty())
        return {0, 0};
    auto seconds = [](const QByteArray& t) {
        return t.mid(0, 2).toInt() * 3600 + t.mid(3, 2).toInt() * 60 + t.mid(6, 2).toInt();
    };
    return {seconds(s), seconds(e)};
}

} // namespace writer_test

using namespace writer_test;

TEST(RecordingWriter, PlainWavHasTheSixtyByteImaHeader) {
    const auto samples = speech(1000);
    const QByteArray file = plainWavRecording(samples);
    ASSERT_EQ(file.size(), 60 + 2 * 256);
    const uint8_t* b = bytes(file);
    EXPECT_EQ(file.left(4), "RIFF");
    EXPECT_EQ(readLeU32(b + 4), uint32_t(file.size() - 8));
    EXPECT_EQ(file.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(readLeU32(b + 16), 20u);
    EXPECT_EQ(readLeU16(b + 20), 17);
    EXPECT_EQ(readLeU16(b + 22), 1);
    EXPECT_EQ(readLeU32(b + 24), 8000u);
    EXPECT_EQ(readLeU32(b + 28), 4055u);
    EXPECT_EQ(readLeU16(b + 32), 256);
    EXPECT_EQ(readLeU16(b + 34), 4);
    EXPECT_EQ(readLeU16(b + 36), 2);
    EXPECT_EQ(readLeU16(b + 38), 505);
    EXPECT_EQ(file.mid(40, 4), "fact");
    EXPECT_EQ(readLeU32(b + 44), 4u);
    EXPECT_EQ(readLeU32(b + 48), 1000u);
    EXPECT_EQ(file.mid(52, 4), "data");
    EXPECT_EQ(readLeU32(b + 56), 512u);
    EXPECT_EQ(file.mid(60), encodeImaAdpcm(samples));
}

TEST(RecordingWriter, ContainerHeaderTextAreaAndGsmAudio) {
    const auto samples = speech(3 * 8000);
    ContainerContent content;
    content.formatCode = FormatGsm;
    content.note = QStringLiteral("Call back on Monday");
    content.bookmark = BookmarkSpan{5, 12};
    QString error;
    const auto file = containerRecording(samples, content, &error);
    ASSERT_TRUE(file) << error.toStdString();
    ASSERT_EQ(file->size(), 1440 + 3 * 1650);
    const uint8_t* b = bytes(*file);
    EXPECT_EQ(readLeU32(b), 0u);
    EXPECT_EQ(readLeU32(b + 4), 1440u);
    EXPECT_EQ(readLeU32(b + 8), 49u);
    const QByteArray expected =
        "Call back on Monday\r\n<bookmark><bstart>00:00:05</bstart><bend>00:00:12</bend><bookmark>";
    EXPECT_EQ(file->mid(144, expected.size()), expected);
    EXPECT_EQ(file->mid(0, 1440).count('\0'), 1440 - 3 - expected.size()); // only offset, code and text
    const QByteArray area = file->mid(144, 1024);
    EXPECT_EQ(findNote(area), "Call back on Monday");
    EXPECT_EQ(findBookmark(area), std::make_pair(5, 12));
    for (qsizetype f = 1440; f < file->size(); f += 33)
        ASSERT_EQ(b[f] >> 4, 0xD) << f;
}

TEST(RecordingWriter, ContainerAudioFollowsTheFormatCode) {
    const auto samples = speech(4000);
    QString error;
    ContainerContent content;
    content.formatCode = FormatMuLaw;
    const auto mu = containerRecording(samples, content, &error);
    ASSERT_TRUE(mu);
    ASSERT_EQ(mu->size(), 1440 + 4000);
    EXPECT_EQ(uint8_t(mu->at(1440 + 100)), compressMuLaw(samples[100]));
    EXPECT_EQ(mu->mid(144, 1024), QByteArray(1024, '\0')); // no note, no bookmark

    content.formatCode = FormatImaAdpcm;
    const auto ima = containerRecording(samples, content, &error);
    ASSERT_TRUE(ima);
    EXPECT_EQ(ima->mid(1440), encodeImaAdpcm(samples));
    EXPECT_EQ(readLeU32(bytes(*ima) + 8), 17u);

    content.formatCode = FormatALaw;
    const auto a = containerRecording(samples, content, &error);
    ASSERT_TRUE(a);
    EXPECT_EQ(uint8_t(a->at(1440 + 7)), compressALaw(samples[7]));

    content.formatCode = 3;
    EXPECT_FALSE(containerRecording(samples, content, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(RecordingWriter, TextAreaKeepsTheNoteFindable) {
    QString error;
    // Line breaks would split the note; a long note would be too long to be tested.
    const auto broken = containerTextArea(QStringLiteral("two\r\nlines"), std::nullopt, &error);
    ASSERT_TRUE(broken);
    EXPECT_EQ(findNote(*broken), "two  lines");
    const auto longNote = containerTextArea(QString(100, u'x'), BookmarkSpan{1, 2}, &error);
    ASSERT_TRUE(longNote);
    EXPECT_EQ(findNote(*longNote), QByteArray(63, 'x'));
    EXPECT_EQ(findBookmark(*longNote), std::make_pair(1, 2));

    // A bookmark alone is not mistaken for a note.
    const auto onlyBookmark = containerTextArea({}, BookmarkSpan{3600 + 61, 3600 + 62}, &error);
    ASSERT_TRUE(onlyBookmark);
    EXPECT_TRUE(findNote(*onlyBookmark).isEmpty());
    EXPECT_EQ(findBookmark(*onlyBookmark), std::make_pair(3661, 3662));

    EXPECT_FALSE(containerTextArea(QString(20, u' '), std::nullopt, &error));
    EXPECT_FALSE(containerTextArea(QStringLiteral("Bookmark at:  00:00:05"), std::nullopt, &error));
    EXPECT_FALSE(containerTextArea(QStringLiteral("see <bstart>"), std::nullopt, &error));
    EXPECT_FALSE(containerTextArea({}, BookmarkSpan{7, 7}, &error));
    EXPECT_FALSE(containerTextArea({}, BookmarkSpan{0, 100 * 3600}, &error));
}

TEST(RecordingWriter, WritesFilesAndReportsFailures) {
    tessa::test::TempDir dir;
    const auto samples = speech(8000);
    QString error;
    ContainerContent content;
    content.formatCode = FormatGsm;
    ASSERT_TRUE(writeContainerRecording(dir.file(QStringLiteral("a.xtr")), samples, content, &error));
    EXPECT_EQ(tessa::test::TempDir::read(dir.file(QStringLiteral("a.xtr"))).size(), 1440 + 1650);
    ASSERT_TRUE(writePlainWavRecording(dir.file(QStringLiteral("a.wav")), samples, &error));
    EXPECT_EQ(tessa::test::TempDir::read(dir.file(QStringLiteral("a.wav"))), plainWavRecording(samples));
    EXPECT_FALSE(writePlainWavRecording(dir.file(QStringLiteral("missing/a.wav")), samples, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("missing")));
}
