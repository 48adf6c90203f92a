#include "LabelRoom.h"

#include <QTransform>
#include <cmath>
#include <numbers>

void LabelRoom::Add(QPoint anchor, double degrees, const QRect& local) {
    const double a = degrees * std::numbers::pi / 180.0;
    Box b{anchor, std::cos(a), std::sin(a), local, {}};
    QTransform t;
    t.translate(anchor.x(), anchor.y());
    t.rotate(-degrees);
    b.bounds = t.mapRect(local);
    boxes_.push_back(b);
}

bool LabelRoom::Covers(QPoint centre, int halfWidth, int halfHeight) const {
    for (const Box& b : boxes_) {
        if (!b.bounds.adjusted(-halfWidth, -halfHeight, halfWidth, halfHeight).contains(centre)) continue;
        // Into the label's own frame: the text is turned counter-clockwise on the screen (y down).
        const double dx = centre.x() - b.anchor.x(), dy = centre.y() - b.anchor.y();
        const double lx = dx * b.cos - dy * b.sin, ly = dx * b.sin + dy * b.cos;
        // A turned box is measured by the larger of its halves, which errs on the side of the label.
        const int reach = b.cos == 1.0 ? 0 : std::max(halfWidth, halfHeight);
        const double hw = b.cos == 1.0 ? halfWidth : reach, hh = b.cos == 1.0 ? halfHeight : reach;
        if (lx >= b.local.left() - hw && lx <= b.local.right() + hw && ly >= b.local.top() - hh &&
            ly <= b.local.bottom() + hh)
            return true;
    }
    return false;
}
