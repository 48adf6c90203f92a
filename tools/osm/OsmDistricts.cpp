#include "OsmDistricts.h"

#include "OsmGeometry.h"

#include <algorithm>
#include <array>

DistrictChoice ChooseDistricts(std::vector<AdminArea>& areas, const ClipBox& box,
                               const std::function<bool(const TShapeFis&)>& holds) {
    DistrictChoice choice;
    for (AdminArea& a : areas) {
        std::vector<TShapeFis> rings;
        for (TShapeFis& r : a.rings) {
            DropRepeatedPoints(r);
            TShapeFis cut = box.valid() ? ClipRing(box, r) : std::move(r);
            if (cut.size() >= 3) rings.push_back(std::move(cut));
        }
        // Pieces of a cut outline: rings where they closed anyway, else lines to close along the bounds.
        std::vector<TShapeFis> open;
        for (TShapeFis& l : a.cutLines) {
            if (l.size() > 3 && l.front() == l.back()) {
                l.pop_back();
                TShapeFis cut = box.valid() ? ClipRing(box, l) : std::move(l);
                if (cut.size() >= 3) rings.push_back(std::move(cut));
            } else if (box.valid()) {
                for (TShapeFis& piece : ClipLine(box, l))
                    open.push_back(std::move(piece));
            } else {
                open.push_back(std::move(l));
            }
        }
        if (!open.empty()) {
            std::optional<std::vector<TShapeFis>> closed;
            if (box.valid()) closed = CloseAlongBox(box, open, a.inside);
            if (closed)
                for (TShapeFis& r : *closed)
                    rings.push_back(std::move(r));
            else
                ++choice.unclosed;
        }
        a.cutLines.clear();
        if (!rings.empty() && std::none_of(rings.begin(), rings.end(), holds)) {
            ++choice.empty;
            rings.clear();
        }
        a.rings = std::move(rings);
    }
    std::array<int, 11> count{};
    for (const AdminArea& a : areas)
        if (!a.rings.empty() && a.level >= 8 && a.level <= 10) ++count[a.level];
    for (int level : {10, 9, 8})
        if (count[level] >= 2) {
            choice.level = level;
            break;
        }
    return choice;
}
