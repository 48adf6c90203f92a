#include "OsmLabels.h"

#include "OsmClip.h"
#include "OsmGeometry.h"

#include <algorithm>
#include <cmath>

namespace {

// Advance widths of bold "Arial" (and Liberation Sans, metrically the same) in thousandths of the
// font's size: printable ASCII, then Cyrillic А to я.
constexpr std::uint16_t Ascii[95] = {
    278, 333, 474, 556, 556, 889, 722, 238, 333, 333, 389, 584, 278, 333, 278, 278, 556, 556, 556,
    556, 556, 556, 556, 556, 556, 556, 333, 333, 584, 584, 584, 611, 975, 722, 722, 722, 722, 667,
    611, 778, 722, 278, 556, 722, 611, 833, 722, 778, 667, 778, 722, 667, 611, 722, 667, 944, 667,
    667, 611, 333, 278, 333, 584, 556, 333, 556, 611, 556, 611, 556, 333, 611, 611, 278, 278, 556,
    278, 889, 611, 611, 611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500, 389, 280, 389, 584};
constexpr std::uint16_t Cyrillic[64] = {722, 719, 722, 567, 712,  667, 904, 626, 719, 719, 610, 702,  833,
                                        722, 778, 719, 667, 722,  611, 622, 854, 667, 730, 703, 1005, 1019,
                                        870, 979, 719, 711, 1031, 719, 556, 618, 615, 417, 635, 556,  709,
                                        497, 615, 615, 500, 635,  740, 604, 611, 604, 611, 556, 490,  556,
                                        875, 556, 615, 581, 833,  844, 729, 854, 615, 552, 854, 583};

int Advance(QChar c) {
    const char16_t u = c.unicode();
    if (u >= 32 && u <= 126) return Ascii[u - 32];
    if (u >= 0x410 && u <= 0x44F) return Cyrillic[u - 0x410];
    if (u == 0x401) return Cyrillic[0x415 - 0x410]; // Ё as Е
    if (u == 0x451) return Cyrillic[0x435 - 0x410];
    if (u == 0x2019 || u == 0x2018) return 278;
    // Accented Latin letters are as wide as their base letter.
    const QString d = c.decomposition();
    if (!d.isEmpty() && d[0].unicode() >= 32 && d[0].unicode() <= 126) return Ascii[d[0].unicode() - 32];
    return u >= 0x2E80 ? 1000 : 600;
}

// Points to metres at one metre a pixel: the map sizes fonts in points on a 96 dpi surface.
constexpr float Em = 96.f / 72.f;
// Labels longer than this are left out: no map shows such a name, and its box would be unbounded.
constexpr int LongestLabel = 64;
constexpr float SmallestScale = 0.1f;

float WidestText(const Tas& text, float size) {
    float w = 0;
    for (const QString& t : text)
        w = std::max(w, LabelTextWidth(t, size));
    return w;
}

bool Labelled(const Tas& text) {
    bool any = false;
    for (const QString& t : text) {
        if (t.size() > LongestLabel) return false;
        any = any || !t.trimmed().isEmpty();
    }
    return any;
}

TCoord Unit(TCoord a, TCoord b) {
    const float dx = b.x - a.x, dy = b.y - a.y, l = std::hypot(dx, dy);
    return l > 0 ? TCoord{dx / l, dy / l} : TCoord{1, 0};
}

LabelPlacer::Box BoxOf(const LabelStyle& style, TCoord centre, TCoord along, float width) {
    // A little room along the text, for the rounding of font sizes at other scales; across it the
    // font's line is taller than its letters.
    return {centre, along, width * 0.53f, LabelTextHeight(float(style.size)) * 0.42f,
            LabelScales(style.size, style.layer)};
}

} // namespace

float LabelTextWidth(const QString& text, float size) {
    int units = 0;
    for (QChar c : text)
        units += Advance(c);
    return units / 1000.f * size * Em;
}

float LabelTextHeight(float size) {
    return 1.117f * size * Em;
}

std::array<ScaleRange, 2> LabelScales(int size, int layer) {
    const float readable = size / 3.5f; // under 4 points nothing is drawn
    const ScaleRange none;
    if (layer == 0) return {ScaleRange{SmallestScale, std::min(readable, size < 30 ? 1.8f : 4.999f)}, none};
    if (layer == 1) return {ScaleRange{5, readable}, none};
    if (size >= 30) return {ScaleRange{SmallestScale, readable}, none};
    return {ScaleRange{SmallestScale, std::min(readable, 1.8f)}, ScaleRange{5, readable}};
}

template <class F> void LabelPlacer::forCells(const Box& b, F&& f) const {
    const TCoord across{-b.along.y, b.along.x};
    const float ex = b.halfWidth * std::abs(b.along.x) + b.halfHeight * std::abs(across.x);
    const float ey = b.halfWidth * std::abs(b.along.y) + b.halfHeight * std::abs(across.y);
    const auto x0 = std::int32_t(std::floor((b.centre.x - ex) / CellSize));
    const auto x1 = std::int32_t(std::floor((b.centre.x + ex) / CellSize));
    const auto y0 = std::int32_t(std::floor((b.centre.y - ey) / CellSize));
    const auto y1 = std::int32_t(std::floor((b.centre.y + ey) / CellSize));
    for (std::int32_t x = x0; x <= x1; ++x)
        for (std::int32_t y = y0; y <= y1; ++y)
            f(Cell(x, y));
}

bool LabelPlacer::fits(const Box& b) const {
    auto overlap = [](const Box& p, const Box& q) {
        // Separating axes: the two directions of each box.
        const TCoord d{q.centre.x - p.centre.x, q.centre.y - p.centre.y};
        for (const TCoord axis :
             {p.along, TCoord{-p.along.y, p.along.x}, q.along, TCoord{-q.along.y, q.along.x}}) {
            auto reach = [&](const Box& r) {
                const TCoord across{-r.along.y, r.along.x};
                return r.halfWidth * std::abs(r.along.x * axis.x + r.along.y * axis.y) +
                       r.halfHeight * std::abs(across.x * axis.x + across.y * axis.y);
            };
            if (std::abs(d.x * axis.x + d.y * axis.y) > reach(p) + reach(q)) return false;
        }
        return true;
    };
    auto together = [](const Box& p, const Box& q) {
        for (const ScaleRange& r : p.scales)
            for (const ScaleRange& s : q.scales)
                if (r.meets(s)) return true;
        return false;
    };
    bool free = true;
    forCells(b, [&](std::uint64_t cell) {
        if (!free) return;
        auto it = cells_.find(cell);
        if (it == cells_.end()) return;
        for (int i : it->second)
            if (together(b, boxes_[i]) && overlap(b, boxes_[i])) {
                free = false;
                return;
            }
    });
    return free;
}

void LabelPlacer::add(const Box& b) {
    const int id = int(boxes_.size());
    boxes_.push_back(b);
    forCells(b, [&](std::uint64_t cell) {
        std::vector<int>& list = cells_[cell];
        if (list.empty() || list.back() != id) list.push_back(id);
    });
}

bool LabelPlacer::farFromSameName(const QString& key, TCoord at, float distance) const {
    auto it = names_.find(key);
    if (it == names_.end()) return true;
    return std::none_of(it->second.begin(), it->second.end(),
                        [&](TCoord p) { return std::hypot(p.x - at.x, p.y - at.y) < distance; });
}

void LabelPlacer::addName(const QString& key, TCoord at) {
    names_[key].push_back(at);
}

TText MakeLabel(const LabelStyle& style, TCoord centre, TCoord along) {
    // The map turns a label counter-clockwise about its top left corner; screen y runs southwards like
    // the world's.
    double angle = std::atan2(-double(along.y), double(along.x)) * 180 / M_PI;
    if (angle > 90) angle -= 180;
    if (angle <= -90) angle += 180;
    const double rad = angle * M_PI / 180;
    const TCoord u{float(std::cos(rad)), float(-std::sin(rad))},
        down{float(std::sin(rad)), float(std::cos(rad))};
    const float w = WidestText(style.text, float(style.size)), h = LabelTextHeight(float(style.size));
    TText t;
    t.Text = style.text;
    t.x = std::round((centre.x - u.x * w / 2 - down.x * h / 2) * 100) / 100;
    t.y = std::round((centre.y - u.y * w / 2 - down.y * h / 2) * 100) / 100;
    t.angle = std::uint16_t((std::lround(angle * 10) + 3600) % 3600);
    t.size = std::uint16_t(style.size);
    t.layer = std::uint8_t(style.layer);
    t.color = style.color;
    return t;
}

int LabelAlongLines(LabelPlacer& placer, const std::vector<TShapeFis>& lines, LabelStyle style, float spacing,
                    std::vector<TText>& out, int most, bool repeatsOnly, float shrink) {
    if (!Labelled(style.text)) return 0;
    struct Run {
        TCoord a, b;
        float length;
    };
    const std::vector<TShapeFis> chains = JoinLines(lines);
    // Straight runs: the joined ways simplified by `tolerance`, the furthest the text may stray from its
    // street; longest first.
    auto runsOf = [&](float tolerance) {
        std::vector<Run> runs;
        for (const TShapeFis& chain : chains) {
            const TShapeFis straight = Simplify(chain, tolerance);
            for (std::size_t k = 0; k + 1 < straight.size(); ++k) {
                const float l =
                    std::hypot(straight[k + 1].x - straight[k].x, straight[k + 1].y - straight[k].y);
                if (l > 0) runs.push_back({straight[k], straight[k + 1], l});
            }
        }
        std::stable_sort(runs.begin(), runs.end(),
                         [](const Run& a, const Run& b) { return a.length > b.length; });
        return runs;
    };
    // A label centred `t` metres along a run, nudged along it when that spot is taken; `overhang` lets
    // the text run past the run's ends.
    auto tryAt = [&](const Run& r, float width, float t, bool overhang) {
        const TCoord u = Unit(r.a, r.b);
        for (const float shift : {0.f, 1.f / 3, -1.f / 3, 2.f / 3, -2.f / 3}) {
            const float at = t + shift * width;
            if (!overhang && (at < width * 0.5f || at > r.length - width * 0.5f)) continue;
            if (overhang && shift != 0) break;
            const TCoord centre{r.a.x + u.x * at, r.a.y + u.y * at};
            if (!placer.farFromSameName(style.key, centre, spacing)) return false;
            const LabelPlacer::Box box = BoxOf(style, centre, u, width);
            if (!placer.fits(box)) continue;
            placer.add(box);
            placer.addName(style.key, centre);
            out.push_back(MakeLabel(style, centre, u));
            return true;
        }
        return false;
    };

    // The name at its size on the straight runs, repeated along long ones; then on runs that bend a
    // little (by up to three quarters of the text's height); then the same a size smaller, down to
    // `shrink` of the size.
    const int full = style.size, least = std::max(4, int(std::ceil(float(full) * shrink)));
    for (int size = full; size >= least;
         size = size > least ? std::max(least, int(float(size) * 0.8f)) : least - 1) {
        style.size = size;
        const float width = WidestText(style.text, float(size)), height = LabelTextHeight(float(size));
        for (const float straightness : {0.25f, 0.75f}) {
            int placed = 0;
            for (const Run& r : runsOf(straightness * height)) {
                if (r.length < width * 1.1f) break;
                const int n = int((r.length - width * 1.1f) / spacing) + 1;
                const float first = (r.length - float(n - 1) * spacing) / 2;
                for (int i = 0; i < n && placed < most; ++i)
                    placed += tryAt(r, width, first + float(i) * spacing, false);
            }
            if (placed > 0 || repeatsOnly) return placed;
        }
    }
    // A street shorter than its name (a stair, a roundabout): the name at the smallest size across its
    // longest pieces, running past their ends.
    style.size = least;
    const float width = WidestText(style.text, float(least));
    for (const Run& r : runsOf(0.25f * LabelTextHeight(float(least))))
        for (const float t : {0.5f, 0.25f, 0.75f, 0.f, 1.f})
            if (tryAt(r, width, r.length * t, true)) return 1;
    return 0;
}

StreetCrowding::StreetCrowding(const std::vector<TShapeFis>& segmentPairs) {
    for (const TShapeFis& s : segmentPairs)
        for (std::size_t k = 0; k + 1 < s.size(); k += 2) {
            const TCoord mid{(s[k].x + s[k + 1].x) / 2, (s[k].y + s[k + 1].y) / 2};
            cells_[(std::uint64_t(std::uint32_t(std::int32_t(std::floor(mid.x / CellSize)))) << 32) |
                   std::uint32_t(std::int32_t(std::floor(mid.y / CellSize)))]
                .push_back(mid);
        }
}

int StreetCrowding::under(const TCoord& centre, float halfWidth, float halfHeight) const {
    int n = 0;
    const auto x0 = std::int32_t(std::floor((centre.x - halfWidth) / CellSize));
    const auto x1 = std::int32_t(std::floor((centre.x + halfWidth) / CellSize));
    const auto y0 = std::int32_t(std::floor((centre.y - halfHeight) / CellSize));
    const auto y1 = std::int32_t(std::floor((centre.y + halfHeight) / CellSize));
    for (std::int32_t x = x0; x <= x1; ++x)
        for (std::int32_t y = y0; y <= y1; ++y) {
            auto it = cells_.find((std::uint64_t(std::uint32_t(x)) << 32) | std::uint32_t(y));
            if (it == cells_.end()) continue;
            for (const TCoord& m : it->second)
                n += std::abs(m.x - centre.x) <= halfWidth && std::abs(m.y - centre.y) <= halfHeight;
        }
    return n;
}

bool LabelAtPoint(LabelPlacer& placer, TCoord at, const LabelStyle& style, float sameNameDistance,
                  std::vector<TText>& out, const StreetCrowding* crowding, float reach,
                  const TShapeFis* area) {
    if (!Labelled(style.text) || !placer.farFromSameName(style.key, at, sameNameDistance)) return false;
    const float width = WidestText(style.text, float(style.size));
    struct Spot {
        TCoord at;
        int streets;
        float away;
    };
    std::vector<Spot> spots{{at, 0, 0}};
    if (crowding) {
        // A large name covers the room of the street names under it: among the spots around, those
        // over the fewest streets, then the nearest.
        const LabelPlacer::Box box = BoxOf(style, at, {1, 0}, width);
        spots.front().streets = crowding->under(at, box.halfWidth, box.halfHeight);
        constexpr int Steps = 4;
        for (int i = -Steps; i <= Steps; ++i)
            for (int j = -Steps; j <= Steps; ++j) {
                if (i == 0 && j == 0) continue;
                const TCoord p{at.x + reach * float(i) / Steps, at.y + reach * float(j) / Steps};
                if (area && !PointInRing(*area, p)) continue;
                spots.push_back({p, crowding->under(p, box.halfWidth, box.halfHeight),
                                 std::hypot(p.x - at.x, p.y - at.y)});
            }
        std::stable_sort(spots.begin(), spots.end(), [](const Spot& a, const Spot& b) {
            return a.streets != b.streets ? a.streets < b.streets : a.away < b.away;
        });
    }
    for (const Spot& s : spots) {
        const LabelPlacer::Box box = BoxOf(style, s.at, {1, 0}, width);
        if (!placer.fits(box)) continue;
        placer.add(box);
        placer.addName(style.key, s.at);
        out.push_back(MakeLabel(style, s.at, {1, 0}));
        return true;
    }
    return false;
}

int AreaLabelSize(const TShapeFis& ring, TCoord at, const Tas& text, int largest) {
    if (!Labelled(text) || ring.size() < 3) return 0;
    // The stretch of the area through the label point, across and up.
    auto stretch = [&](bool across) {
        std::vector<float> cuts;
        const std::size_t n = ring.size();
        for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
            const TCoord a = across ? ring[i] : TCoord{ring[i].y, ring[i].x};
            const TCoord b = across ? ring[j] : TCoord{ring[j].y, ring[j].x};
            const TCoord p = across ? at : TCoord{at.y, at.x};
            if ((a.y > p.y) != (b.y > p.y)) cuts.push_back((b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x);
        }
        std::sort(cuts.begin(), cuts.end());
        const float p = across ? at.x : at.y;
        for (std::size_t k = 0; k + 1 < cuts.size(); k += 2)
            if (cuts[k] <= p && p <= cuts[k + 1]) return std::min(p - cuts[k], cuts[k + 1] - p) * 2;
        return 0.f;
    };
    const float perMetre = WidestText(text, 1);
    if (perMetre <= 0) return 0;
    const float size = std::min(
        {float(largest), 0.8f * stretch(true) / perMetre, 0.6f * stretch(false) / LabelTextHeight(1)});
    return size >= 4 ? int(size) : 0;
}
