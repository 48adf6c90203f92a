// Icons drawn in code, for pictures no font glyph gives reliably.
#pragma once

#include <QColor>
#include <QIcon>

class QPainter;

// The rounded, shaded face of the map tool buttons, `size` pixels square.
void PaintToolFace(QPainter& p, int size, const QColor& face);

// A printer on the tool face, for the map tools.
QIcon PrinterIcon(const QColor& ink, int size);
// An open book, for the user manual.
QIcon ManualIcon();
// A small tree of entries, for the rubric list.
QIcon RubricIcon();
