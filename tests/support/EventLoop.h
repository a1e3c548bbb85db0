#pragma once

// The event loop in tests: workers, timers and queued calls report to the GUI thread, so a test lets that
// thread's loop run until what it waits for has happened. Works with the widget tests' QApplication and
// with the QCoreApplication of the core tests alike.

#include <chrono>
#include <functional>
#include <QCoreApplication>
#include <thread>

namespace tessa::test {

// A QCoreApplication for the whole process, unless one exists already.
inline void ensureCoreApplication() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "tessa_tests";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv); // lives for the whole run, as the program's does
}

// Runs the event loop until the condition holds; false when it still fails after limitMs. The limit only
// turns a broken worker into a failed test instead of a hung suite, so it is generous.
inline bool waitUntil(const std::function<bool()>& done, int limitMs = 30000) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Runs the event loop for a while, for tests that show that something does not happen.
inline void processEventsFor(int milliseconds) {
    waitUntil([] { return false; }, milliseconds);
}

// Lets the calls already queued run (and the few they queue in turn).
inline void drainEvents() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

} // namespace tessa::test
