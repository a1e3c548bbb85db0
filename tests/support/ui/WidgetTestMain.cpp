// Widget tests run on the offscreen platform with a QApplication for the whole run.

#include <gtest/gtest.h>
#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Tests never need a sound card: the program's output is the silent one unless a test builds the real
    // one.
    if (qEnvironmentVariableIsEmpty("TESSA_AUDIO"))
        qputenv("TESSA_AUDIO", "null");
    // Qt keeps its own dialog and font settings under the XDG folders: a run writes them into a folder of
    // its own, never into the home folder of whoever runs the tests.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    // The windows of the tests are never active, so they would tell the desktop of every card and backup:
    // the run has no session bus (the notification tests start a bus of their own).
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tessa-tests-have-no-session-bus");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(icons);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
