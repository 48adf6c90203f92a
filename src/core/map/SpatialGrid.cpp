#include "SpatialGrid.h"

#include <algorithm>
#include <cmath>

namespace {

// Aim for a handful of objects per cell; very large objects are not spread over thousands of cells.
constexpr double ObjectsPerCell = 8;
constexpr int MaxCellsPerSide = 1024;
constexpr std::int64_t MaxCellsPerObject = 256;

} // namespace

int SpatialGrid::cellOf(float v, float origin, int cells) const {
    const double c = std::floor((double(v) - origin) / cell_);
    if (!(c >= 0)) return 0; // also NaN
    return c >= cells ? cells - 1 : int(c);
}

void SpatialGrid::Build(const std::vector<WorldRect>& boxes, const WorldRect& world) {
    count_ = boxes.size();
    start_.clear();
    items_.clear();
    spanning_.clear();
    stamp_.assign(count_, 0);
    frame_ = 0;
    originX_ = world.minX;
    originY_ = world.minY;
    const double w = std::max(1.0, double(world.maxX) - world.minX);
    const double h = std::max(1.0, double(world.maxY) - world.minY);
    const double cells = std::max(1.0, double(count_) / ObjectsPerCell);
    cell_ = float(std::max(std::sqrt(w * h / cells), 10.0));
    cols_ = std::clamp(int(std::ceil(w / cell_)), 1, MaxCellsPerSide);
    rows_ = std::clamp(int(std::ceil(h / cell_)), 1, MaxCellsPerSide);
    cell_ = float(std::max(w / cols_, h / rows_));

    // Two passes: count per cell, then fill, so the cells are one flat array.
    std::vector<std::uint32_t> counts(std::size_t(cols_) * rows_ + 1, 0);
    auto span = [&](const WorldRect& b, int& x0, int& y0, int& x1, int& y1) {
        x0 = cellOf(b.minX, originX_, cols_);
        x1 = cellOf(b.maxX, originX_, cols_);
        y0 = cellOf(b.minY, originY_, rows_);
        y1 = cellOf(b.maxY, originY_, rows_);
        return std::int64_t(x1 - x0 + 1) * (y1 - y0 + 1);
    };
    for (std::uint32_t i = 0; i < count_; ++i) {
        int x0, y0, x1, y1;
        if (span(boxes[i], x0, y0, x1, y1) > MaxCellsPerObject) continue;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) ++counts[std::size_t(y) * cols_ + x];
    }
    start_.assign(counts.size(), 0);
    std::uint32_t total = 0;
    for (std::size_t c = 0; c + 1 < counts.size(); ++c) {
        start_[c] = total;
        total += counts[c];
    }
    start_.back() = total;
    items_.resize(total);
    std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
    for (std::uint32_t i = 0; i < count_; ++i) {
        int x0, y0, x1, y1;
        if (span(boxes[i], x0, y0, x1, y1) > MaxCellsPerObject) {
            spanning_.push_back(i);
            continue;
        }
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) items_[fill[std::size_t(y) * cols_ + x]++] = i;
    }
}

void SpatialGrid::Query(const WorldRect& view, std::vector<std::uint32_t>& out, bool& all) const {
    out.clear();
    all = false;
    if (count_ == 0) return;
    const int x0 = cellOf(view.minX, originX_, cols_), x1 = cellOf(view.maxX, originX_, cols_);
    const int y0 = cellOf(view.minY, originY_, rows_), y1 = cellOf(view.maxY, originY_, rows_);
    const std::int64_t cells = std::int64_t(x1 - x0 + 1) * (y1 - y0 + 1);
    // A view over most of the city gains nothing from the grid.
    if (cells * 2 >= std::int64_t(cols_) * rows_) {
        all = true;
        return;
    }
    if (++frame_ == 0) {
        std::fill(stamp_.begin(), stamp_.end(), 0);
        frame_ = 1;
    }
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const std::size_t c = std::size_t(y) * cols_ + x;
            for (std::uint32_t k = start_[c]; k < start_[c + 1]; ++k) {
                const std::uint32_t i = items_[k];
                if (stamp_[i] != frame_) {
                    stamp_[i] = frame_;
                    out.push_back(i);
                }
            }
        }
    out.insert(out.end(), spanning_.begin(), spanning_.end());
    std::sort(out.begin(), out.end());
}
