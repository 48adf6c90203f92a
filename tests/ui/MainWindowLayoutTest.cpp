// The main window at its smallest size, with the directory panel on either side: every tool button
// shows whole, inside the window and clear of the others and of the search tabs.
#include "ProgramHarness.h"

#include <QIcon>
#include <QImage>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

namespace {

// The part of `w` that its ancestors up to `top` leave visible, in `top`'s coordinates.
QRect VisiblePart(QWidget* w, QWidget* top) {
    QRect r(w->mapTo(top, QPoint(0, 0)), w->size());
    for (QWidget* p = w->parentWidget(); p && p != top; p = p->parentWidget())
        r &= QRect(p->mapTo(top, QPoint(0, 0)), p->size());
    return r & top->rect();
}

// Pixels of a drawn picture: light faces and borders do not count, nor does a cross in signal red.
struct Ink {
    int dark = 0, red = 0, area = 0;
};
Ink InkOf(const QIcon& icon) {
    const QImage image = icon.pixmap(28, 28).toImage().convertToFormat(QImage::Format_ARGB32);
    Ink ink;
    ink.area = image.width() * image.height();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 128) continue;
            if (c.lightness() < 150) ++ink.dark;
            if (c.red() > 150 && c.green() < 90 && c.blue() < 90) ++ink.red;
        }
    return ink;
}

} // namespace

// Every button with a hint shows a picture, which its hint panel repeats; the manual's is no warning.
TEST_F(MainWindow, EveryHintedButtonShowsAPicture) {
    int hinted = 0;
    for (QToolButton* b : frm->findChildren<QToolButton*>()) {
        if (b->property("hintName").toString().isEmpty()) continue;
        ++hinted;
        EXPECT_GT(InkOf(b->icon()).dark * 200, InkOf(b->icon()).area) << b->objectName().toStdString();
    }
    EXPECT_GE(hinted, 12 + 8 + 1) << "the tool strip, the map tools and the rubric button at least";
    const Ink manual = InkOf(frm->frmHelp->btnHelp->icon());
    EXPECT_GT(manual.dark * 200, manual.area);
    EXPECT_EQ(manual.red, 0);
}

TEST_F(MainWindow, AtTheSmallestSizeEveryToolButtonShowsWholeAndAlone) {
    frm->setWindowState(Qt::WindowNoState);
    frm->resize(frm->minimumSize());
    ASSERT_TRUE(WaitUntil([&] { return frm->size() == frm->minimumSize(); }, 3000));
    for (int position : {1, 0}) {
        SCOPED_TRACE(position ? "directory on the right" : "directory on the left");
        app->settings.position = position;
        frm->LayoutPanels();
        QRect tabs;
        for (int i = 0; i < frm->pc->count(); ++i)
            tabs |= QRect(frm->pc->tabBar()->mapTo(frm, frm->pc->tabBar()->tabRect(i).topLeft()),
                          frm->pc->tabBar()->tabRect(i).size());
        std::vector<std::pair<QString, QRect>> taken = {{QStringLiteral("the tabs"), tabs}};
        int buttons = 0;
        for (QToolButton* b : frm->findChildren<QToolButton*>()) {
            if (!b->isVisibleTo(frm) || qobject_cast<QTabBar*>(b->parentWidget())) continue;
            ++buttons;
            const QRect r(b->mapTo(frm, QPoint(0, 0)), b->size());
            const std::string name = b->objectName().toStdString();
            EXPECT_EQ(VisiblePart(b, frm), r) << name << " is cut";
            EXPECT_GE(b->width(), 24) << name;
            for (const auto& [other, place] : taken) EXPECT_FALSE(place.intersects(r)) << name << " on " << other.toStdString();
            taken.emplace_back(b->objectName(), r);
        }
        EXPECT_GE(buttons, 12 + 4 + 9) << "the tool strip, the system buttons and the map tools at least";
    }
    // Wide again: the buttons take their full size back.
    frm->resize(1400, 900);
    ASSERT_TRUE(WaitUntil([&] { return frm->width() == 1400; }, 3000));
    EXPECT_EQ(frm->btnWeather->width(), 40);
    EXPECT_EQ(frm->btnCallback->width(), 40);
}
