// Cutting lines and areas to the extract's bounds, joining ways end to end, and closing outlines
// that the extract cut open along its box.
#include "OsmClip.h"
#include "OsmGeometry.h"

#include <gtest/gtest.h>

namespace {

const ClipBox Box{0, 0, 100, 100};

double Area(const std::vector<TShapeFis>& rings) {
    double a = 0;
    for (const TShapeFis& r : rings)
        a += std::abs(RingArea(r));
    return a;
}

} // namespace

TEST(OsmClip, LinesAndRingsAreCutToTheBox) {
    // Out, in, out and in again: two pieces, each starting and ending on the edge or inside.
    const std::vector<TShapeFis> pieces =
        ClipLine(Box, {{-50, 50}, {50, 50}, {50, 150}, {80, 150}, {80, 50}});
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0], (TShapeFis{{0, 50}, {50, 50}, {50, 100}}));
    EXPECT_EQ(pieces[1], (TShapeFis{{80, 100}, {80, 50}}));
    EXPECT_TRUE(ClipLine(Box, {{-10, -10}, {-10, 200}}).empty());

    TCoord a{-100, 20}, b{300, 20};
    ASSERT_TRUE(ClipSegment(Box, a, b));
    EXPECT_EQ(a, (TCoord{0, 20}));
    EXPECT_EQ(b, (TCoord{100, 20}));

    // A square half outside keeps its inner half; one wholly outside is gone.
    EXPECT_NEAR(std::abs(RingArea(ClipRing(Box, {{50, 0}, {150, 0}, {150, 100}, {50, 100}}))), 5000, 1e-3);
    EXPECT_TRUE(ClipRing(Box, {{150, 0}, {250, 0}, {250, 100}}).empty());
}

TEST(OsmClip, WaysJoinEndToEndTurnedAsNeeded) {
    // Three ways of one street out of order, one drawn backwards, and a branch at the middle junction:
    // the straight way on wins there.
    const std::vector<TShapeFis> joined =
        JoinLines({{{20, 0}, {10, 0}}, {{20, 0}, {30, 0}}, {{0, 0}, {10, 0}}, {{10, 0}, {10, 40}}});
    ASSERT_EQ(joined.size(), 2u);
    TShapeFis street = joined[0];
    if (street.front().x > street.back().x) std::reverse(street.begin(), street.end());
    EXPECT_EQ(street, (TShapeFis{{0, 0}, {10, 0}, {20, 0}, {30, 0}}));
    EXPECT_EQ(joined[1], (TShapeFis{{10, 0}, {10, 40}}));
    // A ring in pieces comes back closed.
    const std::vector<TShapeFis> ring = JoinLines({{{0, 0}, {10, 0}, {10, 10}}, {{0, 0}, {0, 10}, {10, 10}}});
    ASSERT_EQ(ring.size(), 1u);
    EXPECT_EQ(ring[0].size(), 5u);
    EXPECT_EQ(ring[0].front(), ring[0].back());
}

TEST(OsmClip, OutlinesCutOpenAreClosedAlongTheBox) {
    // A boundary across the box from its west edge to its south edge.
    const std::vector<TShapeFis> chord = {{{0, 60}, {40, 60}, {40, 100}}};
    // Without a point known inside, the smaller side (the south-west corner) is taken...
    auto corner = CloseAlongBox(Box, chord, std::nullopt);
    ASSERT_TRUE(corner);
    EXPECT_NEAR(Area(*corner), 1600, 1e-3);
    // ...with one, its side.
    auto rest = CloseAlongBox(Box, chord, TCoord{90, 10});
    ASSERT_TRUE(rest);
    EXPECT_NEAR(Area(*rest), 10000 - 1600, 1e-3);

    // Two boundaries across: the band between them is one ring, or the two outer pieces are two.
    const std::vector<TShapeFis> band = {{{0, 30}, {100, 30}}, {{100, 70}, {0, 70}}};
    auto middle = CloseAlongBox(Box, band, TCoord{50, 50});
    ASSERT_TRUE(middle);
    ASSERT_EQ(middle->size(), 1u);
    EXPECT_NEAR(Area(*middle), 4000, 1e-3);
    auto outer = CloseAlongBox(Box, band, TCoord{50, 10});
    ASSERT_TRUE(outer);
    EXPECT_EQ(outer->size(), 2u);
    EXPECT_NEAR(Area(*outer), 6000, 1e-3);

    // An outline open inside the data (not at the box) cannot be closed.
    EXPECT_FALSE(CloseAlongBox(Box, {{{0, 60}, {40, 60}}}, std::nullopt));
}

TEST(OsmClip, GridPointsFillARingRowByRow) {
    const TShapeFis square{{0.5f, 0.5f}, {99.5f, 0.5f}, {99.5f, 99.5f}, {0.5f, 99.5f}};
    // Nine rows: the odd ones shifted by half a step hold ten points, the even ones nine.
    EXPECT_EQ(GridPointsInside(square, 10).size(), 86u);
    const TShapeFis triangle{{0, 0}, {200, 0}, {0, 200}};
    const std::vector<TCoord> points = GridPointsInside(triangle, 7);
    EXPECT_GT(points.size(), 300u); // about 20,000 m² at 49 m² a point
    for (const TCoord& p : points)
        EXPECT_TRUE(PointInRing(triangle, p)) << p.x << "," << p.y;
}
