// The view onto the world: scale, origin, world <-> screen conversions, clamping, zoom steps, visibility.
#pragma once

#include <cstdint>

// Rounds to the nearest integer, ties to the even neighbour. Adding and removing 1.5 * 2^52 leaves v
// rounded by the FPU's own rule (to nearest, ties to even) without a library call; exact for |v| < 2^51.
inline int RoundHalfEven(double v) {
    constexpr double Magic = 6755399441055744.0;
    const double shifted = v + Magic;
    return static_cast<int>(shifted - Magic);
}

struct ZoomTarget {
    float x = 0, y = 0; // new centre, world units
    float scale = 0;
};

// The view that shows the box from (minX, minY) to (maxX, maxY) whole and centred on a map of `width` x
// `height` pixels, the box taking at most `share` of the map along each axis (1: edge to edge); the scale
// stays within [minScale, maxScale] (maxScale below minScale counts as minScale).
ZoomTarget FitBox(float minX, float minY, float maxX, float maxY, int width, int height, float share,
                  float minScale, float maxScale);

class MapView {
public:
    float Scale = 1;     // metres per pixel
    float FullScale = 1; // the whole city fits the surface
    float OriginX = 0, OriginY = 0;
    int OffsetX = 0, OffsetY = 0; // half the surface, truncated
    int Width = 0, Height = 0;    // the drawing surface
    float WorldMinX = 0, WorldMinY = 0, WorldMaxX = 0, WorldMaxY = 0;

    static constexpr float MinScale = 0.1f;
    static constexpr float ZoomFactor = 1.5f;

    void SetWorld(float minX, float minY, float maxX, float maxY);
    // Sets the surface size and offsets and recomputes FullScale; `starting` also makes it the scale.
    void SetSurface(int width, int height, bool starting = false);
    void ComputeFullScale();

    // Metres to whole pixels, ties to the even neighbour.
    int ToPixels(float length) const { return RoundHalfEven(static_cast<double>(length) / Scale); }
    float ToWorld(int pixels) const { return static_cast<float>(pixels * static_cast<double>(Scale)); }
    void WorldToScreen(float x, float y, int& px, int& py) const {
        px = ToPixels(x - OriginX) + OffsetX;
        py = ToPixels(y - OriginY) + OffsetY;
    }
    void ScreenToWorld(int px, int py, float& x, float& y) const;
    // For positions taken straight from the mouse cursor.
    void CursorToWorld(double px, double py, float& x, float& y) const;

    // The four-sided test of an object's box against the surface; `flat` chooses the 2D box.
    bool IsVisible(float minX, float maxX, float minY, float maxY, float maxX3d, float minY3d, bool flat) const {
        return ToPixels((flat ? maxX : maxX3d) - OriginX) + OffsetX > 0 && ToPixels(minX - OriginX) + OffsetX < Width &&
               ToPixels(maxY - OriginY) + OffsetY > 0 && ToPixels((flat ? minY : minY3d) - OriginY) + OffsetY < Height;
    }
    template <class Obj> bool IsVisible(const Obj& o, bool flat) const {
        return IsVisible(o.minX_, o.maxX_, o.minY_, o.maxY_, o.maxX_3d, o.minY_3d, flat);
    }

    void CorrectPosition();
    bool ZoomIn();
    bool ZoomOut();
    void FullMap() { Scale = FullScale; }
    // One zoom step keeping the world point under the cursor in place; true when the scale changed.
    bool ZoomAboutCursor(int px, int py, bool zoomIn);
    // Target of the scale tool's rectangle (ScaleMode 0: from the centre, 1: from a corner).
    ZoomTarget ZoomToRect(int pressX, int pressY, int releaseX, int releaseY, int scaleMode) const;

    // Detail levels of the current scale.
    bool StopDetail() const { return Scale < 3; }
    bool MapDetail() const { return Scale < 5; }
    bool HeightsShown() const { return !(Scale >= 4); }

private:
    void ClampAxis(float& origin, float half, float lo, float hi);
};

