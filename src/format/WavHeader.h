#pragma once

// The RIFF WAVE headers the program writes, all mono at 8000 samples per second: the canonical 44-byte
// header of 16-bit PCM, and the forms with a fact chunk that the recorder's codings use. The WAV writer
// of the audio layer fills them in from its codec table; here are only their byte images.

#include "format/LittleEndian.h"

#include <cstddef>
#include <cstdint>

namespace tessa {

// WAVE format tags of the codings the program handles.
enum WaveFormatTag : uint16_t {
    WaveTagPcm = 1,
    WaveTagALaw = 6,
    WaveTagMuLaw = 7,
    WaveTagImaAdpcm = 17,
    WaveTagGsm = 49,
};

// 16-bit PCM, 44 bytes.
struct PcmWavHeader {
    char riff[4];   // "RIFF"
    LeU32 riffSize; // file size - 8
    char wave[4];   // "WAVE"
    char fmt[4];    // "fmt "
    LeU32 formatSize;
    LeU16 formatTag;
    LeU16 channels;
    LeU32 sampleRate;
    LeU32 bytesPerSecond;
    LeU16 blockAlign;
    LeU16 bitsPerSample;
    char data[4]; // "data"
    LeU32 dataSize;

    static constexpr size_t kSize = 44;
    static constexpr uint32_t kFormatSize = 16;
};
static_assert(sizeof(PcmWavHeader) == PcmWavHeader::kSize);
static_assert(offsetof(PcmWavHeader, riff) == 0);
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
static_assert(PcmWavHeader::kFormatSize == offsetof(PcmWavHeader, data) - offsetof(PcmWavHeader, formatTag));

// A block-coded form, 60 bytes: the format chunk carries the samples per block (IMA ADPCM: 256-byte
// blocks of 505 samples; GSM 6.10: 65-byte pairs of frames of 320 samples), then a fact chunk.
struct BlockCodedWavHeader {
    char riff[4];
    LeU32 riffSize; // declared data size + 52
    char wave[4];
    char fmt[4];
    LeU32 formatSize;
    LeU16 formatTag;
    LeU16 channels;
    LeU32 sampleRate;
    LeU32 bytesPerSecond;
    LeU16 blockAlign;
    LeU16 bitsPerSample;
    LeU16 extraSize; // 2: the samples per block follow
    LeU16 samplesPerBlock;
    char fact[4]; // "fact"
    LeU32 factSize;
    LeU32 sampleCount;
    char data[4];
    LeU32 dataSize;

    static constexpr size_t kSize = 60;
    static constexpr uint32_t kFormatSize = 20;
};
static_assert(sizeof(BlockCodedWavHeader) == BlockCodedWavHeader::kSize);
static_assert(offsetof(BlockCodedWavHeader, riff) == 0);
static_assert(offsetof(BlockCodedWavHeader, riffSize) == 4);
static_assert(offsetof(BlockCodedWavHeader, wave) == 8);
static_assert(offsetof(BlockCodedWavHeader, fmt) == 12);
static_assert(offsetof(BlockCodedWavHeader, formatSize) == 16);
static_assert(offsetof(BlockCodedWavHeader, formatTag) == 20);
static_assert(offsetof(BlockCodedWavHeader, channels) == 22);
static_assert(offsetof(BlockCodedWavHeader, sampleRate) == 24);
static_assert(offsetof(BlockCodedWavHeader, bytesPerSecond) == 28);
static_assert(offsetof(BlockCodedWavHeader, blockAlign) == 32);
static_assert(offsetof(BlockCodedWavHeader, bitsPerSample) == 34);
static_assert(offsetof(BlockCodedWavHeader, extraSize) == 36);
static_assert(offsetof(BlockCodedWavHeader, samplesPerBlock) == 38);
static_assert(offsetof(BlockCodedWavHeader, fact) == 40);
static_assert(offsetof(BlockCodedWavHeader, factSize) == 44);
static_assert(offsetof(BlockCodedWavHeader, sampleCount) == 48);
static_assert(offsetof(BlockCodedWavHeader, data) == 52);
static_assert(offsetof(BlockCodedWavHeader, dataSize) == 56);
static_assert(BlockCodedWavHeader::kFormatSize ==
              offsetof(BlockCodedWavHeader, fact) - offsetof(BlockCodedWavHeader, formatTag));

// A byte-coded form, 58 bytes, for one byte per sample (mu-law): an empty extra part, then a fact chunk.
struct ByteCodedWavHeader {
    char riff[4];
    LeU32 riffSize; // declared data size + 50
    char wave[4];
    char fmt[4];
    LeU32 formatSize;
    LeU16 formatTag;
    LeU16 channels;
    LeU32 sampleRate;
    LeU32 bytesPerSecond;
    LeU16 blockAlign;
    LeU16 bitsPerSample;
    LeU16 extraSize; // 0
    char fact[4];
    LeU32 factSize;
    LeU32 sampleCount;
    char data[4];
    LeU32 dataSize;

    static constexpr size_t kSize = 58;
    static constexpr uint32_t kFormatSize = 18;
};
static_assert(sizeof(ByteCodedWavHeader) == ByteCodedWavHeader::kSize);
static_assert(offsetof(ByteCodedWavHeader, riff) == 0);
static_assert(offsetof(ByteCodedWavHeader, riffSize) == 4);
static_assert(offsetof(ByteCodedWavHeader, wave) == 8);
static_assert(offsetof(ByteCodedWavHeader, fmt) == 12);
static_assert(offsetof(ByteCodedWavHeader, formatSize) == 16);
static_assert(offsetof(ByteCodedWavHeader, formatTag) == 20);
static_assert(offsetof(ByteCodedWavHeader, channels) == 22);
static_assert(offsetof(ByteCodedWavHeader, sampleRate) == 24);
static_assert(offsetof(ByteCodedWavHeader, bytesPerSecond) == 28);
static_assert(offsetof(ByteCodedWavHeader, blockAlign) == 32);
static_assert(offsetof(ByteCodedWavHeader, bitsPerSample) == 34);
static_assert(offsetof(ByteCodedWavHeader, extraSize) == 36);
static_assert(offsetof(ByteCodedWavHeader, fact) == 38);
static_assert(offsetof(ByteCodedWavHeader, factSize) == 42);
static_assert(offsetof(ByteCodedWavHeader, sampleCount) == 46);
static_assert(offsetof(ByteCodedWavHeader, data) == 50);
static_assert(offsetof(ByteCodedWavHeader, dataSize) == 54);
static_assert(ByteCodedWavHeader::kFormatSize ==
              offsetof(ByteCodedWavHeader, fact) - offsetof(ByteCodedWavHeader, formatTag));

// The forms by coding, for readers of the headers.
using ImaWavHeader = BlockCodedWavHeader;
using GsmWavHeader = BlockCodedWavHeader;
using MuLawWavHeader = ByteCodedWavHeader;

} // namespace tessa
