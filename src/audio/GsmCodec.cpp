#include "audio/GsmCodec.h"

#include <algorithm>
#include <cstring>
#include <gsm.h>

namespace tessa {

// Named rather than anonymous: the library is built in unity batches, where anonymous namespaces of
// different files merge.
namespace gsm_internal {

gsm_state* makeWav49State() {
    gsm_state* state = gsm_create();
    if (state) {
        int one = 1;
        gsm_option(state, GSM_OPT_WAV49, &one);
    }
    return state;
}

// The samples of unit u of a signal cut into units of `count`, the last one padded with silence.
const int16_t* unitSamples(std::span<const int16_t> samples, size_t u, size_t count, int16_t* padded) {
    const size_t first = u * count;
    const size_t have = std::min(count, samples.size() - first);
    if (have == count)
        return samples.data() + first;
    std::fill(std::copy_n(samples.data() + first, have, padded), padded + count, int16_t(0));
    return padded;
}

} // namespace gsm_internal

GsmCodec::GsmCodec() : encoder_(gsm_create()), decoder_(gsm_create()) {}

GsmCodec::~GsmCodec() {
    if (encoder_)
        gsm_destroy(encoder_);
    if (decoder_)
        gsm_destroy(decoder_);
}

void GsmCodec::encode(const int16_t* samples, uint8_t* frame) {
    if (!encoder_)
        return;
    // The library takes a non-const pointer but only reads the samples.
    gsm_encode(encoder_, const_cast<gsm_signal*>(samples), frame);
}

bool GsmCodec::decode(const uint8_t* frame, int16_t* samples) {
    if (!decoder_ || !hasSignature(frame))
        return false;
    return gsm_decode(decoder_, const_cast<gsm_byte*>(frame), samples) == 0;
}

void GsmCodec::resetDecoder() {
    if (decoder_)
        gsm_destroy(decoder_);
    decoder_ = gsm_create();
}

size_t GsmFrameDecoder::decode(const uint8_t* data, size_t length, int16_t* samples) {
    size_t written = 0;
    for (size_t pos = 0; pos < length; pos += kGsmFrameBytes, written += kGsmFrameSamples) {
        uint8_t frame[kGsmFrameBytes] = {};
        std::memcpy(frame, data + pos, std::min(kGsmFrameBytes, length - pos));
        if (!codec_.decode(frame, samples + written))
            std::fill_n(samples + written, kGsmFrameSamples, int16_t(0));
    }
    return written;
}

GsmWav49Decoder::GsmWav49Decoder() : state_(gsm_internal::makeWav49State()) {}

GsmWav49Decoder::~GsmWav49Decoder() {
    if (state_)
        gsm_destroy(state_);
}

void GsmWav49Decoder::reset() {
    if (state_)
        gsm_destroy(state_);
    state_ = gsm_internal::makeWav49State();
}

size_t GsmWav49Decoder::decode(const uint8_t* data, size_t length, int16_t* samples) {
    size_t written = 0;
    for (size_t pos = 0; pos < length; pos += kGsmWav49BlockBytes, written += kGsmWav49BlockSamples) {
        uint8_t block[kGsmWav49BlockBytes] = {};
        std::memcpy(block, data + pos, std::min(kGsmWav49BlockBytes, length - pos));
        int16_t* out = samples + written;
        // The first frame takes 33 bytes and half of the 34th, the second the rest.
        if (!state_ || gsm_decode(state_, block, out) != 0 ||
            gsm_decode(state_, block + kGsmFrameBytes, out + kGsmFrameSamples) != 0)
            std::fill_n(out, kGsmWav49BlockSamples, int16_t(0));
    }
    return written;
}

std::unique_ptr<SampleDecoder> makeGsmFrameDecoder() {
    return std::make_unique<GsmFrameDecoder>();
}

std::unique_ptr<SampleDecoder> makeGsmWav49Decoder() {
    return std::make_unique<GsmWav49Decoder>();
}

QByteArray encodeGsmFrames(std::span<const int16_t> samples) {
    GsmCodec codec;
    if (!codec.isValid())
        return {};
    const size_t frames = (samples.size() + kGsmFrameSamples - 1) / kGsmFrameSamples;
    QByteArray out(qsizetype(frames * kGsmFrameBytes), '\0');
    int16_t padded[kGsmFrameSamples];
    for (size_t f = 0; f < frames; ++f)
        codec.encode(gsm_internal::unitSamples(samples, f, kGsmFrameSamples, padded),
                     reinterpret_cast<uint8_t*>(out.data()) + f * kGsmFrameBytes);
    return out;
}

QByteArray encodeGsmWav49(std::span<const int16_t> samples) {
    gsm_state* state = gsm_internal::makeWav49State();
    if (!state)
        return {};
    const size_t blocks = (samples.size() + kGsmWav49BlockSamples - 1) / kGsmWav49BlockSamples;
    QByteArray out(qsizetype(blocks * kGsmWav49BlockBytes), '\0');
    int16_t padded[kGsmWav49BlockSamples];
    for (size_t b = 0; b < blocks; ++b) {
        auto* block = reinterpret_cast<gsm_byte*>(out.data()) + b * kGsmWav49BlockBytes;
        auto* in =
            const_cast<gsm_signal*>(gsm_internal::unitSamples(samples, b, kGsmWav49BlockSamples, padded));
        // The first frame is written as 32 bytes and a nibble kept back, the second as the 33 after.
        gsm_encode(state, in, block);
        gsm_encode(state, in + kGsmFrameSamples, block + kGsmWav49BlockBytes / 2);
    }
    gsm_destroy(state);
    return out;
}

} // namespace tessa
