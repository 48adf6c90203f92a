// The minimap's pictures: the city's overview drawn once per city in a bright and a darkened copy, and
// what the minimap shows of them (the view's frame, a drag's rectangle).
#pragma once

#include "MinimapGeometry.h"

#include <QImage>
#include <QRect>

class TMap;
class MapView;
struct MapDisplay;

struct MinimapPictures {
    QImage bright, dark; // MiniW x MiniH logical pixels, `ratio` device pixels each
    bool isNull() const { return bright.isNull(); }
};

// Draws the overview at `MiniW` x `MiniH` through the map and its view; the view and the display's
// smoothing come back as they were.
MinimapPictures BuildMinimap(TMap& map, MapView& view, MapDisplay& display, int MiniW, int MiniH,
                             double ratio);

// Each channel of every pixel lowered by `percent` (the map's darkening rule).
void DarkenPicture(QImage& picture, int percent);

// The minimap with the view's frame: dark, the view's part bright, cross lines, outline and bevel.
QImage MinimapWithFrame(const MinimapPictures& pics, const MiniRect& r);

// The minimap during a drag: dark with `r` bright, outlined white and then dotted black.
QImage MinimapWithDrag(const MinimapPictures& pics, const QRect& r);
