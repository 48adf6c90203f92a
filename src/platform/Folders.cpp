#include "Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString WithSeparator(const QString& folder) {
    QString f = QDir::fromNativeSeparators(folder);
    return f.endsWith('/') ? f : f + '/';
}

// One spelling per folder, so that a folder reached twice (a link, "..", a repeated entry) is read once.
QString SameFolderKey(const QString& folder) {
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(folder) : canonical;
}

} // namespace

QStringList SystemCityFolders(const QString& exeFolder, const QStringList& dataDirs, const QStringList& exclude) {
    QStringList candidates;
    if (!exeFolder.isEmpty()) candidates << WithSeparator(QDir::cleanPath(exeFolder + "../share/tessara/cities"));
    for (const QString& dir : dataDirs)
        // Relative entries would depend on the folder the program was started from.
        if (QDir::isAbsolutePath(dir)) candidates << WithSeparator(QDir::cleanPath(dir + "/tessara/cities"));

    QStringList seen, folders;
    for (const QString& f : exclude) seen << SameFolderKey(f);
    for (const QString& f : candidates) {
        const QString key = SameFolderKey(f);
        if (seen.contains(key)) continue;
        seen << key;
        folders << f;
    }
    return folders;
}

Folders Folders::System() {
    Folders f;
    f.ExeFolder = WithSeparator(QCoreApplication::applicationDirPath());
    // The first generic data location is the user's writable one (XDG_DATA_HOME on Linux).
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    f.DataFolder = WithSeparator(userData) + "Tessara/";
    f.TempFolder = WithSeparator(QDir::tempPath());
    QStringList dataDirs = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    dataDirs.removeAll(userData);
    f.SystemFolders = SystemCityFolders(f.ExeFolder, dataDirs, {f.DataFolder, f.ExeFolder});
    return f;
}
