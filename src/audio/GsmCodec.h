#pragma once

// GSM 06.10 full rate in both framings the program meets: the recorder's bare 33-byte frames of 160
// samples (the first byte's high nibble being the signature 0xD), and WAVE format 49, which packs two
// frames into a 65-byte block of 320 samples (33 + 32 bytes, the frames sharing a nibble).

#include "audio/SampleDecoder.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <QByteArray>
#include <span>

struct gsm_state;

namespace tessa {

constexpr size_t kGsmFrameBytes = 33;
constexpr size_t kGsmFrameSamples = 160;
constexpr size_t kGsmWav49BlockBytes = 65;
constexpr size_t kGsmWav49BlockSamples = 2 * kGsmFrameSamples;

// One bare frame at a time.
class GsmCodec {
public:
    static constexpr size_t kFrameBytes = kGsmFrameBytes;
    static constexpr size_t kFrameSamples = kGsmFrameSamples;

    GsmCodec();
    ~GsmCodec();
    GsmCodec(const GsmCodec&) = delete;
    GsmCodec& operator=(const GsmCodec&) = delete;

    // False when the library could not allocate its state; nothing is coded then.
    bool isValid() const { return encoder_ && decoder_; }

    void encode(const int16_t* samples, uint8_t* frame);
    // False, leaving samples untouched, for a frame without the signature.
    bool decode(const uint8_t* frame, int16_t* samples);
    // Forgets the decoder's history.
    void resetDecoder();

    static bool hasSignature(const uint8_t* frame) { return (frame[0] >> 4) == 0xD; }

private:
    // Encoder and decoder keep their own history, so a codec can do both without the two disturbing
    // each other.
    gsm_state* encoder_ = nullptr;
    gsm_state* decoder_ = nullptr;
};

// A stream of bare frames. A frame without the signature decodes as silence.
class GsmFrameDecoder final : public SampleDecoder {
public:
    size_t decode(const uint8_t* data, size_t length, int16_t* samples) override;
    void reset() override { codec_.resetDecoder(); }

private:
    GsmCodec codec_;
};

// A stream of WAVE format 49 blocks. A block the library refuses decodes as silence.
class GsmWav49Decoder final : public SampleDecoder {
public:
    GsmWav49Decoder();
    ~GsmWav49Decoder() override;
    GsmWav49Decoder(const GsmWav49Decoder&) = delete;
    GsmWav49Decoder& operator=(const GsmWav49Decoder&) = delete;

    size_t decode(const uint8_t* data, size_t length, int16_t* samples) override;
    void reset() override;

private:
    gsm_state* state_ = nullptr;
};

std::unique_ptr<SampleDecoder> makeGsmFrameDecoder();
std::unique_ptr<SampleDecoder> makeGsmWav49Decoder();

// A whole signal coded from a fresh state; the last frame or block is padded with silence. Empty when
// the library cannot allocate its state.
QByteArray encodeGsmFrames(std::span<const int16_t> samples);
QByteArray encodeGsmWav49(std::span<const int16_t> samples);

} // namespace tessa
