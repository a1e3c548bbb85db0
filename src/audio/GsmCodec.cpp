#include "audio/GsmCodec.h"

#include <gsm.h>

namespace tessa {

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

} // namespace tessa
