#include "audio/PlaybackSpeed.h"

#include "config/Settings.h"

#include <algorithm>
#include <cstdlib>

namespace tessa {

int nearestPlaybackSpeed(int percent) {
    int best = kPlaybackSpeeds.front();
    for (int step : kPlaybackSpeeds)
        if (std::abs(step - percent) < std::abs(best - percent))
            best = step;
    return best;
}

int slowerPlaybackSpeed(int percent) {
    const int here = nearestPlaybackSpeed(percent);
    const auto* it = std::find(kPlaybackSpeeds.begin(), kPlaybackSpeeds.end(), here);
    return it == kPlaybackSpeeds.begin() ? here : *(it - 1);
}

int fasterPlaybackSpeed(int percent) {
    const int here = nearestPlaybackSpeed(percent);
    const auto* it = std::find(kPlaybackSpeeds.begin(), kPlaybackSpeeds.end(), here);
    return it + 1 == kPlaybackSpeeds.end() ? here : *(it + 1);
}

int readPlaybackSpeedSetting() {
    // 0 is what an unreadable number reads as, -1 a missing key: neither is a speed anyone chose.
    const int stored = readIntSetting(QStringLiteral("PlaySpeed"));
    return stored <= 0 ? kNormalSpeed : nearestPlaybackSpeed(stored);
}

bool writePlaybackSpeedSetting(int percent) {
    return writeIntSetting(QStringLiteral("PlaySpeed"), nearestPlaybackSpeed(percent));
}

} // namespace tessa
