#include "audio/LinearPcm.h"

namespace tessa {

size_t decodePcm16(const uint8_t* data, size_t length, int16_t* samples) {
    for (size_t i = 0; i + 1 < length; i += 2)
        samples[i / 2] = int16_t(uint16_t(data[i] | data[i + 1] << 8));
    return length / 2;
}

QByteArray encodePcm16(std::span<const int16_t> samples) {
    QByteArray out(qsizetype(samples.size() * 2), '\0');
    for (size_t i = 0; i < samples.size(); ++i) {
        out[qsizetype(2 * i)] = char(uint16_t(samples[i]) & 0xFF);
        out[qsizetype(2 * i + 1)] = char(uint16_t(samples[i]) >> 8);
    }
    return out;
}

} // namespace tessa
