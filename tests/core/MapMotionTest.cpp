#include "MapMotion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <vector>

namespace {

struct FakeHost : MotionHost {
    MapView& view;
    std::vector<float> fullScales; // scale at each full redraw
    int overlayRedraws = 0;
    int waits = 0;
    int shownCleared = 0;
    std::set<MotionTimer> running;
    std::function<void()> onEvents;

    explicit FakeHost(MapView& v) : view(v) {}
    void Redraw(bool full) override {
        if (!full) {
            ++overlayRedraws;
            return;
        }
        view.CorrectPosition();
        fullScales.push_back(view.Scale);
    }
    void ProcessEvents() override {
        if (onEvents) onEvents();
    }
    void Wait(int ms) override {
        EXPECT_EQ(ms, 20);
        ++waits;
    }
    void StartTimer(MotionTimer t) override { running.insert(t); }
    void StopTimer(MotionTimer t) override { running.erase(t); }
    void ClearShownObjects() override { ++shownCleared; }
};

MapView BigCity() {
    MapView v;
    v.SetWorld(0, 0, 20000, 20000);
    v.SetSurface(1000, 800, true);
    v.Scale = 1;
    v.OriginX = 10000;
    v.OriginY = 10000;
    return v;
}

} // namespace

TEST(MapMotion, FlightStepsFollowTheDistance) {
    EXPECT_EQ(MapMotion::FlightSteps(500), 10);
    EXPECT_EQ(MapMotion::FlightSteps(2300), 23);
    EXPECT_EQ(MapMotion::FlightSteps(5000), 40);
    EXPECT_EQ(MapMotion::FlightSteps(0), 10);
}

TEST(MapMotion, FlightZoomsOutThenInAndEndsExactly) {
    MapView v = BigCity();
    FakeHost host(v);
    MapDisplay display;
    MapMotion m(v, display, host);
    int frames = m.FlyTo(12300, 10000, 1); // 2.3 km at the same scale
    EXPECT_EQ(frames, 24);                 // 23 animated frames and the final one
    EXPECT_EQ(host.waits, 22);
    ASSERT_EQ(host.fullScales.size(), 24u);
    // Overview scale: both points fit at 2300 / 1000 m per pixel.
    float peak = *std::max_element(host.fullScales.begin(), host.fullScales.end());
    EXPECT_NEAR(peak, 2.3f, 0.2f);
    EXPECT_GT(host.fullScales[5], 1.0f);
    EXPECT_FLOAT_EQ(v.OriginX, 12300);
    EXPECT_FLOAT_EQ(v.Scale, 1);
    EXPECT_TRUE(m.TextsOn);
    EXPECT_TRUE(m.SmoothNow);
}

TEST(MapMotion, FlightWithoutJumpAndToTheCurrentView) {
    MapView v = BigCity();
    FakeHost host(v);
    MapDisplay display;
    MapMotion m(v, display, host);
    EXPECT_EQ(m.FlyTo(10000, 10000, 1), 0);
    EXPECT_TRUE(host.fullScales.empty()) << "already there: nothing is redrawn";
    m.jump = false;
    EXPECT_EQ(m.FlyTo(11000, 9000, 0.5f), 1);
    EXPECT_FLOAT_EQ(v.OriginY, 9000);
}

TEST(MapMotion, PressDuringFlightStopsWhereItIs) {
    MapView v = BigCity();
    FakeHost host(v);
    MapDisplay display;
    MapMotion m(v, display, host);
    m.smooth = false;
    int events = 0;
    host.onEvents = [&] {
        if (++events == 3) m.StopMotion = true;
    };
    int frames = m.FlyTo(15000, 10000, 1);
    EXPECT_EQ(frames, 3);
    EXPECT_GT(v.OriginX, 10000);
    EXPECT_LT(v.OriginX, 15000);
    EXPECT_TRUE(m.TextsOn);
    EXPECT_FALSE(m.SmoothNow) << "restored to the smooth setting";
    EXPECT_EQ(host.fullScales.size(), 4u) << "one more full redraw after the stop";
}

TEST(MapMotion, EdgeScrollingAccelerates) {
    MapView v = BigCity();
    FakeHost host(v);
    MapDisplay display;
    MapMotion m(v, display, host);
    m.StartEdgeScroll();
    EXPECT_TRUE(host.running.count(MotionTimer::Move));
    EXPECT_FALSE(m.TextsOn);
    for (int i = 0; i < 20; ++i) m.EdgeScrollTick(EdgeRight); // one second of 50 ms ticks
    EXPECT_FLOAT_EQ(v.OriginX, 10000 + (6 + 25) * 20 / 2);
    EXPECT_TRUE(m.StopMotion);
    m.StopEdgeScroll();
    EXPECT_FALSE(host.running.count(MotionTimer::Move));
    EXPECT_TRUE(host.running.count(MotionTimer::Smooth));

    // Once stopped, a late tick neither moves the view nor stops other motions.
    const float stoppedAt = v.OriginX;
    m.StopMotion = false;
    m.EdgeScrollTick(EdgeRight);
    EXPECT_FLOAT_EQ(v.OriginX, stoppedAt);
    EXPECT_FALSE(m.StopMotion);
    // A scroll whose pointer left the edge band ends at its next tick, without a stop of other motions.
    m.StartEdgeScroll();
    m.EdgeScrollTick(0);
    EXPECT_FALSE(m.EdgeScrolling);
    EXPECT_FALSE(host.running.count(MotionTimer::Move));
    EXPECT_FALSE(m.StopMotion);
    EXPECT_FLOAT_EQ(v.OriginX, stoppedAt);
}

TEST(MapMotion, GlideDecaysAndStopsAtTheEdge) {
    MapView v = BigCity();
    FakeHost host(v);
    MapDisplay display;
    MapMotion m(v, display, host);
    m.AddPanSample(500, 400, 1000);
    m.AddPanSample(480, 400, 1010); // 20 px in 10 ms: 100 px per 50 ms tick
    ASSERT_TRUE(m.StartGlide());
    EXPECT_FLOAT_EQ(m.GlideVelocityX, -100);
    EXPECT_FLOAT_EQ(m.GlideVelocityY, 0);
    m.GlideTick();
    EXPECT_FLOAT_EQ(v.OriginX, 10100);
    EXPECT_FLOAT_EQ(m.GlideVelocityX, -80);
    int ticks = 1;
    while (host.running.count(MotionTimer::Flow) && ticks < 100) {
        m.GlideTick();
        ++ticks;
    }
    EXPECT_LT(std::fabs(m.GlideVelocityX), 2);

    // A drag that rested (the stop timer cleared the samples) does not glide.
    m.AddPanSample(500, 400, 1000);
    m.AddPanSample(480, 400, 1010);
    m.PanRestTick();
    EXPECT_FALSE(m.StartGlide());

    // Against the city's edge the glide stops at once.
    v.OriginX = 20000 - 500; // right edge of the view on the city's edge
    m.AddPanSample(500, 400, 1000);
    m.AddPanSample(400, 400, 1010);
    ASSERT_TRUE(m.StartGlide());
    m.GlideTick();
    EXPECT_FALSE(host.running.count(MotionTimer::Flow));
}

TEST(MapMotion, BlinkingFlashesThreeTimesThenEmptiesTheShownSet) {
    MapView v = BigCity();
    FakeHost host(v);
    MapDisplay display;
    MapMotion m(v, display, host);
    host.StartTimer(MotionTimer::Blink);
    std::vector<int> counters;
    for (int i = 0; i < 7; ++i) {
        m.BlinkTick();
        counters.push_back(m.BlinkCounter);
    }
    EXPECT_EQ(counters, (std::vector<int>{1, 2, 3, 4, 5, 6, 0}));
    EXPECT_FALSE(host.running.count(MotionTimer::Blink));
    EXPECT_EQ(host.shownCleared, 1);
    EXPECT_EQ(host.overlayRedraws, 7);

    m.blink = false;
    host.StartTimer(MotionTimer::Blink);
    m.BlinkTick();
    EXPECT_FALSE(host.running.count(MotionTimer::Blink));
    EXPECT_EQ(host.shownCleared, 1) << "with blinking off the shown set stays";
}
