#pragma once

// The freedesktop notification service over the session bus (org.freedesktop.Notifications, method
// Notify). Each notice first asks the bus, asynchronously, whether the service has an owner; only then is
// Notify sent, again without waiting for the answer and without letting the bus start a service. With no
// session bus or no service nothing is sent, and the caller never waits for the bus.

#include "platform/DesktopNotifier.h"

#include <memory>
#include <QDBusConnection>
#include <QObject>

namespace tessa::platform {

class DBusNotifier : public DesktopNotifier {
public:
    // appName and iconName (a freedesktop icon name) go with every notice.
    DBusNotifier(const QString& appName, const QString& iconName,
                 const QDBusConnection& bus = QDBusConnection::sessionBus());
    ~DBusNotifier() override;

    void notify(const QString& summary, const QString& body) override;

    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";

private:
    void send(const QString& summary, const QString& body);

    QString appName_;
    QString iconName_;
    QDBusConnection bus_;
    // Parent of the pending owner queries: they end with the notifier.
    std::unique_ptr<QObject> pending_;
};

} // namespace tessa::platform
