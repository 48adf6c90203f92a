// Finding a building by street and number as the command server and address links ask for it.
#include "Cards.h"
#include "HouseNumbers.h"
#include "OrgSearch.h"

#include <gtest/gtest.h>

namespace {

// One street in two data languages with numbers spelt per language, as the map labels them.
CityDb TwoLanguageStreet() {
    CityDb db;
    db.DataLangCount = 2;
    TStreet s;
    s.Name = {QStringLiteral("Лесная"), QStringLiteral("Lesnaya")};
    db.Streets.push_back(s);
    const QStringList numbers[] = {{QStringLiteral("20а"), QStringLiteral("20a")},
                                   {QStringLiteral("20в"), QStringLiteral("20v")},
                                   {QStringLiteral("7"), QStringLiteral("7")}};
    for (int i = 0; i < 3; ++i) {
        TBuilding b;
        b.id = 100 + i;
        b.street = 0;
        b.num = TSharedTas(numbers[i]);
        db.Buildings.push_back(b);
        // The index keeps the first data language's spelling.
        db.BuildIndexes.push_back({0, i, TSharedText(numbers[i][0])});
    }
    return db;
}

TEST(AddressLookup, HouseNumbersMatchInEveryLanguageAndLatinLookAlikes) {
    const CityDb db = TwoLanguageStreet();
    struct Case {
        int lang;
        const char* address;
        std::vector<int> found;
    };
    const Case cases[] = {
        {1, "Lesnaya, 20a", {0}},  // the English label
        {1, "Lesnaya, 20а", {0}},  // the first language's spelling
        {1, "Lesnaya, 20A", {0}},  // Latin capital for the Cyrillic small letter
        {1, "Lesnaya, 20v", {1}},  // a translated letter, found in its own language
        {1, "Lesnaya, 20B", {1}},  // the capitals "B" and "В" look alike
        {1, "Lesnaya, 20b", {}},   // the small ones do not
        {1, "Lesnaya, 7", {2}},
        {1, "Lesnaya, 21", {}},
        {0, "Лесная, 20a", {0}},   // Latin letter typed in the first data language
        {0, "Лесная, 20а", {0}},
        {0, "Nowhere, 20a", {}},
    };
    for (const Case& c : cases) {
        const OrgSearchIndex index(db, c.lang);
        const QString address = QString::fromUtf8(c.address);
        const qsizetype comma = address.indexOf(u',');
        const int street = index.FindStreet(address.left(comma));
        EXPECT_EQ(AddressBuildings(index, street, address.mid(comma + 2), 0), c.found) << c.address;
    }
}

TEST(AddressLookup, HouseNumberKeyFoldsLookAlikesAndCase) {
    EXPECT_EQ(HouseNumberKey(QStringLiteral(" 12kA ")), HouseNumberKey(QStringLiteral("12КА")));
    EXPECT_NE(HouseNumberKey(QStringLiteral("3b")), HouseNumberKey(QStringLiteral("3в")));
    EXPECT_EQ(HouseNumberKey(QStringLiteral("5/2")), QStringLiteral("5/2"));
}

} // namespace
