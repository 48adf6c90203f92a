// The colour state of map objects: found by a search, lost again, selected by a click.
// Change `color` and `IsFound` only through these functions (or call TouchObjectState after a bulk
// change such as recolouring): the renderer caches which objects are found or selected by this version.
#pragma once

#include "MapObjects.h"

#include <cstdint>

// Rises with every change of an object's colour state.
std::uint64_t ObjectStateVersion();
void TouchObjectState();

struct CityDb;

void Found(TCommonObj& o);
void Lost(TCommonObj& o);
void Activate(TCommonObj& o, const TColorScheme& s);
void Deactivate(TCommonObj& o);

// Streets keep `Visible` in step: only found or selected streets are drawn.
void Found(TStreet& o);
void Lost(TStreet& o);
void Activate(TStreet& o, const TColorScheme& s);
void Deactivate(TStreet& o);

// A found route also marks every stop it serves as found.
void Found(TBusWay& way, CityDb& db);

// Selected means drawn in the active colour.
inline bool IsSelected(const TCommonObj& o, const TColorScheme& s) { return o.color == s.ActiveColor; }

// Lost on every street, stop, building and route.
void ClearFound(CityDb& db);
