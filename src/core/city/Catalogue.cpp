#include "Catalogue.h"

#include "CityHeader.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <utility>

namespace {

const QDate DayZero(1899, 12, 30);

QStringList CityFilesIn(const QString& folder) {
    if (folder.isEmpty()) return {};
    QDir dir(folder);
    if (!dir.exists()) return {};
    // Hidden and system files count too, and the extension matches in any letter case.
    return dir.entryList({QStringLiteral("*.gis")},
                         QDir::Files | QDir::Hidden | QDir::System | QDir::Readable,
                         QDir::Name);
}

std::optional<std::int32_t> ReadFotoDay(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray b = f.read(4);
    if (b.size() < 4) return std::nullopt;
    auto p = reinterpret_cast<const unsigned char*>(b.constData());
    return static_cast<std::int32_t>(std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                                     (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24));
}

// A later folder's copy of a city already listed replaces it only when its release is later.
void AddNewerCopies(std::vector<TCity>& cities, const QString& folder, bool readFotoDate) {
    for (const QString& name : CityFilesIn(folder)) {
        auto c = CityEntryFromFile(folder, name, readFotoDate);
        if (!c) continue;
        int i = FindCity(cities, c->CityName);
        if (i < 0)
            cities.push_back(std::move(*c));
        else if (c->dt > cities[i].dt)
            cities[i] = std::move(*c);
    }
}

} // namespace

std::optional<double> DateTextToDays(const QString& text) {
    QDate d = QDate::fromString(text, QStringLiteral("dd.MM.yyyy"));
    if (!d.isValid()) return std::nullopt;
    return static_cast<double>(DayZero.daysTo(d));
}

QString DaysToDateText(std::int32_t days) { return DayZero.addDays(days).toString(QStringLiteral("dd.MM.yyyy")); }

std::optional<TCity> CityEntryFromFile(const QString& folder, const QString& fileName, bool readFotoDate) {
    auto header = ReadCityHeader(folder + fileName);
    if (!header) return std::nullopt;
    // A release date that is not a date cannot be compared or shown: such a file is left out.
    auto days = DateTextToDays(header->ReleaseDate);
    if (!days) return std::nullopt;
    TCity c;
    c.path = folder;
    c.FileName = fileName;
    c.EngName = fileName.left(fileName.size() - 4);
    c.CityName = header->CityName;
    c.ReleaseDate = header->ReleaseDate;
    c.dt = *days;
    c.dfv = header->dfv;
    c.offset0 = header->offset0;
    c.offset1 = header->offset1;
    c.offset2 = header->offset2;
    c.offset3 = header->offset3;
    if (readFotoDate)
        if (auto day = ReadFotoDay(c.FotoPath())) c.FotoDate = DaysToDateText(*day);
    return c;
}

std::vector<TCity> BuildCatalogue(const QString& dataFolder, const QStringList& systemFolders,
                                  const QString& exeFolder) {
    std::vector<TCity> cities;
    for (const QString& name : CityFilesIn(dataFolder))
        if (auto c = CityEntryFromFile(dataFolder, name, true)) cities.push_back(std::move(*c));
    for (const QString& folder : systemFolders) AddNewerCopies(cities, folder, true);
    AddNewerCopies(cities, exeFolder, false);
    if (!dataFolder.isEmpty())
        for (TCity& c : cities) {
            if (c.path == dataFolder) continue;
            const QString userFoto = dataFolder + c.EngName + QStringLiteral(".img");
            const auto day = ReadFotoDay(userFoto);
            const auto kept = DateTextToDays(c.FotoDate);
            if (!day || (kept && *day <= *kept)) continue;
            c.FotoFile = userFoto;
            c.FotoDate = DaysToDateText(*day);
        }

    // Selection sort by UTF-16 code units; a later entry wins only when strictly smaller.
    for (size_t i = 0; i + 1 < cities.size(); ++i) {
        size_t min = i;
        for (size_t j = i + 1; j < cities.size(); ++j)
            if (QString::compare(cities[j].CityName, cities[min].CityName, Qt::CaseSensitive) < 0) min = j;
        if (min != i) std::swap(cities[i], cities[min]);
    }
    return cities;
}

int FindCity(const std::vector<TCity>& cities, const QString& name) {
    for (size_t i = 0; i < cities.size(); ++i)
        if (cities[i].CityName == name) return static_cast<int>(i);
    return -1;
}
