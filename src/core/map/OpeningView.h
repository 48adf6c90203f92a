// Where a city opens. An extract cut by a box (a country by its rectangle, an island state with its
// sea) is mostly empty: the first view then shows the built-up area rather than the whole box.
#pragma once

#include "MapView.h"

struct CityDb;

// The view of the buildings' area (its outer hundredths of buildings left out), when that area covers
// less than half of the world's box; nothing otherwise (or without buildings), and the whole city opens.
bool BuiltUpView(const CityDb& db, const MapView& view, ZoomTarget& target);

// Sets `view` to BuiltUpView when there is one; the caller redraws.
void OpenAtBuiltUpArea(const CityDb& db, MapView& view);
