// The OpenStreetMap importer: real extracts (Monaco from the shared data: under 3 s, and its named
// streets labelled), and synthetic towns of growing size, whose time per building must stay flat
// (linear growth) and under 15 us with the labels, which take under 30 % on top of the rest.
#include "OsmImport.h"

#include <osmium/builder/attr.hpp>
#include <osmium/io/any_output.hpp>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
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

double Seconds(const std::chrono::steady_clock::time_point& since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

QString SharedMonaco() {
    const QByteArray shared = qgetenv("TESSARA_SHARED_DIR");
    return QDir(shared.isEmpty() ? QStringLiteral(TESSARA_SHARED_DIR) : QString::fromLocal8Bit(shared))
        .filePath(QStringLiteral("data/osm/monaco-latest.osm.pbf"));
}

} // namespace

// bench_osm [EXTRACT.osm.pbf ...]: imports the extracts given (Monaco from the shared data when none
// is), then synthetic towns of 20,000, 80,000 and 320,000 buildings, written on first use into the
// current folder. Sizes grow fourfold, so flat figures per building show linear growth.
int main(int argc, char** argv) {
    QStringList extracts;
    for (int i = 1; i < argc; ++i)
        extracts << QString::fromLocal8Bit(argv[i]);
    if (extracts.isEmpty() && QFileInfo::exists(SharedMonaco())) extracts << SharedMonaco();

    for (const QString& input : extracts) {
        double best = 1e9;
        OsmImportResult r;
        for (int run = 0; run < 3; ++run) {
            const auto start = std::chrono::steady_clock::now();
            r = ImportOsm(input);
            best = std::min(best, Seconds(start));
        }
        const OsmImportReport& rep = r.report;
        const double unlabelled =
            rep.namedStreets ? 100.0 * (rep.namedStreets - rep.labelledStreets) / rep.namedStreets : 0;
        std::printf("%s: %d buildings, %d named streets, %d labels\n",
                    qPrintable(QFileInfo(input).fileName()), rep.buildings, rep.namedStreets, rep.texts);
        std::printf("  import                                   %8.0f ms ... goal: under 3000 ms\n",
                    best * 1000);
        std::printf("  named streets without a label            %8.1f %% ... goal: under 5 %%\n",
                    unlabelled);
    }

    double labelShare = 0;
    for (const int n : {20000, 80000, 320000}) {
        const QString input = SyntheticExtract(n);
        const auto start = std::chrono::steady_clock::now();
        const OsmImportResult r = ImportOsm(input);
        const double seconds = Seconds(start);
        if (r.report.buildings != n) {
            std::fprintf(stderr, "bench_osm: the synthetic town of %d buildings lost some\n", n);
            return 1;
        }
        const double labels = r.report.labelMilliseconds / 1000;
        std::printf("synthetic town of %d buildings: %.2f s, %d labels, peak memory %ld MB\n", n, seconds,
                    r.report.texts, StatusMb("VmHWM:"));
        std::printf("  import with labels, per building         %8.2f us ... goal: under 15 us\n",
                    seconds * 1e6 / n);
        labelShare = 100 * labels / std::max(1e-9, seconds - labels);
        std::printf("  label placement, over the rest           %8.1f %% ... goal: under 30 %%\n",
                    labelShare);
    }
    return 0;
}
