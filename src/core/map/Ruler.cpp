#include "Ruler.h"

#include "Cards.h"
#include "MapView.h"
#include "TextTable.h"

#include <cmath>
#include <cstdlib>

namespace {

int RoundedDistance(const TCoord& a, const TCoord& b) {
    return RoundHalfEven(std::hypot(double(b.x) - a.x, double(b.y) - a.y));
}

// Hours and minutes: "1 h. 20 min.", "2 h.".
QString HoursMinutes(int t, int lang) {
    QString s = QString::number(t / 60) + LangText(u"h", lang);
    if (t % 60 > 0) s += u' ' + QString::number(t % 60) + LangText(u"min", lang);
    return s;
}

} // namespace

QString DistanceText(int m, bool walking, int shellLang, QChar decimal) {
    QString s;
    if (m < 1000) {
        s = QString::number(m) + LangText(u"m", shellLang);
    } else {
        s = QString::number(m / 1000.0, 'f', 2);
        s.replace(u'.', decimal);
        s += LangText(u"km", shellLang);
    }
    if (!walking || m <= 0) return s;
    const int t5 = RoundHalfEven(m / 5000.0 * 60), t3 = RoundHalfEven(m / 3000.0 * 60);
    if (t5 < 5 && t3 < 5) return s + LangText(u"less5", shellLang);
    const QString minutes = LangText(u"min", shellLang);
    QString fast;
    if (t5 > 59)
        fast = HoursMinutes(t5, shellLang);
    else if (t3 >= 60)
        fast = QString::number(t5) + minutes;
    else
        fast = QString::number(t5);
    const QString slow = t3 > 59 ? HoursMinutes(t3, shellLang) : QString::number(t3) + minutes;
    return s + QStringLiteral(" (") + fast + QStringLiteral(" - ") + slow + LangText(u"foot", shellLang) +
           u')';
}

// ---- Nodes ----

void TMeasNode::Layout(const MapView& v, int textWidth, int textHeight) {
    v.WorldToScreen(NodePoint.x, NodePoint.y, px, py);
    width = textWidth + 29;
    height = textHeight + 5;
    left = px - width / 2;
    top = py - 35;
    btnClose.left = width - 18;
    btnClose.top = 1;
}

bool TMeasNode::OnMouseMove(int x, int y, bool taken, bool& NeedRedraw) {
    const TMouseState old = MouseState;
    const bool inLabel = left < x && x < left + width && top < y && y < top + height;
    const bool atPoint = std::abs(x - px) <= 4 && std::abs(y - py) <= 4;
    if (taken || !(inLabel || atPoint)) {
        MouseState = msOut;
        if (btnClose.state != bsDown) btnClose.state = bsNormal;
        if (old == msOverClose) NeedRedraw = true;
        return false;
    }
    if (btnClose.Contains(left, top, x, y)) {
        MouseState = msOverClose;
        if (btnClose.state != bsDown) btnClose.state = bsOver;
    } else {
        MouseState = msOver;
        btnClose.state = bsNormal;
    }
    if (MouseState != old) NeedRedraw = true;
    return true;
}

void TMeasNode::OnMouseDown(bool& NeedRedraw) {
    if (MouseState == msOverClose) btnClose.state = bsDown;
    if (MouseState != msOut) NeedRedraw = true;
}

void TMeasNode::OnMouseUp(int x, int y, bool& NeedRedraw) {
    // Released off the close button it was pressed on: nothing.
    if (MouseState == msOverClose && btnClose.state == bsDown && btnClose.Contains(left, top, x, y)) Closed = true;
    if (btnClose.state == bsDown) btnClose.state = bsNormal;
    NeedRedraw = true;
}

void TMeasNode::Move(const MapView& v, int ddx, int ddy) {
    NodePoint.x += v.ToWorld(ddx);
    NodePoint.y += v.ToWorld(ddy);
    left += ddx;
    top += ddy;
    px += ddx;
    py += ddy;
}

// ---- The ruler ----

void TMeas::AddNode(float y, float x) {
    TMeasNode n;
    n.NodePoint = TCoord{x, y};
    n.len = path.empty() ? 0 : path.back().len + RoundedDistance(path.back().NodePoint, n.NodePoint);
    path.push_back(n);
    NeedRedraw = true;
}

void TMeas::RecalcLength() {
    for (std::size_t i = 0; i < path.size(); ++i)
        path[i].len =
            i == 0 ? 0 : path[i - 1].len + RoundedDistance(path[i - 1].NodePoint, path[i].NodePoint);
    NeedRedraw = true;
}

bool TMeas::RemoveClosedNode() {
    for (auto it = path.begin(); it != path.end(); ++it) {
        if (!it->Closed) continue;
        path.erase(it);
        RecalcLength();
        return true;
    }
    return false;
}

void TMeas::Layout(const MapView& v, const TextMeasure& measure, int shellLang) {
    const int h = measure.Height(false);
    for (TMeasNode& n : path) {
        if (n.textLen != n.len || n.textLang != shellLang) {
            n.text = DistanceText(n.len, false, shellLang);
            n.textWidth = measure.Width(n.text, false);
            n.textLen = n.len;
            n.textLang = shellLang;
        }
        n.Layout(v, n.textWidth, h);
    }
}

QString TMeas::MouseDown(int x, int y) {
    if (!NodeVisible) return {};
    for (int i = int(path.size()) - 1; i >= 0; --i) {
        TMeasNode& n = path[std::size_t(i)];
        if (!n.OnMouseMove(x, y, false, NeedRedraw)) continue;
        n.OnMouseDown(NeedRedraw);
        return n.MouseState == msOverClose ? QStringLiteral("node_btn") : QStringLiteral("node_move");
    }
    return {};
}

bool TMeas::Hover(int x, int y) {
    if (!NodeVisible) return false;
    bool taken = false;
    // The last node is drawn on top, so it is offered the pointer first.
    for (int i = int(path.size()) - 1; i >= 0; --i)
        if (path[std::size_t(i)].OnMouseMove(x, y, taken, NeedRedraw)) taken = true;
    return taken;
}

void TMeas::Drag(const MapView& v, int ddx, int ddy) {
    for (TMeasNode& n : path)
        if (n.MouseState == msOver) n.Move(v, ddx, ddy);
    RecalcLength();
}

void TMeas::MouseUp(bool buttonGesture, int x, int y) {
    for (TMeasNode& n : path)
        n.OnMouseUp(x, y, NeedRedraw);
    if (buttonGesture) RemoveClosedNode();
}

// ---- The radius ----

bool TRadius::OnMouseMove(const MapView& v, int x, int y) {
    MouseState = msOut;
    if (!Visible) return false;
    int cx = 0, cy = 0;
    v.WorldToScreen(center.x, center.y, cx, cy);
    const int dx = std::abs(x - cx), dy = std::abs(y - cy);
    if (dx > 5 && dy > 5) return false;
    if (dx <= 4 && dy <= 4) {
        MouseState = msOverCenter;
        return true;
    }
    const int r = v.ToPixels(Radius);
    if (dy < 5) {
        // The side handles are drawn 2 pixels inside the circle, on both sides alike.
        if (std::abs(x - (cx + r) + 2) < 5 || std::abs(x - (cx - r) - 2) < 5) {
            MouseState = msOverHor;
            return true;
        }
    }
    if (dx > 4) return false;
    if (std::abs(y - (cy + r) + 2) <= 4 || std::abs(y - (cy - r) - 2) <= 4) {
        MouseState = msOverVer;
        return true;
    }
    return false;
}
