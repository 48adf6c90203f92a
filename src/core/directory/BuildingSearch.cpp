#include "BuildingSearch.h"

#include "StreetTowns.h"

#include <algorithm>
#include <iterator>

namespace {

QStringList ItemsFrom(const std::vector<Tas>& names, int dataLang) {
    QStringList items;
    for (std::size_t i = 1; i < names.size(); ++i)
        items << LangOrFirst(names[i], dataLang);
    return items;
}

template <class Fields, class F> void ForEachDistrict(const Fields& fields, F f) {
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].typ == DistrictFieldType) f(int(i), fields[i]);
}

bool BoxHolds(float minX, float maxX, float minY, float maxY, TCoord p) {
    return p.x >= minX && p.x <= maxX && p.y >= minY && p.y <= maxY;
}

std::vector<int> Union(std::vector<std::vector<int>> lists) {
    if (lists.size() == 1) return std::move(lists.front());
    std::vector<int> out;
    for (const auto& l : lists)
        out.insert(out.end(), l.begin(), l.end());
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

} // namespace

QStringList MaterialItems(const CityDb& db, int dataLang) {
    return ItemsFrom(db.MaterialNames, dataLang);
}

QStringList PurposeItems(const CityDb& db, int dataLang) {
    return ItemsFrom(db.BuildingTypeNames, dataLang);
}

QStringList DistrictItems(const CityDb& db, int dataLang) {
    QStringList items;
    for (const TField& f : db.Fields) {
        if (f.typ != DistrictFieldType) break;
        const QString caption = LangOrFirst(f.caption, dataLang);
        if (items.isEmpty() || items.back() != caption) items << caption;
    }
    return items;
}

int PurposeOf(const CityDb& db, const QString& text, int dataLang) {
    for (std::size_t i = 0; i < db.BuildingTypeNames.size(); ++i)
        if (LangOrFirst(db.BuildingTypeNames[i], dataLang) == text) return int(i);
    return 0;
}

Tai DistrictsNamed(const CityDb& db, const QString& text, int dataLang) {
    Tai out;
    const QString key = SearchLower(text);
    ForEachDistrict(db.Fields, [&](int i, const TField& f) {
        if (SearchLower(LangOrFirst(f.caption, dataLang)) == key) out.push_back(i);
    });
    return out;
}

bool InsideField(const TField& field, TCoord p) {
    const TShapeFis& s = field.shape;
    bool inside = false;
    for (std::size_t i = 0, j = s.size() - 1; i < s.size(); j = i++) {
        const TCoord a = s[i], b = s[j];
        if ((a.y > p.y) != (b.y > p.y) &&
            p.x < double(b.x - a.x) * double(p.y - a.y) / double(b.y - a.y) + a.x)
            inside = !inside;
    }
    return inside;
}

namespace {

bool InAnyDistrict(const CityDb& db, const Tai& districts, TCoord centre) {
    for (int d : districts)
        if (d >= 0 && std::size_t(d) < db.Fields.size() && InsideField(db.Fields[std::size_t(d)], centre))
            return true;
    return false;
}

} // namespace

std::vector<int> FindBuildingsByCriteria(const CityDb& db, const BuildingCriteria& c,
                                         const RadiusCircle& radius, int dataLang) {
    std::vector<int> out;
    for (std::size_t i = 0; i < db.Buildings.size(); ++i) {
        const TBuilding& b = db.Buildings[i];
        if (!c.Name.isEmpty() && !SearchLower(InLang(b.caption, dataLang)).contains(c.Name)) continue;
        if (c.Material && b.material != c.Material) continue;
        if (c.Purpose && b.tip != c.Purpose) continue;
        if (!c.Street.isEmpty()) {
            if (b.street < 0 || std::size_t(b.street) >= db.Streets.size()) continue;
            if (SearchLower(InLang(db.Streets[std::size_t(b.street)].Name, dataLang)) != c.Street) continue;
        }
        if (!c.Number.isEmpty()) {
            const QString& num = InLang(b.num, dataLang);
            if (num.isEmpty() || SearchLower(num) != c.Number) continue;
        }
        if (!c.Districts.empty() && !InAnyDistrict(db, c.Districts, BuildingCentre(b))) continue;
        if (!BuildingInRadius(b, radius)) continue;
        out.push_back(int(i));
    }
    return out;
}

BuildingSearchIndex::BuildingSearchIndex(const CityDb& db, const StreetBuildings& byStreet, int dataLang)
    : db_(db), byStreet_(byStreet), dataLang_(dataLang) {
    const std::size_t n = db.Buildings.size();
    material_.resize(n);
    tip_.resize(n);
    numberId_.resize(n);
    // Buildings share the text of equal numbers: each shared text is lowered once, not once a building.
    QHash<const QChar*, std::int32_t> idOfText;
    for (std::size_t i = 0; i < n; ++i) {
        const TBuilding& b = db.Buildings[i];
        material_[i] = b.material;
        tip_[i] = b.tip;
        const QString& num = InLang(b.num, dataLang);
        if (num.isEmpty()) {
            numberId_[i] = -1;
        } else if (auto known = idOfText.constFind(num.constData()); known != idOfText.constEnd()) {
            numberId_[i] = *known;
        } else {
            const QString lower = SearchLower(num);
            auto it = numbers_.constFind(lower);
            if (it == numbers_.constEnd()) it = numbers_.insert(lower, std::int32_t(numbers_.size()));
            numberId_[i] = *it;
            idOfText.insert(num.constData(), *it);
        }
        const QString& caption = InLang(b.caption, dataLang);
        if (!caption.isEmpty()) {
            captioned_.push_back(int(i));
            captions_.Add(SearchLower(caption));
        }
    }
    // A street is found by its name (with every street of that name) and by its listed name, which
    // carries its town where the name is shared.
    streetListNames_ = ::StreetListNames(db, dataLang);
    for (std::size_t s = 0; s < db.Streets.size(); ++s) {
        const QString name = SearchLower(InLang(db.Streets[s].Name, dataLang));
        streetsByLower_[name].push_back(int(s));
        const QString listed = SearchLower(streetListNames_[qsizetype(s)]);
        if (listed != name) streetsByLower_[listed].push_back(int(s));
    }
}

const std::vector<int>& BuildingSearchIndex::StreetsNamed(const QString& lower) const {
    static const std::vector<int> none;
    auto it = streetsByLower_.constFind(lower);
    return it == streetsByLower_.constEnd() ? none : *it;
}

const std::vector<int>& BuildingSearchIndex::InDistrict(int field) const {
    auto it = districts_.find(field);
    if (it != districts_.end()) return it->second;
    std::vector<int>& list = districts_[field];
    if (field < 0 || std::size_t(field) >= db_.Fields.size()) return list;
    const TField& f = db_.Fields[std::size_t(field)];
    if (f.shape.size() < 3) return list;
    float minX = f.shape[0].x, maxX = minX, minY = f.shape[0].y, maxY = minY;
    for (const TCoord& p : f.shape) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    for (std::size_t i = 0; i < db_.Buildings.size(); ++i) {
        const TCoord c = BuildingCentre(db_.Buildings[i]);
        if (BoxHolds(minX, maxX, minY, maxY, c) && InsideField(f, c)) list.push_back(int(i));
    }
    return list;
}

namespace {

// The test that gave the candidates; every candidate passes it already.
enum class Source { All, Name, Street, Number, District, Purpose, Material };

template <class Column, class Value> std::vector<int> Scan(const std::vector<Column>& column, Value v) {
    std::vector<int> out;
    for (std::size_t i = 0; i < column.size(); ++i)
        if (column[i] == v) out.push_back(int(i));
    return out;
}

} // namespace

std::vector<int> BuildingSearchIndex::Find(const BuildingCriteria& c, const RadiusCircle& radius) const {
    std::int32_t number = -1;
    if (!c.Number.isEmpty()) {
        auto it = numbers_.constFind(c.Number);
        if (it == numbers_.constEnd()) return {};
        number = *it;
    }
    std::vector<char> onStreet;
    std::vector<std::vector<int>> streetLists;
    if (!c.Street.isEmpty()) {
        const std::vector<int>& streets = StreetsNamed(c.Street);
        if (streets.empty()) return {};
        onStreet.assign(db_.Streets.size(), 0);
        for (int s : streets) {
            onStreet[std::size_t(s)] = 1;
            const auto list = byStreet_.Of(s);
            streetLists.emplace_back(list.begin(), list.end());
        }
    }
    std::vector<std::vector<int>> districtLists;
    for (int d : c.Districts)
        districtLists.push_back(InDistrict(d));
    const std::vector<int> inDistricts = districtLists.empty() ? std::vector<int>{} : Union(districtLists);

    // Candidates from the most selective prepared test at hand; each then takes the other tests, so
    // the result is the walk's.
    std::vector<int> candidates;
    Source source = Source::All;
    if (!c.Name.isEmpty()) {
        source = Source::Name;
        for (int row : captions_.Find(c.Name))
            candidates.push_back(captioned_[std::size_t(row)]);
    } else if (!c.Street.isEmpty()) {
        source = Source::Street;
        candidates = Union(std::move(streetLists));
    } else if (number >= 0) {
        source = Source::Number;
        candidates = Scan(numberId_, number);
    } else if (!c.Districts.empty()) {
        source = Source::District;
        candidates = inDistricts;
    } else if (c.Purpose) {
        source = Source::Purpose;
        candidates = Scan(tip_, c.Purpose);
    } else if (c.Material) {
        source = Source::Material;
        candidates = Scan(material_, c.Material);
    } else {
        candidates.resize(db_.Buildings.size());
        for (std::size_t i = 0; i < candidates.size(); ++i)
            candidates[i] = int(i);
    }

    std::vector<int> out;
    out.reserve(candidates.size());
    for (int i : candidates) {
        const std::size_t k = std::size_t(i);
        if (c.Material && source != Source::Material && material_[k] != c.Material) continue;
        if (c.Purpose && source != Source::Purpose && tip_[k] != c.Purpose) continue;
        if (number >= 0 && source != Source::Number && numberId_[k] != number) continue;
        if (!c.Street.isEmpty() && source != Source::Street) {
            const int s = db_.Buildings[k].street;
            if (s < 0 || std::size_t(s) >= onStreet.size() || !onStreet[std::size_t(s)]) continue;
        }
        if (!c.Name.isEmpty() && source != Source::Name) {
            auto at = std::lower_bound(captioned_.begin(), captioned_.end(), i);
            if (at == captioned_.end() || *at != i ||
                !captions_.Contains(int(at - captioned_.begin()), c.Name))
                continue;
        }
        if (!c.Districts.empty() && source != Source::District &&
            !std::binary_search(inDistricts.begin(), inDistricts.end(), i))
            continue;
        if (radius.Visible && !BuildingInRadius(db_.Buildings[k], radius)) continue;
        out.push_back(i);
    }
    return out;
}

ZoomTarget FoundBuildingsTarget(const CityDb& db, const std::vector<int>& buildings, int mapWidth,
                                int mapHeight, float fullScale) {
    ZoomTarget t;
    float minX = BoxMinStart, maxX = BoxMaxStart, minY = BoxMinStart, maxY = BoxMaxStart;
    for (int i : buildings) {
        const TBuilding& b = db.Buildings[std::size_t(i)];
        minX = std::min(minX, b.minX_);
        maxX = std::max(maxX, b.maxX_3d);
        maxY = std::max(maxY, b.maxY_);
        minY = std::min(minY, b.minY_3d);
    }
    if (buildings.empty()) return t;
    return FitBox(minX, minY, maxX, maxY, mapWidth, mapHeight, 1 / 1.5f, 0.5f, fullScale);
}

ZoomTarget StreetTarget(const TStreet& street, int mapWidth, int mapHeight, float fullScale) {
    ZoomTarget t;
    const float w = street.maxX_ - street.minX_, h = street.maxY_ - street.minY_;
    t.x = street.minX_ + w / 2;
    t.y = street.minY_ + h / 2;
    // H / h > W / w, multiplied out so that a street of no width or height divides by nothing.
    const double W = std::max(mapWidth, 1), H = std::max(mapHeight, 1);
    const double scale = H * w > W * h ? w / W : h / H;
    t.scale = std::clamp(float(scale) + 0.01f, MapView::MinScale, std::max(fullScale, MapView::MinScale));
    return t;
}
