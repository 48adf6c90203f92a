// Land from the coastline. Coastline ways run with the land on their left; joined end to end they are
// islands (closed) or pieces that the extract's bounds cut open, which are closed along the bounds so
// that the land stays on the left.
#pragma once

#include "OsmClip.h"

#include <vector>

struct CoastLand {
    std::vector<TShapeFis> rings; // land, without repeated end points
    int broken = 0;               // pieces that end inside the bounds (a coastline the data breaks off)
};

// The land inside `box` that the coastline ways (in their mapped direction) bound. Empty when the
// coastline closes nothing within the box.
CoastLand LandFromCoastline(const std::vector<TShapeFis>& ways, const ClipBox& box);
