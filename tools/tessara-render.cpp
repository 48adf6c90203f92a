// tessara-render: draws one view of a city headless through the map renderer, for tests, benchmarks and
// looking at the result.
#include "Catalogue.h"
#include "CityFile.h"
#include "CityFileError.h"
#include "LabelMetrics.h"
#include "MapColors.h"
#include "MapRenderer.h"
#include "ObjectState.h"
#include "OpeningView.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: tessara-render CITY.gis [--center X,Y] [--scale S|full|opening] [--size WxH] [--flat|--3d]\n"
                 "                      [--no-smooth] [--found-building N ...] OUT.png\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString city, out;
    QString center, scale = "full";
    int width = 1200, height = 800;
    bool flat = false, smooth = true;
    QList<int> found;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto next = [&]() -> QString { return i + 1 < args.size() ? args[++i] : QString(); };
        if (a == "--center") center = next();
        else if (a == "--scale") scale = next();
        else if (a == "--size") {
            const QStringList wh = next().split('x');
            if (wh.size() != 2) return Usage();
            width = wh[0].toInt();
            height = wh[1].toInt();
        } else if (a == "--flat") flat = true;
        else if (a == "--3d") flat = false;
        else if (a == "--no-smooth") smooth = false;
        else if (a == "--found-building") found << next().toInt();
        else if (a.startsWith("-")) return Usage();
        else if (city.isEmpty()) city = a;
        else if (out.isEmpty()) out = a;
        else return Usage();
    }
    if (city.isEmpty() || out.isEmpty() || width <= 0 || height <= 0) return Usage();

    const QFileInfo info(city);
    auto entry = CityEntryFromFile(info.absolutePath() + "/", info.fileName(), false);
    if (!entry) {
        std::fprintf(stderr, "tessara-render: %s: not a city file\n", qPrintable(city));
        return 1;
    }
    const CityFileRef ref = CityFileRef::From(*entry);
    CityDb db;
    MapStyle style;
    style.textWidth = LabelWidthMeasure();
    try {
        LoadDirectorySection(db, ref);
        LoadMapSection(db, ref, style);
    } catch (const CityFileError& e) {
        std::fprintf(stderr, "tessara-render: %s\n", qPrintable(e.message()));
        return 1;
    }
    for (int b : found)
        if (b >= 0 && b < int(db.Buildings.size())) Found(db.Buildings[b]);

    MapView view;
    MapDisplay display;
    display.SmoothNow = smooth;
    TMap map(db, view, display, style.colors);
    map.options.flat = flat;
    map.options.smooth = smooth;
    map.CityLoaded();
    map.Resize(width, height, true);
    if (scale == "opening") OpenAtBuiltUpArea(db, view); // as the program opens the city
    else if (scale != "full") view.Scale = scale.toFloat();
    if (!center.isEmpty()) {
        const QStringList xy = center.split(',');
        if (xy.size() != 2) return Usage();
        view.OriginX = xy[0].toFloat();
        view.OriginY = xy[1].toFloat();
    }
    QImage picture;
    map.DrawGDI(&picture, true);
    if (!picture.save(out, "PNG")) {
        std::fprintf(stderr, "tessara-render: cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s: %dx%d at scale %.3f, centre %.1f,%.1f\n", qPrintable(out), width, height, view.Scale,
                view.OriginX, view.OriginY);
    return 0;
}
