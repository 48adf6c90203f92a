#include "MinimapGeometry.h"

#include <algorithm>
#include <cstdlib>

MinimapSize ComputeMinimapSize(float worldWidth, float worldHeight, int mapWidth, int mapHeight) {
    MinimapSize s;
    // A city without extent still gets a small square picture.
    const double ww = worldWidth > 0 ? worldWidth : 1, wh = worldHeight > 0 ? worldHeight : 1;
    if (ww >= wh) {
        s.panelW = mapWidth / 4;
        s.panelH = RoundHalfEven(s.panelW / (ww / wh));
    } else {
        s.panelH = mapHeight / 4;
        s.panelW = RoundHalfEven(s.panelH / (wh / ww));
    }
    s.panelW = std::max(s.panelW, 9);
    s.panelH = std::max(s.panelH, 9);
    s.MiniW = s.panelW - 8;
    s.MiniH = s.panelH - 8;
    return s;
}

MiniRect MinimapFrame(const MapView& v, int MiniW, int MiniH) {
    const double ww = v.WorldMaxX - v.WorldMinX, wh = v.WorldMaxY - v.WorldMinY;
    MiniRect r;
    if (!(ww > 0) || !(wh > 0)) return MiniRect{0, 0, MiniW, MiniH};
    const float halfW = v.ToWorld(v.Width / 2), halfH = v.ToWorld(v.Height / 2);
    auto mx = [&](double x) { return RoundHalfEven((x - v.WorldMinX) * MiniW / ww); };
    auto my = [&](double y) { return RoundHalfEven((y - v.WorldMinY) * MiniH / wh); };
    r.left = std::max(mx(double(v.OriginX) - halfW), 0);
    r.right = std::min(mx(double(v.OriginX) + halfW), MiniW);
    r.top = std::max(my(double(v.OriginY) - halfH), 0);
    r.bottom = std::min(my(double(v.OriginY) + halfH), MiniH);
    return r;
}

int MinimapDragRadius(int pressX, int pressY, int nowX, int nowY, int picW, int picH, int scaleMode) {
    if (scaleMode == 1) {
        nowX = std::clamp(nowX, 0, std::max(picW, 0));
        nowY = std::clamp(nowY, 0, std::max(picH, 0));
    }
    int r = std::max(std::abs(nowY - pressY), std::abs(nowX - pressX));
    if (scaleMode != 1) r = std::min({r, pressX, pressY, picW - pressX, picH - pressY});
    return std::max(r, 0);
}

ZoomTarget MinimapTarget(const MapView& v, int pressX, int pressY, int releaseX, int releaseY, int r,
                         int scaleMode, int picW, int picH, int mapWidth) {
    ZoomTarget t;
    const double ww = v.WorldMaxX - v.WorldMinX, wh = v.WorldMaxY - v.WorldMinY;
    picW = std::max(picW, 1);
    picH = std::max(picH, 1);
    mapWidth = std::max(mapWidth, 1);
    t.scale = v.Scale;
    if (r > 0) t.scale = float(ww * (scaleMode == 1 ? r : 2 * r) / picW / mapWidth);
    int px = pressX, py = pressY;
    if (scaleMode == 1) {
        px = std::min(pressX, releaseX) + std::abs(releaseX - pressX) / 2;
        py = std::min(pressY, releaseY) + std::abs(releaseY - pressY) / 2;
    }
    t.x = float(v.WorldMinX + ww * px / picW);
    t.y = float(v.WorldMinY + wh * py / picH);
    return t;
}
