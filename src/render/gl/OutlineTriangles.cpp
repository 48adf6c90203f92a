#include "OutlineTriangles.h"

#include <GL/glu.h>

namespace {

// What the callbacks fill while one outline is tessellated.
struct TessRun {
    std::vector<std::uint32_t>* out = nullptr;
    std::vector<TCoord>* extra = nullptr;
    std::uint32_t points = 0;
    double originX = 0, originY = 0;
    bool failed = false;
};

void GLAPIENTRY OnBegin(GLenum, void*) {}
// Registering an edge-flag callback makes the tessellator hand out separate triangles only.
void GLAPIENTRY OnEdgeFlag(GLboolean, void*) {}
void GLAPIENTRY OnEnd(void*) {}

void GLAPIENTRY OnVertex(void* vertex, void* data) {
    auto* run = static_cast<TessRun*>(data);
    run->out->push_back(std::uint32_t(reinterpret_cast<std::uintptr_t>(vertex)));
}

// Edges that cross get a point of their own, so that self-crossing outlines are still filled.
void GLAPIENTRY OnCombine(GLdouble coords[3], void* [4], GLfloat[4], void** outData, void* data) {
    auto* run = static_cast<TessRun*>(data);
    run->extra->push_back({float(coords[0] + run->originX), float(coords[1] + run->originY)});
    *outData = reinterpret_cast<void*>(std::uintptr_t(run->points + run->extra->size() - 1));
}

void GLAPIENTRY OnError(GLenum, void* data) {
    static_cast<TessRun*>(data)->failed = true;
}

using Callback = void(GLAPIENTRY*)();

} // namespace

OutlineTriangles::OutlineTriangles() {
    tess_ = gluNewTess();
    if (!tess_) return;
    gluTessCallback(tess_, GLU_TESS_BEGIN_DATA, reinterpret_cast<Callback>(&OnBegin));
    gluTessCallback(tess_, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<Callback>(&OnEdgeFlag));
    gluTessCallback(tess_, GLU_TESS_VERTEX_DATA, reinterpret_cast<Callback>(&OnVertex));
    gluTessCallback(tess_, GLU_TESS_END_DATA, reinterpret_cast<Callback>(&OnEnd));
    gluTessCallback(tess_, GLU_TESS_COMBINE_DATA, reinterpret_cast<Callback>(&OnCombine));
    gluTessCallback(tess_, GLU_TESS_ERROR_DATA, reinterpret_cast<Callback>(&OnError));
    // Outlines lie in the plane: saying so spares the tessellator from working out the normal.
    gluTessNormal(tess_, 0, 0, 1);
}

OutlineTriangles::~OutlineTriangles() {
    if (tess_) gluDeleteTess(tess_);
}

void OutlineTriangles::Reset(std::size_t fields, std::size_t buildings) {
    pool_.clear();
    pool_.shrink_to_fit();
    extra_.clear();
    fields_.assign(fields, Entry{});
    buildings_.assign(buildings, Entry{});
    outlines_ = 0;
}

template <class Points>
bool OutlineTriangles::Tessellate(const Points& points, std::vector<std::uint32_t>& out,
                                  std::vector<TCoord>& extra) {
    const std::size_t n = points.size();
    if (n < 3 || !tess_) return false;
    TessRun run{&out, &extra, std::uint32_t(n), points[0].x, points[0].y, false};
    // Every vertex record stays where it is until the polygon ends: the whole array is built first.
    // Coordinates are taken from the first point, which keeps the tessellator's sums small.
    coords_.resize(3 * n);
    for (std::size_t i = 0; i < n; ++i) {
        const TCoord c = points[i];
        coords_[3 * i] = double(c.x) - run.originX;
        coords_[3 * i + 1] = double(c.y) - run.originY;
        coords_[3 * i + 2] = 0;
    }
    const std::size_t outBefore = out.size(), extraBefore = extra.size();
    gluTessBeginPolygon(tess_, &run);
    gluTessBeginContour(tess_);
    for (std::size_t i = 0; i < n; ++i)
        gluTessVertex(tess_, &coords_[3 * i], reinterpret_cast<void*>(std::uintptr_t(i)));
    gluTessEndContour(tess_);
    gluTessEndPolygon(tess_);
    if (run.failed || (out.size() - outBefore) % 3 != 0) {
        out.resize(outBefore);
        extra.resize(extraBefore);
        return false;
    }
    return true;
}

template bool OutlineTriangles::Tessellate(const TShapeFis&, std::vector<std::uint32_t>&,
                                           std::vector<TCoord>&);
template bool OutlineTriangles::Tessellate(const TPoints&, std::vector<std::uint32_t>&, std::vector<TCoord>&);

OutlineTriangleList OutlineTriangles::Field(const TField& f, int index) {
    if (index < 0 || std::size_t(index) >= fields_.size()) return {};
    Entry& e = fields_[index];
    const std::uint64_t key = (std::uint64_t(index) << 32) | 0xFFFFu;
    if (e.count == NotYet) {
        e.first = std::uint32_t(pool_.size());
        extraScratch_.clear();
        Tessellate(f.shape, pool_, extraScratch_);
        e.count = std::uint32_t(pool_.size() - e.first);
        if (!extraScratch_.empty()) {
            extra_[key] = extraScratch_;
            e.count |= HasExtra;
        }
        ++outlines_;
    }
    const std::span<const std::uint32_t> tri(pool_.data() + e.first, e.count & ~HasExtra);
    return {tri, e.count & HasExtra ? &extra_[key] : nullptr};
}

OutlineTriangleList OutlineTriangles::BuildingShape(const TBuilding& b, int index, int shape) {
    if (index < 0 || std::size_t(index) >= buildings_.size() || shape < 0 ||
        std::size_t(shape) >= b.shapes.size())
        return {};
    Entry& e = buildings_[index];
    if (e.count == NotYet) {
        e.first = std::uint32_t(pool_.size());
        std::uint32_t k = 0;
        for (const TShapeView& sh : b.shapes) {
            const std::size_t head = pool_.size();
            pool_.push_back(0);
            extraScratch_.clear();
            Tessellate(sh.shape, pool_, extraScratch_);
            pool_[head] = std::uint32_t(pool_.size() - head - 1);
            if (!extraScratch_.empty()) {
                extra_[(std::uint64_t(index) << 32) | k] = extraScratch_;
                pool_[head] |= HasExtra;
            }
            ++k;
            ++outlines_;
        }
        e.count = std::uint32_t(pool_.size() - e.first);
    }
    std::uint32_t at = e.first;
    for (int k = 0; k < shape; ++k)
        at += 1 + (pool_[at] & ~HasExtra);
    const std::span<const std::uint32_t> tri(pool_.data() + at + 1, pool_[at] & ~HasExtra);
    return {tri,
            pool_[at] & HasExtra ? &extra_[(std::uint64_t(index) << 32) | std::uint32_t(shape)] : nullptr};
}
