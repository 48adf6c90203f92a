// Drawing primitives of the 2D map with exact pixel rules: antialiased lines, the railway dash walk
// and contour text.
#pragma once

#include "ColorConvert.h"

#include <QColor>
#include <QPoint>
#include <QRgb>

class QImage;
class QPainter;
class QFont;
class QString;


// An antialiased line of width 1 straight into the pixels of a 32-bit image: each step along the major
// axis blends the colour into the two pixels around the exact minor coordinate. Horizontal and vertical
// lines are plain, both ends included. Pixels outside the image are skipped.
void AntialiasedLine(QImage& img, QPoint a, QPoint b, QRgb color);

// The pixels of a 32-bit image, fetched once, for drawing many lines in one frame. Lines are given in
// the image's logical pixels: on a high-density image (device pixel ratio above 1) their ends are
// placed on the device pixels that logical pixel covers, and a line is floor(ratio) pixels wide.
struct PixelSurface {
    uchar* bits = nullptr;
    qsizetype stride = 0;
    int w = 0, h = 0;
    double ratio = 1;
    int thickness = 1;
    explicit PixelSurface(QImage& img);
    QRgb& at(int x, int y) const { return reinterpret_cast<QRgb*>(bits + y * stride)[x]; }
    // The first device pixel of a line through logical pixel v.
    int device(int v) const;
};
void AntialiasedLine(const PixelSurface& px, QPoint a, QPoint b, QRgb color);
// A plain 1-pixel line, both ends included, straight into the pixels.
void SolidLine(const PixelSurface& px, QPoint a, QPoint b, QRgb color);
// A dotted 1-pixel line (one pixel on, two off, from `a`), straight into the pixels: the dots follow the
// line's own ends, so a line clipped by the picture's edge keeps them where they were.
void DottedLine(const PixelSurface& px, QPoint a, QPoint b, QRgb color);

// The white dashes of a railway w pixels wide: a dash of about 3w pixels, then a gap of 3w.
void DrawRailwayDashes(QPainter& p, QPoint a, QPoint b, int w);

// Text with a white contour (eight neighbours first) when `contour` is on; `topLeft` is the text's top-left.
void DrawContourText(QPainter& p, QPoint topLeft, const QString& text, const QColor& color, bool contour);
