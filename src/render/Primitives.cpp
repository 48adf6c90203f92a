#include "Primitives.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

using Pixels = PixelSurface;

// Blends colour c into pixel p with weight a: each channel becomes round(a * c + (1 - a) * p).
// The weight in 1/65536 steps: within 0.002 of a channel value of the exact blend, so the rounded
// result differs only where the exact value lies that close to a half.
inline QRgb Mix(QRgb p, QRgb c, double a) {
    const std::uint32_t w = std::uint32_t(a * 65536 + 0.5), iw = 65536 - w;
    auto ch = [w, iw](std::uint32_t cc, std::uint32_t pp) { return (w * cc + iw * pp + 32768) >> 16; };
    return 0xFF000000u | (ch((c >> 16) & 0xFF, (p >> 16) & 0xFF) << 16) | (ch((c >> 8) & 0xFF, (p >> 8) & 0xFF) << 8) |
           ch(c & 0xFF, p & 0xFF);
}

// One step of an antialiased line: the pair of pixels across the minor axis at coordinate v.
// `major` is the step's pixel on the major axis, known to be inside; minor pixels outside are skipped.
template <bool XMajor>
inline void BlendPair(const Pixels& px, int major, double v, QRgb c) {
    // floor without a library call: truncation, corrected for negative values.
    int m = int(v);
    if (v < m) --m;
    const double frac = v - m;
    const int limit = XMajor ? px.h : px.w;
    if (m >= 0 && m < limit && frac < 1) {
        QRgb& p = XMajor ? px.at(major, m) : px.at(m, major);
        p = Mix(p, c, 1 - frac);
    }
    if (m + 1 >= 0 && m + 1 < limit && frac > 0) {
        QRgb& p = XMajor ? px.at(major, m + 1) : px.at(m + 1, major);
        p = Mix(p, c, frac);
    }
}

// Visits every pixel of a segment once, from the first point to the second; inlined into each user,
// since plain lines are drawn in the hot path of every frame.
template <class Visit> inline void Bresenham(QPoint a, QPoint b, Visit&& visit) {
    int x = a.x(), y = a.y();
    const int dx = std::abs(b.x() - x), dy = -std::abs(b.y() - y);
    const int sx = x < b.x() ? 1 : -1, sy = y < b.y() ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        visit(x, y);
        if (x == b.x() && y == b.y()) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

} // namespace

PixelSurface::PixelSurface(QImage& img)
    : bits(img.bits()), stride(img.bytesPerLine()), w(img.width()), h(img.height()), ratio(img.devicePixelRatio()),
      thickness(std::max(1, int(std::floor(img.devicePixelRatio() + 1e-9)))) {}

int PixelSurface::device(int v) const {
    // The line's pixels are centred on the middle of the logical pixel.
    return int(std::floor((v + 0.5) * ratio - thickness / 2.0 + 0.5));
}

namespace {

// A line of a high-density surface: its ends on device pixels, `thickness` copies side by side across
// the major axis, the far end stretched so that the last logical pixel is covered whole.
template <class Draw> void DeviceLine(const PixelSurface& px, QPoint a, QPoint b, Draw&& draw) {
    a = QPoint(px.device(a.x()), px.device(a.y()));
    b = QPoint(px.device(b.x()), px.device(b.y()));
    const int t = px.thickness;
    const bool xMajor = std::abs(b.x() - a.x()) >= std::abs(b.y() - a.y());
    if (xMajor) (a.x() <= b.x() ? b : a).rx() += t - 1;
    else (a.y() <= b.y() ? b : a).ry() += t - 1;
    for (int k = 0; k < t; ++k) {
        const QPoint d = xMajor ? QPoint(0, k) : QPoint(k, 0);
        draw(a + d, b + d);
    }
}

void AntialiasedDeviceLine(const PixelSurface& px, QPoint a, QPoint b, QRgb color);

} // namespace

void AntialiasedLine(QImage& img, QPoint a, QPoint b, QRgb color) { AntialiasedLine(PixelSurface(img), a, b, color); }

void AntialiasedLine(const PixelSurface& px, QPoint a, QPoint b, QRgb color) {
    if (px.ratio == 1) AntialiasedDeviceLine(px, a, b, color);
    else DeviceLine(px, a, b, [&](QPoint c, QPoint d) { AntialiasedDeviceLine(px, c, d, color); });
}

namespace {

void AntialiasedDeviceLine(const PixelSurface& px, QPoint a, QPoint b, QRgb color) {
    color |= 0xFF000000u;
    if (a.y() == b.y()) {
        if (a.y() < 0 || a.y() >= px.h) return;
        const int x0 = std::max(std::min(a.x(), b.x()), 0), x1 = std::min(std::max(a.x(), b.x()), px.w - 1);
        for (int x = x0; x <= x1; ++x) px.at(x, a.y()) = color;
        return;
    }
    if (a.x() == b.x()) {
        if (a.x() < 0 || a.x() >= px.w) return;
        const int y0 = std::max(std::min(a.y(), b.y()), 0), y1 = std::min(std::max(a.y(), b.y()), px.h - 1);
        for (int y = y0; y <= y1; ++y) px.at(a.x(), y) = color;
        return;
    }
    const int dx = b.x() - a.x(), dy = b.y() - a.y();
    if (std::abs(dx) >= std::abs(dy)) {
        if (a.x() > b.x()) std::swap(a, b);
        const double slope = double(b.y() - a.y()) / double(b.x() - a.x());
        double v = a.y();
        const int end = std::min(b.x(), px.w - 1);
        for (int x = a.x(); x <= end; ++x, v += slope)
            if (x >= 0) BlendPair<true>(px, x, v, color);
    } else {
        if (a.y() > b.y()) std::swap(a, b);
        const double slope = double(b.x() - a.x()) / double(b.y() - a.y());
        double v = a.x();
        const int end = std::min(b.y(), px.h - 1);
        for (int y = a.y(); y <= end; ++y, v += slope)
            if (y >= 0) BlendPair<false>(px, y, v, color);
    }
}

} // namespace

void DottedLine(const PixelSurface& px, QPoint a, QPoint b, QRgb color) {
    color |= 0xFF000000u;
    auto line = [&](QPoint c, QPoint d) {
        int k = 0;
        Bresenham(c, d, [&](int x, int y) {
            if (k++ % 3 == 0 && x >= 0 && y >= 0 && x < px.w && y < px.h) px.at(x, y) = color;
        });
    };
    if (px.ratio == 1) line(a, b);
    else DeviceLine(px, a, b, line);
}

void DrawRailwayDashes(QPainter& p, QPoint a, QPoint b, int w) {
    if (w <= 0) return;
    const int period = 6 * w;
    int k = 0;
    QPoint from;
    Bresenham(a, b, [&](int x, int y) {
        const int m = k % period;
        if (m == 3 * w) from = QPoint(x, y);
        else if (m == period - 1) p.drawLine(from, QPoint(x, y));
        ++k;
    });
}

void DrawContourText(QPainter& p, QPoint topLeft, const QString& text, const QColor& color, bool contour) {
    const int ascent = p.fontMetrics().ascent();
    const QPoint base = topLeft + QPoint(0, ascent);
    if (contour) {
        static const QPoint Around[8] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {1, 1}, {-1, -1}, {1, -1}, {-1, 1}};
        p.setPen(Qt::white);
        for (QPoint d : Around) p.drawText(base + d, text);
    }
    p.setPen(color);
    p.drawText(base, text);
}

void SolidLine(const PixelSurface& px, QPoint a, QPoint b, QRgb color) {
    color |= 0xFF000000u;
    auto line = [&](QPoint c, QPoint d) {
        Bresenham(c, d, [&](int x, int y) {
            if (x >= 0 && y >= 0 && x < px.w && y < px.h) px.at(x, y) = color;
        });
    };
    if (px.ratio == 1) line(a, b);
    else DeviceLine(px, a, b, line);
}
