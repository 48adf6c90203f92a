#include "MapColors.h"
#include "MapRenderer.h"
#include "ObjectState.h"
#include "Primitives.h"
#include "TinyCity.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

namespace {

struct Scene {
    TColorScheme scheme = BuiltInColorScheme(DefaultColorScheme);
    CityDb db;
    MapView view;
    MapDisplay display;
    TMap map{db, view, display, scheme};

    // A 400 x 300 surface at `scale`, centred on (cx, cy), with `ratio` device pixels per pixel.
    QImage Draw(float scale, float cx, float cy, bool full = true, double ratio = 1) {
        map.CityLoaded();
        map.Resize(400, 300, false, ratio);
        view.Scale = scale;
        view.OriginX = cx;
        view.OriginY = cy;
        QImage out;
        map.DrawGDI(&out, full);
        return out;
    }
    // A world point on the surface at the current view.
    QPoint At(float x, float y) const {
        int px, py;
        view.WorldToScreen(x, y, px, py);
        return {px, py};
    }
    QRgb Pixel(const QImage& img, float x, float y) const { return img.pixel(At(x, y)) & 0xFFFFFF; }
    QRgb Color(TColor c) const { return ToQRgb(c) & 0xFFFFFF; }
};

// A frame of reference wider than the views, so clamping leaves the origin where the test puts it.
void Frame(Scene& s) {
    tiny::AddField(s.db, s.scheme, tiny::Rect(-2000, -2000, 2000, 2000), 0);
}

// `count` buildings of random sizes, heights and kinds, each with a road, and an area for every fifth,
// over a width x height region around the origin.
void Scatter(Scene& s, int count, int width, int height, quint32 seed) {
    QRandomGenerator rng(seed);
    for (int i = 0; i < count; ++i) {
        float x = float(rng.bounded(width)) - width / 2, y = float(rng.bounded(height)) - height / 2;
        float w = 5 + float(rng.bounded(40)), h = 5 + float(rng.bounded(40));
        tiny::AddBuilding(s.db, s.scheme, {tiny::Rect(x, y, x + w, y + h)}, std::uint8_t(rng.bounded(3) * 10),
                          std::uint8_t(rng.bounded(23)), QString::number(i));
        tiny::AddRoad(s.db, s.scheme, {x, y - 3}, {x + 200, y + float(rng.bounded(100))}, TRoadType(rng.bounded(7)),
                      float(rng.bounded(12)), std::uint8_t(rng.bounded(3)));
        if (i % 5 == 0) tiny::AddField(s.db, s.scheme, tiny::Rect(x, y, x + 150, y + 90), std::uint8_t(rng.bounded(12)));
    }
}

} // namespace

TEST(MapRenderer, QuitStateLeavesTheImageUnchanged) {
    Scene s;
    Frame(s);
    s.map.Quit = true;
    QImage target(10, 10, QImage::Format_RGB32);
    target.fill(Qt::magenta);
    s.map.Resize(400, 300);
    s.map.DrawGDI(&target, true);
    EXPECT_EQ(target.pixel(5, 5), QColor(Qt::magenta).rgb());
}

TEST(MapRenderer, RailwayHasBlackEdgesAndWhiteDashes) {
    Scene s;
    Frame(s);
    s.display.SmoothNow = false;
    tiny::AddRoad(s.db, s.scheme, {-150, 0}, {150, 0}, rtIron, 8);
    QImage img = s.Draw(1, 0, 0);
    const QPoint a = s.At(-150, 0);
    // Dashes start 3w = 24 pixels into the walk and last until 6w - 1 = 47.
    const int y = a.y();
    EXPECT_EQ(img.pixel(a.x() + 30, y) & 0xFFFFFF, 0xFFFFFFu) << "inside a dash";
    EXPECT_EQ(img.pixel(a.x() + 10, y) & 0xFFFFFF, 0x000000u) << "in a gap";
    EXPECT_EQ(img.pixel(a.x() + 30 + 48, y) & 0xFFFFFF, 0xFFFFFFu) << "the next dash, one period on";
    // Black edges two pixels wide around the white centre of width w - 4.
    EXPECT_EQ(img.pixel(a.x() + 30, y - 3) & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(img.pixel(a.x() + 30, y + 3) & 0xFFFFFF, 0x000000u);
}

TEST(MapRenderer, DistrictsAreOutlinedNeverFilled) {
    Scene s;
    Frame(s);
    s.display.SmoothNow = false;
    int d = tiny::AddField(s.db, s.scheme, tiny::Rect(-100, -100, 100, 100), DistrictFieldType);
    QImage plain = s.Draw(1, 0, 0);
    EXPECT_EQ(s.Pixel(plain, 0, 0), s.Color(s.scheme.LivingColor)) << "districts are not part of the base layer";
    EXPECT_EQ(s.Pixel(plain, -100, 0), s.Color(s.scheme.LivingColor));
    s.display.FoundZones = {d};
    QImage found = s.Draw(1, 0, 0);
    EXPECT_EQ(s.Pixel(found, 0, 0), s.Color(s.scheme.LivingColor)) << "never filled";
    EXPECT_EQ(s.Pixel(found, -100, 0), 0xFF0000u);
    EXPECT_EQ(s.Pixel(found, -101, 0), 0xFF0000u) << "at least 2 pixels wide";
}

TEST(MapRenderer, ExtrudedBuildingWallsRoofAndBlink) {
    Scene s;
    Frame(s);
    s.display.SmoothNow = false;
    s.map.options.smooth = false;
    int bi = tiny::AddBuilding(s.db, s.scheme, {tiny::Rect(0, 0, 40, 20)}, 20);
    const TBuilding& b = s.db.Buildings[bi];
    QImage img = s.Draw(1, 20, 0);
    // Roof moved by (5, -20); the wall below the roof's south edge is the darkened colour.
    EXPECT_EQ(s.Pixel(img, 25, -10), s.Color(b.color)) << "roof";
    EXPECT_EQ(s.Pixel(img, 30, 10), s.Color(Darken(b.color, 30))) << "south wall";
    // Flat: the footprint itself.
    s.map.options.flat = true;
    img = s.Draw(1, 20, 0);
    EXPECT_EQ(s.Pixel(img, 10, 10), s.Color(b.color));
    s.map.options.flat = false;

    Found(s.db.Buildings[bi]);
    s.display.BlinkCounter = 1;
    img = s.Draw(1, 20, 0);
    EXPECT_EQ(s.Pixel(img, 25, -10), s.Color(s.scheme.ActiveColor)) << "roof in the blink highlight";
    EXPECT_EQ(s.Pixel(img, 30, 10), s.Color(Darken(s.scheme.ActiveColor, 30))) << "walls too, darkened";
    s.display.BlinkCounter = 2;
    img = s.Draw(1, 20, 0);
    EXPECT_EQ(s.Pixel(img, 25, -10), s.Color(s.scheme.BuildFoundColor));
}

TEST(MapRenderer, ZoomedOutShowsOnlyFoundOrSelectedBuildings) {
    Scene s;
    Frame(s);
    s.display.SmoothNow = false;
    int plain = tiny::AddBuilding(s.db, s.scheme, {tiny::Rect(-200, -50, -100, 50)}, 0);
    int found = tiny::AddBuilding(s.db, s.scheme, {tiny::Rect(100, -50, 200, 50)}, 0);
    Found(s.db.Buildings[found]);
    QImage img = s.Draw(5, 0, 0);
    EXPECT_EQ(s.Pixel(img, -150, 0), s.Color(s.scheme.LivingColor));
    EXPECT_EQ(s.Pixel(img, 150, 0), s.Color(s.scheme.BuildFoundColor));
    img = s.Draw(4.9f, 0, 0);
    EXPECT_EQ(s.Pixel(img, -150, 0), s.Color(s.db.Buildings[plain].color));
}

TEST(MapRenderer, ConstructionSitesAreHatchedWhereTheirColourIsBlack) {
    Scene s;
    Frame(s);
    s.display.SmoothNow = false;
    int bi = tiny::AddBuilding(s.db, s.scheme, {tiny::Rect(-50, -50, 50, 50)}, 0, 20);
    ASSERT_EQ(s.db.Buildings[bi].color, 0u) << "the default scheme's construction colour is black";
    QImage img = s.Draw(1, 0, 0);
    int white = 0, black = 0;
    for (int x = -20; x < 20; ++x) {
        QRgb p = s.Pixel(img, x, 0);
        white += p == 0xFFFFFF;
        black += p == 0;
    }
    EXPECT_GT(white, 10);
    EXPECT_GT(black, 3);
}

TEST(MapRenderer, MetroStationWithTwoEntrancesDrawnOnceWhenZoomedOut) {
    Scene s;
    Frame(s);
    s.display.SmoothNow = false;
    tiny::AddStop(s.db, s.scheme, -200, 0, bstMetro, QStringLiteral("Парк"), 1);
    tiny::AddStop(s.db, s.scheme, 200, 0, bstMetro, QStringLiteral("Парк"), 2);
    QImage far = s.Draw(4, 0, 0); // no stop detail
    const QRgb metro = s.Color(s.scheme.MetroStopColor);
    auto near = [&](const QImage& img, float x) {
        const QPoint c = s.At(x, 0);
        for (int dx = -3; dx <= 3; ++dx)
            if ((img.pixel(c.x() + dx, c.y() + 4) & 0xFFFFFF) == metro) return true;
        return false;
    };
    EXPECT_TRUE(near(far, -200));
    EXPECT_FALSE(near(far, 200));
    QImage close = s.Draw(2, 0, 0);
    EXPECT_TRUE(near(close, -200));
    EXPECT_TRUE(near(close, 200));
}

TEST(MapRenderer, HouseNumbersFollowTheSizeRule) {
    Scene s;
    Frame(s);
    s.display.SmoothNow = false;
    s.map.options.ContourText = false;
    tiny::AddBuilding(s.db, s.scheme, {tiny::Rect(-10, -10, 10, 10)}, 0, 3, "12/1");
    auto darkPixels = [&](const QImage& img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) n += (img.pixel(x, y) & 0xFFFFFF) == 0;
        return n;
    };
    EXPECT_GT(darkPixels(s.Draw(0.5f, 0, 0)), 5);
    // At scale 2: min(20 / 4, 7) = 5 m is 2.5 -> 2 points, below 4: not drawn (outline is grey).
    s.map.options.flat = true;
    EXPECT_EQ(darkPixels(s.Draw(3.5f, 0, 0)), 0);
}

TEST(MapRenderer, MarksSkipWhitePixelsAndFollowTheRoof) {
    Scene s;
    Frame(s);
    s.display.SmoothNow = false;
    int bi = tiny::AddBuilding(s.db, s.scheme, {tiny::Rect(-10, -10, 10, 10)}, 0);
    s.display.Marks.AddFlag(bi);
    QImage img = s.Draw(1, 0, 0);
    EXPECT_EQ(s.Pixel(img, 1, -1), 0x000000u) << "the pole starts at the label point";
    s.map.options.marks = false;
    img = s.Draw(1, 0, 0);
    EXPECT_NE(s.Pixel(img, 1, -1), 0x000000u);
}

TEST(MapRenderer, SpatialIndexDrawsWhatAFullWalkDraws) {
    Scene s;
    Frame(s);
    Scatter(s, 600, 3600, 3600, 42);
    struct View {
        float scale, x, y;
    } views[] = {{0.5f, 0, 0}, {1, 700, -300}, {2.5f, -900, 900}, {4.5f, 100, 100}, {9, 0, 0}};
    for (const View& v : views) {
        s.map.UseSpatialIndex = true;
        QImage indexed = s.Draw(v.scale, v.x, v.y);
        s.map.UseSpatialIndex = false;
        QImage walked = s.Draw(v.scale, v.x, v.y);
        EXPECT_TRUE(indexed == walked) << "scale " << v.scale;
    }
}

TEST(MapRenderer, HighDensityPictureShowsTheSameViewInMorePixels) {
    Scene s;
    Frame(s);
    Scatter(s, 60, 360, 260, 7);
    // A flat building with a mark, drawn last so that nothing covers its pole.
    const int marked = tiny::AddBuilding(s.db, s.scheme, {tiny::Rect(-20, -20, 20, 20)}, 0);
    s.display.Marks.AddFlag(marked);
    const QImage plain = s.Draw(1, 0, 0);
    ASSERT_EQ(plain.size(), QSize(400, 300));
    for (double ratio : {1.5, 2.0}) {
        const QImage dense = s.Draw(1, 0, 0, true, ratio);
        EXPECT_EQ(dense.size(), QSize(400, 300) * ratio);
        EXPECT_EQ(dense.devicePixelRatio(), ratio);
        EXPECT_EQ(s.view.Width, 400) << "the view keeps logical pixels";
        EXPECT_EQ(s.view.Height, 300);
        // Every device pixel shows what its logical pixel shows, except along edges and in text.
        int same = 0;
        for (int y = 0; y < dense.height(); ++y)
            for (int x = 0; x < dense.width(); ++x)
                same += (dense.pixel(x, y) & 0xFFFFFF) == (plain.pixel(int(x / ratio), int(y / ratio)) & 0xFFFFFF);
        EXPECT_GT(same, dense.width() * dense.height() * 9 / 10) << "ratio " << ratio;
        // The mark's pole stands on the device pixels of the building's label point.
        const QPoint pole = s.At(s.db.Buildings[marked].x, s.db.Buildings[marked].y) + QPoint(1, -2);
        bool black = false;
        for (int d = 0; d < int(ratio); ++d)
            black |= (dense.pixel(int(pole.x() * ratio) + d, int(pole.y() * ratio)) & 0xFFFFFF) == 0;
        EXPECT_TRUE(black) << "ratio " << ratio;
    }
}

TEST(MapRenderer, OverlayRedrawReusesTheCachedBase) {
    Scene s;
    Frame(s);
    int bi = tiny::AddBuilding(s.db, s.scheme, {tiny::Rect(-10, -10, 10, 10)}, 0);
    QImage base = s.Draw(1, 0, 0);
    // Changing an object without a full redraw leaves the base layer as cached.
    Found(s.db.Buildings[bi]);
    QImage overlay;
    s.map.DrawGDI(&overlay, false);
    EXPECT_TRUE(base == overlay);
    s.display.ShownObjects = {otBuild, {bi}};
    s.map.DrawGDI(&overlay, false);
    EXPECT_EQ(s.Pixel(overlay, 0, 0), s.Color(s.scheme.BuildFoundColor)) << "shown objects on top";
}

TEST(MapMarks, CountsOfRedAndYellow) {
    TMarks m;
    m.AddFlag(7);
    m.AddFlag(7);
    ASSERT_EQ(m.mark.size(), 1u);
    EXPECT_EQ(m.mark[0].RedCount, 2);
    m.mark[0].ChangeToYellow();
    EXPECT_TRUE(m.mark[0].Yellow());
    m.mark[0].ChangeToRed();
    EXPECT_FALSE(m.mark[0].Yellow());
    m.RemoveFlag(7);
    m.RemoveFlag(7);
    EXPECT_FALSE(m.mark[0].Shows());
    EXPECT_EQ(m.GetMark(7), 0) << "a hidden mark stays in the list";
    m.AddFlag(7);
    EXPECT_EQ(m.mark.size(), 1u);
    EXPECT_TRUE(m.mark[0].Shows());
}
