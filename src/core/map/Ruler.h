// The ruler (nodes with running lengths, walking times) and the search radius: data and pointer logic
// in screen pixels; painting lives in render (BalloonPainter.h).
#pragma once

#include "Balloons.h"
#include "OrgSearch.h"

#include <QString>
#include <vector>

// "1.50 km (18 - 30 min. on foot)": the length in metres, with the walking time at 5 and at 3 km/h
// when `walking`. Units in interface language `shellLang`; `decimal` is the system's separator.
QString DistanceText(int m, bool walking, int shellLang, QChar decimal = u'.');

struct TMeasNode : TElement {
    bool Closed = false;
    TMouseState MouseState = msOut;
    TCoord NodePoint{};
    int len = 0;
    Tbtn btnClose{btClose};
    int px = 0, py = 0; // the node's screen point at the last layout
    // The label's text width for `textLen` in `textLang`: a long ruler is laid out on every redraw.
    int textLen = -1, textLang = -1, textWidth = 0;
    QString text;

    // Label rectangle from the screen point and the label text's size.
    void Layout(const MapView& v, int textWidth, int textHeight);
    bool OnMouseMove(int x, int y, bool taken, bool& NeedRedraw);
    void OnMouseDown(bool& NeedRedraw);
    void OnMouseUp(int x, int y, bool& NeedRedraw);
    void Move(const MapView& v, int ddx, int ddy);
};

class TMeas {
public:
    std::vector<TMeasNode> path;
    TColor color = 0;
    bool NodeVisible = true;
    bool NeedRedraw = false;

    void AddNode(float y, float x);
    void RecalcLength();
    // Removes the first closed node and recomputes the lengths.
    bool RemoveClosedNode();
    int Length() const { return path.empty() ? 0 : path.back().len; }

    // Node labels measured through `measure` (the label font, regular).
    void Layout(const MapView& v, const TextMeasure& measure, int shellLang);
    // A press: "node_move" over a node, "node_btn" over its close button, else empty.
    QString MouseDown(int x, int y);
    bool Hover(int x, int y);
    void Drag(const MapView& v, int ddx, int ddy);
    // The end of a node gesture with the pointer at (x, y).
    void MouseUp(bool buttonGesture, int x, int y);
};

// The search radius. The radius button's tag holds the phase.
enum class RadiusPhase { Idle = 0, Armed = 1, Sizing = 2 };

class TRadius {
public:
    TColor color = 0xC3DCFF; // red 255, green 220, blue 195
    TCoord center{-1, -1};
    float Radius = 0;
    bool Visible = false;
    TMouseState MouseState = msOut;
    RadiusPhase phase = RadiusPhase::Idle;

    // Which handle (x, y) is over; true when one is.
    bool OnMouseMove(const MapView& v, int x, int y);
    RadiusCircle Circle() const { return {Visible, center, Radius}; }
    void Hide() {
        Radius = 0;
        Visible = false;
        phase = RadiusPhase::Idle;
    }
};
