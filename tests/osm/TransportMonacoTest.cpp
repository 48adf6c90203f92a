// Journeys and routes through a stop on Monaco's real bus network, imported from the shared data.
#include "ImportedCity.h"
#include "OrgSearch.h"
#include "Transport.h"

#include <QFileInfo>

namespace {

int FirstStopNamed(const CityDb& db, const QString& name) {
    for (std::size_t i = 0; i < db.BusStops.size(); ++i)
        if (db.BusStops[i].caption[0] == name) return int(i);
    return -1;
}

// The positions of stop points (any kind) named `name` on the route, in order.
std::vector<int> PointsNamed(const TransportIndex& index, int route, const QString& name) {
    std::vector<int> at;
    const TWay& way = index.Db().BusWays[std::size_t(route)].way;
    for (int k = 0; k < int(way.size()); ++k) {
        const int s = way[std::size_t(k)].typ ? index.StopById(way[std::size_t(k)].ids) : -1;
        if (s >= 0 && SearchLower(index.Db().BusStops[std::size_t(s)].caption[0]) == SearchLower(name))
            at.push_back(k);
    }
    return at;
}

// The route passes `from` and later `to`.
bool Runs(const TransportIndex& index, int route, const QString& from, const QString& to) {
    const std::vector<int> a = PointsNamed(index, route, from), b = PointsNamed(index, route, to);
    return !a.empty() && !b.empty() && b.back() > a.front();
}

TEST(TransportMonaco, DirectAndOneChangeJourneysAndRoutesThroughAStop) {
    const QString input = SharedData("monaco-latest.osm.pbf");
    if (!QFileInfo::exists(input)) GTEST_SKIP() << "no OpenStreetMap data at " << input.toStdString();
    Imported im;
    Import(im, input);
    const CityDb& db = im.city;
    const TransportIndex index(db, 0);

    // Line 1 runs from the swimming stadium up to Saint-Roman; nothing runs straight back.
    const QString stade = QStringLiteral("Stade Nautique"), roman = QStringLiteral("Saint-Roman");
    const std::vector<int> direct = index.FindJourneys(stade, roman);
    ASSERT_FALSE(direct.empty());
    EXPECT_EQ(db.BusWays[std::size_t(direct[0])].num[0], QStringLiteral("1"));
    for (int r : direct)
        EXPECT_TRUE(Runs(index, r, stade, roman));

    // No line runs from the beach at Larvotto to the Jardin Exotique, nor back: one change does.
    for (auto [from, to] :
         {std::pair{QStringLiteral("Larvotto"), QStringLiteral("Jardin Exotique")}, {roman, stade}}) {
        EXPECT_TRUE(index.FindJourneys(from, to).empty()) << from.toStdString();
        const std::vector<ChangeJourney> changes = index.FindChangeJourneys(from, to);
        ASSERT_FALSE(changes.empty()) << from.toStdString();
        EXPECT_LE(changes.size(), std::size_t(TransportIndex::MaxChangeJourneys));
        for (std::size_t k = 0; k < changes.size(); ++k) {
            const ChangeJourney& j = changes[k];
            const QString at = db.BusStops[std::size_t(j.leave)].caption[0];
            EXPECT_EQ(SearchLower(at), SearchLower(db.BusStops[std::size_t(j.board)].caption[0]));
            EXPECT_TRUE(Runs(index, j.first, from, at)) << at.toStdString();
            EXPECT_TRUE(Runs(index, j.second, at, to)) << at.toStdString();
            EXPECT_NE(db.BusWays[std::size_t(j.first)].num[0], db.BusWays[std::size_t(j.second)].num[0]);
            if (k > 0) {
                EXPECT_LE(changes[k - 1].stops, j.stops);
            }
        }
    }

    // Ten lines stop at Pont Sainte-Dévote, each listed once.
    QStringList numbers;
    for (int r : index.RoutesThroughStop(FirstStopNamed(db, QStringLiteral("Pont Sainte-Dévote"))))
        numbers << db.BusWays[std::size_t(r)].num[0];
    EXPECT_EQ(numbers, (QStringList{"2", "4", "5", "11", "12", "13", "18", "N2", "X2", "602"}));

    // Every line shows on the map, those of one stop or without stops too, and none moves the view off
    // the city.
    for (const QString& number : RouteNumbers(db, 0)) {
        const TransportShow show = ShowRouteOnMap(im.city, index, number, 800, 600, 10);
        EXPECT_TRUE(show.target.scale == 0 ||
                    (show.target.scale >= MapView::MinScale && show.target.scale <= 10))
            << number.toStdString();
        if (show.target.scale == 0) continue;
        EXPECT_TRUE(show.target.x >= db.WorldMinX && show.target.x <= db.WorldMaxX) << number.toStdString();
        EXPECT_TRUE(show.target.y >= db.WorldMinY && show.target.y <= db.WorldMaxY) << number.toStdString();
    }
}

} // namespace
