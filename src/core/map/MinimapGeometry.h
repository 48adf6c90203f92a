// The minimap's arithmetic: its size for a city and a map image, the view's frame on it, and where a
// press and release on it send the view. Pixels are the minimap picture's, inside its bevels.
#pragma once

#include "MapView.h"

struct MinimapSize {
    int panelW = 0, panelH = 0; // the picture with its bevels
    int MiniW = 0, MiniH = 0;   // the picture area inside the bevels
};

// A quarter of the map image along the city's longer side, the other side by the city's proportions.
MinimapSize ComputeMinimapSize(float worldWidth, float worldHeight, int mapWidth, int mapHeight);

struct MiniRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The view's rectangle in minimap pixels, clamped to the minimap.
MiniRect MinimapFrame(const MapView& v, int MiniW, int MiniH);

// The size of a drag from `press` to `now`: the larger distance along an axis. From the centre (`scaleMode`
// 0) it is the half-side of the square around the press point, lowered so that the square stays inside the
// picture; from a corner (1) it is the larger side of the rectangle drawn, `now` held inside the picture.
int MinimapDragRadius(int pressX, int pressY, int nowX, int nowY, int picW, int picH, int scaleMode);

// The scale and centre a release asks for. `r` is the drag's half-side (0 for a plain click, which keeps
// `currentScale`); `mapWidth` is the main map image's width.
ZoomTarget MinimapTarget(const MapView& v, int pressX, int pressY, int releaseX, int releaseY, int r,
                         int scaleMode, int picW, int picH, int mapWidth);
