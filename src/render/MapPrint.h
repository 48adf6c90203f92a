// The map on paper: the picture fitted to the page under a title line, optionally lightened to save ink.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>

class QPagedPaintDevice;

// Where a W x H picture goes on a page of pageW x pageH device pixels at dpiX x dpiY: half an inch from
// the top left, as large as the page allows less an inch, in the picture's proportions.
QRect FitMapToPage(int W, int H, int pageW, int pageH, int dpiX, int dpiY);

// A 24-bit copy with every channel 40 % of the way to white.
QImage EconomyCopy(const QImage& picture);

// One page: `title` in a 14-point font at the top, then the picture. Empty on success, else why the
// page could not be printed; the job is ended either way.
QString PaintMapPage(QPagedPaintDevice& device, const QImage& picture, bool economy, const QString& title);
