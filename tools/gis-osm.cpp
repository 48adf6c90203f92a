// gis-osm: builds a city file from OpenStreetMap data (.osm.pbf or .osm) and reports what it could
// not map.
#include "OsmImport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <exception>
#include <sys/resource.h>

namespace {

int Usage() {
    std::fprintf(
        stderr,
        "usage: gis-osm INPUT.osm.pbf|INPUT.osm OUTPUT.gis [--name \"City\"] [--languages local,en]\n");
    return 2;
}

void Line(const char* what, long long n) {
    std::printf("  %-44s %9lld\n", what, n);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    OsmImportOptions options;
    QStringList files;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--name") && i + 1 < args.size()) {
            options.cityName = args[++i];
        } else if (a == QLatin1String("--languages") && i + 1 < args.size()) {
            options.languages = args[++i].split(u',', Qt::SkipEmptyParts);
            for (QString& l : options.languages)
                l = l.trimmed();
            if (options.languages.isEmpty()) return Usage();
        } else if (a.startsWith(u'-')) {
            return Usage();
        } else {
            files << a;
        }
    }
    if (files.size() != 2) return Usage();

    QElapsedTimer timer;
    timer.start();
    OsmImportResult result;
    try {
        result = ImportOsm(files[0], options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gis-osm: %s\n", e.what());
        return 1;
    }
    const QString error = WriteOsmCity(result, files[1]);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "gis-osm: %s: %s\n", qPrintable(files[1]), qPrintable(error));
        return 1;
    }
    const double seconds = timer.elapsed() / 1000.0;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);

    const OsmImportReport& r = result.report;
    std::printf("gis-osm: %s, data of %s, %d data language(s): %s\n", qPrintable(result.CityName),
                qPrintable(result.ReleaseDate), result.db.DataLangCount,
                qPrintable(result.db.DataLangNames.join(QStringLiteral(", "))));
    std::printf("read %lld nodes, %lld ways, %lld relations; %.2f s, peak memory %ld MB\n",
                (long long)r.nodes, (long long)r.ways, (long long)r.relations, seconds,
                usage.ru_maxrss / 1024);
    Line("named streets", r.namedStreets);
    Line("  with their name on the map", r.labelledStreets);
    Line("buildings", r.buildings);
    Line("  with heights", r.buildingsWithHeight);
    Line("  with house numbers", r.buildingsWithNumber);
    Line(r.districtLevel
             ? qPrintable(
                   QStringLiteral("districts (towns of admin_level %1 among them)").arg(r.districtLevel))
             : "districts",
         r.districts);
    Line("areas (districts included)", r.fields);
    Line("road segments", r.roads);
    Line("stops", r.stops);
    Line("routes (lines)", r.routes);
    Line("  with stops", r.routesWithStops);
    Line("route directions", (long long)result.db.BusWays.size());
    Line("text labels", r.texts);
    std::printf("  %-44s %9.1f\n", "label placement (ms)", r.labelMilliseconds);
    Line("points of interest", r.pois);
    Line("organisations", r.orgs);
    Line("  with a building", r.orgsWithBuilding);
    Line("  with a phone", r.orgsWithPhone);
    Line("  with a schedule", r.orgsWithSchedule);
    Line("rubrics", result.db.RubricNames.size());
    if (!r.notes.empty()) {
        std::printf("left out or changed:\n");
        for (const auto& [what, n] : r.notes)
            Line(what.toUtf8().constData(), n);
    }
    if (!r.unmapped.empty()) {
        std::vector<std::pair<int, QString>> sorted;
        long long total = 0;
        for (const auto& [tag, n] : r.unmapped) {
            sorted.push_back({n, tag});
            total += n;
        }
        std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });
        std::printf("features no rule maps: %lld of %zu kinds; the most common:\n", total, sorted.size());
        for (std::size_t i = 0; i < sorted.size() && i < 25; ++i)
            Line(sorted[i].second.toUtf8().constData(), sorted[i].first);
    }
    std::printf("wrote %s\n", qPrintable(files[1]));
    return 0;
}
