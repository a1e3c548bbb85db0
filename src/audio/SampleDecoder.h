#pragma once

// The one shape every decoder of the codec table has: coded bytes in, 16-bit samples out.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tessa {

class SampleDecoder {
public:
    virtual ~SampleDecoder() = default;
    // Decodes every block that starts inside the `length` bytes into `samples`, which must have room for
    // the codec's samplesFor(length). A block cut short decodes as if its missing bytes were zero; a
    // block the codec refuses leaves silence. Returns the number of samples written. A codec with
    // history (GSM) runs on from the previous call, as one stream.
    virtual size_t decode(const uint8_t* data, size_t length, int16_t* samples) = 0;
    // Forgets that history, as when decoding starts over somewhere else.
    virtual void reset() {}
};

// The decoder of a coding without history: one function of the coded bytes.
using StatelessDecodeFunction = size_t (*)(const uint8_t* data, size_t length, int16_t* samples);

template <StatelessDecodeFunction decodeBytes>
class StatelessDecoder final : public SampleDecoder {
public:
    size_t decode(const uint8_t* data, size_t length, int16_t* samples) override {
        return decodeBytes(data, length, samples);
    }
};

template <StatelessDecodeFunction decodeBytes>
std::unique_ptr<SampleDecoder> makeStatelessDecoder() {
    return std::make_unique<StatelessDecoder<decodeBytes>>();
}

} // namespace tessa
