#pragma once

// GSM 06.10 full-rate frames: 160 samples in 33 bytes, the first byte's high nibble being the signature
// 0xD.

#include <cstddef>
#include <cstdint>

struct gsm_state;

namespace tessa {

class GsmCodec {
public:
    static constexpr size_t kFrameBytes = 33;
    static constexpr size_t kFrameSamples = 160;

    GsmCodec();
    ~GsmCodec();
    GsmCodec(const GsmCodec&) = delete;
    GsmCodec& operator=(const GsmCodec&) = delete;

    // False when the library could not allocate its state; nothing is coded then.
    bool isValid() const { return encoder_ && decoder_; }

    void encode(const int16_t* samples, uint8_t* frame);
    // False, leaving samples untouched, for a frame without the signature.
    bool decode(const uint8_t* frame, int16_t* samples);

    static bool hasSignature(const uint8_t* frame) { return (frame[0] >> 4) == 0xD; }

private:
    // Encoder and decoder keep their own history, so a codec can do both without the two disturbing
    // each other.
    gsm_state* encoder_ = nullptr;
    gsm_state* decoder_ = nullptr;
};

} // namespace tessa
