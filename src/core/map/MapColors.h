// Resting colours of map objects by their type, taken from the active colour scheme, and the step
// that hands a newly chosen scheme to every loaded object.
#pragma once

#include "ColorScheme.h"
#include "ColorSchemeStore.h" // Darken
#include "MapObjects.h"

#include <functional>

struct CityDb;

// The usual tooltip background of the desktop (light yellow); areas of type 12 take it darkened by 1 %.
constexpr TColor DefaultTooltipColor = 0xE1FFFF;

// Width in pixels of a text in "Arial" bold at a font size in points (the map's label font).
using TextWidthMeasure = std::function<int(const QString& text, int pointSize)>;

// What map objects take from the program while they are built.
struct MapStyle {
    TColorScheme colors = BuiltInColorScheme(DefaultColorScheme);
    TextWidthMeasure textWidth; // empty: labels measure 0 pixels wide
    TColor tooltipColor = DefaultTooltipColor;
};

TColor GetTypeColor(const TBuilding& b, const TColorScheme& s);
TColor GetTypeColor(const TField& f, const TColorScheme& s, TColor tooltipColor = DefaultTooltipColor);
TColor GetTypeColor(const TRoad& r, const TColorScheme& s);
TColor GetTypeColor(const TBusStop& b, const TColorScheme& s);
TColor GetTypeColor(const TBusWay& w, const TColorScheme& s);

// Found colour of routes that repeat the number of the route before them (the return direction):
// the route colour darkened by half, so that the two directions can be told apart.
void RouteColorPass(CityDb& db, const TColorScheme& s, int dataLang = 0);

// Gives every loaded object the colours a load under scheme `s` would give it, keeping what is
// found found. The ruler takes s.MeasColor itself.
void RecolorObjects(CityDb& db, const TColorScheme& s, TColor tooltipColor = DefaultTooltipColor);
