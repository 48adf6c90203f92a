#include "MinimapPictures.h"

#include "ColorSchemeStore.h"
#include "MapDisplay.h"
#include "MapRenderer.h"

#include <QPainter>
#include <cmath>

MinimapPictures BuildMinimap(TMap& map, MapView& view, MapDisplay& display, int MiniW, int MiniH,
                             double ratio) {
    MinimapPictures pics;
    MiniW = std::max(MiniW, 1);
    MiniH = std::max(MiniH, 1);
    if (!(ratio > 0)) ratio = 1;
    const MapView saved = view;
    const bool smooth = display.SmoothNow;
    view.SetSurface(MiniW, MiniH);
    const float worldWidth = view.WorldMaxX - view.WorldMinX;
    view.Scale = view.FullScale = worldWidth > 0 ? worldWidth / MiniW : MapView::MinScale;
    view.CorrectPosition(); // centres the city
    display.SmoothNow = false;
    QImage picture(int(std::ceil(MiniW * ratio - 0.001)), int(std::ceil(MiniH * ratio - 0.001)),
                   QImage::Format_RGB32);
    picture.setDevicePixelRatio(ratio);
    map.DrawMinimap(picture);
    display.SmoothNow = smooth;
    view = saved;
    pics.bright = picture;
    pics.dark = picture.copy();
    DarkenPicture(pics.dark, 15);
    return pics;
}

void DarkenPicture(QImage& picture, int percent) {
    for (int y = 0; y < picture.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            row[x] = (row[x] & 0xFF000000u) | Darken(row[x] & 0xFFFFFF, percent);
    }
}

namespace {

// The dark picture with `r` copied from the bright one.
void Highlighted(const MinimapPictures& pics, const QRect& r, QPainter& p, QImage& out) {
    out = pics.dark.copy();
    p.begin(&out);
    p.save();
    p.setClipRect(r);
    p.drawImage(0, 0, pics.bright);
    p.restore();
}

QPen Cosmetic(const QColor& c, Qt::PenStyle style = Qt::SolidLine) {
    QPen pen(c, 0, style);
    pen.setCosmetic(true);
    return pen;
}

} // namespace

QImage MinimapWithFrame(const MinimapPictures& pics, const MiniRect& r) {
    if (pics.isNull()) return {};
    QImage out;
    QPainter p;
    Highlighted(pics, QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)), p, out);
    const int w = int(pics.bright.deviceIndependentSize().width()),
              h = int(pics.bright.deviceIndependentSize().height());
    const int mx = (r.left + r.right) / 2, my = (r.top + r.bottom) / 2;
    auto cross = [&] {
        p.drawLine(0, my, r.left, my);
        p.drawLine(r.right, my, w, my);
        p.drawLine(mx, 0, mx, r.top);
        p.drawLine(mx, r.bottom, mx, h);
    };
    p.setBrush(Qt::NoBrush);
    p.setPen(Cosmetic(Qt::white));
    cross();
    p.drawRect(QRect(QPoint(r.left, r.top), QPoint(r.right, r.bottom)));
    p.setPen(Cosmetic(Qt::black, Qt::DotLine));
    cross();
    // The bevel makes the view stand out of the dark city.
    auto path = [&](const QColor& c, std::initializer_list<QPoint> pts) {
        p.setPen(Cosmetic(c));
        const QPoint* prev = nullptr;
        for (const QPoint& pt : pts) {
            if (prev) p.drawLine(*prev, pt);
            prev = &pt;
        }
    };
    const QColor silver(192, 192, 192);
    path(Qt::black, {QPoint(r.left, r.bottom), QPoint(r.right, r.bottom), QPoint(r.right, r.top - 1)});
    path(Qt::black,
         {QPoint(r.left + 1, r.bottom - 2), QPoint(r.left + 1, r.top + 1), QPoint(r.right - 1, r.top + 1)});
    path(silver, {QPoint(r.left + 2, r.bottom - 2), QPoint(r.right - 2, r.bottom - 2),
                  QPoint(r.right - 2, r.top + 1)});
    path(silver,
         {QPoint(r.left - 1, r.bottom), QPoint(r.left - 1, r.top - 1), QPoint(r.right + 1, r.top - 1)});
    p.end();
    return out;
}

QImage MinimapWithDrag(const MinimapPictures& pics, const QRect& r) {
    if (pics.isNull()) return {};
    QImage out;
    QPainter p;
    Highlighted(pics, r, p, out);
    p.setBrush(Qt::NoBrush);
    p.setPen(Cosmetic(Qt::white));
    p.drawRect(r);
    p.setPen(Cosmetic(Qt::black, Qt::DotLine));
    p.drawRect(r);
    p.end();
    return out;
}
