#include "ArchivePlan.h"

#include "ZipFile.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringList>
#include <sys/stat.h>

namespace {

// What lies at `path` without following a link there: 0 for nothing, else the st_mode type bits.
mode_t KindAt(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return 0;
    return st.st_mode & S_IFMT;
}

QString Folded(const QString& name) {
    return name.toCaseFolded();
}

} // namespace

std::optional<QString> NormalisedEntryName(const QString& stored, bool folder, QString* why) {
    auto refuse = [&](const QString& reason) -> std::optional<QString> {
        if (why) *why = reason;
        return std::nullopt;
    };
    if (stored.isEmpty()) return refuse(QStringLiteral("has an empty name"));
    for (const QChar ch : stored)
        if (ch.unicode() < 0x20 || ch.unicode() == 0x7F)
            return refuse(QStringLiteral("has a control character in its name"));
    if (stored.contains('\\')) return refuse(QStringLiteral("has a backslash in its name"));
    // "C:", "C:foo" and alternate streams all carry a colon.
    if (stored.contains(':')) return refuse(QStringLiteral("names a drive"));
    if (stored.startsWith('/')) return refuse(QStringLiteral("has an absolute name"));
    QString name = stored;
    while (name.startsWith(QLatin1String("./")))
        name.remove(0, 2);
    if (folder && name.endsWith('/')) name.chop(1);
    if (name.isEmpty()) {
        if (folder) return QString(); // the folder itself, as "./" names it
        return refuse(QStringLiteral("has no name of its own"));
    }
    for (const QString& part : name.split('/')) {
        if (part.isEmpty()) return refuse(QStringLiteral("has an empty folder name in it"));
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return refuse(QStringLiteral("has \"%1\" in its name").arg(part));
    }
    return name;
}

TArchivePlan PlanArchive(const TZipFile& zip, const QString& folder, const QString& archivePath,
                         std::uint64_t maxTotalSize) {
    TArchivePlan plan;
    const QString root = QDir(folder).absolutePath() + '/';
    // The archive's own name inside the folder, if it lies there.
    QString archiveName;
    if (!archivePath.isEmpty()) {
        const QString relative = QDir(root).relativeFilePath(QFileInfo(archivePath).absoluteFilePath());
        if (!relative.startsWith(QLatin1String("../")) && relative != QLatin1String(".."))
            archiveName = Folded(relative);
    }

    enum Kind { File, Folder };
    QHash<QString, Kind> taken; // by folded name, explicit entries and the folders their paths imply
    for (int i = 0; i < zip.EntryCount(); ++i) {
        const TZipEntry& entry = zip.Entries[std::size_t(i)];
        const QString stored = zip.EntryFileName(i);
        auto refuse = [&](const QString& why) {
            return EZipFileError(QStringLiteral("The entry \"%1\" %2").arg(stored, why));
        };
        if (entry.IsSymlink()) throw refuse(QStringLiteral("is a symbolic link"));
        if (entry.IsSpecial()) throw refuse(QStringLiteral("is not a plain file"));
        const bool isFolder = entry.IsFolder();
        QString why;
        const std::optional<QString> name = NormalisedEntryName(stored, isFolder, &why);
        if (!name) throw refuse(why);
        if (isFolder && entry.UncompressedSize != 0) throw refuse(QStringLiteral("is a folder with data"));
        if (name->isEmpty()) continue;
        if (const QString problem = zip.UnpackProblem(i); !problem.isEmpty()) throw EZipFileError(problem);

        const QString folded = Folded(*name);
        if (folded.startsWith(QLatin1String(ReservedNamePrefix)))
            throw refuse(QStringLiteral("takes a name the installer keeps for itself"));
        if (folded == archiveName) throw refuse(QStringLiteral("takes the name of the archive"));

        const QStringList parts = name->split('/');
        const Kind kind = isFolder ? Folder : File;
        // The folders above the entry, then the entry itself.
        QString path;
        for (int k = 0; k < parts.size(); ++k) {
            path += (k ? "/" : "") + parts[k];
            const bool last = k == parts.size() - 1;
            const Kind want = last ? kind : Folder;
            const QString key = Folded(path);
            const auto seen = taken.constFind(key);
            if (seen != taken.cend()) {
                if (*seen != want) throw refuse(QStringLiteral("is both a file and a folder"));
                if (last && kind == File) throw refuse(QStringLiteral("appears twice"));
                continue;
            }
            taken.insert(key, want);
            // What the folder holds now must let the entry in without a link being followed.
            const mode_t there = KindAt(root + path);
            if (there == S_IFLNK && !(last && kind == File))
                throw refuse(QStringLiteral("leads through the link \"%1\" of the folder").arg(path));
            if (there != 0 && there != S_IFLNK && (there == S_IFDIR) != (want == Folder))
                throw refuse(want == Folder
                                 ? QStringLiteral("needs a folder where the file \"%1\" is").arg(path)
                                 : QStringLiteral("would replace the folder \"%1\"").arg(path));
        }

        plan.Entries.push_back({i, *name, isFolder, isFolder ? 0 : entry.UncompressedSize});
        if (!isFolder) {
            if (entry.UncompressedSize > maxTotalSize - std::min(maxTotalSize, plan.TotalSize))
                throw EZipFileError(
                    QStringLiteral("The archive unpacks to more than %1 MB").arg(maxTotalSize >> 20));
            plan.TotalSize += entry.UncompressedSize;
        }
    }
    bool anyFile = false;
    for (const TPlannedEntry& e : plan.Entries)
        anyFile = anyFile || !e.Folder;
    if (!anyFile) throw EZipFileError(QStringLiteral("The archive holds no file"));
    return plan;
}
