#include "MapPrint.h"

#include "TextTable.h"

#include <QFont>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>

namespace {

// a * b / c rounded half away from zero, for non-negative a, b and positive c.
qint64 MulDivPositive(qint64 a, qint64 b, qint64 c) {
    return (a * b + c / 2) / c;
}

} // namespace

QRect FitMapToPage(int W, int H, int pageW, int pageH, int dpiX, int dpiY) {
    W = std::max(W, 1);
    H = std::max(H, 1);
    int a, b;
    if (qint64(W) * pageH > qint64(H) * pageW) {
        a = std::max(pageW - dpiX, 1);
        b = int(MulDivPositive(H, a, W));
    } else {
        b = std::max(pageH - dpiY, 1);
        a = int(MulDivPositive(W, b, H));
    }
    // The picture keeps its size and proportions; its top left is half an inch into the page.
    return QRect(dpiX / 2, dpiY / 2, a, b);
}

QImage EconomyCopy(const QImage& picture) {
    QImage out = picture.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < out.height(); ++y) {
        uchar* row = out.scanLine(y);
        for (int x = 0; x < out.width() * 3; ++x)
            row[x] = uchar(row[x] + MulDivPositive(255 - row[x], 40, 100));
    }
    out.setDevicePixelRatio(1);
    return out;
}

QString PaintMapPage(QPagedPaintDevice& device, const QImage& picture, bool economy, const QString& title) {
    QPainter p;
    if (!p.begin(&device)) return LangText(u"PrintNotStarted");
    const int dpiX = device.logicalDpiX(), dpiY = device.logicalDpiY();
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSize(14);
    p.setFont(font);
    p.drawText(QRect(dpiX / 2, 0, device.width() - dpiX / 2, dpiY / 2), Qt::AlignLeft | Qt::AlignTop, title);
    QImage pixels = economy ? EconomyCopy(picture) : picture;
    pixels.setDevicePixelRatio(1);
    const QRect dest =
        FitMapToPage(pixels.width(), pixels.height(), device.width(), device.height(), dpiX, dpiY);
    p.drawImage(dest, pixels);
    if (!p.end()) return LangText(u"PrintFailed");
    return QString();
}
