// The state map objects derive from their records (boxes, the world box, 3D boxes, shared walls,
// colours, label widths), computed exactly as the map section loader computes it.
#pragma once

#include "MapColors.h"

struct CityDb;

// Recomputes every derived field of the map objects of a city built in memory (generator, importer,
// tests), so that it equals what loading its written file gives. Throws std::invalid_argument for
// content no file may hold: an area without points, a route through a stop id no stop has.
void CompleteMapObjects(CityDb& db, const MapStyle& style);

// Two points are one when both coordinates differ by less than this (shared walls).
constexpr float SamePointTolerance = 0.001f;
