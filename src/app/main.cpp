// Tessara: one instance per user, the start window, the event loop. The program reads no arguments.
#include "AppContext.h"
#include "ColorScheme.h"
#include "Settings.h"
#include "SingleInstance.h"
#include "TextTable.h"
#include "TfrmMain.h"
#include "TfrmStart.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// A second start on the display of the running program ends without a word: the raised window says
// enough. On another display nothing would show there, so this start says what happened.
void TellWhereItRuns(const SingleInstance& instance) {
    if (instance.answer() == SingleInstance::Answer::Raised) return;
    Settings settings;
    ColorSchemeTable colors;
    FillColorSchemes(colors);
    SetDefaults(settings);
    ReadSettings(settings, colors);
    const QString text = instance.answer() == SingleInstance::Answer::RaisedOnOtherDisplay
                             ? LangText(u"RaisedElsewhere", settings.ShellLang).arg(instance.OtherDisplay())
                             : LangText(u"RunningNoAnswer", settings.ShellLang);
    std::fprintf(stderr, "%s\n", qUtf8Printable(text));
    QMessageBox::information(nullptr, LangText(u"Tessara", settings.ShellLang), text);
}

} // namespace

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

    // A second start brings the running program to the front and ends.
    SingleInstance instance;
    if (!instance.Claim()) {
        TellWhereItRuns(instance);
        return 0;
    }

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
