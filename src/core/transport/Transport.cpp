#include "Transport.h"

#include "HouseNumbers.h"
#include "ObjectState.h"
#include "OrgSearch.h"

#include <QSet>
#include <algorithm>
#include <tuple>

namespace {

// Texts of the language set in `lang` in order, once each ignoring case, empty ones left out.
template <class Items, class Get> QStringList DistinctTexts(const Items& items, Get text) {
    QStringList out;
    QSet<QString> seen;
    for (const auto& item : items) {
        const QString& t = text(item);
        if (t.isEmpty()) continue;
        const QString key = SearchLower(t);
        if (seen.contains(key)) continue;
        seen.insert(key);
        out.push_back(t);
    }
    return out;
}

} // namespace

QStringList RouteNumbers(const CityDb& db, int dataLang) {
    return DistinctTexts(db.BusWays,
                         [&](const TBusWay& w) -> const QString& { return InLang(w.num, dataLang); });
}

bool RouteNumberLess(const QString& a, const QString& b) {
    return HouseNumberLess(a, b);
}

namespace {
QStringList ByRouteNumber(QStringList numbers) {
    std::stable_sort(numbers.begin(), numbers.end(), RouteNumberLess);
    return numbers;
}
} // namespace

RouteNumberSource::RouteNumberSource(QStringList numbers) : TextListSource(ByRouteNumber(std::move(numbers))) {}

std::vector<int> RouteNumberSource::Filter(const QString& upper) const {
    std::vector<int> rows = TextListSource::Filter(upper);
    if (upper.isEmpty()) return rows;
    const auto exact = std::find_if(rows.begin(), rows.end(), [&](int i) { return SearchUpper(Text(i)) == upper; });
    if (exact != rows.end()) std::rotate(rows.begin(), exact, exact + 1);
    return rows;
}

QStringList StopNames(const CityDb& db, int dataLang) {
    return DistinctTexts(db.BusStops,
                         [&](const TBusStop& s) -> const QString& { return InLang(s.caption, dataLang); });
}

TransportIndex::TransportIndex(const CityDb& db, int dataLang) : db_(db), dataLang_(dataLang) {
    std::vector<int> groupOf(db.BusStops.size(), -1);
    for (std::size_t i = db.BusStops.size(); i-- > 0;)
        stopById_.insert(db.BusStops[i].id_, int(i)); // the first one wins
    for (std::size_t i = 0; i < db.BusStops.size(); ++i) {
        const QString key = SearchLower(InLang(db.BusStops[i].caption, dataLang));
        auto it = groups_.find(key);
        if (it == groups_.end()) {
            it = groups_.insert(key, int(groupStops_.size()));
            groupStops_.emplace_back();
        }
        groupStops_[std::size_t(*it)].push_back(int(i));
        // Stops without a name are all different places: no change between them.
        if (!key.isEmpty()) groupOf[i] = *it;
    }
    groupRoutes_.resize(groupStops_.size());

    QHash<QString, int> numbers;
    numberOf_.reserve(db.BusWays.size());
    pointStart_.reserve(db.BusWays.size() + 1);
    for (std::size_t r = 0; r < db.BusWays.size(); ++r) {
        const TBusWay& w = db.BusWays[r];
        const QString& number = InLang(w.num, dataLang);
        auto known = numbers.constFind(number);
        if (known == numbers.cend()) known = numbers.insert(number, int(numbers.size()));
        numberOf_.push_back(*known);
        pointStart_.push_back(points_.size());
        for (const TWayPoint& p : w.way) {
            if (p.typ == 0) continue;
            const int stop = StopById(p.ids);
            const int group = stop >= 0 ? groupOf[std::size_t(stop)] : -1;
            points_.push_back({stop, group});
            if (group >= 0 && (groupRoutes_[std::size_t(group)].empty() ||
                               groupRoutes_[std::size_t(group)].back() != int(r)))
                groupRoutes_[std::size_t(group)].push_back(int(r));
        }
    }
    pointStart_.push_back(points_.size());
}

std::vector<int> TransportIndex::StopsByName(const QString& name) const {
    const int g = groups_.value(SearchLower(name), -1);
    return g >= 0 ? groupStops_[std::size_t(g)] : std::vector<int>{};
}

std::vector<int> TransportIndex::FindJourneys(const QString& from, const QString& to) const {
    std::vector<int> out;
    const int gF = Group(from), gT = Group(to);
    // One name at both ends is one stop: there is no journey to make.
    if (gF < 0 || gT < 0 || gF == gT) return out;
    // Only routes passing both names can qualify; both lists ascend, so BusWays order is kept.
    const std::vector<int>& a = groupRoutes_[std::size_t(gF)];
    const std::vector<int>& b = groupRoutes_[std::size_t(gT)];
    std::vector<int> both;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(both));
    std::vector<int> numbers;
    for (int r : both) {
        if (std::find(numbers.begin(), numbers.end(), numberOf_[std::size_t(r)]) != numbers.end()) continue;
        bool started = false;
        for (auto [p, end] = Points(r); p != end; ++p) {
            if (!started) {
                started = p->group == gF;
            } else if (p->group == gT) {
                numbers.push_back(numberOf_[std::size_t(r)]);
                out.push_back(r);
                break;
            }
        }
    }
    return out;
}

std::vector<ChangeJourney> TransportIndex::FindChangeJourneys(const QString& from, const QString& to) const {
    const int gF = Group(from), gT = Group(to);
    if (gF < 0 || gT < 0 || gF == gT) return {};
    struct Leg {
        int route, number, stop, index, cost;
    };
    // The cheapest leg of each route number through each change name.
    auto keep = [](std::vector<Leg>& legs, const Leg& l) {
        for (Leg& k : legs)
            if (k.number == l.number) {
                if (l.cost < k.cost) k = l;
                return;
            }
        legs.push_back(l);
    };
    auto changeName = [&](int g) { return g >= 0 && g != gF && g != gT; };

    QHash<int, std::vector<Leg>> outbound, inbound;
    for (int r : groupRoutes_[std::size_t(gF)]) {
        const auto [begin, end] = Points(r);
        const int n = int(end - begin);
        int start = -1;
        for (int i = 0; i < n; ++i) {
            if (start < 0) {
                if (begin[i].group == gF) start = i;
            } else if (changeName(begin[i].group)) {
                keep(outbound[begin[i].group], {r, numberOf_[std::size_t(r)], begin[i].stop, i, i - start});
            }
        }
    }
    for (int r : groupRoutes_[std::size_t(gT)]) {
        const auto [begin, end] = Points(r);
        int next = -1; // the nearest destination stop ahead
        for (int i = int(end - begin) - 1; i >= 0; --i) {
            if (begin[i].group == gT)
                next = i;
            else if (next >= 0 && changeName(begin[i].group) && outbound.contains(begin[i].group))
                keep(inbound[begin[i].group], {r, numberOf_[std::size_t(r)], begin[i].stop, i, next - i});
        }
    }

    // Fewer stops, then earlier routes, then an earlier change along the first route.
    auto before = [](const ChangeJourney& x, int xi, const ChangeJourney& y, int yi) {
        return std::tie(x.stops, x.first, x.second, xi) < std::tie(y.stops, y.first, y.second, yi);
    };
    QHash<qint64, std::pair<ChangeJourney, int>> best; // per pair of numbers, with the leaving index
    for (auto g = inbound.cbegin(); g != inbound.cend(); ++g)
        for (const Leg& a : outbound.value(g.key()))
            for (const Leg& b : g.value()) {
                if (a.number == b.number) continue;
                const ChangeJourney j{a.route, b.route, a.stop, b.stop, a.cost + b.cost};
                const qint64 key = qint64(a.number) << 32 | quint32(b.number);
                auto it = best.find(key);
                if (it == best.end())
                    best.insert(key, {j, a.index});
                else if (before(j, a.index, it->first, it->second))
                    *it = {j, a.index};
            }
    std::vector<ChangeJourney> out;
    out.reserve(std::size_t(best.size()));
    for (const auto& v : best)
        out.push_back(v.first);
    std::sort(out.begin(), out.end(), [](const ChangeJourney& x, const ChangeJourney& y) {
        return std::tie(x.stops, x.first, x.second, x.leave) < std::tie(y.stops, y.first, y.second, y.leave);
    });
    if (out.size() > MaxChangeJourneys) out.resize(MaxChangeJourneys);
    return out;
}

std::vector<int> TransportIndex::RoutesThroughStop(int stop) const {
    std::vector<int> out;
    if (stop < 0 || std::size_t(stop) >= db_.BusStops.size()) return out;
    const int id = db_.BusStops[std::size_t(stop)].id_;
    std::vector<int> numbers;
    for (std::size_t r = 0; r < db_.BusWays.size(); ++r) {
        const TWay& way = db_.BusWays[r].way;
        if (!std::any_of(way.begin(), way.end(),
                         [id](const TWayPoint& p) { return p.typ == 1 && p.ids == id; }))
            continue;
        if (std::find(numbers.begin(), numbers.end(), numberOf_[r]) != numbers.end()) continue;
        numbers.push_back(numberOf_[r]);
        out.push_back(int(r));
    }
    return out;
}

int TransportIndex::FirstRoute(const QString& number) const {
    for (std::size_t r = 0; r < db_.BusWays.size(); ++r)
        if (InLang(db_.BusWays[r].num, dataLang_) == number) return int(r);
    return -1;
}

int TransportIndex::NextDirection(int route) const {
    if (route < 0 || std::size_t(route) >= numberOf_.size()) return -1;
    for (std::size_t r = std::size_t(route) + 1; r < numberOf_.size(); ++r)
        if (numberOf_[r] == numberOf_[std::size_t(route)]) return int(r);
    return -1;
}

namespace {

void AddRouteStops(const TransportIndex& index, const TBusWay& w, Tai& stops) {
    for (const TWayPoint& p : w.way) {
        if (p.typ == 0) continue;
        const int s = index.StopById(p.ids);
        if (s >= 0 && std::find(stops.begin(), stops.end(), s) == stops.end()) stops.push_back(s);
    }
}

} // namespace

TransportShow ShowRouteOnMap(CityDb& db, const TransportIndex& index, const QString& number, int mapWidth,
                             int mapHeight, float fullScale) {
    TransportShow show;
    ClearFound(db);
    const int first = index.FirstRoute(number);
    if (first < 0) return show;
    TBusWay& a = db.BusWays[std::size_t(first)];
    Found(a, db);
    AddRouteStops(index, a, show.stops);
    float minX = a.minX_, maxX = a.maxX_, minY = a.minY_, maxY = a.maxY_;
    if (const int second = index.NextDirection(first); second >= 0) {
        TBusWay& b = db.BusWays[std::size_t(second)];
        Found(b, db);
        AddRouteStops(index, b, show.stops);
        minX = std::min(minX, b.minX_);
        maxX = std::max(maxX, b.maxX_);
        minY = std::min(minY, b.minY_);
        maxY = std::max(maxY, b.maxY_);
    }
    // A route whose points name no stop has no place on the map.
    if (maxX < minX || maxY < minY) return show;
    // Both directions' box, centred, with a twentieth of the map free on each side: not under the map's
    // tool panel or against its edges.
    show.target = FitBox(minX, minY, maxX, maxY, mapWidth, mapHeight, 0.9f, MapView::MinScale, fullScale);
    return show;
}

TransportShow ShowStopOnMap(CityDb& db, const TransportIndex& index, int stopId) {
    TransportShow show;
    ClearFound(db);
    const int stop = index.StopById(stopId);
    if (stop < 0) return show;
    TBusStop& s = db.BusStops[std::size_t(stop)];
    Found(s);
    show.stops = {stop};
    show.target = {s.x, s.y, 0.7f};
    return show;
}

TransportShow ShowStopsOnMap(CityDb& db, const TransportIndex& index, const QString& name, int mapWidth,
                             int mapHeight, float fullScale) {
    TransportShow show;
    ClearFound(db);
    const std::vector<int> stops = index.StopsByName(name);
    if (stops.empty()) return show;
    float minX = BoxMinStart, maxX = BoxMaxStart, minY = BoxMinStart, maxY = BoxMaxStart;
    for (int i : stops) {
        TBusStop& s = db.BusStops[std::size_t(i)];
        Found(s);
        minX = std::min(minX, s.x);
        maxX = std::max(maxX, s.x);
        minY = std::min(minY, s.y);
        maxY = std::max(maxY, s.y);
    }
    show.stops.assign(stops.begin(), stops.end());
    // The stops take a third of the map's width and of its height at most.
    show.target = FitBox(minX, minY, maxX, maxY, mapWidth, mapHeight, 1 / 3.0f, 0.5f, fullScale);
    return show;
}
