#include "export/RecordingConversion.h"

#include "audio/CodecTable.h"
#include "audio/WavWriter.h"
#include "format/ContainerHeader.h"
#include "format/LittleEndian.h"
#include "platform/ConfinedFiles.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace tessa {
namespace {

using platform::Area;
using platform::FileError;

constexpr qint64 kAudioOffset = qint64(ContainerHeader::kStandardDataOffset);
// A container must hold more than one 32-byte frame's worth behind its text area.
constexpr qint64 kMinimumAudio = 32;
// GSM is read in chunks of 50 frames, one second.
constexpr qint64 kGsmChunk = 1650;
// Less than one second of GSM audio is not written.
constexpr size_t kMinimumGsmSamples = 8000;
// The decoded GSM buffer and every WAV size must stay within what a WAV header can state.
constexpr uint64_t kMaxBufferBytes = uint64_t(1) << 31;

// What the output is coded as for the container's coding; null for a coding with no WAV form here.
const Codec* outputCodecFor(const Codec* source) {
    if (!source || !source->formatCode)
        return nullptr;
    // Bare GSM frames have no WAV form of their own: they are written as WAVE format 49.
    const Codec& output = source->coding == Coding::Gsm ? codecOf(Coding::GsmWav49) : *source;
    return output.wavHeader ? &output : nullptr;
}

// The sizes the header declares for n bytes of copied audio: IMA ADPCM counts only whole 4096-byte
// chunks (16 blocks), mu-law every byte.
struct DeclaredSizes {
    uint32_t data;
    uint32_t samples;
};
DeclaredSizes declaredSizes(const Codec& codec, uint32_t n) {
    if (codec.coding == Coding::ImaAdpcm) {
        constexpr uint32_t chunkBlocks = 16;
        const uint32_t chunks = n / (chunkBlocks * codec.blockBytes);
        return {chunks * chunkBlocks * codec.blockBytes, chunks * chunkBlocks * codec.blockSamples};
    }
    return {n, uint32_t(codec.samplesFor(n))};
}

ConversionResult writeOutput(const QString& outputNative, const QByteArray& bytes) {
    return platform::writeWholeFile(outputNative, Area::User, bytes, platform::Replace::Existing) ==
                   FileError::None
               ? ConversionResult::Written
               : ConversionResult::OutputNotWritten;
}

// Decodes the frames chunk by chunk from a fresh decoder, then codes the samples again as format 49.
ConversionResult convertGsm(platform::ConfinedFile& source, qint64 n, const Codec& input, const Codec& output,
                            QByteArray* wav) {
    if (uint64_t(input.samplesFor(size_t(n))) * sizeof(int16_t) > kMaxBufferBytes)
        return ConversionResult::NoMemory;
    std::vector<int16_t> samples;
    samples.reserve(size_t(input.samplesFor(size_t(n))));
    const auto decoder = input.makeDecoder();
    QByteArray chunk(kGsmChunk, Qt::Uninitialized);
    std::vector<int16_t> decoded(input.samplesFor(size_t(kGsmChunk)));
    for (qint64 at = 0; at < n; at += kGsmChunk) {
        const size_t want = size_t(std::min(kGsmChunk, n - at));
        size_t got = 0;
        if (source.readAt(kAudioOffset + at, chunk.data(), want, &got) != FileError::None || got != want)
            return ConversionResult::SourceNotOpened;
        const size_t count =
            decoder->decode(reinterpret_cast<const uint8_t*>(chunk.constData()), got, decoded.data());
        samples.insert(samples.end(), decoded.begin(), decoded.begin() + qsizetype(count));
    }
    if (samples.size() < kMinimumGsmSamples)
        return ConversionResult::OutputNotWritten;
    const QByteArray coded = output.encode(samples);
    if (coded.isEmpty())
        return ConversionResult::OutputNotWritten;
    // A last block of fewer than 320 samples is padded and coded, so the header counts whole blocks.
    const uint32_t blocks = uint32_t(coded.size()) / output.blockBytes;
    *wav = wavHeader(output.coding, uint32_t(coded.size()), blocks * output.blockSamples) + coded;
    return ConversionResult::Written;
}

ConversionResult convertCopied(platform::ConfinedFile& source, qint64 n, const Codec& output,
                               QByteArray* wav) {
    const DeclaredSizes sizes = declaredSizes(output, uint32_t(n));
    const QByteArray header = wavHeader(output.coding, sizes.data, sizes.samples);
    wav->resize(header.size() + n);
    std::memcpy(wav->data(), header.constData(), size_t(header.size()));
    size_t got = 0;
    if (source.readAt(kAudioOffset, wav->data() + header.size(), size_t(n), &got) != FileError::None ||
        got != size_t(n))
        return ConversionResult::SourceNotOpened;
    return ConversionResult::Written;
}

} // namespace

int conversionReasonText(ConversionResult result) {
    switch (result) {
    case ConversionResult::SourceNotOpened:
        return 210;
    case ConversionResult::TooShort:
        return 211;
    case ConversionResult::NoMemory:
        return 212;
    case ConversionResult::OutputNotWritten:
        return 213;
    case ConversionResult::Written:
    case ConversionResult::OtherCoding:
        return 0;
    }
    return 0;
}

ConversionResult convertRecording(const QString& sourceNative, platform::Area sourceArea,
                                  const QString& outputNative) {
    // Read only: the conversion never changes the recording, and a write-protected card still converts.
    platform::ConfinedFile source;
    if (source.open(sourceNative, sourceArea, platform::ConfinedFile::Mode::Read) != FileError::None)
        return ConversionResult::SourceNotOpened;
    const qint64 size = source.size();
    if (size < 0)
        return ConversionResult::SourceNotOpened;
    if (size <= kAudioOffset + kMinimumAudio)
        return ConversionResult::TooShort;
    const qint64 n = size - kAudioOffset;
    if (uint64_t(n) + 60 > kMaxBufferBytes)
        return ConversionResult::NoMemory;

    uint8_t head[ContainerHeader::kSize] = {};
    size_t got = 0;
    if (source.readAt(0, head, sizeof head, &got) != FileError::None || got != sizeof head)
        return ConversionResult::SourceNotOpened;
    const Codec* input = findFormatCode(readLeU32(head + offsetof(ContainerHeader, formatCode)));
    const Codec* output = outputCodecFor(input);
    if (!output)
        return ConversionResult::OtherCoding;
    // Never write over the recording itself (a source named without ".xtr" converted into its own folder).
    if (platform::sameFile(sourceNative, sourceArea, outputNative, Area::User))
        return ConversionResult::OutputNotWritten;

    QByteArray wav;
    ConversionResult result;
    try {
        result = output->coding == Coding::GsmWav49 ? convertGsm(source, n, *input, *output, &wav)
                                                    : convertCopied(source, n, *output, &wav);
    } catch (const std::bad_alloc&) {
        result = ConversionResult::NoMemory;
    }
    source.close();
    // An earlier output of that name goes whatever happens, so that no stale file passes for this result.
    platform::removeFile(outputNative, Area::User);
    if (result != ConversionResult::Written)
        return result;
    return writeOutput(outputNative, wav);
}

QString wavOutputPath(const QString& sourcePath, const QString& folder) {
    const qsizetype cut =
        std::max(sourcePath.lastIndexOf(QLatin1Char('\\')), sourcePath.lastIndexOf(QLatin1Char('/')));
    QString name = sourcePath.mid(cut + 1);
    name.replace(QStringLiteral(".xtr"), QStringLiteral(".wav"));
    QString into = folder;
    if (!into.isEmpty() && !into.endsWith(QLatin1Char('/')) && !into.endsWith(QLatin1Char('\\')))
        into += QLatin1Char('/');
    return into + name;
}

} // namespace tessa
