#include "MapCursors.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTransform>

namespace {

constexpr int Size = 32;
const QPointF Centre(16, 16);

QImage Blank() {
    QImage img(Size, Size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

// Light fill with a dark outline stays visible on both light and dark parts of the map.
void Outlined(QPainter& p, const QPainterPath& path) {
    p.setPen(QPen(Qt::black, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPath(path);
}

QPainterPath Hand(bool closed) {
    QPainterPath hand;
    hand.setFillRule(Qt::WindingFill);
    // Palm.
    hand.addRoundedRect(QRectF(8, 14, 16, 13), 5, 5);
    // Four fingers, short when the hand grips.
    const qreal lengths[4] = {10, 12, 11, 9};
    for (int i = 0; i < 4; ++i) {
        const qreal x = 8.5 + i * 4;
        const qreal len = closed ? 4 : lengths[i];
        hand.addRoundedRect(QRectF(x, 15 - len, 3.5, len + 3), 1.75, 1.75);
    }
    // Thumb.
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(-2, -1.75, closed ? 6 : 9, 3.5), 1.75, 1.75);
    hand.addPath(QTransform().translate(9, 20).rotate(closed ? 200 : 220).map(thumb));
    return hand.simplified();
}

// An arrow pointing up from the centre, turned by `degrees`.
QPainterPath Arrow(qreal degrees) {
    QPolygonF a;
    a << QPointF(16, 3) << QPointF(25, 13) << QPointF(19.5, 13) << QPointF(19.5, 27) << QPointF(12.5, 27)
      << QPointF(12.5, 13) << QPointF(7, 13) << QPointF(16, 3);
    QPainterPath path;
    path.addPolygon(a);
    QTransform t;
    t.translate(Centre.x(), Centre.y()).rotate(degrees).translate(-Centre.x(), -Centre.y());
    return t.map(path);
}

// A double-headed arrow across the centre, turned by `degrees` (0 is left-right).
QPainterPath DoubleArrow(qreal degrees) {
    QPolygonF a;
    a << QPointF(3, 16) << QPointF(10, 9) << QPointF(10, 13.5) << QPointF(22, 13.5) << QPointF(22, 9)
      << QPointF(29, 16) << QPointF(22, 23) << QPointF(22, 18.5) << QPointF(10, 18.5) << QPointF(10, 23)
      << QPointF(3, 16);
    QPainterPath path;
    path.addPolygon(a);
    QTransform t;
    t.translate(Centre.x(), Centre.y()).rotate(degrees).translate(-Centre.x(), -Centre.y());
    return t.map(path);
}

QPainterPath FourWay() {
    QPainterPath path = DoubleArrow(0).united(DoubleArrow(90));
    return path.simplified();
}

void DrawRuler(QPainter& p) {
    // Cross hairs at the hot spot.
    p.setPen(QPen(Qt::white, 3.5));
    p.drawLine(QPointF(1, 8), QPointF(15, 8));
    p.drawLine(QPointF(8, 1), QPointF(8, 15));
    p.setPen(QPen(Qt::black, 1.5));
    p.drawLine(QPointF(1, 8), QPointF(15, 8));
    p.drawLine(QPointF(8, 1), QPointF(8, 15));
    // A small ruler with ticks below and to the right.
    QPainterPath body;
    body.addRect(QRectF(0, 0, 18, 6));
    const QTransform t = QTransform().translate(13, 21).rotate(-30);
    Outlined(p, t.map(body));
    p.setPen(QPen(Qt::black, 1));
    for (int i = 1; i < 6; ++i) {
        const qreal x = i * 3;
        p.drawLine(t.map(QLineF(x, 0, x, i % 2 ? 2.5 : 4)));
    }
}

void DrawMagnifier(QPainter& p) {
    p.setPen(QPen(Qt::black, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19, 19), QPointF(28, 28));
    p.setPen(QPen(QColor(90, 90, 90), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19, 19), QPointF(27.5, 27.5));
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(QColor(225, 240, 255));
    p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
    p.setPen(QPen(Qt::black, 1.5));
    p.drawLine(QPointF(8, 12), QPointF(16, 12));
    p.drawLine(QPointF(12, 8), QPointF(12, 16));
}

} // namespace

QImage DrawCursorImage(int number) {
    if (number < 1 || number > MapCursorCount) return {};
    QImage img = Blank();
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    switch (number) {
    case 1:
        Outlined(p, Hand(true));
        break;
    case 2:
        Outlined(p, Hand(false));
        break;
    case 3:
        DrawRuler(p);
        break;
    case 4:
        Outlined(p, Arrow(0));
        break; // top edge
    case 5:
        Outlined(p, Arrow(270));
        break; // left edge
    case 6:
        Outlined(p, Arrow(180));
        break; // bottom edge
    case 7:
        Outlined(p, Arrow(90));
        break; // right edge
    case 8:
        Outlined(p, Arrow(45));
        break; // top-right corner
    case 9:
        Outlined(p, Arrow(315));
        break; // top-left corner
    case 10:
        Outlined(p, Arrow(225));
        break; // bottom-left corner
    case 11:
        Outlined(p, Arrow(135));
        break; // bottom-right corner
    case 12:
        DrawMagnifier(p);
        break;
    case 13:
        Outlined(p, DoubleArrow(0));
        break;
    case 14:
        Outlined(p, DoubleArrow(90));
        break;
    case 15:
        Outlined(p, FourWay());
        break;
    }
    return img;
}

QPoint CursorHotSpot(int number) {
    switch (number) {
    case 3:
        return {8, 8};
    case 12:
        return {12, 12};
    default:
        return {16, 16};
    }
}

const QCursor& CursorTable::cursor(int number) const {
    if (number < 1 || number > MapCursorCount) return cursors_[0];
    return cursors_[number];
}

void CursorTable::set(int number, const QCursor& c) {
    if (number >= 1 && number <= MapCursorCount) cursors_[number] = c;
}

void LoadCursors(CursorTable& table) {
    for (int n = 1; n <= MapCursorCount; ++n) {
        const QPoint hot = CursorHotSpot(n);
        table.set(n, QCursor(QPixmap::fromImage(DrawCursorImage(n)), hot.x(), hot.y()));
    }
}
