#include "OsmImport.h"

#include "CityWriter.h"
#include "Cp1251.h"
#include "DirectoryRecords.h"
#include "OpeningHours.h"
#include "OsmClip.h"
#include "OsmDistricts.h"
#include "OsmGeometry.h"
#include "OsmLabels.h"
#include "OsmRules.h"
#include "PhoneNumbers.h"
#include "RecordWriter.h"
#include "StreetNames.h"

#include <osmium/area/assembler.hpp>
#include <osmium/area/multipolygon_manager.hpp>
#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/relations/relations_manager.hpp>
#include <osmium/tags/tags_filter.hpp>
#include <osmium/visitor.hpp>

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numeric>
#include <set>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

namespace {

// ---------------------------------------------------------------------------------------------
// Small helpers

bool Is(const char* a, const char* b) {
    return a && std::strcmp(a, b) == 0;
}

bool StartsWith(const char* s, const char* prefix) {
    return s && std::strncmp(s, prefix, std::strlen(prefix)) == 0;
}

QString Text(const char* s) {
    return s ? QString::fromUtf8(s).trimmed() : QString();
}

// Strings of map records end at a ";" when the program reads them as text lines.
QString MapText(const char* s) {
    return Text(s).replace(u';', u',');
}

// Keys of OpenStreetMap objects of every kind in one number space.
std::int64_t NodeKey(std::int64_t id) {
    return id * 4;
}
std::int64_t WayKey(std::int64_t id) {
    return id * 4 + 1;
}
std::int64_t RelationKey(std::int64_t id) {
    return id * 4 + 2;
}

float Distance(TCoord a, TCoord b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

QString NumberKey(const QString& number) {
    return number.toCaseFolded().remove(u' ');
}

// The tag that says what a feature is, for the count of features no rule maps.
const char* const PrimaryKeys[] = {
    "amenity",         "shop",        "office",           "craft",    "tourism",      "leisure",
    "healthcare",      "historic",    "natural",          "man_made", "power",        "barrier",
    "highway",         "railway",     "public_transport", "place",    "emergency",    "waterway",
    "landuse",         "building",    "building:part",    "aeroway",  "aerialway",    "military",
    "sport",           "telecom",     "advertising",      "entrance", "traffic_sign", "traffic_calming",
    "route",           "water",       "playground",       "indoor",   "area:highway", "bridge:support",
    "disused:amenity", "disused:shop"};

QString PrimaryTag(const osmium::TagList& tags) {
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
const SocialNet SocialNets[] = {
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
const MoneyDef MoneyDefs[] = {
    {"Наличные / Cash", {"payment:cash", "payment:coins", "payment:notes"}},
    {"Visa", {"payment:visa", "payment:visa_debit", "payment:visa_electron"}},
    {"Mastercard", {"payment:mastercard", "payment:maestro"}},
    {"American Express", {"payment:american_express"}},
    {"Карты / Cards", {"payment:credit_cards", "payment:debit_cards", "payment:cards"}},
    {"Бесконтактная оплата / Contactless",
     {"payment:contactless", "payment:apple_pay", "payment:google_pay"}},
};

// Native names of data languages.
QString LanguageName(const QString& code) {
    static const std::pair<const char*, const char*> names[] = {
        {"en", "English"},  {"fr", "Français"},   {"ru", "Русский"},    {"de", "Deutsch"},
        {"it", "Italiano"}, {"es", "Español"},    {"pt", "Português"},  {"nl", "Nederlands"},
        {"pl", "Polski"},   {"uk", "Українська"}, {"be", "Беларуская"}, {"kk", "Қазақша"},
        {"tr", "Türkçe"},   {"cs", "Čeština"},    {"oc", "Occitan"},    {"ca", "Català"},
        {"el", "Ελληνικά"}, {"fi", "Suomi"},      {"sv", "Svenska"},    {"lij", "Ligure"}};
    for (const auto& [c, n] : names)
        if (code == QLatin1String(c)) return QString::fromUtf8(n);
    return code;
}

// The type tables of the map in Russian and English; other languages take the English ones.
struct TypeName {
    const char* ru;
    const char* en;
};
const TypeName TransportNames[] = {{"Автобус", "Bus"},
                                   {"Трамвай", "Tram"},
                                   {"Троллейбус", "Trolleybus"},
                                   {"Метро", "Metro"},
                                   {"Маршрутное такси", "Share taxi"},
                                   {"Поезд", "Train"}};
const TypeName MaterialTypeNames[] = {
    {"Неизвестно", "Unknown"}, {"Кирпич", "Brick"},           {"Панель", "Panel"},    {"Дерево", "Wood"},
    {"Камень", "Stone"},       {"Шлакоблок", "Cinder block"}, {"Монолит", "Concrete"}};
const TypeName BuildingTypes[] = {{"Прочее", "Other"},
                                  {"Административное", "Administrative"},
                                  {"Школа", "School"},
                                  {"Жилой дом", "Residential"},
                                  {"Детский сад", "Kindergarten"},
                                  {"Торговый центр", "Shopping centre"},
                                  {"Гараж", "Garage"},
                                  {"Гостиница", "Hotel"},
                                  {"Спортивное сооружение", "Sports facility"},
                                  {"Декоративное сооружение", "Decorative structure"},
                                  {"Памятник", "Monument"},
                                  {"Больница", "Hospital"},
                                  {"Университет", "University"},
                                  {"Учреждение культуры", "Culture"},
                                  {"Склад", "Warehouse"},
                                  {"Магазин", "Shop"},
                                  {"Общественное здание", "Public building"},
                                  {"Храм", "Place of worship"},
                                  {"Котельная", "Boiler house"},
                                  {"Автозаправка", "Filling station"},
                                  {"Стройка", "Construction site"},
                                  {"Хозяйственная постройка", "Outbuilding"},
                                  {"Рекламная конструкция", "Billboard"}};

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

    OsmImportResult run() {
        const osmium::io::File file(path_.toStdString());
        firstPass(file);
        secondPass(file);
        OsmImportResult result;
        build(result);
        return result;
    }

    // ---- pass 2 handlers ----

    void node(const osmium::Node& n) {
        ++report_.nodes;
        noteTime(n);
        if (n.tags().empty() || !n.location().valid()) return;
        const osmium::TagList& tags = n.tags();
        countLocalLanguage(tags);
        const TCoord at = project(n.location());
        bool mapped = false;
        if (label(tags, at)) mapped = true;
        if (auto kind = PoiKindOf(tags)) {
            poi(*kind, tags, at);
            mapped = true;
        }
        if (auto stopType = StopTypeOf(tags)) {
            const bool position =
                Is(tags["public_transport"], "stop_position") && !Is(tags["highway"], "bus_stop");
            int s = stopFor(NodeKey(n.id()), tags, at, *stopType);
            if (!position) stops_[s].standalone = true;
            mapped = true;
        }
        if (org(tags, at, -1)) mapped = true;
        if (tags["addr:housenumber"]) {
            addresses_.push_back(
                {at, Text(tags["addr:housenumber"]), Text(tags["addr:street"]), Text(tags["addr:postcode"])});
            mapped = true;
        }
        if (!mapped) countUnmapped(tags);
    }

    void way(const osmium::Way& w) {
        ++report_.ways;
        noteTime(w);
        const osmium::TagList& tags = w.tags();
        if (tags.empty()) return;
        countLocalLanguage(tags);
        TShapeFis line = coords(w);
        if (line.size() < 2) return;
        const bool closed = w.nodes().size() > 3 && w.is_closed();
        bool mapped = false;
        const bool area = closed && (Is(tags["area"], "yes") || tags["building"] || tags["building:part"] ||
                                     FieldTypeOf(tags) || districtPlace(tags));
        if (area) mapped = true;
        if (!Is(tags["area"], "yes"))
            if (auto rule = RoadRuleOf(tags)) {
                road(*rule, tags, line);
                mapped = true;
            }
        if (tags["name"] && IsStreetHighway(tags["highway"])) {
            street(tags, line);
            mapped = true;
        }
        if (const char* waterway = tags["waterway"]; waterway && tags["name"]) {
            const int size = Is(waterway, "river") ? 14 : Is(waterway, "canal") ? 11 : Is(waterway, "stream") ? 7 : 0;
            if (size) namedFeatures_.push_back({names(tags, true), {line}, size, WaterLabelColor, true});
        }
        TShapeFis ring = line;
        DropRepeatedPoints(ring);
        const TCoord centre = closed ? LabelPoint(ring) : line[line.size() / 2];
        if (label(tags, centre)) mapped = true;
        if (auto kind = PoiKindOf(tags)) {
            poi(*kind, tags, centre);
            mapped = true;
        }
        if (Is(tags["public_transport"], "platform") || Is(tags["highway"], "platform") ||
            Is(tags["highway"], "bus_stop")) {
            const auto type = StopTypeOf(tags).value_or(Is(tags["railway"], "platform") ? bstRail : bstAuto);
            stops_[stopFor(WayKey(w.id()), tags, centre, type)].standalone = true;
            mapped = true;
        }
        const bool isBuilding = closed && (tags["building"] && !Is(tags["building"], "no"));
        if (org(tags, centre, isBuilding ? WayKey(w.id()) : -1)) mapped = true;
        if (Is(tags["natural"], "coastline")) {
            ++report_.notes[QStringLiteral("coastline ways (the sea is not drawn)")];
            return;
        }
        if (!mapped) countUnmapped(tags);
    }

    void relation(const osmium::Relation& r) {
        ++report_.relations;
        noteTime(r);
        // Routes of other kinds (hiking, bicycle, ferry, road numbers) have no place in the city.
        const char* route = r.tags()["route"];
        if (Is(r.tags()["type"], "route") && route && !RouteTypeOf(route))
            ++report_.unmapped[QStringLiteral("route=") + QString::fromUtf8(route)];
    }

    void area(const osmium::Area& a) {
        const osmium::TagList& tags = a.tags();
        const std::int64_t key = a.from_way() ? WayKey(a.orig_id()) : RelationKey(a.orig_id());
        std::vector<TShapeFis> outers;
        int inners = 0;
        for (const auto& outer : a.outer_rings()) {
            TShapeFis ring;
            for (const auto& nr : outer)
                ring.push_back(project(nr.location()));
            DropRepeatedPoints(ring);
            if (ring.size() >= 3) outers.push_back(std::move(ring));
            for ([[maybe_unused]] const auto& inner : a.inner_rings(outer))
                ++inners;
        }
        if (outers.empty()) {
            ++report_.notes[QStringLiteral("areas whose outline does not close")];
            return;
        }
        const TCoord centre = LabelPoint(outers.front());
        bool mapped = false;
        if (const int level = AdminLevel(tags)) {
            adminAreas_.push_back({level, names(tags, true), outers, {}});
            mapped = true;
        } else if (Is(tags["boundary"], "administrative")) {
            ++report_.notes[QStringLiteral("administrative areas of other levels than the districts (not drawn)")];
            mapped = true;
        }
        const char* building = tags["building"];
        const bool isBuilding = building && !Is(building, "no");
        if (isBuilding || tags["building:part"]) {
            std::vector<TShapeFis> rings = outers;
            buildingDraft(key, tags, rings, !isBuilding);
            if (inners) report_.notes[QStringLiteral("courtyards of buildings (roofed over)")] += inners;
            mapped = true;
        }
        const bool district = districtPlace(tags);
        std::optional<std::uint8_t> typ =
            district ? std::optional<std::uint8_t>(DistrictFieldType) : FieldTypeOf(tags);
        // Names of waters, parks and woods go inside them.
        const char* leisure = tags["leisure"];
        if (typ && tags["name"] && !isBuilding &&
            (*typ == 2 || *typ == 11 ||
             (*typ == 1 && (Is(leisure, "park") || Is(leisure, "garden") || Is(leisure, "nature_reserve"))))) {
            const auto largest = std::max_element(outers.begin(), outers.end(), [](const TShapeFis& a, const TShapeFis& b) {
                return std::abs(RingArea(a)) < std::abs(RingArea(b));
            });
            namedFeatures_.push_back({names(tags, true), {*largest}, *typ == 2 ? 30 : 14,
                                      *typ == 2 ? WaterLabelColor : GreenLabelColor, false});
        }
        if (typ && !(isBuilding && !district)) {
            for (TShapeFis& ring : outers) {
                FieldDraft f;
                f.area = std::abs(RingArea(ring));
                f.ring = std::move(ring);
                f.typ = *typ;
                f.caption = names(tags, true);
                (district ? districts_ : fields_).push_back(std::move(f));
            }
            if (inners && !district) report_.notes[QStringLiteral("holes in areas (filled)")] += inners;
            mapped = true;
        }
        // Ways were looked at in way(); relations only come here.
        if (!a.from_way()) {
            if (org(tags, centre, isBuilding ? key : -1)) mapped = true;
            if (auto kind = PoiKindOf(tags)) {
                poi(*kind, tags, centre);
                mapped = true;
            }
            if (!mapped) countUnmapped(tags);
        }
    }

private:
    // ---- passes ----

    void firstPass(const osmium::io::File& file) {
        // Relations first, so that the second pass knows which members to keep. The projection is
        // centred on the mean of the nodes: neither a header's box (often the extract's polygon) nor
        // the nodes' box (a few far boundary nodes stretch it) says where the data lies.
        osmium::io::Reader reader(file, osmium::osm_entity_bits::node | osmium::osm_entity_bits::relation);
        const osmium::io::Header header = reader.header();
        headerBox_ = header.box();
        timestamp_ = Text(header.get("osmosis_replication_timestamp").c_str());
        if (timestamp_.isEmpty()) timestamp_ = Text(header.get("timestamp").c_str());
        double sumLon = 0, sumLat = 0;
        std::int64_t count = 0;
        while (osmium::memory::Buffer buffer = reader.read()) {
            for (const auto& n : buffer.select<osmium::Node>())
                if (n.location().valid()) {
                    sumLon += n.location().lon();
                    sumLat += n.location().lat();
                    ++count;
                }
            for (const auto& r : buffer.select<osmium::Relation>()) {
                areas_.relation(r);
                routes_.relation(r);
                if (Is(r.tags()["type"], "route_master")) {
                    for (const auto& m : r.members())
                        if (m.type() == osmium::item_type::relation) {
                            masterOf_[m.ref()] = r.id();
                            if (auto c = ParseColour(r.tags()["colour"])) masterColour_[r.id()] = *c;
                        }
                }
            }
        }
        reader.close();
        areas_.prepare_for_lookup();
        routes_.prepare_for_lookup();
        if (count > 0) {
            centreLon_ = sumLon / count;
            centreLat_ = sumLat / count;
        }
        projection_ = LocalProjection(centreLon_, centreLat_);
    }

    void secondPass(const osmium::io::File& file) {
        LocationIndex index;
        LocationHandler locations(index);
        locations.ignore_errors();
        routes_.onRoute = [this](const osmium::Relation& r) { route(r); };
        osmium::io::Reader reader(file);
        osmium::apply(reader, locations, *this, areas_.handler([this](osmium::memory::Buffer&& buffer) {
            osmium::apply(buffer, *this);
        }),
                      routes_.handler());
        reader.close();
        // Relations the extract cut at its border: routes keep what is there, areas cannot be closed.
        routes_.for_each_incomplete_relation([this](const osmium::relations::RelationHandle& handle) {
            ++report_.notes[QStringLiteral("routes cut at the border of the data (kept as far as present)")];
            route(*handle);
        });
        areas_.for_each_incomplete_relation([this](const osmium::relations::RelationHandle& handle) {
            const osmium::TagList& tags = handle->tags();
            // A town cut by the extract may be closed along its bounds later, once they are known.
            if (const int level = AdminLevel(tags)) {
                std::vector<TShapeFis> lines;
                for (const auto& m : handle->members())
                    if (m.type() == osmium::item_type::way && !Is(m.role(), "inner"))
                        if (const osmium::Way* w = areas_.get_member_way(m.ref())) {
                            TShapeFis line = coords(*w);
                            if (line.size() >= 2) lines.push_back(std::move(line));
                        }
                adminAreas_.push_back({level, names(tags, true), {}, JoinLines(std::move(lines))});
                return;
            }
            if (Is(tags["boundary"], "administrative"))
                ++report_.notes[QStringLiteral("boundaries cut at the border of the data (left out)")];
            else
                ++report_.notes[QStringLiteral("multipolygons cut at the border of the data (left out)")];
        });
    }

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

    void countLocalLanguage(const osmium::TagList& tags) {
        const char* name = tags["name"];
        if (!name) return;
        for (const auto& t : tags)
            if (StartsWith(t.key(), "name:") && std::strcmp(t.value(), name) == 0 &&
                std::strlen(t.key()) <= 8)
                ++localVotes_[QString::fromUtf8(t.key() + 5)];
    }

    Names names(const osmium::TagList& tags, bool forMap) const {
        Names n;
        for (const std::string& k : langKeys_)
            n.v << (forMap ? MapText(tags[k.c_str()]) : Text(tags[k.c_str()]));
        langUsed_.resize(langKeys_.size());
        for (int i = 1; i < n.v.size(); ++i)
            if (!n.v[i].isEmpty()) langUsed_[i] = true;
        // A name given only in another language still names the object in the first.
        if (n.v[0].isEmpty())
            for (const QString& s : n.v)
                if (!s.isEmpty()) {
                    n.v[0] = s;
                    break;
                }
        return n;
    }

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

    bool label(const osmium::TagList& tags, TCoord at) {
        const char* place = tags["place"];
        if (!place || !tags["name"]) return false;
        const std::optional<PlaceRule> rule = PlaceRuleOf(place);
        if (!rule) return false;
        LabelDraft l{at, names(tags, true), *rule};
        // Large cities are named further out.
        if (l.rule.rank == 0) {
            const long population = tags["population"] ? std::atol(tags["population"]) : 0;
            l.rule.overviewSize = population >= 1000000 ? 240 : population >= 300000 ? 180 : l.rule.overviewSize;
        }
        if ((Is(place, "city") || Is(place, "town")) && cityName_.isEmpty()) {
            const float d = Distance(at, {0, 0});
            if (d < cityDistance_) {
                cityDistance_ = d;
                cityCandidate_ = Text(tags["name"]);
            }
        }
        labels_.push_back(std::move(l));
        return true;
    }

    void poi(TPOIType kind, const osmium::TagList& tags, TCoord at) {
        TPOI p;
        p.tip = kind;
        p.x = at.x;
        p.y = at.y;
        p.caption = MapText(tags["name"]);
        pois_.push_back(p);
    }

    int stopFor(std::int64_t key, const osmium::TagList& tags, TCoord at, TBusStopType tip) {
        auto it = stopByKey_.find(key);
        if (it != stopByKey_.end()) return it->second;
        StopDraft s;
        s.at = at;
        s.tip = tip;
        s.caption = names(tags, true);
        stops_.push_back(std::move(s));
        stopByKey_.emplace(key, int(stops_.size()) - 1);
        return int(stops_.size()) - 1;
    }

    void road(const RoadRule& rule, const osmium::TagList& tags, const TShapeFis& line) {
        if (tags["tunnel"] && !Is(tags["tunnel"], "no")) {
            ++report_.notes[QStringLiteral("ways in tunnels (not drawn)")];
            return;
        }
        const bool bridge = tags["bridge"] && !Is(tags["bridge"], "no");
        const int layer = tags["layer"] ? std::atoi(tags["layer"]) : (bridge ? 1 : 0);
        auto put = [&](std::size_t i, TRoadType tip, float width, std::uint8_t mapLayer, int rank) {
            RoadDraft d;
            d.road.point = {line[i], line[i + 1]};
            d.road.tip = tip;
            d.road.width = width;
            d.road.layer = mapLayer;
            d.osmLayer = layer;
            d.rank = rank;
            roads_.push_back(d);
        };
        for (std::size_t i = 0; i + 1 < line.size(); ++i) {
            // A bridge is its deck drawn a little wider under the road.
            if (bridge) put(i, rtBridge, rule.width + 2, rule.layer, 0);
            put(i, rule.tip, rule.width, rule.layer, 1);
            if (rule.overviewCasing > 0) put(i, rtBridge, rule.overviewCasing, 1, 0);
            if (rule.overviewFill > 0) put(i, rule.overviewFillTip, rule.overviewFill, 1, rule.overviewFillTip == rtAuto ? 1 : 2);
        }
    }

    void street(const osmium::TagList& tags, const TShapeFis& line) {
        StreetDraft s;
        s.name = names(tags, true);
        s.labelSize = StreetLabelSize(tags["highway"]);
        s.tunnel = tags["tunnel"] && !Is(tags["tunnel"], "no");
        s.key = StreetKey(s.name.v[0]);
        for (std::size_t i = 0; i + 1 < line.size(); ++i) {
            s.segments.push_back(line[i]);
            s.segments.push_back(line[i + 1]);
        }
        for (const TCoord& c : line) {
            s.minX = std::min(s.minX, c.x);
            s.maxX = std::max(s.maxX, c.x);
            s.minY = std::min(s.minY, c.y);
            s.maxY = std::max(s.maxY, c.y);
        }
        streets_.push_back(std::move(s));
    }

    void buildingDraft(std::int64_t key, const osmium::TagList& tags, std::vector<TShapeFis>& outers,
                       bool part) {
        BuildingDraft b;
        b.key = key;
        b.part = part;
        b.rings = std::move(outers);
        if (b.rings.size() > 255) {
            report_.notes[QStringLiteral("building outlines beyond 255 parts (left out)")] +=
                int(b.rings.size() - 255);
            b.rings.resize(255);
        }
        for (TShapeFis& r : b.rings) {
            if (r.size() > 65535) {
                r = Simplify(r, 0.5f);
                if (r.size() > 65535) r.resize(65535);
            }
            b.area += std::abs(RingArea(r));
            for (const TCoord& c : r) {
                b.minX = std::min(b.minX, c.x);
                b.maxX = std::max(b.maxX, c.x);
                b.minY = std::min(b.minY, c.y);
                b.maxY = std::max(b.maxY, c.y);
            }
        }
        if (auto h = HeightOf(tags)) b.height = *h;
        b.levels = LevelsOf(tags);
        b.number = MapText(tags["addr:housenumber"]);
        b.street = Text(tags["addr:street"]);
        if (b.street.isEmpty()) b.street = Text(tags["addr:place"]);
        b.postcode = MapText(tags["addr:postcode"]);
        b.caption = names(tags, true);
        b.tip = BuildingTipOf(tags);
        b.material = MaterialOf(tags);
        buildings_.push_back(std::move(b));
    }

    bool org(const osmium::TagList& tags, TCoord at, std::int64_t ownerKey) {
        std::vector<int> rubrics = RubricsOf(tags);
        if (rubrics.empty()) return false;
        OrgDraft o;
        o.caption = names(tags, false);
        if (!o.caption.any()) {
            if (!MayBeUnnamedOrganisation(tags)) return false;
            // A cash machine or taxi rank is named by its operator, else by what it is.
            QString who = Text(tags["brand"]);
            if (who.isEmpty()) who = Text(tags["operator"]);
            const RubricDef& r = Rubrics()[rubrics.front()];
            for (int i = 0; i < int(langKeys_.size()); ++i) {
                const bool ru = options_.languages.value(i) == QLatin1String("ru");
                const QString what =
                    Is(tags["amenity"], "atm")         ? (ru ? QStringLiteral("Банкомат") : QStringLiteral("ATM"))
                    : Is(tags["amenity"], "recycling") ? (ru ? QString::fromUtf8("Пункт приёма вторсырья")
                                                             : QStringLiteral("Recycling centre"))
                                                       : QString::fromUtf8(ru ? r.ru : r.en);
                o.caption.v << (who.isEmpty() ? what : who + u' ' + what);
            }
            o.caption.v = o.caption.v.mid(int(langKeys_.size()));
        }
        o.rubrics = std::move(rubrics);
        o.at = at;
        o.ownerKey = ownerKey;
        o.street = Text(tags["addr:street"]);
        if (o.street.isEmpty()) o.street = Text(tags["addr:place"]);
        o.number = Text(tags["addr:housenumber"]);
        o.postcode = Text(tags["addr:postcode"]);
        o.city = Text(tags["addr:city"]);
        for (const char* k : {"phone", "contact:phone"})
            if (tags[k]) o.phones << SplitPhoneValue(Text(tags[k]));
        for (const char* k : {"phone:mobile", "contact:mobile", "mobile"})
            if (tags[k]) o.mobiles << SplitPhoneValue(Text(tags[k]));
        for (const char* k : {"fax", "contact:fax"})
            if (tags[k]) o.faxes << SplitPhoneValue(Text(tags[k]));
        for (const QString& p : o.phones + o.mobiles + o.faxes)
            if (p.startsWith(u'+') || p.startsWith(QLatin1String("00")))
                ++countryVotes_[CountryCodeOf(QString(p)
                                                  .remove(QRegularExpression(QStringLiteral("\\D")))
                                                  .mid(p.startsWith(u'+') ? 0 : 2))];
        for (const char* k : {"website", "contact:website", "url"})
            if (tags[k] && o.website.isEmpty()) o.website = Text(tags[k]).section(u';', 0, 0).trimmed();
        for (const char* k : {"email", "contact:email"})
            if (tags[k] && o.email.isEmpty()) o.email = Text(tags[k]).section(u';', 0, 0).trimmed();
        for (int s = 0; s < int(std::size(SocialNets)); ++s)
            for (const char* k : SocialNets[s].keys)
                if (const char* v = tags[k]) {
                    const QString handle = socialHandle(SocialNets[s], Text(v));
                    if (handle.isEmpty())
                        ++report_.notes[QStringLiteral("social network links of another form (left out)")];
                    else
                        o.social.push_back({s, handle});
                    break;
                }
        o.hours = Text(tags["opening_hours"]);
        if (const char* d = tags["description"]) o.description << Text(d);
        for (int m = 0; m < int(std::size(MoneyDefs)); ++m)
            for (const char* k : MoneyDefs[m].keys)
                if (Is(tags[k], "yes")) {
                    o.money.push_back(std::uint8_t(m));
                    break;
                }
        orgs_.push_back(std::move(o));
        return true;
    }

    static QString socialHandle(const SocialNet& net, QString v) {
        if (v.startsWith(QLatin1String("http://")) || v.startsWith(QLatin1String("https://")) ||
            v.startsWith(QLatin1String("www."))) {
            const QUrl url = QUrl::fromUserInput(v);
            QString host = url.host().toLower();
            if (host.startsWith(QLatin1String("www."))) host = host.mid(4);
            if (host.startsWith(QLatin1String("m."))) host = host.mid(2);
            bool ours = false;
            for (const char* h : net.hosts)
                ours = ours || host == QLatin1String(h);
            if (!ours) return {};
            QString path = url.path();
            while (path.startsWith(u'/'))
                path = path.mid(1);
            if (url.hasQuery()) path += u'?' + url.query();
            return path;
        }
        if (v.startsWith(u'@')) v = v.mid(1);
        return v.contains(u' ') ? QString() : v;
    }

    void route(const osmium::Relation& r) {
        const osmium::TagList& tags = r.tags();
        RouteDraft d;
        d.id = r.id();
        d.tip = *RouteTypeOf(tags["route"]);
        d.number = MapText(tags["ref"]);
        if (d.number.isEmpty()) d.number = MapText(tags["name"]);
        if (auto it = masterOf_.find(r.id()); it != masterOf_.end()) {
            d.master = it->second;
            if (auto c = masterColour_.find(it->second); c != masterColour_.end()) d.colour = c->second;
        }
        if (auto c = ParseColour(tags["colour"])) d.colour = c;
        d.roundtrip = Is(tags["roundtrip"], "yes");
        const TBusStopType stopType = d.tip == ttTramway        ? bstTram
                                      : d.tip == ttMetro        ? bstMetro
                                      : d.tip == TrainTransport ? bstRail
                                                                : bstAuto;
        std::vector<int> platforms, positions;
        std::vector<TShapeFis> ways;
        int missing = 0;
        for (const auto& m : r.members()) {
            if (m.ref() == 0) continue;
            const char* role = m.role();
            const bool platform = StartsWith(role, "platform");
            const bool stop = StartsWith(role, "stop") || (m.type() == osmium::item_type::node && !*role);
            if (m.type() == osmium::item_type::node) {
                const osmium::Node* n = routes_.get_member_node(m.ref());
                if (!n || !n->location().valid()) {
                    ++missing;
                    continue;
                }
                const int s = stopFor(NodeKey(n->id()), n->tags(), project(n->location()),
                                      StopTypeOf(n->tags()).value_or(stopType));
                if (stopType != bstAuto && stops_[s].tip == bstAuto) stops_[s].tip = stopType;
                (platform ? platforms : positions).push_back(s);
                (void)stop;
            } else if (m.type() == osmium::item_type::way) {
                const osmium::Way* w = routes_.get_member_way(m.ref());
                if (!w) {
                    ++missing;
                    continue;
                }
                TShapeFis line = coords(*w);
                if (line.empty()) continue;
                if (platform) {
                    TShapeFis ring = line;
                    DropRepeatedPoints(ring);
                    const int s =
                        stopFor(WayKey(w->id()), w->tags(),
                                w->is_closed() ? LabelPoint(ring) : line[line.size() / 2], stopType);
                    platforms.push_back(s);
                } else if (!stop) {
                    ways.push_back(std::move(line));
                }
            }
        }
        if (missing) report_.notes[QStringLiteral("route members outside the data")] += missing;
        std::vector<int> stopList = platforms.empty() ? positions : platforms;
        stopList.erase(std::unique(stopList.begin(), stopList.end()), stopList.end());

        // The route's line: its ways end to end, each turned to follow on from the one before.
        TShapeFis shape;
        for (std::size_t i = 0; i < ways.size(); ++i) {
            TShapeFis& w = ways[i];
            if (shape.empty()) {
                if (i + 1 < ways.size()) {
                    const TShapeFis& next = ways[i + 1];
                    const float front =
                        std::min(Distance(w.front(), next.front()), Distance(w.front(), next.back()));
                    const float back =
                        std::min(Distance(w.back(), next.front()), Distance(w.back(), next.back()));
                    if (front < back) std::reverse(w.begin(), w.end());
                }
                shape = w;
                continue;
            }
            if (Distance(shape.back(), w.back()) < Distance(shape.back(), w.front()))
                std::reverse(w.begin(), w.end());
            shape.insert(shape.end(), w.begin() + (Distance(shape.back(), w.front()) < 0.01f ? 1 : 0),
                         w.end());
        }
        shape = Simplify(shape, 1.0f);

        // Stops go after the nearest point of the line that follows the stop before them, so that a
        // line that comes back along the same street keeps its stops in order.
        std::vector<std::vector<int>> after(std::max<std::size_t>(shape.size(), 1));
        std::size_t from = 0;
        for (int s : stopList) {
            if (shape.empty()) {
                after[0].push_back(s);
                continue;
            }
            const TCoord at = stops_[s].at;
            std::size_t best = from;
            float bestD = Distance(shape[from], at);
            bool near = false;
            for (std::size_t k = from; k < shape.size(); ++k) {
                const float dk = Distance(shape[k], at);
                if (dk < bestD) {
                    bestD = dk;
                    best = k;
                }
                if (dk < 40.f) near = true;
                // The first close approach is the stop's place.
                if (near && (k + 1 == shape.size() || Distance(shape[k + 1], at) > dk)) {
                    if (dk <= bestD) best = k;
                    break;
                }
            }
            after[best].push_back(s);
            from = best;
        }
        for (std::size_t k = 0; k < after.size(); ++k) {
            if (k < shape.size()) d.points.push_back({-1, int(k)});
            for (int s : after[k]) {
                d.points.push_back({s, -1});
                stops_[s].onRoute = true;
                d.hasStops = true;
            }
        }
        if (d.points.empty()) {
            ++report_.notes[QStringLiteral("routes with no member inside the data (left out)")];
            return;
        }
        d.shape = std::move(shape);
        routeDrafts_.push_back(std::move(d));
    }

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
    Tas tas(const Names& n) const {
        Tas t = n.v;
        while (t.size() < int(langKeys_.size()))
            t << QString();
        for (int i = 1; i < t.size(); ++i)
            if (t[i].isEmpty()) t[i] = t[0];
        return t;
    }

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
    osmium::Box headerBox_;
    ClipBox box_; // the extract's bounds in metres; not valid when nothing bounds it
    std::vector<RoadDraft> roads_;
    std::vector<StopDraft> stops_;
    std::unordered_map<std::int64_t, int> stopByKey_;
    std::vector<RouteDraft> routeDrafts_;
    std::vector<OrgDraft> orgs_;
    std::vector<LabelDraft> labels_;
    std::vector<NamedFeature> namedFeatures_;
    std::vector<int> streetLabelSizes_; // per street of the city
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

} // namespace

// ---------------------------------------------------------------------------------------------
// Building the city from the drafts

namespace {

void Importer::build(OsmImportResult& result) {
    CityDb& db = result.db;
    db_ = &db;
    db.DataLangCount = int(langKeys_.size());
    box_ = extractBox();
    if (box_.valid()) clipToExtract();
    chooseDistricts();
    buildStreets(db);
    buildBuildings(db);
    buildFields(db);
    buildRoads(db);
    buildTransport(db);
    buildLabels(db);
    db.POIs = std::move(pois_);
    report_.pois = int(db.POIs.size());
    buildTables(db);
    buildDirectory(db);
    dropUnusedLanguages(db);

    // The city's name goes into the file header, which holds Windows-1251 text only.
    QString name = options_.cityName;
    if (name.isEmpty()) name = cityCandidate_;
    QString stem = QFileInfo(path_).fileName().section(u'.', 0, 0).section(u'-', 0, 0);
    if (!stem.isEmpty()) stem[0] = stem[0].toUpper();
    if (name.isEmpty()) name = stem;
    bool ok = false;
    ToCp1251(name, &ok);
    if (!ok) {
        QString plain;
        for (QChar c : name.normalized(QString::NormalizationForm_D))
            if (c.category() != QChar::Mark_NonSpacing) plain += c;
        ToCp1251(plain, &ok);
        name = ok ? plain : stem;
    }
    result.CityName = name.left(40);
    // The extract's own date, else its newest object.
    QDateTime when = QDateTime::fromString(timestamp_.left(19), Qt::ISODate);
    if (!when.isValid() && newest_ > 0) when = QDateTime::fromSecsSinceEpoch(newest_, Qt::UTC);
    if (!when.isValid()) when = QDateTime::currentDateTimeUtc();
    result.ReleaseDate = when.toString(QStringLiteral("dd.MM.yyyy"));
    result.report = std::move(report_);
}

ClipBox Importer::extractBox() {
    auto widen = [](ClipBox& b, float x0, float y0, float x1, float y1) {
        b.minX = std::min(b.minX, x0);
        b.minY = std::min(b.minY, y0);
        b.maxX = std::max(b.maxX, x1);
        b.maxY = std::max(b.maxY, y1);
    };
    ClipBox data{BoxMinStart, BoxMinStart, BoxMaxStart, BoxMaxStart};
    for (const BuildingDraft& b : buildings_)
        widen(data, b.minX, b.minY, b.maxX, b.maxY);
    for (const StreetDraft& s : streets_)
        widen(data, s.minX, s.minY, s.maxX, s.maxY);
    if (headerBox_.valid()) {
        // Lines of longitude bend in the projection: the box holds the header box's edges, not only
        // its corners.
        ClipBox header{BoxMinStart, BoxMinStart, BoxMaxStart, BoxMaxStart};
        const osmium::Location sw = headerBox_.bottom_left(), ne = headerBox_.top_right();
        for (int i = 0; i <= 32; ++i) {
            const double f = i / 32.0;
            const double lon = sw.lon() + f * (ne.lon() - sw.lon()), lat = sw.lat() + f * (ne.lat() - sw.lat());
            for (const TCoord c : {projection_(lon, sw.lat()), projection_(lon, ne.lat()), projection_(sw.lon(), lat),
                                   projection_(ne.lon(), lat)})
                widen(header, c.x, c.y, c.x, c.y);
        }
        // A header that does not hold the town (a wrong or hostile one) would empty the city.
        int inside = 0;
        for (const BuildingDraft& b : buildings_)
            inside += header.contains({(b.minX + b.maxX) / 2, (b.minY + b.maxY) / 2});
        if (header.valid() && 2 * inside >= int(buildings_.size())) return header;
        ++report_.notes[QStringLiteral("bounds in the file's header that do not hold its data (ignored)")];
    }
    if (!data.valid()) return {};
    // The town's own extent, with a margin so that what stands at its edge stays whole.
    constexpr float Margin = 250;
    return {data.minX - Margin, data.minY - Margin, data.maxX + Margin, data.maxY + Margin};
}

void Importer::clipToExtract() {
    int outside = 0, cut = 0;
    auto clipped = [&](TCoord& a, TCoord& b) {
        const TCoord a0 = a, b0 = b;
        if (!ClipSegment(box_, a, b)) {
            ++outside;
            return false;
        }
        if (!(a == a0) || !(b == b0)) ++cut;
        return true;
    };
    for (StreetDraft& s : streets_) {
        TShapeFis kept;
        for (std::size_t k = 0; k + 1 < s.segments.size(); k += 2) {
            TCoord a = s.segments[k], b = s.segments[k + 1];
            if (!clipped(a, b)) continue;
            kept.push_back(a);
            kept.push_back(b);
        }
        if (kept.size() == s.segments.size()) continue;
        s.segments = std::move(kept);
        s.minX = s.minY = BoxMinStart;
        s.maxX = s.maxY = BoxMaxStart;
        for (const TCoord& c : s.segments) {
            s.minX = std::min(s.minX, c.x);
            s.maxX = std::max(s.maxX, c.x);
            s.minY = std::min(s.minY, c.y);
            s.maxY = std::max(s.maxY, c.y);
        }
    }
    std::erase_if(streets_, [](const StreetDraft& s) { return s.segments.empty(); });
    std::erase_if(roads_, [&](RoadDraft& r) { return !clipped(r.road.point[0], r.road.point[1]); });
    const auto outsideBox = [&](float x0, float y0, float x1, float y1) {
        const bool out = !box_.meets(x0, y0, x1, y1);
        outside += out;
        return out;
    };
    std::erase_if(buildings_, [&](const BuildingDraft& b) { return outsideBox(b.minX, b.minY, b.maxX, b.maxY); });
    for (std::vector<FieldDraft>* list : {&fields_, &districts_})
        std::erase_if(*list, [&](FieldDraft& f) {
            TShapeFis ring = ClipRing(box_, f.ring);
            if (ring.empty()) return ++outside, true;
            if (ring != f.ring) {
                ++cut;
                f.ring = std::move(ring);
                f.area = std::abs(RingArea(f.ring));
            }
            return false;
        });
    for (StopDraft& st : stops_)
        if (!box_.contains(st.at)) st.outside = true, ++outside;
    for (NamedFeature& f : namedFeatures_) {
        std::vector<TShapeFis> kept;
        for (const TShapeFis& shape : f.shapes) {
            if (f.line) {
                for (TShapeFis& piece : ClipLine(box_, shape))
                    kept.push_back(std::move(piece));
            } else if (TShapeFis ring = ClipRing(box_, shape); !ring.empty()) {
                kept.push_back(std::move(ring));
            }
        }
        f.shapes = std::move(kept);
    }
    std::erase_if(namedFeatures_, [](const NamedFeature& f) { return f.shapes.empty(); });
    std::erase_if(labels_, [&](const LabelDraft& l) { return !box_.contains(l.at) && ++outside; });
    std::erase_if(pois_, [&](const TPOI& p) { return !box_.contains({p.x, p.y}) && ++outside; });
    if (outside) report_.notes[QStringLiteral("map objects outside the extract's bounds (left out)")] += outside;
    if (cut) report_.notes[QStringLiteral("lines and areas cut at the extract's bounds")] += cut;
}

void Importer::chooseDistricts() {
    // The place of a town's name lies inside it: that tells which side of a cut outline is the town.
    std::unordered_map<QString, TCoord> placeAt;
    for (const LabelDraft& l : labels_)
        placeAt.emplace(StreetKey(l.text.v[0]), l.at);
    std::vector<AdminArea> areas;
    for (AdminDraft& d : adminAreas_) {
        AdminArea a;
        a.level = d.level;
        a.rings = std::move(d.rings);
        a.cutLines = std::move(d.cutLines);
        if (auto it = placeAt.find(StreetKey(d.caption.v[0])); it != placeAt.end()) a.inside = it->second;
        areas.push_back(std::move(a));
    }
    const DistrictChoice choice = ChooseDistricts(areas, box_);
    if (choice.unclosed)
        report_.notes[QStringLiteral("boundaries cut at the border of the data (left out)")] += choice.unclosed;
    for (std::size_t i = 0; i < areas.size(); ++i) {
        if (areas[i].rings.empty()) continue;
        if (areas[i].level != choice.level) {
            ++report_.notes[QStringLiteral("administrative areas of other levels than the districts (not drawn)")];
            continue;
        }
        for (TShapeFis& ring : areas[i].rings) {
            FieldDraft f;
            f.area = std::abs(RingArea(ring));
            f.ring = std::move(ring);
            f.typ = DistrictFieldType;
            f.caption = adminAreas_[i].caption;
            districts_.push_back(std::move(f));
        }
    }
    if (choice.level) report_.districtLevel = choice.level;
    adminAreas_.clear();
}

void Importer::buildStreets(CityDb& db) {
    // Ways of one name form one street unless they lie far apart (the same name in another town).
    std::unordered_map<QString, std::vector<int>> byName;
    for (int i = 0; i < int(streets_.size()); ++i)
        byName[streets_[i].key].push_back(i);
    struct Cluster {
        QString key;
        std::vector<int> drafts;
        float minX, minY, maxX, maxY;
    };
    std::vector<Cluster> clusters;
    constexpr float Gap = 300;
    for (auto& [key, ids] : byName) {
        std::vector<int> parent(ids.size());
        std::iota(parent.begin(), parent.end(), 0);
        std::function<int(int)> root = [&](int i) {
            return parent[i] == i ? i : parent[i] = root(parent[i]);
        };
        // A sweep from west to east compares only ways whose spans meet, so that a name used in many
        // towns of a region costs little more than its ways.
        std::vector<int> byWest(ids.size());
        std::iota(byWest.begin(), byWest.end(), 0);
        std::sort(byWest.begin(), byWest.end(),
                  [&](int a, int b) { return streets_[ids[a]].minX < streets_[ids[b]].minX; });
        for (std::size_t i = 0; i < byWest.size(); ++i) {
            const StreetDraft& p = streets_[ids[byWest[i]]];
            for (std::size_t j = i + 1; j < byWest.size(); ++j) {
                const StreetDraft& q = streets_[ids[byWest[j]]];
                if (q.minX > p.maxX + Gap) break;
                if (p.minY - Gap <= q.maxY && q.minY - Gap <= p.maxY)
                    parent[root(byWest[i])] = root(byWest[j]);
            }
        }
        std::unordered_map<int, int> clusterOf;
        for (std::size_t a = 0; a < ids.size(); ++a) {
            const int r = root(int(a));
            auto [it, fresh] = clusterOf.emplace(r, int(clusters.size()));
            if (fresh) clusters.push_back({key, {}, BoxMinStart, BoxMinStart, BoxMaxStart, BoxMaxStart});
            Cluster& c = clusters[it->second];
            const StreetDraft& s = streets_[ids[a]];
            c.drafts.push_back(ids[a]);
            c.minX = std::min(c.minX, s.minX);
            c.minY = std::min(c.minY, s.minY);
            c.maxX = std::max(c.maxX, s.maxX);
            c.maxY = std::max(c.maxY, s.maxY);
        }
    }
    std::sort(clusters.begin(), clusters.end(), [&](const Cluster& a, const Cluster& b) {
        const QString& na = streets_[a.drafts.front()].name.v[0];
        const QString& nb = streets_[b.drafts.front()].name.v[0];
        const int c = QString::compare(na, nb, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : (a.minX != b.minX ? a.minX < b.minX : a.minY < b.minY);
    });
    for (Cluster& c : clusters) {
        std::sort(c.drafts.begin(), c.drafts.end());
        TStreet s;
        Names name = streets_[c.drafts.front()].name;
        for (int d : c.drafts)
            for (int i = 1; i < name.v.size(); ++i)
                if (name.v[i].isEmpty()) name.v[i] = streets_[d].name.v[i];
        s.Name = tas(name);
        for (int d : c.drafts)
            s.shape.insert(s.shape.end(), streets_[d].segments.begin(), streets_[d].segments.end());
        if (s.shape.size() > 65534) {
            ++report_.notes[QStringLiteral("streets longer than a street record holds (cut)")];
            s.shape.resize(65534);
        }
        int labelSize = 0;
        bool tunnels = false, open = false;
        for (int d : c.drafts) {
            labelSize = std::max(labelSize, streets_[d].labelSize);
            (streets_[d].tunnel ? tunnels : open) = true;
        }
        streetLabelSizes_.push_back(labelSize);
        // A street's name goes where the street is seen: along its tunnels only when it is all tunnel.
        streetSurface_.emplace_back();
        if (tunnels && open)
            for (int d : c.drafts)
                if (!streets_[d].tunnel)
                    streetSurface_.back().insert(streetSurface_.back().end(), streets_[d].segments.begin(),
                                                 streets_[d].segments.end());
        streetsByKey_[c.key].push_back(int(db.Streets.size()));
        std::set<QString> loose;
        for (const QString& n : s.Name)
            if (!n.isEmpty() && loose.insert(looseKey(n)).second)
                streetsByLooseKey_[looseKey(n)].push_back(int(db.Streets.size()));
        streetBoxes_.push_back({c.minX, c.minY, c.maxX, c.maxY});
        db.Streets.push_back(std::move(s));
    }
    streets_.clear();
    streets_.shrink_to_fit();
    report_.namedStreets = int(db.Streets.size());
}

QString Importer::looseKey(const QString& name) {
    auto it = looseKeys_.find(name);
    if (it == looseKeys_.end()) it = looseKeys_.emplace(name, LooseStreetKey(name)).first;
    return it->second;
}

int Importer::streetFor(const QString& name, TCoord near, bool* loosely) {
    if (name.isEmpty()) return -1;
    const int s = nearestStreet(streetsByKey_, StreetKey(name), near);
    if (s >= 0) return s;
    const int l = nearestStreet(streetsByLooseKey_, looseKey(name), near);
    if (l >= 0 && loosely) *loosely = true;
    return l;
}

int Importer::nearestStreet(const std::unordered_map<QString, std::vector<int>>& index, const QString& key,
                            TCoord near) const {
    auto it = index.find(key);
    if (it == index.end()) return -1;
    int best = -1;
    float bestD = 1e30f;
    for (int s : it->second) {
        const auto& b = streetBoxes_[s];
        const float dx = std::max({b[0] - near.x, 0.f, near.x - b[2]});
        const float dy = std::max({b[1] - near.y, 0.f, near.y - b[3]});
        const float d = std::hypot(dx, dy);
        if (d < bestD) {
            bestD = d;
            best = s;
        }
    }
    // An address names a street of its own town, not one of that name kilometres away.
    return bestD < 3000 ? best : -1;
}

int Importer::findBuilding(TCoord p) const {
    int best = -1;
    float bestArea = 1e30f;
    buildingGrid_.query(p, [&](int pos) {
        const TBuilding& b = db_->Buildings[pos];
        const float area = (b.maxX_ - b.minX_) * (b.maxY_ - b.minY_);
        if (area >= bestArea) return;
        for (const TShapeView& s : b.shapes)
            if (PointInRing(s.shape, p)) {
                best = pos;
                bestArea = area;
                return;
            }
    });
    return best;
}

void Importer::buildBuildings(CityDb& db) {
    // Parts belong to the building whose outline holds them.
    GridIndex wholes(100);
    for (int i = 0; i < int(buildings_.size()); ++i) {
        const BuildingDraft& b = buildings_[i];
        if (!b.part) wholes.insert(i, b.minX, b.minY, b.maxX, b.maxY);
    }
    std::vector<std::vector<int>> partsOf(buildings_.size());
    for (int i = 0; i < int(buildings_.size()); ++i) {
        BuildingDraft& part = buildings_[i];
        if (!part.part) continue;
        const TCoord p = LabelPoint(part.rings.front());
        double bestArea = 1e300;
        wholes.query(p, [&](int w) {
            const BuildingDraft& b = buildings_[w];
            if (b.area >= bestArea) return;
            for (const TShapeFis& r : b.rings)
                if (PointInRing(r, p)) {
                    part.owner = w;
                    bestArea = b.area;
                    return;
                }
        });
        if (part.owner >= 0) partsOf[part.owner].push_back(i);
    }

    auto shape = [](const TShapeFis& ring, double height) {
        TObjShape s;
        s.shape = ring;
        s.visSide.resize(ring.size());
        for (std::size_t k = 0; k < ring.size(); ++k)
            s.visSide.set(k, true);
        s.high = std::uint8_t(std::clamp(std::lround(height < 0 ? 0 : height), 0L, 255L));
        return s;
    };

    buildingPosition_.assign(buildings_.size(), -1);
    std::vector<QString> streetNames;
    for (int i = 0; i < int(buildings_.size()); ++i) {
        BuildingDraft& d = buildings_[i];
        if (d.part && d.owner >= 0) continue;
        TBuilding b;
        b.id = int(db.Buildings.size()) + 1;
        const std::vector<int>& parts = partsOf[i];
        int largest = 0;
        for (int r = 0; r < int(d.rings.size()); ++r)
            if (std::abs(RingArea(d.rings[r])) > std::abs(RingArea(d.rings[largest]))) largest = r;
        // With parts the outline stays as the flat footprint and the parts stand on it.
        std::vector<TObjShape> shapes;
        for (const TShapeFis& r : d.rings)
            shapes.push_back(shape(r, parts.empty() ? d.height : 0));
        double tallest = d.height;
        int levels = d.levels;
        for (int p : parts) {
            const BuildingDraft& part = buildings_[p];
            const double h = part.height >= 0 ? part.height : d.height;
            tallest = std::max(tallest, h);
            levels = std::max(levels, part.levels);
            for (const TShapeFis& r : part.rings)
                if (shapes.size() < 255) shapes.push_back(shape(r, h));
            if (d.tip == 0) d.tip = part.tip;
            if (d.material == bmUnknown) d.material = part.material;
        }
        b.shapes = shapes;
        for (const TObjShape& s : shapes)
            for (const TCoord& c : s.shape)
                b.Widen(c.x, c.y);
        const TCoord label = LabelPoint(d.rings[largest]);
        b.x = label.x;
        b.y = label.y;
        // The number stands on the tallest shape under the label point.
        int onShape = largest, onHigh = -1;
        for (int s = 0; s < int(shapes.size()); ++s)
            if (shapes[s].high > onHigh && PointInRing(shapes[s].shape, label)) {
                onShape = s;
                onHigh = shapes[s].high;
            }
        b.ShapeWithNum = std::uint8_t(onShape);
        b.levels = std::uint8_t(std::clamp(levels, 0, 255));
        b.tip = d.tip;
        b.material = d.material;
        b.index = d.postcode;
        b.caption = tas(d.caption);
        b.num = tas(Names{QStringList(d.number)});
        if (tallest > 0) ++report_.buildingsWithHeight;
        buildingPosition_[i] = int(db.Buildings.size());
        buildingByKey_[d.key] = int(db.Buildings.size());
        for (int p : parts)
            buildingByKey_[buildings_[p].key] = int(db.Buildings.size());
        buildingGrid_.insert(int(db.Buildings.size()), b.minX_, b.minY_, b.maxX_, b.maxY_);
        streetNames.push_back(d.street);
        db.Buildings.push_back(std::move(b));
    }
    buildings_.clear();
    buildings_.shrink_to_fit();

    // Address points inside a building without a number of its own give it theirs.
    for (const AddressDraft& a : addresses_) {
        const int pos = findBuilding(a.at);
        if (pos < 0) continue;
        TBuilding& b = db.Buildings[pos];
        if (!b.num.isEmpty() && !b.num[0].isEmpty()) continue;
        b.num = tas(Names{QStringList(QString(a.number).replace(u';', u','))});
        if (streetNames[pos].isEmpty()) streetNames[pos] = a.street;
        if (b.index.isEmpty()) b.index = QString(a.postcode).replace(u';', u',');
    }
    addresses_.clear();

    for (int pos = 0; pos < int(db.Buildings.size()); ++pos) {
        TBuilding& b = db.Buildings[pos];
        bool loosely = false;
        b.street = streetFor(streetNames[pos], {b.x, b.y}, &loosely);
        const bool numbered = !b.num.isEmpty() && !b.num[0].isEmpty();
        if (numbered) ++report_.buildingsWithNumber;
        if (!streetNames[pos].isEmpty() && b.street < 0)
            ++report_.notes[QStringLiteral("building addresses on streets not on the map (number kept)")];
        if (loosely)
            ++report_.notes[QStringLiteral("building addresses matched to their street by a shortened name")];
        if (numbered && b.street >= 0) {
            db.BuildIndexes.push_back(
                {b.street, pos, FromCp1251(ToCp1251(b.num[0]).left(BuildIndexNumLength))});
            addressIndex_[looseKey(db.Streets[b.street].Name[0]) + u'#' + NumberKey(b.num[0])].push_back(pos);
        }
        // Organisations may write the street as the building does, matched or not.
        if (numbered && !streetNames[pos].isEmpty() &&
            (b.street < 0 || looseKey(streetNames[pos]) != looseKey(db.Streets[b.street].Name[0])))
            addressIndex_[looseKey(streetNames[pos]) + u'#' + NumberKey(b.num[0])].push_back(pos);
    }
    std::stable_sort(db.BuildIndexes.begin(), db.BuildIndexes.end(),
                     [](const TBuildIndex& a, const TBuildIndex& b) { return a.s > b.s; });
    report_.buildings = int(db.Buildings.size());
}

void Importer::buildFields(CityDb& db) {
    // Districts first (the district list takes the leading run); one district per name.
    std::stable_sort(districts_.begin(), districts_.end(), [](const FieldDraft& a, const FieldDraft& b) {
        return QString::compare(a.caption.v[0], b.caption.v[0], Qt::CaseInsensitive) < 0;
    });
    std::unordered_set<QString> seen;
    auto put = [&](FieldDraft& f) {
        TField field;
        field.shape = f.ring.size() > 65535 ? Simplify(f.ring, 1.f) : std::move(f.ring);
        if (field.shape.size() > 65535) field.shape.resize(65535);
        field.typ = f.typ;
        field.caption = tas(f.caption);
        db.Fields.push_back(std::move(field));
    };
    for (FieldDraft& d : districts_) {
        if (!seen.insert(StreetKey(d.caption.v[0])).second) continue;
        districtLabels_.push_back({LabelPoint(d.ring), d.caption, d.ring, float(std::sqrt(d.area))});
        put(d);
    }
    report_.districts = int(db.Fields.size());
    // Larger areas first, so that a pond in a park is drawn over the park.
    std::stable_sort(fields_.begin(), fields_.end(),
                     [](const FieldDraft& a, const FieldDraft& b) { return a.area > b.area; });
    for (FieldDraft& f : fields_)
        put(f);
    report_.fields = int(db.Fields.size());
    fields_.clear();
    districts_.clear();
}

void Importer::buildRoads(CityDb& db) {
    // Lower layers first, so that bridges are drawn over what they cross.
    std::stable_sort(roads_.begin(), roads_.end(), [](const RoadDraft& a, const RoadDraft& b) {
        return a.osmLayer != b.osmLayer ? a.osmLayer < b.osmLayer : a.rank < b.rank;
    });
    db.Roads.reserve(roads_.size());
    for (const RoadDraft& r : roads_)
        db.Roads.push_back(r.road);
    roads_.clear();
    roads_.shrink_to_fit();
    report_.roads = int(db.Roads.size());
}

void Importer::buildTransport(CityDb& db) {
    // Stops of routes come first: a route refers to its stops by 16-bit identifiers.
    std::vector<int> order;
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < int(stops_.size()); ++i)
            if (!stops_[i].outside &&
                (pass == 0 ? stops_[i].onRoute : (stops_[i].standalone && !stops_[i].onRoute)))
                order.push_back(i);
    for (int i : order) {
        StopDraft& d = stops_[i];
        TBusStop s;
        s.id_ = int(db.BusStops.size()) + 1;
        s.x = d.at.x;
        s.y = d.at.y;
        s.tip = d.tip;
        s.caption = tas(d.caption);
        d.position = int(db.BusStops.size());
        db.BusStops.push_back(std::move(s));
    }
    report_.stops = int(db.BusStops.size());

    // One line is the routes of one master (or of one type and number), its directions one after the other.
    std::map<std::pair<int, QString>, std::vector<int>> lines; // sorted by type and number
    std::unordered_map<std::int64_t, std::pair<int, QString>> lineOfMaster;
    for (int i = 0; i < int(routeDrafts_.size()); ++i) {
        const RouteDraft& r = routeDrafts_[i];
        std::pair<int, QString> key{r.tip, QStringLiteral("%1").arg(r.number, 12)};
        if (r.master) {
            auto [it, fresh] = lineOfMaster.emplace(r.master, key);
            key = it->second;
            key.second += QStringLiteral("|m%1").arg(r.master);
        }
        lines[key].push_back(i);
    }
    const int L = int(langKeys_.size());
    auto put = [&](const RouteDraft& r, bool reversed) {
        TBusWay w;
        w.num = Tas();
        for (int i = 0; i < L; ++i)
            w.num << r.number;
        w.tip = TTranspType(r.tip);
        if (r.tip == ttMetro && r.colour) w.MetroColor = *r.colour == 0 ? 0x010101 : *r.colour;
        for (const auto& [stop, k] : r.points) {
            // A route cut at the extract's bounds keeps what lies within them.
            if (stop >= 0 ? stops_[stop].outside : (box_.valid() && !box_.contains(r.shape[k]))) continue;
            TWayPoint p;
            if (stop >= 0) {
                const TBusStop& s = db.BusStops[stops_[stop].position];
                if (s.id_ <= 0xFFFF) {
                    p.typ = 1;
                    p.ids = std::uint16_t(s.id_);
                } else {
                    ++report_.notes[QStringLiteral(
                        "route stops beyond the 65535 a route can name (drawn as points)")];
                    p.x = s.x;
                    p.y = s.y;
                }
            } else {
                p.x = r.shape[k].x;
                p.y = r.shape[k].y;
            }
            w.way.push_back(p);
        }
        if (reversed) std::reverse(w.way.begin(), w.way.end());
        if (w.way.size() > 0xFFFF) {
            ++report_.notes[QStringLiteral("routes longer than a route record holds (cut)")];
            w.way.resize(0xFFFF);
        }
        db.BusWays.push_back(std::move(w));
    };
    for (auto& [key, ids] : lines) {
        std::sort(ids.begin(), ids.end(),
                  [&](int a, int b) { return routeDrafts_[a].id < routeDrafts_[b].id; });
        bool stops = false;
        for (int i : ids) {
            put(routeDrafts_[i], false);
            stops = stops || routeDrafts_[i].hasStops;
        }
        // A line mapped in one direction only is travelled back the same way.
        if (ids.size() == 1 && !routeDrafts_[ids[0]].roundtrip) {
            put(routeDrafts_[ids[0]], true);
            ++report_
                  .notes[QStringLiteral("routes mapped in one direction (the other made by reversing it)")];
        }
        ++report_.routes;
        if (stops) ++report_.routesWithStops;
    }
    routeDrafts_.clear();
}

void Importer::buildLabels(CityDb& db) {
    QElapsedTimer timer;
    timer.start();
    LabelPlacer placer;
    std::vector<TText>& out = db.Texts;
    auto style = [&](const Names& text, int size, int layer, TColor color, const QString& kind) {
        LabelStyle s;
        s.text = tas(text);
        // Repeats are kept apart per kind and layer: a town's name zoomed out does not hide it zoomed in.
        s.key = StreetKey(s.text[0]) + u'|' + kind + QString::number(layer);
        s.size = size;
        s.layer = layer;
        s.color = color;
        return s;
    };
    std::vector<TShapeFis> segments(db.Streets.size());
    for (std::size_t i = 0; i < db.Streets.size(); ++i)
        segments[i] = db.Streets[i].shape;
    const StreetCrowding crowding(segments);

    // Places by rank, each zoomed in and, for the larger ones, zoomed out; a place mapped both as a
    // point and as an area, or twice, shows once. Zoomed in a large name moves a little to where it
    // covers the fewest streets, whose names need the room.
    std::stable_sort(labels_.begin(), labels_.end(),
                     [](const LabelDraft& a, const LabelDraft& b) { return a.rule.rank < b.rule.rank; });
    // A place mapped twice with two spellings side by side shows once.
    std::vector<std::pair<TCoord, int>> anchors; // where places of each size were named
    auto named = [&](TCoord at, int size) {
        if (std::any_of(anchors.begin(), anchors.end(), [&](const auto& a) {
                return a.second == size && Distance(a.first, at) < 5.f * float(size);
            }))
            return true;
        anchors.push_back({at, size});
        return false;
    };
    for (const LabelDraft& l : labels_) {
        const PlaceRule& r = l.rule;
        if (named(l.at, r.detailSize)) continue;
        LabelAtPoint(placer, l.at, style(l.text, r.detailSize, 0, r.color, QStringLiteral("p")),
                     std::max(2000.f, 40.f * r.detailSize), out, &crowding, 4 * LabelTextHeight(float(r.detailSize)));
        if (r.overviewSize)
            LabelAtPoint(placer, l.at, style(l.text, r.overviewSize, 1, r.color, QStringLiteral("p")),
                         std::max(2000.f, 40.f * r.overviewSize), out);
    }
    // Districts that no place names, anywhere inside them.
    for (const auto& [at, caption, ring, extent] : districtLabels_) {
        if (named(at, DistrictLabelSize)) continue;
        const float apart = std::max(2000.f, extent);
        LabelAtPoint(placer, at, style(caption, DistrictLabelSize, 0, DistrictLabelColor, QStringLiteral("p")), apart, out,
                     &crowding, extent / 2, &ring);
        LabelAtPoint(placer, at, style(caption, 50, 1, DistrictLabelColor, QStringLiteral("p")), apart, out);
    }
    // Every street's name once, those with the least room for it first (a long avenue finds a place
    // anyway, a stair only one); then the names of waters, parks and woods; then the names repeated
    // along long streets and rivers.
    std::vector<float> room(db.Streets.size());
    for (std::size_t i = 0; i < room.size(); ++i) {
        const TShapeFis& shape = db.Streets[i].shape;
        for (std::size_t k = 0; k + 1 < shape.size(); k += 2)
            room[i] += std::hypot(shape[k + 1].x - shape[k].x, shape[k + 1].y - shape[k].y);
        room[i] /= std::max(1.f, LabelTextWidth(db.Streets[i].Name[0], float(streetLabelSizes_[i])));
    }
    std::vector<int> order(db.Streets.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return room[a] < room[b]; });
    auto labelStreet = [&](int i, bool repeats) {
        const TStreet& st = db.Streets[i];
        const TShapeFis& shape = streetSurface_[i].empty() ? st.shape : streetSurface_[i];
        std::vector<TShapeFis> pieces;
        pieces.reserve(shape.size() / 2);
        for (std::size_t k = 0; k + 1 < shape.size(); k += 2)
            pieces.push_back({shape[k], shape[k + 1]});
        LabelStyle s = style(Names{st.Name}, streetLabelSizes_[i], 0, StreetLabelColor, QStringLiteral("s"));
        const float spacing = std::max(250.f, 4 * LabelTextWidth(s.text[0], float(s.size)));
        return LabelAlongLines(placer, pieces, s, spacing, out, repeats ? 1 << 30 : 1, repeats, 0.5f);
    };
    for (int i : order)
        if (labelStreet(i, false)) ++report_.labelledStreets;
    auto waterStyle = [&](const NamedFeature& f) {
        return style(f.name, f.size, 0, f.color, QStringLiteral("w"));
    };
    auto waterSpacing = [&](const LabelStyle& s) { return std::max(500.f, 6 * LabelTextWidth(s.text[0], float(s.size))); };
    for (const NamedFeature& f : namedFeatures_) {
        if (f.line) {
            const LabelStyle s = waterStyle(f);
            LabelAlongLines(placer, f.shapes, s, waterSpacing(s), out, 1);
            continue;
        }
        const TShapeFis& ring = f.shapes.front();
        const TCoord at = LabelPoint(ring);
        if (const int size = AreaLabelSize(ring, at, tas(f.name), f.size))
            LabelAtPoint(placer, at, style(f.name, size, 0, f.color, QStringLiteral("a")), 1000, out);
    }
    for (int i : order)
        labelStreet(i, true);
    for (const NamedFeature& f : namedFeatures_)
        if (f.line) {
            const LabelStyle s = waterStyle(f);
            LabelAlongLines(placer, f.shapes, s, waterSpacing(s), out, 1 << 30, true);
        }
    report_.texts = int(db.Texts.size());
    report_.labelMilliseconds = double(timer.nsecsElapsed()) / 1e6;
    labels_.clear();
    namedFeatures_.clear();
}

QString Importer::languageCode(int i) const {
    const QString l = options_.languages.value(i);
    if (l != QLatin1String("local")) return l;
    QString best;
    int votes = 0;
    for (const auto& [code, n] : localVotes_)
        if (n > votes) {
            votes = n;
            best = code;
        }
    return best;
}

void Importer::buildTables(CityDb& db) {
    const int L = int(langKeys_.size());
    auto table = [&](const TypeName* names, std::size_t n) {
        std::vector<Tas> out;
        for (std::size_t k = 0; k < n; ++k) {
            Tas t;
            for (int i = 0; i < L; ++i)
                t << QString::fromUtf8(languageCode(i) == QLatin1String("ru") ? names[k].ru : names[k].en);
            out.push_back(t);
        }
        return out;
    };
    db.TransportTypeNames = table(TransportNames, std::size(TransportNames));
    db.MaterialNames = table(MaterialTypeNames, std::size(MaterialTypeNames));
    db.BuildingTypeNames = table(BuildingTypes, std::size(BuildingTypes));
    db.DataLangNames.clear();
    for (int i = 0; i < L; ++i) {
        const QString code = languageCode(i);
        db.DataLangNames << (code.isEmpty() ? QStringLiteral("Local") : LanguageName(code));
    }
}

void Importer::buildDirectory(CityDb& db) {
    const int L = int(langKeys_.size());
    QString country;
    int votes = 0;
    for (const auto& [cc, n] : countryVotes_)
        if (!cc.isEmpty() && n > votes) {
            votes = n;
            country = cc;
        }
    db.PhoneCodes = QStringList{QString()};
    std::map<QString, std::uint8_t> codeIndex;
    auto phone = [&](const QString& raw, bool mobile, TPhone& out) {
        const std::optional<StoredPhone> p = NormalisePhone(raw, country, mobile);
        if (!p) {
            ++report_.notes[QStringLiteral("phone numbers that are no number (left out)")];
            return false;
        }
        std::uint8_t code = 0;
        if (!p->countryCode.isEmpty()) {
            auto [it, fresh] = codeIndex.emplace(p->countryCode, std::uint8_t(db.PhoneCodes.size()));
            if (fresh) {
                if (db.PhoneCodes.size() > 255) return false;
                db.PhoneCodes << u'+' + p->countryCode;
            }
            code = it->second;
        }
        out.code = code;
        FormatPhone(p->stored, code, db.PhoneCodes, out.phone, out.cell);
        out.place.edit([L](Tas& place) {
            for (int i = 0; i < L; ++i)
                place << QString();
        });
        return true;
    };
    std::map<QString, int> scheduleIndex;
    std::vector<int> netIndex(std::size(SocialNets), -1), moneyIndex(std::size(MoneyDefs), -1);
    std::vector<std::vector<int>> orgRubrics;
    const Tas empty = tas(Names{});

    struct Built {
        TOrg org;
        std::vector<int> rubrics;
    };
    std::vector<Built> built;
    built.reserve(orgs_.size() + 1);
    for (OrgDraft& d : orgs_) {
        TOrg o;
        o.caption = tas(d.caption);
        o.website = d.website;
        o.email = d.email;
        for (const auto& [net, url] : d.social) {
            if (netIndex[net] < 0) {
                netIndex[net] = int(db.SocNets.size());
                db.SocNets.push_back({QString::fromUtf8(SocialNets[net].caption),
                                      QString::fromUtf8(SocialNets[net].prefix), TImg{}});
            }
            o.socnet.push_back({std::uint8_t(netIndex[net]), url});
        }
        TAdr a;
        a.num = empty;
        a.place = empty;
        a.nomap_adr = empty;
        // The building that holds it: its own outline, else its address, else the one around it.
        int pos = -1;
        if (d.ownerKey >= 0)
            if (auto it = buildingByKey_.find(d.ownerKey); it != buildingByKey_.end()) pos = it->second;
        if (pos < 0 && !d.number.isEmpty() && !d.street.isEmpty()) {
            auto it = addressIndex_.find(looseKey(d.street) + u'#' + NumberKey(d.number));
            if (it != addressIndex_.end()) {
                float best = 1000;
                for (int b : it->second) {
                    const float dist = Distance(d.at, {db.Buildings[b].x, db.Buildings[b].y});
                    if (dist < best) {
                        best = dist;
                        pos = b;
                    }
                }
            }
        }
        if (pos < 0) pos = findBuilding(d.at);
        a.id = pos;
        if (pos < 0) {
            QString text = (d.number + u' ' + d.street).trimmed();
            const QString town = (d.postcode + u' ' + d.city).trimmed();
            if (!town.isEmpty()) text = text.isEmpty() ? town : text + QStringLiteral(", ") + town;
            a.nomap_adr.edit([&text](Tas& set) {
                for (QString& s : set)
                    s = text;
            });
        } else {
            ++report_.orgsWithBuilding;
        }
        for (const QString& p : d.phones) {
            TPhone ph;
            if (phone(p, false, ph)) a.phones.push_back(ph);
        }
        for (const QString& p : d.mobiles) {
            TPhone ph;
            if (phone(p, true, ph)) a.phones.push_back(ph);
        }
        if (a.phones.size() > 255) a.phones.resize(255);
        if (!a.phones.empty()) ++report_.orgsWithPhone;
        if (!d.faxes.isEmpty()) {
            TPhone fax;
            if (phone(d.faxes.front(), false, fax)) a.fax = fax.phone;
        }
        if (!d.hours.isEmpty()) {
            QString why;
            if (const std::optional<TSchedule> s = ParseOpeningHours(d.hours, &why)) {
                QStringList key;
                for (const TDaySchedule& day : *s)
                    key << QStringLiteral("%1/%2/%3/%4")
                               .arg(day.BeginWork)
                               .arg(day.EndWork)
                               .arg(day.BeginDiner)
                               .arg(day.EndDiner);
                auto [it, fresh] = scheduleIndex.emplace(key.join(u';'), int(db.Schedules.size()));
                if (fresh) db.Schedules.push_back(*s);
                a.schedule = it->second;
                ++report_.orgsWithSchedule;
            } else {
                ++report_.notes[QStringLiteral("opening hours that do not fit a week (kept as description)")];
                d.description << QStringLiteral("Часы работы / Opening hours: ") + d.hours;
            }
        }
        for (std::uint8_t m : d.money) {
            if (moneyIndex[m] < 0) {
                moneyIndex[m] = int(db.MoneyKinds.size());
                db.MoneyKinds.push_back({QString::fromUtf8(MoneyDefs[m].caption), TImg{}});
            }
            a.money.push_back(std::uint8_t(moneyIndex[m]));
        }
        o.adrs.push_back(std::move(a));
        o.Description = d.description;
        built.push_back({std::move(o), d.rubrics});
    }
    orgs_.clear();
    report_.orgs = int(built.size());

    // The licence's credit: an entry of its own, which the running string opens when clicked.
    TOrg osm;
    for (int i = 0; i < L; ++i)
        osm.caption << QStringLiteral("OpenStreetMap");
    osm.website = QStringLiteral("https://www.openstreetmap.org/copyright");
    osm.Description = {
        QString::fromUtf8(OsmAttribution),
        QStringLiteral("Open Database License (ODbL) 1.0: https://opendatacommons.org/licenses/odbl/1-0/")};
    built.push_back({std::move(osm), {}});

    std::stable_sort(built.begin(), built.end(),
                     [](const Built& a, const Built& b) { return a.org.caption[0] < b.org.caption[0]; });
    for (Built& b : built) {
        b.org.id = int(db.Orgs.size()) + 1;
        if (b.org.website == QLatin1String("https://www.openstreetmap.org/copyright") && b.rubrics.empty() &&
            b.org.adrs.empty()) {
            db.RunningTexts << QString::fromUtf8(OsmAttribution);
            db.RunningOrgIds.push_back(b.org.id);
        }
        orgRubrics.push_back(std::move(b.rubrics));
        db.Orgs.push_back(std::move(b.org));
    }
    buildRubrics(db, orgRubrics);
}

void Importer::buildRubrics(CityDb& db, const std::vector<std::vector<int>>& orgRubrics) {
    const std::vector<RubricDef>& defs = Rubrics();
    std::vector<char> used(defs.size(), 0);
    for (std::size_t r = 0; r < defs.size(); ++r)
        used[r] = defs[r].always;
    for (const auto& list : orgRubrics)
        for (int r : list)
            used[r] = 1;
    // Russian names are the ones the program looks for; each carries its English name beneath it in
    // the tree, a rubric of its own with the same organisations, so that either language finds them.
    std::vector<int> order;
    for (std::size_t r = 0; r < defs.size(); ++r)
        if (used[r]) order.push_back(int(r));
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return defs[a].group != defs[b].group ? defs[a].group < defs[b].group
                                              : QString::fromUtf8(defs[a].ru) < QString::fromUtf8(defs[b].ru);
    });
    std::vector<int> ruIndex(defs.size(), -1), enIndex(defs.size(), -1);
    db.RubricNames.clear();
    for (int r : order) {
        ruIndex[r] = int(db.RubricNames.size());
        db.RubricNames << QString::fromUtf8(defs[r].ru);
    }
    for (int r : order) {
        enIndex[r] = int(db.RubricNames.size());
        db.RubricNames << QString::fromUtf8(defs[r].en);
    }
    QString tree;
    int group = -1;
    for (int r : order) {
        if (defs[r].group != group) {
            group = defs[r].group;
            const RubricGroup& g = RubricGroups()[group];
            tree += QString::fromUtf8(g.ru) + QStringLiteral(" / ") + QString::fromUtf8(g.en) + u'\n';
        }
        tree += u'\t' + QString::fromUtf8(defs[r].ru) + u'\n';
        tree += QStringLiteral("\t\t") + QString::fromUtf8(defs[r].en) + u'\n';
    }
    db.RubricTree = tree;
    for (std::size_t i = 0; i < db.Orgs.size(); ++i) {
        for (int r : orgRubrics[i])
            db.Orgs[i].area.push_back(ruIndex[r]);
        for (int r : orgRubrics[i])
            db.Orgs[i].area.push_back(enIndex[r]);
    }
}

void Importer::dropUnusedLanguages(CityDb& db) {
    // A second language only when the data names something in it.
    for (int i = int(langKeys_.size()) - 1; i > 0; --i) {
        if (langUsed_.size() > std::size_t(i) && langUsed_[i]) continue;
        auto drop = [i](auto& t) {
            if constexpr (std::is_same_v<std::decay_t<decltype(t)>, TSharedTas>) {
                if (t.size() > i) t.edit([i](Tas& set) { set.removeAt(i); });
            } else if (t.size() > i) {
                t.removeAt(i);
            }
        };
        for (TStreet& s : db.Streets)
            drop(s.Name);
        for (TBuilding& b : db.Buildings) {
            drop(b.num);
            drop(b.caption);
        }
        for (TField& f : db.Fields)
            drop(f.caption);
        for (TBusStop& s : db.BusStops)
            drop(s.caption);
        for (TBusWay& w : db.BusWays)
            drop(w.num);
        for (TText& t : db.Texts)
            drop(t.Text);
        for (auto* table : {&db.TransportTypeNames, &db.MaterialNames, &db.BuildingTypeNames})
            for (Tas& t : *table)
                drop(t);
        for (TOrg& o : db.Orgs) {
            drop(o.caption);
            for (TAdr& a : o.adrs) {
                drop(a.num);
                drop(a.nomap_adr);
                drop(a.place);
                for (TPhone& p : a.phones)
                    drop(p.place);
            }
        }
        db.DataLangNames.removeAt(i);
        db.DataLangCount -= 1;
        ++report_.notes[QStringLiteral("data languages without any name in the data (left out)")];
    }
}

} // namespace

OsmImportResult ImportOsm(const QString& inputPath, const OsmImportOptions& options) {
    if (!QFileInfo(inputPath).isFile()) throw std::runtime_error(inputPath.toStdString() + ": no such file");
    try {
        return Importer(inputPath, options).run();
    } catch (const std::runtime_error&) {
        throw;
    } catch (const std::exception& e) {
        throw std::runtime_error(inputPath.toStdString() + ": " + e.what());
    }
}

QString WriteOsmCity(const OsmImportResult& result, const QString& outputPath) {
    try {
        CityWriter w;
        w.CityName = result.CityName;
        w.ReleaseDate = result.ReleaseDate;
        SetCitySections(w, result.db);
        return w.Write(outputPath);
    } catch (const std::exception& e) {
        return QString::fromStdString(e.what());
    }
}
