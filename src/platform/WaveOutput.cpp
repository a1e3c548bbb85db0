#include "platform/WaveOutput.h"

namespace tessa::platform {

std::optional<WaveFormat> waveFormatForMode(int mode) {
    WaveFormat f;
    switch (mode) {
    case 0:
        f = {WaveTagImaAdpcm, 1, 8000, 4000, 256, 4, 2, 505};
        break;
    case 1:
        f = {WaveTagMuLaw, 1, 8000, 8000, 1, 8, 0, 0};
        break;
    case 2:
        f = {WaveTagALaw, 1, 8000, 8000, 1, 8, 0, 0};
        break;
    case 3:
        f = {WaveTagPcm, 1, 8000, 16000, 2, 16, 0, 0};
        break;
    case 4:
        f = {WaveTagGsm, 1, 8000, 1625, 65, 0, 2, 320};
        break;
    default:
        return std::nullopt;
    }
    return f;
}

} // namespace tessa::platform
