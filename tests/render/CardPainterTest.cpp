#include "CardPainter.h"
#include "CityDb.h"
#include "ColorConvert.h"

#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// One card with an icon and a line of text, painted on a surface of `ratio` device pixels per pixel.
QImage PaintCard(double ratio) {
    TCard card;
    card.height = 40;
    TBlock b;
    b.height = 40;
    Tpic pic;
    pic.left = 10, pic.top = 12, pic.width = 15, pic.height = 16, pic.name = QStringLiteral("imgWWW");
    b.pic.push_back(pic);
    Ttxt t;
    t.left = 30, t.top = 12, t.width = 80, t.height = 14, t.caption = QStringLiteral("www.example.org");
    b.txt.push_back(t);
    card.blocks.push_back(b);
    CityDb db;
    CardPictures pictures(db, nullptr);
    const FontMeasure measure(CardFont());
    QImage img(QSize(200, 40) * ratio, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(ratio);
    QPainter p(&img);
    DrawCard(p, card, 200, 0, measure, pictures);
    return img;
}

} // namespace

TEST(CardPainter, IconsAreDrawnForThePixelDensityInTheirPlace) {
    for (double ratio : {1.0, 1.5, 2.0}) {
        const QImage card = PaintCard(ratio);
        const QImage* icon = CardIcon(QStringLiteral("imgWWW"), ratio);
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->size(), QSize(int(std::lround(15 * ratio)), int(std::lround(16 * ratio))))
            << "as many pixels as the surface gives it";
        // The card shows the icon's own pixels, one to one, over the card colour.
        QImage expected(icon->size(), QImage::Format_ARGB32_Premultiplied);
        expected.setDevicePixelRatio(ratio);
        expected.fill(ToQColor(CardColor));
        QPainter(&expected).drawImage(0, 0, *icon);
        const QPoint origin = QPoint(10, 12) * ratio;
        int differing = 0;
        for (int y = 0; y < icon->height(); ++y)
            for (int x = 0; x < icon->width(); ++x)
                differing += card.pixel(origin + QPoint(x, y)) != expected.pixel(x, y);
        EXPECT_EQ(differing, 0) << "ratio " << ratio;
    }
}
