#include "UnpackArchive.h"

#include "ArchivePlan.h"
#include "InstallTransaction.h"
#include "ZipFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace {

// Writes the whole buffer or raises, naming the entry.
void WriteAllTo(int fd, const char* data, qsizetype size, const QString& name) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(size));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw EZipFileError(QStringLiteral("Cannot write \"%1\": %2").arg(name, qt_error_string(errno)));
        }
        data += n;
        size -= n;
    }
}

// Unpacks every file of the plan into the staging folder; returns the staged ids in plan order.
std::vector<int> StageFiles(const TZipFile& zip, const TArchivePlan& plan, TInstallTransaction& t,
                            const UnpackOptions& options) {
    std::vector<int> ids(plan.Entries.size(), -1);
    std::uint64_t done = 0;
    for (std::size_t k = 0; k < plan.Entries.size(); ++k) {
        const TPlannedEntry& e = plan.Entries[k];
        if (e.Folder) continue;
        int fd = -1;
        if (const QString why = t.Stage(ids[k], fd); !why.isEmpty()) throw EZipFileError(why);
        struct Closer {
            int fd;
            ~Closer() { ::close(fd); }
        } closer{fd};
        // A file is judged before the rest of it is written: a bomb under the right name stops early.
        QByteArray head;
        bool judged = !options.CheckFile;
        auto judge = [&] {
            judged = true;
            if (const QString why = options.CheckFile(e.Target, head); !why.isEmpty())
                throw EZipFileError(QStringLiteral("\"%1\" %2").arg(e.Target, why));
        };
        zip.ExtractEntry(e.Index, [&](const char* data, qsizetype size) {
            if (!judged) {
                head.append(data, std::min(size, UnpackOptions::CheckedHeadSize - head.size()));
                if (head.size() == UnpackOptions::CheckedHeadSize) judge();
            }
            WriteAllTo(fd, data, size, e.Target);
            done += std::uint64_t(size);
            if (options.Progress) options.Progress(done, plan.TotalSize);
        });
        if (!judged) judge();
        // The file is on the disk before it replaces anything.
        if (::fsync(fd) != 0)
            throw EZipFileError(
                QStringLiteral("Cannot write \"%1\": %2").arg(e.Target, qt_error_string(errno)));
    }
    return ids;
}

} // namespace

UnpackReport InstallArchive(const TZipFile& zip, const QString& folder, const QStringList& supersedes,
                            const UnpackOptions& options, const QString& archivePath) {
    UnpackReport report;
    const QString root = QDir(folder).absolutePath();
    QStringList superseded;
    for (const QString& path : supersedes) {
        const QString relative = QDir(root).relativeFilePath(QFileInfo(path).absoluteFilePath());
        if (relative.startsWith(QLatin1String("../")) || relative == QLatin1String("..") ||
            relative == QLatin1String(".")) {
            report.error = QStringLiteral("\"%1\" is not in the folder \"%2\"").arg(path, root);
            return report;
        }
        superseded << relative;
    }

    TInstallTransaction t(root);
    QStringList targets;
    try {
        const TArchivePlan plan = PlanArchive(zip, root, archivePath, options.MaxTotalSize);
        // An archive without the city it replaces would take the city away and bring nothing.
        for (const QString& old : superseded)
            if (std::none_of(plan.Entries.cbegin(), plan.Entries.cend(),
                             [&](const TPlannedEntry& e) { return !e.Folder && e.Target == old; }))
                throw EZipFileError(QStringLiteral("The archive does not hold \"%1\"").arg(old));
        if (const QString why = t.Begin(plan.TotalSize); !why.isEmpty()) throw EZipFileError(why);
        const std::vector<int> ids = StageFiles(zip, plan, t, options);
        for (std::size_t k = 0; k < plan.Entries.size(); ++k) {
            const TPlannedEntry& e = plan.Entries[k];
            const QString why = e.Folder ? t.MakeFolder(e.Target) : t.Swap(ids[k], e.Target);
            if (!why.isEmpty()) throw EZipFileError(why);
            if (!e.Folder) targets << e.Target;
        }
    } catch (const EZipFileError& e) {
        report.error = e.message();
        if (const QString lost = t.Rollback(); !lost.isEmpty()) report.error += QStringLiteral(". ") + lost;
        return report;
    }
    t.Commit();
    report.ok = true;
    report.written = targets;
    return report;
}

UnpackReport UnpackArchive(const QString& archivePath, const QString& folder, const QStringList& replaced,
                           const UnpackOptions& options) {
    UnpackReport report;
    {
        TZipFile zip;
        try {
            zip.LoadFromFile(archivePath);
            report = InstallArchive(zip, folder, replaced, options, archivePath);
        } catch (const EZipFileError& e) {
            report.error = e.message();
        }
    }
    if (!report.ok)
        report.error = QStringLiteral("Nothing was installed from \"%1\": %2")
                           .arg(QFileInfo(archivePath).fileName(), report.error);
    QFile::remove(archivePath);
    return report;
}
