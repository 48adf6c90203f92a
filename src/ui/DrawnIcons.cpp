#include "DrawnIcons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace {

const QColor DefaultFace(0xf4, 0xf7, 0xfb);

// Draws the picture at every size a button or a hint panel asks for, sharp on dense screens too.
QIcon Drawn(std::initializer_list<int> sizes, const std::function<void(QPainter&, int)>& paint) {
    QIcon icon;
    for (int size : sizes)
        for (int ratio : {1, 2}) {
            QPixmap pm(size * ratio, size * ratio);
            pm.fill(Qt::transparent);
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(ratio, ratio);
            paint(p, size);
            p.end();
            pm.setDevicePixelRatio(ratio);
            icon.addPixmap(pm);
        }
    return icon;
}

} // namespace

void PaintToolFace(QPainter& p, int size, const QColor& face) {
    QLinearGradient g(0, 0, 0, size);
    g.setColorAt(0, face.lighter(104));
    g.setColorAt(1, face.darker(110));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x9d, 0xb0, 0xc8), 1));
    p.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), 5, 5);
}

QIcon PrinterIcon(const QColor& ink, int size) {
    return Drawn({size}, [ink](QPainter& p, int s) {
        PaintToolFace(p, s, DefaultFace);
        const qreal u = s / 28.0;
        const QPen outline(ink, 1.2 * u);
        // The sheet going in, the body, the printed sheet coming out.
        p.setPen(outline);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9 * u, 5 * u, 10 * u, 7 * u));
        p.setBrush(ink);
        p.drawRoundedRect(QRectF(5 * u, 11 * u, 18 * u, 9 * u), 2 * u, 2 * u);
        p.setBrush(QColor(0x6c, 0xc0, 0x4a));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(20 * u, 14 * u), 1.1 * u, 1.1 * u);
        p.setPen(outline);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9 * u, 16 * u, 10 * u, 8 * u));
        p.setPen(QPen(ink, 1 * u));
        p.drawLine(QPointF(11 * u, 19 * u), QPointF(17 * u, 19 * u));
        p.drawLine(QPointF(11 * u, 21.5 * u), QPointF(15 * u, 21.5 * u));
    });
}

QIcon ManualIcon() {
    return Drawn({16, 24, 28, 32}, [](QPainter& p, int s) {
        const qreal u = s / 16.0;
        const QColor cover(0x1c, 0x4f, 0x8c);
        // Two pages opened over a blue cover, with lines of text.
        p.setPen(Qt::NoPen);
        p.setBrush(cover);
        p.drawRoundedRect(QRectF(0.5 * u, 3 * u, 15 * u, 11 * u), 1.5 * u, 1.5 * u);
        p.setBrush(Qt::white);
        p.setPen(QPen(cover.darker(120), 0.6 * u));
        for (int side : {-1, 1}) { // the pages mirror each other about the spine
            const auto at = [u, side](qreal dx, qreal y) { return QPointF((8 + side * dx) * u, y * u); };
            QPainterPath page;
            page.moveTo(at(0, 4.5));
            page.quadTo(at(3, 2), at(6.2, 3));
            page.lineTo(at(6.2, 12.5));
            page.quadTo(at(3, 11.5), at(0, 13.5));
            page.closeSubpath();
            p.drawPath(page);
        }
        p.setPen(QPen(QColor(0x70, 0x80, 0x98), 0.7 * u));
        for (qreal y : {6.0, 8.0, 10.0}) {
            p.drawLine(QPointF(3.2 * u, y * u), QPointF(6.8 * u, (y + 0.3) * u));
            p.drawLine(QPointF(9.2 * u, (y + 0.3) * u), QPointF(12.8 * u, y * u));
        }
    });
}

QIcon RubricIcon() {
    return Drawn({16, 24, 28, 32}, [](QPainter& p, int s) {
        const qreal u = s / 16.0;
        const QColor node(0x1c, 0x4f, 0x8c);
        const QColor line(0x60, 0x60, 0x60);
        // A root with three entries below it; each entry a box and a line of text.
        p.setPen(QPen(line, 0.8 * u));
        p.drawLine(QPointF(3.5 * u, 4 * u), QPointF(3.5 * u, 13 * u));
        for (qreal y : {7.5, 10.5, 13.5}) p.drawLine(QPointF(3.5 * u, y * u), QPointF(6 * u, y * u));
        p.setPen(Qt::NoPen);
        p.setBrush(node);
        p.drawRect(QRectF(1.5 * u, 1 * u, 4 * u, 3.5 * u));
        for (qreal y : {7.5, 10.5, 13.5}) p.drawRect(QRectF(6 * u, (y - 1.25) * u, 2.5 * u, 2.5 * u));
        p.setBrush(line);
        p.drawRect(QRectF(7 * u, 2 * u, 8 * u, 1.5 * u));
        for (qreal y : {7.5, 10.5, 13.5}) p.drawRect(QRectF(9.5 * u, (y - 0.6) * u, 5.5 * u, 1.2 * u));
    });
}
