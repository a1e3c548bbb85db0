#include "audio/CodecTable.h"

#include "audio/G711.h"
#include "audio/GsmCodec.h"
#include "audio/ImaAdpcm.h"
#include "audio/LinearPcm.h"
#include "audio/WavWriter.h"
#include "format/ContainerHeader.h"
#include "format/WavHeader.h"

#include <algorithm>
#include <array>

namespace tessa {

// Named rather than anonymous: the library is built in unity batches, where anonymous namespaces of
// different files merge.
namespace codec_table_internal {

// IMA ADPCM runs at 4055.4 bytes a second (256 bytes per 505 samples); the player and the list count
// 4055, the call log's duration fields 4096. Its seconds are read from the PCM it was decoded to.
constexpr std::array<Codec, 6> kCodecs = {{
    {Coding::Pcm16, "16-bit PCM", 0, WaveTagPcm, 16, 16000, 16000, 16000, 16000, 2, 1, false, false,
     OutputPcm, makeStatelessDecoder<decodePcm16>, encodePcm16, wavHeaderOf<PcmWavHeader>},
    {Coding::ImaAdpcm, "IMA ADPCM", FormatImaAdpcm, WaveTagImaAdpcm, 4, 4055, 4055, 4096, 16000,
     uint16_t(kImaBlockBytes), uint16_t(kImaBlockSamples), true, true, OutputPcm,
     makeStatelessDecoder<decodeImaBlocks>, encodeImaAdpcm, wavHeaderOf<ImaWavHeader>},
    {Coding::Gsm, "GSM 06.10", FormatGsm, WaveTagGsm, 0, 1650, 1650, 1650, 1650, uint16_t(kGsmFrameBytes),
     uint16_t(kGsmFrameSamples), false, true, OutputPcm, makeGsmFrameDecoder, encodeGsmFrames, nullptr},
    {Coding::GsmWav49, "GSM 6.10 (WAVE 49)", 0, WaveTagGsm, 0, 1625, 1625, 1625, 1625,
     uint16_t(kGsmWav49BlockBytes), uint16_t(kGsmWav49BlockSamples), false, true, OutputGsm,
     makeGsmWav49Decoder, encodeGsmWav49, wavHeaderOf<GsmWavHeader>},
    {Coding::MuLaw, "mu-law", FormatMuLaw, WaveTagMuLaw, 8, 8000, 8000, 8000, 8000, 1, 1, false, true,
     OutputMuLaw, makeStatelessDecoder<expandMuLaw>, encodeMuLaw, wavHeaderOf<MuLawWavHeader>},
    {Coding::ALaw, "A-law", FormatALaw, WaveTagALaw, 8, 8000, 8000, 8000, 8000, 1, 1, false, true, OutputALaw,
     makeStatelessDecoder<expandALaw>, encodeALaw, nullptr},
}};

// The engine's five output modes, in mode order. Mode 0 states 4000 bytes a second, not the 4055 of the
// IMA ADPCM header form.
struct OutputModeFormat {
    Coding coding;
    uint32_t averageBytesPerSecond;
};
constexpr std::array<OutputModeFormat, 5> kOutputModes = {{
    {Coding::ImaAdpcm, 4000},
    {Coding::MuLaw, 8000},
    {Coding::ALaw, 8000},
    {Coding::Pcm16, 16000},
    {Coding::GsmWav49, 1625},
}};

constexpr bool tableIsInCodingOrder() {
    for (size_t i = 0; i < kCodecs.size(); ++i)
        if (size_t(kCodecs[i].coding) != i)
            return false;
    return true;
}
static_assert(tableIsInCodingOrder(), "codecOf() indexes the table by coding");

} // namespace codec_table_internal

const Codec& codecOf(Coding coding) {
    return codec_table_internal::kCodecs[size_t(coding)];
}

const Codec* findFormatCode(uint32_t formatCode) {
    using codec_table_internal::kCodecs;
    if (formatCode == 0)
        return nullptr;
    const auto it = std::find_if(kCodecs.begin(), kCodecs.end(),
                                 [&](const Codec& c) { return c.formatCode == formatCode; });
    return it == kCodecs.end() ? nullptr : &*it;
}

const Codec& codecOfFormatCode(uint32_t formatCode) {
    const Codec* codec = findFormatCode(formatCode);
    return codec ? *codec : codecOf(Coding::MuLaw);
}

RecordingLayout recordingLayout(const QString& path, const ContainerHeader& header) {
    if (!isContainerPath(path))
        return {false, kPlainWavDataOffset, &codecOf(Coding::ImaAdpcm)};
    return {true, header.dataOffset, &codecOfFormatCode(header.formatCode)};
}

uint32_t playerDuration(uint64_t fileSize, uint32_t dataOffset, const Codec& codec) {
    if (fileSize < dataOffset)
        return 0;
    return uint32_t(std::min<uint64_t>((fileSize - dataOffset) / codec.durationBytesPerSecond, UINT32_MAX));
}

std::optional<platform::WaveFormat> waveFormatForMode(int mode) {
    using codec_table_internal::kOutputModes;
    if (mode < 0 || size_t(mode) >= kOutputModes.size())
        return std::nullopt;
    const Codec& c = codecOf(kOutputModes[size_t(mode)].coding);
    // Only the block-coded formats state their samples per block.
    const bool blocks = c.blockSamples > 1;
    return platform::WaveFormat{c.waveTag,
                                1,
                                kSampleRate,
                                kOutputModes[size_t(mode)].averageBytesPerSecond,
                                c.blockBytes,
                                c.bitsPerSample,
                                uint16_t(blocks ? 2 : 0),
                                uint16_t(blocks ? c.blockSamples : 0)};
}

const Codec* codecOfOutputFormat(const platform::WaveFormat& format) {
    using codec_table_internal::kOutputModes;
    for (size_t m = 0; m < kOutputModes.size(); ++m)
        if (waveFormatForMode(int(m)) == format)
            return &codecOf(kOutputModes[m].coding);
    return nullptr;
}

bool playsCodedBytes(const Codec& codec) {
    const auto mode = waveFormatForMode(codec.playbackMode);
    return mode && codecOfOutputFormat(*mode) == &codec;
}

} // namespace tessa
