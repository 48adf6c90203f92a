#include "StreetTowns.h"

#include "BuildingSearch.h"
#include "FilterList.h"
#include "OrgSearch.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Points spread along a street: the middles of up to this many of its segments.
constexpr std::size_t Samples = 9;

std::vector<TCoord> SamplePoints(const TStreet& s) {
    std::vector<TCoord> out;
    const std::size_t segments = s.shape.size() / 2;
    if (segments == 0) {
        if (!s.shape.empty()) out.push_back(s.shape.front());
        return out;
    }
    const std::size_t step = std::max<std::size_t>(1, segments / Samples);
    for (std::size_t k = step / 2; k < segments && out.size() < Samples; k += step) {
        const TCoord a = s.shape[2 * k], b = s.shape[2 * k + 1];
        out.push_back({(a.x + b.x) / 2, (a.y + b.y) / 2});
    }
    return out;
}

struct DistrictBox {
    float minX, minY, maxX, maxY;
};

DistrictBox BoxOf(const TField& f) {
    DistrictBox b{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                  std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest()};
    for (const TCoord& c : f.shape) {
        b.minX = std::min(b.minX, c.x);
        b.minY = std::min(b.minY, c.y);
        b.maxX = std::max(b.maxX, c.x);
        b.maxY = std::max(b.maxY, c.y);
    }
    return b;
}

int DistrictOf(const CityDb& db, const std::vector<DistrictBox>& boxes, int s) {
    if (boxes.empty()) return -1;
    const std::vector<TCoord> points = SamplePoints(db.Streets[std::size_t(s)]);
    if (points.empty()) return -1;
    std::vector<int> votes(boxes.size(), 0);
    for (const TCoord& p : points)
        for (std::size_t d = 0; d < boxes.size(); ++d) {
            const DistrictBox& b = boxes[d];
            if (p.x < b.minX || p.x > b.maxX || p.y < b.minY || p.y > b.maxY) continue;
            if (InsideField(db.Fields[d], p)) {
                ++votes[d];
                break;
            }
        }
    const auto best = std::max_element(votes.begin(), votes.end());
    if (*best > 0) return int(best - votes.begin());
    // Outside every district (a street past the last town's boundary): the nearest outline point.
    const TCoord p = points[points.size() / 2];
    int nearest = -1;
    double least = std::numeric_limits<double>::max();
    for (std::size_t d = 0; d < boxes.size(); ++d)
        for (const TCoord& c : db.Fields[d].shape) {
            const double dist = std::hypot(double(c.x - p.x), double(c.y - p.y));
            if (dist < least) least = dist, nearest = int(d);
        }
    return nearest;
}

std::vector<DistrictBox> DistrictBoxes(const CityDb& db) {
    std::vector<DistrictBox> boxes;
    for (const TField& f : db.Fields) {
        if (f.typ != DistrictFieldType) break; // districts lead Fields
        boxes.push_back(BoxOf(f));
    }
    return boxes;
}

} // namespace

int StreetDistrict(const CityDb& db, int s) {
    if (s < 0 || std::size_t(s) >= db.Streets.size()) return -1;
    return DistrictOf(db, DistrictBoxes(db), s);
}

QStringList StreetListNames(const CityDb& db, int dataLang) {
    QStringList names;
    names.reserve(qsizetype(db.Streets.size()));
    QHash<QString, std::vector<int>> byName;
    for (std::size_t s = 0; s < db.Streets.size(); ++s) {
        names << InLang(db.Streets[s].Name, dataLang);
        byName[SearchLower(names.back())].push_back(int(s));
    }
    std::vector<DistrictBox> boxes;
    bool boxesMade = false;
    for (auto it = byName.cbegin(); it != byName.cend(); ++it) {
        const std::vector<int>& streets = it.value();
        if (streets.size() < 2 || it.key().isEmpty()) continue;
        if (!boxesMade) boxes = DistrictBoxes(db), boxesMade = true;
        QHash<QString, int> seen;
        for (int s : streets) {
            const int d = DistrictOf(db, boxes, s);
            QString town = d >= 0 ? LangOrFirst(db.Fields[std::size_t(d)].caption, dataLang) : QString();
            // Two streets of the name in one town (or without towns) are numbered in Streets order.
            const int n = ++seen[SearchLower(town)];
            if (n > 1) town += (town.isEmpty() ? QStringLiteral("%1") : QStringLiteral(" %1")).arg(n);
            if (!town.isEmpty()) names[s] += StreetTownSeparator.toString() + town;
        }
    }
    return names;
}
