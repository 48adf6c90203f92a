// Map labels of an imported city: street and river names along their lines, place and area names on
// their spot, each sized for the scales it should show at and kept off every label placed before it
// wherever the map would draw both.
#pragma once

#include "MapObjects.h"

#include <QString>
#include <array>
#include <unordered_map>
#include <vector>

// Width and height in metres of a label's text: the map draws labels in bold "Arial" at `size` points
// for every metre a pixel covers, so a label keeps its size in metres at every scale.
float LabelTextWidth(const QString& text, float size);
float LabelTextHeight(float size);

// The scales (metres a pixel) at which the map draws a label of this size and layer: zoomed in (layer
// 0), zoomed out (layer 1) or both (2); labels under 30 m only at 1.8 m a pixel and closer, none under
// 4 points. Up to two ranges, empty ones with from > to.
struct ScaleRange {
    float from = 1, to = 0;
    bool empty() const { return from > to; }
    bool meets(const ScaleRange& o) const { return !empty() && !o.empty() && from <= o.to && o.from <= to; }
};
std::array<ScaleRange, 2> LabelScales(int size, int layer);

// The labels placed so far, by the box each covers on the map.
class LabelPlacer {
public:
    // A label's box: its centre, the direction its text runs (a unit vector) and its half extents.
    struct Box {
        TCoord centre;
        TCoord along;
        float halfWidth, halfHeight;
        std::array<ScaleRange, 2> scales;
    };
    // Whether a label of this box overlaps none placed before at a scale where both are drawn.
    bool fits(const Box& b) const;
    void add(const Box& b);
    // Remembers where a name was put, to keep repeats of one name apart; false when it is already
    // within `distance` of that point.
    bool farFromSameName(const QString& key, TCoord at, float distance) const;
    void addName(const QString& key, TCoord at);

private:
    static std::uint64_t Cell(std::int32_t x, std::int32_t y) {
        return (std::uint64_t(std::uint32_t(x)) << 32) | std::uint32_t(y);
    }
    template <class F> void forCells(const Box& b, F&& f) const;
    static constexpr float CellSize = 64;
    std::vector<Box> boxes_;
    std::unordered_map<std::uint64_t, std::vector<int>> cells_;
    std::unordered_map<QString, std::vector<TCoord>> names_;
};

// What a label says and how it looks.
struct LabelStyle {
    Tas text;      // one per data language; the widest decides where it fits
    QString key;   // the name as compared for repeats
    int size = 10; // metres
    int layer = 0; // as TText::layer
    TColor color = 0;
};

// A label centred on `centre`, its text running along `along` (turned to read upright), as the map
// stores it (by its top left corner).
TText MakeLabel(const LabelStyle& style, TCoord centre, TCoord along);

// Labels along lines (the ways of a street or a river): on their longest straight runs, repeated
// `spacing` metres apart on long ones, each only where it overlaps nothing placed before and no label of
// the same name lies within `spacing`. Where no run is long enough, runs that bend a little will do,
// then smaller sizes down to `shrink` of the size (and 4 m); a line shorter than its name at that size
// gets it across its longest piece. Returns how many were placed.
// At most `most` labels; with `repeatsOnly` only those the first way gives (no bending, smaller or
// overhanging ones), for a second round once every street has its first.
int LabelAlongLines(LabelPlacer& placer, const std::vector<TShapeFis>& lines, LabelStyle style, float spacing,
                    std::vector<TText>& out, int most = 1 << 30, bool repeatsOnly = false,
                    float shrink = 0.6f);

// Segments of the streets, to tell where a large label would cover their names' room.
class StreetCrowding {
public:
    explicit StreetCrowding(const std::vector<TShapeFis>& segmentPairs);
    // How many street segments have their middle under the box.
    int under(const TCoord& centre, float halfWidth, float halfHeight) const;

private:
    static constexpr float CellSize = 50;
    std::unordered_map<std::uint64_t, std::vector<TCoord>> cells_;
};

// A label centred on a point (a place, a lake), placed only where it overlaps nothing and no label of
// the same name lies within `sameNameDistance`. With `crowding`, spots around the point within `reach`
// metres (and inside `area` when given) are tried too, those over the fewest streets first.
bool LabelAtPoint(LabelPlacer& placer, TCoord at, const LabelStyle& style, float sameNameDistance,
                  std::vector<TText>& out, const StreetCrowding* crowding = nullptr, float reach = 0,
                  const TShapeFis* area = nullptr);

// The size (at most `largest`, at least 4) at which an area's name fits inside it at its label point,
// or 0 when it does not fit.
int AreaLabelSize(const TShapeFis& ring, TCoord at, const Tas& text, int largest);
