#include "TextPrint.h"

#include <QFont>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextOption>

#include <algorithm>
#include <vector>

namespace {

// A real printer clips what lies at the paper's edge; a PDF gives no margins at all.
constexpr qreal MinMarginMm = 10;

void KeepMargins(QPagedPaintDevice& device) {
    const QMarginsF m = device.pageLayout().margins(QPageLayout::Millimeter);
    const QMarginsF kept(std::max(m.left(), MinMarginMm), std::max(m.top(), MinMarginMm),
                         std::max(m.right(), MinMarginMm), std::max(m.bottom(), MinMarginMm));
    if (kept != m) device.setPageMargins(kept, QPageLayout::Millimeter);
}

} // namespace

QString PaintLines(QPagedPaintDevice& device, const QStringList& lines) {
    KeepMargins(device);
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
    std::vector<qreal> needed;
    needed.reserve(std::size_t(lines.size()));
    for (const QString& line : lines)
        needed.push_back(line.isEmpty() ? metrics.lineSpacing()
                                        : p.boundingRect(QRectF(0, 0, width, height), line, wrap).height());
    qreal y = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // A run of lines between empty ones (a card) starts a new page rather than break, where it fits on one.
        qreal run = needed[std::size_t(i)];
        if (!lines[i].isEmpty() && (i == 0 || lines[i - 1].isEmpty()))
            for (qsizetype j = i + 1; j < lines.size() && !lines[j].isEmpty(); ++j)
                run += needed[std::size_t(j)];
        if (run > height) run = needed[std::size_t(i)];
        if (y > 0 && y + run > height) {
            if (!device.newPage()) return QStringLiteral("A new page cannot be started.");
            y = 0;
        }
        if (!lines[i].isEmpty()) p.drawText(QRectF(0, y, width, needed[std::size_t(i)]), lines[i], wrap);
        y += needed[std::size_t(i)];
    }
    if (!p.end()) return QStringLiteral("The output could not be completed.");
    return QString();
}
