#include "Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace {

QString WithSeparator(const QString& folder) {
    QString f = QDir::fromNativeSeparators(folder);
    return f.endsWith('/') ? f : f + '/';
}

} // namespace

Folders Folders::System() {
    Folders f;
    f.ExeFolder = WithSeparator(QCoreApplication::applicationDirPath());
    // The first generic data location is the user's writable one (XDG_DATA_HOME on Linux).
    f.DataFolder = WithSeparator(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) + "Tessara/";
    f.TempFolder = WithSeparator(QDir::tempPath());
    return f;
}
