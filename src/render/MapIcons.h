// Small pictures drawn on the map: the 16 x 16 point-of-interest icons and the red and yellow mark flags.
#pragma once

#include "MapObjects.h"

#include <QImage>

// The icon of a point-of-interest kind; a plain dot for an unknown kind. Drawn for a surface of the
// given device pixel ratio: `ratio` times as many pixels, the same logical size.
const QImage& POIIcon(TPOIType tip, double ratio = 1);
// The flag over a building that holds a listed organisation; white pixels are transparent.
const QImage& MarkPicture(bool yellow, double ratio = 1);
// The same flag with its white made transparent, for painting over another picture.
const QImage& MarkOverlay(bool yellow, double ratio = 1);
