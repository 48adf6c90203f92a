#include "OsmGeometry.h"

#include <algorithm>
#include <cmath>

double RingArea(std::span<const TCoord> ring) {
    double a = 0;
    const std::size_t n = ring.size();
    for (std::size_t i = 0; i < n; ++i) {
        const TCoord& p = ring[i];
        const TCoord& q = ring[(i + 1) % n];
        a += double(p.x) * q.y - double(q.x) * p.y;
    }
    return a / 2;
}

TCoord RingCentroid(std::span<const TCoord> ring) {
    if (ring.empty()) return {};
    // Relative to the first point, so that large coordinates keep their precision.
    const double ox = ring[0].x, oy = ring[0].y;
    double a = 0, cx = 0, cy = 0;
    const std::size_t n = ring.size();
    for (std::size_t i = 0; i < n; ++i) {
        const double px = ring[i].x - ox, py = ring[i].y - oy;
        const double qx = ring[(i + 1) % n].x - ox, qy = ring[(i + 1) % n].y - oy;
        const double c = px * qy - qx * py;
        a += c;
        cx += (px + qx) * c;
        cy += (py + qy) * c;
    }
    if (std::abs(a) < 1e-9) {
        double sx = 0, sy = 0;
        for (const TCoord& p : ring) {
            sx += p.x - ox;
            sy += p.y - oy;
        }
        return {float(ox + sx / n), float(oy + sy / n)};
    }
    return {float(ox + cx / (3 * a)), float(oy + cy / (3 * a))};
}

TCoord LabelPoint(std::span<const TCoord> ring) {
    const TCoord c = RingCentroid(ring);
    if (ring.size() < 3 || PointInRing(ring, c)) return c;
    std::vector<float> xs;
    const std::size_t n = ring.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const TCoord& a = ring[i];
        const TCoord& b = ring[j];
        if ((a.y > c.y) != (b.y > c.y)) xs.push_back((b.x - a.x) * (c.y - a.y) / (b.y - a.y) + a.x);
    }
    std::sort(xs.begin(), xs.end());
    float best = -1, bx = c.x;
    for (std::size_t k = 0; k + 1 < xs.size(); k += 2)
        if (xs[k + 1] - xs[k] > best) {
            best = xs[k + 1] - xs[k];
            bx = (xs[k] + xs[k + 1]) / 2;
        }
    return {bx, c.y};
}

// Douglas-Peucker: drops points within `tolerance` metres of the line through their neighbours.
TShapeFis Simplify(const TShapeFis& line, float tolerance) {
    if (line.size() < 3) return line;
    std::vector<char> keep(line.size(), 0);
    keep.front() = keep.back() = 1;
    std::vector<std::pair<std::size_t, std::size_t>> stack{{0, line.size() - 1}};
    while (!stack.empty()) {
        auto [a, b] = stack.back();
        stack.pop_back();
        const TCoord p = line[a], q = line[b];
        const double dx = q.x - p.x, dy = q.y - p.y, len = std::hypot(dx, dy);
        double worst = -1;
        std::size_t at = a;
        for (std::size_t i = a + 1; i < b; ++i) {
            const double d = len < 1e-6 ? std::hypot(line[i].x - p.x, line[i].y - p.y)
                                        : std::abs(dy * (line[i].x - p.x) - dx * (line[i].y - p.y)) / len;
            if (d > worst) {
                worst = d;
                at = i;
            }
        }
        if (worst > tolerance) {
            keep[at] = 1;
            stack.push_back({a, at});
            stack.push_back({at, b});
        }
    }
    TShapeFis out;
    for (std::size_t i = 0; i < line.size(); ++i)
        if (keep[i]) out.push_back(line[i]);
    return out;
}

std::vector<TCoord> GridPointsInside(std::span<const TCoord> ring, float spacing) {
    std::vector<TCoord> out;
    if (ring.size() < 3 || !(spacing > 0)) return out;
    float minY = ring[0].y, maxY = ring[0].y;
    for (const TCoord& c : ring) {
        minY = std::min(minY, c.y);
        maxY = std::max(maxY, c.y);
    }
    std::vector<float> cuts;
    for (double row = std::ceil(minY / spacing); row * spacing <= maxY; ++row) {
        const float y = float(row * spacing);
        cuts.clear();
        for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
            const TCoord a = ring[i], b = ring[j];
            if ((a.y > y) != (b.y > y)) cuts.push_back((b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x);
        }
        std::sort(cuts.begin(), cuts.end());
        const float shift = std::fmod(row, 2.0) != 0 ? spacing / 2 : 0;
        for (std::size_t k = 0; k + 1 < cuts.size(); k += 2)
            for (double x = std::ceil((cuts[k] - shift) / spacing) * spacing + shift; x <= cuts[k + 1]; x += spacing)
                out.push_back({float(x), y});
    }
    return out;
}

void DropRepeatedPoints(TShapeFis& ring) {
    auto same = [](const TCoord& a, const TCoord& b) {
        return std::abs(a.x - b.x) < 0.005f && std::abs(a.y - b.y) < 0.005f;
    };
    ring.erase(std::unique(ring.begin(), ring.end(), same), ring.end());
    while (ring.size() > 1 && same(ring.front(), ring.back()))
        ring.pop_back();
}

void GridIndex::insert(int id, float minX, float minY, float maxX, float maxY) {
    const std::int32_t x0 = cellOf(minX), x1 = cellOf(maxX), y0 = cellOf(minY), y1 = cellOf(maxY);
    // Huge objects (a whole district) would fill many cells; they are few, so cap them at a window.
    for (std::int32_t cx = x0; cx <= x1 && cx - x0 < 400; ++cx)
        for (std::int32_t cy = y0; cy <= y1 && cy - y0 < 400; ++cy)
            cells_[key(cx, cy)].push_back(id);
}
