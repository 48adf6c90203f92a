#include "MapView.h"

#include <algorithm>
#include <cmath>

void MapView::SetWorld(float minX, float minY, float maxX, float maxY) {
    WorldMinX = minX;
    WorldMinY = minY;
    WorldMaxX = maxX;
    WorldMaxY = maxY;
    ComputeFullScale();
}

void MapView::SetSurface(int width, int height, bool starting) {
    Width = width;
    Height = height;
    OffsetX = width / 2;
    OffsetY = height / 2;
    ComputeFullScale();
    if (starting) Scale = FullScale;
}

void MapView::ComputeFullScale() {
    if (Width <= 0 || Height <= 0) return;
    const float cityW = WorldMaxX - WorldMinX, cityH = WorldMaxY - WorldMinY;
    // A city of no extent still needs a usable scale.
    if (!(cityW > 0) && !(cityH > 0)) {
        FullScale = MinScale;
        return;
    }
    FullScale = std::max(cityW / Width, cityH / Height);
}

void MapView::ScreenToWorld(int px, int py, float& x, float& y) const {
    x = ToWorld(px - OffsetX) + OriginX;
    y = ToWorld(py - OffsetY) + OriginY;
}

void MapView::CursorToWorld(double px, double py, float& x, float& y) const {
    x = ToWorld(RoundHalfEven(px - Width / 2.0)) + OriginX;
    y = ToWorld(RoundHalfEven(py - Height / 2.0)) + OriginY;
}

void MapView::ClampAxis(float& origin, float half, float lo, float hi) {
    // A view wider than the city on this axis shows it centred, wherever it was asked to look: clamped to
    // one edge it would leave the city against that edge and an empty band on the other side.
    if (2 * half >= hi - lo || (origin + half > hi && origin - half < lo)) {
        origin = lo + (hi - lo) / 2;
        return;
    }
    if (origin + half > hi) origin = hi - half;
    if (origin - half < lo) origin = lo + half;
}

void MapView::CorrectPosition() {
    if (std::fabs(FullScale - Scale) < 0.00001f) {
        OriginX = WorldMinX + (WorldMaxX - WorldMinX) / 2;
        OriginY = WorldMinY + (WorldMaxY - WorldMinY) / 2;
        return;
    }
    ClampAxis(OriginX, ToWorld(Width / 2), WorldMinX, WorldMaxX);
    ClampAxis(OriginY, ToWorld(Height / 2), WorldMinY, WorldMaxY);
}

bool MapView::ZoomIn() {
    const float old = Scale;
    Scale = std::max(Scale / ZoomFactor, MinScale);
    return std::fabs(Scale - old) >= 0.00001f;
}

bool MapView::ZoomOut() {
    const float old = Scale;
    Scale = std::min(Scale * ZoomFactor, FullScale);
    return std::fabs(Scale - old) >= 0.00001f;
}

bool MapView::ZoomAboutCursor(int px, int py, bool zoomIn) {
    float bx, by;
    CursorToWorld(px, py, bx, by);
    if (!(zoomIn ? ZoomIn() : ZoomOut())) return false;
    float ax, ay;
    CursorToWorld(px, py, ax, ay);
    OriginX -= ax - bx;
    OriginY -= ay - by;
    return true;
}

ZoomTarget MapView::ZoomToRect(int pressX, int pressY, int releaseX, int releaseY, int scaleMode) const {
    ZoomTarget t;
    const int r = std::max(std::abs(releaseX - pressX), std::abs(releaseY - pressY));
    if (r == 0) {
        CursorToWorld(pressX, pressY, t.x, t.y);
        t.scale = std::max(Scale / 3, MinScale);
        return t;
    }
    const double h = Height, w = Width;
    if (scaleMode == 0) {
        t.scale = static_cast<float>(Scale / std::min(h / (2.0 * r), w / (2.0 * r)));
        CursorToWorld(pressX, pressY, t.x, t.y);
    } else {
        t.scale = static_cast<float>(Scale / std::min(h / r, w / r));
        CursorToWorld(pressX + (releaseX - pressX) / 2.0, pressY + (releaseY - pressY) / 2.0, t.x, t.y);
    }
    t.scale = std::max(t.scale, MinScale);
    return t;
}

ZoomTarget FitBox(float minX, float minY, float maxX, float maxY, int width, int height, float share,
                  float minScale, float maxScale) {
    ZoomTarget t;
    t.x = minX + (maxX - minX) / 2;
    t.y = minY + (maxY - minY) / 2;
    const double w = std::max(width, 1) * double(share), h = std::max(height, 1) * double(share);
    const double scale = std::max((double(maxX) - minX) / w, (double(maxY) - minY) / h);
    t.scale = std::clamp(float(scale), minScale, std::max(maxScale, minScale));
    return t;
}
