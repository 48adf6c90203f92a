// The minimap's pictures, a map print to PDF and the whole-city export, on the cities given (the
// metropolis last): times, and the memory the export adds to the loaded city.
#include "BenchTime.h"
#include "CityExport.h"
#include "MapPrint.h"
#include "MapRenderer.h"
#include "MinimapPictures.h"
#include "RenderBench.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace {

// A value of /proc/self/status in MiB ("VmRSS", "VmHWM").
double StatusMiB(const char* name) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(name))
            return line.mid(qstrlen(name) + 1).trimmed().split(' ').front().toDouble() / 1024;
    return -1;
}

// Starts the high-water mark again from what is held now.
void ResetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

struct Scene {
    TColorScheme scheme = BuiltInColorScheme(DefaultColorScheme);
    CityDb db;
    MapView view;
    MapDisplay display;
    std::unique_ptr<TMap> map;
};

void Measure(const QString& path, const QString& outFolder) {
    Scene s;
    MapStyle style;
    if (!LoadRenderCity(path, s.db, style)) {
        std::fprintf(stderr, "bench_print: %s is not a city file\n", qPrintable(path));
        return;
    }
    const QString name = QFileInfo(path).completeBaseName();
    s.map = std::make_unique<TMap>(s.db, s.view, s.display, s.scheme);
    s.map->CityLoaded();
    s.map->Resize(1920, 1080, true);
    std::printf("%s: %zu buildings, %zu areas, %.0f x %.0f m\n", qPrintable(name), s.db.Buildings.size(),
                s.db.Fields.size(), double(s.db.WorldMaxX - s.db.WorldMinX),
                double(s.db.WorldMaxY - s.db.WorldMinY));

    const MinimapSize size =
        ComputeMinimapSize(s.db.WorldMaxX - s.db.WorldMinX, s.db.WorldMaxY - s.db.WorldMinY, 1920, 1080);
    const double minimap =
        MedianMs([&] { BuildMinimap(*s.map, s.view, s.display, size.MiniW, size.MiniH, 1); }, 5);
    std::printf("minimap build %s %.1f ms (%d x %d, CPU median of 5) ... goal: under 300 ms\n", qPrintable(name),
                minimap, size.MiniW, size.MiniH);

    // A dense view at 1920 x 1080 on A4 at 1200 dpi, as the print dialog's PDF printer writes it.
    s.view.Scale = 1;
    s.view.OriginX = s.db.WorldMinX + (s.db.WorldMaxX - s.db.WorldMinX) / 2;
    s.view.OriginY = s.db.WorldMinY + (s.db.WorldMaxY - s.db.WorldMinY) / 2;
    s.map->DrawGDI(nullptr, true);
    const QString pdf = outFolder + "/print.pdf";
    auto printPage = [&] {
        QPdfWriter writer(pdf);
        writer.setResolution(1200);
        writer.setPageSize(QPageSize(QPageSize::A4));
        PaintMapPage(writer, s.map->img, false, QStringLiteral("Map"));
    };
    // The file is written as the page ends: the wall clock counts the disk too.
    const double print = MedianMs(printPage, 3, CLOCK_MONOTONIC), printCpu = MedianMs(printPage, 3);
    std::printf(
        "map print to PDF %s %.2f s (1920 x 1080 on A4 at 1200 dpi, %lld KB, median of 3, CPU %.2f s) ... goal: "
        "under 2 s\n",
        qPrintable(name), print / 1000, QFileInfo(pdf).size() / 1024, printCpu / 1000);
    QElapsedTimer wall;

    s.view.Scale = 4;
    for (const char* ext : {"png", "bmp"}) {
        const QString out = outFolder + "/city." + ext;
        const double held = StatusMiB("VmRSS:");
        ResetPeak();
        wall.restart();
        const double cpu0 = CpuMs();
        const ExportResult r = ExportWholeCity(*s.map, s.view, out, ExportFormatFor(out));
        const double cpu = CpuMs() - cpu0, seconds = wall.elapsed() / 1000.0;
        const double added = StatusMiB("VmHWM:") - held;
        if (r.status != ExportStatus::Done) {
            std::printf("whole-city export %s %s failed (%d): %s\n", qPrintable(name), ext, int(r.status),
                        qPrintable(r.error));
            continue;
        }
        std::printf("whole-city export %s at scale 4 as %s: %lld x %lld, %lld MB, %.1f s (CPU %.1f s)\n",
                    qPrintable(name), ext, r.width, r.height, QFileInfo(out).size() >> 20, seconds,
                    cpu / 1000);
        std::printf("whole-city export memory %s %s %.0f MB above the loaded city ... goal: under 200 MB\n",
                    qPrintable(name), ext, added);
        QFile::remove(out);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_print CITY.gis... (the metropolis last)\n");
        return 2;
    }
    // The export writes where the build is, not to a memory-backed /tmp.
    QTemporaryDir out(QCoreApplication::applicationDirPath() + "/bench-print-XXXXXX");
    for (int i = 1; i < argc; ++i)
        Measure(QString::fromLocal8Bit(argv[i]), out.path());
    return 0;
}
