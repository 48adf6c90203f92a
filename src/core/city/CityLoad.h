// The data part of loading a city, in the program's order: start, directory, map and rubric sections,
// the photo index, address resolution and the estate agencies.
#pragma once

#include "CityFile.h"

// Throws CityFileError for a damaged or unreadable file; `db` is then partly filled and must be dropped.
void LoadCityData(CityDb& db, const CityFileRef& city, const MapStyle& style, const ProgressStep& step = {});
