// Playback at another speed: a one-hour GSM recording played second by second as the player and the
// wave output do it (read the second for playing, expand it to PCM, queue it, pull it out for the sink),
// at 1x, where the samples pass untouched, and at the stretching speeds. Reports CPU time per second of
// recording and per second heard; the extra cost of 2x is the stretcher's.
//
//   cmake --preset bench && cmake --build --preset bench --target bench_speed && build/bench/bin/bench_speed

#include "audio/CodecTable.h"
#include "audio/OpenRecording.h"
#include "audio/PcmExpander.h"
#include "audio/RecordingWriter.h"
#include "audio/SpeechSynth.h"
#include "format/LittleEndian.h"
#include "platform/FileRoots.h"
#include "platform/PcmFeed.h"

#include <benchmark/benchmark.h>
#include <ctime>
#include <QFile>
#include <QTemporaryDir>

using namespace tessa;

namespace {

constexpr uint32_t kSeconds = 3600;

struct Corpus {
    QTemporaryDir dir;
    QString gsm;
};

// A minute of speech coded once and repeated to an hour, in a container recording.
const Corpus& corpus() {
    static Corpus* c = [] {
        auto* c = new Corpus;
        SpeechOptions o;
        o.samples = 60 * 8000;
        o.seed = 23;
        o.voices = 2;
        const QByteArray minute = encodeContainerAudio(FormatGsm, synthesizeSpeech(o));
        QByteArray audio;
        audio.reserve(qsizetype(kSeconds) * 1650);
        while (audio.size() < qsizetype(kSeconds) * 1650)
            audio += minute.left(qsizetype(kSeconds) * 1650 - audio.size());
        QByteArray head(1440, '\0');
        writeLeU32(reinterpret_cast<uint8_t*>(head.data()) + 4, 1440);
        writeLeU32(reinterpret_cast<uint8_t*>(head.data()) + 8, FormatGsm);
        c->gsm = c->dir.filePath(QStringLiteral("hour-gsm.xtr"));
        QFile f(c->gsm);
        if (!f.open(QIODevice::WriteOnly) || f.write(head) != head.size() || f.write(audio) != audio.size())
            qFatal("cannot write %s", qPrintable(c->gsm));
        return c;
    }();
    return *c;
}

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void BM_PlayHourGsm(benchmark::State& state) {
    const int speed = int(state.range(0));
    platform::ScopedFileRoots roots(corpus().dir.path(), {});
    const auto format = waveFormatForMode(OutputPcm);
    double cpu = 0;
    uint64_t heard = 0;
    for (auto _ : state) {
        OpenRecording recording;
        if (recording.open(corpus().gsm) != OpenStatus::Opened || recording.duration() != kSeconds) {
            state.SkipWithError("cannot open the recording");
            return;
        }
        PcmExpander expander(*format);
        platform::PcmFeed feed;
        feed.setSpeed(speed);
        std::vector<platform::WaveBlock> blocks(kSeconds);
        std::vector<platform::WaveBlock*> used;
        std::vector<int16_t> sink(2000); // a quarter of a second, as the sound server's buffer
        heard = 0;
        const double start = cpuSeconds();
        for (uint32_t n = 0; n < kSeconds; ++n) {
            const std::span<const uint8_t> bytes = recording.readSecondForPlaying(n);
            std::vector<int16_t> pcm;
            expander.expand(bytes.data(), bytes.size(), pcm);
            feed.push(&blocks[n], std::move(pcm));
            while (feed.hasBlocks()) {
                const size_t got = feed.pull(sink.data(), sink.size(), used);
                benchmark::DoNotOptimize(sink.data());
                heard += got;
                if (got == 0)
                    break;
            }
            used.clear();
        }
        feed.letOutTail();
        heard += feed.pull(sink.data(), sink.size(), used);
        cpu = cpuSeconds() - start;
        if (feed.samplesUsed() != uint64_t(kSeconds) * 8000) {
            state.SkipWithError("not every recording sample was used");
            return;
        }
    }
    const double heardSeconds = double(heard) / 8000;
    state.counters["heard_s"] = heardSeconds;
    state.counters["cpu_us_per_recording_s"] = cpu * 1e6 / kSeconds;
    state.counters["cpu_us_per_heard_s"] = cpu * 1e6 / heardSeconds;
    state.counters["cpu_share_of_real_time_pct"] = cpu / heardSeconds * 100;
}

} // namespace

BENCHMARK(BM_PlayHourGsm)
    ->Arg(100)
    ->Arg(200)
    ->Arg(150)
    ->Arg(50)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

BENCHMARK_MAIN();
