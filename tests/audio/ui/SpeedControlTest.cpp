// The player's speed control: the speed button's menu of steps, the [ and ] keys shown in the
// tooltips, the choice kept in the settings and restored by the next player.

#include "audio/PlaybackEngine.h"
#include "audio/PlaybackSpeed.h"
#include "audio/ui/PlayerPane.h"
#include "audio/ui/WaveformView.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "platform/FakeWaveOutput.h"
#include "support/ScopedConfig.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QLocale>
#include <QMenu>
#include <QTest>
#include <QToolButton>

namespace speed_control_test {

using namespace tessa;
using tessa::test::TempDir;

class SpeedControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        output = std::make_shared<platform::FakeWaveOutput>();
        engine = std::make_shared<PlaybackEngine>(output);
        ASSERT_TRUE(engine->open(OutputImaAdpcm));
        // The labels are written in the user's locale; these tests read them with a decimal point.
        QLocale::setDefault(QLocale::c());
    }
    void TearDown() override {
        player.reset();
        QLocale::setDefault(savedLocale);
    }
    void makePlayer() {
        player = std::make_unique<PlayerPane>(engine);
        player->resize(304, 229);
        player->show();
        player->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(player.get()));
        player->setFocus();
    }
    QToolButton* speedButton() const { return player->findChild<QToolButton*>(QStringLiteral("playSpeed")); }
    QAction* step(int percent) const {
        return player->findChild<QAction*>(QStringLiteral("speed%1").arg(percent));
    }
    int checkedStep() const {
        int checked = 0;
        for (int percent : kPlaybackSpeeds)
            if (step(percent)->isChecked())
                checked = checked ? -1 : percent;
        return checked;
    }

    const QLocale savedLocale;
    test::ScratchConfig config{test::ScratchConfig::ShippedStringTable};
    std::shared_ptr<platform::FakeWaveOutput> output;
    std::shared_ptr<PlaybackEngine> engine;
    std::unique_ptr<PlayerPane> player;
};

TEST_F(SpeedControlTest, TheMenuOffersEveryStepAndAChoiceReachesTheOutputAndTheSettings) {
    makePlayer();
    ASSERT_NE(speedButton(), nullptr);
    EXPECT_EQ(speedButton()->menu(), player->speedMenu());
    EXPECT_EQ(player->speedMenu()->title(), text(430));
    EXPECT_EQ(speedButton()->text(), QStringLiteral("1\u00D7"));
    EXPECT_EQ(checkedStep(), 100);
    // The button sits at the right end of the waveform's strip.
    EXPECT_TRUE(player->waveform()->rect().contains(speedButton()->geometry()));
    EXPECT_GT(speedButton()->geometry().left(), player->waveform()->width() / 2);

    const std::pair<int, QString> labels[] = {
        {50, QStringLiteral("0.5\u00D7")},   {75, QStringLiteral("0.75\u00D7")},
        {125, QStringLiteral("1.25\u00D7")}, {150, QStringLiteral("1.5\u00D7")},
        {200, QStringLiteral("2\u00D7")},    {100, QStringLiteral("1\u00D7")}};
    for (const auto& [percent, label] : labels) {
        SCOPED_TRACE(percent);
        ASSERT_NE(step(percent), nullptr);
        EXPECT_TRUE(player->speedMenu()->actions().contains(step(percent)));
        EXPECT_EQ(step(percent)->text(), label);
        step(percent)->trigger();
        EXPECT_EQ(player->speed(), percent);
        EXPECT_EQ(engine->speed(), percent);
        EXPECT_EQ(output->speed(), percent);
        EXPECT_EQ(speedButton()->text(), label);
        EXPECT_EQ(checkedStep(), percent);
        EXPECT_EQ(readIntSetting(QStringLiteral("PlaySpeed")), percent);
    }
}

TEST_F(SpeedControlTest, BracketKeysStepSlowerAndFasterAndShowInTheTooltips) {
    makePlayer();
    const QString slowerKey = QKeySequence(Qt::Key_BracketLeft).toString(QKeySequence::NativeText);
    const QString fasterKey = QKeySequence(Qt::Key_BracketRight).toString(QKeySequence::NativeText);
    EXPECT_EQ(player->slowerAction()->text(), text(431));
    EXPECT_EQ(player->fasterAction()->text(), text(432));
    EXPECT_TRUE(player->slowerAction()->toolTip().contains(slowerKey));
    EXPECT_TRUE(player->fasterAction()->toolTip().contains(fasterKey));
    EXPECT_TRUE(speedButton()->toolTip().contains(text(430)));
    EXPECT_TRUE(speedButton()->toolTip().contains(slowerKey));
    EXPECT_TRUE(speedButton()->toolTip().contains(fasterKey));
    EXPECT_EQ(player->speedActions(), (QList<QAction*>{player->slowerAction(), player->fasterAction()}));

    const int upward[] = {125, 150, 200, 200};
    for (int expected : upward) {
        QTest::keyClick(player.get(), Qt::Key_BracketRight);
        EXPECT_EQ(player->speed(), expected);
    }
    EXPECT_FALSE(player->fasterAction()->isEnabled()) << "nothing is faster than the fastest step";
    const int downward[] = {150, 125, 100, 75, 50};
    for (int expected : downward) {
        QTest::keyClick(player.get(), Qt::Key_BracketLeft);
        EXPECT_EQ(player->speed(), expected);
    }
    EXPECT_FALSE(player->slowerAction()->isEnabled());
    EXPECT_TRUE(player->fasterAction()->isEnabled());
    EXPECT_EQ(readIntSetting(QStringLiteral("PlaySpeed")), 50);

    // The context menu holds the speed menu after the transport entries.
    QMenu menu;
    player->fillContextMenu(menu);
    EXPECT_EQ(menu.actions().last(), player->speedMenu()->menuAction());
}

TEST_F(SpeedControlTest, ANewPlayerStartsAtTheSpeedKeptInTheSettings) {
    config.write(QStringLiteral("TessaSet.ini"), "[Setting]\r\nPlaySpeed=75\r\n");
    makePlayer();
    EXPECT_EQ(player->speed(), 75);
    EXPECT_EQ(output->speed(), 75);
    EXPECT_EQ(checkedStep(), 75);
    EXPECT_EQ(player->session().tickInterval(), std::chrono::milliseconds(1333));
    player.reset();

    config.write(QStringLiteral("TessaSet.ini"), "[Setting]\r\nPlaySpeed=fast\r\n");
    makePlayer();
    EXPECT_EQ(player->speed(), 100);
    // Restoring is no choice of the user's: the file is left as it was.
    EXPECT_EQ(TempDir::read(config.file(QStringLiteral("TessaSet.ini"))),
              QByteArray("[Setting]\r\nPlaySpeed=fast\r\n"));
}

} // namespace speed_control_test
