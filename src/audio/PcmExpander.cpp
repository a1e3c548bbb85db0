#include "audio/PcmExpander.h"

namespace tessa {

PcmExpander::PcmExpander(const platform::WaveFormat& format) : codec_(codecOfOutputFormat(format)) {
    if (codec_)
        decoder_ = codec_->makeDecoder();
}

void PcmExpander::reset() {
    if (decoder_)
        decoder_->reset();
}

size_t PcmExpander::samplesFor(size_t length) const {
    return codec_ ? codec_->samplesFor(length) : 0;
}

void PcmExpander::expand(const uint8_t* data, size_t length, std::vector<int16_t>& out) {
    if (!decoder_)
        return;
    const size_t first = out.size();
    out.resize(first + samplesFor(length));
    decoder_->decode(data, length, out.data() + first);
}

platform::SampleExpanderFactory pcmExpanderFactory() {
    return [](const platform::WaveFormat& format) -> std::unique_ptr<platform::SampleExpander> {
        if (!codecOfOutputFormat(format))
            return nullptr;
        return std::make_unique<PcmExpander>(format);
    };
}

} // namespace tessa
