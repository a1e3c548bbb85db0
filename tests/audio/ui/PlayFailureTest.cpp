// The player says in its status strip why a record does not play, instead of leaving a blank wave.

#include "audio/PlayFailure.h"

#include "audio/PlaybackEngine.h"
#include "audio/RecordingWriter.h"
#include "audio/SpeechSynth.h"
#include "audio/ui/PlayerPane.h"
#include "audio/ui/WaveformView.h"
#include "config/ProgramFolder.h"
#include "config/StringTable.h"
#include "format/CallRecord.h"
#include "platform/FakeWaveOutput.h"
#include "platform/FileRoots.h"
#include "support/TempDir.h"

#include <chrono>
#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <thread>

namespace play_failure_test {

using namespace tessa;
using tessa::test::TempDir;

class PlayFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        config.write(QStringLiteral("TessaLang.ini"), TempDir::read(TESSA_BIN_DIR "/Config/TessaLang.ini"));
        setConfigLocations(portableConfigLocations(config.path()));
        engine = std::make_shared<PlaybackEngine>(std::make_shared<platform::FakeWaveOutput>());
        ASSERT_TRUE(engine->open(OutputImaAdpcm));
        player = std::make_unique<PlayerPane>(engine);
        for (const char* name : {"timer10", "timer11"})
            player->findChild<QTimer*>(QString::fromLatin1(name))->setInterval(24 * 3600 * 1000);
        player->resize(304, 229);
        player->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        player.reset();
        setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent")));
    }

    void load(const QString& path) {
        CallRecord r{};
        r.fullPath.setText(path);
        player->loadRecord(r);
        QApplication::processEvents();
    }
    QString strip() const { return player->waveform()->statusText(); }
    QString goodRecording() {
        const auto samples = synthesizeSpeech({7, 3 * kSpeechSampleRate, 2});
        ContainerContent content;
        content.formatCode = FormatMuLaw;
        const QString path = recordings.file(QStringLiteral("good.xtr"));
        EXPECT_TRUE(writeContainerRecording(path, samples, content, nullptr));
        return path;
    }

    TempDir config, recordings;
    platform::ScopedFileRoots roots{recordings.path(), {}}; // the folder stands for the card
    std::shared_ptr<PlaybackEngine> engine;
    std::unique_ptr<PlayerPane> player;
};

TEST_F(PlayFailureTest, EachKindOfFailureHasItsOwnLineWithThePath) {
    const QString missing = recordings.file(QStringLiteral("201801/missing.xtr"));
    const QString empty = recordings.write(QStringLiteral("empty.xtr"), QByteArray());
    const QString shortOne = recordings.write(QStringLiteral("short.xtr"), QByteArray(1500, '\0'));
    const QString plainEmpty = recordings.write(QStringLiteral("empty.wav"), QByteArray(30, '\0'));
    // A folder where the recording should be: it is there but cannot be read as a file.
    const QString folder = recordings.file(QStringLiteral("folder.xtr"));
    ASSERT_TRUE(QDir().mkpath(folder));

    const struct {
        QString path;
        PlayFailure failure;
        QString line;
    } cases[] = {
        {missing, PlayFailure::NotFound, text(260) + QLatin1Char(' ') + missing},
        {empty, PlayFailure::Empty, text(261) + QLatin1Char(' ') + empty},
        {shortOne, PlayFailure::Empty, text(261) + QLatin1Char(' ') + shortOne},
        {plainEmpty, PlayFailure::Empty, text(261) + QLatin1Char(' ') + plainEmpty},
        {folder, PlayFailure::Unreadable, text(262) + QLatin1Char(' ') + folder},
        {QString(), PlayFailure::NoRecording, text(263)},
        {QStringLiteral("E:\\..\\escape.xtr"), PlayFailure::NotFound,
         text(260) + QStringLiteral(" E:\\..\\escape.xtr")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        load(c.path);
        EXPECT_FALSE(player->isLoading());
        EXPECT_EQ(player->session().lastFailure(), c.failure);
        EXPECT_EQ(player->waveform()->totalLength(), 0);
        EXPECT_EQ(strip(), c.line);
        EXPECT_FALSE(text(260).isEmpty());
    }
}

TEST_F(PlayFailureTest, ARecordThatLoadsShowsTheTimesAgain) {
    load(recordings.file(QStringLiteral("missing.xtr")));
    ASSERT_TRUE(strip().startsWith(text(260)));
    load(goodRecording());
    EXPECT_EQ(player->session().lastFailure(), PlayFailure::None);
    EXPECT_TRUE(player->waveform()->notice().isEmpty());
    EXPECT_TRUE(strip().contains(text(168))) << strip().toStdString();
    EXPECT_FALSE(strip().contains(text(260)));
}

TEST(PlayFailureOf, OpenResultsMapToWhatTheUserCanActOn) {
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), QString()};
    const QString there = dir.write(QStringLiteral("there.xtr"), QByteArray(10, 'x'));
    EXPECT_EQ(playFailureOf(OpenStatus::Opened, there), PlayFailure::None);
    EXPECT_EQ(playFailureOf(OpenStatus::CannotOpen, there), PlayFailure::Unreadable);
    EXPECT_EQ(playFailureOf(OpenStatus::CannotOpen, dir.file(QStringLiteral("gone.xtr"))),
              PlayFailure::NotFound);
    EXPECT_EQ(playFailureOf(OpenStatus::CannotOpen, QStringLiteral("  ")), PlayFailure::NoRecording);
    EXPECT_EQ(playFailureOf(OpenStatus::NoDuration, there), PlayFailure::Empty);
    EXPECT_EQ(playFailureOf(OpenStatus::TooLarge, there), PlayFailure::Unreadable);
    EXPECT_EQ(playFailureOf(OpenStatus::ReadFailed, there), PlayFailure::Unreadable);
    EXPECT_EQ(playFailureOf(OpenStatus::NoDecodedFile, there), PlayFailure::NoTempFile);
}

// A recording the player may not read is not there for it: a file off the card, or one reached through
// a link that leads off it, is reported as missing rather than as a broken file to be retried.
TEST(PlayFailureOf, ARecordingOutsideTheCardCountsAsNotFound) {
    TempDir card, elsewhere;
    platform::ScopedFileRoots roots{card.path(), QString()};
    const QString outside = elsewhere.write(QStringLiteral("outside.xtr"), QByteArray(10, 'x'));
    ASSERT_TRUE(QFile::link(outside, card.file(QStringLiteral("link.xtr"))));
    EXPECT_EQ(playFailureOf(OpenStatus::CannotOpen, outside), PlayFailure::NotFound);
    EXPECT_EQ(playFailureOf(OpenStatus::CannotOpen, card.file(QStringLiteral("link.xtr"))),
              PlayFailure::NotFound);
    // The same file is readable for a page of imported recordings, which names the user's files.
    EXPECT_EQ(playFailureOf(OpenStatus::CannotOpen, outside, platform::Area::User), PlayFailure::Unreadable);
}

} // namespace play_failure_test
