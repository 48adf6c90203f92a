// The synthetic city's map: the grid of blocks and streets, buildings, areas, roads, public transport
// and labels.
#include "CityGenGenerator.h"

#include "Cp1251.h"
#include "RecordWriter.h"
#include "WebTabAddress.h"

#include <algorithm>
#include <cmath>

namespace citygen {

void Generator::layout() {
    const double buildingBlocks = std::max(1.0, double(o_.buildings) / PerBlock);
    B_ = std::max(3, int(std::ceil(std::sqrt(buildingBlocks / 0.86))));
    // Each grid line is cut into streets of `span_` blocks.
    const double lines = 2.0 * (B_ + 1);
    span_ = std::max(1, int(std::lround(lines * B_ / std::max(1, o_.streets))));
    perLine_ = (B_ + span_ - 1) / span_;
    D_ = B_ < 12 ? 2 : B_ < 60 ? 3 : 4;
}

void Generator::streets() {
    const int count = 2 * (B_ + 1) * perLine_;
    db_.Streets.resize(count);
    std::vector<int> order(count);
    for (int k = 0; k < count; ++k)
        order[k] = k;
    // Names are handed out in a shuffled order so that neighbouring streets differ.
    for (int k = count - 1; k > 0; --k)
        std::swap(order[k], order[rand(k + 1)]);
    for (int line = 0; line <= B_; ++line)
        for (int seg = 0; seg < perLine_; ++seg) {
            const int first = seg * span_, last = std::min(B_, first + span_);
            TStreet& h = db_.Streets[hStreet(line, first)];
            TStreet& v = db_.Streets[vStreet(line, first)];
            for (int c = first; c < last; ++c) {
                h.shape.push_back({gx(c), gy(line)});
                h.shape.push_back({gx(c + 1), gy(line)});
                v.shape.push_back({gx(line), gy(c)});
                v.shape.push_back({gx(line), gy(c + 1)});
            }
            h.Name = streetName(order[hStreet(line, first)], avenue(line));
            v.Name = streetName(order[vStreet(line, first)], avenue(line));
        }
}

Tas Generator::streetName(int k, bool wide) {
    const int persons = int(std::size(PersonStems)), types = int(std::size(StreetTypes));
    const int combos = persons * types + int(std::size(AdjStems));
    const int base = k % combos, round = k / combos;
    QString ru, en;
    char gender = 'f';
    if (base < persons * types) {
        const QString stem = U(PersonStems[base % persons]);
        // Avenues get the wide street kinds.
        int t = base / persons;
        if (wide && (t == 2 || t == 4)) t = 1;
        const StreetType& type = StreetTypes[t];
        ru = U(type.ru) + u' ' + stem;
        en = Translit(stem) + u' ' + QLatin1String(type.en);
        gender = type.gender;
    } else {
        const QString stem = U(AdjStems[base - persons * types]);
        ru = stem + U(" улица");
        en = Translit(stem) + QStringLiteral(" street");
    }
    if (round > 0) {
        const int n = round + 1;
        ru = QStringLiteral("%1-%2 ").arg(n).arg(gender == 'f'   ? U("я")
                                                 : gender == 'm' ? U("й")
                                                                 : U("е")) +
             ru;
        const char* suffix = n % 10 == 1 && n != 11   ? "st"
                             : n % 10 == 2 && n != 12 ? "nd"
                             : n % 10 == 3 && n != 13 ? "rd"
                                                      : "th";
        en = QStringLiteral("%1%2 ").arg(n).arg(QLatin1String(suffix)) + en;
    }
    return set(ru, en);
}

int Generator::district(float x, float y) const {
    const float size = B_ * Pitch / D_;
    const int dx = std::clamp(int((x - gx(0)) / size), 0, D_ - 1);
    const int dy = std::clamp(int((y - gy(0)) / size), 0, D_ - 1);
    return dy * D_ + dx;
}

QString Generator::nextNumber(int street, bool odd) {
    int& n = numbers_[street * 2 + (odd ? 1 : 0)];
    n = n == 0 ? (odd ? 1 : 2) : n + 2;
    return QString::number(n);
}

void Generator::blocks() {
    // Districts first: the district list takes the leading run of type 9 areas.
    const char* const names[] = {"Центральный", "Ленинский", "Калининский", "Восточный",
                                 "Заречный",    "Северный",  "Южный",       "Западный",
                                 "Лесной",      "Заводской", "Приозёрный",  "Нагорный",
                                 "Садовый",     "Кировский", "Советский",   "Октябрьский"};
    for (int d = 0; d < D_ * D_; ++d) {
        const float size = B_ * Pitch / D_;
        const float x0 = gx(0) + (d % D_) * size, y0 = gy(0) + (d / D_) * size;
        TField f;
        f.typ = DistrictFieldType;
        f.shape = {{x0, y0}, {x0 + size, y0}, {x0 + size, y0 + size}, {x0, y0 + size}};
        const QString ru = U(names[d % std::size(names)]);
        f.caption = set(ru + U(" район"), Translit(ru) + QStringLiteral(" district"));
        db_.Fields.push_back(f);
    }
    numbers_.assign(db_.Streets.size() * 2, 0);
    for (int j = 0; j < B_; ++j)
        for (int i = 0; i < B_; ++i)
            block(i, j);
}

void Generator::block(int i, int j) {
    const float x0 = gx(i) + Road, y0 = gy(j) + Road, x1 = gx(i + 1) - Road, y1 = gy(j + 1) - Road;
    const bool full = int(db_.Buildings.size()) >= o_.buildings;
    // One block in seven is green or water, and every block past the building count is.
    const int kind = full ? 1 + rand(4) : rand(7) == 0 ? 1 + rand(5) : 0;
    TField f;
    f.shape = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    static const std::uint8_t built[] = {0, 0, 0, 0, 0, 6, 6, 3, 4, 12};
    static const std::uint8_t open[] = {0, 1, 11, 2, 7, 5};
    f.typ = kind == 0 ? built[rand(int(std::size(built)))] : open[kind];
    if (kind == 0 && avenue(i) && avenue(j)) f.typ = 10; // squares at avenue crossings
    db_.Fields.push_back(f);
    const int fieldPos = int(db_.Fields.size()) - 1;
    if (kind != 0) {
        openBlock(f.typ, fieldPos, x0, y0, x1, y1);
        return;
    }
    // Buildings along the four sides, facing their streets: five on top and bottom, three on each side.
    const float depth = 14 + rand(5);
    const float w5 = (x1 - x0) / 5, h3 = (y1 - y0 - 2 * depth) / 3;
    // Stored from north to south: the map draws in stored order, so nearer buildings (further south)
    // come later and their walls cover the ones behind them, never the other way round.
    for (int k = 0; k < 5; ++k)
        building(x0 + k * w5 + 2, y0, x0 + (k + 1) * w5 - 2, y0 + depth, hStreet(j, i), true);
    for (int k = 0; k < 3; ++k) {
        building(x0, y0 + depth + k * h3 + 3, x0 + depth, y0 + depth + (k + 1) * h3 - 3, vStreet(i, j),
                 false);
        building(x1 - depth, y0 + depth + k * h3 + 3, x1, y0 + depth + (k + 1) * h3 - 3,
                 vStreet(i + 1, j), true);
    }
    for (int k = 0; k < 5; ++k)
        building(x0 + k * w5 + 2, y1 - depth, x0 + (k + 1) * w5 - 2, y1, hStreet(j + 1, i), false);
}

void Generator::openBlock(std::uint8_t typ, int fieldPos, float x0, float y0, float x1, float y1) {
    int& parks = parks_;
    const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    if (typ == 1 || typ == 11 || typ == 5) {
        const QString ru = U(Brands[rand(int(std::size(Brands)))]);
        const char* what = typ == 1 ? "Парк" : typ == 11 ? "Роща" : "Сад";
        const char* en = typ == 1 ? "park" : typ == 11 ? "grove" : "garden";
        db_.Fields[fieldPos].caption =
            set(U(what) + U(" «") + ru + U("»"), Translit(ru) + u' ' + QLatin1String(en));
        // Paths crossing the park, and its points of interest.
        for (int d = 0; d < 2; ++d) {
            TRoad r;
            r.tip = rtHuman;
            r.point = {TCoord{x0, d ? y1 : y0}, TCoord{x1, d ? y0 : y1}};
            r.width = 2;
            db_.Roads.push_back(r);
        }
        for (int k = 0; k < 4; ++k) {
            TPOI p;
            p.tip = TPOIType((parks * 4 + k) % 7);
            p.x = cx + 25 * (k % 2 ? 1 : -1) + rand(10);
            p.y = cy + 25 * (k / 2 ? 1 : -1) + rand(10);
            p.caption = POITypeName(p.tip) + QStringLiteral(" %1").arg(parks + 1);
            db_.POIs.push_back(p);
        }
        ++parks;
        text(db_.Fields[fieldPos].caption, x0 + 10, cy, 10, 0, 0x006400, 0);
    } else if (typ == 2) {
        const QString ru = U(Brands[rand(int(std::size(Brands)))]);
        db_.Fields[fieldPos].caption = set(U("Озеро ") + ru, QStringLiteral("Lake ") + Translit(ru));
        // A lake is rounder than its block.
        TShapeFis& s = db_.Fields[fieldPos].shape;
        s.clear();
        for (int k = 0; k < 24; ++k) {
            const double a = k * 2 * M_PI / 24;
            s.push_back(
                {float(cx + std::cos(a) * (x1 - x0) * 0.45), float(cy + std::sin(a) * (y1 - y0) * 0.4)});
        }
        text(db_.Fields[fieldPos].caption, cx - 30, cy, 11, 0, 0x8B0000, 0);
    } else if (typ == 7) {
        db_.Fields[fieldPos].caption = set(U("Кладбище"), QStringLiteral("Cemetery"));
        const TCoord c[] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
        for (int k = 0; k < 4; ++k) {
            TRoad r;
            r.tip = rtWall;
            r.point = {c[k], c[(k + 1) % 4]};
            r.width = 1;
            db_.Roads.push_back(r);
        }
        TPOI p;
        p.tip = ptMemorial;
        p.x = cx;
        p.y = cy;
        p.caption = U("Мемориал павшим");
        db_.POIs.push_back(p);
    }
}

void Generator::building(float x0, float y0, float x1, float y1, int street, bool odd) {
    if (int(db_.Buildings.size()) >= o_.buildings) return;
    TBuilding b;
    b.id = int(db_.Buildings.size()) + 1;
    const int dist = district(x0, y0);
    const bool centre = dist == (D_ / 2) * D_ + D_ / 2;
    static const std::uint8_t tips[] = {3, 3, 3, 3, 3, 3, 3,  3,  3,  3,  3,  3,  6,  6,  5,  15, 16, 16,
                                        1, 2, 4, 7, 8, 9, 10, 11, 12, 13, 14, 17, 18, 19, 20, 21, 22};
    b.tip = tips[rand(int(std::size(tips)))];
    b.levels = std::uint8_t(b.tip == 6 || b.tip == 14 || b.tip == 21 ? 1 : 1 + rand(centre ? 24 : 12));
    const std::uint8_t high = b.tip == 20 ? 0 : std::uint8_t(std::min(255, b.levels * 3 + rand(3)));
    b.material = TBuildingMaterial(rand(7));
    b.index = QStringLiteral("6250%1").arg(10 + dist, 2, 10, QChar(u'0'));
    b.street = street;
    QString num = nextNumber(street, odd);
    const int form = rand(20);
    Tas numSet = same(num);
    if (form == 0)
        numSet = set(num + U("а"), num + u'a');
    else if (form == 1)
        numSet = same(num + QStringLiteral("/1"));
    b.num = numSet;
    b.caption = empty();
    const int shapeKind = rand(10);
    auto side = [](std::size_t n) {
        TSideFlags f(n);
        for (std::size_t k = 0; k < n; ++k)
            f.set(k, true);
        return f;
    };
    if (shapeKind < 6) {
        b.shapes.push_back({{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, side(4), {}, high});
    } else if (shapeKind < 8) {
        // An L-shaped house.
        const float mx = (x0 + x1) / 2, my = (y0 + y1) / 2;
        b.shapes.push_back(
            {{{x0, y0}, {x1, y0}, {x1, my}, {mx, my}, {mx, y1}, {x0, y1}}, side(6), {}, high});
    } else {
        // Two wings sharing a wall; equal heights hide it, different heights show it.
        const float mx = (x0 + x1) / 2;
        const std::uint8_t other = shapeKind == 8 ? high : std::uint8_t(std::min(255, high + 6));
        b.shapes.push_back({{{x0, y0}, {mx, y0}, {mx, y1}, {x0, y1}}, side(4), {}, high});
        b.shapes.push_back({{{mx, y1}, {mx, y0}, {x1, y0}, {x1, y1}}, side(4), {}, other});
        if (other > high) b.ShapeWithNum = 1;
    }
    b.x = (x0 + x1) / 2;
    b.y = (y0 + y1) / 2;
    const int n = ++serial_[b.tip];
    switch (b.tip) {
    case 2:
        b.caption = set(U("Школа № %1").arg(n), QStringLiteral("School No. %1").arg(n));
        break;
    case 4:
        b.caption = set(U("Детский сад № %1").arg(n), QStringLiteral("Kindergarten No. %1").arg(n));
        break;
    case 11:
        b.caption =
            set(U("Городская больница № %1").arg(n), QStringLiteral("City hospital No. %1").arg(n));
        break;
    case 12:
        b.caption =
            set(U("Университет, корпус %1").arg(n), QStringLiteral("University, building %1").arg(n));
        break;
    case 17:
        b.caption = set(U("Храм Святой Троицы"), QStringLiteral("Holy Trinity church"));
        break;
    default:
        break;
    }
    db_.Buildings.push_back(std::move(b));
}

void Generator::buildIndex() {
    for (std::size_t i = 0; i < db_.Buildings.size(); ++i) {
        const TBuilding& b = db_.Buildings[i];
        if (b.street < 0) continue;
        db_.BuildIndexes.push_back(
            {b.street, std::int32_t(i), FromCp1251(ToCp1251(b.num[0]).left(BuildIndexNumLength))});
    }
    std::stable_sort(db_.BuildIndexes.begin(), db_.BuildIndexes.end(),
                     [](const TBuildIndex& a, const TBuildIndex& b) { return a.s > b.s; });
}

void Generator::road(float x0, float y0, float x1, float y1, TRoadType tip, float width, std::uint8_t layer) {
    TRoad r;
    r.point = {TCoord{x0, y0}, TCoord{x1, y1}};
    r.tip = tip;
    r.width = width;
    r.layer = layer;
    db_.Roads.push_back(r);
}

void Generator::roads() {
    for (int line = 0; line <= B_; ++line)
        for (int c = 0; c < B_; ++c) {
            const bool wide = avenue(line);
            road(gx(c), gy(line), gx(c + 1), gy(line), rtAuto, wide ? 14 : 8, wide ? 2 : 0);
            road(gx(line), gy(c), gx(line), gy(c + 1), rtAuto, wide ? 14 : 8, wide ? 2 : 0);
            // Trams run along every tenth line.
            if (line % 10 == 5) road(gx(c), gy(line) + 3, gx(c + 1), gy(line) + 3, rtTram, 2, 2);
        }
    // A river along one row of streets, bridged at every crossing; a railway along one column.
    const int riverLine = std::max(1, B_ / 3), railLine = std::max(1, B_ * 2 / 3);
    for (int c = 0; c < B_; ++c) {
        road(gx(c), gy(riverLine) + 18, gx(c + 1), gy(riverLine) + 18, rtWater, 24, 2);
        road(gx(c), gy(riverLine) + 18, gx(c), gy(riverLine) + 18 + 1, rtBridge, 12, 2);
        road(gx(railLine) + 14, gy(c), gx(railLine) + 14, gy(c + 1), rtIron, 6, 2);
    }
    text(set(U("р. Тура"), QStringLiteral("Tura river")), gx(1), gy(riverLine) + 24, 14, 0, 0x8B0000, 1);
    riverLine_ = riverLine;
    railLine_ = railLine;
}

int Generator::stop(float x, float y, TBusStopType tip, const Tas& caption) {
    TBusStop s;
    s.id_ = int(db_.BusStops.size()) + 1;
    s.x = x;
    s.y = y;
    s.tip = tip;
    s.caption = caption;
    db_.BusStops.push_back(s);
    return s.id_;
}

void Generator::route(const Tas& num, TTranspType tip, const std::vector<int>& stops, TCoord turn, TColor metro,
                      const std::vector<int>* back) {
    for (int dir = 0; dir < 2; ++dir) {
        TBusWay w;
        w.num = num;
        w.tip = tip;
        w.MetroColor = metro;
        std::vector<int> order = dir && back ? *back : stops;
        if (dir) std::reverse(order.begin(), order.end());
        for (int id : order)
            w.way.push_back({1, 0, 0, std::uint16_t(id)});
        w.way.push_back({0, turn.x, turn.y, 0});
        db_.BusWays.push_back(std::move(w));
    }
}

void Generator::busNetwork() {
    const int maxStops = 60000; // stop identifiers are 16-bit in routes
    int routeNo = 1, express = 1;
    for (int line = 0; line <= B_ && int(db_.BusStops.size()) < maxStops; line += 5)
        for (int horizontal = 0; horizontal < 2; ++horizontal) {
            const bool tram = line % 10 == 5 && horizontal;
            const TBusStopType kind = tram ? bstTram : bstAuto;
            std::vector<int> there, back;
            for (int c = 0; c <= B_ && int(db_.BusStops.size()) + 2 <= maxStops; ++c) {
                if (c % 2 == 0 && !avenue(c)) continue;
                const int row = std::min(line, B_ - 1), at = std::min(c, B_ - 1);
                Tas caption;
                if (avenue(c)) {
                    const Tas& v = db_.Streets[horizontal ? vStreet(c, row) : vStreet(line, at)].Name;
                    caption = set(U("пл. ") + v.value(0), v.value(1) + QStringLiteral(" square"));
                } else {
                    caption = db_.Streets[horizontal ? vStreet(c, row) : hStreet(c, row)].Name;
                }
                const float x = horizontal ? gx(c) + 20 : gx(line) - 14;
                const float y = horizontal ? gy(line) - 14 : gy(c) + 20;
                there.push_back(stop(x, y, kind, caption));
                back.push_back(stop(horizontal ? x : x + 28, horizontal ? y + 28 : y, kind, caption));
            }
            const TCoord turn = horizontal ? TCoord{gx(B_) + 40, gy(line)} : TCoord{gx(line), gy(B_) + 40};
            for (std::size_t from = 0; from + 1 < there.size(); from += 12) {
                const std::size_t to = std::min(there.size(), from + 12);
                const std::vector<int> a(there.begin() + long(from), there.begin() + long(to));
                const std::vector<int> b(back.begin() + long(from), back.begin() + long(to));
                static const TTranspType kinds[] = {ttBus, ttBus, ttTrolleybus, ttTaxi};
                const TTranspType tip = tram ? ttTramway : kinds[routeNo % 4];
                const QString n = QString::number(routeNo++);
                route(tip == ttTaxi ? set(n + U("т"), n + u't') : same(n), tip, a, turn, 0, &b);
            }
            if (line % 30 == 0 && there.size() >= 2)
                route(same(QStringLiteral("Э%1").arg(express++)), ttBus, there, turn, 0, &back);
        }
}

void Generator::transport() {
    if (o_.busNetwork) busNetwork();
    const int maxStops = 60000;
    int routeNo = 1;
    // Stops at every second crossing of each avenue, both sides; a route per stretch of avenue.
    for (int line = 0; line <= B_ && !o_.busNetwork && int(db_.BusStops.size()) < maxStops; line += 5) {
        for (int horizontal = 0; horizontal < 2; ++horizontal) {
            std::vector<int> stretch;
            const bool tram = line % 10 == 5 && horizontal;
            for (int c = 1; c < B_ && int(db_.BusStops.size()) < maxStops; c += 2) {
                const int cross =
                    horizontal ? vStreet(c, std::min(line, B_ - 1)) : hStreet(c, std::min(line, B_ - 1));
                const Tas caption = db_.Streets[cross].Name;
                const float x = horizontal ? gx(c) + 20 : gx(line) - 14;
                const float y = horizontal ? gy(line) - 14 : gy(c) + 20;
                const int id = stop(x, y, tram ? bstTram : bstAuto, caption);
                stop(horizontal ? x : x + 28, horizontal ? y + 28 : y, tram ? bstTram : bstAuto, caption);
                stretch.push_back(id);
                if (stretch.size() == 12 || c + 2 >= B_) {
                    if (stretch.size() >= 2) {
                        static const TTranspType kinds[] = {ttBus, ttBus, ttTrolleybus, ttTaxi};
                        const TTranspType kind = tram ? ttTramway : kinds[routeNo % 4];
                        const QString n =
                            QString::number(routeNo) + (kind == ttTaxi ? QStringLiteral("т") : QString());
                        route(Tas{n, n == QString::number(routeNo) ? n : QString::number(routeNo) + u't'},
                              kind, stretch, {x + 40, y + 40});
                        ++routeNo;
                    }
                    stretch.clear();
                }
            }
        }
    }
    // Railway stations.
    for (int c = 2; c < B_; c += 5)
        stop(gx(railLine_) + 24, gy(c), bstRail,
             set(U("Станция ") + U(Brands[c % std::size(Brands)]),
                 QStringLiteral("Station ") + Translit(U(Brands[c % std::size(Brands)]))));
    // Metro lines: a station every four blocks, each with two entrances of one name.
    static const TColor lineColors[] = {0x0000FF, 0x008000, 0xFF0000, 0x00A5FF};
    for (int m = 0; m < std::min(4, 1 + B_ / 20); ++m) {
        const int line = 2 + m * std::max(1, B_ / 4);
        std::vector<int> stations;
        for (int c = 1; c < B_; c += 4) {
            const QString name = U(Brands[(m * 7 + c) % std::size(Brands)]);
            const Tas caption = set(U("м. ") + name, Translit(name) + QStringLiteral(" metro"));
            stations.push_back(stop(gx(c) + 30, gy(line) - 20, bstMetro, caption));
            stop(gx(c) + 30, gy(line) + 20, bstMetro, caption);
        }
        if (stations.size() >= 2)
            route(set(QStringLiteral("М%1").arg(m + 1), QStringLiteral("M%1").arg(m + 1)), ttMetro,
                  stations, {gx(B_ - 1), gy(line)}, lineColors[m]);
    }
}

void Generator::text(const Tas& t, float x, float y, int size, int angle, TColor color, std::uint8_t layer) {
    TText l;
    l.Text = t;
    l.x = x;
    l.y = y;
    l.size = std::uint16_t(size);
    l.angle = std::uint16_t(angle);
    l.color = color;
    l.layer = layer;
    db_.Texts.push_back(l);
}

void Generator::labels() {
    for (int d = 0; d < D_ * D_; ++d) {
        const TField& f = db_.Fields[d];
        text(f.caption, f.shape[0].x + 200, f.shape[0].y + 200, 36, 0, 0x606060, 1);
    }
    // Names of the avenues, vertical ones turned by 90 degrees.
    for (int line = 0; line <= B_; line += 5) {
        text(db_.Streets[hStreet(line, 0)].Name, gx(0) + 20, gy(line) - 6, 9, 0, 0x000000, 0);
        text(db_.Streets[vStreet(line, 0)].Name, gx(line) - 6, gy(0) + 120, 9, 900, 0x000000, 0);
    }
}

} // namespace citygen
