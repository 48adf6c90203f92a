// Triangles of area and building outlines from the GLU tessellator, made once per object when it is first
// drawn and kept for the city, so that a redraw only snaps the points of what it shows.
#pragma once

#include "MapObjects.h"

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

struct CityDb;
struct GLUtesselator;

// The triangles of one outline: index triples into its points; an index from the point count on names
// `extra[index - count]`, a point the tessellator added where edges cross.
struct OutlineTriangleList {
    std::span<const std::uint32_t> index;
    const std::vector<TCoord>* extra = nullptr;
};

class OutlineTriangles {
public:
    OutlineTriangles();
    ~OutlineTriangles();
    OutlineTriangles(const OutlineTriangles&) = delete;
    OutlineTriangles& operator=(const OutlineTriangles&) = delete;

    // Forgets every outline and sizes the cache for a city.
    void Reset(std::size_t fields, std::size_t buildings);

    OutlineTriangleList Field(const TField& f, int index);
    OutlineTriangleList BuildingShape(const TBuilding& b, int index, int shape);

    // Outlines tessellated so far, and the indices they keep (for the memory they cost).
    std::size_t outlines() const { return outlines_; }
    std::size_t indices() const { return pool_.size(); }

    // Appends the triangles of one outline to `out` (indices as above, crossing points to `extra`); false
    // when the tessellator rejects the outline, which then has no triangles.
    template <class Points>
    bool Tessellate(const Points& points, std::vector<std::uint32_t>& out, std::vector<TCoord>& extra);

private:
    struct Entry {
        std::uint32_t first = 0;
        std::uint32_t count = NotYet;
    };
    static constexpr std::uint32_t NotYet = 0xFFFFFFFFu;
    static constexpr std::uint32_t HasExtra = 0x80000000u; // the outline has crossing points (in a count)

    GLUtesselator* tess_ = nullptr;
    std::vector<double> coords_;
    std::vector<std::uint32_t> pool_; // fields: the indices; buildings: per shape a count, then its indices
    std::vector<Entry> fields_, buildings_;
    std::unordered_map<std::uint64_t, std::vector<TCoord>>
        extra_; // by (object << 32 | shape), fields as shape 0xFFFF
    std::vector<TCoord> extraScratch_;
    std::size_t outlines_ = 0;
};
