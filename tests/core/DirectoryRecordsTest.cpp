// Directory section records: phone forms, blocks after the organisations, the passes after loading,
// and damaged data.
#include "DirectoryRecords.h"
#include "ByteReader.h"
#include "ByteWriter.h"
#include "CityDb.h"
#include "CityFile.h"
#include "CityFileError.h"
#include "RecordWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

CityDb Decode(const QByteArray& section) {
    CityDb db;
    ByteReader r(section, "city.gis", "directory", 500);
    DecodeDirectoryRecords(r, db, {});
    return db;
}

// A directory section of `orgs` organisations (one language, no addresses) whose blocks 6 to 20
// are written by `blocks[k]` when given (k = 6 for pages ... 20 for schedules), else empty.
QByteArray RawDirectory(int orgs, const std::map<int, std::function<void(ByteWriter&)>>& blocks) {
    ByteWriter w;
    w.u8(1);
    w.str("3452");
    w.i32(1);
    w.str(QStringLiteral("Русский"));
    w.u8(0);
    w.u8(0);
    w.i32(orgs);
    for (int i = 0; i < orgs; ++i) {
        w.i32(10 + i);
        w.str(QStringLiteral("Организация %1").arg(i));
        for (int s = 0; s < 4; ++s)
            w.str("");
        w.u8(0);
        w.i32(0);
        w.u16(0);
        w.u8(0);
    }
    for (int k = 6; k <= 20; ++k) {
        auto it = blocks.find(k);
        if (it != blocks.end())
            it->second(w);
        else
            w.i32(0);
    }
    return w.take();
}

TOrg Org(std::int32_t id, const QString& caption, Tai area = {}) {
    TOrg o;
    o.id = id;
    o.caption = {caption};
    o.area = std::move(area);
    return o;
}

} // namespace

TEST(DirectoryRecords, PhoneForms) {
    const QStringList codes = {"", "3452"};
    struct Case {
        const char* stored;
        std::uint8_t code;
        const char* phone;
        bool cell;
    } cases[] = {
        {"+89161234567", 0, "8-916-123-45-67", true},
        {"+89161234567", 1, "(3452) 8-916-123-45-67", true},
        {"1234567", 0, "123-45-67", false},
        {"1234567", 1, "(3452) 123-45-67", false},
        {"123456", 0, "12-34-56", false},
        {"12-345", 0, "12-345", false},
        {"12345678", 0, "12345678", false},
        {"12a4567", 0, "12a4567", false},
        {"", 0, "", false},
        {"+", 0, "", true},
    };
    for (const Case& c : cases) {
        QString phone;
        bool cell = false;
        FormatPhone(QString::fromUtf8(c.stored), c.code, codes, phone, cell);
        EXPECT_EQ(phone, QString::fromUtf8(c.phone)) << c.stored;
        EXPECT_EQ(cell, c.cell) << c.stored;
        // What a writer stores for the formatted phone loads as the same phone.
        QString again;
        bool cellAgain = false;
        FormatPhone(StoredPhoneText(phone, c.code, cell, codes), c.code, codes, again, cellAgain);
        EXPECT_EQ(again, phone) << c.stored;
        EXPECT_EQ(cellAgain, cell) << c.stored;
    }
}

TEST(DirectoryRecords, RecordsAndTablesRoundTrip) {
    CityDb db;
    db.DataLangCount = 2;
    db.DataLangNames = {QStringLiteral("Русский"), "English"};
    db.PhoneCodes = {"", "3452"};
    db.MoneyKinds = {{QStringLiteral("Наличные"), {}}};
    db.SocNets = {{QStringLiteral("ВКонтакте"), "https://vk.com/", {}}};
    db.Schedules.resize(1);
    db.Schedules[0][0] = {ScheduleTime(9, 0), ScheduleTime(18, 0), ScheduleTime(13, 0), ScheduleTime(14, 5)};
    db.Schedules[0][6] = {ScheduleTime(0, 0), ScheduleTime(23, 59), 0, 0};
    TOrg o = Org(42, QStringLiteral("Кафе «Уют»"));
    o.caption = {QStringLiteral("Кафе «Уют»"), QStringLiteral("Kafe «Uyut»")};
    o.Description = {QStringLiteral("Строка 1"), QStringLiteral("Строка 2")};
    o.website = "www.uyut.ru";
    o.socnet = {{0, "uyut"}};
    o.BuildBannerAdr = 3;
    TAdr a;
    a.id = 2;
    a.num = {"", ""};
    a.nomap_adr = {"", ""};
    a.place = {QStringLiteral("офис 5"), QStringLiteral("офис 5")};
    a.fax = "(3452) 123-45-68";
    TPhone ph;
    FormatPhone("+79161234567", 1, db.PhoneCodes, ph.phone, ph.cell);
    ph.code = 1;
    ph.place = {"", ""};
    a.phones = {ph};
    a.schedule = 0;
    a.money = {0};
    o.adrs = {a};
    o.area = {1, 4};
    o.zone = {0, 2};
    o.seconds = 7;
    o.mark = o.place = o.firstBanner = true;
    o.page = TPg{{100, 5}, "org42.html"};
    for (auto banner :
         {&TOrg::DownBanner, &TOrg::listBanner, &TOrg::mapBanner, &TOrg::buildBanner, &TOrg::QuitBanner})
        o.*banner = TImg{{10, 20}};
    db.Orgs = {Org(41, "A"), o};
    db.Orgs[0].caption = {"A", "A"};
    db.WebTabUrls = {"http://a/", "http://b/"};
    db.RunningTexts = {QStringLiteral("Скидки!")};
    db.RunningOrgIds = {42};

    const CityDb back = Decode(WriteDirectoryRecords(db));
    EXPECT_EQ(back.DataLangCount, 2);
    EXPECT_TRUE(back.Orgs == db.Orgs);
    EXPECT_TRUE(back.Schedules == db.Schedules);
    EXPECT_EQ(ScheduleTimeText(back.Schedules[0][0].EndDiner), "14:05");
    EXPECT_EQ(ScheduleTimeText(back.Schedules[0][6].EndWork), "23:59");
    EXPECT_EQ(back.Orgs[1].adrs[0].phones[0].phone, "(3452) 7-916-123-45-67");
    EXPECT_TRUE(back.MoneyKinds == db.MoneyKinds);
    EXPECT_TRUE(back.SocNets == db.SocNets);
    EXPECT_EQ(back.WebTabUrls, db.WebTabUrls);
    EXPECT_EQ(back.RunningTexts, db.RunningTexts);
    EXPECT_EQ(back.RunningOrgIds, db.RunningOrgIds);
    EXPECT_EQ(back.PhoneCodes, db.PhoneCodes);
}

TEST(DirectoryRecords, LaterEntriesOfABlockWin) {
    const QByteArray section = RawDirectory(2, {{9, [](ByteWriter& w) {
                                                     w.i32(2); // bottom banners: organisation 1 twice
                                                     for (int off : {100, 200}) {
                                                         w.i32(1);
                                                         w.i32(50);
                                                         w.i32(off);
                                                     }
                                                 }}});
    const CityDb db = Decode(section);
    ASSERT_EQ(db.Orgs.size(), 2u);
    EXPECT_FALSE(db.Orgs[0].DownBanner);
    ASSERT_TRUE(db.Orgs[1].DownBanner);
    EXPECT_EQ(db.Orgs[1].DownBanner->offset, 200);
    EXPECT_EQ(db.Orgs[1].caption, QStringList{QStringLiteral("Организация 1")});
}

TEST(DirectoryRecords, ResolvingAddressesAndEstateAgents) {
    CityDb db;
    TBuilding b;
    b.id = 900;
    b.street = 4;
    b.num = {"12", "12a"};
    db.Buildings = {TBuilding{}, b};
    TOrg agency = Org(7, QStringLiteral("Квартирный вопрос, ООО"), {3, 1, 1});
    TAdr on, off;
    on.id = 1;
    on.num = {"", ""};
    off.id = -1;
    off.num = {"", ""};
    agency.adrs = {on, off};
    db.Orgs = {Org(5, QStringLiteral("Кафе"), {0}), agency, Org(8, QStringLiteral("Дом, Мир, Труд"), {1})};
    db.RubricNames = {QStringLiteral("Кафе"), QStringLiteral("Агентства недвижимости")};

    ResolveOrgAddresses(db);
    const TAdr& a = db.Orgs[1].adrs[0];
    EXPECT_EQ(a.id, 900);
    EXPECT_EQ(a.street, 4);
    EXPECT_EQ(a.num, (QStringList{"12", "12a"}));
    EXPECT_EQ(db.Orgs[1].adrs[1].id, -1);
    EXPECT_EQ(db.Orgs[1].adrs[1].street, -1);
    EXPECT_EQ(db.Orgs[1].adrs[1].num, (QStringList{"", ""}));

    BuildEstateAgents(db);
    ASSERT_EQ(db.EstateAgents.size(), 2u) << "once per organisation, in Orgs order";
    EXPECT_TRUE((db.EstateAgents[0] == TAgent{7, 1, QStringLiteral("Квартирный вопрос")}));
    EXPECT_TRUE((db.EstateAgents[1] == TAgent{8, 2, QStringLiteral("Дом")}));

    db.RubricNames = {QStringLiteral("Кафе")};
    BuildEstateAgents(db);
    EXPECT_TRUE(db.EstateAgents.empty());

    // Decoded without the building count, a position outside Buildings is dropped only here.
    CityDb lost;
    lost.Buildings = {b, b};
    lost.Orgs = {Org(3, "x")};
    lost.Orgs[0].adrs = {on};
    lost.Orgs[0].adrs[0].id = 2;
    ResolveOrgAddresses(lost);
    EXPECT_EQ(lost.Orgs[0].adrs[0].id, -1);
    EXPECT_EQ(lost.Orgs[0].adrs[0].street, -1);
    ASSERT_EQ(lost.LoadWarnings.count, 1);
    EXPECT_TRUE(lost.LoadWarnings.listed[0].message().startsWith("directory section: "))
        << "no offset to name";
    EXPECT_TRUE(lost.LoadWarnings.listed[0].what.contains("building position 2"));
}

TEST(DirectoryRecords, DamagedDataGivesCityFileErrors) {
    auto schedule = [](int hour, int minute) {
        return [=](ByteWriter& w) {
            w.i32(1);
            for (int t = 0; t < 28; ++t) {
                w.u8(t == 5 ? std::uint8_t(hour) : 9);
                w.u8(t == 5 ? std::uint8_t(minute) : 0);
            }
        };
    };
    struct Case {
        const char* name;
        QByteArray section;
        const char* needle;
    } cases[] = {
        {"hour 24", RawDirectory(1, {{20, schedule(24, 0)}}), "24:0"},
        {"minute 60", RawDirectory(1, {{20, schedule(10, 60)}}), "10:60"},
        {"absurd organisation count",
         [] {
             QByteArray s = RawDirectory(0, {});
             const qsizetype at = 1 + 2 + 4 + 4 + 2 + QStringLiteral("Русский").toUtf8().size() + 1 + 1;
             ByteWriter c;
             c.i32(400000000);
             return s.left(at) + c.take() + s.mid(at + 4);
         }(),
         "do not fit"},
    };
    for (const Case& c : cases) {
        try {
            Decode(c.section);
            ADD_FAILURE() << c.name << ": decoded without error";
        } catch (const CityFileError& e) {
            EXPECT_TRUE(e.message().contains(QLatin1String(c.needle))) << c.name << ": " << e.what();
        }
    }

    // Every truncation of a valid section fails cleanly.
    CityDb db;
    db.PhoneCodes = {""};
    TOrg o = Org(1, "x");
    o.adrs = {TAdr{}};
    db.Orgs = {o};
    db.Orgs[0].page = TPg{{1, 2}, "p.html"};
    db.Orgs[0].Description = {"d"};
    db.Orgs[0].zone = {1};
    db.Orgs[0].seconds = 2;
    db.Schedules.resize(1);
    db.WebTabUrls = {"u"};
    const QByteArray good = WriteDirectoryRecords(db);
    EXPECT_NO_THROW(Decode(good));
    for (qsizetype n = 0; n < good.size(); ++n)
        EXPECT_THROW(Decode(good.left(n)), CityFileError) << "cut at " << n;
}
