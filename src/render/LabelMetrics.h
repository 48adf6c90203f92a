// Width of map label texts as the map draws them: "Arial" bold (Liberation Sans, metrically the same)
// at a size in points on a 96 dpi surface. Needs a QGuiApplication.
#pragma once

#include "MapColors.h"

#include <QString>

int MeasureLabelWidth(const QString& text, int pointSize);

// The measure the map section loader takes (MapStyle::textWidth).
TextWidthMeasure LabelWidthMeasure();
