#include "MapMotion.h"

#include <algorithm>
#include <cmath>

int MapMotion::FlightSteps(float distance) { return std::clamp(RoundHalfEven(distance / 100.0), 10, 40); }

int MapMotion::FlyTo(float x, float y, float scale) {
    host_.ShowMapPage();
    if (std::fabs(x - view_.OriginX) < 0.001f && std::fabs(y - view_.OriginY) < 0.001f &&
        std::fabs(scale - view_.Scale) < 0.00001f)
        return 0;
    StopMotion = false;
    KeysToMap = true;
    int frames = 0;
    if (jump) {
        SmoothNow = false;
        TextsOn = false;
        const double dx = std::fabs(double(view_.OriginX) - x), dy = std::fabs(double(view_.OriginY) - y);
        const int n = FlightSteps(static_cast<float>(std::hypot(dx, dy)));
        const double W = view_.Width, H = view_.Height;
        double u;
        if (dx == 0) u = dy / H;
        else if (dy == 0) u = dx / W;
        else u = std::max(dx / W, dy / H);
        if (scale > u) u = scale;
        bool zoomingOut = u >= view_.Scale;
        const double b = zoomingOut ? ((u - scale) + (u - view_.Scale)) / n : (double(view_.Scale) - scale) / n;
        for (int i = 0; i < n; ++i) {
            if (i == n - 1) {
                view_.OriginX = x;
                view_.OriginY = y;
                view_.Scale = scale;
            } else {
                const double rx = double(x) - view_.OriginX, ry = double(y) - view_.OriginY;
                view_.OriginX = static_cast<float>(view_.OriginX + rx / (n - i));
                view_.OriginY = static_cast<float>(view_.OriginY + ry / (n - i));
                if (zoomingOut && view_.Scale >= u) {
                    view_.Scale = static_cast<float>(u);
                    zoomingOut = false;
                }
                view_.Scale = static_cast<float>(zoomingOut ? view_.Scale + b : view_.Scale - b);
            }
            host_.Redraw(true);
            ++frames;
            host_.ProcessEvents();
            if (StopMotion) {
                TextsOn = true;
                SmoothNow = smooth;
                host_.Redraw(true);
                return frames;
            }
            if (i < n - 1) host_.Wait(FlightSpacingMs);
        }
        TextsOn = true;
        SmoothNow = smooth;
    }
    view_.OriginX = x;
    view_.OriginY = y;
    view_.Scale = scale;
    host_.Redraw(true);
    return frames + 1;
}

void MapMotion::StartEdgeScroll() {
    EdgeScrolling = true;
    EdgeStep = 5;
    host_.StopTimer(MotionTimer::Smooth);
    SmoothNow = false;
    TextsOn = false;
    host_.StartTimer(MotionTimer::Move);
}

void MapMotion::EdgeScrollTick(int cursor) {
    if (!EdgeScrolling) return;
    if (cursor < EdgeUp || cursor > EdgeDownRight) {
        // A scroll that lost its edge would stop every other motion on each tick.
        StopEdgeScroll();
        return;
    }
    ++EdgeStep;
    const float step = EdgeStep * view_.Scale;
    const float oldX = view_.OriginX, oldY = view_.OriginY;
    float dx = 0, dy = 0;
    switch (cursor) {
    case EdgeUp: dy = -step; break;
    case EdgeDown: dy = step; break;
    case EdgeLeft: dx = -step; break;
    case EdgeRight: dx = step; break;
    case EdgeUpRight: dx = step, dy = -step; break;
    case EdgeUpLeft: dx = -step, dy = -step; break;
    case EdgeDownLeft: dx = -step, dy = step; break;
    case EdgeDownRight: dx = step, dy = step; break;
    default: break;
    }
    view_.OriginX += dx;
    view_.OriginY += dy;
    view_.CorrectPosition();
    StopMotion = true;
    if (std::fabs(view_.OriginX - oldX) > 0.00001f || std::fabs(view_.OriginY - oldY) > 0.00001f)
        host_.Redraw(true);
}

void MapMotion::StopEdgeScroll() {
    if (!EdgeScrolling) return;
    EdgeScrolling = false;
    host_.StopTimer(MotionTimer::Move);
    host_.StartTimer(MotionTimer::Smooth);
}

void MapMotion::AddPanSample(int x, int y, std::int64_t timeMs) {
    PanPrevious = PanLast;
    PanLast = {x, y, timeMs};
    host_.StartTimer(MotionTimer::Stop);
}

void MapMotion::PanRestTick() {
    host_.StopTimer(MotionTimer::Stop);
    PanPrevious = PanLast = {};
}

bool MapMotion::StartGlide() {
    GlideVelocityX = GlideVelocityY = 0;
    if (!AutoScrollMap) return false;
    if (PanPrevious.x == PanLast.x && PanPrevious.y == PanLast.y) return false;
    // Seconds and milliseconds of the interval only: whole minutes do not count.
    const std::int64_t dt = ((PanLast.timeMs - PanPrevious.timeMs) % 60000 + 60000) % 60000;
    auto velocity = [&](int prev, int last) -> float {
        if (prev == 0 || prev == last || dt == 0) return 0;
        return static_cast<float>(RoundHalfEven(double(last - prev) / double(dt) * FlowIntervalMs));
    };
    GlideVelocityX = velocity(PanPrevious.x, PanLast.x);
    GlideVelocityY = velocity(PanPrevious.y, PanLast.y);
    if (GlideVelocityX == 0 && GlideVelocityY == 0) return false;
    host_.StartTimer(MotionTimer::Flow);
    return true;
}

void MapMotion::GlideTick() {
    if (StopMotion || (std::fabs(GlideVelocityX) < 2 && std::fabs(GlideVelocityY) < 2)) {
        host_.StopTimer(MotionTimer::Flow);
        return;
    }
    host_.StopTimer(MotionTimer::Smooth);
    SmoothNow = false;
    TextsOn = false;
    view_.OriginX -= view_.ToWorld(RoundHalfEven(GlideVelocityX));
    view_.OriginY -= view_.ToWorld(RoundHalfEven(GlideVelocityY));
    const float setX = view_.OriginX, setY = view_.OriginY;
    host_.Redraw(true);
    if (std::fabs(view_.OriginX - setX) > 0.000001f || std::fabs(view_.OriginY - setY) > 0.000001f)
        host_.StopTimer(MotionTimer::Flow); // the view hit the city's edge
    host_.StartTimer(MotionTimer::Smooth);
    GlideVelocityX *= 0.8f;
    GlideVelocityY *= 0.8f;
}

void MapMotion::SmoothTick(bool rulerHasNodes) {
    host_.StopTimer(MotionTimer::Smooth);
    SmoothNow = smooth;
    TextsOn = true;
    host_.Redraw(true);
    if (rulerHasNodes) host_.RedrawRulerBand();
}

void MapMotion::BlinkTick() {
    if (blink && !StopMotion) {
        if (BlinkCounter++ == 6) {
            host_.StopTimer(MotionTimer::Blink);
            host_.ClearShownObjects();
            BlinkCounter = 0;
        }
        host_.Redraw(false);
    } else {
        host_.StopTimer(MotionTimer::Blink);
        BlinkCounter = 0;
    }
}
