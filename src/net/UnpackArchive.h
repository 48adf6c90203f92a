// Installing a downloaded ZIP archive: every entry is checked before anything on disk is replaced.
#pragma once

#include <QString>
#include <QStringList>

struct UnpackReport {
    bool ok = false;
    QString error;       // why nothing was installed
    QStringList written; // entry names now in the folder
    QStringList refused; // entry names that are absolute or climb out of the folder, not written
};

// Extracts the entries of `archivePath` into `folder` under their stored names, then deletes the archive.
// Entries are inflated and checked one by one into temporary files and moved into place only when all
// of them are sound, so a damaged archive leaves the folder as it was. `replaced` names files of the
// folder that go away once the archive is installed (the city file the archive supersedes).
// An archive with no entry that can be written installs nothing and is an error.
UnpackReport UnpackArchive(const QString& archivePath, const QString& folder,
                           const QStringList& replaced = {});
