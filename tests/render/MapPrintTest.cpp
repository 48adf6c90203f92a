#include "MapPrint.h"
#include "CityExport.h"
#include "ColorConvert.h"
#include "ColorSchemeStore.h"
#include "MapColors.h"
#include "MapRenderer.h"
#include "MinimapPictures.h"
#include "TinyCity.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

struct City {
    TColorScheme scheme = BuiltInColorScheme(DefaultColorScheme);
    CityDb db;
    MapView view;
    MapDisplay display;
    TMap map{db, view, display, scheme};

    // 1920 x 960 m: a park in the top-left corner, water in the bottom-right one.
    int park = -1, water = -1;
    City() {
        park = tiny::AddField(db, scheme, tiny::Rect(0, 0, 480, 240), 1);
        water = tiny::AddField(db, scheme, tiny::Rect(1440, 720, 1920, 960), 2);
        map.CityLoaded();
        map.Resize(800, 600, true);
    }
    QRgb FieldColor(int i) const { return ToQRgb(db.Fields[size_t(i)].color) & 0xFFFFFF; }
};

// Buildings, roads, areas and stops scattered over 1200 x 800 m, with labels and heights.
void Scatter(City& c, int count, quint32 seed) {
    QRandomGenerator rng(seed);
    for (int i = 0; i < count; ++i) {
        const float x = float(rng.bounded(1100)), y = float(rng.bounded(700));
        const float w = 5 + float(rng.bounded(40)), h = 5 + float(rng.bounded(40));
        tiny::AddBuilding(c.db, c.scheme, {tiny::Rect(x, y, x + w, y + h)}, std::uint8_t(rng.bounded(3) * 10),
                          std::uint8_t(rng.bounded(23)), QString::number(i));
        tiny::AddRoad(c.db, c.scheme, {x, y - 3}, {x + 90, y + float(rng.bounded(60))},
                      TRoadType(rng.bounded(7)), float(rng.bounded(12)));
        if (i % 5 == 0)
            tiny::AddField(c.db, c.scheme, tiny::Rect(x, y, x + 150, y + 90), std::uint8_t(rng.bounded(12)));
        if (i % 7 == 0) tiny::AddStop(c.db, c.scheme, x, y + 50, bstAuto, QString::number(i), i);
    }
    c.map.CityLoaded();
}

QRgb Rgb(const QImage& img, int x, int y) {
    return img.pixel(x, y) & 0xFFFFFF;
}

} // namespace

TEST(Minimap, OverviewShowsTheAreasAndLeavesTheViewAlone) {
    City c;
    c.view.Scale = 1.5f;
    c.view.OriginX = 700;
    c.view.OriginY = 300;
    const MapView before = c.view;
    const MinimapPictures pics = BuildMinimap(c.map, c.view, c.display, 192, 96, 1);
    ASSERT_EQ(pics.bright.size(), QSize(192, 96));
    // The city is 10 m a pixel: the park's corner pixels show its colour, the middle the road colour.
    EXPECT_EQ(Rgb(pics.bright, 10, 10), c.FieldColor(c.park));
    EXPECT_EQ(Rgb(pics.bright, 185, 90), c.FieldColor(c.water));
    EXPECT_EQ(Rgb(pics.bright, 96, 48), ToQRgb(c.scheme.RoadColor) & 0xFFFFFF);
    EXPECT_EQ(Rgb(pics.dark, 10, 10), ToQRgb(Darken(c.db.Fields[0].color, 15)) & 0xFFFFFF);
    EXPECT_EQ(c.view.Scale, before.Scale);
    EXPECT_EQ(c.view.OriginX, before.OriginX);
    EXPECT_EQ(c.view.Width, before.Width);
    EXPECT_EQ(c.view.FullScale, before.FullScale);
    EXPECT_TRUE(c.display.SmoothNow);
}

TEST(Minimap, FrameShowsTheViewBrightInTheDarkCity) {
    City c;
    const MinimapPictures pics = BuildMinimap(c.map, c.view, c.display, 192, 96, 2);
    EXPECT_EQ(pics.bright.size(), QSize(384, 192)); // sharp at twice the density
    const QImage shown = MinimapWithFrame(pics, MiniRect{4, 4, 40, 20});
    ASSERT_EQ(shown.size(), pics.bright.size());
    // Logical (10, 10) is inside the frame, (10, 60) outside: device pixels twice as far.
    EXPECT_EQ(Rgb(shown, 20, 20), Rgb(pics.bright, 20, 20));
    EXPECT_EQ(Rgb(shown, 20, 120), Rgb(pics.dark, 20, 120));
    EXPECT_NE(Rgb(pics.bright, 20, 20), Rgb(pics.dark, 20, 20));
    const QImage drag = MinimapWithDrag(pics, QRect(100, 40, 20, 20));
    EXPECT_EQ(Rgb(drag, 220, 100), Rgb(pics.bright, 220, 100));
    EXPECT_EQ(Rgb(drag, 20, 20), Rgb(pics.dark, 20, 20));
}

TEST(MapPrint, PictureFitsThePageLessAnInch) {
    struct Case {
        int W, H, pageW, pageH, dpi;
        QRect dest;
    } cases[] = {
        {800, 400, 2400, 3300, 300, QRect(150, 150, 2100, 1050)}, // wider than the page: width less an inch
        {400, 800, 2400, 3300, 300, QRect(150, 150, 1500, 3000)}, // taller: height less an inch
        {801, 601, 2400, 3300, 300, QRect(150, 150, 2100, 1576)}, // rounded multiply-divide (1575.87)
    };
    for (const Case& c : cases)
        EXPECT_EQ(FitMapToPage(c.W, c.H, c.pageW, c.pageH, c.dpi, c.dpi), c.dest) << c.W << "x" << c.H;
}

TEST(MapPrint, EconomyLightensFortyPercentTowardsWhite) {
    QImage img(3, 1, QImage::Format_RGB32);
    img.setPixel(0, 0, qRgb(0, 100, 255));
    img.setPixel(1, 0, qRgb(1, 2, 254));
    img.setPixel(2, 0, qRgb(128, 128, 128));
    const QImage light = EconomyCopy(img);
    EXPECT_EQ(light.format(), QImage::Format_RGB888);
    EXPECT_EQ(Rgb(light, 0, 0), qRgb(102, 162, 255) & 0xFFFFFF);
    EXPECT_EQ(Rgb(light, 1, 0), qRgb(103, 103, 254) & 0xFFFFFF); // 254 * 40 / 100 = 101.6 rounds up
    EXPECT_EQ(Rgb(light, 2, 0), qRgb(179, 179, 179) & 0xFFFFFF); // 127 * 0.4 = 50.8
}

// A page printed to PDF and read back through pdftoppm: the picture sits where the arithmetic puts it,
// in its colours (lightened with economy).
TEST(MapPrint, PdfPageReadBackHasThePictureInItsColours) {
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty()) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    QTemporaryDir dir;
    QImage map(800, 400, QImage::Format_RGB32);
    map.fill(qRgb(200, 30, 30));
    QPainter(&map).fillRect(400, 0, 400, 400, qRgb(30, 30, 200));
    for (bool economy : {false, true}) {
        const QString pdf = dir.filePath(economy ? "economy.pdf" : "plain.pdf");
        {
            QPdfWriter writer(pdf);
            writer.setResolution(300);
            writer.setPageSize(QPageSize(QPageSize::A4));
            writer.setPageMargins(QMarginsF(0, 0, 0, 0));
            ASSERT_EQ(PaintMapPage(writer, map, economy, QStringLiteral("Map (site.example)")), QString());
        }
        const QString out = dir.filePath(economy ? "economy" : "plain");
        ASSERT_EQ(QProcess::execute(pdftoppm, {"-r", "30", "-png", "-singlefile", pdf, out}), 0);
        QImage page(out + ".png");
        ASSERT_FALSE(page.isNull());
        // A4 at 30 dpi.
        EXPECT_NEAR(page.width(), 248, 1);
        EXPECT_NEAR(page.height(), 351, 1);
        // At 300 dpi the picture runs from 150 to 150 + 2180 across and 1090 down: a tenth of that here.
        const QRgb left = page.pixel(15 + 55, 15 + 55), right = page.pixel(15 + 163, 15 + 55);
        const int red = economy ? 222 : 200, dim = economy ? 120 : 30;
        EXPECT_NEAR(qRed(left), red, 4);
        EXPECT_NEAR(qGreen(left), dim, 4);
        EXPECT_NEAR(qBlue(right), red, 4);
        EXPECT_NEAR(qRed(right), dim, 4);
        // Below the picture the page stays white.
        EXPECT_EQ(page.pixel(124, 300) & 0xFFFFFF, 0xFFFFFFu);
    }
}

// The strips of the export join into the very picture one draw of the whole city gives, in both formats.
TEST(CityExport, StripsJoinIntoTheSingleDraw) {
    City c;
    Scatter(c, 300, 7);
    c.view.Scale = 1.3f;
    QTemporaryDir dir;
    qint64 W, H;
    WholeCitySize(c.view, W, H);
    const QString single = dir.filePath("single.bmp");
    ExportOptions whole;
    whole.stripRows = int(H);
    ASSERT_EQ(ExportWholeCity(c.map, c.view, single, ExportFormat::Bmp, whole).status, ExportStatus::Done);
    const QImage reference(single);
    ASSERT_EQ(reference.size(), QSize(int(W), int(H)));
    for (const char* name : {"strips.bmp", "strips.png"}) {
        const QString path = dir.filePath(name);
        ExportOptions o;
        o.stripRows = 37;
        qint64 last = 0;
        int calls = 0;
        o.progress = [&](qint64 done, qint64 total) {
            EXPECT_GT(done, last);
            EXPECT_EQ(total, H);
            last = done;
            ++calls;
            return true;
        };
        const MapView before = c.view;
        ASSERT_EQ(ExportWholeCity(c.map, c.view, path, ExportFormatFor(path), o).status, ExportStatus::Done);
        EXPECT_EQ(last, H);
        EXPECT_EQ(calls, int((H + 36) / 37));
        EXPECT_EQ(c.view.OriginX, before.OriginX);
        EXPECT_EQ(c.view.OffsetY, before.OffsetY);
        const QImage stitched = QImage(path).convertToFormat(reference.format());
        ASSERT_EQ(stitched.size(), reference.size()) << name;
        int differing = 0;
        for (int y = 0; y < int(H); ++y)
            for (int x = 0; x < int(W); ++x)
                differing += (stitched.pixel(x, y) != reference.pixel(x, y));
        EXPECT_EQ(differing, 0) << name;
    }
}

TEST(CityExport, CancelRefusalAndFailureLeaveTheUsersFileAsItWas) {
    City c;
    Scatter(c, 50, 3);
    c.view.Scale = 2;
    QTemporaryDir dir;
    const QString path = dir.filePath("map.bmp");
    const QByteArray old("the user's own file");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    auto unchanged = [&] {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), old);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"map.bmp"}); // no leftovers
    };
    ExportOptions cancel;
    cancel.stripRows = 10;
    cancel.progress = [](qint64 done, qint64) { return done < 30; };
    EXPECT_EQ(ExportWholeCity(c.map, c.view, path, ExportFormat::Bmp, cancel).status,
              ExportStatus::Cancelled);
    unchanged();

    ExportOptions full;
    full.freeBytes = 1000;
    const ExportResult r = ExportWholeCity(c.map, c.view, path, ExportFormat::Bmp, full);
    EXPECT_EQ(r.status, ExportStatus::NoSpace);
    qint64 W, H;
    WholeCitySize(c.view, W, H);
    EXPECT_EQ(r.needed, 54 + ((W * 3 + 3) / 4 * 4) * H);
    unchanged();
    // A PNG's size is known only afterwards: it is not refused beforehand.
    EXPECT_EQ(ExportWholeCity(c.map, c.view, dir.filePath("map.png"), ExportFormat::Png, full).status,
              ExportStatus::Done);
    QFile::remove(dir.filePath("map.png"));

    // Too large for a BMP header at this scale.
    c.view.Scale = 0.0004f;
    EXPECT_EQ(ExportWholeCity(c.map, c.view, path, ExportFormat::Bmp).status, ExportStatus::TooLarge);
    unchanged();
    // A folder that cannot be written fails with the system's words.
    c.view.Scale = 2;
    const ExportResult denied =
        ExportWholeCity(c.map, c.view, dir.filePath("missing/map.bmp"), ExportFormat::Bmp);
    EXPECT_EQ(denied.status, ExportStatus::Failed);
    EXPECT_FALSE(denied.error.isEmpty());
}
