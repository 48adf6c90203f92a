// Telephone numbers of OpenStreetMap into the digit forms the directory stores and shows.
#include "PhoneNumbers.h"
#include "DirectoryRecords.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

TEST(PhoneNumbers, NumbersBecomeNationalDigitsWithTheirCountry) {
    struct Case {
        const char* raw;
        const char* country; // of the data
        bool mobileTag;
        const char* stored; // nullptr: no number
        const char* code;
    };
    const Case cases[] = {
        {"+377 93 15 26 00", "377", false, "93152600", "377"},
        {"93 15 26 00", "377", false, "93152600", "377"},
        // Mobiles carry "+" (the loader's mobile mark), by the country's mobile ranges or by the tag.
        {"+377 6 12 34 56 78", "377", false, "+612345678", "377"},
        {"+377 93 15 26 00", "377", true, "+93152600", "377"},
        // The trunk prefix is not part of the number; foreign numbers keep their own country.
        {"04 93 41 27 72", "33", false, "493412772", "33"},
        {"0033 4 93 41 27 72", "377", false, "493412772", "33"},
        {"+33 (0)4 93 41 27 72", "377", false, "493412772", "33"},
        {"8 (3452) 12-34-56", "7", false, "3452123456", "7"},
        {"+7 912 345-67-89", "377", false, "+9123456789", "7"},
        {"+377 93 15 26 00 ext. 12", "377", false, "93152600", "377"},
        // Short numbers are dialled as they are; without any country known, digits stay as dialled.
        {"112", "377", false, "112", ""},
        {"93 15 26 00", "", false, "93152600", ""},
        {"call us", "377", false, nullptr, ""},
        {"+", "377", false, nullptr, ""},
    };
    for (const Case& c : cases) {
        const auto p = NormalisePhone(QString::fromUtf8(c.raw), QString::fromUtf8(c.country), c.mobileTag);
        if (!c.stored) {
            EXPECT_FALSE(p) << c.raw;
            continue;
        }
        ASSERT_TRUE(p) << c.raw;
        EXPECT_EQ(p->stored.toStdString(), c.stored) << c.raw;
        EXPECT_EQ(p->countryCode.toStdString(), c.code) << c.raw;
    }
}

TEST(PhoneNumbers, StoredFormsShowAsTheDirectoryFormatsThem) {
    const QStringList codes{QString(), QStringLiteral("+377")};
    QString phone;
    bool cell = false;
    const auto mobile = NormalisePhone(QStringLiteral("+377 6 12 34 56 78"), QStringLiteral("377"));
    ASSERT_TRUE(mobile);
    FormatPhone(mobile->stored, 1, codes, phone, cell);
    EXPECT_EQ(phone, QStringLiteral("(+377) 612345678"));
    EXPECT_TRUE(cell);
    // A search by any run of the digits finds it.
    EXPECT_TRUE(
        QString(phone).remove(QRegularExpression(QStringLiteral("\\D"))).contains(QStringLiteral("3776123")));
}

TEST(PhoneNumbers, ValuesHoldingSeveralNumbersAreSplit) {
    EXPECT_EQ(SplitPhoneValue(QStringLiteral("+377 93 15 26 00;+377 93 15 26 01")),
              (QStringList{QStringLiteral("+377 93 15 26 00"), QStringLiteral("+377 93 15 26 01")}));
    EXPECT_EQ(SplitPhoneValue(QStringLiteral("+33 4 93 00 00 00 / +33 6 00 00 00 00 ; ")).size(), 2);
    EXPECT_EQ(SplitPhoneValue(QStringLiteral("+377 93-15-26-00")).size(), 1);
}
