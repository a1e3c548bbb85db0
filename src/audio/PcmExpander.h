#pragma once

// Expansion of the engine's wave formats to 16-bit PCM, for outputs that play only PCM.

#include "audio/CodecTable.h"
#include "platform/WaveOutput.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tessa {

// Turns the bytes of any of the engine's formats into 16-bit PCM, as a device that plays only PCM
// needs, with the codec table's decoder of the format. GSM keeps its decoder history from block to
// block, as a stream; reset() forgets it.
class PcmExpander : public platform::SampleExpander {
public:
    // A format that is none of the engine's expands to nothing.
    explicit PcmExpander(const platform::WaveFormat& format);
    PcmExpander(const PcmExpander&) = delete;
    PcmExpander& operator=(const PcmExpander&) = delete;

    // Appends the samples of `length` bytes to `out`. A trailing part of an IMA ADPCM or GSM block is
    // decoded as if its missing bytes were zero; a trailing odd byte of PCM is dropped.
    void expand(const uint8_t* data, size_t length, std::vector<int16_t>& out) override;
    void reset() override;

    // Samples that `length` bytes expand to.
    size_t samplesFor(size_t length) const;

private:
    const Codec* codec_;
    std::unique_ptr<SampleDecoder> decoder_;
};

// The factory a PCM-only output is given: an expander for each of the engine's formats, null for any
// other format, which the output then refuses.
platform::SampleExpanderFactory pcmExpanderFactory();

} // namespace tessa
