#include "platform/audioout/MakeWaveOutput.h"

#include "platform/audioout/QtWaveOutput.h"
#include "platform/NullWaveOutput.h"

#include <QtGlobal>

namespace tessa::platform {

std::unique_ptr<WaveOutput> makeWaveOutput(SampleExpanderFactory expanders) {
    if (qEnvironmentVariable("TESSA_AUDIO") == QLatin1String("null"))
        return std::make_unique<NullWaveOutput>();
    return std::make_unique<QtWaveOutput>(std::move(expanders));
}

} // namespace tessa::platform
