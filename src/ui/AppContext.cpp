#include "AppContext.h"

#include "InstallTransaction.h"

#include "ColorSchemeStore.h"
#include "Pictures.h"
#include "QtTexts.h"
#include "TfrmDownload.h"

#include <QApplication>
#include <QStyleFactory>

void ConfigureApplication() {
    QApplication::setOrganizationName(QStringLiteral("Norvik"));
    QApplication::setApplicationName(QStringLiteral("Tessara"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
}

void AppContext::LoadSettings() {
    LoadCursors(cursors);
    FillColorSchemes(colors);
    SetDefaults(settings);
    ReadSettings(settings, colors);
    ApplyColorScheme(colors, settings.ColorScheme);
    BindShellLang(&settings.ShellLang);
    UseQtTexts(settings.ShellLang);
    // Loading twice is harmless: the translation in force is replaced.
    languageHooks.OnShellLang([this] { UseQtTexts(settings.ShellLang); });
}

void AppContext::RebuildCatalogue() {
    // A city whose install was cut short by the end of the program is put back before it is listed.
    for (const QString& problem : TInstallTransaction::RecoverInterruptedInstalls(folders.DataFolder))
        qWarning("%s", qUtf8Printable(problem));
    Cities = BuildCatalogue(folders.DataFolder, folders.SystemFolders, folders.ExeFolder);
}

void AppContext::SelectCity(int index) {
    // Pictures decoded for the city shown so far are not needed by the next one.
    ReleasePictures();
    CurrentCity = index >= 0 && index < int(Cities.size()) ? index : -1;
    if (const TCity* c = Current()) {
        city = CityFileRef::From(*c);
        ReleaseDate = c->ReleaseDate;
    } else {
        city = {};
        ReleaseDate.clear();
    }
}

void AppContext::RunDownload(QWidget* parent, bool transparent, bool asking) {
    UpdateContext ctx;
    ctx.DataFolder = folders.DataFolder;
    ctx.ExeFolder = folders.ExeFolder;
    ctx.SystemFolders = folders.SystemFolders;
    ctx.TempFolder = folders.TempFolder;
    ctx.Cities = Cities;
    ctx.CurrentCity = CurrentCity;
    // Asked from the update button, the user ticks the components in the list window.
    ctx.AutoUpdate = asking ? false : settings.AutoUpdate;
    ctx.AppState = AppState;
    ctx.Db = db.get();
    if (runDownload) {
        runDownload(ctx);
    } else {
        TfrmDownload frm(ctx, parent);
        frm.Mirrors = vendor.Mirrors;
        frm.SetTransparent(transparent);
        frm.exec();
    }
    Outcome = ctx.Outcome;
    Cities = ctx.Cities;
    CurrentCity = ctx.CurrentCity;
    AppState = ctx.AppState;
}
