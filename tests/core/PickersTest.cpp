// The drop-down's sources and entry drawing, house numbers of a street, the rubric tree and its
// narrowing, and address requests: tables of cases, bad input among them.
#include "Cp1251.h"
#include "FilterList.h"
#include "HouseNumbers.h"
#include "OrgSearch.h"
#include "PendingAddress.h"
#include "PickerIndex.h"
#include "Rubricator.h"

#include <gtest/gtest.h>

namespace {

QStringList Texts(const FilterSource& s, const std::vector<int>& rows) {
    QStringList out;
    for (int i : rows)
        out << s.Text(i);
    return out;
}

TEST(FilterList, SourcesFilterByTheUpperCasedTextInTheirOrder) {
    const TextListSource streets({"Мира проспект", "ленинградский проспект", "Ленина улица", "Lenina street",
                                  "Ёлочная", "Жукова", "Ленина улица", "Ежевичная"},
                                 true);
    EXPECT_EQ(streets.Count(), 8) << "duplicates stay";
    const QStringList all = Texts(streets, streets.Filter(QString()));
    EXPECT_EQ(all.size(), 8);
    // Russian collation, letter case ignored: "Ё" sorts with "Е" (by code it would come before "А"),
    // "ленинградский" between the "Ленина"s and "Мира".
    EXPECT_LT(all.indexOf("Ежевичная"), all.indexOf("Ёлочная"));
    EXPECT_LT(all.indexOf("Ёлочная"), all.indexOf("Жукова"));
    EXPECT_LT(all.lastIndexOf("Ленина улица"), all.indexOf("ленинградский проспект"));
    EXPECT_LT(all.indexOf("ленинградский проспект"), all.indexOf("Мира проспект"));

    struct Case {
        QString typed;
        QStringList found;
    } cases[] = {
        {"ЛЕН", {"Ленина улица", "Ленина улица", "ленинградский проспект"}},
        {"ПРОСПЕКТ", {"ленинградский проспект", "Мира проспект"}},
        {"LENINA", {"Lenina street"}},
        {"ЁЛ", {"Ёлочная"}},
        {"А УЛ", {"Ленина улица", "Ленина улица"}},
        // A hit never spans two candidates: "...ЛИЦА" then "ЛЕНИН..." would, through the separator.
        {QString("ЛИЦА") + QChar(0) + "ЛЕН", {}},
        {"12/1А", {}},
        {QString(100000, u'Я'), {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Texts(streets, streets.Filter(c.typed)), c.found) << c.typed.left(20).toStdString();
}

TEST(FilterList, OrganisationNamesNeedThreeCharacters) {
    CityDb db;
    for (const char* name : {"Аптека «Зелёная»", "Больница №1", "Зелёный театр", "аптечный склад"}) {
        TOrg o;
        o.caption = {QString::fromUtf8(name)};
        db.Orgs.push_back(o);
    }
    OrgSearchIndex index(db, 0);
    const OrgNameSource names(index);
    EXPECT_TRUE(names.Filter("АП").empty());
    EXPECT_EQ(Texts(names, names.Filter("АПТ")), QStringList({"Аптека «Зелёная»", "аптечный склад"}));
    EXPECT_EQ(Texts(names, names.Filter("ЗЕЛЁН")), QStringList({"Аптека «Зелёная»", "Зелёный театр"}));
    EXPECT_TRUE(names.Filter(QString(50000, u'А')).empty());
}

TEST(FilterList, EntriesAreDrawnWithTypeMatchAndQualifierMarks) {
    using K = EntryInk;
    struct Case {
        QString entry, typed;
        bool street;
        std::vector<EntryRun> runs;
    } cases[] = {
        {"Мира", "", true, {{"Мира", K::Black, false}, {" улица", K::Green, false}}},
        {"Ленинский проспект",
         "ЛЕН",
         true,
         {{"Лен", K::Black, true}, {"инский", K::Black, false}, {" проспект", K::Green, false}}},
        {"Восточная улица", "", true, {{"Восточная", K::Black, false}, {" улица", K::Green, false}}},
        {"улица Ленина", "", true, {{"улица", K::Green, false}, {" Ленина", K::Black, false}}},
        {"2-й проспект Мира",
         "",
         true,
         {{"2-й ", K::Black, false}, {"проспект", K::Green, false}, {" Мира", K::Black, false}}},
        {"проспект", "", true, {{"проспект", K::Green, false}}},
        {"Lenina street", "", true, {{"Lenina", K::Black, false}, {" street", K::Green, false}}},
        // The Russian default word goes only after a Cyrillic name; a town after the dash stays last.
        {"Landstrasse", "", true, {{"Landstrasse", K::Black, false}}},
        {"Landstrasse — Triesen",
         "",
         true,
         {{"Landstrasse", K::Black, false}, {" — Triesen", K::Maroon, false}}},
        {"Мира — Заречье",
         "",
         true,
         {{"Мира", K::Black, false}, {" улица", K::Green, false}, {" — Заречье", K::Maroon, false}}},
        {"Мира",
         "А УЛ",
         true,
         {{"Мир", K::Black, false},
          {"а", K::Black, true},
          {" ул", K::Green, true},
          {"ица", K::Green, false}}},
        {"Садовая (СНТ)",
         "САД",
         true,
         {{"Сад", K::Black, true},
          {"овая", K::Black, false},
          {" (СНТ)", K::Maroon, false},
          {" улица", K::Green, false}}},
        {"Аптека (центр)", "", false, {{"Аптека", K::Black, false}, {" (центр)", K::Maroon, false}}},
        {"Кафе (у моста", "", false, {{"Кафе (у моста", K::Black, false}}},
        {"Кафе) (x", "", false, {{"Кафе) (x", K::Black, false}}},
        {"12/1а", "1А", false, {{"12/", K::Black, false}, {"1а", K::Black, true}}},
        {"улица", "УЛИЦА ЛЕНИНА", false, {{"улица", K::Black, false}}},
        {"", "", false, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EntryRuns(c.entry, c.typed, c.street), c.runs) << c.entry.toStdString();
        QString joined;
        for (const EntryRun& r : c.runs)
            joined += r.text;
        EXPECT_EQ(EntryText(c.entry, c.street), joined);
    }
}

TEST(HouseNumbers, OrderedByLeadingNumberThenText) {
    QStringList numbers = {
        "10/1",    "9", "2а", "1", "10", "2", "12/1а", "010", "99999999999999999999", "100000000000000000000",
        "корп. 1", "A", "12"};
    std::sort(numbers.begin(), numbers.end(), HouseNumberLess);
    EXPECT_EQ(numbers, QStringList({"1", "2", "2а", "9", "010", "10", "10/1", "12", "12/1а",
                                    "99999999999999999999", "100000000000000000000", "A", "корп. 1"}));
}

void building(CityDb& db, int street, const QString& num) {
    TBuilding b;
    b.street = street;
    b.num = {num};
    db.Buildings.push_back(b);
}

// Three streets: numbers repeated, missing, over-long and mixed; one street without buildings.
CityDb NumberedCity() {
    CityDb db;
    db.Streets.resize(3);
    db.Streets[0].Name = {"Ленина улица"};
    db.Streets[1].Name = {"Мира проспект"};
    db.Streets[2].Name = {"Пустая улица"};
    for (const char* n : {"10", "2", "2а", "1", "10/1", "9", "2", "", "12345678901234", "1234567890xx"})
        building(db, 0, QString::fromUtf8(n));
    building(db, 1, "5");
    building(db, -1, "7");
    return db;
}

TEST(HouseNumbers, OfAStreetDistinctWholeAndSorted) {
    const CityDb db = NumberedCity();
    const StreetBuildings byStreet(db);
    // Long numbers are offered whole: a shortened one would match no building.
    const QStringList expected = {"1", "2", "2а", "9", "10", "10/1", "1234567890xx", "12345678901234"};
    EXPECT_EQ(BuildNumbersOfStreet(db, 0, 0), expected);
    EXPECT_EQ(BuildNumbersOfStreet(db, byStreet, 0, 0), expected);
    for (int street : {1, 2, -1, 3})
        EXPECT_EQ(BuildNumbersOfStreet(db, byStreet, street, 0), BuildNumbersOfStreet(db, street, 0))
            << street;
    EXPECT_TRUE(BuildNumbersOfStreet(db, byStreet, 2, 0).isEmpty()) << "a street no building refers to";

    PickerIndex pickers(db, 0);
    EXPECT_EQ(pickers.HouseNumbers("ЛЕНИНА УЛИЦА"), expected);
    EXPECT_TRUE(pickers.HouseNumbers("Ленина").isEmpty());

    CityDb big;
    big.Streets.resize(1);
    for (int n = 2100; n >= 1; --n) {
        TBuilding b;
        b.street = 0;
        b.num = {QString::number(n)};
        big.Buildings.push_back(b);
    }
    const QStringList kept = BuildNumbersOfStreet(big, StreetBuildings(big), 0, 0);
    ASSERT_EQ(kept.size(), MaxHouseNumbers);
    EXPECT_EQ(kept.front(), "1");
    EXPECT_EQ(kept.back(), "2000");
}

// The building index keeps a number's first 13 bytes: a longer number (or one with a comma) picked whole is
// still found, and only where the whole number matches.
TEST(HouseNumbers, APickedNumberFindsItsBuildingWhateverItsLength) {
    CityDb db = NumberedCity();
    building(db, 0, "39,41");
    building(db, 0, "12345678901234а");
    for (std::size_t i = 0; i < db.Buildings.size(); ++i) {
        const TBuilding& b = db.Buildings[i];
        if (b.street >= 0 && !b.num[0].isEmpty())
            db.BuildIndexes.push_back({b.street, std::int32_t(i), FromCp1251(ToCp1251(b.num[0]).left(BuildIndexNumLength))});
    }
    std::stable_sort(db.BuildIndexes.begin(), db.BuildIndexes.end(),
                     [](const TBuildIndex& a, const TBuildIndex& b) { return a.s > b.s; });
    const OrgSearchIndex index(db, 0);
    for (const QString& n : BuildNumbersOfStreet(db, 0, 0)) {
        std::vector<int> expected;
        for (std::size_t i = 0; i < db.Buildings.size(); ++i)
            if (db.Buildings[i].street == 0 && db.Buildings[i].num[0] == n) expected.push_back(int(i));
        EXPECT_EQ(index.FindBuildings(0, n), expected) << n.toStdString();
        EXPECT_EQ(FindBuildings(db, 0, n), expected) << n.toStdString();
    }
}

QStringList NodeTexts(const RubricTreeIndex& t, const std::vector<int>& rows) {
    QStringList out;
    for (int i : rows)
        out << QString(t.Nodes()[std::size_t(i)].depth, u'.') + t.Nodes()[std::size_t(i)].text;
    return out;
}

TEST(Rubricator, TreeNarrowsToMatchingRubricsAndEntries) {
    const RubricTreeIndex tree("Здоровье\n\tАптеки\n\tБольницы\n\t\tМедицинские центры\n"
                               "Еда\r\n\tКафе\r\n\t\tАптеки\r\n\n  \nАвто\n\tАвтосервисы\n");
    EXPECT_EQ(NodeTexts(tree, tree.ShortTree()),
              QStringList({"Здоровье", ".Аптеки", ".Больницы", "Еда", ".Кафе", "Авто", ".Автосервисы"}));
    struct Case {
        QString typed;
        QStringList shown;
    } cases[] = {
        {"а", {"Здоровье", ".Аптеки", ".Больницы", "Еда", ".Кафе", "Авто", ".Автосервисы"}},
        {"апт", {"Здоровье", ".Аптеки", "Еда", ".Кафе", "..Аптеки"}},
        {"МЕД", {"Здоровье", ".Больницы", "..Медицинские центры"}},
        {"здоровье", {}}, // groups are never matched themselves
        {"Авто", {"Авто", ".Автосервисы"}},
        {QString(20000, u'ы'), {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NodeTexts(tree, tree.Narrow(c.typed)), c.shown) << c.typed.left(10).toStdString();
}

TEST(Rubricator, OddIndentationStillMakesATree) {
    // An indented first line, a jump of three levels, blanks and tabs mixed.
    const auto nodes =
        ParseRubricTree("\t\tГруппа\n\t\t\t\tРубрика\n \t\tВложенная\n\t\t\t\t\t\tГлубже\nДругая\n");
    ASSERT_EQ(nodes.size(), 5u);
    const int depths[] = {0, 1, 2, 3, 0};
    const int parents[] = {-1, 0, 1, 2, -1};
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(nodes[i].depth, depths[i]) << i;
        EXPECT_EQ(nodes[i].parent, parents[i]) << i;
    }
    const RubricTreeIndex tree("Группа\n\tРубрика\n\t\tВложенная\n\t\t\tГлубже\n");
    EXPECT_EQ(NodeTexts(tree, tree.Narrow("глубже")), QStringList()) << "deeper lines are never matched";
    EXPECT_EQ(NodeTexts(tree, tree.Narrow("влож")), QStringList({"Группа", ".Рубрика", "..Вложенная"}));
    EXPECT_TRUE(RubricTreeIndex(QString()).Nodes().empty());
}

TEST(Rubricator, LettersAndBlankOpenIt) {
    for (QChar c : QStringLiteral(" AZazАЯая"))
        EXPECT_TRUE(OpensRubricator(c)) << int(c.unicode());
    for (QChar c : QStringLiteral("Ёё1-@\t\x7f"))
        EXPECT_FALSE(OpensRubricator(c)) << int(c.unicode());
}

TEST(AddressRequest, SplitAtTheFirstComma) {
    struct Case {
        QString text, street, number;
    } cases[] = {
        {"Ленина улица, 5", "Ленина улица", "5"},
        {"Ленина улица,12/1а", "Ленина улица", "12/1а"},
        {"Ленина улица", "Ленина улица", ""},
        {"Ленина улица, ", "Ленина улица", ""},
        {" , 5", "", "5"},
        {"Мира, 5, корп. 2", "Мира", "5, корп. 2"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        const AddressRequest r = SplitAddress(c.text);
        EXPECT_EQ(r.street, c.street) << c.text.toStdString();
        EXPECT_EQ(r.number, c.number) << c.text.toStdString();
    }
}

TEST(AddressRequest, OneWaitsAndANewOneReplacesIt) {
    PendingAddress p;
    EXPECT_TRUE(p.IsEmpty());
    p.Set("Ленина улица, 5");
    p.Set("Мира проспект");
    EXPECT_EQ(p.Take(), "Мира проспект");
    EXPECT_TRUE(p.IsEmpty());
    EXPECT_EQ(p.Take(), QString());
    p.Set(QString(100000, u'x'));
    EXPECT_EQ(p.Take().size(), PendingAddress::MaxLength);
}

} // namespace
