#pragma once

// Desktop notifications (the small messages a desktop shows in a corner): one summary line and a body.
// The real adapter talks to the desktop's notification service; tests put a recorder in its place.
// A notifier never blocks its caller and stays silent when the desktop has no such service.

#include <QString>

namespace tessa::platform {

class DesktopNotifier {
public:
    virtual ~DesktopNotifier() = default;
    virtual void notify(const QString& summary, const QString& body) = 0;
};

} // namespace tessa::platform
