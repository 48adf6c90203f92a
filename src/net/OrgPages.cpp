#include "OrgPages.h"

#include "CityDb.h"
#include "CityFile.h"
#include "CityFileError.h"
#include "ShellOpen.h"
#include "ZipFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace {
// A page still open in another program may keep its file locked for a moment; give up after a second.
constexpr int UnpackAttempts = 100;
constexpr int UnpackRetryMs = 10;
} // namespace

QString PagesFolder(const QString& tempFolder) {
    return tempFolder + QStringLiteral("pages/");
}

bool Unpack(const TPg& page, const CityFileRef& city, const QString& tempFolder, QString* error) {
    auto refuse = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (page.Name.startsWith(QLatin1String("http")))
        return refuse(QStringLiteral("The page is a web address"));
    if (!IsSafeRelativePath(page.Name))
        return refuse(QStringLiteral("The page name \"%1\" leaves the pages folder").arg(page.Name));
    if (page.size < 0 || page.size > MaxPageSize)
        return refuse(QStringLiteral("The page \"%1\" is %2 bytes long").arg(page.Name).arg(page.size));
    QByteArray bytes;
    try {
        bytes = ReadResource(city, page);
    } catch (const CityFileError& e) {
        return refuse(e.message());
    }
    const QString target = PagesFolder(tempFolder) + QString(page.Name).replace('\\', '/');
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile file(target);
    for (int attempt = 0; attempt < UnpackAttempts; ++attempt) {
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            const bool written = file.write(bytes) == bytes.size();
            file.close();
            if (written) return true;
            return refuse(QStringLiteral("Cannot write \"%1\": %2").arg(target, file.errorString()));
        }
        QThread::msleep(UnpackRetryMs);
    }
    return refuse(QStringLiteral("Cannot create \"%1\": %2").arg(target, file.errorString()));
}

void OpenOrgPage(const CityDb& db, const CityFileRef& city, int orgPos, const PageOpening& opening) {
    if (orgPos < 0 || orgPos >= int(db.Orgs.size()) || opening.Suppressed) return;
    const TOrg& org = db.Orgs[std::size_t(orgPos)];
    if (!org.page || org.page->Name.isEmpty() || org.page->Name.startsWith(QLatin1String("http"))) return;
    QDir().mkpath(PagesFolder(opening.TempFolder));
    if (!Unpack(*org.page, city, opening.TempFolder)) return;
    ShellOpen(PagesFolder(opening.TempFolder) + QString(org.page->Name).replace('\\', '/'));
}

void DeleteFolderTree(const QString& folder) {
    QDir dir(folder);
    if (!dir.exists()) return;
    const auto entries = dir.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo& entry : entries) {
        // A link is removed as a link, never followed into what it points to.
        if (entry.isSymLink() || !entry.isDir())
            QFile::remove(entry.filePath());
        else if (!entry.fileName().contains('.'))
            DeleteFolderTree(entry.filePath());
    }
    QDir().rmdir(dir.absolutePath());
}
