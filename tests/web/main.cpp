// The web tabs with their browser engine, on a real X server (xvfb-run): one QApplication for all.
#include <QApplication>
#include <QStyleFactory>
#include <gtest/gtest.h>
#include <unistd.h>

int main(int argc, char** argv) {
    // Cities installed on this machine for all users must not join the tests' city lists.
    qputenv("XDG_DATA_DIRS", "/nonexistent/tessara-tests");
    // The engine refuses to start as root inside its sandbox (CI runs as root).
    if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // Xvfb has no GPU: the engine draws in software without probing for one.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
