// Tessara: one instance per user, the start window, the event loop. The program reads no arguments.
#include "AppContext.h"
#include "SingleInstance.h"
#include "TfrmMain.h"
#include "TfrmStart.h"

#include <QApplication>
#include <QIcon>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

int main(int argc, char** argv) {
#ifdef Q_OS_UNIX
    // The web tabs' browser engine will not start as root inside its sandbox, and then takes the whole
    // program down with it; as root it runs without one (it shows only the vendor's own pages).
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
    QApplication app(argc, argv);
    ConfigureApplication();
    // The menu entry's name and icon, also for windows of a program started from the build folder.
    QGuiApplication::setDesktopFileName(QStringLiteral(TESSARA_APP_ID));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) icon.addFile(QStringLiteral(":/icons/tessara-%1.png").arg(size));
    QApplication::setWindowIcon(icon);

    // A second start brings the running program to the front and ends without a window.
    SingleInstance instance;
    if (!instance.Claim()) return 0;

    QApplication::setQuitOnLastWindowClosed(false);
    AppContext context;
    TfrmStart frmStart(context);
    QObject::connect(&frmStart, &TfrmStart::closed, &app, &QApplication::quit, Qt::QueuedConnection);
    QObject::connect(&instance, &SingleInstance::activationRequested, &frmStart, [&frmStart] {
        QWidget* front = frmStart.frmMain && frmStart.frmMain->isVisible()
                             ? static_cast<QWidget*>(frmStart.frmMain)
                             : static_cast<QWidget*>(&frmStart);
        front->show();
        front->raise();
        front->activateWindow();
    });
    frmStart.show();
    return app.exec();
}
