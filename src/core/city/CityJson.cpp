#include "CityJson.h"

#include "CityDb.h"
#include "DirectoryRecords.h"

#include <QJsonArray>
#include <charconv>
#include <cstdlib>

namespace {

// The shortest decimal that reads back as the same float, so 12.34f prints as 12.34.
QJsonValue Num(float v) {
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    *res.ptr = 0;
    return std::strtod(buf, nullptr);
}

QJsonArray Strings(const QStringList& l) {
    return QJsonArray::fromStringList(l);
}

template <class Items, class F> QJsonArray Array(const Items& items, F f) {
    QJsonArray a;
    for (const auto& item : items)
        a.append(f(item));
    return a;
}

QJsonArray Ints(const Tai& v) {
    return Array(v, [](std::int32_t i) { return QJsonValue(i); });
}

template <class Points> QJsonArray Shape(const Points& s) {
    return Array(s, [](const TCoord& c) { return QJsonArray{Num(c.x), Num(c.y)}; });
}

template <class F>
QJsonArray Flags(const F& f) {
    QJsonArray a;
    for (std::size_t i = 0; i < f.size(); ++i)
        a.append(f[i]);
    return a;
}

QJsonObject Resource(const TResource& r) {
    return {{"size", r.size}, {"offset", r.offset}};
}
QJsonValue OptImg(const std::optional<TImg>& img) {
    return img ? QJsonValue(Resource(*img)) : QJsonValue();
}
QJsonValue OptPage(const std::optional<TPg>& pg) {
    if (!pg) return QJsonValue();
    QJsonObject o = Resource(*pg);
    o["Name"] = pg->Name;
    return o;
}

QJsonObject Common(const TCommonObj& o) {
    return {{"color", qint64(o.color)},
            {"NormalColor", qint64(o.NormalColor)},
            {"FoundColor", qint64(o.FoundColor)},
            {"IsFound", o.IsFound},
            {"minX_", Num(o.minX_)},
            {"maxX_", Num(o.maxX_)},
            {"minY_", Num(o.minY_)},
            {"maxY_", Num(o.maxY_)},
            {"maxX_3d", Num(o.maxX_3d)},
            {"minY_3d", Num(o.minY_3d)}};
}

QJsonObject Street(const TStreet& s) {
    QJsonObject o = Common(s);
    o["Name"] = Strings(s.Name);
    o["Visible"] = s.Visible;
    o["shape"] = Shape(s.shape);
    o["width"] = Num(s.width);
    return o;
}

QJsonObject Building(const TBuilding& b) {
    QJsonObject o = Common(b);
    o["shapes"] = Array(b.shapes, [](const TShapeView& s) {
        return QJsonObject{{"shape", Shape(s.shape)},
                           {"visSide", Flags(s.visSide)},
                           {"comSide", Flags(s.comSide)},
                           {"high", s.high}};
    });
    o["levels"] = b.levels;
    o["index"] = *b.index;
    o["street"] = b.street;
    o["num"] = Strings(b.num);
    o["ShapeWithNum"] = b.ShapeWithNum;
    o["id"] = b.id;
    o["x"] = Num(b.x);
    o["y"] = Num(b.y);
    o["tip"] = b.tip;
    o["caption"] = Strings(b.caption);
    o["material"] = int(b.material);
    return o;
}

QJsonObject Field(const TField& f) {
    QJsonObject o = Common(f);
    o["shape"] = Shape(f.shape);
    o["typ"] = f.typ;
    o["caption"] = Strings(f.caption);
    return o;
}

QJsonObject Road(const TRoad& r) {
    QJsonObject o = Common(r);
    o["point"] = QJsonArray{QJsonArray{Num(r.point[0].x), Num(r.point[0].y)},
                            QJsonArray{Num(r.point[1].x), Num(r.point[1].y)}};
    o["width"] = Num(r.width);
    o["layer"] = r.layer;
    o["tip"] = int(r.tip);
    return o;
}

QJsonObject Stop(const TBusStop& s) {
    QJsonObject o = Common(s);
    o["x"] = Num(s.x);
    o["y"] = Num(s.y);
    o["id_"] = s.id_;
    o["caption"] = Strings(s.caption);
    o["Radius"] = s.Radius;
    o["tip"] = int(s.tip);
    return o;
}

QJsonObject Route(const TBusWay& w) {
    QJsonObject o = Common(w);
    o["way"] = Array(w.way, [](const TWayPoint& p) {
        return QJsonObject{{"typ", p.typ}, {"x", Num(p.x)}, {"y", Num(p.y)}, {"ids", p.ids}};
    });
    o["num"] = Strings(w.num);
    o["tip"] = int(w.tip);
    o["Visible"] = w.Visible;
    o["MetroColor"] = qint64(w.MetroColor);
    return o;
}

QJsonObject Text(const TText& t) {
    QJsonObject o = Common(t);
    o["Text"] = Strings(t.Text);
    o["x"] = Num(t.x);
    o["y"] = Num(t.y);
    o["angle"] = t.angle;
    o["size"] = t.size;
    o["layer"] = t.layer;
    return o;
}

QJsonObject Poi(const TPOI& p) {
    QJsonObject o = Common(p);
    o["x"] = Num(p.x);
    o["y"] = Num(p.y);
    o["tip"] = int(p.tip);
    o["caption"] = p.caption;
    return o;
}

QJsonObject Phone(const TPhone& p) {
    return {{"code", p.code}, {"phone", p.phone}, {"place", Strings(p.place)}, {"cell", p.cell}};
}

QJsonObject Address(const TAdr& a) {
    return {{"street", a.street},
            {"num", Strings(a.num)},
            {"id", a.id},
            {"nomap_adr", Strings(a.nomap_adr)},
            {"place", Strings(a.place)},
            {"fax", a.fax},
            {"phones", Array(a.phones, Phone)},
            {"schedule", a.schedule},
            {"money", Array(a.money, [](std::uint8_t m) { return QJsonValue(m); })}};
}

QJsonObject Org(const TOrg& o) {
    return {{"id", o.id},
            {"caption", Strings(o.caption)},
            {"Description", Strings(o.Description)},
            {"website", o.website},
            {"email", o.email},
            {"icq", *o.icq},
            {"skype", *o.skype},
            {"BuildBannerAdr", o.BuildBannerAdr},
            {"startBanner", OptImg(o.startBanner)},
            {"listBanner", OptImg(o.listBanner)},
            {"DownBanner", OptImg(o.DownBanner)},
            {"QuitBanner", OptImg(o.QuitBanner)},
            {"firstBanner", o.firstBanner},
            {"mapBanner", OptImg(o.mapBanner)},
            {"buildBanner", OptImg(o.buildBanner)},
            {"mark", o.mark},
            {"place", o.place},
            {"seconds", o.seconds},
            {"page", OptPage(o.page)},
            {"adrs", Array(o.adrs, Address)},
            {"zone", Ints(o.zone)},
            {"area", Ints(o.area)},
            {"socnet", Array(o.socnet, [](const TSoc& s) {
                 return QJsonObject{{"id", s.id}, {"url", s.url}};
             })}};
}

QJsonArray Schedule(const TSchedule& s) {
    QJsonArray days;
    for (const TDaySchedule& d : s)
        days.append(QJsonObject{{"BeginWork", ScheduleTimeText(d.BeginWork)},
                                {"EndWork", ScheduleTimeText(d.EndWork)},
                                {"BeginDiner", ScheduleTimeText(d.BeginDiner)},
                                {"EndDiner", ScheduleTimeText(d.EndDiner)}});
    return days;
}

QJsonArray NameTable(const std::vector<Tas>& t) {
    return Array(t, [](const Tas& s) { return Strings(s); });
}

} // namespace

QJsonObject CityToJson(const CityDb& db) {
    return {
        {"AgentName", db.AgentName},
        {"AgentEmail", db.AgentEmail},
        {"AgentPhone", db.AgentPhone},
        {"DataLangCount", db.DataLangCount},
        {"DataLangNames", Strings(db.DataLangNames)},
        {"PhoneCodes", Strings(db.PhoneCodes)},
        {"MoneyKinds", Array(db.MoneyKinds,
                             [](const TMoney& m) {
                                 return QJsonObject{{"caption", m.caption}, {"logo", Resource(m.logo)}};
                             })},
        {"SocNets",
         Array(
             db.SocNets,
             [](const TSocNet& s) {
                 return QJsonObject{{"caption", s.caption}, {"prefix", s.prefix}, {"logo", Resource(s.logo)}};
             })},
        {"Orgs", Array(db.Orgs, Org)},
        {"Schedules", Array(db.Schedules, Schedule)},
        {"WebTabUrls", Strings(db.WebTabUrls)},
        {"RunningTexts", Strings(db.RunningTexts)},
        {"RunningOrgIds", Ints(db.RunningOrgIds)},
        {"EstateAgents", Array(db.EstateAgents,
                               [](const TAgent& a) {
                                   return QJsonObject{{"id", a.id}, {"ind", a.ind}, {"name", a.name}};
                               })},
        {"Streets", Array(db.Streets, Street)},
        {"Buildings", Array(db.Buildings, Building)},
        {"BuildIndexes", Array(db.BuildIndexes,
                               [](const TBuildIndex& e) {
                                   return QJsonObject{{"s", e.s}, {"ind", e.ind}, {"n", *e.n}};
                               })},
        {"Fields", Array(db.Fields, Field)},
        {"Roads", Array(db.Roads, Road)},
        {"BusStops", Array(db.BusStops, Stop)},
        {"BusWays", Array(db.BusWays, Route)},
        {"Texts", Array(db.Texts, Text)},
        {"POIs", Array(db.POIs, Poi)},
        {"TransportTypeNames", NameTable(db.TransportTypeNames)},
        {"MaterialNames", NameTable(db.MaterialNames)},
        {"BuildingTypeNames", NameTable(db.BuildingTypeNames)},
        {"RubricNames", Strings(db.RubricNames)},
        {"RubricTree", db.RubricTree},
        {"Fotos",
         Array(db.Fotos,
               [](const TFoto& f) {
                   return QJsonObject{{"build_id", f.build_id}, {"offset", f.offset}, {"size", f.size}};
               })},
        {"Has3D", db.Has3D},
        {"WorldMinX", Num(db.WorldMinX)},
        {"WorldMinY", Num(db.WorldMinY)},
        {"WorldMaxX", Num(db.WorldMaxX)},
        {"WorldMaxY", Num(db.WorldMaxY)}};
}

QJsonObject CitySummaryJson(const CityDb& db) {
    auto n = [](std::size_t c) { return QJsonValue(qint64(c)); };
    return {{"DataLangCount", db.DataLangCount},
            {"PhoneCodes", n(db.PhoneCodes.size())},
            {"MoneyKinds", n(db.MoneyKinds.size())},
            {"SocNets", n(db.SocNets.size())},
            {"Orgs", n(db.Orgs.size())},
            {"Schedules", n(db.Schedules.size())},
            {"WebTabUrls", n(db.WebTabUrls.size())},
            {"RunningTexts", n(db.RunningTexts.size())},
            {"EstateAgents", n(db.EstateAgents.size())},
            {"Streets", n(db.Streets.size())},
            {"Buildings", n(db.Buildings.size())},
            {"BuildIndexes", n(db.BuildIndexes.size())},
            {"Fields", n(db.Fields.size())},
            {"Roads", n(db.Roads.size())},
            {"BusStops", n(db.BusStops.size())},
            {"BusWays", n(db.BusWays.size())},
            {"Texts", n(db.Texts.size())},
            {"POIs", n(db.POIs.size())},
            {"TransportTypeNames", n(db.TransportTypeNames.size())},
            {"MaterialNames", n(db.MaterialNames.size())},
            {"BuildingTypeNames", n(db.BuildingTypeNames.size())},
            {"RubricNames", n(db.RubricNames.size())},
            {"Fotos", n(db.Fotos.size())},
            {"Has3D", db.Has3D},
            {"WorldMinX", Num(db.WorldMinX)},
            {"WorldMinY", Num(db.WorldMinY)},
            {"WorldMaxX", Num(db.WorldMaxX)},
            {"WorldMaxY", Num(db.WorldMaxY)}};
}
