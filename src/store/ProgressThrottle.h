#pragma once

// Paces progress updates: a position at most every period, and always the last one. Lines are cheap to
// send but a window repainted for every one of 100 000 records would dominate the load.

#include <chrono>

namespace tessa {

class ProgressThrottle {
public:
    explicit ProgressThrottle(std::chrono::milliseconds period = std::chrono::milliseconds(30))
        : period_(period), next_(std::chrono::steady_clock::now() + period) {}
    bool due(bool last) {
        const auto now = std::chrono::steady_clock::now();
        if (!last && now < next_)
            return false;
        next_ = now + period_;
        return true;
    }

private:
    std::chrono::milliseconds period_;
    std::chrono::steady_clock::time_point next_;
};

} // namespace tessa
