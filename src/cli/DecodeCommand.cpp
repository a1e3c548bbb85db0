#include "cli/DecodeCommand.h"

#include "audio/OpenRecording.h"
#include "audio/PcmExpander.h"
#include "format/LittleEndian.h"
#include "platform/WaveOutput.h"

#include <cstring>
#include <QFile>
#include <vector>

namespace tessa::cli {

// Named rather than anonymous: the library is built in unity batches, where anonymous namespaces of
// different files merge.
namespace decode_internal {

// The canonical header of a 16-bit PCM WAV file, mono at 8000 Hz.
struct PcmWavHeader {
    char riff[4];
    LeU32 riffSize; // file size - 8
    char wave[4];
    char fmt[4];
    LeU32 formatSize;
    LeU16 formatTag;
    LeU16 channels;
    LeU32 sampleRate;
    LeU32 bytesPerSecond;
    LeU16 blockAlign;
    LeU16 bitsPerSample;
    char data[4];
    LeU32 dataSize;

    static constexpr size_t kSize = 44;
    static PcmWavHeader make(uint32_t dataBytes) {
        PcmWavHeader h{};
        std::memcpy(h.riff, "RIFF", 4);
        h.riffSize = uint32_t(kSize - 8 + dataBytes);
        std::memcpy(h.wave, "WAVE", 4);
        std::memcpy(h.fmt, "fmt ", 4);
        h.formatSize = 16;
        h.formatTag = 1;
        h.channels = 1;
        h.sampleRate = 8000;
        h.bytesPerSecond = 16000;
        h.blockAlign = 2;
        h.bitsPerSample = 16;
        std::memcpy(h.data, "data", 4);
        h.dataSize = dataBytes;
        return h;
    }
};
static_assert(sizeof(PcmWavHeader) == PcmWavHeader::kSize);
static_assert(offsetof(PcmWavHeader, riffSize) == 4);
static_assert(offsetof(PcmWavHeader, wave) == 8);
static_assert(offsetof(PcmWavHeader, fmt) == 12);
static_assert(offsetof(PcmWavHeader, formatSize) == 16);
static_assert(offsetof(PcmWavHeader, formatTag) == 20);
static_assert(offsetof(PcmWavHeader, channels) == 22);
static_assert(offsetof(PcmWavHeader, sampleRate) == 24);
static_assert(offsetof(PcmWavHeader, bytesPerSecond) == 28);
static_assert(offsetof(PcmWavHeader, blockAlign) == 32);
static_assert(offsetof(PcmWavHeader, bitsPerSample) == 34);
static_assert(offsetof(PcmWavHeader, data) == 36);
static_assert(offsetof(PcmWavHeader, dataSize) == 40);

} // namespace decode_internal

// The recording as the player makes it heard: loaded as the player loads it (pre-decode, then every
// second for the waveform), then every second read for playing and turned into PCM as the wave output
// does for the engine's mode.
int DecodeCommand::run(const Args& args, Io io) const {
    using decode_internal::PcmWavHeader;
    if (args.positional().size() != 2)
        return usageError(io, QStringLiteral("decode needs FILE and OUT.wav"));
    const QString path = args.positional().at(0);
    const QString outPath = args.positional().at(1);

    OpenRecording recording;
    const OpenStatus status = recording.open(path);
    if (status != OpenStatus::Opened)
        return inputError(
            io, QStringLiteral("cannot play %1: %2").arg(path, QLatin1String(openStatusText(status))));
    const std::atomic<bool> stop{false};
    if (!recording.loadAll(stop, {}))
        return inputError(io, QStringLiteral("cannot play %1: loading failed").arg(path));
    const auto format = platform::waveFormatForMode(recording.outputMode());
    if (!format)
        return inputError(io, QStringLiteral("cannot play %1: no output format").arg(path));

    QFile out(outPath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return inputError(io, QStringLiteral("cannot write %1").arg(outPath));
    PcmWavHeader header = PcmWavHeader::make(0);
    out.write(reinterpret_cast<const char*>(&header), qint64(sizeof header));

    PcmExpander expander(*format);
    std::vector<int16_t> pcm;
    uint64_t dataBytes = 0;
    for (uint32_t n = 0; n < recording.duration(); ++n) {
        const auto bytes = recording.readSecondForPlaying(n);
        pcm.clear();
        expander.expand(bytes.data(), bytes.size(), pcm);
        const qint64 size = qint64(pcm.size() * sizeof(int16_t));
        if (out.write(reinterpret_cast<const char*>(pcm.data()), size) != size)
            return inputError(io, QStringLiteral("cannot write %1").arg(outPath));
        dataBytes += uint64_t(size);
    }
    header = PcmWavHeader::make(uint32_t(dataBytes));
    if (!out.seek(0) ||
        out.write(reinterpret_cast<const char*>(&header), qint64(sizeof header)) != qint64(sizeof header) ||
        !out.flush())
        return inputError(io, QStringLiteral("cannot write %1").arg(outPath));
    return ExitOk;
}

} // namespace tessa::cli
