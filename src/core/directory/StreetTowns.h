// Streets of one name in several towns, told apart. The city file has no field for a street's town, so it
// is worked out when a city's search indexes are built: the district area (a town of an imported
// country, a quarter of a city) that holds most of the street, else the nearest one.
#pragma once

#include "CityDb.h"

#include <QStringList>

// The names of Streets as the street lists show them and searches take them, in Streets order: a name
// no other street shares as it stands; a shared one with its town after StreetTownSeparator
// ("Landstrasse — Triesen"), and with a number after that where one town holds two of them.
QStringList StreetListNames(const CityDb& db, int dataLang);

// The district area that holds most of street `s` (sampled along it), else the one nearest to it;
// -1 when the city has no districts.
int StreetDistrict(const CityDb& db, int s);
