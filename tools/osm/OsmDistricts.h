// Districts of an imported city: which administrative level splits the extract into parts, and the
// outlines of those parts cut to the extract's bounds.
#pragma once

#include "OsmClip.h"

#include <functional>
#include <optional>
#include <vector>

struct AdminArea {
    int level = 0;                   // admin_level: 8, 9 or 10
    std::vector<TShapeFis> rings;    // whole outer rings
    std::vector<TShapeFis> cutLines; // what the extract left of a cut outline, joined end to end
    std::optional<TCoord> inside;    // a point known to lie inside (the place of the same name)
};

struct DistrictChoice {
    int level = 0;    // 0: no level splits the extract
    int unclosed = 0; // cut outlines open elsewhere than at the bounds (left out)
    int empty = 0;    // areas that hold nothing of the extract (left out)
};

// Cuts every area's rings to `box` (when valid) and closes cut outlines along it where they are open only
// there; an area none of whose rings `holds` something of the extract (a foreign town of which only the
// border line came with the data) loses them. Then takes the lowest level (10, else 9, else 8) with two
// or more areas left. The areas keep their rings as cut; an area with none left is no district.
DistrictChoice ChooseDistricts(std::vector<AdminArea>& areas, const ClipBox& box,
                               const std::function<bool(const TShapeFis&)>& holds);
