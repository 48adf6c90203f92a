// Finding buildings by name, material, purpose, district, street and house number (the object tab),
// the lists that tab offers, and where the map flies to show found buildings or a street.
// BuildingSearchIndex prepares per city and data language what the tests compare and gives exactly the
// result of the plain walk FindBuildingsByCriteria.
#pragma once

#include "CityDb.h"
#include "HouseNumbers.h"
#include "MapView.h"
#include "OrgSearch.h"
#include "TextColumn.h"

#include <QHash>
#include <QStringList>
#include <unordered_map>
#include <vector>

// The criteria as read from the object tab; texts are lower-cased, an empty text or 0 is no criterion.
struct BuildingCriteria {
    QString Name{}, Street{}, Number{};
    int Material = 0; // TBuildingMaterial
    int Purpose = 0;  // position in BuildingTypeNames
    Tai Districts{};  // district fields the building's centre must lie in (any of them); empty is any

    bool Any() const {
        return !Name.isEmpty() || !Street.isEmpty() || !Number.isEmpty() || Material || Purpose ||
               !Districts.empty();
    }
};

// A language set's text in `lang`, else its first.
inline QString LangOrFirst(const Tas& set, int lang) {
    return set.value(lang, set.value(0));
}

// The lists of the object tab in `dataLang`: materials 1 .. n-1 (item i is material i + 1), purposes
// 1 .. n-1, and the captions of the district areas that lead Fields (one caption once in a row).
QStringList MaterialItems(const CityDb& db, int dataLang);
QStringList PurposeItems(const CityDb& db, int dataLang);
QStringList DistrictItems(const CityDb& db, int dataLang);
// The position in BuildingTypeNames whose text is exactly `text`, 0 when none.
int PurposeOf(const CityDb& db, const QString& text, int dataLang);
// Every district area whose caption equals `text` ignoring case.
Tai DistrictsNamed(const CityDb& db, const QString& text, int dataLang);

// Whether a world point lies inside an area's outline (even-odd rule).
bool InsideField(const TField& field, TCoord p);

// The plain walk of Buildings: every building passing name, material, purpose, street, number,
// district and radius, in Buildings order.
std::vector<int> FindBuildingsByCriteria(const CityDb& db, const BuildingCriteria& c,
                                         const RadiusCircle& radius, int dataLang);

class BuildingSearchIndex {
public:
    BuildingSearchIndex(const CityDb& db, const StreetBuildings& byStreet, int dataLang);
    std::vector<int> Find(const BuildingCriteria& c, const RadiusCircle& radius) const;
    // Streets whose name in the data language, lower-cased, is `lower`, or the one street whose listed
    // name (StreetListNames) it is; ascending.
    const std::vector<int>& StreetsNamed(const QString& lower) const;
    // StreetListNames of the city in the data language.
    const QStringList& StreetListNames() const { return streetListNames_; }

private:
    // Buildings whose centre lies in the district area, ascending; worked out on first use and kept.
    const std::vector<int>& InDistrict(int field) const;

    const CityDb& db_;
    const StreetBuildings& byStreet_;
    int dataLang_;
    std::vector<std::uint8_t> material_, tip_;
    std::vector<std::int32_t> numberId_;   // -1 for a building without a number
    QHash<QString, std::int32_t> numbers_; // lower-cased number -> id
    std::vector<int> captioned_;           // buildings with a caption, ascending
    TextColumn captions_;                  // their lower-cased captions, row by row
    QHash<QString, std::vector<int>> streetsByLower_;
    QStringList streetListNames_;
    mutable std::unordered_map<int, std::vector<int>> districts_;
};

// Found buildings on the map: the middle of their joint box (3D extents), with a scale that fits the box
// into two thirds of the map's width and of its height, at least 0.5 and at most the full-city scale.
ZoomTarget FoundBuildingsTarget(const CityDb& db, const std::vector<int>& buildings, int mapWidth,
                                int mapHeight, float fullScale);
// A street fitted into the map by its box, with the 0.01 the map adds, between the smallest scale and
// the full-city scale.
ZoomTarget StreetTarget(const TStreet& street, int mapWidth, int mapHeight, float fullScale);
