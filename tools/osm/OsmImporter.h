// The importer's working parts, shared by the files that make up its passes: the drafts the passes
// over the data collect, and the Importer that reads them and builds the city from them.
#pragma once

#include "OsmClip.h"
#include "OsmGeometry.h"
#include "OsmImport.h"
#include "OsmRules.h"

#include <osmium/area/assembler.hpp>
#include <osmium/area/multipolygon_manager.hpp>
#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/file.hpp>
#include <osmium/osm/box.hpp>
#include <osmium/relations/relations_manager.hpp>
#include <osmium/tags/tags_filter.hpp>

#include <QString>
#include <QStringList>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

namespace osmimport {

// ---------------------------------------------------------------------------------------------
// Small helpers

inline bool Is(const char* a, const char* b) {
    return a && std::strcmp(a, b) == 0;
}

inline bool StartsWith(const char* s, const char* prefix) {
    return s && std::strncmp(s, prefix, std::strlen(prefix)) == 0;
}

inline QString Text(const char* s) {
    return s ? QString::fromUtf8(s).trimmed() : QString();
}

// Strings of map records end at a ";" when the program reads them as text lines.
inline QString MapText(const char* s) {
    return Text(s).replace(u';', u',');
}

// Keys of OpenStreetMap objects of every kind in one number space.
inline std::int64_t NodeKey(std::int64_t id) {
    return id * 4;
}
inline std::int64_t WayKey(std::int64_t id) {
    return id * 4 + 1;
}
inline std::int64_t RelationKey(std::int64_t id) {
    return id * 4 + 2;
}

inline float Distance(TCoord a, TCoord b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

inline QString NumberKey(const QString& number) {
    return number.toCaseFolded().remove(u' ');
}

// The tag that says what a feature is, for the count of features no rule maps.
inline const char* const PrimaryKeys[] = {
    "amenity",         "shop",        "office",           "craft",    "tourism",      "leisure",
    "healthcare",      "historic",    "natural",          "man_made", "power",        "barrier",
    "highway",         "railway",     "public_transport", "place",    "emergency",    "waterway",
    "landuse",         "building",    "building:part",    "aeroway",  "aerialway",    "military",
    "sport",           "telecom",     "advertising",      "entrance", "traffic_sign", "traffic_calming",
    "route",           "water",       "playground",       "indoor",   "area:highway", "bridge:support",
    "disused:amenity", "disused:shop"};

inline QString PrimaryTag(const osmium::TagList& tags) {
    for (const char* k : PrimaryKeys)
        if (const char* v = tags[k]) return QString::fromUtf8(k) + u'=' + QString::fromUtf8(v);
    return {};
}

// ---------------------------------------------------------------------------------------------
// Drafts: what the passes over the data collect, before positions and languages are fixed.

struct Names {
    QStringList v; // one per configured language
    bool any() const {
        for (const QString& s : v)
            if (!s.isEmpty()) return true;
        return false;
    }
};

struct BuildingDraft {
    std::int64_t key = 0;
    std::vector<TShapeFis> rings;
    double height = -1; // metres; -1 unknown
    int levels = 0;
    QString number, street, postcode;
    Names caption;
    std::uint8_t tip = 0;
    TBuildingMaterial material = bmUnknown;
    bool part = false;
    int owner = -1; // for a part: the building it belongs to
    float minX = BoxMinStart, minY = BoxMinStart, maxX = BoxMaxStart, maxY = BoxMaxStart;
    double area = 0;
};

struct StreetDraft {
    QString key; // StreetKey of the local name
    Names name;
    int labelSize = 5; // by the street's class
    bool tunnel = false;
    TShapeFis segments; // point pairs
    float minX = BoxMinStart, minY = BoxMinStart, maxX = BoxMaxStart, maxY = BoxMaxStart;
};

struct FieldDraft {
    TShapeFis ring;
    std::uint8_t typ = 0;
    Names caption;
    double area = 0;
    int owner = -1; // districts: the municipality whose ring it is (-1: a place area)
};

struct RoadDraft {
    TRoad road;
    int osmLayer = 0;
    // Within a layer: casings and bridge decks first, then roads, then the coloured main roads, so
    // that no casing crosses a road where they meet.
    int rank = 1;
};

struct StopDraft {
    TCoord at;
    TBusStopType tip = bstAuto;
    Names caption;
    bool standalone = false; // a stop in its own right, not only a point of some route
    bool onRoute = false;
    bool outside = false; // beyond the extract's bounds
    int position = -1;
};

struct RouteDraft {
    std::int64_t id = 0;
    std::int64_t master = 0;
    std::uint8_t tip = ttBus;
    QString number;
    std::optional<TColor> colour;
    bool roundtrip = false;
    std::vector<std::pair<int, int>> points; // (stop draft, -1) or (-1, shape index)
    TShapeFis shape;
    bool hasStops = false;
};

struct OrgDraft {
    Names caption;
    TCoord at;
    std::int64_t ownerKey = -1; // the building the organisation's own outline is
    QString street, number, postcode, city;
    QStringList phones, mobiles, faxes;
    QString website, email;
    std::vector<std::pair<int, QString>> social;
    QString hours;
    std::vector<int> rubrics;
    QStringList description;
    std::vector<std::uint8_t> money;
};

struct LabelDraft {
    TCoord at;
    Names text;
    PlaceRule rule;
};

// A named river or water area, park or wood: its name goes along the line or inside the area.
struct NamedFeature {
    Names name;
    std::vector<TShapeFis> shapes; // the line (in pieces once cut to the extract), or the area's largest ring
    int size;                      // along lines; the largest size inside areas
    TColor color;
    bool line;
};

// Label colours (0x00BBGGRR): dark grey streets, blue waters, green parks and woods.
constexpr TColor StreetLabelColor = 0x303030;
constexpr TColor WaterLabelColor = 0xA04614;
constexpr TColor GreenLabelColor = 0x1E6428;
constexpr TColor DistrictLabelColor = 0x281850;
constexpr int DistrictLabelSize = 30; // as a suburb's
// The map of a small screen's main window, for the sizes of the names on the first view of a large city,
// and the points those names take there (9 points are 12 pixels).
constexpr float OpeningMapWidth = 1200, OpeningMapHeight = 750;
constexpr float OverviewPoints = 9.5f;
constexpr std::uint8_t ForestFieldType = 11;
constexpr std::uint8_t WaterFieldType = 2;
constexpr std::uint8_t LandFieldType = 13; // white, as the ground the map is drawn on
constexpr char16_t TreeSymbol = u'\u2663'; // the club of playing cards, a tree on many maps

struct AddressDraft {
    TCoord at;
    QString number, street, postcode;
};

struct SocialNet {
    const char* caption;
    const char* prefix;
    std::initializer_list<const char*> keys;
    std::initializer_list<const char*> hosts;
};
inline const SocialNet SocialNets[] = {
    {"Facebook", "https://www.facebook.com/", {"contact:facebook", "facebook"}, {"facebook.com", "fb.com"}},
    {"Instagram", "https://www.instagram.com/", {"contact:instagram", "instagram"}, {"instagram.com"}},
    {"X", "https://x.com/", {"contact:twitter", "twitter", "contact:x"}, {"twitter.com", "x.com"}},
    {"YouTube", "https://www.youtube.com/", {"contact:youtube", "youtube"}, {"youtube.com"}},
    {"LinkedIn", "https://www.linkedin.com/", {"contact:linkedin", "linkedin"}, {"linkedin.com"}},
    {"TikTok", "https://www.tiktok.com/", {"contact:tiktok", "tiktok"}, {"tiktok.com"}},
    {"ВКонтакте", "https://vk.com/", {"contact:vk", "vk"}, {"vk.com"}},
    {"Telegram", "https://t.me/", {"contact:telegram", "telegram"}, {"t.me", "telegram.me"}},
};

struct MoneyDef {
    const char* caption;
    std::initializer_list<const char*> keys;
};
inline const MoneyDef MoneyDefs[] = {
    {"Наличные / Cash", {"payment:cash", "payment:coins", "payment:notes"}},
    {"Visa", {"payment:visa", "payment:visa_debit", "payment:visa_electron"}},
    {"Mastercard", {"payment:mastercard", "payment:maestro"}},
    {"American Express", {"payment:american_express"}},
    {"Карты / Cards", {"payment:credit_cards", "payment:debit_cards", "payment:cards"}},
    {"Бесконтактная оплата / Contactless",
     {"payment:contactless", "payment:apple_pay", "payment:google_pay"}},
};

// ---------------------------------------------------------------------------------------------
// Route relations: their members are kept until the relation is complete, or to the end for the
// relations the extract cut at its border.

class RouteManager : public osmium::relations::RelationsManager<RouteManager, true, true, false> {
public:
    std::function<void(const osmium::Relation&)> onRoute;

    bool new_relation(const osmium::Relation& r) const {
        return Is(r.tags()["type"], "route") && RouteTypeOf(r.tags()["route"]).has_value();
    }
    void complete_relation(const osmium::Relation& r) { onRoute(r); }
};

using LocationIndex = osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;
using LocationHandler = osmium::handler::NodeLocationsForWays<LocationIndex>;
using AreaManager = osmium::area::MultipolygonManager<osmium::area::Assembler>;

// ---------------------------------------------------------------------------------------------

class Importer : public osmium::handler::Handler {
public:
    Importer(const QString& path, const OsmImportOptions& options) : path_(path), options_(options) {
        for (const QString& l : options_.languages)
            langKeys_.push_back(l == QLatin1String("local") ? std::string("name")
                                                            : "name:" + l.toStdString());
        if (langKeys_.empty()) langKeys_.push_back("name");
    }

    OsmImportResult run();

    // ---- pass 2 handlers ----

    void node(const osmium::Node& n);

    void way(const osmium::Way& w);

    void relation(const osmium::Relation& r);

    void area(const osmium::Area& a);

private:
    // ---- passes ----

    void firstPass(const osmium::io::File& file);

    void secondPass(const osmium::io::File& file);

    // ---- per-feature rules ----

    // Rounded to the hundredths of a metre the file stores, so that the city in memory is the one a load
    // gives.
    TCoord project(const osmium::Location& l) const {
        const TCoord c = projection_(l.lon(), l.lat());
        return {std::round(c.x * 100.f) / 100.f, std::round(c.y * 100.f) / 100.f};
    }

    TShapeFis coords(const osmium::Way& w) const {
        TShapeFis line;
        line.reserve(w.nodes().size());
        for (const auto& nr : w.nodes())
            if (nr.location().valid()) line.push_back(project(nr.location()));
        return line;
    }

    void noteTime(const osmium::OSMObject& o) {
        if (o.timestamp().valid() && o.timestamp().seconds_since_epoch() > newest_)
            newest_ = o.timestamp().seconds_since_epoch();
    }

    void countUnmapped(const osmium::TagList& tags) {
        const QString tag = PrimaryTag(tags);
        if (!tag.isEmpty()) ++report_.unmapped[tag];
    }

    void countLocalLanguage(const osmium::TagList& tags);

    Names names(const osmium::TagList& tags, bool forMap) const;

    static bool districtPlace(const osmium::TagList& tags) {
        const char* place = tags["place"];
        return place &&
               (Is(place, "suburb") || Is(place, "quarter") || Is(place, "neighbourhood") ||
                Is(place, "borough")) &&
               tags["name"];
    }

    // Named administrative areas of the levels that may become districts (8 to 10); 0 for others.
    static int AdminLevel(const osmium::TagList& tags) {
        if (!Is(tags["boundary"], "administrative") || !tags["name"]) return 0;
        const char* level = tags["admin_level"];
        return Is(level, "10") ? 10 : Is(level, "9") ? 9 : Is(level, "8") ? 8 : 0;
    }

    bool label(const osmium::TagList& tags, TCoord at);

    void poi(TPOIType kind, const osmium::TagList& tags, TCoord at);

    int stopFor(std::int64_t key, const osmium::TagList& tags, TCoord at, TBusStopType tip);

    void road(const RoadRule& rule, const osmium::TagList& tags, const TShapeFis& line);

    void street(const osmium::TagList& tags, const TShapeFis& line);

    void buildingDraft(std::int64_t key, const osmium::TagList& tags, std::vector<TShapeFis>& outers,
                       bool part);

    bool org(const osmium::TagList& tags, TCoord at, std::int64_t ownerKey);

    static QString socialHandle(const SocialNet& net, QString v);

    void route(const osmium::Relation& r);

    // ---- building the city ----

    void build(OsmImportResult& result);
    ClipBox extractBox();
    void clipToExtract();
    void chooseDistricts();
    void buildStreets(CityDb& db);
    void buildBuildings(CityDb& db);
    void buildFields(CityDb& db);
    void buildRoads(CityDb& db);
    void buildTransport(CityDb& db);
    void buildLabels(CityDb& db);
    // The box of the buildings and streets kept (with a margin), within the extract's bounds; worked
    // out into dataBox_ before the drafts are used up.
    ClipBox dataBox() const;
    ClipBox dataBox_;
    // The scale (metres a pixel) at which the data fits a map of OpeningMapWidth × Height.
    float OpeningScale() const;
    void buildDirectory(CityDb& db);
    void buildRubrics(CityDb& db, const std::vector<std::vector<int>>& orgRubrics);
    void buildTables(CityDb& db);
    void dropUnusedLanguages(CityDb& db);
    QString languageCode(int i) const;
    int findBuilding(TCoord p) const;
    // The street an address names, nearest to `near`: by its name as written, else by the loose key
    // (then `loosely` is set).
    int streetFor(const QString& name, TCoord near, bool* loosely = nullptr);
    int nearestStreet(const std::unordered_map<QString, std::vector<int>>& index, const QString& key,
                      TCoord near) const;
    QString looseKey(const QString& name);
    // A language set as loading gives it: empty entries after the first take the first.
    Tas tas(const Names& n) const;

    QString path_;
    OsmImportOptions options_;
    std::vector<std::string> langKeys_;
    OsmImportReport report_;
    LocalProjection projection_;
    double centreLon_ = 0, centreLat_ = 0;
    QString timestamp_;
    std::int64_t newest_ = 0;
    QString cityName_, cityCandidate_;
    float cityDistance_ = 1e30f;
    std::map<QString, int> localVotes_, countryVotes_;

    AreaManager areas_{osmium::area::Assembler::config_type{}, AreaFilter()};
    RouteManager routes_;
    std::unordered_map<osmium::object_id_type, osmium::object_id_type> masterOf_;
    std::unordered_map<osmium::object_id_type, TColor> masterColour_;

    std::vector<BuildingDraft> buildings_;
    std::vector<StreetDraft> streets_;
    std::vector<FieldDraft> fields_, districts_;
    // Administrative areas that may become districts: whole ones, and ones the extract cut open (their
    // outline as the lines that are there).
    struct AdminDraft {
        int level;
        Names caption;
        std::vector<TShapeFis> rings, cutLines;
    };
    std::vector<AdminDraft> adminAreas_;
    // Administrative areas above the districts (levels 4 to 7), which tell towns of one name apart.
    struct ParentArea {
        int level;
        QString name;
        std::vector<TShapeFis> rings;
    };
    std::vector<ParentArea> parentAreas_;
    std::vector<TShapeFis> coast_; // coastline ways as mapped (land on their left)
    // The sea over the extract's box and the land the coastline bounds over it, as areas.
    void buildCoast();
    void nameTownsApart();
    osmium::Box headerBox_;
    ClipBox box_; // the extract's bounds in metres; not valid when nothing bounds it
    std::vector<RoadDraft> roads_;
    std::vector<StopDraft> stops_;
    std::unordered_map<std::int64_t, int> stopByKey_;
    std::vector<RouteDraft> routeDrafts_;
    std::vector<OrgDraft> orgs_;
    std::vector<LabelDraft> labels_;
    std::vector<NamedFeature> namedFeatures_;
    std::vector<int> streetLabelSizes_;    // per street of the city
    std::vector<TShapeFis> streetSurface_; // per street: its segments out of tunnels, when it has both
    std::vector<AddressDraft> addresses_;
    std::vector<TPOI> pois_;

    mutable std::vector<bool> langUsed_;
    CityDb* db_ = nullptr;
    std::vector<std::array<float, 4>> streetBoxes_;
    std::unordered_map<QString, std::vector<int>> addressIndex_; // loose street key # number -> buildings
    struct DistrictLabel {
        TCoord at;
        Names caption;
        TShapeFis ring;
        float extent; // a place of its name within this distance names it already
    };
    std::vector<DistrictLabel> districtLabels_;

    // Built in build(): positions of the final objects.
    std::vector<int> buildingPosition_; // draft -> position in Buildings, -1 for parts merged into a building
    std::unordered_map<std::int64_t, int> buildingByKey_;
    GridIndex buildingGrid_{100};
    std::unordered_map<QString, std::vector<int>> streetsByKey_, streetsByLooseKey_;
    std::unordered_map<QString, QString> looseKeys_; // addresses repeat their street's name

    static osmium::TagsFilter AreaFilter() {
        osmium::TagsFilter f{false};
        for (const char* k : {"building", "building:part", "landuse", "natural", "leisure", "amenity",
                              "place", "boundary", "waterway", "highway", "man_made", "power", "tourism"})
            f.add_rule(true, osmium::TagMatcher{k});
        return f;
    }
};

} // namespace osmimport
