// The banners and the running text: rotation, edge zones, clicks and the running text's reset rules.
#include "AdBanners.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>

namespace {

QImage Picture(QColor c) {
    QImage img(300, 60, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

void Click(QWidget* w, int x, Qt::MouseButton button = Qt::LeftButton) {
    const QPointF at(x, w->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), button, button, {});
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), button, {}, {});
    QApplication::sendEvent(w, &release);
}

TEST(BannerStrip, EdgesTurnTheMiddleOpensAndNoBannersOpenNothing) {
    TBannerStrip strip;
    strip.resize(300, 60);
    QList<int> opened;
    strip.clicked = [&](int id) { opened << id; };
    strip.SetBanners({{Picture(Qt::red), 11, 4000}, {Picture(Qt::green), 22, 10000}, {Picture(Qt::blue), 33, 5000}},
                     0, Picture(Qt::gray));
    EXPECT_EQ(strip.Tag, 11);
    EXPECT_EQ(strip.timDownBanner.interval(), 4000); // the first change comes after 4 s
    Click(&strip, 5);                                  // left edge: the next one
    EXPECT_EQ(strip.Tag, 22);
    EXPECT_EQ(strip.timDownBanner.interval(), 10000); // an advertiser with seconds 6 stays 10 s
    Click(&strip, 295);                                // right edge: back again
    Click(&strip, 295);                                // and back past the start, to the last
    EXPECT_EQ(strip.Tag, 33);
    Click(&strip, 150);
    Click(&strip, 150, Qt::RightButton); // other buttons do nothing
    EXPECT_EQ(opened, QList<int>{33});

    strip.SetBanners({}, -1, Picture(Qt::gray));
    EXPECT_EQ(strip.Tag, -1);
    Click(&strip, 150);
    Click(&strip, 5);
    EXPECT_EQ(opened, QList<int>{33});
}

bool HasColour(const QImage& image, QColor c) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == c) return true;
    return false;
}

void Pause(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(BannerStrip, SlidesNeitherStopTheRotationNorMixPictures) {
    TBannerStrip strip;
    EXPECT_EQ(strip.size(), QSize(300, 60)); // the size banners are made for, whatever the panel
    strip.resize(336, 92);
    EXPECT_EQ(strip.size(), QSize(300, 60));
    strip.SetBanners({{Picture(Qt::red), 1, 4000}, {Picture(Qt::green), 2, 4000}, {Picture(Qt::blue), 3, 4000}}, 0,
                     Picture(Qt::gray));
    QEnterEvent enter(QPointF(150, 30), QPointF(150, 30), QPointF(150, 30));
    QApplication::sendEvent(&strip, &enter);
    EXPECT_FALSE(strip.timDownBanner.isActive()); // the pointer holds the banner

    // A click on the edge slides the next one in; a second click during that slide starts from the
    // banner the first brings: no column of the first picture is left.
    Click(&strip, 5);
    ASSERT_TRUE(strip.Sliding());
    Pause(80);
    ASSERT_TRUE(strip.Sliding());
    EXPECT_TRUE(HasColour(strip.grab().toImage(), Qt::red)); // half in, half out
    Click(&strip, 5);
    EXPECT_EQ(strip.Tag, 3);
    const QImage during = strip.grab().toImage();
    EXPECT_FALSE(HasColour(during, Qt::red));
    EXPECT_TRUE(HasColour(during, Qt::green));

    // The pointer leaves while the slide runs: the rotation goes on.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&strip, &leave);
    ASSERT_TRUE(strip.Sliding());
    EXPECT_TRUE(strip.timDownBanner.isActive());
    ASSERT_TRUE([&] {
        for (int i = 0; i < 100 && strip.Sliding(); ++i)
            Pause(20);
        return !strip.Sliding();
    }());
    EXPECT_TRUE(strip.timDownBanner.isActive());
    const QImage after = strip.grab().toImage();
    EXPECT_EQ(after.pixelColor(150, 30), QColor(Qt::blue));
    EXPECT_FALSE(HasColour(after, Qt::green));
}

TEST(MapBanner, RightClickAdvancesLeftClickOpens) {
    TMapBanner banner;
    banner.resize(150, 40);
    QList<int> opened;
    banner.clicked = [&](int id) { opened << id; };
    banner.SetBanners({{Picture(Qt::red), 7, 0}, {Picture(Qt::green), 8, 0}}, 0);
    EXPECT_TRUE(banner.timMapBanner.isActive());
    Click(&banner, 70, Qt::RightButton);
    EXPECT_EQ(banner.Tag, 8);
    Click(&banner, 70, Qt::RightButton);
    Click(&banner, 70);
    EXPECT_EQ(opened, QList<int>{7});
    banner.SetBanners({}, -1);
    EXPECT_FALSE(banner.timMapBanner.isActive());
}

TEST(RunningString, TextsRunOneAfterAnotherWithTheirAdvertisers) {
    TRunningString running;
    running.resize(400, 22);
    QList<int> opened;
    running.clicked = [&](int id) { opened << id; };

    // No texts: the placeholder runs and a click opens nothing.
    running.SetTexts({}, {}, "Place for you");
    EXPECT_EQ(running.Texts, QStringList{"Place for you"});
    EXPECT_EQ(running.X, 410);
    Click(&running, 100);
    EXPECT_TRUE(opened.isEmpty());

    // Shuffled, but every text keeps its advertiser.
    const QStringList texts{"alpha", "beta", "gamma", "delta"};
    running.SetTexts(texts, {1, -1, 3, 4}, "unused");
    ASSERT_EQ(running.Texts.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const int at = texts.indexOf(running.Texts[i]);
        ASSERT_GE(at, 0);
        EXPECT_EQ(running.OrgIds[std::size_t(i)], QList<int>({1, -1, 3, 4})[at]);
    }
    const int first = running.Current;
    const int width = running.fontMetrics().horizontalAdvance(running.Texts[first]);
    // It runs until its last column has left the strip, then the next text starts past the right edge.
    running.Advance(410 + width);
    EXPECT_EQ(running.Current, first);
    EXPECT_EQ(running.X, -width);
    running.Advance(1);
    EXPECT_EQ(running.Current, (first + 1) % 4);
    EXPECT_EQ(running.X, 410);
    EXPECT_EQ(running.Tag, running.OrgIds[std::size_t(running.Current)]);
    Click(&running, 100);
    if (running.Tag == -1)
        EXPECT_TRUE(opened.isEmpty());
    else
        EXPECT_EQ(opened, QList<int>{running.Tag});
}

} // namespace
