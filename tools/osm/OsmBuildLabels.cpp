// The labels of the city: place, district, street, water, park and wood names, in order of priority.
#include "OsmImporter.h"

#include "OsmGeometry.h"
#include "OsmLabels.h"
#include "StreetNames.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace osmimport {

float Importer::OpeningScale() const {
    const ClipBox& b = dataBox_;
    if (!b.valid()) return 0;
    return std::max((b.maxX - b.minX) / OpeningMapWidth, (b.maxY - b.minY) / OpeningMapHeight);
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
    // The whole city opens zoomed out when it is larger than a town: there the names of the city, the
    // towns and the villages must read (at least 9 points, 12 pixels) on a map of a laptop's size.
    const float opening = OpeningScale();
    const int readable = opening >= 5 ? int(std::ceil(OverviewPoints * opening)) : 0;
    for (const LabelDraft& l : labels_) {
        PlaceRule r = l.rule;
        // A quarter more for a city, a tenth for a town, so that rank still shows.
        if (r.rank <= 2)
            r.overviewSize = std::max(r.overviewSize, int(readable * (r.rank == 0 ? 1.25f : r.rank == 1 ? 1.1f : 1.f)));
        if (named(l.at, r.detailSize)) continue;
        LabelAtPoint(placer, l.at, style(l.text, r.detailSize, 0, r.color, QStringLiteral("p")),
                     std::max(2000.f, 40.f * r.detailSize), out, &crowding,
                     4 * LabelTextHeight(float(r.detailSize)));
        if (r.overviewSize)
            LabelAtPoint(placer, l.at, style(l.text, r.overviewSize, 1, r.color, QStringLiteral("p")),
                         std::max(2000.f, 40.f * r.overviewSize), out);
    }
    // Districts that no place names, anywhere inside them.
    for (const auto& [at, caption, ring, extent] : districtLabels_) {
        if (named(at, DistrictLabelSize)) continue;
        const float apart = std::max(2000.f, extent);
        LabelAtPoint(placer, at,
                     style(caption, DistrictLabelSize, 0, DistrictLabelColor, QStringLiteral("p")), apart,
                     out, &crowding, extent / 2, &ring);
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
    auto waterSpacing = [&](const LabelStyle& s) {
        return std::max(500.f, 6 * LabelTextWidth(s.text[0], float(s.size)));
    };
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
    // Woods take the green of parks in the usual colour scheme: small trees, zoomed in, tell them apart.
    // They grow sparser where woods are vast, so that they stay a few per building of the city (the
    // boxes of the woods bound the work, however they are shaped).
    double woods = 0;
    for (const TField& f : db.Fields) {
        if (f.typ != ForestFieldType || f.shape.empty()) continue;
        float minX = BoxMinStart, minY = BoxMinStart, maxX = BoxMaxStart, maxY = BoxMaxStart;
        for (const TCoord& c : f.shape) {
            minX = std::min(minX, c.x);
            minY = std::min(minY, c.y);
            maxX = std::max(maxX, c.x);
            maxY = std::max(maxY, c.y);
        }
        woods += double(maxX - minX) * double(maxY - minY);
    }
    const double most = std::max(5000.0, 2.0 * double(db.Buildings.size()));
    const float spacing = float(std::max(30.0, std::sqrt(woods / most)));
    const LabelStyle tree{Tas(db.DataLangCount, QString(TreeSymbol)), QStringLiteral("|tree"), 9, 0, GreenLabelColor};
    for (const TField& f : db.Fields)
        if (f.typ == ForestFieldType)
            for (const TCoord& at : GridPointsInside(f.shape, spacing))
                LabelAtPoint(placer, at, tree, 0, out);
    report_.texts = int(db.Texts.size());
    report_.labelMilliseconds = double(timer.nsecsElapsed()) / 1e6;
    labels_.clear();
    namedFeatures_.clear();
}

} // namespace osmimport
