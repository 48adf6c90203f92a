// Installing a downloaded ZIP archive as one transaction: the whole archive is checked, every entry
// unpacked and checked into a private staging folder, and only then are the files swapped in; any
// failure puts the folder back as it was.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class TZipFile;

struct UnpackReport {
    bool ok = false;     // every file of the archive is in the folder
    QString error;       // why nothing was installed
    QStringList written; // file names now in the folder, below it
};

struct UnpackOptions {
    // All entries of one archive together unpack to at most this: a city with its photos is far below.
    static constexpr std::uint64_t DefaultMaxTotalSize = 8ull << 30;
    std::uint64_t MaxTotalSize = DefaultMaxTotalSize;
    // Called as bytes are unpacked (for a progress bar that keeps the window alive).
    std::function<void(std::uint64_t done, std::uint64_t total)> Progress;
    // Judges a file by its first bytes (up to CheckedHeadSize, fewer for a shorter file) as soon as they
    // are unpacked: a text refuses the whole archive, empty lets the file in.
    static constexpr qsizetype CheckedHeadSize = 4096;
    std::function<QString(const QString& target, const QByteArray& head)> CheckFile;
};

// Installs the entries of `archivePath` into `folder` under their stored names, then deletes the
// archive, installed or not. `supersedes` names files of the folder that the archive replaces (the city
// file): an archive that does not bring each of them, under the same name, installs nothing.
UnpackReport UnpackArchive(const QString& archivePath, const QString& folder,
                           const QStringList& supersedes = {}, const UnpackOptions& options = {});

// The same for an archive already open; `archivePath` (may be empty) is its file, a name no entry may take.
UnpackReport InstallArchive(const TZipFile& zip, const QString& folder, const QStringList& supersedes,
                            const UnpackOptions& options, const QString& archivePath = {});
