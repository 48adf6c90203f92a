// The OpenStreetMap importer: Monaco from the shared data (the target is under 3 s), and synthetic
// regions of growing size, whose time and peak memory per building must stay flat (linear growth).
// The synthetic extracts are written on first use into the build folder.
#include "OsmImport.h"

#include <benchmark/benchmark.h>

#include <osmium/builder/attr.hpp>
#include <osmium/io/any_output.hpp>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <cmath>
#include <string>

namespace {

long StatusMb(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(strlen(key))).trimmed().split(' ')[0].toLong() / 1024;
    return -1;
}

// A town of `buildings` houses in rows along named streets, one in twenty holding a shop.
QString SyntheticExtract(int buildings) {
    const QString path = QDir::current().filePath(QStringLiteral("osm-synthetic-%1.osm.pbf").arg(buildings));
    if (QFileInfo::exists(path)) return path;
    using namespace osmium::builder::attr;
    const double lat0 = 45.0, mLat = 1 / 111195.0, mLon = 1 / (111195.0 * std::cos(lat0 * M_PI / 180));
    const int perRow = 100;
    osmium::memory::Buffer nodes{1 << 22, osmium::memory::Buffer::auto_grow::yes};
    osmium::memory::Buffer ways{1 << 22, osmium::memory::Buffer::auto_grow::yes};
    std::int64_t nodeId = 1, wayId = 1;
    auto node = [&](double x, double y) {
        osmium::builder::add_node(nodes, _id(nodeId), _version(1),
                                  _location(7.0 + x * mLon, lat0 - y * mLat));
        return nodeId++;
    };
    const int rows = (buildings + perRow - 1) / perRow;
    for (int row = 0; row < rows; ++row) {
        const double y = row * 40.0;
        const std::string street = "Rue " + std::to_string(row + 1);
        const auto a = node(-10, y - 6), b = node(perRow * 20.0, y - 6);
        osmium::builder::add_way(ways, _id(wayId++), _version(1), _nodes({a, b}),
                                 _tag("highway", "residential"), _tag("name", street));
        for (int k = 0; k < perRow && row * perRow + k < buildings; ++k) {
            const double x = k * 20.0;
            const auto n1 = node(x, y), n2 = node(x + 12, y), n3 = node(x + 12, y + 12), n4 = node(x, y + 12);
            const std::string number = std::to_string(k + 1);
            osmium::builder::add_way(ways, _id(wayId++), _version(1), _nodes({n1, n2, n3, n4, n1}),
                                     _tag("building", "house"), _tag("building:levels", "3"),
                                     _tag("addr:street", street), _tag("addr:housenumber", number));
            if (k % 20 == 0) {
                osmium::builder::add_node(
                    nodes, _id(nodeId++), _version(1), _location(7.0 + (x + 6) * mLon, lat0 - (y + 6) * mLat),
                    _tag("shop", "bakery"), _tag("name", "Bakery " + std::to_string(row) + "-" + number),
                    _tag("phone", "+33 4 93 00 00 00"),
                    _tag("opening_hours", "Mo-Sa 07:00-13:00,15:00-19:30"));
            }
        }
    }
    osmium::io::Writer writer(path.toStdString(), osmium::io::overwrite::allow);
    writer(std::move(nodes));
    writer(std::move(ways));
    writer.close();
    return path;
}

void BM_ImportMonaco(benchmark::State& state) {
    const QByteArray shared = qgetenv("TESSARA_SHARED_DIR");
    const QString input =
        QDir(shared.isEmpty() ? QStringLiteral(TESSARA_SHARED_DIR) : QString::fromLocal8Bit(shared))
            .filePath(QStringLiteral("data/osm/monaco-latest.osm.pbf"));
    if (!QFileInfo::exists(input)) {
        state.SkipWithError("no Monaco extract in the shared data folder");
        return;
    }
    int buildings = 0;
    for (auto _ : state) {
        OsmImportResult r = ImportOsm(input);
        buildings = r.report.buildings;
        benchmark::DoNotOptimize(r);
    }
    state.counters["buildings"] = buildings;
    state.counters["peak_MB"] = double(StatusMb("VmHWM:"));
}
BENCHMARK(BM_ImportMonaco)->Unit(benchmark::kMillisecond);

// Sizes grow fourfold; "us_per_building" and "peak_MB" show the growth is linear. Run in ascending
// order, so the high-water mark after each size is that size's peak.
void BM_ImportSynthetic(benchmark::State& state) {
    const int n = int(state.range(0));
    const QString input = SyntheticExtract(n);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        OsmImportResult r = ImportOsm(input);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (r.report.buildings != n) state.SkipWithError("the synthetic town lost buildings");
        benchmark::DoNotOptimize(r);
    }
    state.counters["us_per_building"] = seconds * 1e6 / (double(n) * double(state.iterations()));
    state.counters["peak_MB"] = double(StatusMb("VmHWM:"));
}
BENCHMARK(BM_ImportSynthetic)
    ->Arg(20000)
    ->Arg(80000)
    ->Arg(320000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

BENCHMARK_MAIN();
