// The real wave output against a PulseAudio server of its own with a null sink: no sound card is
// needed, and what the sink plays is read back from its monitor to prove the sound arrived.

#include "platform/audioout/QtWaveOutput.h"

#include "audio/G711.h"
#include "audio/PcmExpander.h"
#include "audio/PlaybackEngine.h"
#include "support/ScopedEnvironment.h"

#include <chrono>
#include <cmath>
#include <gsm.h>
#include <gtest/gtest.h>
#include <mutex>
#include <numbers>
#include <optional>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <signal.h>
#include <sys/types.h>
#include <thread>
#include <utility>
#include <vector>

// Helpers live in a named namespace: test files may be compiled in unity batches.
namespace qt_wave_output_test {

using namespace tessa;
using namespace std::chrono_literals;
using platform::WaveResult;

constexpr int kRate = 8000;

// Waits for a condition that depends on real playback, giving up only after `limit`.
template <typename Predicate>
bool within(std::chrono::milliseconds limit, Predicate done) {
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

std::vector<int16_t> sine(double hz, int samples) {
    std::vector<int16_t> out(size_t(samples), 0);
    for (int i = 0; i < samples; ++i)
        out[size_t(i)] = int16_t(std::lround(8000 * std::sin(2 * std::numbers::pi * hz * i / kRate)));
    return out;
}

std::vector<uint8_t> pcmBytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> out;
    for (const int16_t s : samples) {
        out.push_back(uint8_t(uint16_t(s) & 0xFF));
        out.push_back(uint8_t(uint16_t(s) >> 8));
    }
    return out;
}

std::vector<uint8_t> muLawBytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> out;
    for (const int16_t s : samples)
        out.push_back(compressMuLaw(s));
    return out;
}

// WAVE format 49: two frames in 65 bytes. The encoder carries the first frame's last half byte into the
// second, which is why the second is written from byte 32.
std::vector<uint8_t> gsmBytes(std::vector<int16_t> samples) {
    gsm_state* gsm = gsm_create();
    int one = 1;
    gsm_option(gsm, GSM_OPT_WAV49, &one);
    samples.resize((samples.size() + 319) / 320 * 320, 0);
    std::vector<uint8_t> out(samples.size() / 320 * 65, 0);
    for (size_t block = 0; block < samples.size() / 320; ++block) {
        gsm_encode(gsm, samples.data() + block * 320, out.data() + block * 65);
        gsm_encode(gsm, samples.data() + block * 320 + 160, out.data() + block * 65 + 32);
    }
    gsm_destroy(gsm);
    return out;
}

// Seconds of 16-bit audio at 8000 Hz in which a tone of `hz` is loud and carries most of the energy.
// A wrong rate, byte order or expansion moves or smears the tone and counts nothing.
double toneSeconds(const QByteArray& raw, double hz) {
    constexpr int kWindow = kRate / 20;
    const auto* samples = reinterpret_cast<const int16_t*>(raw.constData());
    const qsizetype count = raw.size() / 2;
    int windows = 0;
    for (qsizetype start = 0; start + kWindow <= count; start += kWindow) {
        // Goertzel: the window's component at `hz`.
        const double coeff = 2 * std::cos(2 * std::numbers::pi * hz / kRate);
        double s1 = 0, s2 = 0, energy = 0;
        for (int i = 0; i < kWindow; ++i) {
            const double x = samples[start + i];
            energy += x * x;
            const double s0 = x + coeff * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
        const double toneMeanSquare = 2 * power / (double(kWindow) * kWindow);
        const double meanSquare = energy / kWindow;
        if (meanSquare > 1000.0 * 1000.0 && toneMeanSquare > 0.5 * meanSquare)
            ++windows;
    }
    return windows / 20.0;
}

struct ProcessResult {
    bool ok = false;
    QString output;
};

ProcessResult run(const QString& program, const QStringList& args, int timeoutMs = 5000) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(timeoutMs))
        return {false, program + QStringLiteral(": ") + p.errorString()};
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {false, program + QStringLiteral(" did not finish")};
    }
    const QString output = QString::fromLocal8Bit(p.readAll()).trimmed();
    return {p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, output};
}

// Ended, or a zombie waiting for whoever adopted the daemon to reap it.
bool processGone(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close < 0 || close + 2 >= text.size() || text[close + 2] == 'Z' || text[close + 2] == 'X';
}

// A PulseAudio server of this process alone: its own runtime folder, cookie and null sink. Parallel
// test processes each start their own and never meet, and no user's configuration takes part. The
// client side (Qt Multimedia and the pulse tools) finds it through the environment, which is why it must
// be set before Qt Multimedia first connects.
class PrivateSoundServer {
public:
    // Empty once the server answers; otherwise why it could not be started.
    QString start() {
        if (!dir_.isValid())
            return QStringLiteral("no temporary folder");
        const QString root = dir_.path();
        QDir().mkpath(root + QStringLiteral("/home"));
        QDir().mkpath(root + QStringLiteral("/config"));
        setEnv("XDG_RUNTIME_DIR", root);
        setEnv("PULSE_RUNTIME_PATH", root + QStringLiteral("/pulse"));
        setEnv("PULSE_SERVER", QStringLiteral("unix:") + root + QStringLiteral("/pulse/native"));
        setEnv("HOME", root + QStringLiteral("/home"));
        setEnv("XDG_CONFIG_HOME", root + QStringLiteral("/config"));
        setEnv("PULSE_SINK", std::nullopt);
        setEnv("PULSE_COOKIE", std::nullopt);

        QProcess daemon;
        daemon.setProcessChannelMode(QProcess::MergedChannels);
        // A file rather than a pipe: the daemon outlives the starting process.
        daemon.setStandardOutputFile(root + QStringLiteral("/pulseaudio.log"));
        daemon.start(QStringLiteral("pulseaudio"),
                     {QStringLiteral("--daemonize=yes"), QStringLiteral("--exit-idle-time=-1"),
                      QStringLiteral("-n"), QStringLiteral("--load=module-null-sink sink_name=null"),
                      QStringLiteral("--load=module-native-protocol-unix")});
        if (!daemon.waitForStarted(5000))
            return QStringLiteral("pulseaudio: ") + daemon.errorString();
        const bool finished = daemon.waitForFinished(10000);
        if (!finished) {
            daemon.kill();
            daemon.waitForFinished();
        }
        readPid();
        QFile log(root + QStringLiteral("/pulseaudio.log"));
        const QString logText =
            log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()) : QString();
        if (!finished || daemon.exitStatus() != QProcess::NormalExit || daemon.exitCode() != 0)
            return QStringLiteral("pulseaudio failed to start: ") + logText;

        ProcessResult info;
        within(5s, [&] {
            info = run(QStringLiteral("pactl"), {QStringLiteral("info")});
            return info.ok;
        });
        if (!info.ok)
            return QStringLiteral("pulseaudio does not answer: ") + info.output + QLatin1Char('\n') + logText;
        if (!info.output.contains(QStringLiteral("Default Sink: null")))
            return QStringLiteral("the server has no null sink: ") + info.output;
        return {};
    }

    // Ends the daemon (asked first, then killed) and gives the process back its environment.
    void stop() {
        if (environment_.changed()) // the daemon was started
            run(QStringLiteral("pulseaudio"), {QStringLiteral("--kill")});
        if (pid_ > 0 && !within(3s, [&] { return processGone(pid_); })) {
            // Only our own daemon: a reused id would name another program.
            QFile comm(QStringLiteral("/proc/%1/comm").arg(pid_));
            if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "pulseaudio")
                ::kill(pid_, SIGKILL);
            EXPECT_TRUE(within(3s, [&] { return processGone(pid_); }))
                << "pulseaudio " << pid_ << " lives on";
        }
        environment_.restore();
    }

    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    void setEnv(const char* name, const std::optional<QString>& value) {
        if (value)
            environment_.set(name, value->toLocal8Bit());
        else
            environment_.unset(name);
    }

    void readPid() {
        QFile pidFile(dir_.filePath(QStringLiteral("pulse/pid")));
        if (pidFile.open(QIODevice::ReadOnly))
            pid_ = pid_t(pidFile.readAll().trimmed().toInt());
    }

    QTemporaryDir dir_;
    test::ScopedEnvironment environment_;
    pid_t pid_ = 0;
};

// Everything the null sink plays, read from its monitor as 16-bit mono at 8000 Hz.
class SinkRecorder {
public:
    explicit SinkRecorder(QString file) : file_(std::move(file)) {}
    ~SinkRecorder() {
        if (recorder_.state() != QProcess::NotRunning) {
            recorder_.terminate();
            if (!recorder_.waitForFinished(3000)) {
                recorder_.kill();
                recorder_.waitForFinished();
            }
        }
    }

    // True once the recorder is attached to the monitor, so that nothing played later is missed.
    bool start() {
        recorder_.setStandardOutputFile(file_);
        recorder_.start(QStringLiteral("parec"),
                        {QStringLiteral("--device=null.monitor"), QStringLiteral("--format=s16le"),
                         QStringLiteral("--rate=8000"), QStringLiteral("--channels=1"),
                         QStringLiteral("--raw"), QStringLiteral("--latency-msec=50")});
        if (!recorder_.waitForStarted(5000))
            return false;
        // Named by process id: the recorder of an earlier test may not have left the server yet.
        const QString mine = QStringLiteral("application.process.id = \"%1\"").arg(recorder_.processId());
        return within(5s, [&] {
            const ProcessResult r =
                run(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("source-outputs")});
            return r.ok && r.output.contains(mine);
        });
    }

    double toneSeconds(double hz) const {
        QFile f(file_);
        return f.open(QIODevice::ReadOnly) ? qt_wave_output_test::toneSeconds(f.readAll(), hz) : 0.0;
    }

private:
    QString file_;
    QProcess recorder_;
};

// The engine over the real output, as the program runs it.
struct Player {
    std::shared_ptr<platform::QtWaveOutput> output =
        std::make_shared<platform::QtWaveOutput>(pcmExpanderFactory());
    PlaybackEngine engine{output};

    void closeAsThePlayerDoes() {
        EXPECT_TRUE(engine.reset());
        engine.close();
        EXPECT_EQ(engine.lastResult(), WaveResult::Ok);
        EXPECT_FALSE(engine.isOpen());
        EXPECT_FALSE(engine.outputAvailable());
        EXPECT_FALSE(engine.callbackThreadRunning());
        EXPECT_EQ(engine.abandonedCallbackThreads(), 0);
        EXPECT_EQ(engine.pendingCount(), 0);
    }
};

} // namespace qt_wave_output_test

using namespace qt_wave_output_test;

class QtWaveOutputOnPrivateServer : public ::testing::Test {
protected:
    // One server for the whole suite, started before anything here touches Qt Multimedia.
    static void SetUpTestSuite() {
        server_ = new PrivateSoundServer;
        failure_ = server_->start();
    }
    static void TearDownTestSuite() {
        server_->stop();
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override {
        if (!failure_.isEmpty())
            GTEST_SKIP() << "no private sound server: " << failure_.toStdString();
        static int recordings = 0;
        recorder_.emplace(server_->file(QStringLiteral("sink-%1.raw").arg(++recordings)));
        ASSERT_TRUE(recorder_->start()) << "parec could not record the null sink";
    }

    static inline PrivateSoundServer* server_ = nullptr;
    static inline QString failure_;
    std::optional<SinkRecorder> recorder_;
};

TEST_F(QtWaveOutputOnPrivateServer, PlaysPcmSecondsAndHandsEachBlockBack) {
    Player player;
    ASSERT_TRUE(player.engine.open(OutputPcm)) << int(player.engine.lastResult());
    EXPECT_TRUE(player.engine.outputAvailable());
    const auto tone = sine(500, 3 * kRate);
    for (int second = 0; second < 3; ++second) {
        const std::vector<int16_t> part(tone.begin() + second * kRate, tone.begin() + (second + 1) * kRate);
        const auto bytes = pcmBytes(part);
        ASSERT_TRUE(player.engine.write(bytes.data(), bytes.size())) << second;
    }
    EXPECT_TRUE(within(3s + 5s, [&] { return player.engine.pendingCount() == 0; }))
        << player.engine.pendingCount() << " blocks never came back";
    // The tail still plays after the last block was handed over.
    EXPECT_TRUE(within(3s, [&] { return recorder_->toneSeconds(500) >= 2.5; }))
        << recorder_->toneSeconds(500) << " s of the 500 Hz tone reached the sink";
    player.closeAsThePlayerDoes();
}

TEST_F(QtWaveOutputOnPrivateServer, ExpandsMuLawAndGsmBlocks) {
    struct Case {
        int mode;
        double hz;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {{OutputMuLaw, 700, muLawBytes(sine(700, kRate))},
                          {OutputGsm, 400, gsmBytes(sine(400, kRate))}};
    // One engine reopened in another mode, as the player does between recordings.
    Player player;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_TRUE(player.engine.open(c.mode)) << int(player.engine.lastResult());
        ASSERT_TRUE(player.engine.write(c.bytes.data(), c.bytes.size()));
        EXPECT_TRUE(within(1s + 5s, [&] { return player.engine.pendingCount() == 0; }));
        EXPECT_TRUE(within(3s, [&] { return recorder_->toneSeconds(c.hz) >= 0.75; }))
            << recorder_->toneSeconds(c.hz) << " s of the " << c.hz << " Hz tone reached the sink";
        player.closeAsThePlayerDoes();
    }
}

TEST_F(QtWaveOutputOnPrivateServer, ResetSilencesAndReturnsQueuedBlocksAtOnce) {
    Player player;
    ASSERT_TRUE(player.engine.open(OutputPcm));
    const auto first = pcmBytes(sine(400, kRate));
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(player.engine.write(first.data(), first.size()));
    // Playing for real before the reset.
    ASSERT_TRUE(within(1s + 5s, [&] { return player.engine.pendingCount() <= 4; }));
    EXPECT_TRUE(player.engine.reset());
    // Seconds of audio were still queued: only a reset that drops them gets there in time.
    EXPECT_TRUE(within(2s, [&] { return player.engine.pendingCount() == 0; }))
        << player.engine.pendingCount() << " blocks still out after the reset";

    // The output plays on after a reset, and what was dropped is never heard.
    const auto after = pcmBytes(sine(700, kRate));
    ASSERT_TRUE(player.engine.write(after.data(), after.size()));
    EXPECT_TRUE(within(1s + 5s, [&] { return player.engine.pendingCount() == 0; }));
    EXPECT_TRUE(within(3s, [&] { return recorder_->toneSeconds(700) >= 0.75; }))
        << recorder_->toneSeconds(700) << " s of the 700 Hz tone reached the sink";
    EXPECT_LT(recorder_->toneSeconds(400), 2.0);
    player.closeAsThePlayerDoes();
}

TEST_F(QtWaveOutputOnPrivateServer, HandsBlocksBackInOrderAndClosesOnlyWhenEmpty) {
    platform::QtWaveOutput output(pcmExpanderFactory());
    const platform::WaveFormat pcm = *waveFormatForMode(OutputPcm);
    EXPECT_EQ(output.query(pcm), WaveResult::Ok);
    platform::WaveFormat stereo = pcm;
    stereo.channels = 2;
    EXPECT_EQ(output.query(stereo), WaveResult::BadFormat);

    std::mutex mutex;
    std::vector<platform::WaveBlock*> done;
    const auto doneCount = [&] {
        std::lock_guard lock(mutex);
        return done.size();
    };
    const platform::WaveBlockDone onDone = [&](platform::WaveBlock* block) {
        std::lock_guard lock(mutex);
        done.push_back(block);
    };
    const auto half = pcmBytes(sine(600, kRate / 2));
    platform::WaveBlock blocks[4];
    for (auto& b : blocks)
        b = {half.data(), uint32_t(half.size())};

    EXPECT_EQ(output.write(&blocks[0]), WaveResult::NotOpen);
    ASSERT_EQ(output.open(pcm, onDone), WaveResult::Ok);
    EXPECT_EQ(output.open(pcm, onDone), WaveResult::AlreadyOpen);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(output.write(&blocks[i]), WaveResult::Ok);
    // A second and a half is queued; the sink cannot have taken it all yet.
    EXPECT_EQ(output.close(), WaveResult::StillPlaying);
    EXPECT_TRUE(within(1500ms + 5s, [&] { return doneCount() == 3; })) << doneCount();
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(done, (std::vector<platform::WaveBlock*>{&blocks[0], &blocks[1], &blocks[2]}));
    }

    ASSERT_EQ(output.write(&blocks[3]), WaveResult::Ok);
    EXPECT_EQ(output.reset(), WaveResult::Ok);
    EXPECT_TRUE(within(2s, [&] { return doneCount() == 4; }));
    EXPECT_EQ(output.close(), WaveResult::Ok);
    EXPECT_EQ(output.close(), WaveResult::NotOpen);
    EXPECT_EQ(output.write(&blocks[3]), WaveResult::NotOpen);
    EXPECT_EQ(doneCount(), 4u);
}

TEST_F(QtWaveOutputOnPrivateServer, AtDoubleSpeedTwoSecondsPlayInOneAtTheSamePitch) {
    Player player;
    ASSERT_TRUE(player.engine.open(OutputPcm));
    player.engine.setSpeed(200);
    const auto tone = sine(500, 2 * kRate);
    for (int second = 0; second < 2; ++second) {
        const std::vector<int16_t> part(tone.begin() + second * kRate, tone.begin() + (second + 1) * kRate);
        const auto bytes = pcmBytes(part);
        ASSERT_TRUE(player.engine.write(bytes.data(), bytes.size()));
    }
    EXPECT_TRUE(within(2s + 5s, [&] { return player.engine.pendingCount() == 0; }));
    EXPECT_TRUE(within(3s, [&] { return recorder_->toneSeconds(500) >= 0.75; }))
        << recorder_->toneSeconds(500) << " s of the 500 Hz tone reached the sink";
    // Time for a second that should not be there; the tone does not move up an octave either.
    std::this_thread::sleep_for(1500ms);
    EXPECT_LT(recorder_->toneSeconds(500), 1.4);
    EXPECT_LT(recorder_->toneSeconds(1000), 0.2);
    player.closeAsThePlayerDoes();
    player.engine.setSpeed(100);
}
