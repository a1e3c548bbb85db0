#include "audio/PcmExpander.h"

#include "audio/G711.h"
#include "audio/ImaAdpcm.h"

#include <algorithm>
#include <cstring>
#include <gsm.h>

namespace tessa {

// Named rather than anonymous: the library is built in unity batches, where anonymous namespaces of
// different files merge.
namespace pcm_expander_internal {

// WAVE format 49 packs two GSM frames into 65 bytes (33 + 32) and 320 samples.
constexpr size_t kGsmBlockBytes = 65;
constexpr size_t kGsmFirstFrameBytes = 33;
constexpr size_t kGsmFrameSamples = 160;

gsm_state* makeWav49Decoder() {
    gsm_state* state = gsm_create();
    if (state) {
        int one = 1;
        gsm_option(state, GSM_OPT_WAV49, &one);
    }
    return state;
}

} // namespace pcm_expander_internal

PcmExpander::PcmExpander(const platform::WaveFormat& format) : format_(format) {
    if (format_.formatTag == platform::WaveTagGsm)
        gsm_ = pcm_expander_internal::makeWav49Decoder();
}

PcmExpander::~PcmExpander() {
    if (gsm_)
        gsm_destroy(gsm_);
}

void PcmExpander::reset() {
    if (gsm_) {
        gsm_destroy(gsm_);
        gsm_ = pcm_expander_internal::makeWav49Decoder();
    }
}

size_t PcmExpander::samplesFor(size_t length) const {
    using namespace pcm_expander_internal;
    switch (format_.formatTag) {
    case platform::WaveTagPcm:
        return length / 2;
    case platform::WaveTagMuLaw:
    case platform::WaveTagALaw:
        return length;
    case platform::WaveTagImaAdpcm:
        return imaSamplesFor(length);
    case platform::WaveTagGsm:
        return (length + kGsmBlockBytes - 1) / kGsmBlockBytes * 2 * kGsmFrameSamples;
    default:
        return 0;
    }
}

void PcmExpander::expand(const uint8_t* data, size_t length, std::vector<int16_t>& out) {
    using namespace pcm_expander_internal;
    const size_t first = out.size();
    out.resize(first + samplesFor(length));
    int16_t* samples = out.data() + first;
    switch (format_.formatTag) {
    case platform::WaveTagPcm:
        for (size_t i = 0; i + 1 < length; i += 2)
            samples[i / 2] = int16_t(uint16_t(data[i] | data[i + 1] << 8));
        break;
    case platform::WaveTagMuLaw:
        expandMuLaw(data, length, samples);
        break;
    case platform::WaveTagALaw:
        expandALaw(data, length, samples);
        break;
    case platform::WaveTagImaAdpcm:
        decodeImaBlocks(data, length, samples);
        break;
    case platform::WaveTagGsm:
        for (size_t pos = 0; pos < length; pos += kGsmBlockBytes, samples += 2 * kGsmFrameSamples) {
            uint8_t block[kGsmBlockBytes] = {};
            std::memcpy(block, data + pos, std::min(kGsmBlockBytes, length - pos));
            if (!gsm_ || gsm_decode(gsm_, block, samples) != 0 ||
                gsm_decode(gsm_, block + kGsmFirstFrameBytes, samples + kGsmFrameSamples) != 0)
                std::memset(samples, 0, 2 * kGsmFrameSamples * sizeof(int16_t));
        }
        break;
    default:
        break;
    }
}

platform::SampleExpanderFactory pcmExpanderFactory() {
    return [](const platform::WaveFormat& format) -> std::unique_ptr<platform::SampleExpander> {
        return std::make_unique<PcmExpander>(format);
    };
}

} // namespace tessa
