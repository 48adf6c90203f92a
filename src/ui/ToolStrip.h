// The main window's top tool strip: its buttons keep their full size while the strip is wide enough
// and become smaller together when it is not, so that none runs under the directory panel or under
// the system buttons at the end of the strip.
#pragma once

class QWidget;

// Places the tool buttons of `strip` (its direct children, in their order along it) for a strip
// `width` pixels wide. When `sysInStrip`, the system buttons of `sys` share the strip at its right end
// and take the same size; otherwise they keep their full size.
void LayoutToolStrip(QWidget* strip, QWidget* sys, int width, bool sysInStrip, int fullSize);
