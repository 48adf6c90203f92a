// Quick lists and the plain-text form of a card, on a small hand-made city.
#include "QuickLists.h"
#include "CardText.h"
#include "TextTable.h"

#include <gtest/gtest.h>

namespace {

// Two buildings far apart, so a radius around the first leaves the second out.
struct QuickCity {
    CityDb db;
    QuickCity() {
        db.Streets.resize(1);
        db.Streets[0].Name = {"Ленина улица", "Lenin street"};
        for (int k = 0; k < 2; ++k) {
            TBuilding b;
            b.id = 100 + k;
            b.street = 0;
            b.num = Tas{QString::number(k + 1)};
            b.Widen(k * 5000.f, 0);
            b.Widen(k * 5000.f + 10, 10);
            db.Buildings.push_back(b);
        }
        db.BuildIndexes = {{0, 0, "1"}, {0, 1, "2"}};
        db.RubricNames = {"Кафе-бары",                    // 0 food
                          "Заказ легковых такси",         // 1 taxi
                          "Рестораны",                    // 2 food
                          "Банкоматы Сбербанка",          // 3 cash machines: the first such rubric
                          "Банкоматы других банков",      // 4 not used: only the first counts
                          "Заказ легковых такси",         // 5 the same name again: not used
                          "Столовые",                     // 6 food
                          "кафе",                         // 7 another letter case: not food
                          "Ночные кафе",                  // 8 "Кафе" not at the start: not food
                          "Заказ легковых такси (ночь)"}; // 9 more than the name: not taxi
        org({0, 2}, 1);                                   // 0: cafe and restaurant, far away
        org({2}, 0);                                      // 1: restaurant, near
        org({1}, 1);                                      // 2: taxi, far
        org({3}, 1);                                      // 3: cash machine, far
        org({3, 4}, 0);                                   // 4: cash machine, near
        org({4}, 0);                                      // 5: the second cash-machine rubric only
        org({5, 9}, 0);                                   // 6: taxi rubrics that do not count
        org({6, 6}, 0);                                   // 7: canteen listed twice
        org({7, 8}, 0);                                   // 8: not food
        org({-1}, 0);                                     // 9: a missing rubric
    }
    void org(Tai area, int building) {
        TOrg o;
        o.id = int(db.Orgs.size()) + 1;
        o.caption = {QStringLiteral("Организация %1").arg(db.Orgs.size())};
        TAdr a;
        a.street = 0;
        a.id = 100 + building;
        a.num = Tas{QString::number(building + 1)};
        o.adrs = {a};
        o.area = std::move(area);
        db.Orgs.push_back(o);
    }
};

} // namespace

TEST(QuickLists, RubricRulesAndTheRadius) {
    QuickCity c;
    OrgSearchIndex index(c.db, 0);
    const RadiusCircle none;
    const RadiusCircle nearFirst{true, {5, 5}, 100};
    struct Case {
        QuickList which;
        const RadiusCircle& radius;
        Tai expected;
    } cases[] = {
        {QuickList::Taxi, none, {2}},
        {QuickList::Taxi, nearFirst, {2}}, // taxis are listed wherever they are
        {QuickList::CashMachines, none, {3, 4}},
        {QuickList::CashMachines, nearFirst, {4}},
        {QuickList::Food, none, {0, 1, 7}}, // each once, in Orgs order
        {QuickList::Food, nearFirst, {1, 7}},
        {QuickList::Emergency, none, {}},
    };
    for (const Case& k : cases) {
        const QuickListResult r = FindQuickList(index, k.which, k.radius);
        EXPECT_EQ(r.orgs, k.expected) << int(k.which) << " radius " << k.radius.Visible;
        EXPECT_EQ(r.rubricFound, k.which != QuickList::Emergency) << int(k.which);
    }
    // A rubric that exists but lists nobody in the circle: found, and empty.
    c.db.RubricNames << "Службы экстренного вызова";
    OrgSearchIndex again(c.db, 0);
    const QuickListResult emergency = FindQuickList(again, QuickList::Emergency, none);
    EXPECT_TRUE(emergency.rubricFound);
    EXPECT_TRUE(emergency.orgs.empty());
}

TEST(QuickLists, Captions) {
    EXPECT_EQ(QuickListCaption(QuickList::Taxi, LangRussian), " Службы заказа такси");
    EXPECT_EQ(QuickListCaption(QuickList::Taxi, LangEnglish), " Taxi services");
    EXPECT_EQ(QuickListCaption(QuickList::Food, LangEnglish), " Cafes and restaurants");
    for (int lang : {LangRussian, LangEnglish}) {
        EXPECT_EQ(QuickListCaption(QuickList::Emergency, lang), " Службы экстренного вызова");
        EXPECT_EQ(QuickListCaption(QuickList::CashMachines, lang), " Банкоматы");
    }
}

TEST(CardText, LinesOfACard) {
    CityDb db;
    db.Streets.resize(2);
    db.Streets[0].Name = {"Ленина улица", "Lenin street"};
    db.Streets[1].Name = {"Мира проспект", "Peace avenue"};
    auto phone = [](const QString& number, const QString& place) {
        return TPhone{number, Tas{place, place}, 0, false};
    };
    TOrg o;
    o.caption = {"Аптека «Здоровье», ООО", "Zdorovye pharmacy"};
    TAdr first;
    first.street = 0;
    first.num = Tas{"5А", "5A"};
    first.phones = {phone("5-61-23", "приёмная")};
    TAdr noStreet; // a place without a street: only its phones
    noStreet.nomap_adr = Tas{"Рынок, павильон 3"};
    noStreet.phones = {phone("12-43", ""), phone("8-900-123", "директор")};
    TAdr quiet;
    quiet.street = 1;
    quiet.num = Tas{"12"};
    TAdr damaged; // a street position past the table is left out, like no street
    damaged.street = 7;
    o.adrs = {first, noStreet, quiet, damaged};
    db.Orgs.push_back(o);
    TOrg bare;
    bare.caption = {"Склад"};
    db.Orgs.push_back(bare);

    const QString line(26, u'-');
    struct Case {
        int org, dataLang, shellLang;
        QStringList expected;
    } cases[] = {
        {0,
         0,
         LangRussian,
         {"Название: Аптека «Здоровье», ООО", line, "Адрес: Ленина улица, 5А",
          "Телефон:", "  5-61-23 - приёмная", line, "Телефоны:", "  12-43", "  8-900-123 - директор", line,
          "Адрес: Мира проспект, 12", line, line}},
        {0,
         1,
         LangEnglish,
         {"Title: Zdorovye pharmacy", line, "Address: Lenin street, 5A", "Phone:", "  5-61-23 - приёмная",
          line, "Phones:", "  12-43", "  8-900-123 - директор", line, "Address: Peace avenue, ", line, line}},
        {1, 0, LangRussian, {"Название: Склад", line}},
        {5, 0, LangRussian, {}},
        {-1, 0, LangRussian, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CardText(db, c.org, c.dataLang, c.shellLang), c.expected) << c.org << " " << c.dataLang;

    // Every organisation card from the last to the first, each followed by an empty line; route cards
    // (-1) are left out.
    QStringList all = CardText(db, 1, 0, LangRussian);
    all << QString() << CardText(db, 0, 0, LangRussian) << QString();
    EXPECT_EQ(AllCardsText(db, {0, -1, 1, -1}, 0, LangRussian), all);
    EXPECT_TRUE(AllCardsText(db, {-1}, 0, LangRussian).isEmpty());
}
