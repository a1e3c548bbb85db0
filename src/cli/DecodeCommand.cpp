#include "cli/DecodeCommand.h"

#include "audio/CodecTable.h"
#include "audio/OpenRecording.h"
#include "audio/PcmExpander.h"
#include "audio/WavWriter.h"
#include "cli/UserPaths.h"

#include <vector>

namespace tessa::cli {

// The recording as the player makes it heard: loaded as the player loads it (pre-decode, then every
// second for the waveform), then every second read for playing and turned into PCM as the wave output
// does for the engine's mode.
int DecodeCommand::run(const Args& args, Io io) const {
    if (args.positional().size() != 2)
        return usageError(io, QStringLiteral("decode needs FILE and OUT.wav"));
    const QString path = args.positional().at(0);
    const QString outPath = args.positional().at(1);
    if (const int refused = checkReadableFile(io, path); refused != ExitOk)
        return refused;
    if (const int refused = checkOutputFile(io, path, outPath); refused != ExitOk)
        return refused;

    OpenRecording recording;
    const OpenStatus status = recording.open(userNativePath(path), platform::Area::User);
    if (status != OpenStatus::Opened)
        return inputError(
            io, QStringLiteral("cannot play %1: %2").arg(path, QLatin1String(openStatusText(status))));
    const std::atomic<bool> stop{false};
    if (!recording.loadAll(stop, {}))
        return inputError(io, QStringLiteral("cannot play %1: loading failed").arg(path));
    const auto format = waveFormatForMode(recording.outputMode());
    if (!format)
        return inputError(io, QStringLiteral("cannot play %1: no output format").arg(path));

    WavFileWriter out(Coding::Pcm16);
    if (!out.open(outPath))
        return inputError(io, QStringLiteral("cannot write %1").arg(outPath));
    PcmExpander expander(*format);
    std::vector<int16_t> pcm;
    for (uint32_t n = 0; n < recording.duration(); ++n) {
        const auto bytes = recording.readSecondForPlaying(n);
        pcm.clear();
        expander.expand(bytes.data(), bytes.size(), pcm);
        if (!out.append(pcm.data(), pcm.size() * sizeof(int16_t)))
            return inputError(io, QStringLiteral("cannot write %1").arg(outPath));
    }
    if (!out.finish(uint32_t(out.dataBytes() / sizeof(int16_t))))
        return inputError(io, QStringLiteral("cannot write %1").arg(outPath));
    return ExitOk;
}

} // namespace tessa::cli
