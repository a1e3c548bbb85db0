// A whole recording file, container or plain WAV, through opening, the loading thread's work and every
// read the player makes: header, text area, durations and all four decoders.
#include "audio/OpenRecording.h"

#include <cstdlib>
#include <QFile>
#include <QTemporaryDir>

using namespace tessa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    static OpenRecording recording; // one per player, reopened for every file
    if (size < 1)
        return 0;
    const QString path = dir.filePath((data[0] & 1) ? QStringLiteral("a.xtr") : QStringLiteral("a.wav"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data + 1), qint64(size - 1));
    }
    const RecordingFacts facts = inspectRecording(path, tessa::platform::Area::User);
    const OpenStatus status = recording.open(path, tessa::platform::Area::User);
    if (status != facts.status && status != OpenStatus::NoDecodedFile)
        __builtin_trap();
    if (status != OpenStatus::Opened) {
        if (recording.duration() != 0 || !recording.readSecondSamples(0).empty())
            __builtin_trap();
        return 0;
    }
    const uint32_t duration = recording.duration();
    if (duration == 0 || duration != facts.duration ||
        duration != playerDuration(recording.fileSize(), recording.dataOffset(), recording.codec()))
        __builtin_trap();

    std::atomic<bool> stop{false};
    uint32_t seconds = 0;
    const bool loaded =
        recording.loadAll(stop, [&](std::span<const int16_t> samples, uint32_t n, uint32_t d) {
            if (n != seconds++ || d != duration || samples.size() > OpenRecording::kSampleBufferSamples)
                __builtin_trap();
            // Seconds before the duration are always whole.
            if (recording.formatCode() != 17 && samples.size() != 8000)
                __builtin_trap();
        });
    if (!loaded || seconds != duration)
        __builtin_trap();
    for (const uint32_t n : {0u, duration - 1, duration}) {
        const auto bytes = recording.readSecondForPlaying(n);
        // IMA ADPCM runs at 4055.4 bytes a second while durations count 4055, so the last second of a
        // long recording may come out short; every other coding gives whole seconds.
        const size_t expected = n >= duration ? 0 : recording.outputMode() == 3 ? 16000 : 8000;
        if (recording.formatCode() == 17 ? bytes.size() > expected || bytes.size() % 2
                                         : bytes.size() != expected)
            __builtin_trap();
    }
    return 0;
}
