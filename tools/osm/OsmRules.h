// The tag rules of the importer: which OpenStreetMap tags make which kind of map object, with which
// type code, width, height, material or rubric. docs/osm-import.md lists them for publishers.
#pragma once

#include "MapObjects.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace osmium {
class TagList;
}

// A way drawn as road segments.
struct RoadRule {
    TRoadType tip = rtAuto;
    float width = 0;        // metres
    std::uint8_t layer = 0; // 0 drawn zoomed in only, 2 at every scale
    // Main roads zoomed out, where no block edges show them: a light casing (footway grey) with a
    // coloured line (tram colour) or a plain one (road colour) inside; 0 for none.
    float overviewCasing = 0, overviewFill = 0;
    TRoadType overviewFillTip = rtTram;
};
std::optional<RoadRule> RoadRuleOf(const osmium::TagList& tags);
// Highways that give streets their outline (the road classes, not platforms or bus stops).
bool IsStreetHighway(const char* highway);
// The size in metres of a street's name along it, by its class: about the width of its carriageway.
int StreetLabelSize(const char* highway);

// The area type (`TField::typ`) of an area's tags; nothing for tags that make no area.
std::optional<std::uint8_t> FieldTypeOf(const osmium::TagList& tags);

// Building type (`TBuilding::tip`) from `building` and, for plain buildings, from what the building is used
// for.
std::uint8_t BuildingTipOf(const osmium::TagList& tags);
TBuildingMaterial MaterialOf(const osmium::TagList& tags);
// Height in metres from `height`, else from `building:levels` at 3 m a level.
std::optional<double> HeightOf(const osmium::TagList& tags);
// A length such as "12", "12.5 m", "40 ft" or "10'6\"" in metres.
std::optional<double> ParseLength(const char* value);
int LevelsOf(const osmium::TagList& tags);

std::optional<TPOIType> PoiKindOf(const osmium::TagList& tags);

// How a place's name shows: its rank (0 the largest kind of place), its size zoomed in (layer 0) and
// zoomed out (layer 1, 0 for none), in metres, and its colour.
struct PlaceRule {
    int rank;
    int detailSize, overviewSize;
    TColor color;
};
std::optional<PlaceRule> PlaceRuleOf(const char* place);

// Stops and stations a traveller waits at; nothing for other tags.
std::optional<TBusStopType> StopTypeOf(const osmium::TagList& tags);
// Transport type of a route relation's `route` value; trains take TrainTransport.
std::optional<std::uint8_t> RouteTypeOf(const char* route);
// Routes of trains have no type of their own among the program's five; they get the next code, named
// in TransportTypeNames like the others.
constexpr std::uint8_t TrainTransport = 5;
// "#RRGGBB", "#RGB" or a colour name as 0x00BBGGRR; nothing for anything else.
std::optional<TColor> ParseColour(const char* value);

// Rubrics: the directory's classification of organisations.
struct RubricDef {
    const char* ru; // the name the program knows (quick lists and estate agents look for these)
    const char* en;
    int group;
    bool always; // kept in every city, with organisations or not
};
struct RubricGroup {
    const char* ru;
    const char* en;
};
const std::vector<RubricDef>& Rubrics();
const std::vector<RubricGroup>& RubricGroups();
// The rubrics of an organisation's tags (indexes into Rubrics()), most specific first; empty when the
// tags make no organisation.
std::vector<int> RubricsOf(const osmium::TagList& tags);
// Tags of an organisation that may go without a name: cash machines and taxi ranks, which the quick
// lists exist for, and staffed recycling centres.
bool MayBeUnnamedOrganisation(const osmium::TagList& tags);
