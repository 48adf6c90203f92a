// Journeys, routes through a stop, candidate lists and the map showing of routes and stops, on a small
// hand-built network with both sides of streets, a route in one direction only, a loop, repeated
// numbers, stop points naming missing stops and a route of one point.
#include "Transport.h"
#include "ObjectState.h"
#include "TinyCity.h"

#include <gtest/gtest.h>

namespace {

struct P {
    std::uint8_t typ;
    int id; // stop identifier, or -1 for a free point at (x, y)
    float x = 0, y = 0;
};

class Network {
public:
    CityDb db;
    TColorScheme s;

    int Stop(float x, float y, const QString& caption, int id, TBusStopType tip = bstAuto) {
        return tiny::AddStop(db, s, x, y, tip, caption, id);
    }
    // A route as the loader builds it: the box widens with the stops its points name and free points.
    int Route(const QString& num, std::initializer_list<P> points, TTranspType tip = ttBus) {
        TBusWay w;
        w.num = {num};
        w.tip = tip;
        for (const P& p : points) {
            TWayPoint wp;
            wp.typ = p.typ;
            if (p.typ == 0) {
                wp.x = p.x, wp.y = p.y;
                w.Widen(p.x, p.y);
            } else {
                wp.ids = std::uint16_t(p.id);
                for (const TBusStop& st : db.BusStops)
                    if (st.id_ == p.id) {
                        w.Widen(st.x, st.y);
                        break;
                    }
            }
            w.way.push_back(wp);
        }
        w.FlatBox3D();
        w.FoundColor = s.BusWayColor;
        db.BusWays.push_back(w);
        return int(db.BusWays.size()) - 1;
    }
};

// Stops: Вокзал on both sides of the street (1, 2), Рынок 3, Школа 4, Парк 5, Мост on both sides
// (6, 7), Завод 8, Озеро 9 far away; routes 1 (both directions), 2 (both, its first direction passing
// Мост by a stop point of kind 2 beside a free point), 4 (a loop and its other direction), 5 (with
// points naming no stop), 6 (one point), 8 (one direction only, to Озеро).
struct SmallCity : Network {
    SmallCity() {
        Stop(0, 0, QStringLiteral("Вокзал"), 1);
        Stop(0, 20, QStringLiteral("Вокзал"), 2);
        Stop(100, 0, QStringLiteral("Рынок"), 3);
        Stop(200, 0, QStringLiteral("Школа"), 4);
        Stop(300, 0, QStringLiteral("Парк"), 5);
        Stop(100, 100, QStringLiteral("Мост"), 6);
        Stop(100, 120, QStringLiteral("Мост"), 7);
        Stop(100, 200, QStringLiteral("Завод"), 8);
        Stop(500, 500, QStringLiteral("Озеро"), 9, bstRail);
        Route("1", {{1, 1}, {1, 3}, {1, 4}, {1, 5}});           // 0
        Route("1", {{1, 5}, {1, 4}, {1, 3}, {1, 2}});           // 1
        Route("2", {{1, 3}, {0, -1, 150, 50}, {2, 6}, {1, 8}}); // 2
        Route("2", {{1, 8}, {1, 7}, {1, 3}});                   // 3
        Route("4", {{1, 4}, {1, 5}, {1, 4}});                   // 4
        Route("4", {{1, 4}, {1, 5}});                           // 5
        Route("5", {{1, 99}, {1, 3}, {1, 99}, {1, 5}});         // 6
        Route("6", {{1, 1}});                                   // 7
        Route("8", {{1, 9}, {1, 5}}, ttTramway);                // 8
    }
};

TEST(Transport, DirectJourneysFollowTheRouteOrderOnePerNumber) {
    SmallCity c;
    const TransportIndex index(c.db, 0);
    struct Case {
        const char* from;
        const char* to;
        std::vector<int> routes;
    } cases[] = {
        {"Вокзал", "Парк", {0}},   // from the first side of the street
        {"Парк", "Вокзал", {1}},   // only the other direction runs back, to the other side
        {"Рынок", "Завод", {2}},   // a free point and a stop point of kind 2 on the way
        {"Рынок", "Мост", {2}},    // kind 2 counts as a stop for journeys
        {"Завод", "Рынок", {3}},   //
        {"Школа", "Парк", {0, 4}}, // number 4 once, though both its directions qualify
        {"Рынок", "Парк", {0, 6}}, // points naming missing stops are passed over
        {"вокзал", "ПАРК", {0}},   // names ignore case
        {"Озеро", "Парк", {8}},    // one direction only
        {"Парк", "Озеро", {}},     // ... and not back
        {"Вокзал", "Завод", {}},   // needs a change
        {"Озеро", "Мост", {}},     // no connection at all
        {"Рынок", "Рынок", {}},    // one stop at both ends
        {"Рынок", "рынок", {}},    //
        {"Вокзал", "Нигде", {}},   // an unknown name
        {"", "Парк", {}},          //
    };
    for (const Case& k : cases)
        EXPECT_EQ(index.FindJourneys(QString::fromUtf8(k.from), QString::fromUtf8(k.to)), k.routes)
            << k.from << " -> " << k.to;
}

TEST(Transport, ChangeJourneysJoinTwoRoutesAtOneStopName) {
    SmallCity c;
    const TransportIndex index(c.db, 0);
    // Route 1 to Рынок (one stop), then route 2 on to Завод (two stops).
    EXPECT_EQ(index.FindChangeJourneys(QStringLiteral("Вокзал"), QStringLiteral("Завод")),
              (std::vector<ChangeJourney>{{0, 2, 2, 2, 3}}));
    // Route 1 back to Рынок (two stops), then route 2 on to Мост (one stop).
    EXPECT_EQ(index.FindChangeJourneys(QStringLiteral("Парк"), QStringLiteral("Мост")),
              (std::vector<ChangeJourney>{{1, 2, 2, 2, 3}}));
    for (auto [from, to] :
         {std::pair{"Озеро", "Мост"}, {"Мост", "Озеро"}, {"Рынок", "Рынок"}, {"Нигде", "Парк"}})
        EXPECT_TRUE(index.FindChangeJourneys(QString::fromUtf8(from), QString::fromUtf8(to)).empty())
            << from << " -> " << to;
}

TEST(Transport, ChangeJourneysChangeAcrossTheStreetAndKeepTheTenShortest) {
    Network n;
    n.Stop(0, 0, QStringLiteral("Старт"), 1);
    n.Stop(50, 0, QStringLiteral("Поле"), 2);
    n.Stop(100, 0, QStringLiteral("Узел"), 3);
    n.Stop(100, 20, QStringLiteral("Узел"), 4); // the other side
    n.Stop(200, 0, QStringLiteral("Финиш"), 5);
    for (int k = 1; k <= 12; ++k)
        n.Route(QStringLiteral("a%1").arg(k), {{1, 1}, {1, 2}, {1, 3}});
    const int quick = n.Route(QStringLiteral("a13"), {{1, 1}, {1, 3}});
    const int on = n.Route(QStringLiteral("b"), {{1, 4}, {1, 5}});
    const TransportIndex index(n.db, 0);
    const std::vector<ChangeJourney> found =
        index.FindChangeJourneys(QStringLiteral("Старт"), QStringLiteral("Финиш"));
    ASSERT_EQ(found.size(), std::size_t(TransportIndex::MaxChangeJourneys));
    EXPECT_EQ(found[0], (ChangeJourney{quick, on, 2, 3, 2}));
    for (std::size_t k = 1; k < found.size(); ++k) {
        EXPECT_EQ(found[k].first, int(k) - 1); // then the longer ones in BusWays order
        EXPECT_EQ(found[k].stops, 3);
    }
}

TEST(Transport, ANameSharedByManyStopsIsOnePlaceToStartAndToShow) {
    Network n;
    for (int k = 0; k < 300; ++k)
        n.Stop(float(k * 10), float(k % 7), QStringLiteral("Центр"), k + 1);
    n.Stop(5000, 0, QStringLiteral("Финиш"), 1000);
    n.Route("1", {{1, 150}, {1, 1000}});
    n.Route("2", {{1, 1000}, {1, 299}});
    const TransportIndex index(n.db, 0);
    EXPECT_EQ(index.FindJourneys(QStringLiteral("Центр"), QStringLiteral("Финиш")), (std::vector<int>{0}));
    EXPECT_EQ(index.FindJourneys(QStringLiteral("Финиш"), QStringLiteral("центр")), (std::vector<int>{1}));
    EXPECT_TRUE(index.FindChangeJourneys(QStringLiteral("Центр"), QStringLiteral("Центр")).empty());
    const TransportShow show = ShowStopsOnMap(n.db, index, QStringLiteral("Центр"), 900, 900, 4);
    EXPECT_EQ(show.stops.size(), 300u);
    EXPECT_FLOAT_EQ(show.target.scale, 4) << "the whole city at most";
    EXPECT_FLOAT_EQ(show.target.x, 1495);
}

TEST(Transport, RoutesThroughAStopTakeListedStopsOncePerNumber) {
    SmallCity c;
    const TransportIndex index(c.db, 0);
    EXPECT_EQ(index.RoutesThroughStop(2), (std::vector<int>{0, 2, 6})); // Рынок
    EXPECT_EQ(index.RoutesThroughStop(5), (std::vector<int>{}));        // Мост: kind 2 is not listed
    EXPECT_EQ(index.RoutesThroughStop(6), (std::vector<int>{3}));       // its other side
    EXPECT_EQ(index.RoutesThroughStop(8), (std::vector<int>{8}));       // Озеро
    EXPECT_TRUE(index.RoutesThroughStop(-1).empty());
    EXPECT_TRUE(index.RoutesThroughStop(100).empty());
}

TEST(Transport, CandidatesAreDistinctIgnoringCase) {
    SmallCity c;
    c.Stop(5, 5, QStringLiteral("вокзал"), 20);
    c.Stop(6, 6, QString(), 21);
    c.Route("10а", {{1, 1}});
    c.Route("10А", {{1, 1}});
    c.Route("", {{1, 1}});
    EXPECT_EQ(RouteNumbers(c.db, 0), (QStringList{"1", "2", "4", "5", "6", "8", "10а"}));
    EXPECT_EQ(StopNames(c.db, 0),
              (QStringList{"Вокзал", "Рынок", "Школа", "Парк", "Мост", "Завод", "Озеро"}));
    EXPECT_TRUE(RouteNumbers(c.db, 1).isEmpty()); // a data language the city lacks
    const TransportIndex index(c.db, 0);
    EXPECT_EQ(index.StopsByName(QStringLiteral("ВОКЗАЛ")), (std::vector<int>{0, 1, 9}));
}

// The route field's drop-down: numbers as numbers with their letters after, and the typed number itself
// first, so that Enter takes it rather than a longer number holding it ("500" is not 1500).
TEST(Transport, RouteNumbersSortAsNumbersAndTheTypedOneComesFirst) {
    const RouteNumberSource source(
        {"1500", "100", "3т", "500", "10", "Т1", "2", "1000", "1", "500а", "50", "3", "10А", "5000"});
    const auto listed = [&](const QString& typed) {
        QStringList out;
        for (int i : source.Filter(typed.toUpper()))
            out << source.Text(i);
        return out;
    };
    EXPECT_EQ(source.Texts(), (QStringList{"1", "2", "3", "3т", "10", "10А", "50", "100", "500", "500а", "1000",
                                           "1500", "5000", "Т1"}));
    const struct {
        const char* typed;
        QStringList shown;
    } cases[] = {
        {"500", {"500", "500а", "1500", "5000"}},
        {"50", {"50", "500", "500а", "1500", "5000"}},
        {"1", {"1", "10", "10А", "100", "1000", "1500", "Т1"}},
        {"3Т", {"3т"}},
        {"10а", {"10А"}},
        {"00", {"100", "500", "500а", "1000", "1500", "5000"}},
        {"7", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(listed(QString::fromUtf8(c.typed)), c.shown) << c.typed;
    EXPECT_EQ(listed(QString()), source.Texts());
}

TEST(Transport, ShowingARouteFindsBothDirectionsAndTheirStops) {
    SmallCity c;
    const TransportIndex index(c.db, 0);
    Found(c.db.BusStops[8]); // found before: cleared
    const TransportShow show = ShowRouteOnMap(c.db, index, QStringLiteral("2"), 400, 400, 100);
    std::vector<bool> routes, stops;
    for (const TBusWay& w : c.db.BusWays)
        routes.push_back(w.IsFound);
    for (const TBusStop& s : c.db.BusStops)
        stops.push_back(s.IsFound);
    EXPECT_EQ(routes, (std::vector<bool>{false, false, true, true, false, false, false, false, false}));
    EXPECT_EQ(stops, (std::vector<bool>{false, false, true, false, false, true, true, true, false}));
    EXPECT_EQ(show.stops, (Tai{2, 5, 7, 6}));
    // The box from (100, 0) to (150, 200), centred: the height decides, with a twentieth of the map free
    // above and below.
    EXPECT_FLOAT_EQ(show.target.x, 125);
    EXPECT_FLOAT_EQ(show.target.y, 100);
    EXPECT_FLOAT_EQ(show.target.scale, 200.f / (400 * 0.9f));
    EXPECT_FLOAT_EQ(ShowRouteOnMap(c.db, index, QStringLiteral("2"), 400, 100, 100).target.scale, 200.f / 90)
        << "a low map";

    // A number that matches nothing, a partial one, a route naming only missing stops, one point.
    for (const char* number : {"9", "", "1 "}) {
        const TransportShow none = ShowRouteOnMap(c.db, index, QString::fromUtf8(number), 400, 400, 100);
        EXPECT_EQ(none.target.scale, 0) << number;
        EXPECT_TRUE(
            std::none_of(c.db.BusWays.begin(), c.db.BusWays.end(), [](auto& w) { return w.IsFound; }));
    }
    c.Route("7", {{1, 99}});
    const TransportIndex again(c.db, 0);
    EXPECT_EQ(ShowRouteOnMap(c.db, again, QStringLiteral("7"), 400, 400, 100).target.scale, 0);
    const TransportShow point = ShowRouteOnMap(c.db, again, QStringLiteral("6"), 400, 400, 100);
    EXPECT_FLOAT_EQ(point.target.scale, MapView::MinScale);
    EXPECT_FLOAT_EQ(point.target.x, 0);
}

TEST(Transport, ShowingStopsByNameFitsThemAndOneStopByIdentifierCentresIt) {
    SmallCity c;
    const TransportIndex index(c.db, 0);
    TransportShow show = ShowStopsOnMap(c.db, index, QStringLiteral("мост"), 30, 30, 10);
    EXPECT_EQ(show.stops, (Tai{5, 6}));
    EXPECT_TRUE(c.db.BusStops[5].IsFound && c.db.BusStops[6].IsFound);
    EXPECT_FLOAT_EQ(show.target.x, 100);
    EXPECT_FLOAT_EQ(show.target.y, 110);
    EXPECT_FLOAT_EQ(show.target.scale, 20.f / 10); // extent ÷ (map width ÷ 3)
    EXPECT_FLOAT_EQ(ShowStopsOnMap(c.db, index, QStringLiteral("Мост"), 800, 800, 10).target.scale, 0.5f);
    EXPECT_FLOAT_EQ(ShowStopsOnMap(c.db, index, QStringLiteral("Мост"), 1, 1, 3).target.scale, 3);

    show = ShowStopsOnMap(c.db, index, QStringLiteral("Нигде"), 800, 800, 10);
    EXPECT_TRUE(show.stops.empty());
    EXPECT_EQ(show.target.scale, 0);

    show = ShowStopOnMap(c.db, index, 8);
    EXPECT_EQ(show.stops, (Tai{7}));
    EXPECT_TRUE(c.db.BusStops[7].IsFound);
    EXPECT_FALSE(c.db.BusStops[5].IsFound);
    EXPECT_EQ(show.target.x, 100);
    EXPECT_EQ(show.target.y, 200);
    EXPECT_FLOAT_EQ(show.target.scale, 0.7f);
    EXPECT_EQ(ShowStopOnMap(c.db, index, 99).target.scale, 0);
    EXPECT_FALSE(c.db.BusStops[7].IsFound);
}

} // namespace
