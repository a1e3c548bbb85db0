#include "audio/ui/PlayerPane.h"

#include "app/ui/MainWindow.h"
#include "audio/ImaAdpcm.h"
#include "audio/PlaybackEngine.h"
#include "audio/RecordingWriter.h"
#include "audio/SpeechSynth.h"
#include "audio/ui/WaveformView.h"
#include "browse/Commands.h"
#include "browse/RecordListModel.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordCommands.h"
#include "browse/ui/RecordListPage.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "platform/FakeWaveOutput.h"
#include "platform/FileRoots.h"
#include "platform/WorkerSlot.h"
#include "store/AppState.h"
#include "support/CardFixtures.h"
#include "support/ScopedConfig.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <gtest/gtest.h>
#include <mutex>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <random>
#include <thread>

namespace player_pane_test {

using namespace tessa;
using tessa::test::TempDir;

// The row the window's play command starts from: the list's first selected row, or row 0.
int firstSelected(const RecordListPage& page) {
    const std::vector<int> selected = page.selectedRows();
    return selected.empty() ? 0 : selected.front();
}

// A fake output that also keeps a copy of every block written, so that tests see which seconds were
// handed to the engine and in which order.
class RecordingOutput : public platform::FakeWaveOutput {
public:
    platform::WaveResult write(platform::WaveBlock* block) override {
        const platform::WaveResult result = FakeWaveOutput::write(block);
        if (result == platform::WaveResult::Ok) {
            std::lock_guard lock(writesMutex_);
            blocks_.emplace_back(reinterpret_cast<const char*>(block->data), qsizetype(block->length));
        }
        return result;
    }
    std::vector<QByteArray> blocks() const {
        std::lock_guard lock(writesMutex_);
        return blocks_;
    }
    void forget() {
        std::lock_guard lock(writesMutex_);
        blocks_.clear();
    }

private:
    mutable std::mutex writesMutex_;
    std::vector<QByteArray> blocks_;
};

// Answers every message box that opens and keeps what it said.
class MessageAnswers {
public:
    struct Seen {
        QString text, title;
        QMessageBox::Icon icon;
    };
    MessageAnswers() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen.push_back({box->text(), box->windowTitle(), box->icon()});
                box->done(QMessageBox::Ok);
            }
        });
        timer_.start();
    }
    std::vector<Seen> seen;

private:
    QTimer timer_;
};

// Lets a test hold the loading thread at a second until it opens the gate.
class Gate {
public:
    void hold(uint32_t second, uint32_t at) {
        if (second != at)
            return;
        std::unique_lock lock(mutex_);
        held_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
    }
    bool waitHeld() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [this] { return held_; });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool open_ = false;
};

// Pane 304 x 229: the waveform is 300 wide, so a 30-second recording has 10 columns per second.
constexpr int kPaneWidth = 304;
constexpr int kPaneHeight = 229;
constexpr qsizetype kMuLawSecond = 8000;

class PlayerPaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        output = std::make_shared<RecordingOutput>();
        engine = std::make_shared<PlaybackEngine>(output);
        ASSERT_TRUE(engine->open(OutputImaAdpcm));
        page = std::make_unique<RecordListPage>(PageOutgoingType, state);
        player = std::make_unique<PlayerPane>(engine);
        holdTimers(*player);
        player->resize(kPaneWidth, kPaneHeight);
        player->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        player.reset();
        page.reset();
    }

    static constexpr int PageOutgoingType = 2;

    // The tests run the clock themselves: the timers still start and stop, but never fire.
    static void holdTimers(PlayerPane& pane) {
        for (const char* name : {"timer10", "timer11"})
            pane.findChild<QTimer*>(QString::fromLatin1(name))->setInterval(24 * 3600 * 1000);
    }
    QTimer* timer(const char* name) const { return player->findChild<QTimer*>(QString::fromLatin1(name)); }
    QPushButton* button(int control) const {
        return player->findChild<QPushButton*>(QStringLiteral("ctl%1").arg(control));
    }
    void click(int control) { button(control)->click(); }

    QString writeRecording(const QString& name, uint32_t formatCode, int seconds,
                           std::optional<BookmarkSpan> bookmark = {}, uint32_t seed = 7) {
        const auto samples = synthesizeSpeech({seed, size_t(seconds) * kSpeechSampleRate, 2});
        const QString path = recordings.file(name);
        QString error;
        bool written = false;
        if (isContainerPath(name)) {
            ContainerContent content;
            content.formatCode = formatCode;
            content.bookmark = bookmark;
            written = writeContainerRecording(path, samples, content, &error);
        } else {
            written = writePlainWavRecording(path, samples, &error);
        }
        EXPECT_TRUE(written) << error.toStdString();
        return path;
    }
    int addRow(const QString& path) {
        CallRecord& r = records.emplace_back();
        r.callType = CallOutgoing;
        r.fullPath.setText(path);
        page->model()->appendRow(&r);
        return page->rowCount() - 1;
    }
    void selectRow(int row) {
        page->table()->clearSelection();
        page->table()->selectRow(row);
    }

    static bool waitUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            QApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    // Loading has ended and the play command it posted has run.
    bool waitPlaying() {
        return waitUntil(
            [this] { return !player->isLoading() && player->playState() == PlayerPane::Playing; });
    }
    void tickUntilStopped() {
        for (int i = 0; i < 100 && player->playState() == PlayerPane::Playing; ++i)
            player->timer10Tick();
    }

    // The bytes a mu-law container hands the engine for a second are its coded bytes as they stand.
    static QByteArray muLawSecond(const QString& path, int second) {
        return TempDir::read(path).mid(
            qsizetype(ContainerHeader::kStandardDataOffset) + second * kMuLawSecond, kMuLawSecond);
    }
    static std::vector<QByteArray> muLawSeconds(const QString& path, int first, int last) {
        std::vector<QByteArray> seconds;
        for (int s = first; s <= last; ++s)
            seconds.push_back(muLawSecond(path, s));
        return seconds;
    }
    // Second 0 of an IMA ADPCM recording as 16-bit PCM, decoded here from the file's blocks.
    static QByteArray imaSecondZero(const QString& path, qsizetype dataOffset) {
        const QByteArray audio = TempDir::read(path).mid(dataOffset);
        const auto samples =
            decodeImaAdpcm(reinterpret_cast<const uint8_t*>(audio.constData()), size_t(audio.size()));
        return QByteArray(reinterpret_cast<const char*>(samples.data()), 16000);
    }

    uint32_t rowColour(int row) const { return page->model()->cellBackground(row, 0); }
    void mouseOnWave(QEvent::Type type, int x, Qt::MouseButtons held) {
        WaveformView* view = player->waveform();
        const QPointF at(x, 50);
        QMouseEvent event(type, at, view->mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(view, &event);
    }

    test::ScratchConfig config{test::ScratchConfig::ShippedStringTable};
    TempDir recordings;
    platform::ScopedFileRoots roots{recordings.path(), {}}; // the recordings' folder stands for the card
    AppState state;
    std::deque<CallRecord> records;
    std::shared_ptr<RecordingOutput> output;
    std::shared_ptr<PlaybackEngine> engine;
    std::unique_ptr<RecordListPage> page;
    std::unique_ptr<PlayerPane> player;
};

TEST_F(PlayerPaneTest, LoadingEndsAndPlaysTheWholeRecordingFromSecondZero) {
    const QString path = writeRecording(QStringLiteral("call.xtr"), FormatMuLaw, 6);
    addRow(path);
    addRow(path);
    player->attach(page->model(), firstSelected(*page));
    EXPECT_EQ(player->currentRow(), 0);
    EXPECT_EQ(rowColour(0), RecordListModel::kPlayingRowColour);
    EXPECT_EQ(rowColour(1), RecordListModel::kWindowColour);
    ASSERT_TRUE(waitPlaying());

    // The engine was reopened in the recording's own mode.
    EXPECT_EQ(engine->mode(), OutputMuLaw);
    EXPECT_EQ(output->format().formatTag, platform::WaveTagMuLaw);
    EXPECT_EQ(player->waveform()->totalLength(), 6);
    EXPECT_EQ(player->playMode(), PlayerPane::ModeWhole);
    EXPECT_EQ(player->nextSecond(), 1u);
    EXPECT_TRUE(timer("timer10")->isActive());
    EXPECT_EQ(output->blocks(), muLawSeconds(path, 0, 0));
    EXPECT_EQ(button(PlayerPane::ControlPlay)->text(), text(191));
    EXPECT_EQ(button(PlayerPane::ControlPlaySelection)->text(), text(162));
    EXPECT_EQ(button(PlayerPane::ControlPlayBookmark)->text(), text(190));

    tickUntilStopped();
    EXPECT_EQ(output->blocks(), muLawSeconds(path, 0, 5));
    EXPECT_EQ(player->playState(), PlayerPane::Stopped);
    EXPECT_EQ(player->nextSecond(), 6u);
    EXPECT_FALSE(timer("timer10")->isActive());
    EXPECT_EQ(button(PlayerPane::ControlPlay)->text(), text(189));
    // Nothing queued was thrown away at the end: the last second plays out.
    EXPECT_EQ(output->queuedBlocks(), 6u);
}

TEST_F(PlayerPaneTest, SelectionPlaysFromTheSecondAfterItsStartUpToItsEnd) {
    const QString path = writeRecording(QStringLiteral("call.xtr"), FormatMuLaw, 30);
    addRow(path);
    player->attach(page->model(), firstSelected(*page));
    ASSERT_TRUE(waitPlaying());

    // Without a selection the command does nothing.
    click(PlayerPane::ControlPlaySelection);
    EXPECT_EQ(player->playMode(), PlayerPane::ModeWhole);

    mouseOnWave(QEvent::MouseButtonPress, 101, Qt::LeftButton);
    mouseOnWave(QEvent::MouseMove, 201, Qt::LeftButton);
    mouseOnWave(QEvent::MouseButtonRelease, 201, Qt::NoButton);
    ASSERT_EQ(player->waveform()->selectionStartSecond(), 10);
    ASSERT_EQ(player->waveform()->selectionEndSecond(), 20);

    output->forget();
    click(PlayerPane::ControlPlaySelection);
    EXPECT_EQ(player->playMode(), PlayerPane::ModeSelection);
    EXPECT_EQ(player->playStartSecond(), 11u);
    EXPECT_EQ(button(PlayerPane::ControlPlaySelection)->text(), text(191));
    EXPECT_EQ(button(PlayerPane::ControlPlay)->text(), text(189));
    tickUntilStopped();
    EXPECT_EQ(output->blocks(), muLawSeconds(path, 11, 19));
    EXPECT_EQ(player->nextSecond(), 20u);
    EXPECT_EQ(player->playState(), PlayerPane::Stopped);
}

TEST_F(PlayerPaneTest, BookmarkSegmentPlaysFromItsStartAndDoubleClickPlaysFromThePointer) {
    const QString path = writeRecording(QStringLiteral("note.xtr"), FormatMuLaw, 30, BookmarkSpan{3, 7});
    addRow(path);
    player->attach(page->model(), firstSelected(*page));
    ASSERT_TRUE(waitPlaying());
    EXPECT_EQ(player->waveform()->bookmarkStartSecond(), 3);
    EXPECT_EQ(player->waveform()->bookmarkEndSecond(), 7);

    output->forget();
    click(PlayerPane::ControlPlayBookmark);
    EXPECT_EQ(player->playMode(), PlayerPane::ModeBookmark);
    EXPECT_EQ(button(PlayerPane::ControlPlayBookmark)->text(), text(191));
    tickUntilStopped();
    EXPECT_EQ(output->blocks(), muLawSeconds(path, 3, 6));
    EXPECT_EQ(player->nextSecond(), 7u);

    // A double click at column 155 of 300 asks for second 15 of 30: whole-recording mode from there.
    output->forget();
    mouseOnWave(QEvent::MouseButtonDblClick, 155, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([this] { return player->playState() == PlayerPane::Playing; }));
    EXPECT_EQ(player->playMode(), PlayerPane::ModeWhole);
    EXPECT_EQ(output->blocks(), muLawSeconds(path, 15, 15));
    EXPECT_EQ(player->nextSecond(), 16u);
}

TEST_F(PlayerPaneTest, PlayWhilePlayingPausesAndPlayAgainResumesAfterTheLastQueuedSecond) {
    const QString path = writeRecording(QStringLiteral("call.xtr"), FormatMuLaw, 10);
    addRow(path);
    player->attach(page->model(), firstSelected(*page));
    ASSERT_TRUE(waitPlaying());
    player->timer10Tick();
    player->timer10Tick();
    ASSERT_EQ(output->blocks(), muLawSeconds(path, 0, 2));

    click(PlayerPane::ControlPlay);
    EXPECT_EQ(player->playState(), PlayerPane::Paused);
    EXPECT_FALSE(timer("timer10")->isActive());
    EXPECT_EQ(output->queuedBlocks(), 0u) << "pausing drops what is queued";
    EXPECT_EQ(button(PlayerPane::ControlPlay)->text(), text(189));
    player->timer10Tick(); // a tick already on its way changes nothing
    EXPECT_EQ(output->blocks().size(), 3u);

    click(PlayerPane::ControlPlay);
    EXPECT_EQ(player->playState(), PlayerPane::Playing);
    EXPECT_TRUE(timer("timer10")->isActive());
    EXPECT_EQ(output->blocks().back(), muLawSecond(path, 3));
    EXPECT_EQ(player->nextSecond(), 4u);
    EXPECT_EQ(button(PlayerPane::ControlPlay)->text(), text(191));
}

TEST_F(PlayerPaneTest, StopThenPlayStartsImaAdpcmRecordingsAgainFromTheBeginning) {
    const QString container = writeRecording(QStringLiteral("ima.xtr"), FormatImaAdpcm, 8);
    const QString plain = writeRecording(QStringLiteral("ima.wav"), FormatImaAdpcm, 8, {}, 11);
    addRow(container);
    addRow(plain);
    const std::vector<std::pair<QString, qsizetype>> cases = {
        {container, qsizetype(ContainerHeader::kStandardDataOffset)}, {plain, 60}};
    for (const auto& [path, dataOffset] : cases) {
        SCOPED_TRACE(path.toStdString());
        selectRow(path == container ? 0 : 1);
        player->attach(page->model(), firstSelected(*page));
        ASSERT_TRUE(waitPlaying());
        EXPECT_EQ(output->format().formatTag, platform::WaveTagPcm);
        player->timer10Tick();
        player->timer10Tick();

        click(PlayerPane::ControlStop);
        EXPECT_EQ(player->playState(), PlayerPane::Stopped);
        EXPECT_FALSE(timer("timer10")->isActive());
        EXPECT_EQ(output->queuedBlocks(), 0u);
        output->forget();
        click(PlayerPane::ControlPlay);
        ASSERT_EQ(output->blocks().size(), 1u);
        EXPECT_EQ(output->blocks()[0], imaSecondZero(path, dataOffset));
        EXPECT_EQ(player->nextSecond(), 1u);
        click(PlayerPane::ControlStop);
    }
}

TEST_F(PlayerPaneTest, NextAndPreviousWrapAroundAndOnlyTheCurrentRowIsColoured) {
    std::vector<QString> paths;
    for (int i = 0; i < 3; ++i) {
        paths.push_back(
            writeRecording(QStringLiteral("call%1.xtr").arg(i), FormatMuLaw, 2, {}, uint32_t(i + 1)));
        addRow(paths.back());
    }
    const auto expectCurrent = [&](int row) {
        ASSERT_TRUE(waitPlaying());
        EXPECT_EQ(player->currentRow(), row);
        EXPECT_EQ(player->recordingPath(), paths[size_t(row)]);
        EXPECT_EQ(output->blocks().back(), muLawSecond(paths[size_t(row)], 0));
        for (int r = 0; r < 3; ++r)
            EXPECT_EQ(rowColour(r),
                      r == row ? RecordListModel::kPlayingRowColour : RecordListModel::kWindowColour)
                << "row " << r;
    };
    selectRow(2);
    player->attach(page->model(), firstSelected(*page));
    expectCurrent(2);
    click(PlayerPane::ControlNext);
    expectCurrent(0);
    click(PlayerPane::ControlPrevious);
    expectCurrent(2);
    click(PlayerPane::ControlPrevious);
    expectCurrent(1);
    selectRow(0);
    player->attach(page->model(), firstSelected(*page));
    expectCurrent(0);
}

TEST_F(PlayerPaneTest, SwitchingWhileLoadingWaitsAndLoadsAgainThroughTimer11) {
    const QString first = writeRecording(QStringLiteral("first.xtr"), FormatMuLaw, 6);
    const QString second = writeRecording(QStringLiteral("second.xtr"), FormatMuLaw, 3, {}, 9);
    addRow(first);
    addRow(second);
    Gate gate;
    player->setLoadingProbe([&gate](uint32_t n) { gate.hold(n, 2); });
    MessageAnswers answers;

    player->attach(page->model(), firstSelected(*page));
    ASSERT_TRUE(gate.waitHeld());
    ASSERT_TRUE(player->isLoading());
    // While loading: the row buttons and play are ignored, Escape and Enter go nowhere.
    click(PlayerPane::ControlNext);
    EXPECT_EQ(player->currentRow(), 0);
    click(PlayerPane::ControlPlay);
    EXPECT_TRUE(output->blocks().empty());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    escape.ignore();
    QApplication::sendEvent(player.get(), &escape);
    EXPECT_TRUE(escape.isAccepted());

    // The stalled thread does not stop within the wait, so the load of the new row is deferred.
    selectRow(1);
    player->attach(page->model(), firstSelected(*page));
    EXPECT_EQ(player->currentRow(), 1);
    EXPECT_EQ(player->recordingPath(), second);
    EXPECT_TRUE(timer("timer11")->isActive());
    EXPECT_EQ(rowColour(0), RecordListModel::kWindowColour);
    EXPECT_EQ(rowColour(1), RecordListModel::kPlayingRowColour);

    gate.open();
    ASSERT_TRUE(waitUntil([this] { return !player->isLoading(); }));
    QApplication::processEvents();
    EXPECT_TRUE(output->blocks().empty()) << "the stopped load must not start playing";
    EXPECT_TRUE(timer("timer11")->isActive());
    player->timer11Tick();
    EXPECT_FALSE(timer("timer11")->isActive());
    ASSERT_TRUE(waitPlaying());
    EXPECT_EQ(output->blocks(), muLawSeconds(second, 0, 0));
    EXPECT_EQ(player->waveform()->totalLength(), 3);
    EXPECT_TRUE(answers.seen.empty());

    QKeyEvent later(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    later.ignore();
    QApplication::sendEvent(player.get(), &later);
    EXPECT_FALSE(later.isAccepted()) << "once loaded, Escape goes on to the window";
}

TEST_F(PlayerPaneTest, ResizingReloadsTheRecordAndStartsAgainAtSecondZero) {
    const QString path = writeRecording(QStringLiteral("call.xtr"), FormatMuLaw, 6);
    addRow(path);
    player->attach(page->model(), firstSelected(*page));
    ASSERT_TRUE(waitPlaying());
    player->timer10Tick();
    player->timer10Tick();

    player->resize(404, 229);
    QApplication::processEvents();
    EXPECT_EQ(player->waveform()->geometry(), QRect(2, 2, 400, 200));
    EXPECT_EQ(button(PlayerPane::ControlPrevious)->geometry(), QRect(2, 203, 64, 25));
    EXPECT_EQ(button(PlayerPane::ControlPlay)->geometry(), QRect(69, 203, 64, 25));
    EXPECT_EQ(button(PlayerPane::ControlNext)->geometry(), QRect(337, 203, 64, 25));
    EXPECT_FALSE(timer("timer10")->isActive());
    EXPECT_TRUE(timer("timer11")->isActive());
    EXPECT_EQ(output->queuedBlocks(), 0u);

    // Until the reload, what is open is about to be replaced: play does nothing.
    output->forget();
    click(PlayerPane::ControlPlay);
    EXPECT_TRUE(output->blocks().empty());

    player->timer11Tick();
    ASSERT_TRUE(waitPlaying());
    EXPECT_EQ(output->blocks(), muLawSeconds(path, 0, 0));
    EXPECT_EQ(player->nextSecond(), 1u);
}

TEST_F(PlayerPaneTest, WithoutAnOutputPlayingShowsMessage169AndPlaysNothing) {
    output->refuseFormat(platform::WaveTagMuLaw);
    const QString path = writeRecording(QStringLiteral("call.xtr"), FormatMuLaw, 3);
    addRow(path);
    MessageAnswers answers;
    player->attach(page->model(), firstSelected(*page));
    ASSERT_TRUE(waitUntil([&] { return !player->isLoading() && !answers.seen.empty(); }));
    EXPECT_FALSE(engine->outputAvailable());
    ASSERT_EQ(answers.seen.size(), 1u);
    EXPECT_EQ(answers.seen[0].text, text(169));
    EXPECT_EQ(answers.seen[0].title, text(170));
    EXPECT_EQ(answers.seen[0].icon, QMessageBox::Warning);
    EXPECT_EQ(player->playState(), PlayerPane::Stopped);
    EXPECT_TRUE(output->blocks().empty());
    EXPECT_FALSE(timer("timer10")->isActive());
}

TEST_F(PlayerPaneTest, UnreadableRecordingLeavesTheViewClearedSilently) {
    const QString good = writeRecording(QStringLiteral("good.xtr"), FormatMuLaw, 3);
    addRow(good);
    addRow(recordings.file(QStringLiteral("missing.xtr")));
    recordings.write(QStringLiteral("short.xtr"), QByteArray(1500, '\0')); // shorter than a second
    addRow(recordings.file(QStringLiteral("short.xtr")));
    MessageAnswers answers;
    player->attach(page->model(), firstSelected(*page));
    ASSERT_TRUE(waitPlaying());

    for (int row : {1, 2}) {
        click(PlayerPane::ControlNext);
        QApplication::processEvents();
        EXPECT_EQ(player->currentRow(), row);
        EXPECT_FALSE(player->isLoading());
        EXPECT_EQ(player->waveform()->totalLength(), 0);
        EXPECT_EQ(player->playState(), PlayerPane::Stopped);
    }
    EXPECT_EQ(output->blocks().size(), 1u);
    click(PlayerPane::ControlNext);
    EXPECT_EQ(player->currentRow(), 0);
    ASSERT_TRUE(waitPlaying());
    EXPECT_TRUE(answers.seen.empty());
}

// The window's own engine (the silent output here), the double click on a row and the play command.
TEST_F(PlayerPaneTest, WindowPlayCommandAttachesThePageOnViewOrPageOne) {
    test::ScopedEnvironment environment("TESSA_AUDIO", "null");
    environment.set("TESSA_DEVICE_STATE", config.file(QStringLiteral("device.bin")).toUtf8());
    writeStringSetting(QStringLiteral("BackupPath"), recordings.path() + "/");
    test::ScopedVolumes volumes{{{'C', platform::DriveFixed, QStringLiteral("/")}}};
    const QString path = writeRecording(QStringLiteral("call.xtr"), FormatMuLaw, 3);
    MainWindow window(state);
    PlayerPane* pane = window.player();
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(window.view()->playerPane(), pane);
    EXPECT_EQ(pane->engine().mode(), OutputImaAdpcm);
    EXPECT_TRUE(window.recordCommands()->available(CmdPlay));

    CallRecord& r = records.emplace_back();
    r.callType = CallOutgoing;
    r.fullPath.setText(path);
    for (int type : {1, 2})
        window.view()->page(type)->model()->appendRows({&r, &r});
    window.view()->showPage(2);
    QTableView* table = window.view()->page(2)->table();
    table->selectRow(1);
    emit table->doubleClicked(table->model()->index(1, 3));
    EXPECT_EQ(pane->attachedList(), window.view()->page(2)->model());
    EXPECT_EQ(pane->currentRow(), 1);
    ASSERT_TRUE(waitUntil([&] { return !pane->isLoading() && pane->playState() == PlayerPane::Playing; }));
    EXPECT_EQ(pane->engine().mode(), OutputMuLaw);
    EXPECT_EQ(pane->recordingPath(), path);

    window.view()->showPage(0); // the web page: page 1 is taken
    window.onCommand(CmdWaveformPlayer);
    EXPECT_EQ(pane->attachedList(), window.view()->page(1)->model());
    EXPECT_EQ(pane->currentRow(), 0);
    ASSERT_TRUE(waitUntil([&] { return !pane->isLoading() && pane->playState() == PlayerPane::Playing; }));

    // Without an output the command only warns.
    pane->engine().reset();
    pane->engine().close();
    MessageAnswers answers;
    window.view()->showPage(2);
    window.onCommand(CmdPlay);
    ASSERT_EQ(answers.seen.size(), 1u);
    EXPECT_EQ(answers.seen[0].text, text(169));
    EXPECT_EQ(answers.seen[0].icon, QMessageBox::Warning);
    EXPECT_EQ(pane->attachedList(), window.view()->page(1)->model());
}

// Closing the window while the loading thread is stuck (here: held past its stop request) comes back;
// the thread finishes later on its own, drawing into a picture that outlives the waveform view.
TEST_F(PlayerPaneTest, GoingAwayWhileTheLoadingThreadIgnoresItsStopDoesNotWaitForIt) {
    addRow(writeRecording(QStringLiteral("call.xtr"), FormatMuLaw, 6));
    Gate gate;
    player->setLoadingProbe([&gate](uint32_t n) { gate.hold(n, 2); });
    const int before = platform::WorkerSlot::abandonedRunning();
    player->attach(page->model(), firstSelected(*page));
    ASSERT_TRUE(gate.waitHeld());
    player.reset();
    EXPECT_EQ(platform::WorkerSlot::abandonedRunning(), before + 1);
    gate.open();
    ASSERT_TRUE(waitUntil([&] { return platform::WorkerSlot::abandonedRunning() == before; }));
    QApplication::processEvents();
    EXPECT_TRUE(output->blocks().empty()) << "nothing played after the pane was gone";
}

// Rapid previous, next, re-attaching and resizing while records load, with every coding; run under
// ThreadSanitizer too. Whatever the order, the pane ends with the current row's recording playing.
TEST_F(PlayerPaneTest, RapidSwitchingWhileLoadingStaysConsistent) {
    addRow(writeRecording(QStringLiteral("mulaw.xtr"), FormatMuLaw, 20, BookmarkSpan{2, 5}));
    addRow(writeRecording(QStringLiteral("ima.xtr"), FormatImaAdpcm, 20, {}, 3));
    addRow(writeRecording(QStringLiteral("gsm.xtr"), FormatGsm, 20, {}, 4));
    addRow(writeRecording(QStringLiteral("plain.wav"), FormatImaAdpcm, 20, {}, 5));
    addRow(writeRecording(QStringLiteral("alaw.xtr"), FormatALaw, 20, {}, 6));
    MessageAnswers answers;
    std::mt19937 random(20180115);
    player->attach(page->model(), firstSelected(*page));
    for (int i = 0; i < 300; ++i) {
        switch (random() % 6) {
        case 0:
            click(PlayerPane::ControlNext);
            break;
        case 1:
            click(PlayerPane::ControlPrevious);
            break;
        case 2:
            selectRow(int(random() % 5));
            player->attach(page->model(), firstSelected(*page));
            break;
        case 3:
            player->resize(kPaneWidth + int(random() % 3) * 50, kPaneHeight);
            break;
        case 4:
            player->timer11Tick();
            break;
        default:
            click(PlayerPane::ControlPlay);
            player->timer10Tick();
            break;
        }
        QApplication::processEvents();
    }
    ASSERT_TRUE(waitUntil([this] {
        if (!player->isLoading() && timer("timer11")->isActive())
            player->timer11Tick();
        return !player->isLoading() && !timer("timer11")->isActive() &&
               player->playState() == PlayerPane::Playing;
    }));
    const int row = player->currentRow();
    EXPECT_EQ(player->recordingPath(), page->model()->record(row)->fullPath.text());
    for (int r = 0; r < page->rowCount(); ++r)
        EXPECT_EQ(rowColour(r) == RecordListModel::kPlayingRowColour, r == row) << "row " << r;
    EXPECT_TRUE(answers.seen.empty());

    // Going away in the middle of a load stops and joins the loading thread first.
    click(PlayerPane::ControlNext);
    player.reset();
}

} // namespace player_pane_test
