// Records of the map section, decoded straight into the objects' fields.
#include "MapRecords.h"

#include "ByteWriter.h"
#include "CityDb.h"
#include "CityFile.h"
#include "Cp1251.h"
#include "RecordCodec.h"

#include <cmath>
#include <stdexcept>

namespace {

// Running state while objects are built: the world box lives in the CityDb.
struct Builder {
    CityDb& db;
    const MapStyle& style;
    // Position of the first stop with each id (routes store 16-bit ids); -1 when no stop has it.
    std::vector<std::int32_t> stopById;

    void world(const TCommonObj& o) {
        db.WorldMinX = std::min(db.WorldMinX, o.minX_);
        db.WorldMaxX = std::max(db.WorldMaxX, o.maxX_3d);
        db.WorldMinY = std::min(db.WorldMinY, o.minY_3d);
        db.WorldMaxY = std::max(db.WorldMaxY, o.maxY_);
    }

    static void resetBox(TCommonObj& o) {
        o.minX_ = o.minY_ = o.minY_3d = BoxMinStart;
        o.maxX_ = o.maxY_ = o.maxX_3d = BoxMaxStart;
    }

    void street(TStreet& s) {
        s.color = s.NormalColor = style.colors.RoadColor;
        s.FoundColor = style.colors.BuildFoundColor;
        s.IsFound = false;
        resetBox(s);
        for (const TCoord& p : s.shape)
            s.Widen(p.x, p.y);
        s.FlatBox3D();
        world(s);
    }

    void building(TBuilding& b) {
        b.IsFound = false;
        resetBox(b);
        for (const TShapeView& sh : b.shapes) {
            for (const TCoord& p : sh.shape)
                b.Widen(p.x, p.y);
            // The 3D box grows with the box of this and the earlier shapes, raised by this height.
            if (sh.high > 0) {
                db.Has3D = true;
                b.maxX_3d = std::max(b.maxX_3d, b.maxX_ + float(sh.high) / 4);
                b.minY_3d = std::min(b.minY_3d, b.minY_ - float(sh.high));
            } else {
                b.maxX_3d = std::max(b.maxX_3d, b.maxX_);
                b.minY_3d = std::min(b.minY_3d, b.minY_);
            }
        }
        world(b);
        b.color = b.NormalColor = GetTypeColor(b, style.colors);
        b.FoundColor = style.colors.BuildFoundColor;
    }

    static bool samePoint(const TCoord& a, const TCoord& b) {
        return std::fabs(a.x - b.x) < SamePointTolerance && std::fabs(a.y - b.y) < SamePointTolerance;
    }

    // A wall between two shapes of one building and one height is inside the building: mark it in both.
    static void sharedWalls(std::vector<TObjShape>& shapes) {
        for (TObjShape& sh : shapes)
            sh.comSide.resize(sh.shape.size());
        if (shapes.size() < 2) return;
        for (std::size_t i = 0; i < shapes.size(); ++i) {
            TObjShape& a = shapes[i];
            const std::size_t m = a.shape.size();
            for (std::size_t e = 0; e < m; ++e) {
                const TCoord& p1 = a.shape[e];
                const TCoord& p2 = a.shape[(e + 1) % m];
                bool shared = false;
                for (std::size_t j = 0; j < shapes.size() && !shared; ++j) {
                    const TObjShape& o = shapes[j];
                    if (j == i || o.high != a.high) continue;
                    const std::size_t n = o.shape.size();
                    for (std::size_t f = 0; f < n && !shared; ++f) {
                        const TCoord& q1 = o.shape[f];
                        const TCoord& q2 = o.shape[(f + 1) % n];
                        shared = (samePoint(p1, q1) && samePoint(p2, q2)) ||
                                 (samePoint(p1, q2) && samePoint(p2, q1));
                    }
                }
                if (shared) a.comSide.set(e, true);
            }
        }
    }

    void field(TField& f) {
        resetBox(f);
        for (const TCoord& p : f.shape)
            f.Widen(p.x, p.y);
        f.FlatBox3D();
        world(f);
        // The normal colour too, so that a field that is found and lost again gets its colour back.
        f.color = f.NormalColor = GetTypeColor(f, style.colors, style.tooltipColor);
    }

    void road(TRoad& rd) {
        resetBox(rd);
        rd.Widen(rd.point[0].x, rd.point[0].y);
        rd.Widen(rd.point[1].x, rd.point[1].y);
        rd.FlatBox3D();
        world(rd);
        rd.color = rd.NormalColor = GetTypeColor(rd, style.colors);
    }

    void stop(TBusStop& s) {
        s.FoundColor = style.colors.StopFoundColor;
        s.IsFound = false;
        s.color = s.NormalColor = GetTypeColor(s, style.colors);
        s.minX_ = s.x - s.Radius;
        s.minY_ = s.y - s.Radius;
        s.maxX_ = s.x + s.Radius;
        s.maxY_ = s.y + s.Radius;
        s.FlatBox3D();
        world(s);
    }

    void indexStops() {
        stopById.assign(0x10000, -1);
        for (std::size_t i = db.BusStops.size(); i-- > 0;) {
            const std::int32_t id = db.BusStops[i].id_;
            if (id >= 0 && id <= 0xFFFF) stopById[id] = std::int32_t(i);
        }
    }

    // False when a stop point names an id no stop has.
    bool route(TBusWay& w) {
        resetBox(w);
        w.IsFound = false;
        w.FoundColor = style.colors.StopFoundColor;
        w.color = w.NormalColor = GetTypeColor(w, style.colors);
        for (const TWayPoint& p : w.way) {
            if (p.typ != 0) {
                const std::int32_t s = stopById[p.ids];
                if (s < 0) return false;
                w.Widen(db.BusStops[s].x, db.BusStops[s].y);
            } else {
                w.Widen(p.x, p.y);
            }
        }
        w.FlatBox3D();
        world(w);
        return true;
    }

    void text(TText& t) {
        t.minX_ = t.maxX_ = t.x;
        t.minY_ = t.maxY_ = t.y;
        db.WorldMinX = std::min(db.WorldMinX, t.x);
        db.WorldMaxX = std::max(db.WorldMaxX, t.x);
        db.WorldMinY = std::min(db.WorldMinY, t.y);
        db.WorldMaxY = std::max(db.WorldMaxY, t.y);
        const int w = style.textWidth && !t.Text.isEmpty() ? style.textWidth(t.Text.front(), t.size) : 0;
        // The width serves for both extents: labels are measured once, not laid out.
        t.maxX_ = t.x + float(w);
        t.maxY_ = t.y + float(w);
        t.FlatBox3D();
    }

    void poi(TPOI& p) {
        p.minX_ = p.x - 10;
        p.minY_ = p.y - 10;
        p.maxX_ = p.x + 10;
        p.maxY_ = p.y + 10;
        p.FlatBox3D();
        world(p);
    }
};

// Bar steps after every built object but the building index entries.
struct MapProgress {
    const ProgressStep& step;
    std::int64_t every = 1;
    std::int64_t counter = 0;
    void tick() {
        if (step && ++counter % every == 0) step();
    }
};

void ReadPoints(ByteReader& r, TShapeFis& shape, int n) {
    const char* p = r.bytes(std::int64_t(n) * 8).data();
    shape.resize(n);
    for (TCoord& c : shape) {
        c.x = LeCoord(p);
        c.y = LeCoord(p + 4);
        p += 8;
    }
}

// `shapes` is scratch space kept from building to building, so that reading makes no blocks but the
// building's own.
// `streetAt` learns where the street position was stored.
void ReadBuilding(ByteReader& r, TBuilding& b, int L, TextCache& cache, const TSharedTas& emptySet,
                  std::vector<TObjShape>& shapes, std::int64_t& streetAt) {
    const char* head = r.bytes(5).data();
    b.id = LeI32(head);
    const int k = std::uint8_t(head[4]);
    shapes.resize(k);
    for (TObjShape& sh : shapes) {
        const int m = r.u16();
        const char* p = r.bytes(std::int64_t(m) * 9 + 2).data();
        sh.shape.resize(m);
        sh.visSide.resize(m);
        for (int j = 0; j < m; ++j, p += 9) {
            sh.shape[j] = {LeCoord(p), LeCoord(p + 4)};
            if (p[8] == 1) sh.visSide.set(j, true); // only "1" is a visible side
        }
        sh.high = std::uint8_t(LeU16(p) & 0xFF); // heights keep their low byte
    }
    Builder::sharedWalls(shapes);
    b.shapes.assign(shapes);
    b.levels = r.u8();
    b.index = cache.str(r);
    streetAt = r.pos();
    b.street = r.i32();
    b.num = cache.langSet(r, L, true);
    const char* tail = r.bytes(10).data();
    b.material = TBuildingMaterial(std::uint8_t(tail[0]));
    b.tip = std::uint8_t(tail[1]);
    b.x = LeCoord(tail + 2);
    b.y = LeCoord(tail + 6);
    b.caption = emptySet;
    b.ShapeWithNum = 0;
}

void ReadNameTable(ByteReader& r, std::vector<Tas>& out, int L) {
    const auto c = CheckCount(r, r.i32(), 2 * std::int64_t(L), "names");
    out.clear();
    out.reserve(c);
    for (std::int64_t i = 0; i < c; ++i)
        out.push_back(r.langSet(L, true));
}

} // namespace

void DecodeMapRecords(ByteReader& r, CityDb& db, const MapStyle& style, const ProgressStep& step,
                      const ConsumedBytes& consumed) {
    const int L = db.DataLangCount;
    if (L < 1) r.fail(QStringLiteral("the city has no data language"));
    db.Has3D = false;
    db.WorldMinX = db.WorldMinY = BoxMinStart;
    db.WorldMaxX = db.WorldMaxY = BoxMaxStart;

    std::int64_t counts[9];
    for (auto& c : counts)
        c = r.i32();
    // Least stored size of one record of each kind, in the order of the counts.
    const std::int64_t least[9] = {2 + 2 * L, 22 + 2 * L, 10, 11, 22, 13 + 2 * L, 3 + 2 * L, 21 + 2 * L, 11};
    std::int64_t need = 0;
    for (int i = 0; i < 9; ++i) {
        if (counts[i] < 0) r.fail(QStringLiteral("negative object count %1").arg(counts[i]));
        need += counts[i] * least[i];
    }
    if (need > r.remaining())
        r.fail(QStringLiteral("object counts need at least %1 bytes, the section holds %2")
                   .arg(need)
                   .arg(r.remaining()));
    const auto [nStreets, nBuildings, nIndexes, nFields, nRoads, nStops, nRoutes, nTexts, nPois] = counts;

    MapProgress progress{step};
    const std::int64_t n = nStreets + nIndexes + nFields + nRoads + nStops + nRoutes + nTexts + nPois;
    progress.every = n / 26 > 0 ? n / 26 : std::max<std::int64_t>(1, (n + nBuildings) / 26);

    Builder build{db, style, {}};
    TextCache cache;
    // One shared set for every record without the text.
    const TSharedTas emptySet(Tas(L, QString()));

    db.Streets.assign(nStreets, {});
    for (TStreet& s : db.Streets) {
        ReadPoints(r, s.shape, r.u16());
        s.Name = r.langSet(L, true);
        s.width = 3;
        s.Visible = false;
        build.street(s);
        progress.tick();
    }

    // The bytes behind the reader can go while the rest is built: the section is read once.
    std::int64_t decoded = 0;
    auto release = [&] {
        if (consumed && ++decoded % 65536 == 0) consumed(r.pos());
    };

    CityLoadWarnings& warnings = db.LoadWarnings;
    db.Buildings.assign(nBuildings, {});
    std::vector<TObjShape> shapes;
    for (TBuilding& b : db.Buildings) {
        release();
        std::int64_t streetAt = 0;
        ReadBuilding(r, b, L, cache, emptySet, shapes, streetAt);
        if (b.street != -1 &&
            !InTable(r, warnings, streetAt, b.street, nStreets, "building: street position"))
            b.street = -1;
        build.building(b);
        progress.tick();
    }

    db.BuildIndexes.assign(nIndexes, {});
    TextCache indexNums; // house numbers in the 8-bit code page, cut
    std::size_t indexesKept = 0;
    for (std::int64_t i = 0; i < nIndexes; ++i) {
        release();
        TBuildIndex& e = db.BuildIndexes[indexesKept];
        e.s = r.i32();
        e.n = indexNums.str(
            r, [](const QString& s) { return FromCp1251(ToCp1251(s).left(BuildIndexNumLength)); });
        const std::int64_t at = r.pos();
        e.ind = r.i32();
        // An entry for no building finds nothing: it goes, and the index stays in its order.
        indexesKept += InTable(r, warnings, at, e.ind, nBuildings, "building index entry: building position");
    }
    db.BuildIndexes.resize(indexesKept);

    db.Fields.assign(nFields, {});
    for (TField& f : db.Fields) {
        release();
        const int points = r.u16();
        if (points == 0) r.fail(QStringLiteral("area without points"));
        ReadPoints(r, f.shape, points);
        f.typ = r.u8();
        f.caption = *emptySet;
        build.field(f);
        progress.tick();
    }

    db.Roads.assign(nRoads, {});
    for (TRoad& rd : db.Roads) {
        release();
        const char* p = r.bytes(22).data();
        rd.point[0] = {LeCoord(p), LeCoord(p + 4)};
        rd.point[1] = {LeCoord(p + 8), LeCoord(p + 12)};
        rd.layer = std::uint8_t(p[16]);
        rd.tip = TRoadType(std::uint8_t(p[17]));
        rd.width = float(LeI32(p + 18)) / 100;
        build.road(rd);
        progress.tick();
    }

    db.BusStops.assign(nStops, {});
    for (TBusStop& s : db.BusStops) {
        release();
        const char* p = r.bytes(13).data();
        s.id_ = LeI32(p);
        s.tip = TBusStopType(std::uint8_t(p[4]));
        s.x = LeCoord(p + 5);
        s.y = LeCoord(p + 9);
        s.caption = *cache.langSet(r, L, true); // stops are named after the streets they stand on
        s.Radius = 6;
        build.stop(s);
        progress.tick();
    }
    build.indexStops();

    db.BusWays.assign(nRoutes, {});
    for (TBusWay& w : db.BusWays) {
        release();
        w.num = *cache.langSet(r, L, true);
        w.tip = TTranspType(r.u8());
        const int points = r.u16();
        w.way.resize(points);
        std::size_t kept = 0;
        for (int i = 0; i < points; ++i) {
            TWayPoint& p = w.way[kept];
            p = {};
            p.typ = r.u8();
            ++kept;
            if (p.typ != 0) {
                const std::int64_t at = r.pos();
                p.ids = r.u16();
                // The route runs on without a stop that no stop record has.
                if (build.stopById[p.ids] < 0) {
                    warnings.add(r.warning(
                        at,
                        QStringLiteral("route: stop id %1 is not the id of any stop; dropped").arg(p.ids)));
                    --kept;
                }
            } else {
                const char* c = r.bytes(8).data();
                p.x = LeCoord(c);
                p.y = LeCoord(c + 4);
            }
        }
        w.way.resize(kept);
        build.route(w);
        progress.tick();
    }

    db.Texts.assign(nTexts, {});
    for (TText& t : db.Texts) {
        release();
        const char* p = r.bytes(21).data();
        t.x = LeCoord(p);
        t.y = LeCoord(p + 4);
        t.angle = std::uint16_t(LeI32(p + 8));
        t.size = std::uint16_t(LeI32(p + 12));
        t.color = TColor(LeI32(p + 16));
        t.layer = std::uint8_t(p[20]);
        t.Text = *cache.langSet(r, L, true);
        build.text(t);
        progress.tick();
    }

    db.POIs.assign(nPois, {});
    for (TPOI& poi : db.POIs) {
        release();
        const char* p = r.bytes(9).data();
        poi.tip = TPOIType(std::uint8_t(p[0]));
        poi.x = LeCoord(p + 1);
        poi.y = LeCoord(p + 5);
        poi.caption = r.str();
        // The caption is the last field of a ";"-separated record line: it ends at the first ";".
        if (const qsizetype cut = poi.caption.indexOf(u';'); cut >= 0) poi.caption.truncate(cut);
        build.poi(poi);
        progress.tick();
    }

    auto captions = [&](auto& objects, const char* what) {
        const auto c = CheckCount(r, r.i32(), 4 + 2 * std::int64_t(L), "captions");
        for (std::int64_t i = 0; i < c; ++i) {
            release();
            const std::int64_t at = r.pos();
            const std::int32_t k = r.i32();
            Tas caption = r.langSet(L, true);
            if (InTable(r, warnings, at, k, std::int64_t(objects.size()), what))
                objects[k].caption = std::move(caption);
        }
    };
    captions(db.Buildings, "building caption: building position");
    captions(db.Fields, "area caption: area position");

    const auto labels = CheckCount(r, r.i32(), 6, "label shapes");
    for (std::int64_t i = 0; i < labels; ++i) {
        const std::int64_t at = r.pos();
        const std::int32_t k = r.i32();
        const std::uint8_t shape = std::uint8_t(r.u16() & 0xFF);
        if (InTable(r, warnings, at, k, nBuildings, "label shape: building position"))
            db.Buildings[k].ShapeWithNum = shape;
    }

    RouteColorPass(db, style.colors);

    const auto metro = CheckCount(r, r.i32(), 8, "metro colours");
    for (std::int64_t i = 0; i < metro; ++i) {
        const std::int64_t at = r.pos();
        const std::int32_t k = r.i32();
        const TColor colour = TColor(r.i32());
        if (InTable(r, warnings, at, k, nRoutes, "metro colour: route position"))
            db.BusWays[k].MetroColor = colour;
    }

    ReadNameTable(r, db.TransportTypeNames, L);
    ReadNameTable(r, db.MaterialNames, L);
    ReadNameTable(r, db.BuildingTypeNames, L);
}

namespace {

float Stored(float v) {
    return CoordFromStored(CoordToStored(v));
}
void Stored(TCoord& c) {
    c.x = Stored(c.x);
    c.y = Stored(c.y);
}
void Stored(TShapeFis& s) {
    for (TCoord& c : s)
        Stored(c);
}

// A language set as a filled set reads back: L entries, empty ones after the first taken from it.
void Filled(Tas& set, int L) {
    while (set.size() < L)
        set.append(QString());
    while (set.size() > L)
        set.removeLast();
    for (int i = 1; i < L; ++i)
        if (set[i].isEmpty()) set[i] = set[0];
}
// A shared set changes only when filling changes it, so that equal sets stay shared.
void Filled(TSharedTas& set, int L) {
    Tas filled = set;
    Filled(filled, L);
    if (!(filled == *set)) set = std::move(filled);
}

// What a record keeps of a value held in memory: centimetres, the stored text forms.
void RoundToStored(CityDb& db) {
    const int L = db.DataLangCount;
    for (auto* names : {&db.TransportTypeNames, &db.MaterialNames, &db.BuildingTypeNames})
        for (Tas& n : *names)
            Filled(n, L);
    for (TStreet& s : db.Streets) {
        Stored(s.shape);
        Filled(s.Name, L);
    }
    for (TBuilding& b : db.Buildings) {
        std::vector<TObjShape> shapes = b.shapes.unpack();
        for (TObjShape& sh : shapes) {
            Stored(sh.shape);
            if (sh.visSide.size() != sh.shape.size()) {
                TSideFlags vis(sh.shape.size());
                for (std::size_t j = 0; j < sh.shape.size() && j < sh.visSide.size(); ++j)
                    vis.set(j, sh.visSide[j]);
                sh.visSide = std::move(vis);
            }
        }
        b.shapes = shapes;
        b.x = Stored(b.x);
        b.y = Stored(b.y);
        Filled(b.num, L);
        Filled(b.caption, L);
    }
    for (TBuildIndex& e : db.BuildIndexes)
        e.n = FromCp1251(ToCp1251(e.n).left(BuildIndexNumLength));
    for (TField& f : db.Fields) {
        Stored(f.shape);
        Filled(f.caption, L);
    }
    for (TRoad& r : db.Roads) {
        Stored(r.point[0]);
        Stored(r.point[1]);
        r.width = float(CoordToStored(r.width)) / 100;
    }
    for (TBusStop& s : db.BusStops) {
        s.x = Stored(s.x);
        s.y = Stored(s.y);
        Filled(s.caption, L);
    }
    for (TBusWay& w : db.BusWays) {
        Filled(w.num, L);
        for (TWayPoint& p : w.way) {
            if (p.typ != 0) {
                p.x = p.y = 0;
            } else {
                p.x = Stored(p.x);
                p.y = Stored(p.y);
                p.ids = 0;
            }
        }
    }
    for (TText& t : db.Texts) {
        t.x = Stored(t.x);
        t.y = Stored(t.y);
        Filled(t.Text, L);
    }
    for (TPOI& p : db.POIs) {
        p.x = Stored(p.x);
        p.y = Stored(p.y);
        if (const qsizetype cut = p.caption.indexOf(u';'); cut >= 0) p.caption.truncate(cut);
    }
}

} // namespace

void CompleteMapObjects(CityDb& db, const MapStyle& style) {
    RoundToStored(db);
    db.Has3D = false;
    db.WorldMinX = db.WorldMinY = BoxMinStart;
    db.WorldMaxX = db.WorldMaxY = BoxMaxStart;
    Builder build{db, style, {}};
    for (TStreet& s : db.Streets)
        build.street(s);
    for (TBuilding& b : db.Buildings) {
        std::vector<TObjShape> shapes = b.shapes.unpack();
        Builder::sharedWalls(shapes);
        b.shapes = shapes;
        build.building(b);
    }
    for (TField& f : db.Fields) {
        if (f.shape.empty()) throw std::invalid_argument("area without points");
        build.field(f);
    }
    for (TRoad& rd : db.Roads)
        build.road(rd);
    for (TBusStop& s : db.BusStops)
        build.stop(s);
    build.indexStops();
    for (TBusWay& w : db.BusWays)
        if (!build.route(w)) throw std::invalid_argument("route through a stop id no stop has");
    for (TText& t : db.Texts)
        build.text(t);
    for (TPOI& p : db.POIs)
        build.poi(p);
    RouteColorPass(db, style.colors);
}
