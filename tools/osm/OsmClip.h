// The extract's bounds: what an import keeps is cut to a box, and outlines that the extract cut open
// are closed again along that box.
#pragma once

#include "MapObjects.h"

#include <optional>
#include <vector>

struct ClipBox {
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool contains(TCoord p) const { return p.x >= minX && p.x <= maxX && p.y >= minY && p.y <= maxY; }
    bool meets(float x0, float y0, float x1, float y1) const {
        return x0 <= maxX && x1 >= minX && y0 <= maxY && y1 >= minY;
    }
    bool valid() const { return maxX > minX && maxY > minY; }
};

// The part of segment a-b inside the box; false when none is.
bool ClipSegment(const ClipBox& box, TCoord& a, TCoord& b);
// The parts of a line inside the box, each a line of its own.
std::vector<TShapeFis> ClipLine(const ClipBox& box, const TShapeFis& line);
// The part of a ring (without repeated end point) inside the box; empty when nothing is.
TShapeFis ClipRing(const ClipBox& box, const TShapeFis& ring);

// Lines joined end to end where one ends on the point another begins or ends (within 1 cm), turning
// them as needed: the ways of a street or of a boundary become as few lines as their shape allows.
// A line whose ends meet comes back closed (its last point repeats its first).
std::vector<TShapeFis> JoinLines(std::vector<TShapeFis> lines);

// Rings from lines cut open by the box: every line must start and end on the box's edge (within
// `tolerance` metres); each ring runs along one or more of them and along the edge between. Of the two
// ways round, the one whose rings hold `inside` is taken, else the one with the smaller area (a
// boundary cut by the extract usually encloses less of it than it leaves out). Nothing when some line
// ends away from the edge.
std::optional<std::vector<TShapeFis>> CloseAlongBox(const ClipBox& box, const std::vector<TShapeFis>& cut,
                                                    std::optional<TCoord> inside, float tolerance = 0.5f);
