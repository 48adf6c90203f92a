// A deterministic synthetic city: streets in a grid of blocks, buildings, areas, roads, transport,
// labels, points of interest and a directory of organisations, ready to be written by CityWriter.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

struct CityDb;
class CityWriter;

struct CityGenOptions {
    std::uint32_t seed = 1;
    int buildings = 3000;
    int streets = 60;
    int orgs = 1500;
    // Pictures are real JPEGs; large cities cap how many distinct ones are drawn.
    int maxPictures = 200;
    // A connected bus network: stops at every crossing of two avenues shared by the lines of both
    // avenues, both sides of the street served, and express lines across the whole city; otherwise short
    // separate lines along the avenues.
    bool busNetwork = false;
};

// "demo", "city" or "metropolis"; false for an unknown name.
bool CityGenPreset(const QString& name, CityGenOptions& options);

// Fills `db` (addresses hold building positions, as stored) and the writer's start section,
// pictures, pages and photos; SetCitySections then puts `db` into the writer.
void GenerateCity(const CityGenOptions& options, CityDb& db, CityWriter& w);

// Generates a city named `cityName` and writes it to `path` with its photo file beside it; `inspect`
// sees the generated city before it is released. Empty text on success, else what went wrong.
QString WriteGeneratedCity(const CityGenOptions& options, const QString& cityName, const QString& path,
                           const std::function<void(const CityDb&)>& inspect = {});
