#include "GlFrame.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr std::uint32_t Mixed = 0x00FFFFFFu; // no colour: an opaque colour never has alpha 0
}

void GlFrame::Begin(int width, int height) {
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    cols_ = (width_ + Cell - 1) / Cell;
    rows_ = (height_ + Cell - 1) / Cell;
    cells_.assign(std::size_t(cols_) * rows_, CellState{});
    for (int i = 0; i < used_; ++i)
        batches_[i].vertices.clear();
    used_ = 0;
    for (auto& k : byKey_)
        k.second.clear();
    added_[0] = added_[1] = added_[2] = added_[3] = 0;
    step_ = 0;
    // The fills come first, whatever their steps.
    BatchFor(GlBatchKey{}, -1);
}

std::size_t GlFrame::vertexCount() const {
    std::size_t n = 0;
    for (int i = 0; i < used_; ++i)
        n += batches_[i].vertices.size();
    return n;
}

float GlFrame::Depth(std::uint32_t step) {
    // A step of 4 units of the 24-bit buffer leaves room for the rounding of depth on its way there.
    return 1.0f - float(std::min(step, MaxSteps - 1)) * (2.0f / float(MaxSteps));
}

int GlFrame::BatchFor(const GlBatchKey& key, int after) {
    // Runs of one kind are the rule: the kind looked up last is tried first.
    if (lastKey_ < 0 || !(byKey_[lastKey_].first == key)) {
        auto k = std::find_if(byKey_.begin(), byKey_.end(), [&](const auto& e) { return e.first == key; });
        if (k == byKey_.end()) {
            byKey_.push_back({key, {}});
            k = byKey_.end() - 1;
        }
        lastKey_ = int(k - byKey_.begin());
    }
    std::vector<int>& list = byKey_[lastKey_].second;
    auto it = std::lower_bound(list.begin(), list.end(), after);
    if (it != list.end()) return *it;
    if (used_ == int(batches_.size())) batches_.emplace_back();
    batches_[used_].key = key;
    list.push_back(used_);
    return used_++;
}

void GlFrame::Add(const GlBatchKey& key, const GlVertex* v, int count) {
    const float z = Depth(++step_);
    const int per = key.primitive == GlPrimitive::Triangles ? 3 : key.primitive == GlPrimitive::Lines ? 2 : 1;
    // Lines and points reach half their size (and a pixel of smoothing) beyond their vertices.
    const float pad = key.primitive == GlPrimitive::Triangles ? 1.0f : key.size / 2.0f + 2.0f;
    const bool opaque = Opaque(key.primitive);
    for (int at = 0; at + per <= count; at += per) {
        float minX = v[at].x, maxX = minX, minY = v[at].y, maxY = minY;
        for (int i = 1; i < per; ++i) {
            minX = std::min(minX, v[at + i].x);
            maxX = std::max(maxX, v[at + i].x);
            minY = std::min(minY, v[at + i].y);
            maxY = std::max(maxY, v[at + i].y);
        }
        if (maxX + pad < 0 || maxY + pad < 0 || minX - pad >= width_ || minY - pad >= height_) continue;
        int b = 0;
        if (opaque) {
            b = key.primitive == GlPrimitive::Triangles ? 0 : BatchFor(key, -1);
        } else {
            const std::uint32_t color = v[at].rgba;
            const int c0 = std::clamp(int(std::floor(minX - pad)) / Cell, 0, cols_ - 1);
            const int c1 = std::clamp(int(std::ceil(maxX + pad)) / Cell, 0, cols_ - 1);
            const int r0 = std::clamp(int(std::floor(minY - pad)) / Cell, 0, rows_ - 1);
            const int r1 = std::clamp(int(std::ceil(maxY + pad)) / Cell, 0, rows_ - 1);
            int after = 0; // after the fills
            for (int r = r0; r <= r1; ++r) {
                const CellState* row = &cells_[std::size_t(r) * cols_];
                for (int c = c0; c <= c1; ++c)
                    after = std::max(after, row[c].topColor == color ? row[c].other : row[c].top);
            }
            b = BatchFor(key, after);
            for (int r = r0; r <= r1; ++r) {
                CellState* row = &cells_[std::size_t(r) * cols_];
                for (int c = c0; c <= c1; ++c) {
                    CellState& s = row[c];
                    if (b > s.top) {
                        if (s.topColor != color) s.other = s.top;
                        s.top = b;
                        s.topColor = color;
                    } else if (b == s.top && s.topColor != color) {
                        s.topColor = Mixed;
                        s.other = s.top;
                    }
                }
            }
        }
        std::vector<GlVertex>& out = batches_[b].vertices;
        for (int i = 0; i < per; ++i) {
            out.push_back(v[at + i]);
            out.back().z = z;
        }
        ++added_[int(key.primitive)];
    }
}
