#include "UserManual.h"

#include "ShellOpen.h"
#include "TextTable.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

QStringList UserManualFolders(const QString& exeFolder, const QString& cityFolder) {
    QStringList folders;
    if (!exeFolder.isEmpty()) {
        folders << QDir::cleanPath(exeFolder + QStringLiteral("/manual")) + '/'
                << QDir::cleanPath(exeFolder + QStringLiteral("/../share/doc/tessara/manual")) + '/';
    }
    if (!cityFolder.isEmpty()) folders << QDir::cleanPath(cityFolder + QStringLiteral("/manual")) + '/';
    return folders;
}

QString UserManualPage(const QString& exeFolder, int shellLang, const QString& cityFolder) {
    const QString language = shellLang == LangEnglish ? QStringLiteral("en/") : QStringLiteral("ru/");
    for (const QString& folder : UserManualFolders(exeFolder, cityFolder))
        for (const QString& page :
             {folder + language + QStringLiteral("index.html"), folder + QStringLiteral("index.html")})
            if (QFileInfo(page).isFile()) return page;
    return {};
}

bool OpenUserManual(QWidget* parent, const QString& exeFolder, int shellLang, const QString& cityFolder) {
    const QString page = UserManualPage(exeFolder, shellLang, cityFolder);
    if (!page.isEmpty()) {
        if (ShellOpen(page)) return true;
        // No browser took it: the user can still open the page by hand.
        QMessageBox::warning(parent, LangText(u"Help", shellLang),
                             LangText(u"ManualByHand", shellLang) + '\n' + QDir::toNativeSeparators(page));
        return false;
    }
    const QStringList folders = UserManualFolders(exeFolder, cityFolder);
    QMessageBox::warning(parent, LangText(u"Help", shellLang),
                         LangText(u"NoManual", shellLang) + '\n' +
                             QDir::toNativeSeparators(folders.value(0, QStringLiteral("manual/"))));
    return false;
}
