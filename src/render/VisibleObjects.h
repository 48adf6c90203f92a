// The objects of one kind a view must look at: the spatial grid's candidates, or the whole collection
// when the view covers most of the city; both renderers walk them in collection order.
#pragma once

#include "MapView.h"
#include "SpatialGrid.h"

#include <cstdint>
#include <vector>

// Walks the candidates of a grid for the view, or the whole collection when the grid says so.
template <class Obj, class Fn>
void ForVisible(const std::vector<Obj>& objects, const SpatialGrid& grid, const MapView& v, bool useGrid,
                std::vector<std::uint32_t>& scratch, Fn&& fn) {
    WorldRect r{v.OriginX - v.ToWorld(v.OffsetX + 2), v.OriginY - v.ToWorld(v.OffsetY + 2),
                v.OriginX + v.ToWorld(v.Width - v.OffsetX + 2),
                v.OriginY + v.ToWorld(v.Height - v.OffsetY + 2)};
    bool all = false;
    if (!useGrid || grid.size() != objects.size())
        all = true;
    else
        grid.Query(r, scratch, all);
    // Objects are large records: fetching a few ahead keeps a walk over a big city from waiting on memory.
    constexpr size_t Ahead = 8;
    if (all) {
        const size_t n = objects.size();
        for (size_t i = 0; i < n; ++i) {
            if (i + Ahead < n) __builtin_prefetch(&objects[i + Ahead]);
            fn(objects[i], int(i));
        }
    } else {
        const size_t n = scratch.size();
        for (size_t k = 0; k < n; ++k) {
            if (k + Ahead < n) __builtin_prefetch(&objects[scratch[k + Ahead]]);
            fn(objects[scratch[k]], int(scratch[k]));
        }
    }
}
