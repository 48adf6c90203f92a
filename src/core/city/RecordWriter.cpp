#include "RecordWriter.h"

#include "ByteWriter.h"
#include "CityDb.h"
#include "CityWriter.h"
#include "DirectoryRecords.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

template <class N> N Fits(std::size_t n, const char* what) {
    if (n > std::size_t(std::numeric_limits<N>::max()))
        throw std::length_error(std::string("too many ") + what + " for the format: " + std::to_string(n));
    return N(n);
}

// A filled language set: entries equal to the first are stored empty, as loading fills them back.
void Filled(ByteWriter& w, const Tas& set, int L) {
    for (int i = 0; i < L; ++i) {
        const QString s = i < set.size() ? set[i] : QString();
        w.str(i > 0 && !set.isEmpty() && s == set.front() ? QString() : s);
    }
}

void Points(ByteWriter& w, const TShapeFis& shape) {
    w.u16(Fits<std::uint16_t>(shape.size(), "points in a shape"));
    for (const TCoord& c : shape) {
        w.coord(c.x);
        w.coord(c.y);
    }
}

bool AnyText(const Tas& set) {
    for (const QString& s : set)
        if (!s.isEmpty()) return true;
    return false;
}

void Img(ByteWriter& w, const TImg& img) {
    w.i32(img.size);
    w.i32(img.offset);
}

void Names(ByteWriter& w, const std::vector<Tas>& names, int L) {
    w.i32(Fits<std::int32_t>(names.size(), "names"));
    for (const Tas& n : names)
        Filled(w, n, L);
}

void Time(ByteWriter& w, double dayFraction) {
    const long minutes = std::lround(dayFraction * 1440.0);
    if (minutes < 0 || minutes >= 24 * 60)
        throw std::invalid_argument("schedule time outside a day: " + std::to_string(dayFraction));
    w.u8(std::uint8_t(minutes / 60));
    w.u8(std::uint8_t(minutes % 60));
}

} // namespace

QByteArray WriteMapRecords(const CityDb& db) {
    const int L = db.DataLangCount;
    ByteWriter w;
    for (std::size_t n :
         {db.Streets.size(), db.Buildings.size(), db.BuildIndexes.size(), db.Fields.size(), db.Roads.size(),
          db.BusStops.size(), db.BusWays.size(), db.Texts.size(), db.POIs.size()})
        w.i32(Fits<std::int32_t>(n, "map objects"));

    for (const TStreet& s : db.Streets) {
        Points(w, s.shape);
        Filled(w, s.Name, L);
    }
    for (const TBuilding& b : db.Buildings) {
        w.i32(b.id);
        w.u8(Fits<std::uint8_t>(b.shapes.size(), "shapes in a building"));
        for (const TShapeView& sh : b.shapes) {
            w.u16(Fits<std::uint16_t>(sh.shape.size(), "points in a shape"));
            for (std::size_t j = 0; j < sh.shape.size(); ++j) {
                w.coord(sh.shape[j].x);
                w.coord(sh.shape[j].y);
                w.u8(j < sh.visSide.size() && sh.visSide[j] ? 1 : 0);
            }
            w.u16(sh.high);
        }
        w.u8(b.levels);
        w.str(b.index);
        w.i32(b.street);
        Filled(w, b.num, L);
        w.u8(b.material);
        w.u8(b.tip);
        w.coord(b.x);
        w.coord(b.y);
    }
    for (const TBuildIndex& e : db.BuildIndexes) {
        w.i32(e.s);
        w.str(e.n);
        w.i32(e.ind);
    }
    for (const TField& f : db.Fields) {
        if (f.shape.empty()) throw std::invalid_argument("area without points");
        Points(w, f.shape);
        w.u8(f.typ);
    }
    for (const TRoad& r : db.Roads) {
        for (const TCoord& c : r.point) {
            w.coord(c.x);
            w.coord(c.y);
        }
        w.u8(r.layer);
        w.u8(r.tip);
        w.i32(CoordToStored(r.width));
    }
    for (const TBusStop& s : db.BusStops) {
        w.i32(s.id_);
        w.u8(s.tip);
        w.coord(s.x);
        w.coord(s.y);
        Filled(w, s.caption, L);
    }
    for (const TBusWay& r : db.BusWays) {
        Filled(w, r.num, L);
        w.u8(r.tip);
        w.u16(Fits<std::uint16_t>(r.way.size(), "points in a route"));
        for (const TWayPoint& p : r.way) {
            w.u8(p.typ);
            if (p.typ != 0) {
                w.u16(p.ids);
            } else {
                w.coord(p.x);
                w.coord(p.y);
            }
        }
    }
    for (const TText& t : db.Texts) {
        w.coord(t.x);
        w.coord(t.y);
        w.i32(t.angle);
        w.i32(t.size);
        w.i32(std::int32_t(t.color));
        w.u8(t.layer);
        Filled(w, t.Text, L);
    }
    for (const TPOI& p : db.POIs) {
        w.u8(p.tip);
        w.coord(p.x);
        w.coord(p.y);
        w.str(p.caption);
    }

    auto captions = [&](const auto& objects) {
        std::int32_t c = 0;
        for (const auto& o : objects)
            c += AnyText(o.caption);
        w.i32(c);
        for (std::size_t i = 0; i < objects.size(); ++i)
            if (AnyText(objects[i].caption)) {
                w.i32(std::int32_t(i));
                Filled(w, objects[i].caption, L);
            }
    };
    captions(db.Buildings);
    captions(db.Fields);

    std::int32_t labels = 0;
    for (const TBuilding& b : db.Buildings)
        labels += b.ShapeWithNum != 0;
    w.i32(labels);
    for (std::size_t i = 0; i < db.Buildings.size(); ++i)
        if (db.Buildings[i].ShapeWithNum != 0) {
            w.i32(std::int32_t(i));
            w.u16(db.Buildings[i].ShapeWithNum);
        }

    std::int32_t metro = 0;
    for (const TBusWay& r : db.BusWays)
        metro += r.MetroColor != 0;
    w.i32(metro);
    for (std::size_t i = 0; i < db.BusWays.size(); ++i)
        if (db.BusWays[i].MetroColor != 0) {
            w.i32(std::int32_t(i));
            w.i32(std::int32_t(db.BusWays[i].MetroColor));
        }

    Names(w, db.TransportTypeNames, L);
    Names(w, db.MaterialNames, L);
    Names(w, db.BuildingTypeNames, L);
    return w.take();
}

QByteArray WriteDirectoryRecords(const CityDb& db) {
    const int L = db.DataLangCount;
    if (L < 1) throw std::invalid_argument("a city needs at least one data language");
    ByteWriter w;
    w.u8(Fits<std::uint8_t>(std::max<qsizetype>(0, db.PhoneCodes.size() - 1), "phone codes"));
    for (qsizetype i = 1; i < db.PhoneCodes.size(); ++i)
        w.str(db.PhoneCodes[i]);
    w.i32(L);
    w.langSet(db.DataLangNames, L);
    w.u8(Fits<std::uint8_t>(db.MoneyKinds.size(), "payment kinds"));
    for (const TMoney& m : db.MoneyKinds) {
        w.str(m.caption);
        Img(w, m.logo);
    }
    w.u8(Fits<std::uint8_t>(db.SocNets.size(), "social networks"));
    for (const TSocNet& s : db.SocNets) {
        w.str(s.caption);
        w.str(s.prefix);
        Img(w, s.logo);
    }

    w.i32(Fits<std::int32_t>(db.Orgs.size(), "organisations"));
    for (const TOrg& o : db.Orgs) {
        w.i32(o.id);
        Filled(w, o.caption, L);
        w.str(o.website);
        w.str(o.email);
        w.str(o.icq);
        w.str(o.skype);
        w.u8(Fits<std::uint8_t>(o.socnet.size(), "social network links"));
        for (const TSoc& s : o.socnet) {
            w.u8(s.id);
            w.str(s.url);
        }
        w.i32(o.BuildBannerAdr);
        w.u16(Fits<std::uint16_t>(o.adrs.size(), "addresses"));
        for (const TAdr& a : o.adrs) {
            w.i32(a.id);
            Filled(w, a.nomap_adr, L);
            Filled(w, a.place, L);
            w.str(a.fax);
            w.u8(Fits<std::uint8_t>(a.phones.size(), "phones"));
            for (const TPhone& ph : a.phones) {
                w.str(StoredPhoneText(ph.phone, ph.code, ph.cell, db.PhoneCodes));
                w.u8(ph.code);
                Filled(w, ph.place, L);
            }
            w.i32(a.schedule);
            w.u8(Fits<std::uint8_t>(a.money.size(), "payment kinds of an address"));
            for (std::uint8_t m : a.money)
                w.u8(m);
        }
        w.u8(Fits<std::uint8_t>(o.area.size(), "rubrics of an organisation"));
        for (std::int32_t a : o.area)
            w.i32(a);
    }

    // Blocks of (organisation position, value) for the organisations that have the value.
    auto block = [&](auto has, auto write) {
        std::int32_t c = 0;
        for (const TOrg& o : db.Orgs)
            c += has(o) ? 1 : 0;
        w.i32(c);
        for (std::size_t i = 0; i < db.Orgs.size(); ++i)
            if (has(db.Orgs[i])) {
                w.i32(std::int32_t(i));
                write(db.Orgs[i]);
            }
    };
    block([](const TOrg& o) { return o.page.has_value(); },
          [&](const TOrg& o) {
              w.str(o.page->Name);
              w.i32(o.page->size);
              w.i32(o.page->offset);
          });
    block([](const TOrg& o) { return !o.Description.isEmpty(); },
          [&](const TOrg& o) {
              w.u8(Fits<std::uint8_t>(o.Description.size(), "description lines"));
              for (const QString& s : o.Description)
                  w.str(s);
          });

    if (db.RunningOrgIds.size() != std::size_t(db.RunningTexts.size()))
        throw std::invalid_argument("running texts and their organisation ids differ in number");
    w.i32(Fits<std::int32_t>(db.RunningTexts.size(), "running texts"));
    for (qsizetype i = 0; i < db.RunningTexts.size(); ++i) {
        const auto at = std::find_if(db.Orgs.begin(), db.Orgs.end(),
                                     [&](const TOrg& o) { return o.id == db.RunningOrgIds[i]; });
        if (at == db.Orgs.end())
            throw std::invalid_argument("running text of organisation id " +
                                        std::to_string(db.RunningOrgIds[i]) + ", which no organisation has");
        w.i32(std::int32_t(at - db.Orgs.begin()));
        w.str(db.RunningTexts[i]);
    }

    for (auto banner :
         {&TOrg::DownBanner, &TOrg::listBanner, &TOrg::mapBanner, &TOrg::buildBanner, &TOrg::QuitBanner})
        block([&](const TOrg& o) { return (o.*banner).has_value(); },
              [&](const TOrg& o) { Img(w, *(o.*banner)); });
    for (auto flag : {&TOrg::firstBanner, &TOrg::mark, &TOrg::place})
        block([&](const TOrg& o) { return o.*flag; }, [](const TOrg&) {});
    block([](const TOrg& o) { return o.seconds != 0; }, [&](const TOrg& o) { w.u8(o.seconds); });
    block([](const TOrg& o) { return !o.zone.empty(); },
          [&](const TOrg& o) {
              w.i32(Fits<std::int32_t>(o.zone.size(), "zones"));
              for (std::int32_t z : o.zone)
                  w.i32(z);
          });

    w.i32(Fits<std::int32_t>(db.WebTabUrls.size(), "web tab addresses"));
    for (const QString& u : db.WebTabUrls)
        w.str(u);

    w.i32(Fits<std::int32_t>(db.Schedules.size(), "schedules"));
    for (const TSchedule& s : db.Schedules)
        for (const TDaySchedule& d : s)
            for (double t : {d.BeginWork, d.EndWork, d.BeginDiner, d.EndDiner})
                Time(w, t);
    return w.take();
}

void SetCitySections(CityWriter& w, const CityDb& db) {
    w.DirectorySection = WriteDirectoryRecords(db);
    w.MapSection = WriteMapRecords(db);
    w.RubricNames = db.RubricNames;
    w.RubricTree = db.RubricTree;
    w.AgentName = db.AgentName;
    w.AgentEmail = db.AgentEmail;
    w.AgentPhone = db.AgentPhone;
}
