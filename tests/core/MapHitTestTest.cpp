// The hit test of a map click on a small hand-made city.
#include "MapHitTest.h"
#include "CityDb.h"
#include "MapDisplay.h"
#include "MapView.h"
#include "ObjectState.h"
#include "TinyCity.h"

#include <gtest/gtest.h>

namespace {

struct HitCity : ::testing::Test {
    CityDb db;
    TColorScheme s = BuiltInColorScheme(DefaultColorScheme);
    MapView v;
    MapDisplay display;
    MapHitTest hit;
    HitOptions options;
    int streetTests = 0;
    bool streetAnswer = false;
    StreetPixelTest streetTest = [this](const TStreet&, int, int) {
        ++streetTests;
        return streetAnswer;
    };

    // World (0,0) is the middle of a 400 x 400 surface at 1 metre per pixel.
    void Frame(float scale = 1) {
        db.WorldMinX = db.WorldMinY = -200;
        db.WorldMaxX = db.WorldMaxY = 200;
        v.SetWorld(-200, -200, 200, 200);
        v.SetSurface(400, 400);
        v.Scale = scale;
        v.OriginX = v.OriginY = 0;
    }
    // Image pixel of a world point.
    QPoint At(float x, float y) const {
        int px, py;
        v.WorldToScreen(x, y, px, py);
        return {px, py};
    }
    void Click(float x, float y) {
        const QPoint p = At(x, y);
        hit.HitTest(db, v, display, s, options, streetTest, p.x(), p.y());
    }
};

TEST(InsidePolygon, CrossingRule) {
    const std::vector<QPoint> square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    std::vector<QPoint> closed = square;
    closed.push_back(square.front());
    struct Case {
        int x, y;
        bool inside;
    } cases[] = {
        {5, 5, true},   {1, 1, true},   {0, 5, false},  {10, 5, false}, // left and right edges: on an edge
        {5, 0, true},   {5, 10, false},                                 // half-open rows: top in, bottom out
        {-1, 5, false}, {11, 5, false}, {5, -1, false}, {5, 11, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InsidePolygon(square, c.x, c.y), c.inside) << c.x << "," << c.y;
        EXPECT_EQ(InsidePolygon(closed, c.x, c.y), c.inside) << "closed " << c.x << "," << c.y;
    }
    EXPECT_FALSE(InsidePolygon({{0, 0}, {10, 10}}, 5, 5));
    // A concave outline: the notch is outside.
    const std::vector<QPoint> u = {{0, 0},   {30, 0},  {30, 30}, {20, 30},
                                   {20, 10}, {10, 10}, {10, 30}, {0, 30}};
    EXPECT_TRUE(InsidePolygon(u, 5, 20));
    EXPECT_FALSE(InsidePolygon(u, 15, 20));
}

TEST_F(HitCity, MetroEntranceWinsOverTheBuildingUnderIt) {
    tiny::AddBuilding(db, s, {tiny::Rect(-20, -20, 20, 20)}, 0);
    const int metro = tiny::AddStop(db, s, 0, 0, bstMetro, "M", 1);
    Frame(1);
    Click(1, 1);
    EXPECT_EQ(hit.HitKind, otBusStop);
    EXPECT_EQ(hit.HitIndex, metro);
    EXPECT_TRUE(IsSelected(db.BusStops[metro], s));
    EXPECT_FALSE(IsSelected(db.Buildings[0], s));
    Click(10, 10); // beyond the stop's 6 metres
    EXPECT_EQ(hit.HitKind, otBuild);
    EXPECT_FALSE(IsSelected(db.BusStops[metro], s)) << "the previous hit is let go";
    EXPECT_TRUE(IsSelected(db.Buildings[0], s));
}

TEST_F(HitCity, ZoomedOutOnlyMetroStopsAreHit) {
    tiny::AddBuilding(db, s, {tiny::Rect(-100, -100, 100, 100)}, 0);
    tiny::AddStop(db, s, -50, 0, bstAuto, "bus", 1);
    tiny::AddStop(db, s, 50, 0, bstMetro, "M", 2);
    Frame(5);
    Click(-50, 0);
    EXPECT_EQ(hit.HitKind, otNone) << "no building and no ordinary stop at scale 5";
    options.metro = false;
    Click(51, 0);
    EXPECT_EQ(hit.HitKind, otBusStop) << "metro entrances are hit at every scale";
    EXPECT_EQ(hit.HitIndex, 1);

    Frame(4.9f);
    Click(-50, 0);
    EXPECT_EQ(hit.HitKind, otBuild) << "buildings come before ordinary stops";
}

// What is drawn on top takes the click, as large as it is drawn. The building spans -20 to 20 metres.
TEST_F(HitCity, WhatIsDrawnOnTopTakesTheClick) {
    struct Case {
        const char* name;
        float scale;
        bool found;          // the stop was found by a search
        bool poi;            // a point of interest in place of the stop
        float stopX, clickX; // metres
        TObjType kind;       // what the click takes
    } cases[] = {
        {"a found stop over a building", 1, true, false, 0, 1, otBusStop},
        {"a found stop, on its 6-pixel circle beyond its own 6 metres", 1.5f, true, false, 0, 7.5f, otBusStop},
        {"an ordinary stop lies under the building", 1, false, false, 0, 1, otBuild},
        {"a found stop zoomed out, within its 6-pixel circle", 10, true, false, 0, 50, otBusStop},
        {"an ordinary stop, on its 4-pixel circle beyond its own 6 metres", 2, false, false, -50, -43, otBusStop},
        {"an ordinary stop, beyond that circle", 2, false, false, -50, -41, otNone},
        {"a point-of-interest icon over a building", 1, false, true, 0, 1, otPOI},
        {"where icons are not drawn, the building", 2, false, true, 0, 1, otBuild},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        db = CityDb{};
        tiny::AddBuilding(db, s, {tiny::Rect(-20, -20, 20, 20)}, 0);
        if (c.poi) {
            db.POIs.push_back(TPOI{});
        } else {
            const int stop = tiny::AddStop(db, s, c.stopX, 0, bstAuto, "Stop", 1);
            if (c.found) Found(db.BusStops[stop]);
        }
        Frame(c.scale);
        hit = MapHitTest{};
        Click(c.clickX, 0);
        EXPECT_EQ(hit.HitKind, c.kind);
    }
}

TEST_F(HitCity, StreetsAreTestedBelowScale20AndAreasLastToFirst) {
    TStreet street;
    street.shape = {{-100, 0}, {100, 0}};
    db.Streets.push_back(street);
    tiny::AddField(db, s, tiny::Rect(-150, -150, 150, 150), 1);
    tiny::AddField(db, s, tiny::Rect(-50, -50, 150, 150), 2);
    Frame(19);
    streetAnswer = true;
    Click(0, 0);
    EXPECT_EQ(hit.HitKind, otStreet);
    EXPECT_TRUE(db.Streets[0].Visible) << "a selected street is drawn";
    EXPECT_EQ(streetTests, 1);

    Frame(20);
    Click(0, 0);
    EXPECT_EQ(streetTests, 1) << "no street test at scale 20";
    EXPECT_FALSE(db.Streets[0].Visible);
    EXPECT_EQ(hit.HitKind, otField);
    EXPECT_EQ(hit.HitIndex, 1) << "the area drawn last is hit first";
    EXPECT_TRUE(IsSelected(db.Fields[1], s));
    EXPECT_FALSE(IsSelected(db.Fields[0], s));

    Frame(1);
    streetAnswer = false;
    Click(-100, -100);
    EXPECT_EQ(hit.HitKind, otField);
    EXPECT_EQ(hit.HitIndex, 0);
    EXPECT_FALSE(IsSelected(db.Fields[1], s)) << "the area selected before is let go";
}

TEST_F(HitCity, DistrictsGoToFoundZonesOnly) {
    tiny::AddField(db, s, tiny::Rect(-200, -200, 0, 200), DistrictFieldType);
    tiny::AddField(db, s, tiny::Rect(0, -200, 200, 200), DistrictFieldType);
    tiny::AddField(db, s, tiny::Rect(10, 10, 50, 50), 3);
    Frame(1);
    Click(100, -100);
    EXPECT_EQ(hit.HitKind, otNone);
    EXPECT_EQ(display.FoundZones, (Tai{1}));
    EXPECT_FALSE(IsSelected(db.Fields[1], s));
    Click(20, 20);
    EXPECT_EQ(hit.HitKind, otField);
    EXPECT_EQ(hit.HitIndex, 2);
    EXPECT_EQ(display.FoundZones, (Tai{1})) << "the district around an area is outlined too";
    Click(-100, 0);
    EXPECT_EQ(display.FoundZones, (Tai{0}));
}

TEST_F(HitCity, RoofsAndWallsAreHitOnlyWithHeightsShown) {
    // 40 m high: the roof is drawn 10 px right and 40 px up of the footprint at 1 m per pixel.
    tiny::AddBuilding(db, s, {tiny::Rect(0, 0, 20, 20)}, 40);
    Frame(1);
    Click(25, -30); // on the roof, beside the footprint
    EXPECT_EQ(hit.HitKind, otBuild);
    Click(5, -5); // on the wall above the top edge
    EXPECT_EQ(hit.HitKind, otBuild);
    options.flat = true;
    Click(25, -30);
    EXPECT_EQ(hit.HitKind, otNone);
    options.flat = false;
    Frame(4); // heights are not drawn from scale 4
    Click(25, -30);
    EXPECT_EQ(hit.HitKind, otNone);
}

TEST_F(HitCity, PointsOfInterestWithinTenPixels) {
    TPOI poi;
    poi.x = 0;
    poi.y = 0;
    db.POIs.push_back(poi);
    Frame(2);
    Click(18, 0); // 9 px
    EXPECT_EQ(hit.HitKind, otPOI);
    Click(20, 0); // 10 px
    EXPECT_EQ(hit.HitKind, otNone);
    EXPECT_FALSE(IsSelected(db.POIs[0], s));
}

} // namespace
