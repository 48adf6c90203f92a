#include "OpeningView.h"

#include "CityDb.h"

#include <algorithm>
#include <vector>

bool BuiltUpView(const CityDb& db, const MapView& view, ZoomTarget& target) {
    if (db.Buildings.size() < 2 || view.Width <= 0 || view.Height <= 0) return false;
    std::vector<float> xs, ys;
    xs.reserve(db.Buildings.size());
    ys.reserve(db.Buildings.size());
    for (const TBuilding& b : db.Buildings) {
        xs.push_back((b.minX_ + b.maxX_) / 2);
        ys.push_back((b.minY_ + b.maxY_) / 2);
    }
    // A farm far out or a lighthouse on a rock does not stretch the built-up area.
    const std::size_t cut = xs.size() / 100, last = xs.size() - 1 - cut;
    auto at = [](std::vector<float>& v, std::size_t k) {
        std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(k), v.end());
        return v[k];
    };
    const float minX = at(xs, cut), maxX = at(xs, last), minY = at(ys, cut), maxY = at(ys, last);
    const double worldArea = double(view.WorldMaxX - view.WorldMinX) * (view.WorldMaxY - view.WorldMinY);
    const double builtArea = double(maxX - minX) * (maxY - minY);
    if (!(worldArea > 0) || builtArea >= worldArea / 2) return false;
    // A little margin round the buildings.
    const float w = (maxX - minX) * 1.1f, h = (maxY - minY) * 1.1f;
    target.x = (minX + maxX) / 2;
    target.y = (minY + maxY) / 2;
    target.scale = std::clamp(std::max(w / float(view.Width), h / float(view.Height)), MapView::MinScale,
                              view.FullScale);
    return true;
}

void OpenAtBuiltUpArea(const CityDb& db, MapView& view) {
    ZoomTarget t;
    if (!BuiltUpView(db, view, t)) return;
    view.Scale = t.scale;
    view.OriginX = t.x;
    view.OriginY = t.y;
    view.CorrectPosition();
}
