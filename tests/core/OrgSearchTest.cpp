// Organisation search: schedule predicates, every criterion of FindOrgs on a small city, the lookups,
// and the prepared index against a plain walk of a generated city.
#include "OrgSearch.h"
#include "CityDb.h"
#include "DirectoryRecords.h"
#include "GeneratedCity.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

QDateTime At(int dayOfWeek, int h, int m, int s = 0) {
    // 7 December 2026 is a Monday.
    return QDateTime(QDate(2026, 12, 6 + dayOfWeek), QTime(h, m, s));
}

TSchedule Week(int bh, int bm, int eh, int em, int dbh = 0, int dbm = 0, int deh = 0, int dem = 0) {
    TSchedule s;
    for (TDaySchedule& d : s)
        d = {ScheduleTime(bh, bm), ScheduleTime(eh, em), ScheduleTime(dbh, dbm), ScheduleTime(deh, dem)};
    return s;
}

TEST(Schedule, OpenAtTheGivenTimes) {
    const TSchedule lunch = Week(9, 0, 18, 0, 13, 0, 14, 0);
    const TSchedule night = Week(20, 0, 2, 0);
    const TSchedule allDay = Week(0, 0, 23, 59);
    TSchedule equalToday = lunch;
    equalToday[2] = {ScheduleTime(10, 0), ScheduleTime(10, 0), 0, 0};
    struct Case {
        const TSchedule* s;
        int day, h, m, sec;
        bool open;
    } cases[] = {
        {&lunch, 1, 9, 0, 0, true},        {&lunch, 1, 12, 59, 0, true},      {&lunch, 1, 13, 0, 0, false},
        {&lunch, 1, 13, 59, 0, false},     {&lunch, 1, 14, 0, 0, true},       {&lunch, 1, 18, 0, 0, false},
        {&lunch, 1, 8, 59, 59, false},     {&night, 3, 23, 30, 0, true},      {&night, 3, 1, 0, 0, true},
        {&night, 3, 2, 0, 0, false},       {&night, 3, 19, 59, 0, false},     {&night, 3, 23, 59, 59, true},
        {&equalToday, 3, 10, 0, 0, false}, {&equalToday, 3, 12, 0, 0, false}, {&allDay, 5, 23, 59, 30, false},
        {&allDay, 5, 0, 0, 0, true},       {&allDay, 7, 23, 58, 59, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WorksNow(*c.s, At(c.day, c.h, c.m, c.sec)), c.open)
            << "day " << c.day << " " << c.h << ":" << c.m << ":" << c.sec;
    EXPECT_TRUE(IsRoundTheClock(allDay));
    EXPECT_FALSE(IsRoundTheClock(lunch));
    TSchedule sundayShort = allDay;
    sundayShort[6].EndWork = ScheduleTime(23, 58);
    EXPECT_FALSE(IsRoundTheClock(sundayShort));
    // A day whose times are all 0 is closed.
    EXPECT_FALSE(WorksNow(TSchedule{}, At(1, 12, 0)));
}

// A small city: two streets, four buildings, organisations with every kind of contact.
struct SmallCity {
    CityDb db;
    SmallCity() {
        db.Streets.resize(2);
        db.Streets[0].Name = {"Ленина улица"};
        db.Streets[1].Name = {"Мира проспект"};
        auto building = [&](int id, int street, const QString& num, float x) {
            TBuilding b;
            b.id = id;
            b.street = street;
            b.num = {num};
            b.Widen(x, 0);
            b.Widen(x + 10, 10);
            db.Buildings.push_back(b);
        };
        building(101, 0, "5", 0);
        building(102, 0, "7А", 100);
        building(103, 1, "5", 1000);
        building(104, 1, "12", 5000);
        // Descending by street.
        db.BuildIndexes = {{1, 2, "5"}, {1, 3, "12"}, {0, 0, "5"}, {0, 1, "7А"}};
        db.SocNets = {{"ВКонтакте", "https://vk.com/", {}}, {"Telegram", "https://t.me/", {}}};
        db.Schedules = {Week(9, 0, 18, 0, 13, 0, 14, 0), Week(0, 0, 23, 59), Week(20, 0, 2, 0)};
        db.RubricNames = {"Аптеки", "Больницы", "Кафе", "Медицинские центры"};
        db.RubricTree = "Здоровье\n\tАптеки\n\tБольницы\n\t\tМедицинские центры\nЕда\n\tКафе\n";

        org("Аптека «Зелёная», ООО", {adr(0, "5", 101, "5-61-23-40")}, {0});                 // 0
        org("Больница №1", {adr(0, "7А", 102, "12-43", 1)}, {1});                            // 1
        TOrg& cafe = org("Кафе «Уют»", {adr(1, "5", 103, "", 2), adr(-1, "", -1, "")}, {2}); // 2
        cafe.website = "www.uyut.ru";
        cafe.socnet = {{0, "uyut_cafe"}};
        TOrg& med = org("Медцентр «Здоровье»", {adr(1, "12", 104, "8-800-1234")}, {3}); // 3
        med.adrs[0].fax = "(3452) 11-22-33";
        med.email = "info@zdorovie.ru";
        org("Без адреса", {}, {});                                            // 4
        org("Склад", {adr(-1, "", -1, "")}, {});                              // 5: no building, no street
        TOrg& night = org("Ночной клуб", {adr(0, "7а", 102, "222", 3)}, {2}); // 6: lower-case suffix
        night.adrs[0].schedule = 2;
        night.skype = "club.night";
    }
    static TAdr adr(int street, const QString& num, int id, const QString& phone, int schedule = 0) {
        TAdr a;
        a.street = street;
        a.num = {num};
        a.id = id;
        a.schedule = schedule > 2 ? -1 : schedule;
        if (!phone.isEmpty()) a.phones.push_back({phone, {""}, 0, false});
        return a;
    }
    TOrg& org(const QString& caption, std::vector<TAdr> adrs, Tai area) {
        TOrg o;
        o.id = int(db.Orgs.size()) + 1;
        o.caption = {caption};
        o.adrs = std::move(adrs);
        o.area = std::move(area);
        db.Orgs.push_back(o);
        return db.Orgs.back();
    }
};

TEST(FindOrgs, EveryCriterionOnASmallCity) {
    SmallCity c;
    OrgSearchIndex index(c.db, 0);
    const QDateTime monday10 = At(1, 10, 0);
    auto crit = [](auto fill) {
        OrgCriteria k;
        fill(k);
        return k;
    };
    RadiusCircle none;
    RadiusCircle nearFirst{true, {5, 5}, 200}; // buildings 101 and 102 only
    struct Case {
        const char* what;
        OrgCriteria c;
        RadiusCircle r;
        std::vector<int> expected;
    } cases[] = {
        {"name, any case", crit([](OrgCriteria& k) { k.Name = "аптека"; }), none, {0}},
        {"name after the comma", crit([](OrgCriteria& k) { k.Name = "ооо"; }), none, {0}},
        {"street in another case", crit([](OrgCriteria& k) { k.Street = "ЛЕНИНА УЛИЦА"; }), none, {0, 1, 6}},
        {"street and number",
         crit([](OrgCriteria& k) { k.Street = "мира проспект", k.Number = "5"; }),
         none,
         {2}},
        {"number with another suffix case", crit([](OrgCriteria& k) { k.Number = "7А"; }), none, {1}},
        {"number on any street", crit([](OrgCriteria& k) { k.Number = "5"; }), none, {0, 2}},
        {"phone run across separators", crit([](OrgCriteria& k) { k.Telecom = "12-34"; }), none, {0, 3}},
        {"phone of brackets only", crit([](OrgCriteria& k) { k.Telecom = "()-"; }), none, {0, 1, 2, 3, 5, 6}},
        {"fax digits", crit([](OrgCriteria& k) { k.Telecom = "112233"; }), none, {3}},
        {"vk through the network prefix", crit([](OrgCriteria& k) { k.Inet = "vk"; }), none, {2}},
        {"e-mail", crit([](OrgCriteria& k) { k.Inet = "@zdorovie"; }), none, {3}},
        {"skype", crit([](OrgCriteria& k) { k.Inet = "CLUB"; }), none, {6}},
        {"rubric with its cross reference", crit([](OrgCriteria& k) { k.Rubric = 3; }), none, {1, 3}},
        {"rubric alone", crit([](OrgCriteria& k) { k.Rubric = 2; }), none, {2, 6}},
        {"radius", crit([](OrgCriteria& k) { k.Name = " "; }), nearFirst, {0, 1, 6}},
        {"radius by name", crit([](OrgCriteria& k) { k.Name = "а"; }), nearFirst, {0, 1}},
        {"flags count only with the panel",
         crit([](OrgCriteria& k) { k.Name = "А", k.AllTime = true; }),
         none,
         {0, 1, 2, 4, 5}},
        {"round the clock",
         crit([](OrgCriteria& k) { k.Name = "а", k.AllTime = k.MoreVisible = true; }),
         none,
         {1}},
        {"open now",
         crit([](OrgCriteria& k) { k.Name = "а", k.Now = k.MoreVisible = true; }),
         none,
         {0, 1, 2, 5}},
        {"has a web site",
         crit([](OrgCriteria& k) { k.Name = "а", k.Web = k.MoreVisible = true; }),
         none,
         {2}},
        {"web site, any name", crit([](OrgCriteria& k) { k.Web = k.MoreVisible = true; }), none, {2}},
    };
    for (const Case& k : cases)
        EXPECT_EQ(index.FindOrgs(k.c, k.r, monday10), k.expected) << k.what;
}

TEST(FindOrgs, RadiusNeedsABuildingOrAStreetAndNumber) {
    SmallCity c;
    // The storehouse has neither; give the cafe's second address a street and number instead of a building.
    c.db.Orgs[2].adrs = {SmallCity::adr(1, "12", -1, "")};
    OrgSearchIndex index(c.db, 0);
    const RadiusCircle far{true, {5005, 5}, 50};
    EXPECT_TRUE(index.OrgInRadius(2, far));
    EXPECT_TRUE(OrgInRadius(c.db, c.db.Orgs[2], far));
    EXPECT_FALSE(index.OrgInRadius(5, far));
    EXPECT_FALSE(index.OrgInRadius(5, {true, {0, 0}, 1e9f}));
    EXPECT_TRUE(index.OrgInRadius(5, RadiusCircle{}));
    // Exactly on the circle counts as inside.
    EXPECT_TRUE(BuildingInRadius(c.db.Buildings[0], {true, {5, 105}, 100}));
    EXPECT_FALSE(BuildingInRadius(c.db.Buildings[0], {true, {5, 105}, 99.9f}));
}

TEST(Lookups, StreetsBuildingsStopsRubrics) {
    SmallCity c;
    c.db.BusStops.resize(3);
    c.db.BusStops[0].id_ = 7, c.db.BusStops[0].caption = {"Центр"};
    c.db.BusStops[1].id_ = 9, c.db.BusStops[1].caption = {"Вокзал"};
    c.db.BusStops[2].id_ = 7, c.db.BusStops[2].caption = {"ЦЕНТР"};
    OrgSearchIndex index(c.db, 0);
    EXPECT_EQ(FindStreet(c.db, "МИРА ПРОСПЕКТ", 0), 1);
    EXPECT_EQ(index.FindStreet("мира проспект"), 1);
    EXPECT_EQ(FindStreet(c.db, "Мира", 0), -1);
    EXPECT_EQ(FindBuildings(c.db, 0, "7А"), std::vector<int>{1});
    EXPECT_EQ(index.FindBuildings(0, "7А"), std::vector<int>{1});
    EXPECT_TRUE(FindBuildings(c.db, 0, "7а").empty());
    EXPECT_TRUE(FindBuildings(c.db, -1, "5").empty());
    EXPECT_EQ(index.FindBuildings(1, "5"), std::vector<int>{2});
    EXPECT_EQ(BuildingById(c.db, 104), 3);
    EXPECT_EQ(index.BuildingById(104), 3);
    EXPECT_EQ(index.BuildingById(1), -1);
    EXPECT_EQ(StopById(c.db, 7), 0);
    EXPECT_EQ(index.StopById(7), 0);
    EXPECT_EQ(StopsByName(c.db, "центр", 0), (std::vector<int>{0, 2}));
    EXPECT_EQ(FindRubric(c.db, "Кафе"), 2);
    EXPECT_EQ(FindRubric(c.db, "кафе"), -1);
    EXPECT_EQ(RubricSet(c.db, 3), (std::vector<int>{3, 1}));
    // An index out of order is walked the stored way: stop at the first smaller street.
    c.db.BuildIndexes = {{0, 0, "5"}, {1, 2, "5"}};
    OrgSearchIndex unsorted(c.db, 0);
    EXPECT_TRUE(unsorted.FindBuildings(1, "5").empty());
    EXPECT_EQ(unsorted.FindBuildings(1, "5"), FindBuildings(c.db, 1, "5"));
}

TEST(SortOrgs, PlacedOrganisationsFirstThenByCaption) {
    SmallCity c;
    c.db.Orgs[6].place = true; // "Ночной клуб"
    c.db.Orgs[4].place = true; // "Без адреса"
    SortOrgs(c.db, 0);
    QStringList order;
    for (const TOrg& o : c.db.Orgs)
        order << o.caption[0];
    EXPECT_EQ(order, (QStringList{"Без адреса", "Ночной клуб", "Аптека «Зелёная», ООО", "Больница №1",
                                  "Кафе «Уют»", "Медцентр «Здоровье»", "Склад"}));
    OrgSearchIndex index(c.db, 0);
    OrgCriteria k;
    k.Name = "б";
    // "Ночной клуб" comes before "Больница №1" although its name sorts after it.
    EXPECT_EQ(index.FindOrgs(k, {}, At(1, 10, 0)), (std::vector<int>{0, 1, 3}));
}

// The search as written down: every organisation in turn, every test in order, nothing prepared.
std::vector<int> ReferenceWalk(const CityDb& db, const OrgCriteria& c, int lang, const RadiusCircle& radius,
                               const QDateTime& now) {
    std::vector<int> out;
    const std::vector<int> rubrics = RubricSet(db, c.Rubric);
    for (int i = 0; i < int(db.Orgs.size()); ++i) {
        const TOrg& o = db.Orgs[std::size_t(i)];
        if (!c.Name.isEmpty() && !InLang(o.caption, lang).toUpper().contains(c.Name.toUpper())) continue;
        if (!c.Inet.isEmpty()) {
            QStringList fields{o.website, o.email};
            for (const TSoc& s : o.socnet)
                fields << db.SocNets[s.id].prefix + s.url;
            fields << o.icq << o.skype;
            bool any = false;
            for (const QString& f : fields)
                any = any || f.toUpper().contains(c.Inet.toUpper());
            if (!any) continue;
        }
        if (!c.Street.isEmpty() || !c.Number.isEmpty()) {
            bool any = false;
            for (const TAdr& a : o.adrs) {
                if (a.street == -1) continue;
                const bool street = InLang(db.Streets[a.street].Name, lang).toLower() == c.Street.toLower();
                const bool num = InLang(a.num, lang) == c.Number;
                if (c.Number.isEmpty() ? street : (c.Street.isEmpty() ? num : street && num)) any = true;
            }
            if (!any) continue;
        }
        if (!c.Telecom.isEmpty()) {
            const QString digits = DigitsOf(c.Telecom);
            bool any = false;
            for (const TAdr& a : o.adrs) {
                if (digits.isEmpty() || DigitsOf(a.fax).contains(digits)) any = true;
                for (const TPhone& p : a.phones)
                    if (DigitsOf(p.phone).contains(digits)) any = true;
            }
            if (!any) continue;
        }
        if (c.Rubric != -1 && std::none_of(o.area.begin(), o.area.end(), [&](int r) {
                return std::find(rubrics.begin(), rubrics.end(), r) != rubrics.end();
            }))
            continue;
        if (!OrgInRadius(db, o, radius, lang)) continue;
        if (c.MoreVisible) {
            if (c.Web && o.website.isEmpty()) continue;
            auto some = [&](auto test) {
                return std::any_of(o.adrs.begin(), o.adrs.end(), [&](const TAdr& a) {
                    return a.schedule != -1 && test(db.Schedules[a.schedule]);
                });
            };
            if (c.AllTime && !some([](const TSchedule& s) { return IsRoundTheClock(s); })) continue;
            if (c.Now && !some([&](const TSchedule& s) { return WorksNow(s, now); })) continue;
        }
        out.push_back(i);
    }
    return out;
}

TEST(FindOrgs, PreparedIndexGivesThePlainWalk) {
    CityDb db = GeneratedCity(1200, 900);
    ResolveOrgAddresses(db);
    QRandomGenerator rng(7);
    const QDateTime now = At(5, 22, 30);
    for (int lang = 0; lang < 2; ++lang) {
        OrgSearchIndex index(db, lang);
        for (int round = 0; round < 250; ++round) {
            OrgCriteria c;
            const TOrg& sample = db.Orgs[rng.bounded(int(db.Orgs.size()))];
            const QString caption = InLang(sample.caption, lang);
            const int start = caption.isEmpty() ? 0 : int(rng.bounded(int(caption.size())));
            if (rng.bounded(2)) c.Name = caption.mid(start, 1 + int(rng.bounded(4))).toLower();
            if (rng.bounded(4) == 0) c.Inet = QStringList{"vk", "@", ".RU", "t.me", "office"}[rng.bounded(5)];
            if (rng.bounded(4) == 0 && !sample.adrs.empty() && sample.adrs[0].street >= 0) {
                c.Street = InLang(db.Streets[sample.adrs[0].street].Name, lang).toUpper();
                if (rng.bounded(2)) c.Number = InLang(sample.adrs[0].num, lang);
            } else if (rng.bounded(6) == 0) {
                c.Number = QString::number(1 + rng.bounded(30));
            }
            if (rng.bounded(4) == 0)
                c.Telecom = QString::number(rng.bounded(100)) + "-" + QString::number(rng.bounded(10));
            if (rng.bounded(6) == 0) c.Rubric = int(rng.bounded(int(db.RubricNames.size())));
            c.MoreVisible = rng.bounded(2);
            c.Web = rng.bounded(3) == 0, c.AllTime = rng.bounded(5) == 0, c.Now = rng.bounded(3) == 0;
            RadiusCircle r;
            if (rng.bounded(5) == 0) {
                const TBuilding& b = db.Buildings[rng.bounded(int(db.Buildings.size()))];
                r = {true, BuildingCentre(b), float(100 + rng.bounded(600))};
            }
            EXPECT_EQ(index.FindOrgs(c, r, now), ReferenceWalk(db, c, lang, r, now))
                << "name " << c.Name.toStdString() << " street " << c.Street.toStdString() << " num "
                << c.Number.toStdString() << " phone " << c.Telecom.toStdString() << " inet "
                << c.Inet.toStdString();
        }
    }
}

} // namespace
