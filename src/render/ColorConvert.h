// TColor (0x00BBGGRR, red lowest) to and from Qt colours.
#pragma once

#include "ColorScheme.h"

#include <QColor>

inline QColor ToQColor(TColor c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

inline QRgb ToQRgb(TColor c) { return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

inline TColor ToTColor(const QColor& c) {
    return TColor(c.red()) | (TColor(c.green()) << 8) | (TColor(c.blue()) << 16);
}
