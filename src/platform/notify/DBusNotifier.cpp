#include "platform/notify/DBusNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace tessa::platform {

DBusNotifier::DBusNotifier(const QString& appName, const QString& iconName, const QDBusConnection& bus)
    : appName_(appName), iconName_(iconName), bus_(bus), pending_(std::make_unique<QObject>()) {}

DBusNotifier::~DBusNotifier() = default;

void DBusNotifier::notify(const QString& summary, const QString& body) {
    if (!bus_.isConnected())
        return;
    QDBusMessage query = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    query << QString::fromLatin1(kService);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(query), pending_.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, pending_.get(),
                     [this, watcher, summary, body] {
                         watcher->deleteLater();
                         const QDBusPendingReply<bool> owned = *watcher;
                         if (owned.isValid() && owned.value())
                             send(summary, body);
                     });
}

void DBusNotifier::send(const QString& summary, const QString& body) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                       QString::fromLatin1(kService), QStringLiteral("Notify"));
    // A notification service that went away in the meantime is not started for a notice.
    call.setAutoStartService(false);
    call << appName_ << uint(0) << iconName_ << summary << body << QStringList() << QVariantMap() << int(-1);
    // The reply (the notice's id) is of no use here; it is not waited for.
    bus_.asyncCall(call);
}

} // namespace tessa::platform
