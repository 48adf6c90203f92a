// Tests on a real X server (CTest runs each under xvfb-run) with the screen scaled to 150 %, as a
// high-density display is: window titles as the window manager gets them, pictures drawn for the
// screen's pixel density, the keyboard layout.
#include "AppContext.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR")) qputenv("QT_SCALE_FACTOR", "1.5");
    // Without a display (test discovery at build time) the tests still list; they skip when run.
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    QApplication app(argc, argv);
    ConfigureApplication(); // as the program does: titles are checked as the program sets them
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
