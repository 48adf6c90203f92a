#include "MapView.h"

#include <gtest/gtest.h>

namespace {

// A 1000 x 500 m city on an 800 x 600 surface: FullScale 1.25 (limited by the width).
MapView CityView() {
    MapView v;
    v.SetWorld(0, 0, 1000, 500);
    v.SetSurface(800, 600, true);
    return v;
}

} // namespace

TEST(MapView, ToPixelsRoundsHalfToEven) {
    MapView v;
    v.Scale = 1;
    struct Case {
        float metres;
        int pixels;
    } cases[] = {{2.5f, 2}, {3.5f, 4}, {-2.5f, -2}, {-3.5f, -4}, {0.5f, 0}, {1.5f, 2}, {2.4f, 2}, {2.6f, 3}};
    for (auto c : cases) EXPECT_EQ(v.ToPixels(c.metres), c.pixels) << c.metres;
    v.OriginX = 100;
    v.OffsetX = 400;
    int px, py;
    v.WorldToScreen(102.5f, 0, px, py);
    EXPECT_EQ(px, 402);
    v.WorldToScreen(103.5f, 0, px, py);
    EXPECT_EQ(px, 404);
}

TEST(MapView, ScreenAndWorldConvertBothWays) {
    MapView v = CityView();
    v.Scale = 0.5f;
    v.OriginX = 300;
    v.OriginY = 200;
    float x, y;
    v.ScreenToWorld(500, 100, x, y);
    EXPECT_FLOAT_EQ(x, 350);
    EXPECT_FLOAT_EQ(y, 100);
    int px, py;
    v.WorldToScreen(x, y, px, py);
    EXPECT_EQ(px, 500);
    EXPECT_EQ(py, 100);
    // The cursor variant halves the surface with real division: odd widths differ from OffsetX.
    v.SetSurface(801, 600);
    v.CursorToWorld(401, 300, x, y);
    EXPECT_FLOAT_EQ(x, 300); // 401 - 400.5 = 0.5 rounds to 0
    v.ScreenToWorld(401, 300, x, y);
    EXPECT_FLOAT_EQ(x, 300.5f);
}

TEST(MapView, FullScaleFitsTheWholeCity) {
    MapView v = CityView();
    EXPECT_FLOAT_EQ(v.FullScale, 1.25f);
    EXPECT_FLOAT_EQ(v.Scale, 1.25f);
    v.SetSurface(800, 200);
    EXPECT_FLOAT_EQ(v.FullScale, 2.5f); // now the height limits
    EXPECT_FLOAT_EQ(v.Scale, 1.25f) << "only the start sets the scale";
}

TEST(MapView, CorrectPositionCentresAtFullScaleAndClampsOtherwise) {
    MapView v = CityView();
    v.OriginX = -5000;
    v.OriginY = 9000;
    v.CorrectPosition();
    EXPECT_FLOAT_EQ(v.OriginX, 500);
    EXPECT_FLOAT_EQ(v.OriginY, 250);

    v.Scale = 1; // the view is 800 x 600 m: wider than the city's height
    v.OriginX = 990;
    v.OriginY = 240;
    v.CorrectPosition();
    EXPECT_FLOAT_EQ(v.OriginX, 600); // right edge clamped
    EXPECT_FLOAT_EQ(v.OriginY, 250); // sticks out on both sides: centred
    v.OriginY = 10;
    v.CorrectPosition();
    EXPECT_FLOAT_EQ(v.OriginY, 250) << "only the top sticks out, but the view is higher than the city: centred";
    v.OriginY = 480;
    v.CorrectPosition();
    EXPECT_FLOAT_EQ(v.OriginY, 250) << "only the bottom sticks out";

    v.Scale = 0.5f; // 400 x 300 m
    v.OriginX = 10;
    v.OriginY = 490;
    v.CorrectPosition();
    EXPECT_FLOAT_EQ(v.OriginX, 200);
    EXPECT_FLOAT_EQ(v.OriginY, 350);
}

TEST(MapView, ZoomStepsAndTheirLimits) {
    MapView v = CityView();
    v.Scale = 0.12f;
    EXPECT_TRUE(v.ZoomIn());
    EXPECT_FLOAT_EQ(v.Scale, 0.1f);
    EXPECT_FALSE(v.ZoomIn());
    v.Scale = 1.0f;
    EXPECT_TRUE(v.ZoomOut());
    EXPECT_FLOAT_EQ(v.Scale, 1.25f);
    EXPECT_FALSE(v.ZoomOut());
}

TEST(MapView, ZoomAboutCursorKeepsThePointUnderIt) {
    MapView v = CityView();
    v.Scale = 1;
    v.OriginX = 500;
    v.OriginY = 250;
    float bx, by, ax, ay;
    v.CursorToWorld(100, 500, bx, by);
    ASSERT_TRUE(v.ZoomAboutCursor(100, 500, true));
    v.CursorToWorld(100, 500, ax, ay);
    EXPECT_NEAR(ax, bx, 1e-3);
    EXPECT_NEAR(ay, by, 1e-3);
}

TEST(MapView, ZoomToRectangle) {
    MapView v = CityView();
    v.Scale = 1.2f;
    v.OriginX = 500;
    v.OriginY = 250;
    ZoomTarget centre = v.ZoomToRect(400, 300, 450, 320, 0);
    EXPECT_FLOAT_EQ(centre.scale, 0.2f); // half-side 50 on 800 x 600: Scale / 6
    EXPECT_FLOAT_EQ(centre.x, 500);

    ZoomTarget corner = v.ZoomToRect(400, 300, 460, 330, 1);
    EXPECT_FLOAT_EQ(corner.scale, 1.2f / 10);
    EXPECT_FLOAT_EQ(corner.x, 500 + 30 * 1.2f);
    EXPECT_FLOAT_EQ(corner.y, 250 + 15 * 1.2f);

    ZoomTarget click = v.ZoomToRect(400, 300, 400, 300, 1);
    EXPECT_FLOAT_EQ(click.scale, 0.4f);
    v.Scale = 0.2f;
    EXPECT_FLOAT_EQ(v.ZoomToRect(0, 0, 0, 0, 0).scale, 0.1f);
}

TEST(MapView, VisibilityEdgesAndTheThreeDimensionalBox) {
    MapView v = CityView();
    v.Scale = 1;
    v.OriginX = 400;
    v.OriginY = 300; // screen x = world x, screen y = world y
    // Right edge exactly at x 0: invisible; left edge at W - 1: visible.
    EXPECT_FALSE(v.IsVisible(-10, 0, 10, 20, 0, 10, true));
    EXPECT_TRUE(v.IsVisible(799, 810, 10, 20, 810, 10, true));
    EXPECT_FALSE(v.IsVisible(800, 810, 10, 20, 810, 10, true));
    // A tall building just below the surface whose roof reaches into it: drawn only with heights on.
    EXPECT_FALSE(v.IsVisible(100, 120, 610, 630, 135, 550, true));
    EXPECT_TRUE(v.IsVisible(100, 120, 610, 630, 135, 550, false));
    // Its roof also reaches right past x 0.
    EXPECT_TRUE(v.IsVisible(-30, -5, 10, 20, 3, 10, false));
    EXPECT_FALSE(v.IsVisible(-30, -5, 10, 20, 3, 10, true));
}
