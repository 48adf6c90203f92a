#include "OsmClip.h"

#include "OsmGeometry.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <unordered_map>

bool ClipSegment(const ClipBox& box, TCoord& a, TCoord& b) {
    // Liang-Barsky: the segment as a + t (b - a), t kept within the four half-planes.
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    double t0 = 0, t1 = 1;
    const std::array<std::pair<double, double>, 4> sides = {{{-dx, double(a.x) - box.minX},
                                                             {dx, double(box.maxX) - a.x},
                                                             {-dy, double(a.y) - box.minY},
                                                             {dy, double(box.maxY) - a.y}}};
    for (const auto& [p, q] : sides) {
        if (p == 0) {
            if (q < 0) return false;
            continue;
        }
        const double r = q / p;
        if (p < 0) {
            if (r > t1) return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0) return false;
            t1 = std::min(t1, r);
        }
    }
    const TCoord from = a;
    if (t0 > 0) a = {float(from.x + t0 * dx), float(from.y + t0 * dy)};
    if (t1 < 1) b = {float(from.x + t1 * dx), float(from.y + t1 * dy)};
    return true;
}

std::vector<TShapeFis> ClipLine(const ClipBox& box, const TShapeFis& line) {
    std::vector<TShapeFis> pieces;
    TShapeFis piece;
    auto finish = [&] {
        if (piece.size() >= 2) pieces.push_back(std::move(piece));
        piece.clear();
    };
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        TCoord a = line[i], b = line[i + 1];
        if (!ClipSegment(box, a, b)) {
            finish();
            continue;
        }
        if (!piece.empty() && !(piece.back() == a)) finish();
        if (piece.empty()) piece.push_back(a);
        piece.push_back(b);
        if (!(b == line[i + 1])) finish(); // it left the box here
    }
    finish();
    return pieces;
}

TShapeFis ClipRing(const ClipBox& box, const TShapeFis& ring) {
    // Sutherland-Hodgman: the ring cut by each side of the box in turn.
    TShapeFis out = ring;
    for (int side = 0; side < 4 && !out.empty(); ++side) {
        auto inside = [&](TCoord p) {
            switch (side) {
            case 0:
                return p.x >= box.minX;
            case 1:
                return p.x <= box.maxX;
            case 2:
                return p.y >= box.minY;
            default:
                return p.y <= box.maxY;
            }
        };
        auto cross = [&](TCoord p, TCoord q) {
            const double edge = side == 0 ? box.minX : side == 1 ? box.maxX : side == 2 ? box.minY : box.maxY;
            if (side < 2) {
                const double t = (edge - p.x) / (double(q.x) - p.x);
                return TCoord{float(edge), float(p.y + t * (double(q.y) - p.y))};
            }
            const double t = (edge - p.y) / (double(q.y) - p.y);
            return TCoord{float(p.x + t * (double(q.x) - p.x)), float(edge)};
        };
        TShapeFis in = std::move(out);
        out.clear();
        for (std::size_t i = 0; i < in.size(); ++i) {
            const TCoord p = in[i], q = in[(i + 1) % in.size()];
            const bool pin = inside(p), qin = inside(q);
            if (pin) out.push_back(p);
            if (pin != qin) out.push_back(cross(p, q));
        }
    }
    DropRepeatedPoints(out);
    return out.size() >= 3 ? out : TShapeFis{};
}

namespace {

std::uint64_t PointKey(TCoord p) {
    const auto x = std::int32_t(std::lround(double(p.x) * 100)),
               y = std::int32_t(std::lround(double(p.y) * 100));
    return (std::uint64_t(std::uint32_t(x)) << 32) | std::uint32_t(y);
}

// Turning from direction (a -> b) into (b -> c): 0 straight on, up to 2 straight back.
double Turn(TCoord a, TCoord b, TCoord c) {
    const double ux = double(b.x) - a.x, uy = double(b.y) - a.y, vx = double(c.x) - b.x,
                 vy = double(c.y) - b.y;
    const double lu = std::hypot(ux, uy), lv = std::hypot(vx, vy);
    if (lu < 1e-9 || lv < 1e-9) return 1;
    return 1 - (ux * vx + uy * vy) / (lu * lv);
}

} // namespace

std::vector<TShapeFis> JoinLines(std::vector<TShapeFis> lines) {
    // Every line's two ends by their point; a junction of several lines continues the straightest way.
    std::unordered_map<std::uint64_t, std::vector<std::pair<int, bool>>> ends; // point -> (line, at its back)
    for (int i = 0; i < int(lines.size()); ++i) {
        if (lines[i].size() < 2) continue;
        ends[PointKey(lines[i].front())].push_back({i, false});
        ends[PointKey(lines[i].back())].push_back({i, true});
    }
    std::vector<char> used(lines.size(), 0);
    // The unused line to go on with from the end of `chain` (`prev` -> `tip`), and whether it is turned.
    auto next = [&](TCoord prev, TCoord tip) -> std::pair<int, bool> {
        auto it = ends.find(PointKey(tip));
        if (it == ends.end()) return {-1, false};
        int best = -1;
        bool atBack = false;
        double bestTurn = 1e9;
        for (const auto& [j, back] : it->second) {
            if (used[j]) continue;
            const TShapeFis& l = lines[j];
            const TCoord c = back ? l[l.size() - 2] : l[1];
            const double turn = Turn(prev, tip, c);
            if (turn < bestTurn) {
                bestTurn = turn;
                best = j;
                atBack = back;
            }
        }
        return {best, atBack};
    };
    std::vector<TShapeFis> out;
    for (int i = 0; i < int(lines.size()); ++i) {
        if (used[i] || lines[i].size() < 2) continue;
        used[i] = 1;
        TShapeFis chain = std::move(lines[i]);
        for (int side = 0; side < 2; ++side) {
            while (!(chain.size() > 2 && chain.front() == chain.back())) {
                const auto [j, back] = next(chain[chain.size() - 2], chain.back());
                if (j < 0) break;
                used[j] = 1;
                TShapeFis& l = lines[j];
                if (back) std::reverse(l.begin(), l.end());
                chain.insert(chain.end(), l.begin() + 1, l.end());
            }
            std::reverse(chain.begin(), chain.end()); // then the other end
        }
        out.push_back(std::move(chain));
    }
    return out;
}

std::optional<std::vector<TShapeFis>> CloseAlongBox(const ClipBox& box, const std::vector<TShapeFis>& cut,
                                                    std::optional<TCoord> inside, float tolerance) {
    const double w = double(box.maxX) - box.minX, h = double(box.maxY) - box.minY, perimeter = 2 * (w + h);
    // Position along the box's edge, round from its corner (minX, minY) by maxX, maxY and back.
    auto along = [&](TCoord p) -> std::optional<double> {
        const std::array<double, 4> away = {std::abs(p.y - box.minY), std::abs(p.x - box.maxX),
                                            std::abs(p.y - box.maxY), std::abs(p.x - box.minX)};
        const auto side = std::min_element(away.begin(), away.end()) - away.begin();
        if (away[side] > tolerance) return std::nullopt;
        const double x = std::clamp(double(p.x), double(box.minX), double(box.maxX));
        const double y = std::clamp(double(p.y), double(box.minY), double(box.maxY));
        switch (side) {
        case 0:
            return x - box.minX;
        case 1:
            return w + (y - box.minY);
        case 2:
            return w + h + (box.maxX - x);
        default:
            return 2 * w + h + (box.maxY - y);
        }
    };
    const std::array<std::pair<double, TCoord>, 4> corners = {{{0, {box.minX, box.minY}},
                                                               {w, {box.maxX, box.minY}},
                                                               {w + h, {box.maxX, box.maxY}},
                                                               {2 * w + h, {box.minX, box.maxY}}}};
    std::vector<std::array<double, 2>> at; // each line's start and end along the edge
    for (const TShapeFis& l : cut) {
        if (l.size() < 2) return std::nullopt;
        const auto a = along(l.front()), b = along(l.back());
        if (!a || !b) return std::nullopt;
        at.push_back({*a, *b});
    }
    auto distance = [&](double from, double to, int dir) {
        const double d = std::fmod((dir > 0 ? to - from : from - to) + 2 * perimeter, perimeter);
        return d;
    };
    auto rings = [&](int dir) {
        std::vector<TShapeFis> out;
        std::vector<char> used(cut.size(), 0);
        for (std::size_t first = 0; first < cut.size(); ++first) {
            if (used[first]) continue;
            used[first] = 1;
            TShapeFis ring = cut[first];
            double here = at[first][1];
            const double start = at[first][0];
            while (true) {
                // The next end along the edge: the ring's own start or an end of a line not yet taken.
                double best = distance(here, start, dir);
                int line = -1;
                bool atEnd = false;
                for (std::size_t k = 0; k < cut.size(); ++k)
                    for (int e = 0; e < 2 && !used[k]; ++e)
                        if (const double d = distance(here, at[k][e], dir); d < best) {
                            best = d;
                            line = int(k);
                            atEnd = e == 1;
                        }
                // The corners passed on the way there.
                std::vector<std::pair<double, TCoord>> passed;
                for (const auto& [t, c] : corners)
                    if (const double d = distance(here, t, dir); d > 0 && d < best) passed.push_back({d, c});
                std::sort(passed.begin(), passed.end(),
                          [](const auto& a, const auto& b) { return a.first < b.first; });
                for (const auto& [d, c] : passed)
                    ring.push_back(c);
                if (line < 0) break;
                used[line] = 1;
                if (atEnd)
                    ring.insert(ring.end(), cut[line].rbegin(), cut[line].rend());
                else
                    ring.insert(ring.end(), cut[line].begin(), cut[line].end());
                here = at[line][atEnd ? 0 : 1];
            }
            DropRepeatedPoints(ring);
            if (ring.size() >= 3) out.push_back(std::move(ring));
        }
        return out;
    };
    const std::vector<TShapeFis> one = rings(1), other = rings(-1);
    auto holds = [&](const std::vector<TShapeFis>& set) {
        return inside && std::any_of(set.begin(), set.end(),
                                     [&](const TShapeFis& r) { return PointInRing(r, *inside); });
    };
    if (holds(one) != holds(other)) return holds(one) ? one : other;
    auto area = [](const std::vector<TShapeFis>& set) {
        double a = 0;
        for (const TShapeFis& r : set)
            a += std::abs(RingArea(r));
        return a;
    };
    return area(one) <= area(other) ? one : other;
}
