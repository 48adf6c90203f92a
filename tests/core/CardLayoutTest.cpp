// Card layout on fixed widths with a fixed-pitch measure: wrap, title, contacts row, address blocks,
// schedule columns, expanding and collapsing with the marks, hover and clicks, list arithmetic.
#include "Cards.h"
#include "DirectoryRecords.h"
#include "MapView.h"
#include "TextTable.h"

#include <QRect>
#include <gtest/gtest.h>

namespace {

// Every character 6 pixels wide (bold 7), lines 13 pixels high.
struct FixedMeasure : TextMeasure {
    int Width(const QString& t, bool bold) const override { return int(t.size()) * (bold ? 7 : 6); }
    int Height(bool) const override { return 13; }
};

TEST(WrapText, Lines) {
    FixedMeasure m;
    struct Case {
        QString text;
        int W, x;
        QStringList lines;
    } cases[] = {
        {"short", 100, 5, {"short"}},
        // First line 100 - 5 - 5 = 90 pixels = 15 characters; later lines the same.
        {"aaaa bbbb cccc dddd", 100, 5, {"aaaa bbbb cccc", "dddd"}},
        {"well-known facts here", 100, 5, {"well-known", "facts here"}},
        {"aaaaaaaaaa-bbbbbbbbbb", 100, 5, {"aaaaaaaaaa-", "bbbbbbbbbb"}},
        // Nothing fits after x = 80: an empty first line, then whole lines.
        {"abcdef", 100, 80, {"", "abcdef"}},
        // A word wider than a whole line stands alone, and the wrap ends.
        {"abcdefghijklmnopqrstuvwxyz end", 100, 5, {"abcdefghijklmnopqrstuvwxyz", "end"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WrapText(c.text, m, false, c.W, c.x), c.lines) << c.text.toStdString();
}

TEST(CardColour, DarkenedByEightPercent) {
    EXPECT_EQ(DarkenCard(CardColor), TColor(209 | 219 << 8 | 231 << 16));
}

TSchedule Week(int bh, int bm, int eh, int em, int dbh = 0, int dbm = 0, int deh = 0, int dem = 0) {
    TSchedule s;
    for (TDaySchedule& d : s)
        d = {ScheduleTime(bh, bm), ScheduleTime(eh, em), ScheduleTime(dbh, dbm), ScheduleTime(deh, dem)};
    return s;
}

struct CardCity {
    CityDb db;
    FixedMeasure m;
    TMarks marks;
    std::unique_ptr<OrgSearchIndex> index;

    CardCity() {
        db.Streets.resize(1);
        db.Streets[0].Name = {"Мира"};
        for (int k = 0; k < 3; ++k) {
            TBuilding b;
            b.id = 50 + k;
            b.street = 0;
            b.num = {QString::number(k + 1)};
            b.Widen(100 * k, 0);
            b.Widen(100 * k + 10, 10);
            b.FlatBox3D();
            db.Buildings.push_back(b);
        }
        db.RubricNames = {"Аптеки", "Очень длинная рубрика про всё"};
        db.SocNets = {{"ВКонтакте", "https://vk.com/", {}},
                      {"Telegram", "https://t.me/", {}},
                      {"Одноклассники", "https://ok.ru/", {}},
                      {"YouTube", "https://youtube.com/", {}},
                      {"Дзен", "https://dzen.ru/", {}}};
        db.MoneyKinds = {{"Наличные", {}}, {"Visa", {}}};
        db.Schedules = {Week(9, 0, 18, 0, 13, 0, 14, 0), Week(0, 0, 23, 59), Week(10, 0, 23, 59)};
        db.Schedules[0][6] = {0, 0, 0, 0}; // Sunday closed
    }
    void Index() { index = std::make_unique<OrgSearchIndex>(db, 0); }
    CardEnv Env(int W) {
        CardEnv env(db, *index, m);
        env.W = W;
        env.marks = &marks;
        return env;
    }
    static TAdr Adr(int id, const QString& num, int schedule = -1) {
        TAdr a;
        a.street = 0;
        a.id = id;
        a.num = {num};
        a.place = {""};
        a.nomap_adr = {""};
        a.schedule = schedule;
        return a;
    }
    int Org(const QString& caption, std::vector<TAdr> adrs) {
        TOrg o;
        o.caption = {caption};
        o.adrs = std::move(adrs);
        db.Orgs.push_back(o);
        return int(db.Orgs.size()) - 1;
    }
};

TEST(OrgCard, TitleSplitsAtTheComma) {
    CardCity c;
    c.Org("Аптека, ООО", {});
    c.Org("Аптека", {});
    c.Index();
    CardEnv env = c.Env(300);
    const TCard a = TCard::Create("org", -1, 1, 0, env);
    ASSERT_EQ(a.blocks[0].txt.size(), 2u);
    const Ttxt &bold = a.blocks[0].txt[0], &rest = a.blocks[0].txt[1];
    EXPECT_EQ(bold.caption, "Аптека");
    EXPECT_TRUE(bold.bold);
    EXPECT_EQ(rest.caption, ", ООО");
    EXPECT_FALSE(rest.bold);
    EXPECT_EQ(rest.left, 5 + 6 * 7);
    EXPECT_EQ(rest.top, bold.top);
    EXPECT_EQ(a.blocks[0].height, 3 + 13 + 3);
    EXPECT_EQ(a.height, 19) << "a new card shows its title only";
    EXPECT_EQ(a.color, CardColor) << "odd positions keep the colour";
    const TCard b = TCard::Create("org", -1, 2, 1, env);
    ASSERT_EQ(b.blocks[0].txt.size(), 1u);
    EXPECT_EQ(b.color, DarkenCard(CardColor));
    const TCard start = TCard::Create("first", -1, 1, 1, env);
    EXPECT_EQ(start.height, 0) << "a start card shows no title while collapsed";
    EXPECT_TRUE(TCard::Create("unknown", -1, 1, 1, env).blocks.empty());
}

TEST(OrgCard, FiveSocialNetworksWrapOnANarrowCard) {
    CardCity c;
    const int o = c.Org("Клуб", {});
    for (std::uint8_t k = 0; k < 5; ++k)
        c.db.Orgs[o].socnet.push_back({k, "club"});
    c.Index();
    CardEnv env = c.Env(120);
    const TCard card = TCard::Create("org", -1, 1, o, env);
    const TBlock& d = card.blocks[2];
    ASSERT_EQ(d.pic.size(), 5u);
    ASSERT_EQ(d.txt.size(), 5u);
    // The first stays on the row; each later one does not fit after the previous and wraps.
    EXPECT_EQ(d.pic[0].left, 10);
    EXPECT_EQ(d.txt[0].left, 30);
    EXPECT_EQ(d.pic[0].top, 0);
    for (int k = 1; k < 5; ++k) {
        EXPECT_EQ(d.pic[k].left, 10) << k;
        EXPECT_EQ(d.txt[k].left, 30) << k;
        EXPECT_GT(d.txt[k].top, d.txt[k - 1].top) << k;
        EXPECT_EQ(d.pic[k].top, d.txt[k].top) << k;
        EXPECT_EQ(d.txt[k].value, c.db.SocNets[k].prefix + "club");
    }
    // Every wrapped item moves down 21 from the previous one: back 21, down 20 + 42 - 21.
    EXPECT_EQ(d.txt[1].top, 20);
    EXPECT_EQ(d.txt[2].top, 41);
    EXPECT_EQ(d.txt[4].top, 83);
    EXPECT_EQ(d.MaxHeight, 63 + 42 + 5);
    // On a wide card they all share one row.
    CardEnv wide = c.Env(2000);
    const TCard row = TCard::Create("org", -1, 1, o, wide);
    for (const Tpic& p : row.blocks[2].pic)
        EXPECT_EQ(p.top, 0);
    EXPECT_EQ(row.blocks[2].MaxHeight, 16 + 5 + 5);
}

// The rectangles of every text and picture of a block, for overlap checks.
std::vector<QRect> Rects(const TBlock& b) {
    std::vector<QRect> out;
    for (const Ttxt& t : b.txt)
        out.emplace_back(t.left, t.top, t.width, t.height);
    for (const Tpic& p : b.pic)
        out.emplace_back(p.left, p.top, p.width, p.height);
    return out;
}

TEST(OrgCard, ContactLinesNeverOverlap) {
    const QString longSite = "www.a-very-long-web-site-address-of-the-organisation.example.org";
    struct Case {
        const char* name;
        QString website, email, icq, skype;
        int socnets, W;
    } cases[] = {
        {"long site alone", longSite, "", "", "", 0, 200},
        {"long site, networks", longSite, "", "", "", 2, 200},
        {"long site, mail, icq, skype", longSite, "office@example.org", "123456789", "club.office", 0, 200},
        {"everything, narrow", longSite, "office@example.org", "123456789", "club.office", 3, 120},
        {"everything, short site, narrow", "www.x.ru", "office@example.org", "123456789", "club", 3, 120},
        {"everything, wide", "www.x.ru", "office@example.org", "123456789", "club", 3, 2000},
    };
    for (const Case& k : cases) {
        CardCity c;
        const int o = c.Org("Клуб", {});
        TOrg& org = c.db.Orgs[std::size_t(o)];
        org.website = k.website;
        org.email = k.email;
        org.icq = k.icq;
        org.skype = k.skype;
        for (int n = 0; n < k.socnets; ++n)
            org.socnet.push_back({std::uint8_t(n), "club"});
        c.Index();
        CardEnv env = c.Env(k.W);
        const TCard card = TCard::Create("org", -1, 1, o, env);
        const TBlock& d = card.blocks[2];
        const std::vector<QRect> r = Rects(d);
        for (std::size_t i = 0; i < r.size(); ++i) {
            EXPECT_LE(r[i].bottom() + 1, d.MaxHeight) << k.name << ": inside the block";
            for (std::size_t j = i + 1; j < r.size(); ++j)
                EXPECT_FALSE(r[i].intersects(r[j])) << k.name << ": elements " << i << " and " << j;
        }
        // The web site opens the first line and stays there, however long it is.
        if (!k.website.isEmpty()) {
            EXPECT_EQ(d.txt[0].caption, k.website);
            EXPECT_EQ(d.txt[0].top, 0) << k.name;
            EXPECT_EQ(d.txt[0].left, 30) << k.name;
            EXPECT_EQ(d.pic[0].top, 0) << k.name;
        }
    }
}

TEST(WorkZone, ScaleStaysWithinTheViewsLimits) {
    // Buildings 10 x 10 metres at x = 0, 100 and 200.
    CardCity c;
    const int one = c.Org("Одно здание", {});
    c.db.Orgs[std::size_t(one)].zone = {1};
    const int all = c.Org("Три здания", {});
    c.db.Orgs[std::size_t(all)].zone = {-1, 0, 2};
    const int none = c.Org("Без зоны", {});
    c.db.Orgs[std::size_t(none)].zone = {-1};
    c.Index();
    MapTarget t;
    ASSERT_TRUE(WorkZoneTarget(c.db, one, 800, 600, 5, t));
    EXPECT_FLOAT_EQ(t.scale, MapView::MinScale) << "10 m over 800 px would be closer than the closest zoom";
    EXPECT_EQ(t.selected, 1);
    EXPECT_FLOAT_EQ(t.x, 105);
    ASSERT_TRUE(WorkZoneTarget(c.db, all, 800, 600, 5, t));
    EXPECT_FLOAT_EQ(t.scale, 210.f / (800 * 0.8f)) << "a tenth of the map free on each side";
    EXPECT_EQ(t.selected, 0);
    ASSERT_TRUE(WorkZoneTarget(c.db, all, 800, 600, 0.2f, t));
    EXPECT_FLOAT_EQ(t.scale, 0.2f) << "never beyond the whole-city view";
    EXPECT_FALSE(WorkZoneTarget(c.db, none, 800, 600, 5, t));
}

TEST(OrgCard, ScheduleColumnsAndTexts) {
    CardCity c;
    const int o =
        c.Org("Аптека", {CardCity::Adr(50, "1", 0), CardCity::Adr(51, "2", 1), CardCity::Adr(52, "3", 2)});
    c.Index();
    CardEnv env = c.Env(300);
    const TCard card = TCard::Create("org", -1, 1, o, env);
    ASSERT_EQ(card.blocks.size(), 6u);
    auto texts = [](const TBlock& b) {
        QStringList out;
        for (const Ttxt& t : b.txt)
            out << t.caption;
        return out;
    };
    // Lunch schedule: begin and end of Monday..Saturday right-aligned on the columns, Sunday closed.
    const TBlock& lunch = card.blocks[3];
    int mondayBegin = -1;
    for (std::size_t i = 0; i < lunch.txt.size(); ++i)
        if (lunch.txt[i].caption == "9:00") {
            mondayBegin = int(i);
            break;
        }
    ASSERT_GE(mondayBegin, 0);
    for (int day = 0; day < 6; ++day) {
        const Ttxt& begin = lunch.txt[std::size_t(mondayBegin + 2 * day)];
        const Ttxt& end = lunch.txt[std::size_t(mondayBegin + 2 * day + 1)];
        EXPECT_EQ(begin.left + begin.width, (day + 1) * 37 + 9);
        EXPECT_EQ(end.left + end.width, (day + 1) * 37 + 9);
        EXPECT_EQ(end.top, begin.top + 13);
        EXPECT_EQ(begin.caption, "9:00");
        EXPECT_EQ(end.caption, "18:00");
    }
    EXPECT_TRUE(texts(lunch).contains("13:00"));
    EXPECT_TRUE(texts(lunch).contains("14:00"));
    EXPECT_FALSE(texts(lunch).contains(LangText(u"NoBreak", 0)));
    EXPECT_EQ(texts(lunch).count("9:00"), 6) << "the closed Sunday has no times";
    // Round the clock: one centred text, no time rows, no break.
    const QStringList allDay = texts(card.blocks[4]);
    EXPECT_TRUE(allDay.contains(LangText(u"24", 0)));
    EXPECT_FALSE(allDay.contains("0:00"));
    EXPECT_TRUE(allDay.contains(LangText(u"NoBreak", 0)));
    for (const Ttxt& t : card.blocks[4].txt)
        if (t.caption == LangText(u"24", 0)) {
            EXPECT_EQ(t.left, (300 - t.width) / 2);
        }
    // An end of 23:59 reads 24:00.
    const QStringList late = texts(card.blocks[5]);
    EXPECT_EQ(late.count("24:00"), 7);
    EXPECT_FALSE(late.contains("23:59"));
    // Figures of the lunch block: address line, then schedule heading, days, two rows, rule, two rows.
    EXPECT_EQ(lunch.MinHeight, 6 + 20 + 5);
    EXPECT_EQ(lunch.MaxHeight, 31 + (13 + 6) + (13 + 5) + 13 + 13 + 2 + 2 + 13 + 13 + 5);
}

TEST(OrgCard, AddressBlocksAndTheirCollapsePictures) {
    CardCity c;
    TAdr phone = CardCity::Adr(50, "1");
    phone.phones.push_back({"123-45-67", {"приёмная"}, 0, false});
    const int single = c.Org("Один адрес", {phone});
    TAdr second = CardCity::Adr(51, "2");
    second.phones.push_back({"765-43-21", {""}, 0, true});
    const int multi = c.Org("Три адреса", {phone, second, CardCity::Adr(52, "3", 0)});
    c.Index();
    CardEnv env = c.Env(300);
    auto collapsePics = [](const TBlock& b) {
        return std::count_if(b.pic.begin(), b.pic.end(),
                             [](const Tpic& p) { return p.link == TLink::collapse_block; });
    };
    TCard one = TCard::Create("org", -1, 1, single, env);
    EXPECT_EQ(collapsePics(one.blocks[3]), 0);
    EXPECT_EQ(one.blocks[3].MinHeight, one.blocks[3].MaxHeight);
    one.Expand(env);
    EXPECT_EQ(one.blocks[3].height, one.blocks[3].MaxHeight) << "phones show at once";

    // Opened from the third building: its address comes first, full, without a collapse picture.
    TCard fromBuilding = TCard::Create("org", 52, 1, multi, env);
    EXPECT_EQ(c.db.Orgs[multi].adrs[0].id, 52);
    EXPECT_EQ(c.db.Orgs[multi].adrs[1].id, 50);
    EXPECT_EQ(collapsePics(fromBuilding.blocks[3]), 0);
    EXPECT_EQ(fromBuilding.blocks[3].MinHeight, fromBuilding.blocks[3].MaxHeight);
    EXPECT_EQ(collapsePics(fromBuilding.blocks[4]), 1);
    EXPECT_LT(fromBuilding.blocks[4].MinHeight, fromBuilding.blocks[4].MaxHeight);
    EXPECT_EQ(fromBuilding.blocks[4].hr.size(), 1u) << "a rule between addresses";

    // Expanding stacks the collapsed address blocks; a block toggle pushes the later ones down.
    fromBuilding.Expand(env);
    const TBlock& b4 = fromBuilding.blocks[4];
    const int before = fromBuilding.height, nextTop = fromBuilding.blocks[5].top;
    EXPECT_EQ(b4.height, b4.MinHeight);
    std::size_t pic = 0;
    while (b4.pic[pic].link != TLink::collapse_block)
        ++pic;
    const int x = b4.pic[pic].left + 3, y = fromBuilding.top + b4.top + b4.pic[pic].top + 3;
    CardClick click = fromBuilding.OnClick(x, y, env);
    EXPECT_FALSE(click.toggled);
    const int growth = b4.MaxHeight - b4.MinHeight;
    EXPECT_EQ(b4.height, b4.MaxHeight);
    EXPECT_EQ(fromBuilding.height, before + growth);
    EXPECT_EQ(fromBuilding.blocks[5].top, nextTop + growth);
    EXPECT_EQ(b4.pic[pic].link, TLink::expand_block);
    EXPECT_EQ(b4.pic[pic].name, "imgExpand");
    fromBuilding.OnClick(x, y, env);
    EXPECT_EQ(fromBuilding.height, before);
    // Collapsing the card turns an opened block's picture back.
    fromBuilding.OnClick(x, y, env);
    fromBuilding.Collapse(env);
    EXPECT_EQ(fromBuilding.blocks[4].pic[pic].link, TLink::collapse_block);
    EXPECT_EQ(fromBuilding.height, fromBuilding.blocks[0].height);

    // Hover over a phone's place lights the place and the phone; moving away restores them.
    HoverEffects fx;
    one.Expand(env);
    const TBlock& a = one.blocks[3];
    std::size_t place = 0;
    while (a.txt[place].value != "phonePlace")
        ++place;
    one.OnMouseMove(a.txt[place].left + 2, one.top + a.top + a.txt[place].top + 2, fx);
    EXPECT_TRUE(fx.listRedraw);
    EXPECT_EQ(a.txt[place].color, clRed);
    EXPECT_EQ(a.txt[place + 1].color, clRed);
    one.OnMouseMove(1, 1, fx);
    EXPECT_EQ(a.txt[place].color, clGray);
    EXPECT_EQ(a.txt[place + 1].color, clGreen);
}

TEST(OrgCard, MarksFollowExpandAndCollapse) {
    CardCity c;
    const int a = c.Org("Первая", {CardCity::Adr(50, "1")});
    const int b = c.Org("Вторая", {CardCity::Adr(50, "1")});
    c.db.Orgs[b].area = {1};
    c.Index();
    CardEnv env = c.Env(300);
    TCards list;
    list.Add("org", a, -1, env);
    list.Add("org", b, -1, env);
    ASSERT_EQ(c.marks.mark.size(), 1u);
    EXPECT_EQ(c.marks.mark[0].RedCount, 2);
    list.crds[0].Expand(env);
    EXPECT_EQ(c.marks.mark[0].RedCount, 1);
    EXPECT_EQ(c.marks.mark[0].YellowCount, 1);
    list.crds[0].Expand(env); // already open: counted once
    EXPECT_EQ(c.marks.mark[0].YellowCount, 1);
    list.crds[0].Collapse(env);
    EXPECT_EQ(c.marks.mark[0].RedCount, 2);
    EXPECT_EQ(c.marks.mark[0].YellowCount, 0);
    // The building mode adds and removes flags instead.
    env.mode = TCardMarkMode::building;
    list.crds[1].Expand(env);
    EXPECT_EQ(c.marks.mark[0].RedCount, 3);
    list.crds[1].Collapse(env);
    EXPECT_EQ(c.marks.mark[0].RedCount, 2);

    // Clicking a rubric gives its index and leaves the card as it is.
    list.crds[1].Expand(env);
    list.Restack();
    const TCard& card = list.crds[1];
    const int height = card.height;
    const TBlock& d = card.blocks[2];
    for (const Ttxt& t : d.txt)
        if (t.link == TLink::rubrika) {
            CardClick click;
            EXPECT_EQ(list.OnClick(t.left + 2, card.top + d.top + t.top + 2, env, click), -1);
            EXPECT_EQ(click.rubric, 1);
        }
    EXPECT_EQ(list.crds[1].height, height);
    EXPECT_FALSE(list.crds[1].Collapsed);
}

TEST(RouteCard, StopsOfBothDirectionsAndTheChosenStopInBold) {
    CardCity c;
    c.db.TransportTypeNames = {{"Автобус"}};
    c.db.BusStops.resize(3);
    for (int k = 0; k < 3; ++k) {
        c.db.BusStops[std::size_t(k)].id_ = 10 + k;
        c.db.BusStops[std::size_t(k)].caption = {QString("Остановка %1").arg(k)};
    }
    TBusWay there, back, other;
    there.num = back.num = {"12"};
    other.num = {"7"};
    there.way = {{1, 0, 0, 10}, {0, 5, 5, 0}, {1, 0, 0, 11}, {1, 0, 0, 99}};
    back.way = {{1, 0, 0, 12}};
    c.db.BusWays = {there, other, back};
    c.Index();
    CardEnv env = c.Env(300);
    TCard card = TCard::Create("BusWay", 11, 1, 0, env);
    ASSERT_EQ(card.blocks.size(), 3u);
    EXPECT_EQ(card.org, -1);
    QStringList title;
    for (const Ttxt& t : card.blocks[0].txt)
        title << t.caption;
    EXPECT_EQ(title, (QStringList{"12", ", автобус"}));
    QStringList stops;
    for (const Ttxt& t : card.blocks[2].txt)
        if (t.link == TLink::stop) {
            stops << t.caption;
            EXPECT_EQ(t.bold, t.value == "11");
        }
    // The unknown stop 99 is left out; with a chosen stop the other direction is not added.
    EXPECT_EQ(stops, (QStringList{"- \"Остановка 0\"", "- \"Остановка 1\""}));
    EXPECT_EQ(card.blocks[2].MinHeight, 25);
    TCard both = TCard::Create("BusWay", -1, 1, 0, env);
    int count = 0;
    for (const Ttxt& t : both.blocks[2].txt)
        count += t.link == TLink::stop;
    EXPECT_EQ(count, 3);
    // Hovering a stop paints it red and asks for its highlight on the map.
    both.Expand(env);
    EXPECT_EQ(both.blocks[2].height, 25) << "the stop list opens with its own picture";
    both.ToggleBlock(2, 0);
    EXPECT_EQ(both.blocks[2].height, both.blocks[2].MaxHeight);
    for (const Ttxt& t : both.blocks[2].txt)
        if (t.link == TLink::stop) {
            HoverEffects fx;
            both.OnMouseMove(t.left + 2, both.blocks[2].top + t.top + 2, fx);
            ASSERT_EQ(fx.stops.size(), 1u);
            EXPECT_EQ(fx.stops[0], std::make_pair(10, true));
            EXPECT_TRUE(fx.mapRedraw);
            EXPECT_EQ(both.blocks[2].txt[std::size_t(&t - both.blocks[2].txt.data())].color, clRed);
            break;
        }
}

TEST(CardList, HeightsScrollAndEmptyLists) {
    CardCity c;
    for (int k = 0; k < 6; ++k)
        c.Org(QString("Организация %1").arg(k), {CardCity::Adr(50 + k % 3, "1", 0)});
    c.Index();
    CardEnv env = c.Env(300);
    TCards list;
    list.CollapseAll(env);
    list.ExpandAll(env);
    EXPECT_EQ(list.height, 0);
    for (int k = 0; k < 6; ++k)
        list.Add("org", k, -1, env);
    EXPECT_EQ(list.height, 6 * 19);
    EXPECT_EQ(list.crds[3].top, 3 * 19);
    // A click on the third card opens it and pushes the later ones down by its growth.
    CardClick click;
    EXPECT_EQ(list.OnClick(10, list.crds[2].top + 10, env, click), 2);
    EXPECT_TRUE(click.toggled);
    const int growth = list.crds[2].height - 19;
    EXPECT_GT(growth, 0);
    EXPECT_EQ(list.crds[3].top, 3 * 19 + growth);
    EXPECT_EQ(list.height, 6 * 19 + growth);
    // Showing the card fully: scrolled down so its bottom is in view, or up to its top.
    const TCard& k = list.crds[2];
    EXPECT_EQ(list.ShowFullCard(2, 0, 60), std::min(k.top, k.top + k.height - 60));
    EXPECT_EQ(list.ShowFullCard(2, k.top + 5, 60), k.top);
    EXPECT_EQ(list.ShowFullCard(-1, 7, 60), 7);
    // A click between cards or below the list changes nothing.
    EXPECT_EQ(list.OnClick(10, list.crds[1].top, env, click), -1);
    EXPECT_EQ(list.OnClick(10, list.height + 50, env, click), -1);
    list.ExpandAll(env);
    int sum = 0;
    for (const TCard& card : list.crds)
        sum += card.height;
    EXPECT_EQ(list.height, sum);
    list.CollapseAll(env);
    EXPECT_EQ(list.height, 6 * 19);
}

TEST(History, EmptyBuildingMovesPastTheEnd) {
    SearchHistory h;
    h.AppendHistory(hotOrg, {1, 2});
    h.AppendHistory(hotOrg, {3});
    EXPECT_EQ(h.HistoryIndex, 1);
    // A building without organisations shows nothing and adds nothing.
    h.HistoryIndex = int(h.History.size());
    h.HistoryIndex -= 1; // Back
    EXPECT_EQ(h.History[std::size_t(h.HistoryIndex)].objects, Tai{3});
    // An append after going back keeps the later entries and adds at the end.
    h.HistoryIndex = 0;
    h.AppendHistory(hotOrg, {4});
    EXPECT_EQ(h.History.size(), 3u);
    EXPECT_EQ(h.HistoryIndex, 2);
}

} // namespace
