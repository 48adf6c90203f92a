// The fifteen map cursors, drawn by the program and registered by number (1 to 15).
#pragma once

#include <QCursor>
#include <QImage>
#include <QPoint>
#include <array>

constexpr int MapCursorCount = 15;

// 32 x 32 picture of cursor `number` (1..15); a null image for other numbers.
QImage DrawCursorImage(int number);
QPoint CursorHotSpot(int number);

// Cursors by number; number 0 and unknown numbers give the arrow.
class CursorTable {
public:
    const QCursor& cursor(int number) const;
    void set(int number, const QCursor& c);

private:
    std::array<QCursor, MapCursorCount + 1> cursors_;
};

// Builds the fifteen cursors into `table`. Needs a running GUI application.
void LoadCursors(CursorTable& table);
