// The 46 colours of a colour scheme, the nine built-in schemes and the active scheme.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

// A colour as 0x00BBGGRR: red in the lowest byte.
using TColor = std::uint32_t;

struct TColorScheme {
    QString caption;
    TColor adminColor = 0;
    TColor schoolColor = 0;
    TColor liveColor = 0;
    TColor kinderColor = 0;
    TColor garageColor = 0;
    TColor constructColor = 0;
    TColor memorialColor = 0;
    TColor otherColor = 0;
    TColor MeasColor = 0;
    TColor BusStopColor = 0;
    TColor BusWayColor = 0;
    TColor ActiveColor = 0;
    TColor RoadColor = 0;
    TColor LivingColor = 0;
    TColor NatureColor = 0;
    TColor ForestColor = 0;
    TColor WaterColor = 0;
    TColor BridgeColor = 0;
    TColor WallColor = 0;
    TColor AdminBColor = 0;
    TColor decorColor = 0;
    TColor PlantColor = 0;
    TColor DeadColor = 0;
    TColor IndividColor = 0;
    TColor GardenColor = 0;
    TColor InfoColor = 0;
    TColor TramStopColor = 0;
    TColor RailStopColor = 0;
    TColor MetroStopColor = 0;
    TColor RoadHumanColor = 0;
    TColor RoadTramColor = 0;
    TColor RoadIronColor = 0;
    TColor BuildFoundColor = 0;
    TColor StopFoundColor = 0;
    TColor TradeColor = 0;
    TColor HotelColor = 0;
    TColor SportColor = 0;
    TColor MedicColor = 0;
    TColor UniversityColor = 0;
    TColor CultureColor = 0;
    TColor ShopColor = 0;
    TColor CommonColor = 0;
    TColor ReligColor = 0;
    TColor HotColor = 0;
    TColor GasColor = 0;
    TColor ReklamaColor = 0;
};

// One colour field with its stored (registry) name.
struct ColorField {
    const char* registryName;
    TColor TColorScheme::*field;
};
extern const std::array<ColorField, 46> ColorFields;

constexpr int DefaultColorScheme = 7;
// Value drawn off-screen to pick streets by colour, and the hover colour of tool panels.
constexpr TColor StreetHitColor = 1;

// Entry 0 is the active scheme; 1 to 9 the built-in ones (filled by FillColorSchemes).
struct ColorSchemeTable {
    std::array<TColorScheme, 10> schemes;
    TColorScheme& active() { return schemes[0]; }
    const TColorScheme& active() const { return schemes[0]; }
};

// The built-in scheme 1..9 with its caption.
TColorScheme BuiltInColorScheme(int index);
// Fills entries 1 to 9 and makes the default scheme active.
void FillColorSchemes(ColorSchemeTable& table);
