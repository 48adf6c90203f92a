// Building the map of the city from the drafts: the extract's bounds and districts, streets,
// buildings with their addresses, areas, roads, stops and routes.
#include "OsmImporter.h"

#include "Cp1251.h"
#include "OsmCoast.h"
#include "OsmDistricts.h"
#include "OsmGeometry.h"
#include "StreetNames.h"

#include <QDateTime>
#include <QFileInfo>
#include <algorithm>
#include <limits>
#include <numeric>
#include <set>
#include <unordered_set>

namespace osmimport {

void Importer::build(OsmImportResult& result) {
    CityDb& db = result.db;
    db_ = &db;
    db.DataLangCount = int(langKeys_.size());
    box_ = extractBox();
    if (box_.valid()) clipToExtract();
    chooseDistricts();
    dataBox_ = dataBox();
    buildStreets(db);
    buildBuildings(db);
    buildCoast();
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
            const double lon = sw.lon() + f * (ne.lon() - sw.lon()),
                         lat = sw.lat() + f * (ne.lat() - sw.lat());
            for (const TCoord c : {projection_(lon, sw.lat()), projection_(lon, ne.lat()),
                                   projection_(sw.lon(), lat), projection_(ne.lon(), lat)})
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

ClipBox Importer::dataBox() const {
    // Buildings and streets as cut to the extract, with the margin a box of the data gets.
    ClipBox b{BoxMinStart, BoxMinStart, BoxMaxStart, BoxMaxStart};
    auto widen = [&](float x0, float y0, float x1, float y1) {
        b.minX = std::min(b.minX, x0), b.minY = std::min(b.minY, y0);
        b.maxX = std::max(b.maxX, x1), b.maxY = std::max(b.maxY, y1);
    };
    for (const BuildingDraft& d : buildings_)
        widen(d.minX, d.minY, d.maxX, d.maxY);
    for (const StreetDraft& s : streets_)
        widen(s.minX, s.minY, s.maxX, s.maxY);
    if (!b.valid()) return box_;
    constexpr float Margin = 250;
    b = {b.minX - Margin, b.minY - Margin, b.maxX + Margin, b.maxY + Margin};
    if (box_.valid())
        b = {std::max(b.minX, box_.minX), std::max(b.minY, box_.minY), std::min(b.maxX, box_.maxX),
             std::min(b.maxY, box_.maxY)};
    return b;
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
    std::erase_if(buildings_,
                  [&](const BuildingDraft& b) { return outsideBox(b.minX, b.minY, b.maxX, b.maxY); });
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
    if (outside)
        report_.notes[QStringLiteral("map objects outside the extract's bounds (left out)")] += outside;
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
    // What a district must hold: the middles of buildings and the points of streets.
    std::vector<TCoord> content;
    content.reserve(buildings_.size());
    for (const BuildingDraft& b : buildings_)
        content.push_back({(b.minX + b.maxX) / 2, (b.minY + b.maxY) / 2});
    for (const StreetDraft& st : streets_)
        for (std::size_t k = 0; k + 1 < st.segments.size(); k += 2) {
            const TCoord a = st.segments[k], b = st.segments[k + 1];
            content.push_back(a);
            content.push_back({(a.x + b.x) / 2, (a.y + b.y) / 2});
            content.push_back(b);
        }
    const auto holds = [&content](const TShapeFis& ring) {
        ClipBox box{BoxMinStart, BoxMinStart, BoxMaxStart, BoxMaxStart};
        for (const TCoord& c : ring) {
            box.minX = std::min(box.minX, c.x), box.maxX = std::max(box.maxX, c.x);
            box.minY = std::min(box.minY, c.y), box.maxY = std::max(box.maxY, c.y);
        }
        return std::any_of(content.begin(), content.end(),
                           [&](TCoord p) { return box.contains(p) && PointInRing(ring, p); });
    };
    const DistrictChoice choice = ChooseDistricts(areas, box_, holds);
    if (choice.unclosed)
        report_.notes[QStringLiteral("boundaries cut at the border of the data (left out)")] +=
            choice.unclosed;
    if (choice.empty)
        report_.notes[QStringLiteral("administrative areas that hold no building or street (left out)")] +=
            choice.empty;
    for (std::size_t i = 0; i < areas.size(); ++i) {
        if (areas[i].rings.empty()) continue;
        if (areas[i].level != choice.level) {
            ++report_.notes[QStringLiteral(
                "administrative areas of other levels than the districts (not drawn)")];
            continue;
        }
        // Every outer ring of a municipality is a district record of its name: the loader's district
        // list shows the name once and outlines all of them.
        for (TShapeFis& ring : areas[i].rings) {
            FieldDraft f;
            f.area = std::abs(RingArea(ring));
            f.ring = std::move(ring);
            f.typ = DistrictFieldType;
            f.caption = adminAreas_[i].caption;
            f.owner = int(i);
            districts_.push_back(std::move(f));
        }
    }
    nameTownsApart();
    if (choice.level) report_.districtLevel = choice.level;
    adminAreas_.clear();
    parentAreas_.clear();
}

void Importer::nameTownsApart() {
    // Municipalities of one name: each takes the name of the finest area above it that holds it and
    // not the others ("Santa Lucija (Gozo)").
    std::map<QString, std::vector<int>> owners; // name key -> municipalities
    std::map<int, TCoord> pointOf;               // municipality -> a point inside its largest ring
    std::map<int, double> largest;
    for (const FieldDraft& d : districts_) {
        if (d.owner < 0) continue; // place areas give way to municipalities of their name
        auto& list = owners[StreetKey(d.caption.v[0])];
        if (std::find(list.begin(), list.end(), d.owner) == list.end()) list.push_back(d.owner);
        if (d.area > largest[d.owner]) largest[d.owner] = d.area, pointOf[d.owner] = LabelPoint(d.ring);
    }
    std::map<int, QString> parentName;
    for (const auto& [key, list] : owners) {
        if (list.size() < 2) continue;
        for (int owner : list) {
            int best = -1;
            for (const ParentArea& p : parentAreas_) {
                if (p.level <= best) continue;
                if (std::any_of(p.rings.begin(), p.rings.end(),
                                [&](const TShapeFis& r) { return PointInRing(r, pointOf[owner]); }))
                    best = p.level, parentName[owner] = p.name;
            }
        }
        // A parent shared by all of them tells nothing apart.
        std::set<QString> distinct;
        for (int owner : list)
            distinct.insert(parentName[owner]);
        if (distinct.size() < 2)
            for (int owner : list)
                parentName.erase(owner);
    }
    for (FieldDraft& d : districts_) {
        if (d.owner < 0) continue;
        auto it = parentName.find(d.owner);
        if (it == parentName.end() || it->second.isEmpty()) continue;
        for (QString& name : d.caption.v)
            if (!name.isEmpty()) name += QStringLiteral(" (%1)").arg(it->second);
    }
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

void Importer::buildCoast() {
    if (coast_.empty()) return;
    const int ways = int(coast_.size());
    // The sea reaches as far as the data, not over the whole of a header's box (a country's waters).
    const ClipBox box = dataBox_;
    CoastLand land = LandFromCoastline(coast_, box);
    coast_.clear();
    // A coastline that ends inside the data (an extract clipped at a border on land) leaves no telling
    // land from sea there: the sea is then not drawn at all rather than drawn over land.
    if (land.broken) {
        report_.notes[QStringLiteral("coastlines that end inside the data (the sea is not drawn)")] +=
            land.broken;
        return;
    }
    if (land.rings.empty()) {
        report_.notes[QStringLiteral("coastline ways that close no land within the bounds (the sea is not drawn)")] +=
            ways;
        return;
    }
    // The sea is the box in water; the land over it in white, the map's own ground, under every other area.
    FieldDraft sea;
    sea.ring = {{box.minX, box.minY}, {box.maxX, box.minY}, {box.maxX, box.maxY}, {box.minX, box.maxY}};
    sea.typ = WaterFieldType;
    sea.area = std::numeric_limits<double>::max();
    fields_.push_back(std::move(sea));
    for (TShapeFis& ring : land.rings) {
        FieldDraft f;
        f.ring = std::move(ring);
        f.typ = LandFieldType;
        // Just under the sea's area: drawn over the sea, before any area that lies on the land.
        f.area = std::numeric_limits<double>::max() / 2;
        fields_.push_back(std::move(f));
    }
    report_.notes[QStringLiteral("land areas drawn from the coastline")] += int(land.rings.size());
}

void Importer::buildFields(CityDb& db) {
    // Districts first (the district list takes the leading run), by name, the rings of one town
    // together; municipalities before place areas of their name, which are left out.
    std::stable_sort(districts_.begin(), districts_.end(), [](const FieldDraft& a, const FieldDraft& b) {
        const int c = QString::compare(a.caption.v[0], b.caption.v[0], Qt::CaseInsensitive);
        if (c != 0) return c < 0;
        if ((a.owner < 0) != (b.owner < 0)) return a.owner >= 0;
        return a.owner < b.owner;
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
    // A town's name goes into its largest ring.
    std::map<int, const FieldDraft*> largest;
    for (const FieldDraft& d : districts_)
        if (d.owner >= 0 && (!largest.count(d.owner) || d.area > largest[d.owner]->area)) largest[d.owner] = &d;
    for (FieldDraft& d : districts_) {
        const QString key = StreetKey(d.caption.v[0]);
        if (d.owner < 0 ? !seen.insert(key).second : (seen.insert(key), false)) continue;
        if (d.owner < 0 || largest[d.owner] == &d)
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

} // namespace osmimport
