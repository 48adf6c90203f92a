// The OpenGL renderer's pictures, grabbed from a real surface: the rules that differ from the 2D renderer,
// recolouring without tessellating again, and the same view drawn by both renderers.
#include "Catalogue.h"
#include "CityFile.h"
#include "CityGenerator.h"
#include "CityWriter.h"
#include "ColorConvert.h"
#include "GlCompare.h"
#include "GlMapRenderer.h"
#include "MapColors.h"
#include "MapRenderer.h"
#include "ObjectState.h"
#include "RecordWriter.h"
#include "TGlMapImage.h"
#include "TinyCity.h"

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

struct GlScene {
    TColorScheme scheme = BuiltInColorScheme(DefaultColorScheme);
    CityDb db;
    MapView view;
    MapDisplay display;
    TMap map{db, view, display, scheme};
    std::unique_ptr<TGlMap> gl;
    TGlMapImage surface;
    bool quit = false;

    GlScene() {
        surface.renderer = [this] { return gl.get(); };
        surface.quitting = [this] { return quit; };
        surface.resize(400, 300);
        surface.show();
    }
    void Place(float scale, float cx, float cy) {
        if (!gl) {
            map.CityLoaded();
            map.Resize(400, 300);
            gl = std::make_unique<TGlMap>(map, db, view, display, scheme);
        }
        view.Scale = scale;
        view.OriginX = cx;
        view.OriginY = cy;
    }
    QImage Draw(float scale, float cx, float cy) {
        Place(scale, cx, cy);
        return surface.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    }
    QImage Draw2D(float scale, float cx, float cy) {
        Place(scale, cx, cy);
        QImage out;
        map.DrawGDI(&out, true);
        return out;
    }
    QPoint At(float x, float y) const {
        int px, py;
        view.WorldToScreen(x, y, px, py);
        return {px, py};
    }
    QRgb Pixel(const QImage& img, float x, float y) const { return img.pixel(At(x, y)) & 0xFFFFFF; }
    static QRgb Color(TColor c) { return ToQRgb(c) & 0xFFFFFF; }
};

// A frame of reference wider than the views, so clamping leaves the origin where the test puts it.
void Frame(GlScene& s) {
    tiny::AddField(s.db, s.scheme, tiny::Rect(-2000, -2000, 2000, 2000), 0);
}

// Pixels of one colour in a run along a row or column through `from`.
int RunLength(const QImage& img, QPoint from, QPoint step, QRgb color) {
    int n = 0;
    for (QPoint p = from; img.rect().contains(p); p += step)
        if ((img.pixel(p) & 0xFFFFFF) == color) ++n;
    return n;
}

} // namespace

TEST(GlRenderer, SurfaceHasAContext) {
    GlScene s;
    Frame(s);
    const QImage img = s.Draw(1, 0, 0);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(s.Pixel(img, 0, 0), GlScene::Color(s.scheme.LivingColor)) << "an area fills the view";
    EXPECT_GT(s.surface.frames(), 0);
}

// The rules of this renderer, one scene each.
TEST(GlRenderer, EdgeCases) {
    struct Case {
        const char* name;
        std::function<void(GlScene&)> check;
    };
    const Case cases[] = {
        {"the quit state draws nothing",
         [](GlScene& s) {
             const QImage before = s.Draw(1, 0, 0);
             s.quit = true;
             tiny::AddStop(s.db, s.scheme, 0, 0, bstAuto, "Stop", 1);
             const int frames = s.surface.frames();
             EXPECT_EQ(s.Draw(0.5f, 30, 30), before) << "the last picture stays";
             EXPECT_EQ(s.surface.frames(), frames);
             s.gl->Quit = true;
             EXPECT_FALSE(s.gl->BuildFrame());
         }},
        {"a railway 12 pixels wide is drawn 10 wide with an 8-on, 8-off stipple",
         [](GlScene& s) {
             s.display.SmoothNow = false;
             tiny::AddRoad(s.db, s.scheme, {-150, 0}, {150, 0}, rtIron, 12);
             const QImage img = s.Draw(1, 0, 0);
             const QPoint a = s.At(-150, 0);
             // Across the line: 10 pixels of the railway, black in a gap, white in a dash.
             const QRgb field = GlScene::Color(s.scheme.LivingColor);
             int across = 0;
             for (int y = a.y() - 12; y <= a.y() + 12; ++y)
                 across += (img.pixel(a.x() + 100, y) & 0xFFFFFF) != field;
             EXPECT_EQ(across, 10);
             // The pattern starts at the first point: 8 pixels off (the black line shows), then 8 on.
             for (int period = 0; period < 3; ++period) {
                 const int x = a.x() + 16 * period;
                 EXPECT_EQ(img.pixel(x + 4, a.y()) & 0xFFFFFF, 0x000000u) << "gap " << period;
                 EXPECT_EQ(img.pixel(x + 12, a.y()) & 0xFFFFFF, 0xFFFFFFu) << "dash " << period;
             }
         }},
        {"an ordinary stop disappears at Scale 3",
         [](GlScene& s) {
             s.display.SmoothNow = false;
             tiny::AddStop(s.db, s.scheme, 0, 0, bstAuto, "Stop", 1);
             const QRgb stop = GlScene::Color(s.db.BusStops[0].color);
             EXPECT_EQ(s.Pixel(s.Draw(2.9f, 0, 0), 0, 0), stop);
             EXPECT_NE(s.Pixel(s.Draw(3, 0, 0), 0, 0), stop);
         }},
        {"a clicked district is outlined max(ToPixels(5), 2) wide: 5 at Scale 1, 2 at Scale 2 and above",
         [](GlScene& s) {
             s.display.SmoothNow = false;
             const int d =
                 tiny::AddField(s.db, s.scheme, tiny::Rect(-100, -100, 100, 100), DistrictFieldType);
             const QRgb red = 0xFF0000;
             EXPECT_EQ(RunLength(s.Draw(1, 0, 0), s.At(-120, 0), {1, 0}, red), 0) << "only when clicked";
             s.display.FoundZones = {d};
             for (float scale : {1.0f, 2.0f, 4.0f}) {
                 const QImage img = s.Draw(scale, 0, 0);
                 const QPoint left = s.At(-100, 0);
                 EXPECT_EQ(RunLength(img, QPoint(left.x() - 10, left.y()), {1, 0}, red) / 2,
                           scale < 2 ? 5 : 2)
                     << "Scale " << scale << " (each side)";
                 EXPECT_EQ(s.Pixel(img, 0, 0), GlScene::Color(s.scheme.LivingColor)) << "never filled";
             }
         }},
        {"an area 2 pixels wide and 50 long is left out (the 2D renderer draws it)",
         [](GlScene& s) {
             tiny::AddField(s.db, s.scheme, tiny::Rect(0, -25, 2, 25), 2);
             const QRgb water = GlScene::Color(s.scheme.WaterColor);
             EXPECT_NE(s.Pixel(s.Draw(1, 0, 0), 1, 0), water);
             EXPECT_EQ(s.Pixel(s.Draw2D(1, 0, 0), 1, 0), water);
         }},
        {"zoomed out, areas of a few pixels cover what the 2D renderer fills, as five-sided ones do",
         [](GlScene& s) {
             s.display.SmoothNow = false;
             tiny::AddField(s.db, s.scheme, tiny::Rect(0, 0, 32, 32), 2);
             tiny::AddField(s.db, s.scheme, {{80, 0}, {112, 0}, {112, 16}, {112, 32}, {80, 32}}, 2);
             // Long and thin, with the closing point repeated.
             tiny::AddField(s.db, s.scheme, {{0, 56}, {56, 56}, {56, 80}, {0, 80}, {0, 56}}, 2);
             // Slanted edges are drawn a little differently by the two: only the pixel count is close.
             tiny::AddField(s.db, s.scheme, {{0, 200}, {24, 216}, {0, 232}, {-24, 216}}, 2);
             const float scale = 8; // 4 pixels across
             const QImage gl = s.Draw(scale, 0, 0), flat2d = s.Draw2D(scale, 0, 0);
             const QRgb water = GlScene::Color(s.scheme.WaterColor);
             const QRect around = QRect(s.At(-16, -16), s.At(128, 96));
             for (int y = around.top(); y <= around.bottom(); ++y)
                 for (int x = around.left(); x <= around.right(); ++x)
                     ASSERT_EQ(gl.pixel(x, y) & 0xFFFFFF, flat2d.pixel(x, y) & 0xFFFFFF) << x << "," << y;
             EXPECT_EQ(RunLength(gl, s.At(-16, 16), {1, 0}, water), 10);
             int count[2] = {0, 0};
             for (int y = s.At(0, 184).y(); y <= s.At(0, 248).y(); ++y)
                 for (int x = s.At(-40, 0).x(); x <= s.At(40, 0).x(); ++x)
                     for (int k = 0; k < 2; ++k)
                         count[k] += ((k ? gl : flat2d).pixel(x, y) & 0xFFFFFF) == water;
             EXPECT_NEAR(count[1], count[0], 4) << "the rhombus";
         }},
        {"a rectangular roof drawn as squares looks as its triangles and outline do, with heights and "
         "without",
         [](GlScene& s) {
             // The same building twice, 100 pixels apart; the second has an extra point on its far edge
             // (whose wall lies under the roof), which keeps it from being taken for a rectangle, so its
             // roof is filled by triangles.
             // Unsmoothed lines, whose pixels do not depend on the order they are blended in.
             s.display.SmoothNow = false;
             tiny::AddBuilding(s.db, s.scheme, {{{0, 0}, {30, 0}, {30, 20}, {0, 20}}}, 12);
             tiny::AddBuilding(s.db, s.scheme, {{{100, 0}, {115, 0}, {130, 0}, {130, 20}, {100, 20}}}, 12);
             // Across the bottom edge of the view: the middle of its first square is outside.
             tiny::AddBuilding(s.db, s.scheme, {{{0, 162}, {30, 162}, {30, 212}, {0, 212}}}, 12);
             for (bool flat : {false, true}) {
                 SCOPED_TRACE(flat ? "flat" : "with heights");
                 s.map.options.flat = flat;
                 const QImage img = s.Draw(1, 60, 10);
                 EXPECT_GT(s.gl->frame().primitives(GlPrimitive::Squares), 0) << "squares were drawn";
                 const QPoint shift = s.At(100, 0) - s.At(0, 0);
                 const QRgb roof = GlScene::Color(s.db.Buildings[0].color);
                 EXPECT_EQ(s.Pixel(img, flat ? 15 : 18, flat ? 10 : -2), roof);
                 if (!flat) {
                     EXPECT_EQ(s.Pixel(img, 18, 155), GlScene::Color(s.db.Buildings[2].color))
                         << "a roof across the edge of the view";
                 }
                 // The outline covers the ring of pixels corner to corner; a driver may leave a corner of a
                 // line loop out, so the corners are checked on their own.
                 const float dx = flat ? 0 : 3, dy = flat ? 0 : -12;
                 std::vector<QPoint> corners;
                 for (const QPointF c : {QPointF(0, 0), QPointF(30, 0), QPointF(30, 20), QPointF(0, 20)})
                     corners.push_back(s.At(float(c.x()) + dx, float(c.y()) + dy));
                 for (const QPoint& c : corners)
                     EXPECT_EQ(img.pixel(c) & 0xFFFFFF, 0u) << "a black corner at " << c.x() << "," << c.y();
                 const QRect around(s.At(-10, -30), s.At(45, 30));
                 for (int y = around.top(); y <= around.bottom(); ++y)
                     for (int x = around.left(); x <= around.right(); ++x)
                         if (std::find(corners.begin(), corners.end(), QPoint(x, y)) == corners.end()) {
                             ASSERT_EQ(img.pixel(x, y), img.pixel(QPoint(x, y) + shift)) << x << "," << y;
                         }
             }
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GlScene s;
        Frame(s);
        c.check(s);
    }
}

TEST(GlRenderer, RecolouringAndBlinkingKeepTheTessellation) {
    GlScene s;
    Frame(s);
    s.display.SmoothNow = false;
    s.map.options.flat = true;
    // An L-shaped block: the tessellator makes its triangles.
    const int bi =
        tiny::AddBuilding(s.db, s.scheme, {{{0, 0}, {60, 0}, {60, 20}, {20, 20}, {20, 60}, {0, 60}}}, 0);
    const TBuilding& b = s.db.Buildings[bi];
    EXPECT_EQ(s.Pixel(s.Draw(1, 20, 20), 10, 40), GlScene::Color(b.color));
    EXPECT_NE(s.Pixel(s.Draw(1, 20, 20), 40, 40), GlScene::Color(b.color)) << "outside the L";
    const std::size_t outlines = s.gl->triangles().outlines();
    EXPECT_GE(outlines, 1u);

    Found(s.db.Buildings[bi]);
    EXPECT_EQ(s.Pixel(s.Draw(1, 20, 20), 10, 40), GlScene::Color(b.FoundColor));
    s.display.BlinkCounter = 1;
    EXPECT_EQ(s.Pixel(s.Draw(1, 20, 20), 10, 40), GlScene::Color(s.scheme.ActiveColor)) << "blink highlight";
    s.display.BlinkCounter = 2;
    s.scheme = BuiltInColorScheme(1);
    RecolorObjects(s.db, s.scheme);
    EXPECT_EQ(s.Pixel(s.Draw(1, 20, 20), 10, 40), GlScene::Color(s.db.Buildings[bi].FoundColor))
        << "a new scheme";
    EXPECT_EQ(s.gl->triangles().outlines(), outlines) << "nothing was tessellated again";
}

// A repaint with nothing changed draws the kept frame again; every change the frame shows builds a new one,
// the same as a renderer that keeps nothing would draw.
TEST(GlRenderer, KeepsTheFrameOnlyWhileNothingItShowsChanged) {
    GlScene s;
    Frame(s);
    const int bi = tiny::AddBuilding(s.db, s.scheme, {{{0, 0}, {60, 0}, {60, 40}, {0, 40}}}, 12);
    const int d = tiny::AddField(s.db, s.scheme, tiny::Rect(-100, -100, 100, 100), DistrictFieldType);
    tiny::AddStop(s.db, s.scheme, 80, 80, bstMetro, "Metro", 1);
    float scale = 1, cx = 0, cy = 0;
    const QImage first = s.Draw(scale, cx, cy);
    EXPECT_EQ(s.Draw(scale, cx, cy), first);
    EXPECT_TRUE(s.gl->frameKept());

    struct Change {
        const char* name;
        std::function<void()> apply;
    };
    const Change changes[] = {
        {"panned", [&] { cx += 7; }},
        {"zoomed", [&] { scale = 0.7f; }},
        {"a building found", [&] { Found(s.db.Buildings[bi]); }},
        {"the blink highlight", [&] { s.display.BlinkCounter = 1; }},
        {"a district outlined", [&] { s.display.FoundZones = {d}; }},
        {"heights off", [&] { s.map.options.flat = true; }},
        {"zoomed out past the stops", [&] { scale = 4; }},
        {"metro stations off", [&] { s.map.options.metro = false; }},
        {"another colour scheme",
         [&] {
             s.scheme = BuiltInColorScheme(1);
             RecolorObjects(s.db, s.scheme);
         }},
        {"an object added",
         [&] {
             tiny::AddRoad(s.db, s.scheme, {-150, 0}, {150, 0}, rtAuto, 6);
         }},
    };
    QImage before = first;
    for (const Change& c : changes) {
        SCOPED_TRACE(c.name);
        c.apply();
        const QImage changed = s.Draw(scale, cx, cy);
        EXPECT_FALSE(s.gl->frameKept());
        EXPECT_NE(changed, before) << "the change shows";
        s.gl->Invalidate();
        EXPECT_EQ(s.Draw(scale, cx, cy), changed) << "as a frame built afresh";
        before = changed;
    }
}

TEST(GlRenderer, SelfCrossingOutlineIsStillFilled) {
    OutlineTriangles t;
    // A bow tie: its two edges cross in the middle, where the tessellator adds a point.
    const TShapeFis bowTie{{0, 0}, {10, 10}, {10, 0}, {0, 10}};
    std::vector<std::uint32_t> index;
    std::vector<TCoord> extra;
    ASSERT_TRUE(t.Tessellate(bowTie, index, extra));
    EXPECT_EQ(index.size(), 6u) << "two triangles";
    ASSERT_EQ(extra.size(), 1u);
    EXPECT_FLOAT_EQ(extra[0].x, 5);
    EXPECT_FLOAT_EQ(extra[0].y, 5);
    EXPECT_FALSE(t.Tessellate(TShapeFis{{0, 0}, {1, 1}}, index, extra)) << "two points fill nothing";
}

namespace {
// A generated city, written and read back as the program reads it.
void LoadGenerated(GlScene& s) {
    CityGenOptions options;
    CityGenPreset(QStringLiteral("demo"), options);
    options.buildings = 600;
    CityWriter w;
    w.CityName = QStringLiteral("Gen");
    w.ReleaseDate = QStringLiteral("31.12.2025");
    CityDb generated;
    GenerateCity(options, generated, w);
    SetCitySections(w, generated);
    QTemporaryDir dir;
    ASSERT_TRUE(w.Write(dir.filePath(QStringLiteral("Gen.gis"))).isEmpty());
    auto entry = CityEntryFromFile(dir.path() + QLatin1Char('/'), QStringLiteral("Gen.gis"), false);
    ASSERT_TRUE(entry.has_value());
    MapStyle style;
    style.colors = s.scheme;
    const CityFileRef ref = CityFileRef::From(*entry);
    LoadDirectorySection(s.db, ref);
    LoadMapSection(s.db, ref, style);
}
} // namespace

// Leaving out hidden walls changes what the eye sees nowhere: in a generated city's centre with heights
// (L-shaped houses, wings of different heights, tall narrow ones) the picture is the one drawing every wall
// gives, but for lone pixels.
TEST(GlRenderer, HiddenWallsLeftOutChangeNothingVisible) {
    GlScene s;
    LoadGenerated(s);
    if (HasFatalFailure()) return;
    // Unsmoothed lines, whose pixels do not depend on the order they are blended in.
    s.display.SmoothNow = false;
    const float cx = s.db.WorldMinX + (s.db.WorldMaxX - s.db.WorldMinX) / 2;
    const float cy = s.db.WorldMinY + (s.db.WorldMaxY - s.db.WorldMinY) / 2;
    for (float scale : {0.5f, 1.5f}) {
        SCOPED_TRACE(scale);
        const QImage culled = s.Draw(scale, cx, cy);
        const int triangles = s.gl->frame().primitives(GlPrimitive::Triangles);
        s.gl->leaveOutHiddenWalls = false;
        s.gl->Invalidate();
        const QImage all = s.Draw(scale, cx, cy);
        EXPECT_LT(triangles, s.gl->frame().primitives(GlPrimitive::Triangles)) << "walls were left out";
        s.gl->leaveOutHiddenWalls = true;
        s.gl->Invalidate();
        ASSERT_EQ(culled.size(), all.size());
        // A hidden wall's slanted edge may poke out by a lone pixel where the front wall's fill stops short
        // of it; nothing more than such lone pixels may change.
        int differ = 0, touching = 0;
        auto differs = [&](int x, int y) { return all.valid(x, y) && culled.pixel(x, y) != all.pixel(x, y); };
        for (int y = 0; y < all.height(); ++y)
            for (int x = 0; x < all.width(); ++x)
                if (differs(x, y)) {
                    ++differ;
                    touching += differs(x + 1, y) || differs(x, y + 1);
                }
        EXPECT_LE(differ, all.width() * all.height() / 10000);
        EXPECT_EQ(touching, 0);
    }
}

// Smoothed lines one pixel wide drawn by the renderer's own program look as the driver's smoothing draws them:
// across the line each row (or column) holds about one pixel's worth of it, centred at the same place, and
// the pixels at its sides are partly covered.
TEST(GlRenderer, OwnSmoothedLinesAgreeWithTheDriversSmoothing) {
    GlScene s;
    Frame(s);
    s.display.SmoothNow = true;
    // A road one metre wide is a line one pixel wide at Scale 1: steep, diagonal and shallow ones.
    struct Line {
        TCoord a, b;
    };
    const Line lines[] = {{{-150, -60}, {-135, 60}}, {{-100, -60}, {-40, 60}}, {{-20, -60}, {40, 0}},
                          {{50, -40}, {170, 10}}};
    for (const Line& l : lines)
        tiny::AddRoad(s.db, s.scheme, l.a, l.b, rtAuto, 1);
    const QImage own = s.Draw(1, 0, 0);
    ASSERT_TRUE(s.gl->smoothedByProgram()) << "the program draws smoothed lines here";
    {
        // A surface with a context of its own (as when a surface's context is made anew) gets the same
        // picture: what the renderer made in the first context is made again in this one.
        TGlMapImage other;
        other.renderer = [&s] { return s.gl.get(); };
        other.resize(s.surface.size());
        other.show();
        EXPECT_EQ(other.grabFramebuffer().convertToFormat(QImage::Format_RGB32), own);
    }
    s.gl->ownSmoothing = false;
    const QImage driver = s.Draw(1, 0, 0);
    EXPECT_FALSE(s.gl->smoothedByProgram());
    const QRgb back = GlScene::Color(s.scheme.LivingColor), ink = GlScene::Color(s.db.Roads[0].color);
    // The share of the line in a pixel, from the channel where the two colours differ most.
    int channel = 0, most = -1;
    for (int c = 0; c < 3; ++c) {
        const int d = std::abs(int((back >> (8 * c)) & 0xFF) - int((ink >> (8 * c)) & 0xFF));
        if (d > most) most = d, channel = c;
    }
    ASSERT_GT(most, 40);
    auto share = [&](const QImage& img, QPoint p) {
        const int v = int((img.pixel(p) >> (8 * channel)) & 0xFF), b = int((back >> (8 * channel)) & 0xFF),
                  i = int((ink >> (8 * channel)) & 0xFF);
        return std::clamp(double(v - b) / double(i - b), 0.0, 1.0);
    };
    for (const Line& l : lines) {
        const QPoint a = s.At(l.a.x, l.a.y), b = s.At(l.b.x, l.b.y);
        const bool steep = std::abs(b.y() - a.y()) >= std::abs(b.x() - a.x());
        const int from = steep ? std::min(a.y(), b.y()) : std::min(a.x(), b.x());
        const int to = steep ? std::max(a.y(), b.y()) : std::max(a.x(), b.x());
        int partly = 0;
        // Away from the ends, where the round caps lie.
        for (int major = from + 3; major <= to - 3; ++major) {
            const double t = double(major - (steep ? a.y() : a.x())) / double(steep ? b.y() - a.y() : b.x() - a.x());
            const int middle = int(std::lround(steep ? a.x() + t * (b.x() - a.x()) : a.y() + t * (b.y() - a.y())));
            double sum[2] = {0, 0}, centre[2] = {0, 0};
            for (int k = 0; k < 2; ++k)
                for (int minor = middle - 3; minor <= middle + 3; ++minor) {
                    const QPoint p = steep ? QPoint(minor, major) : QPoint(major, minor);
                    const double v = share(k ? driver : own, p);
                    sum[k] += v;
                    centre[k] += v * minor;
                    if (k == 0 && v > 0.2 && v < 0.8) ++partly;
                }
            SCOPED_TRACE(testing::Message() << "line from " << a.x() << "," << a.y() << " at " << major);
            ASSERT_GT(sum[0], 0.5);
            ASSERT_GT(sum[1], 0.5);
            EXPECT_NEAR(sum[0], sum[1], 0.3);
            EXPECT_NEAR(centre[0] / sum[0], centre[1] / sum[1], 0.35);
        }
        EXPECT_GT(partly, (to - from) / 4) << "smoothed, not plain";
    }
}

// The same view by both renderers: areas and building footprints agree region by region.
TEST(GlRenderer, AgreesWithThe2DRendererRegionByRegion) {
    GlScene s;
    LoadGenerated(s);
    if (HasFatalFailure()) return;
    // What only the 2D renderer draws is left out: labels, numbers, marks, heights.
    s.display.TextsOn = false;
    s.display.SmoothNow = false;
    s.map.options.marks = false;
    s.map.options.flat = true;
    s.map.options.smooth = false;
    const float cx = s.db.WorldMinX + (s.db.WorldMaxX - s.db.WorldMinX) / 2;
    const float cy = s.db.WorldMinY + (s.db.WorldMaxY - s.db.WorldMinY) / 2;
    for (float scale : {1.5f, 4.5f}) {
        const QImage flat2d = s.Draw2D(scale, cx, cy);
        const QImage gl = s.Draw(scale, cx, cy);
        ASSERT_EQ(flat2d.size(), gl.size());
        if (qEnvironmentVariableIsSet("TESSARA_SCREENSHOT_DIR")) {
            const QString dir = qEnvironmentVariable("TESSARA_SCREENSHOT_DIR");
            flat2d.save(QStringLiteral("%1/compare-2d-%2.png").arg(dir).arg(scale));
            gl.save(QStringLiteral("%1/compare-gl-%2.png").arg(dir).arg(scale));
        }
        // The few things drawn differently by design (stops, hatching, dotted walls) move a region's mean
        // colour little.
        EXPECT_LE(WorstRegionDifference(flat2d, gl, 50), 20) << "Scale " << scale
                             << ": the largest difference of a region's mean colour channel";
    }
}

// Street labels, house numbers and point-of-interest icons are drawn over the OpenGL frame where the 2D map
// draws them, and only at rest.
TEST(GlRenderer, LabelsNumbersAndIconsLieWhereThe2DMapPutsThem) {
    GlScene s;
    Frame(s);
    s.display.SmoothNow = false;
    s.display.TextsOn = true;
    s.map.options.flat = true;
    tiny::AddBuilding(s.db, s.scheme, {tiny::Rect(-60, -30, 60, 30)}, 0, 3, QStringLiteral("17"));
    TText label;
    label.Text = {QStringLiteral("Lenina")};
    label.x = -90;
    label.y = 60;
    label.size = 14;
    label.color = 0xFF0000; // blue
    label.Widen(-90, 60);
    label.Widen(0, 80);
    label.FlatBox3D();
    s.db.Texts.push_back(label);
    TPOI poi;
    poi.x = 120;
    poi.y = -80;
    poi.Widen(112, -88);
    poi.Widen(128, -72);
    poi.FlatBox3D();
    s.db.POIs.push_back(poi);
    const QImage flat2d = s.Draw2D(1, 0, 0);
    const QImage gl = s.Draw(1, 0, 0);
    ASSERT_EQ(flat2d.size(), gl.size());
    struct Region {
        const char* what;
        QRect r;
        QRgb ink; // a colour the label is drawn in
    } regions[] = {
        {"street label", QRect(s.At(-90, 60), QSize(90, 24)), 0x0000FF},
        {"house number", QRect(s.At(0, 0) - QPoint(15, 12), QSize(30, 24)), 0x000000},
        {"icon", QRect(s.At(120, -80) - QPoint(8, 8), QSize(16, 16)), 0},
    };
    for (const Region& g : regions) {
        SCOPED_TRACE(g.what);
        int differ = 0, ink2d = 0, inkGl = 0, unlike = 0;
        for (int y = g.r.top(); y <= g.r.bottom(); ++y)
            for (int x = g.r.left(); x <= g.r.right(); ++x) {
                const QRgb a = flat2d.pixel(x, y), b = gl.pixel(x, y);
                differ += std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                    std::abs(qBlue(a) - qBlue(b))}) > 24;
                ink2d += (a & 0xFFFFFF) == g.ink;
                inkGl += (b & 0xFFFFFF) == g.ink;
                unlike += (a & 0xFFFFFF) != (flat2d.pixel(g.r.topLeft()) & 0xFFFFFF);
            }
        EXPECT_GT(unlike, 20) << "the 2D map draws it here";
        if (g.ink) EXPECT_EQ(inkGl, ink2d);
        EXPECT_LE(differ, g.r.width() * g.r.height() / 50);
    }
    // While the map moves there are no labels, as in 2D.
    s.display.TextsOn = false;
    s.Draw(1, 0, 0);
    EXPECT_TRUE(s.gl->labels().isNull());
}
