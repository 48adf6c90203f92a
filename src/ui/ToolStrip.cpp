#include "ToolStrip.h"

#include <QToolButton>
#include <QWidget>
#include <algorithm>

namespace {

constexpr int Gap = 2;         // between buttons
constexpr int StripLeft = 2;   // the first button's left in the strip, and its top
constexpr int SysRight = 1;    // the system buttons' distance from the strip's right end
constexpr int SysGap = 6;      // between the last tool button and the system buttons
constexpr int MinToolSize = 24;

// Sizes of the buttons of one row.
struct ToolRowSize {
    int size; // a button's width and height
    int step; // from one button's left to the next one's
};

// The largest size up to `fullSize` at which `count` buttons, `Gap` pixels apart, and `extra` pixels
// besides fit in `width`; never below `minSize`.
ToolRowSize FitToolRow(int count, int width, int extra, int fullSize, int minSize) {
    if (count <= 0) return {fullSize, fullSize + Gap};
    const int size = std::clamp((width - extra + Gap) / count - Gap, minSize, fullSize);
    return {size, size + Gap};
}

// The buttons in their order along the strip (raising one changes the order of children, not of buttons).
QList<QToolButton*> Buttons(QWidget* w) {
    QList<QToolButton*> buttons = w->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly);
    std::stable_sort(buttons.begin(), buttons.end(), [](QToolButton* a, QToolButton* b) { return a->x() < b->x(); });
    return buttons;
}

// A row of buttons from `left`, vertically centred in a band `band` pixels high starting at `top`.
int PlaceRow(const QList<QToolButton*>& buttons, int left, int top, int band, ToolRowSize s) {
    const int y = top + (band - s.size) / 2;
    for (QToolButton* b : buttons) {
        b->setGeometry(left, y, s.size, s.size);
        b->setIconSize(QSize(s.size - 4, s.size - 4));
        left += s.step;
    }
    return buttons.isEmpty() ? left : left - Gap;
}

} // namespace

void LayoutToolStrip(QWidget* strip, QWidget* sys, int width, bool sysInStrip, int fullSize) {
    const QList<QToolButton*> tools = Buttons(strip), system = Buttons(sys);
    const int count = int(tools.size()) + (sysInStrip ? int(system.size()) : 0);
    const int extra = StripLeft + SysRight + (sysInStrip ? SysGap : 0);
    const ToolRowSize row = FitToolRow(count, width, extra, fullSize, MinToolSize);
    PlaceRow(tools, StripLeft, StripLeft, fullSize, row);
    const ToolRowSize sysRow = sysInStrip ? row : ToolRowSize{fullSize, fullSize + Gap};
    sys->resize(PlaceRow(system, 0, 0, fullSize, sysRow), fullSize);
}
