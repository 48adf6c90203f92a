#include "TextPrint.h"

#include <QFont>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextOption>

QString PaintLines(QPagedPaintDevice& device, const QStringList& lines) {
    QPainter p;
    if (!p.begin(&device)) return QStringLiteral("The output cannot be opened for writing.");
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(11);
    p.setFont(font);
    p.setPen(Qt::black);
    const QFontMetrics metrics(font, &device);
    const qreal width = device.width(), height = device.height();
    // A word wider than the page is broken rather than cut off at its edge.
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    qreal y = 0;
    for (const QString& line : lines) {
        const qreal needed = line.isEmpty()
                                 ? metrics.lineSpacing()
                                 : p.boundingRect(QRectF(0, 0, width, height), line, wrap).height();
        if (y > 0 && y + needed > height) {
            if (!device.newPage()) return QStringLiteral("A new page cannot be started.");
            y = 0;
        }
        if (!line.isEmpty()) p.drawText(QRectF(0, y, width, needed), line, wrap);
        y += needed;
    }
    if (!p.end()) return QStringLiteral("The output could not be completed.");
    return QString();
}
