// The notification adapter against a private session bus (dbus-daemon started by the test) with a fake
// notification service registered on a connection of its own.

#include "platform/notify/DBusNotifier.h"

#include "support/PeerTool.h"
#include "support/TempDir.h"
#include "support/ui/EventLoop.h"

#include <gtest/gtest.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QVariantMap>

namespace tessa {
namespace {

using test::TempDir;
using test::waitFor;

struct Notice {
    QString appName, icon, summary, body;
    uint replacesId = 0;
    int timeout = 0;
};

// Answers Notify as a desktop's notification service would and keeps what it was sent.
class FakeNotificationService : public QDBusVirtualObject {
public:
    std::vector<Notice> received;

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QList<QVariant> args = message.arguments();
        if (message.member() != QLatin1String("Notify") || args.size() != 8)
            return false;
        received.push_back({args[0].toString(), args[2].toString(), args[3].toString(), args[4].toString(),
                            args[1].toUInt(), args[7].toInt()});
        connection.send(message.createReply(QVariant::fromValue(uint(received.size()))));
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
};

class DBusNotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::havePeer("dbus-daemon"))
            GTEST_SKIP() << "dbus-daemon is not installed (scripts/install-deps installs it)";
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1",
                                      "--address=unix:path=" + dir_.file("bus")});
        ASSERT_TRUE(daemon_.waitForStarted(10000));
        ASSERT_TRUE(waitFor([&] { return daemon_.canReadLine(); }, 10000));
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        ASSERT_FALSE(address_.isEmpty());
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("notifier-client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("notifier-service"));
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.terminate();
            if (!daemon_.waitForFinished(5000)) {
                daemon_.kill();
                daemon_.waitForFinished();
            }
        }
    }
    QDBusConnection client() {
        return QDBusConnection::connectToBus(address_, QStringLiteral("notifier-client"));
    }
    // The fake service takes the well-known name on a connection of its own.
    bool startService() {
        QDBusConnection service = QDBusConnection::connectToBus(address_, QStringLiteral("notifier-service"));
        return service.isConnected() &&
               service.registerVirtualObject(QString::fromLatin1(platform::DBusNotifier::kPath), &fake_) &&
               service.registerService(QString::fromLatin1(platform::DBusNotifier::kService));
    }

    TempDir dir_;
    QProcess daemon_;
    QString address_;
    FakeNotificationService fake_;
};

TEST_F(DBusNotifierTest, ANoticeReachesTheServiceWithItsTexts) {
    ASSERT_TRUE(startService());
    QDBusConnection bus = client();
    ASSERT_TRUE(bus.isConnected());
    platform::DBusNotifier notifier(QStringLiteral("Tessa"), QStringLiteral("org.tessa.Tessa"), bus);
    notifier.notify(QStringLiteral("Card found"), QStringLiteral("Records on the card: 12"));
    notifier.notify(QStringLiteral("Backup finished"), QStringLiteral("Copied: 12."));
    ASSERT_TRUE(waitFor([&] { return fake_.received.size() == 2; }));
    const Notice& first = fake_.received[0];
    EXPECT_EQ(first.appName, "Tessa");
    EXPECT_EQ(first.icon, "org.tessa.Tessa");
    EXPECT_EQ(first.summary, "Card found");
    EXPECT_EQ(first.body, "Records on the card: 12");
    EXPECT_EQ(first.replacesId, 0u) << "every notice is a new one";
    EXPECT_EQ(first.timeout, -1) << "the service's own time";
    EXPECT_EQ(fake_.received[1].summary, "Backup finished");
}

TEST_F(DBusNotifierTest, WithoutAServiceNothingIsSentNowOrLater) {
    QDBusConnection bus = client();
    ASSERT_TRUE(bus.isConnected());
    {
        platform::DBusNotifier notifier(QStringLiteral("Tessa"), QString(), bus);
        notifier.notify(QStringLiteral("Card found"), QStringLiteral("Records on the card: 3"));
        // The owner query is answered (no owner) while the events run; nothing waits for it.
        ASSERT_FALSE(waitFor([&] { return !fake_.received.empty(); }, 300));
        // A service that appears afterwards gets only what is sent from then on.
        ASSERT_TRUE(startService());
        ASSERT_TRUE(waitFor([&] {
            return bus.interface()
                ->isServiceRegistered(QString::fromLatin1(platform::DBusNotifier::kService))
                .value();
        }));
        EXPECT_TRUE(fake_.received.empty());
        notifier.notify(QStringLiteral("Backup finished"), QString());
        ASSERT_TRUE(waitFor([&] { return !fake_.received.empty(); }));
        EXPECT_EQ(fake_.received.size(), 1u);
        EXPECT_EQ(fake_.received[0].summary, "Backup finished");
        // A notice still on its way when the notifier goes is dropped with it.
        notifier.notify(QStringLiteral("Late"), QString());
    }
    EXPECT_FALSE(waitFor([&] { return fake_.received.size() > 1; }, 300));
}

} // namespace
} // namespace tessa
