#include "StreetHitTest.h"

#include "MapView.h"

#include <QImage>
#include <QPainter>
#include <QPolygon>

StreetPixelTest MakeStreetPixelTest(const MapView& view) {
    return [&view](const TStreet& st, int x, int y) {
        if (st.shape.size() < 2) return false;
        constexpr int Patch = 5;
        QImage patch(Patch, Patch, QImage::Format_RGB32);
        patch.fill(Qt::black);
        QPolygon line;
        for (const TCoord& c : st.shape) {
            int px, py;
            view.WorldToScreen(c.x, c.y, px, py);
            line << QPoint(px, py);
        }
        QPainter p(&patch);
        p.translate(Patch / 2 - x, Patch / 2 - y);
        p.setPen(QPen(QColor(1, 0, 0), std::max(1, 5 * view.ToPixels(st.width)), Qt::SolidLine, Qt::RoundCap,
                      Qt::RoundJoin));
        p.drawPolyline(line);
        p.end();
        return patch.pixel(Patch / 2, Patch / 2) == qRgb(1, 0, 0);
    };
}
