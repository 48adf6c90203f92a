#include "MapHitTest.h"

#include "CityDb.h"
#include "MapDisplay.h"
#include "MapView.h"
#include "ObjectState.h"

#include <algorithm>
#include <cmath>

bool InsidePolygon(const std::vector<QPoint>& polygon, int px, int py) {
    int n = int(polygon.size());
    if (n >= 2 && polygon.front() == polygon.back()) --n; // the closing edge is already there
    if (n < 2) return false;
    int left = 0, right = 0;
    for (int i = 0; i < n; ++i) {
        const QPoint a = polygon[i];
        const QPoint b = polygon[(i + 1) % n];
        if (!((a.y() <= py && py < b.y()) || (b.y() <= py && py < a.y()))) continue;
        const double x = a.x() + double(b.x() - a.x()) * (py - a.y()) / double(b.y() - a.y());
        if (x < px)
            ++left;
        else if (x > px)
            ++right;
    }
    return (left % 2 == 1) && (right % 2 == 1);
}

namespace {

// Outlines come as float vectors or as a building's packed points.
template <class Points> void ToScreen(const MapView& v, const Points& shape, std::vector<QPoint>& out) {
    out.resize(shape.size());
    for (size_t i = 0; i < shape.size(); ++i) {
        int x, y;
        const TCoord c = shape[i];
        v.WorldToScreen(c.x, c.y, x, y);
        out[i] = QPoint(x, y);
    }
}

template <class Obj> bool Mark(Obj& o, const TColorScheme& s, bool hit) {
    if (hit)
        Activate(o, s);
    else
        Deactivate(o);
    return hit;
}

bool HitsBuilding(const TBuilding& b, const MapView& v, bool flat, int x, int y) {
    std::vector<QPoint> poly, quad(4);
    for (const TShapeView& sh : b.shapes) {
        if (sh.shape.empty()) continue;
        ToScreen(v, sh.shape, poly);
        if (InsidePolygon(poly, x, y)) return true;
        if (flat || sh.high == 0 || !v.HeightsShown()) continue;
        const QPoint d(v.ToPixels(sh.high / 4.0f), -v.ToPixels(float(sh.high)));
        const int n = int(poly.size());
        for (int j = 0; j < n; ++j) {
            if (j >= int(sh.visSide.size()) || !sh.visSide[j]) continue;
            const QPoint pj = poly[j], pn = poly[(j + 1) % n];
            quad = {pj + d, pj, pn, pn + d};
            if (InsidePolygon(quad, x, y)) return true;
        }
        for (QPoint& p : poly)
            p += d;
        if (InsidePolygon(poly, x, y)) return true;
    }
    return false;
}

} // namespace

bool OnClick(TBuilding& b, const MapView& v, const TColorScheme& s, bool flat, int x, int y) {
    return Mark(b, s, HitsBuilding(b, v, flat, x, y));
}

bool OnClick(TField& f, const MapView& v, const TColorScheme& s, int x, int y) {
    std::vector<QPoint> poly;
    ToScreen(v, f.shape, poly);
    return Mark(f, s, InsidePolygon(poly, x, y));
}

bool OnClick(TBusStop& st, const TColorScheme& s, float wx, float wy, float reach) {
    return Mark(st, s, std::hypot(double(wx) - st.x, double(wy) - st.y) < std::max(float(st.Radius), reach));
}

int StopDrawnRadius(const TBusStop& st, const MapView& v, bool special) {
    const int r = std::max(v.ToPixels(st.Radius), 4);
    return special ? std::max(r, 6) : r;
}

bool OnClick(TPOI& p, const MapView& v, const TColorScheme& s, float wx, float wy) {
    return Mark(p, s, std::hypot(double(wx) - p.x, double(wy) - p.y) < v.ToWorld(10));
}

bool OnClick(TStreet& st, const TColorScheme& s, const StreetPixelTest& test, int x, int y) {
    return Mark(st, s, test && test(st, x, y));
}

void MapHitTest::Forget(CityDb& db) {
    // Every kind a click can select is let go again, areas and points of interest included, so that
    // no earlier selection stays painted in the active colour.
    switch (HitKind) {
    case otBuild:
        if (HitIndex >= 0 && HitIndex < int(db.Buildings.size())) Deactivate(db.Buildings[HitIndex]);
        break;
    case otStreet:
        if (HitIndex >= 0 && HitIndex < int(db.Streets.size())) Deactivate(db.Streets[HitIndex]);
        break;
    case otBusStop:
        if (HitIndex >= 0 && HitIndex < int(db.BusStops.size())) Deactivate(db.BusStops[HitIndex]);
        break;
    case otField:
        if (HitIndex >= 0 && HitIndex < int(db.Fields.size())) Deactivate(db.Fields[HitIndex]);
        break;
    case otPOI:
        if (HitIndex >= 0 && HitIndex < int(db.POIs.size())) Deactivate(db.POIs[HitIndex]);
        break;
    default:
        break;
    }
    HitKind = otNone;
    HitIndex = -1;
}

void MapHitTest::HitTest(CityDb& db, const MapView& v, MapDisplay& display, const TColorScheme& s,
                         const HitOptions& o, const StreetPixelTest& streetTest, int x, int y) {
    Forget(db);
    display.FoundZones.clear();
    float wx, wy;
    v.ScreenToWorld(x, y, wx, wy);
    auto hit = [&](TObjType kind, size_t index) {
        HitKind = kind;
        HitIndex = int(index);
    };

    const bool detail = v.MapDetail(), stopDetail = v.StopDetail();
    // A stop's drawn circle, in world units, where the map draws it; else only its own radius counts.
    auto reach = [&](const TBusStop& st, bool drawn, bool special) {
        return drawn ? v.ToWorld(StopDrawnRadius(st, v, special)) : 0.0f;
    };
    for (size_t i = 0; i < db.BusStops.size(); ++i) {
        TBusStop& st = db.BusStops[i];
        if (st.tip == bstMetro && OnClick(st, s, wx, wy, reach(st, stopDetail || o.metro, true)))
            return hit(otBusStop, i);
    }
    // Found and selected stops are drawn over everything else at every scale, the last on top.
    for (size_t i = db.BusStops.size(); i-- > 0;) {
        TBusStop& st = db.BusStops[i];
        if ((st.IsFound || IsSelected(st, s)) && OnClick(st, s, wx, wy, reach(st, true, true)))
            return hit(otBusStop, i);
    }
    // Point-of-interest icons are drawn over the buildings where they are drawn at all.
    const bool icons = v.Scale <= 1;
    auto pois = [&] {
        for (size_t i = 0; i < db.POIs.size(); ++i)
            if (OnClick(db.POIs[i], v, s, wx, wy)) return hit(otPOI, i), true;
        return false;
    };
    if (detail && icons && pois()) return;

    if (detail)
        for (size_t i = 0; i < db.Buildings.size(); ++i)
            if (OnClick(db.Buildings[i], v, s, o.flat, x, y)) return hit(otBuild, i);

    // Other stops lie under the buildings: drawn when zoomed in, hit by their radius when not.
    if (detail || o.metro)
        for (size_t i = 0; i < db.BusStops.size(); ++i) {
            TBusStop& st = db.BusStops[i];
            if (!detail && st.tip != bstMetro) continue;
            if (OnClick(st, s, wx, wy, reach(st, stopDetail, st.tip == bstMetro))) return hit(otBusStop, i);
        }

    if (detail && !icons && pois()) return;

    if (v.Scale < 20)
        for (size_t i = 0; i < db.Streets.size(); ++i)
            if (OnClick(db.Streets[i], s, streetTest, x, y)) return hit(otStreet, i);

    for (size_t i = db.Fields.size(); i-- > 0;) {
        if (db.Fields[i].typ == DistrictFieldType) continue;
        if (OnClick(db.Fields[i], v, s, x, y)) {
            hit(otField, i);
            break;
        }
    }

    // Districts are only outlined: they go to FoundZones and leave the colours and the hit alone.
    std::vector<QPoint> poly;
    for (size_t i = db.Fields.size(); i-- > 0;) {
        const TField& f = db.Fields[i];
        if (f.typ != DistrictFieldType) continue;
        ToScreen(v, f.shape, poly);
        if (InsidePolygon(poly, x, y)) {
            display.FoundZones = {std::int32_t(i)};
            break;
        }
    }
}
