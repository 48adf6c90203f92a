// Lines of shadowed labels in the start window that must stay inside its fixed size, whatever the
// city file's representative or the interface language puts in them.
#pragma once

#include <QRect>
#include <vector>

struct TShadowLabel;
class QLabel;

// One label of a line and the gap before it.
struct LinePiece {
    TShadowLabel* label;
    int gap;
};

// Lays the pieces, holding their whole texts, out left to right inside `band` in the largest of
// `pointSizes` (descending) at which they fit: on one line, or, where the band is tall enough for two,
// with the first piece alone on the first line. When even the smallest size is too wide the longest
// piece of a line is shortened with "…" (its whole text stays in its tooltip and in its "fullText"
// property). Returns the point size used.
int FitLine(const std::vector<LinePiece>& pieces, const QRect& band, const std::vector<int>& pointSizes);

// The whole text of a label that FitLine may have shortened.
QString FullText(const QLabel* label);
