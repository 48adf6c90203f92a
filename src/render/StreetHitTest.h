// The street part of the map's hit test: a street is hit where its test stroke paints the pixel.
#pragma once

#include "MapHitTest.h"

class MapView;

// Paints a street in the test colour (red 1, green 0, blue 0) with a pen five times its width in
// pixels and reads the pixel under the pointer. Only a small patch around the pointer is painted:
// the pixel comes out as it would on the whole surface.
StreetPixelTest MakeStreetPixelTest(const MapView& view);
