// The main window's top tool strip: its buttons keep their full size while the strip is wide enough
// and become smaller together when it is not, so that none runs under the directory panel or under
// the system buttons at the end of the strip.
#pragma once

class QWidget;

// Sizes of the buttons of one strip.
struct ToolRowSize {
    int size; // a button's width and height
    int step; // from one button's left to the next one's
};

// The largest size up to `fullSize` at which `count` buttons, 2 pixels apart, and `extra` pixels
// besides fit in `width`; never below `minSize`.
ToolRowSize FitToolRow(int count, int width, int extra, int fullSize, int minSize);

// Places the tool buttons of `strip` (its direct children, left to right in creation order) for a strip
// `width` pixels wide. When `sysInStrip`, the system buttons of `sys` share the strip at its right end
// and take the same size; otherwise they keep their full size.
void LayoutToolStrip(QWidget* strip, QWidget* sys, int width, bool sysInStrip, int fullSize);
