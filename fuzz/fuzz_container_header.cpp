// The first bytes of a recording and its size, as the length measures read them.
#include "store/RecordingFiles.h"

#include <cstring>

using namespace tessa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9)
        return 0;
    int64_t fileSize = 0;
    std::memcpy(&fileSize, data, 8);
    const bool container = data[8] & 1;
    measureRecording(container ? QStringLiteral("a.xtr") : QStringLiteral("a.wav"), fileSize, data + 9,
                     size - 9);
    return 0;
}
