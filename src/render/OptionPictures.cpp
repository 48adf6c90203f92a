#include "OptionPictures.h"

#include "ColorConvert.h"

#include <QLinearGradient>
#include <QPainter>

namespace {

const QColor Fill = ToQColor(0xFFEFE3);
const QColor Outline = ToQColor(0xCF9365);

// The band picture stretched into the header of every group.
QImage HeaderGradient() {
    QImage g(1, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y) {
        const int k = y * 255 / 15;
        g.setPixel(
            0, y,
            qRgb(255 - k * (255 - 0xC9) / 255, 255 - k * (255 - 0xDD) / 255, 255 - k * (255 - 0xF6) / 255));
    }
    return g;
}

} // namespace

QImage PaintHeaderPicture(QSize size) {
    const int w = qMax(size.width(), 4), h = qMax(size.height(), 19);
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Fill);
    QPainter p(&img);
    p.setPen(Outline);
    p.drawRect(0, 0, w - 1, h - 1);
    p.drawLine(0, 17, w - 1, 17);
    p.setPen(Qt::white);
    p.drawLine(1, 1, w - 2, 1);
    p.drawLine(1, 1, 1, h - 2);
    p.drawImage(QRect(2, 2, w - 3, 15), HeaderGradient());
    return img;
}

QImage PaintOptionPicture(OptionPicture kind) {
    QImage img(44, 32, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor dark(40, 60, 110);
    switch (kind) {
    case OptionPicture::Center:
    case OptionPicture::Corner: {
        p.fillRect(QRect(0, 0, 44, 32), QColor(236, 242, 230));
        p.setPen(QPen(dark, 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(6.5, 5.5, 31, 21));
        const QPointF from = kind == OptionPicture::Center ? QPointF(22, 16) : QPointF(6.5, 5.5);
        const QPointF to = kind == OptionPicture::Center ? QPointF(35, 24) : QPointF(35, 24);
        p.setPen(QPen(Qt::red, 1.5));
        p.drawLine(from, to);
        p.setBrush(Qt::red);
        p.drawEllipse(from, 2.5, 2.5);
        QPolygonF head;
        head << to << to + QPointF(-5, -1) << to + QPointF(-1, -5);
        p.drawPolygon(head);
        break;
    }
    case OptionPicture::Left:
    case OptionPicture::Right: {
        const QRectF window(1.5, 1.5, 41, 29);
        p.setPen(QPen(dark, 1));
        p.setBrush(QColor(214, 236, 204));
        p.drawRect(window);
        const qreal x = kind == OptionPicture::Left ? 1.5 : 28.5;
        p.setBrush(QColor(255, 255, 255));
        p.drawRect(QRectF(x, 1.5, 14, 29));
        p.setPen(QPen(QColor(150, 160, 180), 1));
        for (int i = 0; i < 4; ++i)
            p.drawLine(QPointF(x + 3, 7 + i * 6), QPointF(x + 11, 7 + i * 6));
        p.setPen(QPen(QColor(190, 170, 120), 2));
        const qreal mx = kind == OptionPicture::Left ? 16 : 2;
        p.drawLine(QPointF(mx + 3, 22), QPointF(mx + 24, 9));
        break;
    }
    }
    return img;
}
