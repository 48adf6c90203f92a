// Checks a whole archive before anything of it is written: the names its entries take in a folder,
// their kinds, methods and sizes. An archive that fails any check installs nothing.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class TZipFile;

struct TPlannedEntry {
    int Index = 0;
    QString Target; // below the folder, '/'-separated
    bool Folder = false;
    std::uint64_t Size = 0;
};

struct TArchivePlan {
    std::vector<TPlannedEntry> Entries; // files and folders, in archive order
    std::uint64_t TotalSize = 0;        // of the files
};

// Names starting so are the installer's own (its staging folder); no entry may take one.
inline constexpr char ReservedNamePrefix[] = ".tessara-";
// An archive is downloaded under this name until its install has run; one left by a program that
// ended in between is removed at the next start.
inline constexpr char DownloadNamePrefix[] = ".tessara-download-";

// The name an entry takes below its folder: "./" prefixes and a folder's closing "/" dropped, empty for
// the folder itself. No value, and `why` set, for a name that is empty, absolute, carries a drive,
// a backslash, a control character, or an empty, "." or ".." component.
std::optional<QString> NormalisedEntryName(const QString& stored, bool folder, QString* why = nullptr);

// Raises EZipFileError naming the first entry that cannot be installed into `folder`: an unsafe name,
// a link or device, an unsupported method, a name taken twice (letter case aside), a name that is both
// a file and a folder, a reserved or the archive's own name, a path that runs through a link or a file
// of the folder or onto one of its folders; or when the files together pass `maxTotalSize`.
// `archivePath` is the archive's own file (it may lie in the folder), empty when there is none.
TArchivePlan PlanArchive(const TZipFile& zip, const QString& folder, const QString& archivePath,
                         std::uint64_t maxTotalSize);
