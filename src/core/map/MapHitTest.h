// What lies under a point of the map: the hit test of a click, in the order the map is drawn from the top
// (metro entrances, found and selected stops, point-of-interest icons, buildings, other stops, streets,
// areas, districts), each object as large as it is drawn.
#pragma once

#include "MapObjects.h"

#include <QPoint>
#include <functional>
#include <vector>

struct CityDb;
struct MapDisplay;
class MapView;

// Crossing rule: inside when the crossings strictly left and strictly right of the point are both odd,
// so a point exactly on an edge is outside. A last point repeating the first adds no closing edge.
bool InsidePolygon(const std::vector<QPoint>& polygon, int px, int py);

// Whether a street's painted test stroke covers image pixel (x, y). The painting lives in render.
using StreetPixelTest = std::function<bool(const TStreet& street, int x, int y)>;

struct HitOptions {
    bool flat = false; // no heights: walls and roofs are not hit
    bool metro = true; // metro stations are hit when zoomed out
};

// Each OnClick activates the object on a hit and deactivates it otherwise.
bool OnClick(TBuilding& b, const MapView& v, const TColorScheme& s, bool flat, int x, int y);
bool OnClick(TField& f, const MapView& v, const TColorScheme& s, int x, int y);
// A stop is hit within its radius or, `reach` > 0, within that many world units (its drawn circle).
bool OnClick(TBusStop& st, const TColorScheme& s, float wx, float wy, float reach = 0);
// The radius in pixels the map draws a stop's circle with; `special` for found, selected and metro stops.
int StopDrawnRadius(const TBusStop& st, const MapView& v, bool special);
bool OnClick(TPOI& p, const MapView& v, const TColorScheme& s, float wx, float wy);
bool OnClick(TStreet& st, const TColorScheme& s, const StreetPixelTest& test, int x, int y);

class MapHitTest {
public:
    TObjType HitKind = otNone;
    int HitIndex = -1;

    // The object under image position (x, y): sets HitKind, HitIndex and display.FoundZones.
    void HitTest(CityDb& db, const MapView& v, MapDisplay& display, const TColorScheme& s,
                 const HitOptions& o, const StreetPixelTest& streetTest, int x, int y);
    // Deactivates the object of the last hit and forgets it (a new city, a cleared selection).
    void Forget(CityDb& db);
};
