// A uniform grid over the world for one kind of map object: the candidates a view must look at, in
// collection order, so that drawing them gives the same picture as a walk over the whole collection.
#pragma once

#include <cstdint>
#include <vector>

struct WorldRect {
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
};

class SpatialGrid {
public:
    // Boxes by object position; an object goes into every cell its box touches.
    template <class Obj> void Build(const std::vector<Obj>& objects, const WorldRect& world) {
        std::vector<WorldRect> boxes;
        boxes.reserve(objects.size());
        for (const Obj& o : objects)
            boxes.push_back({o.minX_, o.minY_3d < o.minY_ ? o.minY_3d : o.minY_,
                             o.maxX_3d > o.maxX_ ? o.maxX_3d : o.maxX_, o.maxY_});
        Build(boxes, world);
    }
    void Build(const std::vector<WorldRect>& boxes, const WorldRect& world);

    // Positions of the objects whose cells meet `view`, ascending, each once. When the view covers most
    // of the grid, `all` is set instead and the caller walks the whole collection.
    void Query(const WorldRect& view, std::vector<std::uint32_t>& out, bool& all) const;

    std::size_t size() const { return count_; }

private:
    int cellOf(float v, float origin, int cells) const;

    float originX_ = 0, originY_ = 0, cell_ = 1;
    int cols_ = 0, rows_ = 0;
    std::size_t count_ = 0;
    std::vector<std::uint32_t> start_; // cols_ * rows_ + 1 offsets into items_
    std::vector<std::uint32_t> items_;
    std::vector<std::uint32_t> spanning_; // objects too large for the grid, kept apart
    mutable std::vector<std::uint32_t> stamp_;
    mutable std::uint32_t frame_ = 0;
};
