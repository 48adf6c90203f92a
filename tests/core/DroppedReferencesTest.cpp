// One reference outside its table costs that reference, not the city: each case below loads with the
// field at its "none" and a warning naming where the reference was stored. Structural damage is still
// refused, and gis-dump reports what was dropped.
#include "Catalogue.h"
#include "CityFile.h"
#include "CityFileError.h"
#include "CityLoad.h"
#include "CityRecordsSupport.h"
#include "CityWriter.h"
#include "MapColors.h"
#include "RecordWriter.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <functional>

namespace {

TObjShape Square(float x, float y) {
    TObjShape s;
    s.shape = {{x, y}, {x + 10, y}, {x + 10, y + 10}, {x, y + 10}};
    s.high = 3;
    return s;
}

// A small city with one of every cross-reference, each naming an entry that exists.
CityDb SoundCity() {
    CityDb db;
    db.DataLangCount = 1;
    db.DataLangNames = {QStringLiteral("Русский")};
    db.PhoneCodes = {QString(), "3452"};
    db.MoneyKinds = {TMoney{QStringLiteral("Наличные"), {}}};
    db.SocNets = {TSocNet{"VK", "https://vk.example/", {}}};
    db.Schedules.resize(1);
    for (TDaySchedule& d : db.Schedules[0])
        d = {9.0 / 24, 18.0 / 24, 13.0 / 24, 14.0 / 24};

    TStreet street;
    street.shape = {{0, 0}, {100, 0}};
    street.Name = {QStringLiteral("Ленина")};
    db.Streets = {street};
    for (int i = 0; i < 2; ++i) {
        TBuilding b;
        b.id = 100 + i;
        b.street = 0;
        b.num = {QString::number(i + 1)};
        b.shapes = {Square(20.0f * i, 10)};
        b.x = 20.0f * i + 5;
        b.y = 15;
        db.Buildings.push_back(b);
    }
    db.Buildings[1].caption = {QStringLiteral("Почта")};
    db.Buildings[1].ShapeWithNum = 1;
    db.BuildIndexes = {{0, 0, "1"}, {0, 1, "2"}};
    TField field;
    field.shape = {{0, 0}, {50, 0}, {50, 50}};
    field.typ = 9;
    field.caption = {QStringLiteral("Центральный")};
    db.Fields = {field};
    TBusStop stop;
    stop.id_ = 3;
    stop.x = 10;
    stop.y = 5;
    stop.caption = {QStringLiteral("Площадь")};
    db.BusStops = {stop};
    TBusWay route;
    route.num = {"7"};
    route.way = {{1, 0, 0, 3}, {0, 60, 5, 0}};
    route.MetroColor = 0x0000FF;
    db.BusWays = {route};

    TOrg org;
    org.id = 500;
    org.caption = {QStringLiteral("Аптека")};
    org.socnet = {{0, "apteka"}};
    TAdr adr;
    adr.id = 1; // a building position, as stored
    adr.nomap_adr = {""};
    adr.place = {""};
    TPhone phone;
    phone.phone = "(3452) 123-45-67";
    phone.code = 1;
    phone.place = {""};
    adr.phones = {phone};
    adr.schedule = 0;
    adr.money = {0, 0};
    org.adrs = {adr};
    org.page = TPg{{10, 0}, "apteka.html"};
    org.Description = {QStringLiteral("Круглосуточно")};
    org.listBanner = TImg{{20, 10}};
    org.mark = true;
    org.seconds = 4;
    org.zone = {1, 2};
    TOrg other;
    other.id = 501;
    other.caption = {QStringLiteral("Почта")};
    db.Orgs = {org, other};
    db.RunningTexts = {QStringLiteral("Скидки")};
    db.RunningOrgIds = {500};
    return db;
}

struct Sections {
    QByteArray directory, map;
};

Sections Write(const CityDb& db) {
    return {WriteDirectoryRecords(db), WriteMapRecords(db)};
}

qsizetype FirstByteDifference(const QByteArray& a, const QByteArray& b) {
    qsizetype i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    return i;
}

struct LoadedCity {
    ScratchDir dir;
    CityFileRef ref;
    CityDb db;
};

// Writes a whole city file around the two sections and loads it as the program does.
void LoadWritten(const Sections& s, LoadedCity& out) {
    CityWriter w;
    w.CityName = QStringLiteral("Тестоград");
    w.ReleaseDate = "01.02.2026";
    w.DirectorySection = s.directory;
    w.MapSection = s.map;
    ASSERT_EQ(w.Write(out.dir.file("city.gis")), QString());
    auto entry = CityEntryFromFile(out.dir.path(), "city.gis", true);
    ASSERT_TRUE(entry);
    out.ref = CityFileRef::From(*entry);
    LoadCityData(out.db, out.ref, MapStyle{});
}

enum class In { Directory, Map };

struct Case {
    const char* name;
    In section;
    // Either `bad` sets one reference outside its table (the writer stores it as given) and `none`
    // gives that field its "none"; or `bad` is empty and `none` removes an entry of a block of
    // positions, whose position is then pointed past its table.
    std::function<void(CityDb&)> bad;
    std::function<void(CityDb&)> none;
};

TOrg& Org(CityDb& db) {
    return db.Orgs[0];
}
TAdr& Adr(CityDb& db) {
    return db.Orgs[0].adrs[0];
}

} // namespace

TEST(DroppedReferences, OneBadReferenceLeavesTheCityLoadedWithoutIt) {
    const Case cases[] = {
        {"phone area code", In::Directory,
         [](CityDb& db) {
             Adr(db).phones[0].code = 7;
             Adr(db).phones[0].phone = "123-45-67";
         },
         [](CityDb& db) {
             Adr(db).phones[0].code = 0;
             Adr(db).phones[0].phone = "123-45-67";
         }},
        {"address building", In::Directory, [](CityDb& db) { Adr(db).id = 9; },
         [](CityDb& db) { Adr(db).id = -1; }},
        {"social network", In::Directory, [](CityDb& db) { Org(db).socnet[0].id = 5; },
         [](CityDb& db) { Org(db).socnet.clear(); }},
        {"schedule", In::Directory, [](CityDb& db) { Adr(db).schedule = 4; },
         [](CityDb& db) { Adr(db).schedule = -1; }},
        {"payment kind", In::Directory,
         [](CityDb& db) {
             Adr(db).money = {0, 6};
         },
         [](CityDb& db) { Adr(db).money = {0}; }},
        {"page", In::Directory, {}, [](CityDb& db) { Org(db).page.reset(); }},
        {"description", In::Directory, {}, [](CityDb& db) { Org(db).Description = {}; }},
        {"running text",
         In::Directory,
         {},
         [](CityDb& db) {
             db.RunningTexts.clear();
             db.RunningOrgIds.clear();
         }},
        {"banner", In::Directory, {}, [](CityDb& db) { Org(db).listBanner.reset(); }},
        {"mark flag", In::Directory, {}, [](CityDb& db) { Org(db).mark = false; }},
        {"display seconds", In::Directory, {}, [](CityDb& db) { Org(db).seconds = 0; }},
        {"zones", In::Directory, {}, [](CityDb& db) { Org(db).zone = {}; }},
        {"building street", In::Map, [](CityDb& db) { db.Buildings[0].street = 9; },
         [](CityDb& db) { db.Buildings[0].street = -1; }},
        {"building index entry", In::Map, [](CityDb& db) { db.BuildIndexes[1].ind = 9; },
         [](CityDb& db) { db.BuildIndexes.pop_back(); }},
        {"route stop", In::Map, [](CityDb& db) { db.BusWays[0].way[0].ids = 9; },
         [](CityDb& db) { db.BusWays[0].way.erase(db.BusWays[0].way.begin()); }},
        {"building caption", In::Map, {}, [](CityDb& db) { db.Buildings[1].caption = {}; }},
        {"area caption", In::Map, {}, [](CityDb& db) { db.Fields[0].caption = {}; }},
        {"label shape", In::Map, {}, [](CityDb& db) { db.Buildings[1].ShapeWithNum = 0; }},
        {"metro colour", In::Map, {}, [](CityDb& db) { db.BusWays[0].MetroColor = 0; }},
    };

    const CityDb sound = SoundCity();
    {
        LoadedCity c;
        LoadWritten(Write(sound), c);
        ASSERT_TRUE(c.db.LoadWarnings.empty()) << c.db.LoadWarnings.listed[0].message().toStdString();
    }
    for (const Case& cs : cases) {
        SCOPED_TRACE(cs.name);
        CityDb none = sound;
        cs.none(none);
        auto part = [&](Sections& s) -> QByteArray& {
            return cs.section == In::Directory ? s.directory : s.map;
        };
        Sections bad = Write(sound);
        Sections without = Write(none);
        qsizetype at;
        if (cs.bad) {
            CityDb b = sound;
            cs.bad(b);
            Sections written = Write(b);
            at = FirstByteDifference(part(bad), part(written));
            part(bad) = part(written);
        } else {
            // The block's count is where the two first differ; its only entry's position follows it.
            at = FirstByteDifference(part(bad), part(without)) + 4;
            ASSERT_LE(at + 4, part(bad).size());
            part(bad)[at] = 9;
        }

        LoadedCity loaded, expected;
        ASSERT_NO_THROW(LoadWritten(bad, loaded));
        ASSERT_NO_THROW(LoadWritten(without, expected));
        const CityLoadWarnings& w = loaded.db.LoadWarnings;
        ASSERT_EQ(w.count, 1);
        ASSERT_EQ(w.listed.size(), 1u);
        const std::int64_t start = cs.section == In::Directory ? loaded.ref.offset0 : loaded.ref.offset1;
        EXPECT_EQ(w.listed[0].section, cs.section == In::Directory ? "directory" : "map");
        EXPECT_EQ(w.listed[0].offset, start + at) << w.listed[0].message().toStdString();
        EXPECT_EQ(w.listed[0].file, loaded.ref.FilePath());
        EXPECT_TRUE(w.listed[0].message().contains(QStringLiteral("offset %1").arg(start + at)));

        // Apart from the dropped reference, the city is the one that never had it.
        loaded.db.LoadWarnings.clear();
        EXPECT_TRUE(loaded.db == expected.db);
        EXPECT_EQ(FirstDifference(loaded.db.Orgs, expected.db.Orgs), -1);
        EXPECT_EQ(FirstDifference(loaded.db.Buildings, expected.db.Buildings), -1);
    }
}

TEST(DroppedReferences, ManyBadReferencesAreCountedButListedUpToALimit) {
    CityDb db = SoundCity();
    db.Orgs[0].adrs.assign(1500, db.Orgs[0].adrs[0]);
    for (TAdr& a : db.Orgs[0].adrs)
        a.schedule = 3;
    LoadedCity c;
    LoadWritten(Write(db), c);
    EXPECT_EQ(c.db.LoadWarnings.count, 1500);
    EXPECT_EQ(c.db.LoadWarnings.listed.size(), CityLoadWarnings::MaxListed);
    for (const TAdr& a : c.db.Orgs[0].adrs)
        ASSERT_EQ(a.schedule, -1);
}

TEST(DroppedReferences, StructuralDamageIsStillRefusedWithWhereItLies) {
    // A count of addresses that cannot fit in the rest of the section.
    CityDb db = SoundCity();
    Sections s = Write(db);
    CityDb fewer = db;
    fewer.Orgs[0].adrs.clear();
    const qsizetype at = FirstByteDifference(s.directory, Write(fewer).directory);
    s.directory[at] = char(0xFF);
    s.directory[at + 1] = char(0xFF);
    LoadedCity c;
    try {
        LoadWritten(s, c);
        ADD_FAILURE() << "a damaged count loaded";
    } catch (const CityFileError& e) {
        const QString where = QStringLiteral("%1: directory section, offset %2:")
                                  .arg(c.dir.file("city.gis"))
                                  .arg(c.ref.offset0 + at + 2);
        EXPECT_TRUE(e.message().startsWith(where)) << e.what();
        EXPECT_TRUE(e.message().contains("65535 addresses do not fit")) << e.what();
    }
}

#ifdef GIS_DUMP_EXE
TEST(DroppedReferences, GisDumpWarnsAndFailsOnlyWhenStrict) {
    CityDb db = SoundCity();
    db.Orgs[0].adrs[0].schedule = 4;
    db.Buildings[0].street = 9;
    LoadedCity c;
    LoadWritten(Write(db), c);
    ASSERT_EQ(c.db.LoadWarnings.count, 2);

    auto run = [&](const QStringList& extra, int& status, QString& err) {
        QProcess p;
        p.setProgram(QStringLiteral(GIS_DUMP_EXE));
        p.setArguments(QStringList{c.ref.FilePath(), "--summary"} + extra);
        p.start();
        ASSERT_TRUE(p.waitForFinished(60000));
        status = p.exitCode();
        err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_TRUE(p.readAllStandardOutput().contains("\"Buildings\""));
    };
    for (bool strict : {false, true}) {
        SCOPED_TRACE(strict ? "--strict" : "plain");
        int status = -1;
        QString err;
        run(strict ? QStringList{"--strict"} : QStringList{}, status, err);
        EXPECT_EQ(status, strict ? 1 : 0);
        for (const CityFileWarning& w : c.db.LoadWarnings.listed)
            EXPECT_TRUE(err.contains("warning: " + w.message())) << err.toStdString();
        EXPECT_EQ(err.count(QStringLiteral("warning:")), 2) << err.toStdString();
    }

    LoadedCity clean;
    LoadWritten(Write(SoundCity()), clean);
    c.ref = clean.ref;
    int status = -1;
    QString err;
    run({"--strict"}, status, err);
    EXPECT_EQ(status, 0) << "a sound city passes the strict check";
    EXPECT_FALSE(err.contains("warning:")) << err.toStdString();
}
#endif
