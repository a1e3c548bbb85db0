// The player's keyboard transport: Space pauses and resumes, Left and Right move 5 s, Home and End go
// to the start and the end, each shown with its key in the player's menu and tooltips.

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
#include "support/ui/EventLoop.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace transport_keys_test {

using namespace tessa;
using tessa::test::TempDir;
using tessa::test::waitFor;

class TransportKeysTest : public ::testing::Test {
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
        player->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(player.get()));
        player->setFocus();
    }
    void TearDown() override {
        player.reset();
        setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent")));
    }

    // A 30-second recording, loaded and playing from second 0.
    void playThirtySeconds() {
        const auto samples = synthesizeSpeech({7, 30 * kSpeechSampleRate, 2});
        ContainerContent content;
        content.formatCode = FormatMuLaw;
        const QString path = recordings.file(QStringLiteral("call.xtr"));
        ASSERT_TRUE(writeContainerRecording(path, samples, content, nullptr));
        CallRecord r{};
        r.fullPath.setText(path);
        player->loadRecord(r);
        ASSERT_TRUE(
            waitFor([&] { return !player->isLoading() && player->playState() == PlayerPane::Playing; }));
    }
    void key(Qt::Key k) { QTest::keyClick(player.get(), k); }
    PlayerSession& session() { return player->session(); }

    TempDir config, recordings;
    platform::ScopedFileRoots roots{recordings.path(), {}}; // the folder stands for the card
    std::shared_ptr<PlaybackEngine> engine;
    std::unique_ptr<PlayerPane> player;
};

TEST_F(TransportKeysTest, SpacePausesAndResumesAndStartsAStoppedRecordingAgain) {
    playThirtySeconds();
    for (int i = 0; i < 3; ++i)
        player->timer10Tick();
    ASSERT_EQ(session().position(), 3u);
    key(Qt::Key_Space);
    EXPECT_EQ(player->playState(), PlayerPane::Paused);
    EXPECT_EQ(session().position(), 4u); // the resume goes on after the last second queued
    key(Qt::Key_Space);
    EXPECT_EQ(player->playState(), PlayerPane::Playing);
    EXPECT_EQ(session().position(), 4u);
    player->command(PlayerPane::ControlStop);
    ASSERT_EQ(player->playState(), PlayerPane::Stopped);
    key(Qt::Key_Space);
    EXPECT_EQ(player->playState(), PlayerPane::Playing);
    EXPECT_EQ(session().position(), 0u);
}

TEST_F(TransportKeysTest, ArrowsMoveFiveSecondsAndHomeAndEndGoToTheEnds) {
    playThirtySeconds();
    key(Qt::Key_Right);
    EXPECT_EQ(session().position(), 5u);
    EXPECT_EQ(player->waveform()->cursorSecond(), 5);
    key(Qt::Key_Right);
    EXPECT_EQ(session().position(), 10u);
    key(Qt::Key_Left);
    EXPECT_EQ(session().position(), 5u);
    EXPECT_EQ(player->playState(), PlayerPane::Playing);
    // How many seconds the engine holds right after a move depends on the feed timer, so the move is
    // judged by the position the session plays from.
    key(Qt::Key_Left);
    key(Qt::Key_Left);
    EXPECT_EQ(session().position(), 0u);
    key(Qt::Key_Right);
    key(Qt::Key_Home);
    EXPECT_EQ(session().position(), 0u);

    // Paused, a move only changes where the resume starts.
    key(Qt::Key_Space);
    ASSERT_EQ(player->playState(), PlayerPane::Paused);
    key(Qt::Key_Right);
    EXPECT_EQ(player->playState(), PlayerPane::Paused);
    EXPECT_EQ(session().position(), 6u);
    key(Qt::Key_Space);
    EXPECT_EQ(session().position(), 6u);

    key(Qt::Key_End);
    EXPECT_EQ(player->playState(), PlayerPane::Stopped);
    EXPECT_EQ(session().nextSecond(), 30u);
    EXPECT_EQ(player->waveform()->cursorSecond(), 30);
    // From a stop, a move plays the whole recording from there.
    key(Qt::Key_Home);
    EXPECT_EQ(player->playState(), PlayerPane::Playing);
    EXPECT_EQ(session().position(), 0u);
    // Near the end Right stops at the end rather than past it.
    session().seekTo(27);
    key(Qt::Key_Right);
    EXPECT_EQ(player->playState(), PlayerPane::Stopped);
    EXPECT_EQ(session().nextSecond(), 30u);
}

TEST_F(TransportKeysTest, KeysDoNothingWithoutARecordingOrWhileLoading) {
    key(Qt::Key_Right);
    key(Qt::Key_Space);
    EXPECT_EQ(player->playState(), PlayerPane::Stopped);
    EXPECT_EQ(engine->pendingCount(), 0);
}

TEST_F(TransportKeysTest, EveryKeyShowsInTheMenuEntryAndTooltip) {
    QMenu menu;
    player->fillContextMenu(menu);
    const struct {
        PlayerPane::Transport which;
        Qt::Key key;
        QString label;
    } expected[] = {
        {PlayerPane::PauseResume, Qt::Key_Space, text(265)}, {PlayerPane::Back, Qt::Key_Left, text(266)},
        {PlayerPane::Forward, Qt::Key_Right, text(267)},     {PlayerPane::ToStart, Qt::Key_Home, text(268)},
        {PlayerPane::ToEnd, Qt::Key_End, text(269)},
    };
    // The five transport entries, then a separator and the speed menu.
    ASSERT_EQ(menu.actions().size(), 7);
    for (const auto& e : expected) {
        QAction* action = player->transportAction(e.which);
        const QString keyText = QKeySequence(e.key).toString(QKeySequence::NativeText);
        EXPECT_TRUE(menu.actions().contains(action));
        EXPECT_EQ(action->text(), e.label);
        EXPECT_FALSE(e.label.isEmpty());
        EXPECT_EQ(action->shortcut(), QKeySequence(e.key));
        EXPECT_TRUE(action->toolTip().contains(keyText)) << action->toolTip().toStdString();
    }
    auto* play = player->findChild<QPushButton*>(QStringLiteral("ctl%1").arg(int(PlayerPane::ControlPlay)));
    EXPECT_TRUE(play->toolTip().contains(QKeySequence(Qt::Key_Space).toString(QKeySequence::NativeText)));
}

} // namespace transport_keys_test
