#include "UnpackArchive.h"

#include "ZipFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <utility>
#include <vector>

UnpackReport UnpackArchive(const QString& archivePath, const QString& folder, const QStringList& replaced) {
    UnpackReport report;
    std::vector<std::pair<QString, QString>> staged; // temporary file, target
    auto discard = [&] {
        for (const auto& s : staged)
            QFile::remove(s.first);
        staged.clear();
    };
    const QString root = QDir(folder).absolutePath() + '/';
    try {
        TZipFile zip;
        zip.LoadFromFile(archivePath);
        for (int i = 0; i < zip.EntryCount(); ++i) {
            const QString name = zip.EntryFileName(i);
            if (!IsSafeRelativePath(name)) {
                report.refused << name;
                continue;
            }
            const QString relative = QString(name).replace('\\', '/');
            if (relative.endsWith('/')) continue; // a folder entry: folders come with the files in them
            const QByteArray data = zip.EntryData(i);
            const QString target = QDir::cleanPath(root + relative);
            QDir().mkpath(QFileInfo(target).absolutePath());
            const QString temp = target + QStringLiteral(".tessara-part");
            QFile out(temp);
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(data) != data.size()) {
                report.error = QStringLiteral("Cannot write \"%1\": %2").arg(temp, out.errorString());
                out.close();
                QFile::remove(temp);
                discard();
                QFile::remove(archivePath);
                return report;
            }
            out.close();
            staged.emplace_back(temp, target);
            report.written << relative;
        }
    } catch (const EZipFileError& e) {
        report.error = e.message();
        report.written.clear();
        discard();
        QFile::remove(archivePath);
        return report;
    }
    if (staged.empty()) {
        report.error = QStringLiteral("The archive \"%1\" holds no file that can be installed")
                           .arg(QFileInfo(archivePath).fileName());
        report.written.clear();
        QFile::remove(archivePath);
        return report;
    }
    for (const QString& old : replaced) {
        bool overwritten = false;
        for (const auto& s : staged)
            overwritten = overwritten || QFileInfo(s.second) == QFileInfo(old);
        if (!overwritten) QFile::remove(old);
    }
    for (const auto& [temp, target] : staged) {
        std::error_code ec;
        // A rename over the old file replaces it in one step: readers see the old or the new file.
        std::filesystem::rename(std::filesystem::path(temp.toStdU16String()),
                                std::filesystem::path(target.toStdU16String()), ec);
        if (ec) {
            report.ok = false;
            report.error =
                QStringLiteral("Cannot replace \"%1\": %2").arg(target, QString::fromStdString(ec.message()));
            QFile::remove(temp);
        }
    }
    if (report.error.isEmpty()) report.ok = true;
    QFile::remove(archivePath);
    return report;
}
