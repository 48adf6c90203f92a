// A loaded city as JSON, with the field names of the data model: what gis-dump prints and what
// other programs and tests read.
#pragma once

#include <QJsonObject>

struct CityDb;

// Every collection and table. Coordinates are numbers in metres, colours 0x00BBGGRR integers,
// schedule times "H:mm" texts.
QJsonObject CityToJson(const CityDb& db);
// The number of entries of every collection and table.
QJsonObject CitySummaryJson(const CityDb& db);
