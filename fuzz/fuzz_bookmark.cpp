// The bookmark element of a container's text area.
#include "audio/Bookmark.h"

#include <cstdlib>

using namespace tessa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto span = parseBookmark(data, size);
    if (span) {
        constexpr uint32_t kLatest = 99 * 3600 + 99 * 60 + 99;
        if (span->startSecond >= span->endSecond || span->endSecond > kLatest)
            __builtin_trap();
    }
    // Every time of up to eight bytes reads within the two-digit fields.
    if (bookmarkClockSeconds(data, size) > 99 * 3600 + 99 * 60 + 99)
        __builtin_trap();
    return 0;
}
