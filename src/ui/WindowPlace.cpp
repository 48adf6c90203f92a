#include "WindowPlace.h"

#include <QGuiApplication>
#include <QLayout>
#include <QList>
#include <QScreen>
#include <QWidget>

void PlaceOnScreen(QWidget* w) {
    // Captions just set have only posted their layout requests: settle the layouts inside out, each
    // passing its new size up to the next.
    const QList<QWidget*> inner = w->findChildren<QWidget*>();
    for (auto it = inner.crbegin(); it != inner.crend(); ++it)
        if (QLayout* l = (*it)->layout()) l->activate();
    if (QLayout* l = w->layout()) l->activate();
    QWidget* parent = w->parentWidget() ? w->parentWidget()->window() : nullptr;
    if (parent && !parent->isVisible()) parent = nullptr;
    QScreen* screen = parent ? parent->screen() : w->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect avail = screen->availableGeometry();
    // The frame is not known before the window is mapped; the parent's is the best guess.
    const QSize frame = parent ? parent->frameGeometry().size() - parent->size() : QSize(0, 0);
    const QSize outer = w->size() + frame;

    const bool placed = w->testAttribute(Qt::WA_Moved);
    QPoint p = w->pos();
    if (!placed) {
        const QRect over = parent ? parent->frameGeometry() : avail;
        p = over.center() - QPoint(outer.width() / 2, outer.height() / 2) + QPoint(1, 1);
    }
    // Right and bottom first, so that a window larger than the screen keeps its top left visible.
    p.setX(qMax(qMin(p.x(), avail.x() + avail.width() - outer.width()), avail.x()));
    p.setY(qMax(qMin(p.y(), avail.y() + avail.height() - outer.height()), avail.y()));
    w->move(p);
    // Still not a position of the program's choosing: the next showing centres it again.
    w->setAttribute(Qt::WA_Moved, placed);
}
