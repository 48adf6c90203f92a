// One redraw of the OpenGL map gathered into a few draw calls, giving the picture that drawing every
// primitive in turn gives. Every call to Add is one drawing step with a rising sequence number kept as
// the vertices' depth: fills (triangles, and squares of whole pixels) are opaque, so they are drawn first,
// in any order, with a depth test, and a later line or point is hidden where a later fill covers it. Lines
// and points blend, so among them the order counts: each joins the earliest batch of its kind that comes
// after everything of another colour already drawn where it lies (blending one colour over itself gives the
// same in any order).
#pragma once

#include <QRect>
#include <cstdint>
#include <vector>

// A vertex in surface pixels, the depth of its drawing step, and its colour as bytes red, green, blue, alpha.
struct GlVertex {
    float x = 0, y = 0, z = 0;
    std::uint32_t rgba = 0;
};

// Squares are opaque square points of whole pixels, filled like triangles.
enum class GlPrimitive : std::uint8_t { Triangles, Lines, Points, Squares };

// What one draw call shares: the primitive, its line width or point size in pixels, the railway stipple,
// and whether it is smoothed (glyph pixels and straight thin lines are not).
struct GlBatchKey {
    GlPrimitive primitive = GlPrimitive::Triangles;
    int size = 1;
    bool stipple = false;
    bool smooth = true;
    bool operator==(const GlBatchKey&) const = default;
};

struct GlBatch {
    GlBatchKey key;
    std::vector<GlVertex> vertices;
};

class GlFrame {
public:
    // Starts a frame on a surface of `width` x `height` pixels.
    void Begin(int width, int height);

    // One drawing step: whole primitives of one kind (3, 2 or 1 vertices each), all of the colour of the
    // first vertex. Primitives wholly outside the surface are dropped.
    void Add(const GlBatchKey& key, const GlVertex* v, int count);

    // Batches in drawing order (the fills first); only the first `batchCount()` are in use.
    const std::vector<GlBatch>& batches() const { return batches_; }
    int batchCount() const { return used_; }
    std::size_t vertexCount() const;
    // Primitives added (after dropping those outside), by kind.
    int primitives(GlPrimitive p) const { return added_[int(p)]; }

    // Opaque primitives are depth-tested fills, drawn before everything else in any order.
    static bool Opaque(GlPrimitive p) { return p == GlPrimitive::Triangles || p == GlPrimitive::Squares; }

    // Depth of a drawing step: steps map to distinct values of a 24-bit depth buffer, rising.
    static float Depth(std::uint32_t step);
    static constexpr std::uint32_t MaxSteps = 1u << 22;
    static constexpr int Cell = 16; // pixels per side of a cell of the overlap grid

private:
    // What was drawn in one cell of the grid: the last batch, its colour, and the last batch of any other
    // colour.
    struct CellState {
        int top = -1;
        std::uint32_t topColor = 0;
        int other = -1;
    };
    int BatchFor(const GlBatchKey& key, int after);

    int width_ = 0, height_ = 0, cols_ = 0, rows_ = 0;
    std::uint32_t step_ = 0;
    std::vector<CellState> cells_;
    std::vector<GlBatch> batches_;
    int used_ = 0;
    // Per kind, the batches of that kind in drawing order.
    std::vector<std::pair<GlBatchKey, std::vector<int>>> byKey_;
    int lastKey_ = -1;
    int added_[4] = {0, 0, 0, 0};
};
