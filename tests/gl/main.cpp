// OpenGL tests need a display with OpenGL: CTest runs them under xvfb-run (Mesa's software renderer).
#include <QApplication>
#include <QStyleFactory>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Cities installed on this machine for all users must not join the tests' city lists.
    qputenv("XDG_DATA_DIRS", "/nonexistent/tessara-tests");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
