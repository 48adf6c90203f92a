// Real-estate offers: the query URL, the reply parser on good and damaged replies, the list cells,
// the ordering of the rooms and cost columns and the printed table.
#include "Estate.h"
#include "CityDb.h"
#include "EstateCity.h"
#include "Cp1251.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace {

// One offer's 16 fields.
QByteArray Row(const QString& fields) {
    return ToCp1251(fields) + '|';
}

// An offer with the given fields set and the others empty.
QByteArray Offer(std::initializer_list<std::pair<int, QByteArray>> set) {
    QList<QByteArray> f(16);
    for (const auto& [i, v] : set)
        f[i] = v;
    return f.join('|') + '|';
}

const QString GoodRow = "7|2|Центр|100|3|9|1|0|2|54.5|30|9.25|4500|тихий двор|502|";

} // namespace

TEST(EstateRequest, CarriesOnlyTheParametersThatAreSet) {
    const QString base = "http://127.0.0.1:1/";
    EXPECT_EQ(EstateRequestUrl(base, "Demograd", {}), base + "sql.php?act=select&city=Demograd");
    EstateFilter all;
    all.material = 0;
    all.rooms = " 3 ";
    all.cost = "1500";
    all.sanuzel = 1;
    all.balcon = 3;
    all.notFirstLevel = all.notLastLevel = true;
    EXPECT_EQ(EstateRequestUrl(base, "Demograd", all),
              base + "sql.php?act=select&city=Demograd&material=0&rooms=3&cost=1500&sanuzel=1&balcon=3"
                     "&NotFirstLevel=1&NotLastLevel=1");
    // Zero, negatives, text and numbers with something after them are no criterion; nor can a
    // field or the city name smuggle in a parameter.
    for (const char* bad : {"0", "-2", "abc", "2&cost=1", "3'--", "", "99999999999"}) {
        EstateFilter f;
        f.rooms = f.cost = bad;
        EXPECT_EQ(EstateRequestUrl(base, "X", f), base + "sql.php?act=select&city=X") << bad;
    }
    EXPECT_EQ(EstateRequestUrl(base, "A&rooms=1", {}), base + "sql.php?act=select&city=A%26rooms%3D1");
}

TEST(EstateReply, ReadsEveryFieldOfAnOffer) {
    EstateCity c;
    const EstateReply r = ParseEstateReply("head|" + Row(GoodRow), c.db, 0);
    ASSERT_EQ(r.offers.size(), 1u);
    EXPECT_EQ(r.skipped, 0);
    const TFlat& f = r.offers[0];
    EXPECT_EQ(f.id, 7);
    EXPECT_EQ(f.rooms, 2);
    EXPECT_EQ(f.metro, "Центр");
    EXPECT_EQ(f.build_id, 100);
    EXPECT_EQ(f.street, 0); // the first building with id 100
    EXPECT_EQ(f.num, "12");
    EXPECT_EQ(f.Level, 3);
    EXPECT_EQ(f.MaxLevel, 9);
    EXPECT_EQ(f.material, "панель");
    EXPECT_EQ(f.sanuzel, "разд.");
    EXPECT_EQ(f.balcon, "лоджия");
    EXPECT_FLOAT_EQ(f.SAll, 54.5f);
    EXPECT_FLOAT_EQ(f.SKitchen, 9.25f);
    EXPECT_EQ(f.cost, 4500);
    EXPECT_EQ(f.comment, "тихий двор");
    EXPECT_EQ(f.agent, 1);
    EXPECT_EQ(EstateCells(f, c.db, 0), (QStringList{"2", "Лесная, 12", "3 / 9", "панель", "54.5 / 30.0 / 9.3",
                                                    "разд.", "лоджия", "4500", "тихий двор", "Квартал"}));
}

TEST(EstateReply, EmptyFieldsAndLookupsThatFindNothing) {
    EstateCity c;
    const QByteArray body = "x|" + Offer({{0, "1"}}) + Offer({{0, "2"}, {1, "14"}, {3, "101"}, {14, "999"}, {15, ToCp1251("морская")}}) +
                            Offer({{0, "3"}, {6, "7"}, {7, "5"}, {8, "9"}, {14, "501"}, {15, ToCp1251("Нет такой")}}) +
                            Offer({{0, "4"}, {3, "555"}});
    const EstateReply r = ParseEstateReply(body, c.db, 0);
    ASSERT_EQ(r.offers.size(), 4u);
    EXPECT_EQ(r.skipped, 0);
    // Nothing known: empty address, unknowns as "?".
    EXPECT_EQ(EstateCells(r.offers[0], c.db, 0),
              (QStringList{"", "", "? / ?", "", "? / ? / ?", "", "", "", "", ""}));
    // A room in a four-room flat; the street named (any case) wins over the building's; the house
    // number is cut to 13 characters; an agency id no agency has gives none.
    const TFlat& two = r.offers[1];
    EXPECT_EQ(two.street, 1);
    EXPECT_EQ(two.num, QString("7А-длинный-номер-дома").left(13));
    EXPECT_EQ(two.agent, -1);
    EXPECT_EQ(EstateCells(two, c.db, 0).value(0), "1/4");
    // Indexes outside the fixed lists give empty texts; an unknown street name gives no street.
    const TFlat& three = r.offers[2];
    EXPECT_TRUE(three.material.isEmpty() && three.sanuzel.isEmpty() && three.balcon.isEmpty());
    EXPECT_EQ(three.street, -1);
    EXPECT_EQ(three.agent, 0);
    // A building id the city does not have, and no street: an empty address.
    EXPECT_EQ(EstateCells(r.offers[3], c.db, 0).value(1), "");
}

// The service may name a street in any data language; the one shown wins when two streets share a name.
TEST(EstateReply, StreetNamesAreLookedUpInEveryDataLanguage) {
    EstateCity c;
    TStreet clash; // its second-language name is the first street's first-language name
    clash.Name = Tas{QStringLiteral("Третья"), QStringLiteral("Лесная")};
    c.db.Streets.push_back(clash);
    struct Case {
        int lang;
        const char* name;
        int street;
    } cases[] = {
        {1, "Лесная", 2},    {0, "Лесная", 0},     {1, "морская-EN", 1}, {0, "морская-en", 1},
        {0, "лесная-en", 0}, {1, "Третья", 2},     {0, "Нет такой", -1},
    };
    for (const Case& k : cases) {
        const EstateReply r = ParseEstateReply("x|" + Offer({{0, "1"}, {15, ToCp1251(QString::fromUtf8(k.name))}}), c.db, k.lang);
        ASSERT_EQ(r.offers.size(), 1u) << k.name;
        EXPECT_EQ(r.offers[0].street, k.street) << k.name << " in language " << k.lang;
    }
    // A street-only offer shows the street's name in the language shown.
    const EstateReply r = ParseEstateReply("x|" + Offer({{0, "1"}, {15, ToCp1251("Морская")}}), c.db, 1);
    EXPECT_EQ(EstateCells(r.offers[0], c.db, 1).value(1), "Морская-en");
}

TEST(EstateReply, DamagedRepliesSkipAndCountTheirBadRows) {
    EstateCity c;
    const QByteArray good = Row(GoodRow);
    struct Case {
        const char* what;
        QByteArray body;
        size_t offers;
        int skipped;
    } cases[] = {
        {"empty", "", 0, 0},
        {"only the first field", "ok", 0, 0},
        {"first field and trailing bar", "ok|", 0, 0},
        {"no trailing bar", "h|" + good.chopped(1), 1, 0},
        {"id not a number", "h|" + Offer({{0, "x7"}, {1, "2"}}) + good, 1, 1},
        {"id missing", "h|" + Offer({{1, "2"}}) + good, 1, 1},
        {"rooms with text after", "h|" + Offer({{0, "8"}, {1, "2a"}}) + good, 1, 1},
        {"area with a comma", "h|" + Offer({{0, "8"}, {9, "54,5"}}) + good, 1, 1},
        {"area not finite", "h|" + Offer({{0, "8"}, {9, "inf"}}) + good, 1, 1},
        {"area NaN", "h|" + Offer({{0, "8"}, {10, "nan"}}) + good, 1, 1},
        {"price past 32 bits", "h|" + Offer({{0, "8"}, {12, "4294967296"}}) + good, 1, 1},
        {"agency not a number", "h|" + Offer({{0, "8"}, {14, " 5x"}}) + good, 1, 1},
        {"cut short", "h|" + good + "9|1|2|3", 1, 1},
        {"a NUL in a number", "h|" + Offer({{0, QByteArray("8\0", 2)}}) + good, 1, 1},
        {"a field too many shifts the rest", "h|junk|" + good, 0, 2},
    };
    for (const Case& k : cases) {
        const EstateReply r = ParseEstateReply(k.body, c.db, 0);
        EXPECT_EQ(r.offers.size(), k.offers) << k.what;
        EXPECT_EQ(r.skipped, k.skipped) << k.what;
        EXPECT_FALSE(r.truncated) << k.what;
        for (const TFlat& f : r.offers)
            EXPECT_EQ(f.id, 7) << k.what;
    }
}

TEST(EstateReply, LongTextsAreCutAndHugeRepliesBounded) {
    EstateCity c;
    const QString longText(50000, u'ж');
    const EstateReply r = ParseEstateReply(
        "h|" + Offer({{0, "1"}, {13, ToCp1251(longText)}, {15, ToCp1251(longText)}}) + Offer({{0, "2"}, {2, ToCp1251(longText)}}), c.db, 0);
    ASSERT_EQ(r.offers.size(), 2u);
    EXPECT_EQ(r.offers[0].comment.size(), MaxEstateText);
    EXPECT_EQ(r.offers[0].street, -1);
    EXPECT_EQ(r.offers[1].metro.size(), MaxEstateText);

    QByteArray many = "h|";
    for (int i = 1; i <= MaxEstateOffers + 5; ++i)
        many += Offer({{0, QByteArray::number(i)}});
    const EstateReply big = ParseEstateReply(many, c.db, 0);
    EXPECT_EQ(big.offers.size(), size_t(MaxEstateOffers));
    EXPECT_TRUE(big.truncated);
    EXPECT_EQ(big.offers.back().id, MaxEstateOffers);
}

TEST(EstateList, RoomsAndCostSortAsNumbersOtherColumnsAsText) {
    QStringList rooms{"2", "1", "1/3", "", "1/4", "3"};
    std::stable_sort(rooms.begin(), rooms.end(), [](const QString& a, const QString& b) {
        return CompareEstateCells(a, b, EstateRoomsColumn, false) < 0;
    });
    EXPECT_EQ(rooms, (QStringList{"", "1/4", "1/3", "1", "2", "3"}));
    EXPECT_GT(CompareEstateCells("900", "10000", EstateCostColumn, true), 0);
    EXPECT_LT(CompareEstateCells("900", "10000", EstateCostColumn, false), 0);
    EXPECT_EQ(CompareEstateCells("абв", "АБВ", 1, false), 0);
    EXPECT_LT(CompareEstateCells("900", "10000", 1, true), 0); // text: "9" after "1", reversed
}

TEST(EstateList, PrintedTableKeepsItsColumnStops) {
    const QStringList captions{"комн ", "Адрес", "Этаж", "материал", "Площадь", "С/у", "Балкон", "Цена", "Комм"};
    const QString longAddress(40, u'a');
    const QStringList lines = EstatePrintLines(
        captions, {{"1/4", "Лесная, 12", "3 / 9", "панель", "54.5 / 30.0 / 9.3", "разд.", "нет", "4500", "двор", "X"},
                   {"2", longAddress, "1 / 5", "", "", "", "", "", "c"}});
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "комн Адрес                    Этаж      материал  Площадь             С/у       Балкон    "
                        "Цена      Комм");
    EXPECT_EQ(lines[1], QString(100, u'-'));
    EXPECT_EQ(lines[2].indexOf("Лесная"), 5);
    EXPECT_EQ(lines[2].indexOf("3 / 9"), 30);
    EXPECT_EQ(lines[2].indexOf("двор"), 100);
    EXPECT_FALSE(lines[2].contains("X")); // the agency is not printed
    // A cell past its stop pushes the rest right, a blank apart.
    EXPECT_EQ(lines[3].indexOf("1 / 5"), 5 + 40 + 1);
}
