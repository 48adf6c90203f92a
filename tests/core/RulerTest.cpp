// The ruler's lengths and texts, its nodes under the pointer, and the radius handles.
#include "Ruler.h"
#include "MapView.h"
#include "TextTable.h"

#include <gtest/gtest.h>

namespace {

TEST(DistanceText, LengthsAndWalkingTimes) {
    struct Case {
        int m;
        bool walking;
        int lang;
        QChar decimal;
        const char* expected;
    } cases[] = {
        {0, true, LangEnglish, u'.', "0 m"},
        {999, false, LangEnglish, u'.', "999 m"},
        {1000, false, LangEnglish, u'.', "1.00 km"},
        {1000, false, LangEnglish, u',', "1,00 km"},
        {1234, false, LangRussian, u'.', "1.23 км"},
        {1500, true, LangRussian, u'.', "1.50 км (18 - 30 мин. пешком)"},
        {200, true, LangRussian, u'.', "200 м (меньше 5 мин. пешком)"},
        // Both times below an hour: the fast one is bare.
        {240, true, LangEnglish, u'.', "240 m (3 - 5 min. on foot)"},
        // The slow time past an hour: the fast one carries its unit.
        {4000, true, LangEnglish, u'.', "4.00 km (48 min. - 1 h. 20 min. on foot)"},
        // Whole hours drop the minutes.
        {5000, true, LangEnglish, u'.', "5.00 km (1 h. - 1 h. 40 min. on foot)"},
        {15000, true, LangEnglish, u'.', "15.00 km (3 h. - 5 h. on foot)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DistanceText(c.m, c.walking, c.lang, c.decimal), QString::fromUtf8(c.expected)) << c.m;
}

TEST(Ruler, EachSegmentIsRoundedBeforeItIsAddedAndDeletingRecomputes) {
    TMeas meas;
    meas.AddNode(0, 0);
    meas.AddNode(0, 300.4f);
    meas.AddNode(0, 600.8f);
    ASSERT_EQ(meas.path.size(), 3u);
    EXPECT_EQ(meas.path[0].len, 0);
    EXPECT_EQ(meas.path[1].len, 300);
    EXPECT_EQ(meas.path[2].len, 600);
    // A detour through the middle node; deleting it shortens the path to the straight line.
    meas.path[1].NodePoint = TCoord{300, 400};
    meas.RecalcLength();
    EXPECT_EQ(meas.path[2].len, 500 + 500);
    meas.path[1].Closed = true;
    EXPECT_TRUE(meas.RemoveClosedNode());
    ASSERT_EQ(meas.path.size(), 2u);
    EXPECT_EQ(meas.path[1].len, 601);
    EXPECT_FALSE(meas.RemoveClosedNode());
}

struct RulerOnMap : ::testing::Test {
    MapView v;
    void SetUp() override {
        v.SetWorld(-1000, -1000, 1000, 1000);
        v.SetSurface(800, 600);
        v.Scale = 2;
        v.OriginX = v.OriginY = 0; // world (0, 0) is pixel (400, 300), 2 metres per pixel
    }
};

class Fixed : public TextMeasure {
public:
    int Width(const QString& t, bool) const override { return int(t.size()) * 7; }
    int Height(bool) const override { return 15; }
};

TEST_F(RulerOnMap, NodesAreDraggedAndDeletedByThePointer) {
    TMeas meas;
    meas.AddNode(0, 0);
    meas.AddNode(0, 200);
    meas.Layout(v, Fixed(), LangEnglish);
    const TMeasNode& last = meas.path[1];
    EXPECT_EQ(last.px, 500);
    EXPECT_EQ(last.width, 5 * 7 + 29); // "200 m"
    EXPECT_EQ(last.top, 300 - 35);
    // On the point itself, within 4 pixels: a drag.
    EXPECT_EQ(meas.MouseDown(504, 296), "node_move");
    meas.Drag(v, 0, 50); // 100 metres down
    meas.MouseUp(false, 504, 346);
    EXPECT_EQ(meas.path[1].NodePoint.y, 100);
    EXPECT_EQ(meas.path[1].len, 224); // hypot(200, 100) = 223.6
    EXPECT_EQ(meas.MouseDown(510, 400), "");
    // The close button of the first node.
    meas.Layout(v, Fixed(), LangEnglish);
    const TMeasNode& first = meas.path[0];
    const int bx = first.left + first.btnClose.left + 8, by = first.top + first.btnClose.top + 8;
    EXPECT_TRUE(meas.Hover(bx, by));
    EXPECT_EQ(meas.MouseDown(bx, by), "node_btn");
    // Slid off the button before the release: nothing; released on it: the node goes.
    meas.MouseUp(true, bx, by + 20);
    ASSERT_EQ(meas.path.size(), 2u);
    EXPECT_EQ(meas.path[0].btnClose.state, bsNormal);
    EXPECT_EQ(meas.MouseDown(bx, by), "node_btn");
    meas.MouseUp(true, bx, by);
    ASSERT_EQ(meas.path.size(), 1u);
    EXPECT_EQ(meas.path[0].len, 0);
    // Hidden nodes take no pointer.
    meas.NodeVisible = false;
    EXPECT_EQ(meas.MouseDown(500, 350), "");
}

TEST_F(RulerOnMap, RadiusHandles) {
    TRadius radius;
    EXPECT_FALSE(radius.OnMouseMove(v, 400, 300)); // hidden
    radius.Visible = true;
    radius.center = TCoord{0, 0};
    radius.Radius = 200; // 100 pixels
    struct Case {
        int x, y;
        TMouseState state;
    } cases[] = {
        {400, 300, msOverCenter}, {404, 296, msOverCenter}, {498, 300, msOverHor},
        {302, 302, msOverHor},    {400, 398, msOverVer},    {401, 202, msOverVer},
        {450, 300, msOut},        {440, 340, msOut},        {406, 398, msOut},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(radius.OnMouseMove(v, c.x, c.y), c.state != msOut) << c.x << "," << c.y;
        EXPECT_EQ(radius.MouseState, c.state) << c.x << "," << c.y;
    }
    const RadiusCircle circle = radius.Circle();
    EXPECT_TRUE(circle.Visible);
    EXPECT_EQ(circle.Radius, 200);
    radius.Hide();
    EXPECT_FALSE(radius.Circle().Visible);
}

} // namespace
