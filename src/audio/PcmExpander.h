#pragma once

// Expansion of the engine's wave formats to 16-bit PCM, for outputs that play only PCM.

#include "platform/WaveOutput.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct gsm_state;

namespace tessa {

// Turns the bytes of any of the engine's formats into 16-bit PCM, as a device that plays only PCM
// needs. GSM keeps its decoder history from block to block, as a stream; reset() forgets it.
class PcmExpander : public platform::SampleExpander {
public:
    explicit PcmExpander(const platform::WaveFormat& format);
    ~PcmExpander() override;
    PcmExpander(const PcmExpander&) = delete;
    PcmExpander& operator=(const PcmExpander&) = delete;

    // Appends the samples of `length` bytes to `out`. A trailing part of an IMA ADPCM or GSM block is
    // decoded as if its missing bytes were zero; a trailing odd byte of PCM is dropped.
    void expand(const uint8_t* data, size_t length, std::vector<int16_t>& out) override;
    void reset() override;

    // Samples that `length` bytes expand to.
    size_t samplesFor(size_t length) const;

private:
    platform::WaveFormat format_;
    gsm_state* gsm_ = nullptr;
};

// The factory a PCM-only output is given.
platform::SampleExpanderFactory pcmExpanderFactory();

} // namespace tessa
