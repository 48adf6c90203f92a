// What the street and number pickers, the rubricator and the building search compare, prepared once
// per city and data language (rebuild it with the organisation search index).
#pragma once

#include "BuildingSearch.h"
#include "FilterList.h"
#include "HouseNumbers.h"
#include "Rubricator.h"

#include <memory>

struct PickerIndex {
    PickerIndex(const CityDb& db, int dataLang);
    PickerIndex(const PickerIndex&) = delete;
    PickerIndex& operator=(const PickerIndex&) = delete;

    // The first street whose name is `name` ignoring case, or the street listed as `name` (its town
    // after the name), -1 when none.
    int FindStreet(const QString& name) const;
    // The house numbers of the street named `name` (HouseNumbers of the number picker).
    QStringList HouseNumbers(const QString& name) const;

    const CityDb& db;
    const int dataLang;
    StreetBuildings streetBuildings;
    BuildingSearchIndex buildings;
    std::shared_ptr<const TextListSource> streets; // listed street names (StreetListNames), sorted
    RubricTreeIndex rubrics;
};
