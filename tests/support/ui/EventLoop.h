#pragma once

// The widget tests' name for the wait in support/EventLoop.h.

#include "support/EventLoop.h"

#include <functional>

namespace tessa::test {

// Runs the event loop until the condition holds; false when it still fails after milliseconds.
inline bool waitFor(const std::function<bool()>& condition, int milliseconds = 8000) {
    return waitUntil(condition, milliseconds);
}

} // namespace tessa::test
