#include "Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

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

bool IsPrivateFolder(const QString& folder) {
#ifdef Q_OS_UNIX
    struct stat st {};
    return !folder.isEmpty() && QDir::isAbsolutePath(folder) &&
           ::lstat(QFile::encodeName(QDir::cleanPath(folder)).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
#else
    return QFileInfo(folder).isDir();
#endif
}

QString UserRuntimeFolder() {
#ifdef Q_OS_UNIX
    const QString uid = QString::number(::geteuid());
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) {
        if (IsPrivateFolder(runtime)) return WithSeparator(QDir::cleanPath(runtime));
    } else if (const QString session = QStringLiteral("/run/user/") + uid; IsPrivateFolder(session)) {
        return session + '/';
    }
    // Never the shared temporary folder: anyone could make the name first. The cache folder is in the
    // user's home.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty()) return QString();
    const QString own = cache + QStringLiteral("/Tessara/runtime-") + uid;
    QDir().mkpath(cache + QStringLiteral("/Tessara"));
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    struct stat st {};
    // A folder of ours made before with wider rights is narrowed; anything else is not used.
    if (::lstat(QFile::encodeName(own).constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) != 0)
        ::chmod(QFile::encodeName(own).constData(), 0700);
    return IsPrivateFolder(own) ? own + '/' : QString();
#else
    return WithSeparator(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
#endif
}
