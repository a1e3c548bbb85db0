#pragma once

// IMA ADPCM as the recorder stores it: mono blocks of 256 bytes, each holding its first sample and step
// index in a 4-byte header followed by 504 four-bit codes (low nibble first), 505 samples per block.

#include <cstddef>
#include <cstdint>
#include <QByteArray>
#include <span>
#include <vector>

namespace tessa {

constexpr size_t kImaBlockBytes = 256;
constexpr size_t kImaBlockSamples = 505;

// Decodes one 256-byte block into 505 samples. Nothing carries over between blocks.
void decodeImaBlock(const uint8_t* block, int16_t* samples);

// Decodes consecutive blocks into samples, which must hold imaSamplesFor(size) values. A trailing partial
// block is decoded as if its missing bytes were zero. Returns the number of samples written.
size_t decodeImaBlocks(const uint8_t* data, size_t size, int16_t* samples);
inline size_t imaSamplesFor(size_t codedBytes) {
    return (codedBytes + kImaBlockBytes - 1) / kImaBlockBytes * kImaBlockSamples;
}
std::vector<int16_t> decodeImaAdpcm(const uint8_t* data, size_t size);

// Codes blocks that decodeImaBlock reads back. The step index runs on from block to block so that the
// quantiser need not adapt afresh at every block start.
class ImaAdpcmEncoder {
public:
    void encodeBlock(const int16_t* samples, uint8_t* block);

private:
    int stepIndex_ = 0;
};

// Codes a whole signal; the last block is padded with silence.
QByteArray encodeImaAdpcm(std::span<const int16_t> samples);
inline size_t imaBlocksFor(size_t sampleCount) {
    return (sampleCount + kImaBlockSamples - 1) / kImaBlockSamples;
}

} // namespace tessa
