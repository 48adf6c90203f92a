// Motion of the map view: animated flights, edge scrolling, the glide after a drag, the redraw at rest
// and blinking. Windowless: timers, redraws and event processing go through a MotionHost.
#pragma once

#include "MapDisplay.h"
#include "MapView.h"

#include <cstdint>

enum class MotionTimer { Move, Smooth, Stop, Flow, Blink };

// Edge cursors of the map (their numbers as registered): where edge scrolling moves the view.
enum EdgeCursor { EdgeUp = 4, EdgeLeft = 5, EdgeDown = 6, EdgeRight = 7, EdgeUpRight = 8, EdgeUpLeft = 9,
                  EdgeDownLeft = 10, EdgeDownRight = 11 };

class MotionHost {
public:
    virtual ~MotionHost() = default;
    // A full redraw clamps the view (CorrectPosition) before drawing; otherwise only overlays are redrawn.
    virtual void Redraw(bool full) = 0;
    virtual void ProcessEvents() {}
    virtual void Wait(int /*ms*/) {}
    virtual void StartTimer(MotionTimer) {}
    virtual void StopTimer(MotionTimer) {}
    virtual void ShowMapPage() {}
    virtual void ClearShownObjects() {}
    virtual void RedrawRulerBand() {}
};

struct PanSample {
    int x = 0, y = 0;
    std::int64_t timeMs = 0;
};

class MapMotion {
public:
    MapMotion(MapView& view, MapDisplay& display, MotionHost& host)
        : SmoothNow(display.SmoothNow), TextsOn(display.TextsOn), BlinkCounter(display.BlinkCounter), view_(view),
          host_(host) {}

    // Settings that shape the motions.
    bool jump = true;
    bool smooth = true;
    bool blink = true;
    bool AutoScrollMap = true;

    // Shared motion state.
    bool StopMotion = false;
    // These three live in the map's display state, which the renderer reads.
    bool& SmoothNow;
    bool& TextsOn;
    int& BlinkCounter;
    bool KeysToMap = false;
    bool EdgeScrolling = false; // from the press at an edge until its release
    int EdgeStep = 0;
    PanSample PanPrevious, PanLast;
    float GlideVelocityX = 0, GlideVelocityY = 0;

    static constexpr int FlightSpacingMs = 20;
    static constexpr int FlowIntervalMs = 50;

    // Number of frames of an animated flight over `distance` metres.
    static int FlightSteps(float distance);
    // Moves the view to (x, y) at `scale`; returns the number of frames drawn.
    int FlyTo(float x, float y, float scale);

    void StartEdgeScroll();
    // A cursor that is no edge cursor ends the scrolling.
    void EdgeScrollTick(int cursor);
    // Does nothing when no scrolling runs.
    void StopEdgeScroll();

    void AddPanSample(int x, int y, std::int64_t timeMs);
    void PanRestTick();
    // On release of a drag; true when a glide started.
    bool StartGlide();
    void GlideTick();

    void SmoothTick(bool rulerHasNodes);
    void BlinkTick();

private:
    MapView& view_;
    MotionHost& host_;
};
