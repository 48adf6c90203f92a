#include "OsmCoast.h"

#include "OsmGeometry.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace {

// Ways end to end where one ends on the point where another begins, keeping their direction.
std::vector<TShapeFis> JoinInDirection(std::vector<TShapeFis> ways) {
    std::multimap<std::pair<float, float>, std::size_t> byStart;
    for (std::size_t i = 0; i < ways.size(); ++i)
        if (ways[i].size() >= 2) byStart.emplace(std::pair{ways[i].front().x, ways[i].front().y}, i);
    std::vector<char> used(ways.size(), 0);
    std::vector<TShapeFis> out;
    // Lines that start where no other ends go first, so that a chain is walked from its beginning.
    std::map<std::pair<float, float>, int> ends;
    for (const TShapeFis& w : ways)
        if (w.size() >= 2) ++ends[{w.back().x, w.back().y}];
    std::vector<std::size_t> order;
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t i = 0; i < ways.size(); ++i)
            if (ways[i].size() >= 2 && (pass == 1 || !ends.count({ways[i].front().x, ways[i].front().y})))
                order.push_back(i);
    for (std::size_t first : order) {
        if (used[first]) continue;
        used[first] = 1;
        TShapeFis line = std::move(ways[first]);
        while (!(line.front() == line.back())) {
            auto [lo, hi] = byStart.equal_range({line.back().x, line.back().y});
            auto next = std::find_if(lo, hi, [&](const auto& e) { return !used[e.second]; });
            if (next == hi) break;
            used[next->second] = 1;
            const TShapeFis& w = ways[next->second];
            line.insert(line.end(), w.begin() + 1, w.end());
        }
        out.push_back(std::move(line));
    }
    return out;
}

} // namespace

CoastLand LandFromCoastline(const std::vector<TShapeFis>& ways, const ClipBox& box) {
    CoastLand land;
    if (!box.valid()) return land;
    const float W = box.maxX - box.minX, H = box.maxY - box.minY, perimeter = 2 * (W + H);
    constexpr float Tolerance = 0.5f;
    // Where a point of the edge lies on it, going round with the box on the left (y grows southwards:
    // east along the south edge, north along the east edge, west along the north, south along the west).
    auto along = [&](TCoord p) -> float {
        const float dS = std::abs(p.y - box.maxY), dE = std::abs(p.x - box.maxX), dN = std::abs(p.y - box.minY),
                    dW = std::abs(p.x - box.minX);
        const float d = std::min({dS, dE, dN, dW});
        if (d == dS) return p.x - box.minX;
        if (d == dE) return W + (box.maxY - p.y);
        if (d == dN) return W + H + (box.maxX - p.x);
        return 2 * W + H + (p.y - box.minY);
    };
    auto onEdge = [&](TCoord p) {
        return std::min({std::abs(p.y - box.maxY), std::abs(p.x - box.maxX), std::abs(p.y - box.minY),
                         std::abs(p.x - box.minX)}) <= Tolerance;
    };
    const TCoord corners[4] = {{box.maxX, box.maxY}, {box.maxX, box.minY}, {box.minX, box.minY}, {box.minX, box.maxY}};
    const float cornerAt[4] = {W, W + H, 2 * W + H, perimeter};

    struct Piece {
        TShapeFis points;
        float in, out;
    };
    std::vector<Piece> pieces;
    for (TShapeFis& line : JoinInDirection(ways)) {
        if (line.size() > 3 && line.front() == line.back() &&
            std::all_of(line.begin(), line.end(), [&](TCoord c) { return box.contains(c); })) {
            line.pop_back();
            land.rings.push_back(std::move(line)); // an island wholly inside
            continue;
        }
        for (TShapeFis& piece : ClipLine(box, line)) {
            if (piece.size() < 2) continue;
            if (!onEdge(piece.front()) || !onEdge(piece.back())) {
                ++land.broken;
                continue;
            }
            const float in = along(piece.front()), out = along(piece.back());
            pieces.push_back({std::move(piece), in, out});
        }
    }
    // From where a piece leaves the box, along the edge (box on the left, so the land too) to where the
    // next piece enters it, and on until the ring closes.
    std::vector<char> used(pieces.size(), 0);
    for (std::size_t start = 0; start < pieces.size(); ++start) {
        if (used[start]) continue;
        TShapeFis ring;
        std::size_t cur = start;
        bool closed = false;
        for (std::size_t steps = 0; steps <= pieces.size(); ++steps) {
            used[cur] = 1;
            ring.insert(ring.end(), pieces[cur].points.begin(), pieces[cur].points.end());
            const float from = pieces[cur].out;
            std::size_t next = pieces.size();
            float best = perimeter * 2;
            for (std::size_t k = 0; k < pieces.size(); ++k) {
                if (used[k] && k != start) continue;
                float gap = pieces[k].in - from;
                if (gap < 0) gap += perimeter;
                if (gap < best) best = gap, next = k;
            }
            if (next == pieces.size()) break;
            // The corners passed on the way, nearest first.
            std::vector<std::pair<float, int>> passed;
            for (int c = 0; c < 4; ++c) {
                float at = std::fmod(cornerAt[c] - from, perimeter);
                if (at <= 0) at += perimeter;
                if (at < best) passed.push_back({at, c});
            }
            std::sort(passed.begin(), passed.end());
            for (const auto& [at, c] : passed)
                ring.push_back(corners[c]);
            if (next == start) {
                closed = true;
                break;
            }
            cur = next;
        }
        DropRepeatedPoints(ring);
        if (closed && ring.size() >= 3) land.rings.push_back(std::move(ring));
    }
    return land;
}
