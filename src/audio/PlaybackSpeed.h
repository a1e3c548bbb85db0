#pragma once

// The playback speeds the player offers, in percent of the recording's own pace, and the setting that
// keeps the user's choice from one run to the next.

#include <array>

namespace tessa {

inline constexpr std::array<int, 6> kPlaybackSpeeds = {50, 75, 100, 125, 150, 200};
inline constexpr int kNormalSpeed = 100;

// The step nearest to a value (the lower one of two as near); values outside the steps end at the
// first or last.
int nearestPlaybackSpeed(int percent);
// The step below or above (the same at either end).
int slowerPlaybackSpeed(int percent);
int fasterPlaybackSpeed(int percent);

// Setting `PlaySpeed`: the last speed chosen, in percent. A missing or unreadable value reads as
// normal speed; any other value as its nearest step.
int readPlaybackSpeedSetting();
bool writePlaybackSpeedSetting(int percent);

} // namespace tessa
