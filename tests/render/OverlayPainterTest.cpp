// Pixels of the map overlays: a balloon with header, tail, link and photo; the ruler's segments and
// node labels; the radius tint and handles; building photos read from a photo file.
#include "BalloonPainter.h"
#include "CardPainter.h"
#include "CityDb.h"
#include "CityFile.h"
#include "ColorConvert.h"
#include "MapView.h"
#include "TextTable.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Overlays : ::testing::Test {
    MapView v;
    OverlayFonts fonts;
    QImage img{400, 300, QImage::Format_RGB32};
    const QRgb ground = qRgb(200, 200, 200) & 0xFFFFFF;

    void SetUp() override {
        BindShellLang(nullptr);
        v.SetWorld(-1000, -1000, 1000, 1000);
        v.SetSurface(400, 300);
        v.Scale = 1;
        v.OriginX = v.OriginY = 0; // world (0, 0) is pixel (200, 150)
        img.fill(ground);
    }
    QRgb At(int x, int y) const { return img.pixel(x, y) & 0xFFFFFF; }
    static QRgb Rgb(int r, int g, int b) { return qRgb(r, g, b) & 0xFFFFFF; }
    int CountColor(const QRect& r, QRgb c) const {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += At(x, y) == (c & 0xFFFFFF);
        return n;
    }
};

TEST_F(Overlays, BalloonFrameHeaderTailLinkAndPhoto) {
    BalloonEnv env;
    env.view = &v;
    env.measure = &fonts.Balloon();
    env.InfoColor = 0xE1FFFF; // red 255, green 255, blue 225
    env.ShowFotoFirst = true;
    env.loadFoto = [](int, int& w, int& h) {
        auto photo = std::make_shared<QImage>(40, 20, QImage::Format_RGB32);
        photo->fill(qRgb(10, 200, 30));
        w = 40;
        h = 20;
        return photo;
    };
    TProps rows;
    AddProp(rows, {}, QStringLiteral("Жилой дом"), TitleTag);
    AddProp(rows, QStringLiteral("Адрес"), QStringLiteral("Ленина, 5"), PlainTag);
    AddProp(rows, QStringLiteral("foto"), QStringLiteral("0"), PlainTag);
    AddProp(rows, QStringLiteral("Зона"), QStringLiteral(" "), PlainTag);
    AddProp(rows, {}, QStringLiteral("    Организация"), 3);
    TInfo info;
    info.Create(env, rows, 0, 0, 400);
    {
        QPainter p(&img);
        DrawBalloon(p, info, v, fonts, false);
    }
    const QRgb fill = Rgb(255, 255, 225), sky = Rgb(166, 202, 240);
    const int l = info.left, t = info.top, r = info.left + info.width - 1, b = info.top + info.height - 1;
    EXPECT_EQ(At(l, t + 30), Rgb(0, 0, 0)); // frame
    EXPECT_EQ(At(r, t + 30), Rgb(0, 0, 0));
    EXPECT_EQ(At(l + 3, t + 12), sky);   // header band, left of the title
    EXPECT_EQ(At(l + 3, t + 21), sky);   // its lower line
    EXPECT_EQ(At(l + 3, t + 24), fill);  // body
    EXPECT_EQ(At(l + 3, b + 3), ground); // outside
    // The photo shows centred at the folded height.
    EXPECT_EQ(At(l + info.width / 2, t + info.MinHeight + 10), Rgb(10, 200, 30));
    // Shown with its photo first, the box sits right of the anchor at (200, 150): the tail runs left
    // to it, opening the frame where it leaves the box.
    ASSERT_EQ(l, 215);
    EXPECT_EQ(At(200, 150), Rgb(0, 0, 0));
    // Its base keeps 10 pixels from the lower corner: rows 138 to 150 of the left side.
    ASSERT_EQ(b, 159);
    EXPECT_EQ(At(210, 146), fill);
    EXPECT_EQ(At(l, 144), fill);
    EXPECT_EQ(At(l, 153), Rgb(0, 0, 0));
    // Folded with the photo: the link below the fold is not drawn.
    const QRect link(l + info.props[3].value.left, t + info.props[3].value.top, info.props[3].value.width,
                     info.props[3].value.height);
    EXPECT_EQ(CountColor(link, Rgb(0, 0, 128)), 0);
    info.ShowFoto = false;
    info.ShowService = true;
    info.height = info.MaxHeight;
    img.fill(ground);
    {
        QPainter p(&img);
        DrawBalloon(p, info, v, fonts, false);
    }
    EXPECT_GT(CountColor(link, Rgb(0, 0, 128)), 10); // navy, underlined
    info.MouseState = msOverLink;
    info.sel_org = 3;
    {
        QPainter p(&img);
        DrawBalloon(p, info, v, fonts, false);
    }
    EXPECT_GT(CountColor(link, Rgb(0, 0, 255)), 10); // blue under the pointer
}

TEST_F(Overlays, RulerSegmentsAndNodeLabels) {
    TMeas meas;
    meas.color = 0x00FF00; // green
    meas.AddNode(0, -100);
    meas.AddNode(0, 100);
    {
        QPainter p(&img);
        DrawRuler(p, meas, v, fonts, LangEnglish);
    }
    // A 2-pixel coloured line with a dark border across the middle of the segment.
    EXPECT_EQ(At(200, 150), Rgb(0, 255, 0));
    EXPECT_EQ(At(200, 148), Rgb(0, 0, 0));
    EXPECT_EQ(At(200, 153), ground);
    // The second node: circle filled with the ruler colour, white ring, label above.
    const TMeasNode& n = meas.path[1];
    EXPECT_EQ(At(300, 150), Rgb(0, 255, 0));
    EXPECT_EQ(At(300 - 7, 150), Rgb(255, 255, 255));
    EXPECT_EQ(n.top, 150 - 35);
    EXPECT_EQ(At(n.left + 2, n.top + n.height / 2), Rgb(255, 255, 255));
    EXPECT_EQ(At(n.left, n.top + n.height / 2), Rgb(0, 0, 0));
    EXPECT_EQ(At(300, n.top + n.height + 2), Rgb(255, 255, 255)); // the stem
    // Without node labels only the line is drawn.
    img.fill(ground);
    meas.NodeVisible = false;
    {
        QPainter p(&img);
        DrawRuler(p, meas, v, fonts, LangEnglish);
    }
    EXPECT_EQ(At(300, 150), Rgb(0, 255, 0));
    EXPECT_EQ(At(300, 150 - 7), ground); // no ring
    EXPECT_EQ(At(n.left + 2, n.top + n.height / 2), ground);
}

TEST_F(Overlays, RadiusTintsTheMapInsideAndDrawsItsHandles) {
    TRadius radius;
    radius.Visible = true;
    radius.center = TCoord{0, 0};
    radius.Radius = 60;
    // Stripes show that the map shows through the tint.
    for (int y = 0; y < 300; ++y)
        if (y % 10 == 0)
            for (int x = 0; x < 400; ++x)
                img.setPixel(x, y, qRgb(0, 0, 90));
    {
        QPainter p(&img);
        DrawRadius(p, radius, v);
    }
    EXPECT_EQ(At(230, 155), Rgb(200 & 255, 200 & 220, 200 & 195)); // AND of the map and the fill
    EXPECT_EQ(At(230, 160), Rgb(0, 0, 90 & 195));
    EXPECT_EQ(At(330, 155), ground);                  // outside
    EXPECT_EQ(At(200 + 60, 152), Rgb(0, 255, 0));     // right edge handle interior... lime
    EXPECT_EQ(At(202, 152), Rgb(0, 255, 0));          // centre handle
    EXPECT_EQ(At(200, 150 - 58), Rgb(0, 255, 0));     // top handle
    EXPECT_EQ(At(200 - 58 - 5, 150), Rgb(0, 128, 0)); // left handle outline
    // A circle far larger than the surface works only the surface.
    radius.Radius = 1.0e6f;
    img.fill(ground);
    {
        QPainter p(&img);
        DrawRadius(p, radius, v);
    }
    EXPECT_EQ(At(5, 5), Rgb(200, 200, 200 & 195));
}

TEST(BalloonFoto, ReferencesOutsideTheFileAndDamagedPicturesGiveNoPhoto) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage picture(32, 16, QImage::Format_RGB32);
    picture.fill(qRgb(250, 10, 10));
    QByteArray jpeg;
    {
        QBuffer b(&jpeg);
        b.open(QIODevice::WriteOnly);
        ASSERT_TRUE(picture.save(&b, "JPG"));
    }
    QByteArray damaged = jpeg.left(jpeg.size() / 3);
    damaged.append(QByteArray(64, '\x5a'));
    QFile f(dir.filePath("Town.img"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(jpeg);
    f.write(damaged);
    f.close();
    CityFileRef city;
    city.path = dir.path() + u'/';
    city.EngName = QStringLiteral("Town");
    CityDb db;
    const int size = int(jpeg.size());
    db.Fotos = {{1, 0, size}, {2, size, int(damaged.size())}, {3, size, 1 << 20}, {4, -5, 10}, {5, 0, 0}};
    int w = 0, h = 0;
    auto good = LoadBalloonFoto(db, 0, city, w, h);
    ASSERT_TRUE(good);
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 16);
    for (int i : {1, 2, 3, 4, 5, -1}) {
        EXPECT_FALSE(LoadBalloonFoto(db, i, city, w, h)) << i;
        EXPECT_EQ(w, 0);
    }
    // No photo file at all.
    city.EngName = QStringLiteral("Elsewhere");
    EXPECT_FALSE(LoadBalloonFoto(db, 0, city, w, h));
}

} // namespace
