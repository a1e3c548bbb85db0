#pragma once

#include <functional>
#include <QApplication>
#include <QElapsedTimer>

namespace tessa::test {

// Runs the event loop until the condition holds or the time is up; false on time-out.
inline bool waitFor(const std::function<bool()>& condition, int milliseconds = 8000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

} // namespace tessa::test
