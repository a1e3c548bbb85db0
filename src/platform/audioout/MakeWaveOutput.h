#pragma once

#include "platform/WaveOutput.h"

#include <memory>

namespace tessa::platform {

// The wave output of the running program: the sound server's (Qt Multimedia), or with TESSA_AUDIO=null
// a silent output that still plays in real time.
std::unique_ptr<WaveOutput> makeWaveOutput(SampleExpanderFactory expanders);

} // namespace tessa::platform
