#include "MinimapGeometry.h"

#include <gtest/gtest.h>

namespace {

// A 19 200 x 9 600 m city on an 800 x 600 map image: a minimap of 192 x 92 inside its bevels.
MapView City() {
    MapView v;
    v.SetWorld(0, 0, 19200, 9600);
    v.SetSurface(800, 600, true);
    return v;
}

} // namespace

TEST(MinimapGeometry, SizeFollowsTheLongerSideOfTheCity) {
    struct Case {
        float w, h;
        int mapW, mapH;
        int panelW, panelH;
    } cases[] = {
        {19200, 9600, 800, 600, 200, 100}, // twice as wide as high
        {1000, 3000, 800, 600, 50, 150},   // taller than wide: a quarter of the height
        {1000, 1000, 800, 600, 200, 200},  // square
        {1, 100000, 20, 20, 9, 9},         // never smaller than its bevels
        {0, 0, 800, 600, 200, 200},        // a city without extent
    };
    for (const Case& c : cases) {
        const MinimapSize s = ComputeMinimapSize(c.w, c.h, c.mapW, c.mapH);
        EXPECT_EQ(s.panelW, c.panelW) << c.w << "x" << c.h;
        EXPECT_EQ(s.panelH, c.panelH) << c.w << "x" << c.h;
        EXPECT_EQ(s.MiniW, c.panelW - 8);
        EXPECT_EQ(s.MiniH, c.panelH - 8);
    }
}

TEST(MinimapGeometry, FrameAtFullScaleCoversTheMinimapClamped) {
    MapView v = City();
    v.CorrectPosition();
    // The 800 x 600 view of the whole city reaches past its top and bottom: clamped to the edges.
    const MiniRect r = MinimapFrame(v, 192, 92);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 192);
    EXPECT_EQ(r.bottom, 92);
}

TEST(MinimapGeometry, FrameOfAZoomedViewIsWhereTheViewIs) {
    MapView v = City();
    v.Scale = 2; // 1600 x 1200 m around (4800, 2400)
    v.OriginX = 4800;
    v.OriginY = 2400;
    const MiniRect r = MinimapFrame(v, 192, 92);
    EXPECT_EQ(r.left, 40);   // 4000 m of 19 200 over 192 pixels
    EXPECT_EQ(r.right, 56);  // 5600 m
    EXPECT_EQ(r.top, 17);    // 1800 m of 9 600 over 92 pixels: 17.25
    EXPECT_EQ(r.bottom, 29); // 3000 m: 28.75
}

TEST(MinimapGeometry, DragRadiusStaysInsideThePicture) {
    struct Case {
        int px, py, x, y, mode, r;
    } cases[] = {
        {100, 50, 120, 55, 0, 20}, // the larger distance
        {100, 50, 95, 20, 0, 30},  // upwards
        {10, 50, 60, 50, 0, 10},   // the square around the press point, near the left edge
        {100, 85, 100, 40, 0, 7},  // near the bottom (picture 192 x 92)
        {185, 50, 100, 50, 0, 7},  // near the right edge
        {100, 50, 100, 50, 0, 0},  // no movement
        // From a corner the rectangle drawn limits it, not a square around the press point.
        {10, 50, 100, 50, 1, 90},  // 10 pixels off the left edge, 90 to the right
        {0, 0, 60, 30, 1, 60},     // from the top left corner
        {100, 50, 250, 60, 1, 92}, // past the right edge: up to it
        {100, 50, 100, 50, 1, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MinimapDragRadius(c.px, c.py, c.x, c.y, 192, 92, c.mode), c.r)
            << c.px << "," << c.py << " " << c.x << "," << c.y << " mode " << c.mode;
}

TEST(MinimapGeometry, ReleaseAsksForScaleAndCentre) {
    MapView v = City();
    v.Scale = 7;
    // A drag of 20 pixels around its centre on a 192-pixel minimap of a 19 200-metre-wide city, with an
    // 800-pixel map: 19 200 x 40 / 192 / 800 = 5, centred on the press point.
    ZoomTarget t = MinimapTarget(v, 96, 46, 116, 50, 20, 0, 192, 92, 800);
    EXPECT_FLOAT_EQ(t.scale, 5);
    EXPECT_FLOAT_EQ(t.x, 9600);
    EXPECT_FLOAT_EQ(t.y, 4800);
    // From a corner: half the scale of the same size, centred between press and release (integer halving).
    t = MinimapTarget(v, 116, 50, 96, 30, 20, 1, 192, 92, 800);
    EXPECT_FLOAT_EQ(t.scale, 2.5f);
    EXPECT_FLOAT_EQ(t.x, 106 * 100.0f);
    EXPECT_FLOAT_EQ(t.y, 9600.0f * 40 / 92);
    // A plain click keeps the current scale and goes to the clicked place.
    t = MinimapTarget(v, 48, 23, 48, 23, 0, 1, 192, 92, 800);
    EXPECT_FLOAT_EQ(t.scale, 7);
    EXPECT_FLOAT_EQ(t.x, 4800);
    EXPECT_FLOAT_EQ(t.y, 2400);
}
