// The OpenStreetMap importer: reads an .osm.pbf or .osm file with libosmium and builds a whole city
// (map objects, directory and rubrics) ready for CityWriter.
#pragma once

#include "CityDb.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

struct OsmImportOptions {
    // Data languages in order: "local" is the `name` tag, any other code xx the `name:xx` tag.
    QStringList languages = {QStringLiteral("local"), QStringLiteral("en")};
    QString cityName; // empty: the name of the main place in the data, else the file name
};

// Figures of an import: what the city holds and what could not be mapped.
struct OsmImportReport {
    std::int64_t nodes = 0, ways = 0, relations = 0;
    int namedStreets = 0;
    int buildings = 0, buildingsWithHeight = 0, buildingsWithNumber = 0;
    int orgs = 0, orgsWithBuilding = 0, orgsWithPhone = 0, orgsWithSchedule = 0;
    int routes = 0, routesWithStops = 0, stops = 0;
    int districts = 0, fields = 0, roads = 0, texts = 0, pois = 0;
    int districtLevel = 0;        // the administrative level whose areas are the districts; 0 none
    int labelledStreets = 0;      // named streets with their name on the map
    double labelMilliseconds = 0; // time spent placing labels
    // Features no rule maps, by their main tag ("natural=tree").
    std::map<QString, int> unmapped;
    // Parts of features that were left out or changed, with the reason ("opening hours that do not fit a
    // week").
    std::map<QString, int> notes;
};

struct OsmImportResult {
    CityDb db; // addresses hold building positions, as stored
    QString CityName;
    QString ReleaseDate; // "dd.MM.yyyy": the newest object of the data
    OsmImportReport report;
};

constexpr const char* OsmAttribution = "Map data © OpenStreetMap contributors";

// Throws std::runtime_error when the input cannot be read (missing file, damaged data).
OsmImportResult ImportOsm(const QString& inputPath, const OsmImportOptions& options = {});

// Writes the city file; an empty text on success, else what went wrong.
QString WriteOsmCity(const OsmImportResult& result, const QString& outputPath);
