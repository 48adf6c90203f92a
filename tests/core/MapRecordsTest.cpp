// Map section records: conversions, boxes, shared walls, colours and damaged data.
#include "MapRecords.h"
#include "ByteReader.h"
#include "ByteWriter.h"
#include "CityDb.h"
#include "CityFile.h"
#include "CityFileError.h"
#include "MapColors.h"
#include "RecordWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include <functional>

namespace {

CityDb Decode(const QByteArray& section, int L = 1, const MapStyle& style = {}) {
    CityDb db;
    db.DataLangCount = L;
    ByteReader r(section, "city.gis", "map", 1000);
    DecodeMapRecords(r, db, style, {});
    return db;
}

// A map section holding one building whose shapes `shapes` writes (k of them).
QByteArray OneBuilding(int k, const std::function<void(ByteWriter&)>& shapes) {
    ByteWriter w;
    for (int c : {0, 1, 0, 0, 0, 0, 0, 0, 0})
        w.i32(c);
    w.i32(77); // id
    w.u8(std::uint8_t(k));
    shapes(w);
    w.u8(5); // levels
    w.str("625000");
    w.i32(-1);   // street
    w.str("12"); // number, one language
    w.u8(bmPanel);
    w.u8(3); // residential
    w.coord(5);
    w.coord(5);
    for (int i = 0; i < 7; ++i)
        w.i32(0); // the tables after the objects
    return w.take();
}

void Shape(ByteWriter& w, std::initializer_list<std::pair<float, float>> points, std::uint8_t side,
           std::uint16_t height) {
    w.u16(std::uint16_t(points.size()));
    for (auto [x, y] : points) {
        w.coord(x);
        w.coord(y);
        w.u8(side);
    }
    w.u16(height);
}

TObjShape Rect(float x0, float y0, float x1, float y1, std::uint8_t high, bool reverse = false) {
    TObjShape s;
    s.shape = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    if (reverse) s.shape = {{x1, y1}, {x1, y0}, {x0, y0}, {x0, y1}};
    s.high = high;
    return s;
}

CityDb Through(CityDb db, const MapStyle& style = {}) {
    CompleteMapObjects(db, style);
    CityDb back = Decode(WriteMapRecords(db), db.DataLangCount, style);
    EXPECT_TRUE(back.Buildings == db.Buildings) << "the loader and CompleteMapObjects must agree";
    return back;
}

} // namespace

TEST(MapRecords, SidesHeightsAndThe3DBox) {
    CityDb db = Decode(OneBuilding(1, [](ByteWriter& w) { Shape(w, {{0, 0}, {10, 0}, {10, 20}}, 2, 300); }));
    ASSERT_EQ(db.Buildings.size(), 1u);
    const TBuilding& b = db.Buildings[0];
    EXPECT_FALSE(b.shapes[0].visSide[0]) << "only a side of 1 is visible";
    EXPECT_EQ(b.shapes[0].high, 44) << "a height of 300 keeps its low byte";
    EXPECT_EQ(b.num, QStringList{"12"});
    EXPECT_EQ(b.caption, QStringList{""});
    EXPECT_EQ(b.material, bmPanel);
    EXPECT_TRUE(db.Has3D);
    EXPECT_FLOAT_EQ(b.maxX_3d, 10 + 44 / 4.0f);
    EXPECT_FLOAT_EQ(b.minY_3d, 0 - 44.0f);

    CityDb flat = Decode(OneBuilding(1, [](ByteWriter& w) { Shape(w, {{0, 0}, {10, 0}, {10, 20}}, 1, 0); }));
    const TBuilding& f = flat.Buildings[0];
    EXPECT_TRUE(f.shapes[0].visSide[0] && f.shapes[0].visSide[2]);
    EXPECT_FALSE(flat.Has3D);
    EXPECT_EQ(f.maxX_3d, f.maxX_);
    EXPECT_EQ(f.minY_3d, f.minY_);
    EXPECT_EQ(flat.WorldMaxX, 10);
    EXPECT_EQ(flat.WorldMinY, 0);

    // One flat shape and one of height 8: the 3D box grows by 8/4 to the right and 8 upwards.
    CityDb two = Decode(OneBuilding(2, [](ByteWriter& w) {
        Shape(w, {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, 1, 0);
        Shape(w, {{20, 0}, {30, 0}, {30, 10}}, 1, 8);
    }));
    const TBuilding& t = two.Buildings[0];
    EXPECT_FLOAT_EQ(t.maxX_3d, 32);
    EXPECT_FLOAT_EQ(t.minY_3d, -8);
    EXPECT_FLOAT_EQ(two.WorldMaxX, 32);
    EXPECT_FLOAT_EQ(two.WorldMinY, -8);
}

// Flags live inline up to 64 sides and on the heap beyond: both forms copy, move and compare alike.
TEST(MapRecords, SideFlagsInlineAndOnTheHeap) {
    for (const std::size_t n : {std::size_t(1), std::size_t(64), std::size_t(65), std::size_t(130)}) {
        TSideFlags f(n);
        EXPECT_FALSE(f.any());
        f.set(n - 1, true);
        f.set(0, true);
        TSideFlags copy = f;
        EXPECT_TRUE(copy[0] && copy[n - 1] && copy.any()) << n;
        EXPECT_EQ(copy, f);
        copy.set(n - 1, false);
        EXPECT_FALSE(copy[n - 1]);
        EXPECT_NE(copy, f) << n;
        TSideFlags moved = std::move(copy);
        EXPECT_TRUE(copy.empty());
        EXPECT_EQ(moved.size(), n);
        EXPECT_EQ(moved[0], n > 1);
        moved = f;
        EXPECT_EQ(moved, f);
        EXPECT_NE(f, TSideFlags(n));
    }
}

// A building's shapes are packed into one block, outlines in centimetres where that reads back to the
// same floats and as floats otherwise; every form must give back exactly what was put in.
TEST(MapRecords, PackedShapesGiveBackWhatWasPut) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        TShapeFis points;
    } cases[] = {
        {"centimetres", {{10.25f, -3.5f}, {12.75f, -3.5f}, {12.75f, 0}, {10.25f, 0}}},
        {"offsets at the 16-bit limit", {{0, 0}, {327.67f, -327.68f}}},
        {"an offset past the limit", {{0, 0}, {327.68f, 0}}},
        {"finer than a centimetre", {{0.001f, 0}, {1, 1}, {2, 0}}},
        {"negative zero", {{-0.0f, 5}, {1, 5}}},
        {"far from the origin", {{150000.5f, -99999.99f}, {150010.5f, -99990.99f}}},
        {"far apart at the ends of the range", {{-6543114.5f, 0}, {16273899.0f, 0}}},
        {"not a number", {{0, 0}, {nan, 1}}},
        {"no points", {}},
    };
    for (const Case& c : cases) {
        TObjShape sh;
        sh.shape = c.points;
        sh.visSide.resize(c.points.size());
        if (!c.points.empty()) sh.visSide.set(c.points.size() - 1, true);
        sh.comSide.resize(c.points.size() > 1 ? 1 : 0);
        sh.high = 77;
        TObjShape other = sh;
        other.high = 3;
        const TShapeList list{sh, other};
        ASSERT_EQ(list.size(), 2u) << c.name;
        for (const TShapeView v : list) {
            const TObjShape back = v.unpack();
            ASSERT_EQ(back.shape.size(), c.points.size()) << c.name;
            for (std::size_t i = 0; i < c.points.size(); ++i)
                EXPECT_EQ(std::memcmp(&back.shape[i], &c.points[i], sizeof(TCoord)), 0)
                    << c.name << ": point " << i << " bit for bit";
            EXPECT_EQ(back.visSide, sh.visSide) << c.name;
            EXPECT_EQ(back.comSide, sh.comSide) << c.name;
        }
        EXPECT_EQ(list[1].high, 3) << c.name;
        TShapeList copy = list;
        // Shapes compare as their floats do: a NaN is unequal even to itself.
        const bool nanInside =
            std::any_of(c.points.begin(), c.points.end(), [](TCoord p) { return std::isnan(p.x) || std::isnan(p.y); });
        EXPECT_EQ(copy == list, !nanInside) << c.name;
        copy.push_back(sh);
        EXPECT_EQ(copy.size(), 3u);
        EXPECT_EQ(copy[2].high, 77);
        EXPECT_FALSE(copy == list) << c.name;
    }
    EXPECT_TRUE(TShapeList().empty());
    EXPECT_EQ(TShapeList().begin(), TShapeList().end());
}

// Records share repeated texts; changing one record's set must leave the others' alone.
TEST(MapRecords, SharedTextsChangeOnlyWhereChanged) {
    const TSharedTas twelve(Tas{"12", "12"});
    TSharedTas a = twelve, b = twelve;
    a.edit([](Tas& t) { t[1] = "12a"; });
    EXPECT_EQ(a, (Tas{"12", "12a"}));
    EXPECT_EQ(b, (Tas{"12", "12"}));
    EXPECT_EQ(twelve, b);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(TSharedTas().isEmpty());
    EXPECT_EQ(TSharedTas(Tas{}), TSharedTas());
    TSharedBytes money{1, 2};
    const TSharedBytes kept = money;
    money.push_back(3);
    EXPECT_EQ(money.size(), 3u);
    EXPECT_EQ(kept.size(), 2u);
    money.clear();
    EXPECT_TRUE(money.empty());
}

TEST(MapRecords, SharedWalls) {
    struct Case {
        const char* name;
        std::vector<TObjShape> shapes;
        std::vector<std::vector<bool>> shared;
    } cases[] = {
        {"one shape touching itself",
         {[] {
             TObjShape s;
             s.shape = {{0, 0}, {10, 0}, {10, 10}, {10, 0}};
             return s;
         }()},
         {{false, false, false, false}}},
        {"equal heights, edge drawn in opposite directions",
         {Rect(0, 0, 10, 10, 9), Rect(10, 0, 20, 10, 9)},
         {{false, true, false, false}, {false, false, false, true}}},
        {"equal heights, edge drawn the same way, within the tolerance",
         {Rect(0, 0, 10, 10, 0),
          [] {
              TObjShape s;
              s.shape = {{10.0005f, 0}, {10, 10}, {20, 10}, {20, 0}};
              return s;
          }()},
         {{false, true, false, false}, {true, false, false, false}}},
        {"different heights",
         {Rect(0, 0, 10, 10, 9), Rect(10, 0, 20, 10, 12, true)},
         {{false, false, false, false}, {false, false, false, false}}},
    };
    for (const Case& c : cases) {
        CityDb db;
        TBuilding b;
        b.shapes = c.shapes;
        db.Buildings = {b};
        const CityDb back = Through(db);
        for (std::size_t i = 0; i < c.shared.size(); ++i)
            for (std::size_t e = 0; e < c.shared[i].size(); ++e)
                EXPECT_EQ(back.Buildings[0].shapes[i].comSide[e], c.shared[i][e])
                    << c.name << ": shape " << i << " edge " << e;
    }
}

TEST(MapRecords, ObjectsTablesColoursAndTheWorldBox) {
    CityDb db;
    db.DataLangCount = 2;
    TStreet st;
    st.shape = {{-100, 5}, {100, 5}};
    st.Name = {QStringLiteral("улица Мира"), ""};
    db.Streets = {st};
    TBuilding b;
    b.shapes = {Rect(0, 0, 10, 10, 0)};
    b.tip = 2;
    b.street = 0;
    b.num = {"3", "3"};
    b.caption = {QStringLiteral("Школа"), "School"};
    b.ShapeWithNum = 1;
    db.Buildings = {b};
    TField f;
    f.shape = {{0, 0}, {50, 0}, {50, 400}};
    f.typ = 12;
    f.caption = {QStringLiteral("Парк"), ""};
    db.Fields = {f};
    TRoad rd;
    rd.point = {TCoord{0, 0}, TCoord{10, 0}};
    rd.tip = rtIron;
    rd.width = 6.5f;
    db.Roads = {rd};
    TBusStop s1, s2;
    s1.id_ = 5;
    s1.x = 300;
    s1.tip = bstMetro;
    s2.id_ = 5; // a second stop with the same id: routes take the first
    s2.x = 900;
    db.BusStops = {s1, s2};
    TBusWay r;
    r.num = {"7", ""};
    r.way = {{1, 0, 0, 5}, {0, -50, 60, 0}};
    db.BusWays = {r, r, r};
    db.BusWays[0].MetroColor = 0x00FF00;
    db.BusWays[2].num = {"8", ""};
    db.BusWays.push_back(db.BusWays[2]);
    TText t;
    t.x = 1000;
    t.y = -2000;
    t.size = 12;
    t.Text = {QStringLiteral("Центр"), ""};
    db.Texts = {t};
    TPOI p;
    p.x = -5000;
    p.tip = ptFontan;
    p.caption = QStringLiteral("Фонтан; у входа");
    db.POIs = {p};
    db.MaterialNames = {{QStringLiteral("Кирпич"), ""}};

    MapStyle style;
    style.textWidth = [](const QString& text, int size) { return int(text.size()) * size; };
    CompleteMapObjects(db, style);
    const CityDb back = Decode(WriteMapRecords(db), 2, style);
    EXPECT_TRUE(back == db);

    const TColorScheme& s = style.colors;
    EXPECT_EQ(back.Streets[0].Name[1], QStringLiteral("улица Мира")) << "language sets are filled";
    EXPECT_EQ(back.Streets[0].color, s.RoadColor);
    EXPECT_EQ(back.Streets[0].width, 3);
    EXPECT_EQ(back.Buildings[0].caption, (QStringList{QStringLiteral("Школа"), "School"}));
    EXPECT_EQ(back.Buildings[0].color, s.schoolColor);
    EXPECT_EQ(back.Buildings[0].FoundColor, s.BuildFoundColor);
    EXPECT_EQ(back.Buildings[0].ShapeWithNum, 1);
    EXPECT_EQ(back.Fields[0].caption[1], QStringLiteral("Парк"));
    EXPECT_EQ(back.Fields[0].color, Darken(DefaultTooltipColor, 1));
    EXPECT_EQ(back.Roads[0].color, s.RoadIronColor);
    EXPECT_FLOAT_EQ(back.Roads[0].width, 6.5f);
    EXPECT_EQ(back.BusStops[0].color, s.MetroStopColor);
    EXPECT_EQ(back.BusStops[0].minX_, 294);
    // Routes: the stop point takes the first stop with the id; repeated numbers get the darker found colour.
    EXPECT_EQ(back.BusWays[0].minX_, -50);
    EXPECT_EQ(back.BusWays[0].maxX_, 300);
    EXPECT_EQ(back.BusWays[0].MetroColor, 0x00FF00u);
    const TColor darker = Darken(s.BusWayColor, 50);
    EXPECT_EQ(back.BusWays[0].FoundColor, s.StopFoundColor);
    EXPECT_EQ(back.BusWays[1].FoundColor, darker);
    EXPECT_EQ(back.BusWays[2].FoundColor, s.StopFoundColor) << "a new number starts afresh";
    EXPECT_EQ(back.BusWays[3].FoundColor, darker);
    // Labels: the width stands for both extents; the world box takes the anchor only.
    EXPECT_EQ(back.Texts[0].maxX_, 1000 + 5 * 12);
    EXPECT_EQ(back.Texts[0].maxY_, -2000 + 5 * 12);
    EXPECT_EQ(back.WorldMinY, -2000);
    EXPECT_EQ(back.WorldMaxX, 1000);
    EXPECT_EQ(back.POIs[0].caption, QStringLiteral("Фонтан")) << "a caption ends at its first \";\"";
    EXPECT_EQ(back.WorldMinX, -5010);
    EXPECT_EQ(back.WorldMaxY, 400);
    EXPECT_EQ(back.MaterialNames[0][1], QStringLiteral("Кирпич"));
}

TEST(MapRecords, DarkeningAndRecolouringKeepFoundObjectsFound) {
    EXPECT_EQ(Darken(0x0080FF, 50), 0x00407Fu);
    EXPECT_EQ(Darken(0x010101, 50), 0x000000u) << "halves round away from zero";
    EXPECT_EQ(Darken(0xFFFFFF, 30), 0xB2B2B2u) << "255 - round(76.5)";

    CityDb db;
    TBuilding b;
    b.shapes = {Rect(0, 0, 1, 1, 0)};
    b.tip = 3;
    db.Buildings = {b, b};
    TBusStop st;
    st.tip = bstTram;
    db.BusStops = {st};
    CompleteMapObjects(db, MapStyle{});
    db.Buildings[1].IsFound = true;
    db.Buildings[1].color = db.Buildings[1].FoundColor;
    const TColorScheme other = BuiltInColorScheme(2);
    RecolorObjects(db, other);
    EXPECT_EQ(db.Buildings[0].color, other.liveColor);
    EXPECT_EQ(db.Buildings[1].color, other.BuildFoundColor);
    EXPECT_EQ(db.Buildings[1].NormalColor, other.liveColor);
    EXPECT_EQ(db.BusStops[0].color, other.TramStopColor) << "stops keep their type colour";
}

TEST(MapRecords, DamagedDataGivesCityFileErrors) {
    auto expectError = [](const char* name, const QByteArray& section, const char* needle) {
        try {
            Decode(section);
            ADD_FAILURE() << name << ": decoded without error";
        } catch (const CityFileError& e) {
            EXPECT_TRUE(e.message().contains("city.gis")) << name;
            EXPECT_TRUE(e.message().contains(QLatin1String(needle))) << name << ": " << e.what();
        }
    };
    ByteWriter noPoints;
    for (int c : {0, 0, 0, 1, 0, 0, 0, 0, 0})
        noPoints.i32(c);
    noPoints.u16(0);
    noPoints.u8(1);
    noPoints.bytes(QByteArray(40, '\0')); // the tables after the objects
    expectError("area without points", noPoints.take(), "without points");

    ByteWriter huge;
    for (int c : {0, 50000000, 0, 0, 0, 0, 0, 0, 0})
        huge.i32(c);
    expectError("count far beyond the section", huge.take(), "section holds");

    // Every truncation of a valid section fails cleanly.
    CityDb full;
    full.DataLangCount = 1;
    full.Streets = {TStreet{}};
    full.Streets[0].shape = {{1, 2}, {3, 4}};
    full.Buildings = {TBuilding{}};
    full.Buildings[0].street = 0;
    full.Buildings[0].shapes = {Rect(0, 0, 5, 5, 3)};
    full.Fields = {TField{}};
    full.Fields[0].shape = {{0, 0}};
    full.BusStops = {TBusStop{}};
    full.BusStops[0].id_ = 3;
    full.BusWays = {TBusWay{}};
    full.BusWays[0].way = {{1, 0, 0, 3}};
    full.Texts = {TText{}};
    full.POIs = {TPOI{}};
    full.MaterialNames = {{"a"}};
    const QByteArray good = WriteMapRecords(full);
    EXPECT_NO_THROW(Decode(good));
    for (qsizetype n = 0; n < good.size(); ++n)
        EXPECT_THROW(Decode(good.left(n)), CityFileError) << "cut at " << n;
}
