#pragma once

// G.711 companding: the 8-bit mu-law and A-law codes of telephone audio and 16-bit linear samples.

#include <array>
#include <cstddef>
#include <cstdint>
#include <QByteArray>
#include <span>

namespace tessa {

// Expansion tables of ITU-T G.711, indexed by the code byte.
extern const std::array<int16_t, 256> kMuLawToLinear;
extern const std::array<int16_t, 256> kALawToLinear;

inline int16_t expandMuLaw(uint8_t code) {
    return kMuLawToLinear[code];
}
inline int16_t expandALaw(uint8_t code) {
    return kALawToLinear[code];
}

uint8_t compressMuLaw(int16_t sample);
uint8_t compressALaw(int16_t sample);

// One sample per code byte; return the count.
size_t expandMuLaw(const uint8_t* codes, size_t count, int16_t* samples);
size_t expandALaw(const uint8_t* codes, size_t count, int16_t* samples);

// One code byte per sample.
QByteArray encodeMuLaw(std::span<const int16_t> samples);
QByteArray encodeALaw(std::span<const int16_t> samples);

} // namespace tessa
