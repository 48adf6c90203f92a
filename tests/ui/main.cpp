// Widget tests run inside one QApplication (offscreen under CTest).
#include <QApplication>
#include <QFile>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

int main(int argc, char** argv) {
    // Test discovery runs the program at build time, outside CTest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Cities installed on this machine for all users must not join the tests' city lists.
    qputenv("XDG_DATA_DIRS", "/nonexistent/tessara-tests");
    // The web tabs' browser engine refuses to start as root inside its sandbox (CI runs as root), and
    // the test servers have no GPU.
    if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    // The main window's command socket and the single-instance socket live in the runtime folder: one
    // of this run's own keeps them from a running Tessara and from tests running beside these.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
