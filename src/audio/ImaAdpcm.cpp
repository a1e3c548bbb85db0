#include "audio/ImaAdpcm.h"

#include <algorithm>
#include <cstring>

namespace tessa {

// Named rather than anonymous: the library is built in unity batches, where anonymous namespaces of
// different files merge.
namespace ima_internal {

constexpr int kIndexAdjust[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

constexpr int kStepSize[89] = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr int kMaxIndex = 88;

struct ImaState {
    int predictor;
    int index;
};

// One code applied to the state, shared by decoder and encoder so that the encoder tracks exactly what
// the decoder will reconstruct.
inline int applyCode(ImaState& s, unsigned code) {
    const int step = kStepSize[s.index];
    s.index = std::clamp(s.index + kIndexAdjust[code], 0, kMaxIndex);
    int diff = step >> 3;
    if (code & 4)
        diff += step;
    if (code & 2)
        diff += step >> 1;
    if (code & 1)
        diff += step >> 2;
    s.predictor = std::clamp((code & 8) ? s.predictor - diff : s.predictor + diff, -32768, 32767);
    return s.predictor;
}

inline unsigned quantise(const ImaState& s, int sample) {
    int diff = sample - s.predictor;
    unsigned code = 0;
    if (diff < 0) {
        code = 8;
        diff = -diff;
    }
    int step = kStepSize[s.index];
    if (diff >= step) {
        code |= 4;
        diff -= step;
    }
    step >>= 1;
    if (diff >= step) {
        code |= 2;
        diff -= step;
    }
    step >>= 1;
    if (diff >= step)
        code |= 1;
    return code;
}

} // namespace ima_internal

void decodeImaBlock(const uint8_t* block, int16_t* samples) {
    using namespace ima_internal;
    ImaState s{int16_t(uint16_t(block[0] | block[1] << 8)), std::clamp(int(int8_t(block[2])), 0, kMaxIndex)};
    samples[0] = int16_t(s.predictor);
    const uint8_t* codes = block + 4;
    for (size_t i = 0; i < (kImaBlockBytes - 4); ++i) {
        samples[1 + 2 * i] = int16_t(applyCode(s, codes[i] & 0x0F));
        samples[2 + 2 * i] = int16_t(applyCode(s, codes[i] >> 4));
    }
}

size_t decodeImaBlocks(const uint8_t* data, size_t size, int16_t* samples) {
    size_t written = 0;
    size_t pos = 0;
    for (; pos + kImaBlockBytes <= size; pos += kImaBlockBytes, written += kImaBlockSamples)
        decodeImaBlock(data + pos, samples + written);
    if (pos < size) {
        uint8_t last[kImaBlockBytes] = {};
        std::memcpy(last, data + pos, size - pos);
        decodeImaBlock(last, samples + written);
        written += kImaBlockSamples;
    }
    return written;
}

std::vector<int16_t> decodeImaAdpcm(const uint8_t* data, size_t size) {
    std::vector<int16_t> samples(imaSamplesFor(size));
    decodeImaBlocks(data, size, samples.data());
    return samples;
}

void ImaAdpcmEncoder::encodeBlock(const int16_t* samples, uint8_t* block) {
    using namespace ima_internal;
    ImaState s{samples[0], stepIndex_};
    block[0] = uint8_t(uint16_t(samples[0]));
    block[1] = uint8_t(uint16_t(samples[0]) >> 8);
    block[2] = uint8_t(stepIndex_);
    block[3] = 0;
    for (size_t i = 0; i < (kImaBlockBytes - 4); ++i) {
        const unsigned low = quantise(s, samples[1 + 2 * i]);
        applyCode(s, low);
        const unsigned high = quantise(s, samples[2 + 2 * i]);
        applyCode(s, high);
        block[4 + i] = uint8_t(low | high << 4);
    }
    stepIndex_ = s.index;
}

QByteArray encodeImaAdpcm(std::span<const int16_t> samples) {
    const size_t blocks = imaBlocksFor(samples.size());
    QByteArray out(qsizetype(blocks * kImaBlockBytes), '\0');
    auto* dst = reinterpret_cast<uint8_t*>(out.data());
    ImaAdpcmEncoder encoder;
    int16_t padded[kImaBlockSamples];
    for (size_t b = 0; b < blocks; ++b) {
        const size_t first = b * kImaBlockSamples;
        const size_t count = std::min(kImaBlockSamples, samples.size() - first);
        const int16_t* src = samples.data() + first;
        if (count < kImaBlockSamples) {
            std::fill(std::copy_n(src, count, padded), padded + kImaBlockSamples, int16_t(0));
            src = padded;
        }
        encoder.encodeBlock(src, dst + b * kImaBlockBytes);
    }
    return out;
}

} // namespace tessa
