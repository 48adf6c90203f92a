#include "CityLoad.h"

#include "DirectoryRecords.h"

void LoadCityData(CityDb& db, const CityFileRef& city, const MapStyle& style, const ProgressStep& step) {
    LoadStartSection(db, city);
    LoadDirectorySection(db, city, step);
    LoadMapSection(db, city, style, step);
    LoadRubricSection(db, city);
    LoadPhotoIndex(db, city);
    ResolveOrgAddresses(db);
    BuildEstateAgents(db);
}
