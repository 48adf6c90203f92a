#include <gtest/gtest.h>

#include <QGuiApplication>

// A GUI application (offscreen unless told otherwise), for the services that ask the window system.
int main(int argc, char** argv) {
    // Test discovery runs the program at build time, outside CTest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
