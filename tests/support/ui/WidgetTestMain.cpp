// Widget tests run on the offscreen platform with a QApplication for the whole run.

#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Tests never need a sound card: the program's output is the silent one unless a test builds the real
    // one.
    if (qEnvironmentVariableIsEmpty("TESSA_AUDIO"))
        qputenv("TESSA_AUDIO", "null");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(icons);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
