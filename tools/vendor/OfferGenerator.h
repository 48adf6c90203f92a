// Plausible real-estate offers for a generated city: real building ids, streets and estate agencies
// of that city, so that the program's estate window finds them on the map.
#pragma once

#include "OfferStore.h"

struct CityDb;

// `count` offers of the city `engName`, the same for the same seed.
std::vector<StoredOffer> GenerateOffers(const CityDb& db, const QString& engName, int count, quint32 seed);
