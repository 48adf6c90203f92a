#include "MapIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <map>

namespace {

QImage Canvas(int w, int h, double ratio, QImage::Format format = QImage::Format_ARGB32_Premultiplied) {
    QImage img(int(std::lround(w * ratio)), int(std::lround(h * ratio)), format);
    img.setDevicePixelRatio(ratio);
    img.fill(format == QImage::Format_RGB32 ? Qt::white : Qt::transparent);
    return img;
}

// Pictures are drawn once per kind and ratio (GUI thread only); a window moves between a few ratios.
template <class Draw> const QImage& Cached(std::map<std::pair<int, int>, QImage>& cache, int kind, double ratio,
                                           Draw&& draw) {
    const std::pair<int, int> key(kind, int(std::lround(ratio * 100)));
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(key, draw()).first;
    return it->second;
}

QImage DrawPOI(TPOIType tip, double ratio) {
    QImage img = Canvas(16, 16, ratio);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(40, 40, 40);
    switch (tip) {
    case ptSport: // a pitch with its centre line
        p.setBrush(QColor(60, 160, 70));
        p.setPen(QPen(Qt::white, 1));
        p.drawRect(1, 3, 14, 10);
        p.drawLine(8, 3, 8, 13);
        p.drawEllipse(QPointF(8, 8), 2, 2);
        break;
    case ptChildren: // a swing
        p.setPen(QPen(QColor(200, 90, 20), 1.5));
        p.drawLine(2, 14, 5, 2);
        p.drawLine(14, 14, 11, 2);
        p.drawLine(4, 2, 12, 2);
        p.setPen(QPen(ink, 1));
        p.drawLine(7, 2, 7, 10);
        p.drawLine(9, 2, 9, 10);
        p.setBrush(QColor(230, 180, 40));
        p.drawRect(6, 10, 4, 2);
        break;
    case ptTrash: // a bin
        p.setBrush(QColor(120, 130, 140));
        p.setPen(QPen(ink, 1));
        p.drawRect(4, 5, 8, 10);
        p.drawLine(3, 4, 13, 4);
        p.drawLine(7, 2, 9, 2);
        p.drawLine(6, 7, 6, 13);
        p.drawLine(10, 7, 10, 13);
        break;
    case ptToilet: // "WC" on blue
        p.setBrush(QColor(30, 90, 190));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(0, 2, 16, 12, 2, 2);
        p.setPen(Qt::white);
        p.setFont(QFont("Liberation Sans", 6, QFont::Bold));
        p.drawText(QRect(0, 2, 16, 12), Qt::AlignCenter, "WC");
        break;
    case ptMemorial: // a monument on a plinth
        p.setBrush(QColor(150, 120, 90));
        p.setPen(QPen(ink, 1));
        p.drawRect(3, 12, 10, 3);
        p.drawRect(6, 3, 4, 9);
        p.drawEllipse(QPointF(8, 2.5), 1.5, 1.5);
        break;
    case ptFontan: { // water rising from a basin
        p.setPen(QPen(QColor(30, 120, 220), 1.5));
        p.drawLine(8, 12, 8, 3);
        QPainterPath arc;
        arc.moveTo(8, 4);
        arc.quadTo(3, 3, 3, 9);
        arc.moveTo(8, 4);
        arc.quadTo(13, 3, 13, 9);
        p.setBrush(Qt::NoBrush);
        p.drawPath(arc);
        p.setBrush(QColor(120, 180, 240));
        p.setPen(QPen(ink, 1));
        p.drawRect(1, 12, 14, 3);
        break;
    }
    case ptAttr: // a big wheel
        p.setPen(QPen(QColor(180, 40, 140), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(8, 7), 6, 6);
        for (int a = 0; a < 4; ++a) {
            p.save();
            p.translate(8, 7);
            p.rotate(45 * a);
            p.drawLine(-6, 0, 6, 0);
            p.restore();
        }
        p.setPen(QPen(ink, 1.2));
        p.drawLine(8, 7, 4, 15);
        p.drawLine(8, 7, 12, 15);
        break;
    default:
        p.setBrush(ink);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(8, 8), 3, 3);
        break;
    }
    return img;
}

QImage DrawMark(bool yellow, double ratio) {
    // White is the transparent colour of marks, so the picture is opaque with a white background.
    QImage img = Canvas(13, 18, ratio, QImage::Format_RGB32);
    QPainter p(&img);
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(1, 0, 1, 17); // the pole
    QPolygon flag({QPoint(2, 1), QPoint(12, 4), QPoint(2, 8)});
    p.setBrush(yellow ? QColor(250, 220, 0) : QColor(220, 20, 20));
    p.drawPolygon(flag);
    return img;
}

} // namespace

const QImage& POIIcon(TPOIType tip, double ratio) {
    static std::map<std::pair<int, int>, QImage> icons;
    const TPOIType kind = tip <= ptAttr ? tip : TPOIType(255);
    return Cached(icons, kind, ratio, [&] { return DrawPOI(kind, ratio); });
}

const QImage& MarkPicture(bool yellow, double ratio) {
    static std::map<std::pair<int, int>, QImage> marks;
    return Cached(marks, yellow, ratio, [&] { return DrawMark(yellow, ratio); });
}

const QImage& MarkOverlay(bool yellow, double ratio) {
    static std::map<std::pair<int, int>, QImage> marks;
    return Cached(marks, yellow, ratio, [&] {
        QImage img = MarkPicture(yellow, ratio).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < img.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x)
                if ((row[x] & 0xFFFFFF) == 0xFFFFFF) row[x] = 0;
        }
        return img;
    });
}
