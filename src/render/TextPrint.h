// Plain text lines on paged output (a printer or a PDF file): one line after another in a plain
// font, a line too wide for the page wrapped at its words, a new page when one is full. The device's
// margins are kept, at least 10 mm on every side; a run of lines between empty lines (a card) is kept on
// one page where it fits.
#pragma once

#include <QString>
#include <QStringList>

class QPagedPaintDevice;

// Empty on success, else why nothing could be printed.
QString PaintLines(QPagedPaintDevice& device, const QStringList& lines);
