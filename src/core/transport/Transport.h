// Public transport over BusWays and BusStops: the candidates of the transport tab's fields, direct
// journeys between two stop names, journeys with one change where no route runs directly, the routes
// through a stop, and what the map marks and where it goes to show a route or stops.
#pragma once

#include "CityDb.h"
#include "FilterList.h"
#include "MapView.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

// Distinct route numbers (ignoring case) in BusWays order, and distinct non-empty stop captions
// (ignoring case) in BusStops order, both in the data language; the drop-down sorts them.
QStringList RouteNumbers(const CityDb& db, int dataLang);
QStringList StopNames(const CityDb& db, int dataLang);

// Route numbers as numbers, their letters after: 1, 2, 3т, 10, 100 (the order of house numbers).
bool RouteNumberLess(const QString& a, const QString& b);

// The route field's candidates in RouteNumberLess order. A candidate that is the typed text (ignoring
// case) comes first, so that Enter on a whole number takes that route and not a longer one holding it.
class RouteNumberSource : public TextListSource {
public:
    explicit RouteNumberSource(QStringList numbers);
    std::vector<int> Filter(const QString& upper) const override;
};

// One journey with a change: `first` runs from a start stop to `leave`, `second` from `board` (a stop
// of the same name: the other side of the street, or the same stop) to a destination stop. `stops`
// counts the stops ridden on both routes.
struct ChangeJourney {
    int first = -1, second = -1; // positions in BusWays
    int leave = -1, board = -1;  // positions in BusStops
    int stops = 0;
    bool operator==(const ChangeJourney&) const = default;
};

// Prepared once per city and data language: stops by identifier and by name, each route's stop points
// resolved to stop positions, and the routes that pass each stop name. Lookups give what the plain walks
// over the city give.
class TransportIndex {
public:
    static constexpr int MaxChangeJourneys = 10;

    TransportIndex(const CityDb& db, int dataLang);

    const CityDb& Db() const { return db_; }
    int DataLang() const { return dataLang_; }
    // The first stop with that identifier, -1 for none.
    int StopById(int id) const { return stopById_.value(id, -1); }
    // Every stop whose caption equals `name` ignoring case, in BusStops order.
    std::vector<int> StopsByName(const QString& name) const;

    // Routes running directly from a stop named `from` to a later stop named `to`: one per route
    // number, the first direction that qualifies, in BusWays order. Any stop point counts.
    std::vector<int> FindJourneys(const QString& from, const QString& to) const;
    // Journeys with one change between stops of one name, fewest stops first (then BusWays order), one
    // per pair of route numbers, at most MaxChangeJourneys. Empty when the names are one stop name or
    // unknown. Meant for when FindJourneys finds nothing.
    std::vector<ChangeJourney> FindChangeJourneys(const QString& from, const QString& to) const;
    // Routes with a listed stop point (typ 1) of the stop's identifier, one per route number, in
    // BusWays order.
    std::vector<int> RoutesThroughStop(int stop) const;
    // The first route numbered exactly `number` in the data language, -1 for none.
    int FirstRoute(const QString& number) const;
    // The next route after `route` with the same number (its other direction), -1 for none.
    int NextDirection(int route) const;

private:
    struct Point {
        int stop;  // position in BusStops, -1 when the identifier names no stop
        int group; // name group of that stop, -1 for none or a stop without a caption
    };
    int Group(const QString& name) const { return groups_.value(name.toLower(), -1); }
    std::pair<const Point*, const Point*> Points(int route) const {
        return {points_.data() + pointStart_[std::size_t(route)],
                points_.data() + pointStart_[std::size_t(route) + 1]};
    }

    const CityDb& db_;
    int dataLang_;
    QHash<int, int> stopById_;
    QHash<QString, int> groups_;                // lower-cased caption -> name group
    std::vector<std::vector<int>> groupStops_;  // stops of each group, in BusStops order
    std::vector<std::vector<int>> groupRoutes_; // routes passing a stop of each group, ascending
    std::vector<int> numberOf_;                 // route -> id of its exact number
    std::vector<Point> points_;                 // stop points (typ not 0) of all routes, route by route
    std::vector<std::size_t> pointStart_;
};

// The result of marking objects to show: where the map goes (scale 0: nowhere) and what blinks.
struct TransportShow {
    ZoomTarget target;
    Tai stops; // positions in BusStops
};

// ClearFound, then the first route numbered `number` and its other direction are found (with their
// stops); the view fits both, centred, with a margin. Nothing is found when no route has that number; a route without a
// position gives no view.
TransportShow ShowRouteOnMap(CityDb& db, const TransportIndex& index, const QString& number, int mapWidth,
                             int mapHeight, float fullScale);
// ClearFound, then the stop of that identifier is found; the view centres it at scale 0.7.
TransportShow ShowStopOnMap(CityDb& db, const TransportIndex& index, int stopId);
// ClearFound, then every stop of that name is found; the view fits them into a third of the map, within
// [0.5, fullScale].
TransportShow ShowStopsOnMap(CityDb& db, const TransportIndex& index, const QString& name, int mapWidth,
                             int mapHeight, float fullScale);
