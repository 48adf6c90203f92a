#include "LabelMetrics.h"

#include <QFont>
#include <QFontMetrics>
#include <map>

namespace {

// Points to pixels the way the map's canvas sizes fonts: 96 dpi, rounded.
int PixelSize(int pointSize) {
    return (pointSize * 96 + 36) / 72;
}

const QFontMetrics& MetricsFor(int pointSize) {
    // Labels come in a handful of sizes; fonts are built once per size (GUI thread only).
    static std::map<int, QFontMetrics> cache;
    auto it = cache.find(pointSize);
    if (it == cache.end()) {
        QFont font(QStringLiteral("Liberation Sans"));
        font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
        font.setBold(true);
        font.setPixelSize(PixelSize(pointSize));
        it = cache.emplace(pointSize, QFontMetrics(font)).first;
    }
    return it->second;
}

} // namespace

int MeasureLabelWidth(const QString& text, int pointSize) {
    if (pointSize <= 0 || text.isEmpty()) return 0;
    return MetricsFor(pointSize).horizontalAdvance(text);
}

TextWidthMeasure LabelWidthMeasure() {
    return &MeasureLabelWidth;
}
