// The journey search on the cities given: a direct search and a search with one change between the
// served stops nearest two opposite corners of the city, and the routes through the busiest stop, as
// medians of thread CPU time.
// usage: bench_transport CITY.gis... (the metropolis last); without a city, TESSARA_BENCH_CITY or the
// metropolis in bench-data/.
#include "BenchCity.h"
#include "BenchTime.h"
#include "Catalogue.h"
#include "CityLoad.h"
#include "MapColors.h"
#include "OrgSearch.h"
#include "Transport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>
#include <map>

namespace {

void Line(const char* what, double ms, double goal) {
    if (goal > 0)
        std::printf("  %-52s %8.3f ms ... goal: under %.0f ms\n", what, ms, goal);
    else
        std::printf("  %-52s %8.3f ms\n", what, ms);
}

void Measure(const QString& path) {
    auto entry = CityEntryFromFile(QFileInfo(path).absolutePath() + "/", QFileInfo(path).fileName(), false);
    if (!entry) qFatal("%s is not a city file", qPrintable(path));
    const CityFileRef city = CityFileRef::From(*entry);
    CityDb db;
    LoadCityData(db, city, MapStyle{});

    // Stops a route serves, and how many route records pass each.
    std::map<int, int> served;
    std::size_t points = 0;
    for (const TBusWay& w : db.BusWays)
        for (const TWayPoint& p : w.way)
            if (p.typ != 0) {
                ++points;
                if (const int s = StopById(db, p.ids); s >= 0) ++served[s];
            }
    QStringList numbers = RouteNumbers(db, 0);
    std::printf("%s: %zu stops (%zu served), %lld route numbers in %zu route records, %zu stop points\n",
                qPrintable(QFileInfo(path).fileName()), db.BusStops.size(), served.size(),
                (long long)numbers.size(), db.BusWays.size(), points);
    if (served.empty()) return;

    QElapsedTimer t;
    t.start();
    const TransportIndex index(db, 0);
    Line("index (once per city and data language)", double(t.nsecsElapsed()) / 1e6, 0);

    int from = -1, to = -1, busiest = -1;
    for (const auto& [s, routes] : served) {
        const TBusStop& st = db.BusStops[std::size_t(s)];
        if (InLang(st.caption, 0).isEmpty()) continue;
        if (from < 0 || st.x + st.y < db.BusStops[std::size_t(from)].x + db.BusStops[std::size_t(from)].y)
            from = s;
        if (to < 0 || st.x + st.y > db.BusStops[std::size_t(to)].x + db.BusStops[std::size_t(to)].y) to = s;
        if (busiest < 0 || routes > served[busiest]) busiest = s;
    }
    const QString a = InLang(db.BusStops[std::size_t(from)].caption, 0);
    const QString b = InLang(db.BusStops[std::size_t(to)].caption, 0);
    std::printf("  from \"%s\" (%.0f, %.0f) to \"%s\" (%.0f, %.0f)\n", qPrintable(a),
                db.BusStops[std::size_t(from)].x, db.BusStops[std::size_t(from)].y, qPrintable(b),
                db.BusStops[std::size_t(to)].x, db.BusStops[std::size_t(to)].y);

    // The two ends of the route with the most stops: a direct search that finds something.
    QString first, last;
    std::size_t longest = 0;
    for (const TBusWay& w : db.BusWays) {
        QStringList names;
        for (const TWayPoint& p : w.way) {
            const int s = p.typ ? StopById(db, p.ids) : -1;
            if (s >= 0 && !InLang(db.BusStops[std::size_t(s)].caption, 0).isEmpty())
                names << InLang(db.BusStops[std::size_t(s)].caption, 0);
        }
        if (std::size_t(names.size()) > longest && SearchLower(names.front()) != SearchLower(names.back())) {
            longest = std::size_t(names.size());
            first = names.front();
            last = names.back();
        }
    }

    std::size_t direct = 0, changes = 0, through = 0, along = 0;
    if (longest > 0)
        Line("direct journeys, ends of the longest route",
             MedianMs([&] { along = index.FindJourneys(first, last).size(); }, 31), 2);
    Line("direct journeys, opposite ends", MedianMs([&] { direct = index.FindJourneys(a, b).size(); }, 31),
         2);
    Line("journeys with one change, opposite ends",
         MedianMs([&] { changes = index.FindChangeJourneys(a, b).size(); }, 31), 20);
    Line("routes through the busiest stop",
         MedianMs([&] { through = index.RoutesThroughStop(busiest).size(); }, 31), 1);
    std::printf(
        "  found: %zu direct along a route of %zu stops; between the ends %zu direct, %zu with a change; "
        "%zu routes through \"%s\"\n",
        along, longest, direct, changes, through,
        qPrintable(InLang(db.BusStops[std::size_t(busiest)].caption, 0)));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList paths;
    for (int i = 1; i < argc; ++i)
        paths << QString::fromLocal8Bit(argv[i]);
    if (paths.isEmpty()) paths << BenchCityPath();
    for (const QString& p : paths)
        Measure(p);
    return 0;
}
