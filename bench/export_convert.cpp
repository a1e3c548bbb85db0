// Conversion of a one-hour GSM container recording to a WAVE format 49 file, next to sox doing the same
// work on the same frames in the same run: sox reading the bare GSM frames and writing a GSM WAV file
// (decode and code again, as the conversion does), and sox only decoding them to 16-bit PCM. The
// recording is generated here (synthetic speech coded with libgsm) and removed afterwards.
//
//   cmake --preset bench && cmake --build build/bench --target export_convert
//   build/bench/bin/export_convert [--minutes N] [--rounds N]
//
// sox's times include starting the process (a few milliseconds). Next to the wall-clock time each line
// gives the processor time (this process for the conversion, the child for sox), which a loaded machine
// disturbs far less.

#include "audio/CodecTable.h"
#include "audio/SpeechSynth.h"
#include "export/RecordingConversion.h"
#include "format/LittleEndian.h"
#include "platform/ConfinedFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <sys/resource.h>
#include <vector>

using namespace tessa;

namespace {

double seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

bool run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Processor time of this process and of its waited-for children, in seconds.
double cpuSeconds() {
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage u{};
        getrusage(who, &u);
        total +=
            double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

struct Times {
    std::vector<double> all;
    std::vector<double> cpu;
    double best() const { return *std::min_element(all.begin(), all.end()); }
    double median() const {
        std::vector<double> s = all;
        std::sort(s.begin(), s.end());
        return s[s.size() / 2];
    }
};

template <class Step>
Times measure(int rounds, Step step) {
    Times t;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuSeconds();
        if (!step())
            return {};
        t.all.push_back(seconds(start));
        t.cpu.push_back(cpuSeconds() - cpuStart);
    }
    return t;
}

void print(const char* what, const Times& t, double audioSeconds) {
    if (t.all.empty()) {
        std::printf("%-44s failed\n", what);
        return;
    }
    std::printf("%-44s best %7.3f s  median %7.3f s  (%5.0fx real time)  processor best %7.3f s\n", what,
                t.best(), t.median(), audioSeconds / t.best(), *std::min_element(t.cpu.begin(), t.cpu.end()));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int minutes = 60, rounds = 5;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--minutes")
            minutes = args[i + 1].toInt();
        else if (args[i] == "--rounds")
            rounds = args[i + 1].toInt();
    }
    minutes = std::max(1, minutes);
    rounds = std::max(1, rounds);
    QTemporaryDir dir;
    const QString container = dir.filePath("20090512103000-I.xtr");
    const QString frames = dir.filePath("same.gsm");

    const size_t samples = size_t(minutes) * 60 * 8000;
    const QByteArray gsm = codecOf(Coding::Gsm).encode(synthesizeSpeech({7, samples, 2}));
    QByteArray file(1440, '\0');
    writeLeU32(reinterpret_cast<uint8_t*>(file.data()) + 8, 49);
    file += gsm;
    using platform::Area;
    if (platform::writeWholeFile(container, Area::User, file, platform::Replace::Existing) !=
            platform::FileError::None ||
        platform::writeWholeFile(frames, Area::User, gsm, platform::Replace::Existing) !=
            platform::FileError::None) {
        std::fprintf(stderr, "cannot write the recording under %s\n", qPrintable(dir.path()));
        return 1;
    }
    const double audio = double(samples) / 8000;
    std::printf("%d min of GSM 06.10 (%lld bytes of frames), %d rounds\n", minutes, (long long)gsm.size(),
                rounds);

    const QString ours = dir.filePath("ours.wav");
    print("conversion to WAVE format 49",
          measure(rounds,
                  [&] { return convertRecording(container, Area::User, ours) == ConversionResult::Written; }),
          audio);
    std::printf("    output %lld bytes\n", (long long)QFileInfo(ours).size());

    const QString sox = QStandardPaths::findExecutable("sox");
    if (sox.isEmpty()) {
        std::printf("sox not installed: no comparison\n");
        return 0;
    }
    const QString soxGsm = dir.filePath("sox-gsm.wav"), soxPcm = dir.filePath("sox-pcm.wav");
    print("sox: GSM frames to GSM WAV (same work)",
          measure(rounds,
                  [&] {
                      return run(sox, {frames, "-e", "gsm-full-rate", soxGsm});
                  }),
          audio);
    std::printf("    output %lld bytes\n", (long long)QFileInfo(soxGsm).size());
    print("sox: GSM frames decoded to 16-bit PCM WAV",
          measure(rounds,
                  [&] {
                      return run(sox, {frames, "-e", "signed-integer", "-b", "16", soxPcm});
                  }),
          audio);
    return 0;
}
