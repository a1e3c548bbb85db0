#include "audio/G711.h"

#include <algorithm>

namespace tessa {

// Named rather than anonymous: the library is built in unity batches, where anonymous namespaces of
// different files merge.
namespace g711_internal {

constexpr int kMuLawBias = 0x84;
constexpr int kMuLawClip = 8159; // largest 14-bit magnitude

constexpr int16_t muLawToLinear(uint8_t code) {
    const int u = ~code & 0xFF;
    int t = ((u & 0x0F) << 3) + kMuLawBias;
    t <<= (u & 0x70) >> 4;
    return int16_t((u & 0x80) ? (kMuLawBias - t) : (t - kMuLawBias));
}

constexpr int16_t aLawToLinear(uint8_t code) {
    const int a = code ^ 0x55;
    int t = (a & 0x0F) << 4;
    const int segment = (a & 0x70) >> 4;
    if (segment == 0)
        t += 8;
    else
        t = (t + 0x108) << (segment - 1);
    return int16_t((a & 0x80) ? t : -t);
}

template <int16_t (*expand)(uint8_t)>
constexpr std::array<int16_t, 256> makeTable() {
    std::array<int16_t, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[size_t(i)] = expand(uint8_t(i));
    return table;
}

// Segment of a magnitude whose first segment ends at bit `low`: how far its top bit lies above that bit.
constexpr int segmentAbove(int value, int low) {
    int segment = 0;
    for (value >>= low; value > 1; value >>= 1)
        ++segment;
    return segment;
}

} // namespace g711_internal

constinit const std::array<int16_t, 256> kMuLawToLinear =
    g711_internal::makeTable<g711_internal::muLawToLinear>();
constinit const std::array<int16_t, 256> kALawToLinear =
    g711_internal::makeTable<g711_internal::aLawToLinear>();

uint8_t compressMuLaw(int16_t sample) {
    using namespace g711_internal;
    // The companding works on 14-bit values. Rounding to the nearest one, as other audio tools do, keeps
    // our files identical to theirs.
    int value = std::min((sample + 2) >> 2, 8191);
    uint8_t mask = 0xFF;
    if (value < 0) {
        value = -value;
        mask = 0x7F;
    }
    if (value > kMuLawClip)
        value = kMuLawClip;
    value += kMuLawBias >> 2;
    const int segment = segmentAbove(value, 5);
    if (segment >= 8)
        return uint8_t(0x7F ^ mask);
    return uint8_t((segment << 4 | ((value >> (segment + 1)) & 0x0F)) ^ mask);
}

uint8_t compressALaw(int16_t sample) {
    using g711_internal::segmentAbove;
    int value = std::min((sample + 4) >> 3, 4095); // 13-bit values, rounded as for mu-law
    uint8_t mask = 0xD5;
    if (value < 0) {
        value = -value - 1;
        mask = 0x55;
    }
    const int segment = value < 0x20 ? 0 : segmentAbove(value, 4);
    const int mantissa = segment < 2 ? (value >> 1) & 0x0F : (value >> segment) & 0x0F;
    return uint8_t((segment << 4 | mantissa) ^ mask);
}

size_t expandMuLaw(const uint8_t* codes, size_t count, int16_t* samples) {
    for (size_t i = 0; i < count; ++i)
        samples[i] = kMuLawToLinear[codes[i]];
    return count;
}

size_t expandALaw(const uint8_t* codes, size_t count, int16_t* samples) {
    for (size_t i = 0; i < count; ++i)
        samples[i] = kALawToLinear[codes[i]];
    return count;
}

QByteArray encodeMuLaw(std::span<const int16_t> samples) {
    QByteArray out(qsizetype(samples.size()), '\0');
    for (size_t i = 0; i < samples.size(); ++i)
        out[qsizetype(i)] = char(compressMuLaw(samples[i]));
    return out;
}

QByteArray encodeALaw(std::span<const int16_t> samples) {
    QByteArray out(qsizetype(samples.size()), '\0');
    for (size_t i = 0; i < samples.size(); ++i)
        out[qsizetype(i)] = char(compressALaw(samples[i]));
    return out;
}

} // namespace tessa
