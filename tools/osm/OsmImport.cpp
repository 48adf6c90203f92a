// The importer's passes over the data: what each node, way, relation and area becomes.
#include "OsmImporter.h"

#include "CityWriter.h"
#include "OsmGeometry.h"
#include "PhoneNumbers.h"
#include "RecordWriter.h"
#include "StreetNames.h"

#include <osmium/io/any_input.hpp>
#include <osmium/visitor.hpp>

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <stdexcept>

namespace osmimport {

OsmImportResult Importer::run() {
    const osmium::io::File file(path_.toStdString());
    firstPass(file);
    secondPass(file);
    OsmImportResult result;
    build(result);
    return result;
}

void Importer::node(const osmium::Node& n) {
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

void Importer::way(const osmium::Way& w) {
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
        const int size = Is(waterway, "river")    ? 14
                         : Is(waterway, "canal")  ? 11
                         : Is(waterway, "stream") ? 7
                                                  : 0;
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
        coast_.push_back(std::move(line));
        return;
    }
    if (!mapped) countUnmapped(tags);
}

void Importer::relation(const osmium::Relation& r) {
    ++report_.relations;
    noteTime(r);
    // Routes of other kinds (hiking, bicycle, ferry, road numbers) have no place in the city.
    const char* route = r.tags()["route"];
    if (Is(r.tags()["type"], "route") && route && !RouteTypeOf(route))
        ++report_.unmapped[QStringLiteral("route=") + QString::fromUtf8(route)];
}

void Importer::area(const osmium::Area& a) {
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
        ++report_
              .notes[QStringLiteral("administrative areas of other levels than the districts (not drawn)")];
        const int level = QByteArray(tags["admin_level"]).toInt();
        if (level >= 4 && level < 8 && tags["name"]) parentAreas_.push_back({level, Text(tags["name"]), outers});
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
        const auto largest =
            std::max_element(outers.begin(), outers.end(), [](const TShapeFis& a, const TShapeFis& b) {
                return std::abs(RingArea(a)) < std::abs(RingArea(b));
            });
        namedFeatures_.push_back({names(tags, true),
                                  {*largest},
                                  *typ == 2 ? 30 : 14,
                                  *typ == 2 ? WaterLabelColor : GreenLabelColor,
                                  false});
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

void Importer::firstPass(const osmium::io::File& file) {
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

void Importer::secondPass(const osmium::io::File& file) {
    LocationIndex index;
    LocationHandler locations(index);
    locations.ignore_errors();
    routes_.onRoute = [this](const osmium::Relation& r) { route(r); };
    osmium::io::Reader reader(file);
    osmium::apply(reader, locations, *this,
                  areas_.handler([this](osmium::memory::Buffer&& buffer) { osmium::apply(buffer, *this); }),
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

void Importer::countLocalLanguage(const osmium::TagList& tags) {
    const char* name = tags["name"];
    if (!name) return;
    for (const auto& t : tags)
        if (StartsWith(t.key(), "name:") && std::strcmp(t.value(), name) == 0 && std::strlen(t.key()) <= 8)
            ++localVotes_[QString::fromUtf8(t.key() + 5)];
}

Names Importer::names(const osmium::TagList& tags, bool forMap) const {
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

bool Importer::label(const osmium::TagList& tags, TCoord at) {
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

void Importer::poi(TPOIType kind, const osmium::TagList& tags, TCoord at) {
    TPOI p;
    p.tip = kind;
    p.x = at.x;
    p.y = at.y;
    p.caption = MapText(tags["name"]);
    pois_.push_back(p);
}

int Importer::stopFor(std::int64_t key, const osmium::TagList& tags, TCoord at, TBusStopType tip) {
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

void Importer::road(const RoadRule& rule, const osmium::TagList& tags, const TShapeFis& line) {
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
        // The casing takes the footway grey: where the scale leaves it alone (the line inside has gone),
        // a dark one read as a border or a railway.
        if (rule.overviewCasing > 0) put(i, rtHuman, rule.overviewCasing, 1, 0);
        if (rule.overviewFill > 0)
            put(i, rule.overviewFillTip, rule.overviewFill, 1, rule.overviewFillTip == rtAuto ? 1 : 2);
    }
}

void Importer::street(const osmium::TagList& tags, const TShapeFis& line) {
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

void Importer::buildingDraft(std::int64_t key, const osmium::TagList& tags, std::vector<TShapeFis>& outers,
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

bool Importer::org(const osmium::TagList& tags, TCoord at, std::int64_t ownerKey) {
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
                Is(tags["amenity"], "atm") ? (ru ? QStringLiteral("Банкомат") : QStringLiteral("ATM"))
                : Is(tags["amenity"], "recycling")
                    ? (ru ? QString::fromUtf8("Пункт приёма вторсырья") : QStringLiteral("Recycling centre"))
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

QString Importer::socialHandle(const SocialNet& net, QString v) {
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

void Importer::route(const osmium::Relation& r) {
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
                const int s = stopFor(WayKey(w->id()), w->tags(),
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
        shape.insert(shape.end(), w.begin() + (Distance(shape.back(), w.front()) < 0.01f ? 1 : 0), w.end());
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

Tas Importer::tas(const Names& n) const {
    Tas t = n.v;
    while (t.size() < int(langKeys_.size()))
        t << QString();
    for (int i = 1; i < t.size(); ++i)
        if (t[i].isEmpty()) t[i] = t[0];
    return t;
}

} // namespace osmimport

OsmImportResult ImportOsm(const QString& inputPath, const OsmImportOptions& options) {
    if (!QFileInfo(inputPath).isFile()) throw std::runtime_error(inputPath.toStdString() + ": no such file");
    try {
        return osmimport::Importer(inputPath, options).run();
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
