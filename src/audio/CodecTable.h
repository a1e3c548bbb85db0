#pragma once

// Everything the program knows about its audio codings, in one table: per coding its container format
// code, WAVE tag and WAV header values, the bytes a second that durations count, its blocks, the
// playback engine's output mode, and the functions that decode and encode it. Whoever needs a fact of a
// coding looks it up here instead of deciding by the code itself.

#include "audio/SampleDecoder.h"
#include "format/WavHeader.h"
#include "platform/WaveOutput.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <QByteArray>
#include <QString>
#include <span>

namespace tessa {

struct ContainerHeader;

constexpr uint32_t kSampleRate = 8000;
// A plain WAV recording's audio starts behind the IMA ADPCM header form, which is not read.
constexpr uint32_t kPlainWavDataOffset = uint32_t(ImaWavHeader::kSize);

enum class Coding : uint8_t {
    Pcm16,    // 16-bit linear PCM, what decoding gives
    ImaAdpcm, // 256-byte blocks of 505 samples
    Gsm,      // the recorder's bare 33-byte frames of 160 samples
    GsmWav49, // WAVE format 49: 65-byte blocks of two frames
    MuLaw,    // G.711, a byte a sample
    ALaw,     // G.711, a byte a sample
};

// Output modes of the playback engine: the wave format its output is opened with.
enum OutputMode : int {
    OutputImaAdpcm = 0,
    OutputMuLaw = 1,
    OutputALaw = 2,
    OutputPcm = 3,
    OutputGsm = 4,
};

struct Codec {
    Coding coding;
    const char* name;
    uint32_t formatCode; // in a container's header; 0 for a coding no container holds
    uint16_t waveTag;
    uint16_t bitsPerSample;      // as a WAVE format states it (0 for GSM)
    uint32_t waveBytesPerSecond; // as a WAV header of this coding states it
    // Two measures of a recording's length in whole seconds: the player's and the record list's
    // (audio bytes / durationBytesPerSecond, remainder dropped), and the one a call log's duration fields
    // hold (storedBytesPerSecond).
    uint32_t durationBytesPerSecond;
    uint32_t storedBytesPerSecond;
    // Bytes of one second as the player reads it: coded bytes, or for a coding decoded ahead the 16-bit
    // PCM it was decoded to.
    uint32_t readBytesPerSecond;
    uint16_t blockBytes;   // the smallest part that decodes on its own
    uint16_t blockSamples; // samples of one block
    // Decoded once, whole, before playing: its blocks do not fall on second boundaries.
    bool decodedAhead;
    // A trailing part of a block decodes as if zero-padded; otherwise (PCM) it is dropped.
    bool padsPartialBlock;
    int playbackMode; // the engine's output mode for a recording in this coding
    std::unique_ptr<SampleDecoder> (*makeDecoder)();
    // A whole signal, coded from a fresh state; the last block padded with silence.
    QByteArray (*encode)(std::span<const int16_t> samples);
    // The WAV header of `dataSize` declared bytes and `sampleCount` samples; null for a coding written
    // into no WAV file.
    QByteArray (*wavHeader)(const Codec& codec, uint32_t dataSize, uint32_t sampleCount);

    // Samples that `codedBytes` bytes decode to.
    size_t samplesFor(size_t codedBytes) const {
        return padsPartialBlock ? (codedBytes + blockBytes - 1) / blockBytes * blockSamples
                                : codedBytes / blockBytes * blockSamples;
    }
};

const Codec& codecOf(Coding coding);

// The coding a container's format code names, as the player reads it: 17, 49 and 6 (compared as whole
// 32-bit values) name their own; every other value is mu-law, code 7.
const Codec& codecOfFormatCode(uint32_t formatCode);
// The coding of exactly this format code, or null: for writers, which write only what they name.
const Codec* findFormatCode(uint32_t formatCode);

// Where a recording's audio starts and how it is coded. A container (the path contains ".xtr") says so
// in its header; a plain WAV recording is IMA ADPCM behind a 60-byte header that is not read.
struct RecordingLayout {
    bool container = false;
    uint32_t dataOffset = 0;
    const Codec* codec = nullptr;
};
RecordingLayout recordingLayout(const QString& path, const ContainerHeader& header);

// Whole seconds the player plays: audio bytes / the coding's duration measure. 0 when the file is
// shorter than its data offset.
uint32_t playerDuration(uint64_t fileSize, uint32_t dataOffset, const Codec& codec);

// The format of an engine output mode 0-4, or nullopt for any other mode.
std::optional<platform::WaveFormat> waveFormatForMode(int mode);
// The coding of an output mode's format, or null for a format that is none of them.
const Codec* codecOfOutputFormat(const platform::WaveFormat& format);
// Whether the engine plays a recording's coded bytes as they stand (its mode takes the coding itself)
// rather than decoded samples.
bool playsCodedBytes(const Codec& codec);

} // namespace tessa
