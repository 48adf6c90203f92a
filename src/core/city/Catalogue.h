// The city catalogue: installed city files found in the user's data folder, the all-users folders and the
// program folder.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

struct TCity {
    QString path;     // folder holding the file, with a trailing separator
    QString FileName; // e.g. "Moscow.gis"
    QString EngName;  // FileName without its extension
    QString CityName;
    QString ReleaseDate;               // "dd.MM.yyyy"
    QString FotoDate = "01.01.2000";   // "dd.MM.yyyy"; this text when unknown
    double dt = 0;                     // ReleaseDate as days since 30 December 1899
    std::int32_t dfv = 0;
    std::int32_t offset0 = 0;
    std::int32_t offset1 = 0;
    std::int32_t offset2 = 0;
    std::int32_t offset3 = 0;
    // The photo file in use when it is not the one beside the city file: a newer one the user's updates
    // put in the data folder for a city installed elsewhere.
    QString FotoFile;

    QString FilePath() const { return path + FileName; }
    QString FotoPath() const { return FotoFile.isEmpty() ? path + EngName + ".img" : FotoFile; }
};

// Date texts as stored ("dd.MM.yyyy") and day numbers counted from 30 December 1899.
std::optional<double> DateTextToDays(const QString& text);
QString DaysToDateText(std::int32_t days);

// The entry a city file gives; `readFotoDate` looks at the photo file beside it.
// Nothing when the header does not read or its release date is not a date.
std::optional<TCity> CityEntryFromFile(const QString& folder, const QString& fileName, bool readFotoDate);

// Scans the folders (each with a trailing separator; empty or missing folders add nothing): every city of
// the data folder, with its photo date; then each all-users folder and the program folder, where a city
// already listed is replaced only by a copy with a later release date. Photo files are shipped beside the
// all-users copies, so those keep their photo dates; a program folder copy's photo date is unknown.
// A photo file of the same name in the data folder that is newer than the kept copy's (an update the
// user fetched for a city installed for all users) is the one used and dated.
std::vector<TCity> BuildCatalogue(const QString& dataFolder, const QStringList& systemFolders,
                                  const QString& exeFolder);
inline std::vector<TCity> BuildCatalogue(const QString& dataFolder, const QString& exeFolder) {
    return BuildCatalogue(dataFolder, {}, exeFolder);
}

// Index of the first entry whose CityName equals `name` exactly, or -1.
int FindCity(const std::vector<TCity>& cities, const QString& name);
