#pragma once

// 16-bit linear PCM, little-endian: the samples as a WAV file or a PCM-only output takes them.

#include <cstddef>
#include <cstdint>
#include <QByteArray>
#include <span>

namespace tessa {

// Reads length / 2 samples; a trailing odd byte is half a sample and is dropped.
size_t decodePcm16(const uint8_t* data, size_t length, int16_t* samples);
QByteArray encodePcm16(std::span<const int16_t> samples);

} // namespace tessa
