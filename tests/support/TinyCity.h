// Hand-made map objects for renderer and hit tests, with boxes as the loader computes them.
#pragma once

#include "CityDb.h"
#include "MapColors.h"

#include <algorithm>
#include <initializer_list>

namespace tiny {

inline void World(CityDb& db, const TCommonObj& o) {
    db.WorldMinX = std::min(db.WorldMinX, o.minX_);
    db.WorldMaxX = std::max(db.WorldMaxX, o.maxX_3d);
    db.WorldMinY = std::min(db.WorldMinY, o.minY_3d);
    db.WorldMaxY = std::max(db.WorldMaxY, o.maxY_);
}

inline TShapeFis Rect(float x0, float y0, float x1, float y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

inline int AddBuilding(CityDb& db, const TColorScheme& s, std::initializer_list<TShapeFis> shapes, std::uint8_t high,
                       std::uint8_t tip = 3, const QString& num = QString()) {
    TBuilding b;
    b.tip = tip;
    for (const TShapeFis& pts : shapes) {
        TObjShape sh;
        sh.shape = pts;
        sh.visSide.resize(pts.size());
        sh.comSide.resize(pts.size());
        for (size_t i = 0; i < pts.size(); ++i) sh.visSide.set(i, true);
        sh.high = high;
        for (const TCoord& c : pts) b.Widen(c.x, c.y);
        b.maxX_3d = std::max(b.maxX_3d, high > 0 ? b.maxX_ + high / 4.0f : b.maxX_);
        b.minY_3d = std::min(b.minY_3d, high > 0 ? b.minY_ - high : b.minY_);
        b.shapes.push_back(sh);
    }
    b.num = {num};
    b.x = b.minX_ + (b.maxX_ - b.minX_) / 2;
    b.y = b.minY_ + (b.maxY_ - b.minY_) / 2;
    b.NormalColor = b.color = GetTypeColor(b, s);
    b.FoundColor = s.BuildFoundColor;
    World(db, b);
    db.Buildings.push_back(b);
    return int(db.Buildings.size()) - 1;
}

inline int AddField(CityDb& db, const TColorScheme& s, const TShapeFis& pts, std::uint8_t typ) {
    TField f;
    f.shape = pts;
    f.typ = typ;
    for (const TCoord& c : pts) f.Widen(c.x, c.y);
    f.FlatBox3D();
    f.NormalColor = f.color = GetTypeColor(f, s);
    World(db, f);
    db.Fields.push_back(f);
    return int(db.Fields.size()) - 1;
}

inline int AddRoad(CityDb& db, const TColorScheme& s, TCoord a, TCoord b, TRoadType tip, float width,
                   std::uint8_t layer = 2) {
    TRoad r;
    r.point = {a, b};
    r.tip = tip;
    r.width = width;
    r.layer = layer;
    r.Widen(a.x, a.y);
    r.Widen(b.x, b.y);
    r.FlatBox3D();
    r.NormalColor = r.color = GetTypeColor(r, s);
    World(db, r);
    db.Roads.push_back(r);
    return int(db.Roads.size()) - 1;
}

inline int AddStop(CityDb& db, const TColorScheme& s, float x, float y, TBusStopType tip, const QString& caption,
                   int id) {
    TBusStop st;
    st.x = x;
    st.y = y;
    st.tip = tip;
    st.id_ = id;
    st.caption = {caption};
    st.Widen(x - st.Radius, y - st.Radius);
    st.Widen(x + st.Radius, y + st.Radius);
    st.FlatBox3D();
    st.NormalColor = st.color = GetTypeColor(st, s);
    st.FoundColor = s.StopFoundColor;
    World(db, st);
    db.BusStops.push_back(st);
    return int(db.BusStops.size()) - 1;
}

} // namespace tiny
