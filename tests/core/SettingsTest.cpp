#include "Settings.h"
#include "ColorSchemeStore.h"
#include "TempSettingsStore.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

struct SettingsStore : ::testing::Test {
    TempSettingsStore store;
    ColorSchemeTable colors;
    Settings s;

    SettingsStore() {
        FillColorSchemes(colors);
        SetDefaults(s);
    }
    void Put(QSettings::Scope scope, const QVariantMap& values) {
        auto st = TempSettingsStore::Scope(scope);
        for (auto it = values.begin(); it != values.end(); ++it)
            st->setValue(it.key(), it.value());
        st->sync();
    }
    void PutUser(const QVariantMap& values) { Put(QSettings::UserScope, values); }
};

} // namespace

TEST_F(SettingsStore, FreshStoreKeepsEveryDefault) {
    s.position = 0;
    s.invert = true;
    ReadSettings(s, colors);
    const Settings d;
    EXPECT_EQ(s.position, 1);
    EXPECT_FALSE(s.invert);
    EXPECT_EQ(s.ColorScheme, 7);
    EXPECT_EQ(s.Port, 12345);
    EXPECT_EQ(s.ShellLang, -1);
    EXPECT_TRUE(s.smooth && s.SmoothNow && s.jump && s.ContourText && s.AutoUpdate && s.marks);
    EXPECT_FALSE(s.flat || s.AutoScrollMap || s.EconomPrint);
    EXPECT_TRUE(s.PhoneBook.isEmpty());
    EXPECT_EQ(colors.active().liveColor, colors.schemes[7].liveColor);
}

TEST_F(SettingsStore, SystemScopeIsReadOnlyUntilTheUserScopeHoldsTheKey) {
    Put(QSettings::SystemScope, {{"ShellLang", 1}, {"Port", 999}});
    ReadSettings(s, colors);
    EXPECT_EQ(s.ShellLang, 1);
    EXPECT_EQ(s.Port, 999);

    s.ShellLang = 0;
    SaveSettings(s);
    EXPECT_EQ(TempSettingsStore::System()->value("ShellLang").toInt(), 1) << "never written";
    Put(QSettings::SystemScope, {{"invert", 1}});
    Settings again;
    ReadSettings(again, colors);
    EXPECT_EQ(again.ShellLang, 0);
    EXPECT_FALSE(again.invert) << "the machine-wide key is ignored once the user's exists";
}

TEST_F(SettingsStore, SmoothFlatJumpAreReadOnlyAllThreeTogether) {
    PutUser({{"smooth", 0}, {"jump", 0}});
    ReadSettings(s, colors);
    EXPECT_TRUE(s.smooth);
    EXPECT_TRUE(s.jump);

    PutUser({{"flat", 1}});
    s.SmoothNow = true;
    ReadSettings(s, colors);
    EXPECT_FALSE(s.smooth);
    EXPECT_FALSE(s.SmoothNow);
    EXPECT_TRUE(s.flat);
    EXPECT_FALSE(s.jump);
}

TEST_F(SettingsStore, NumbersKeepTheirStoredWidth) {
    PutUser({{"blink", 2}, {"metro", 1}, {"Port", 70000}, {"ScaleMode", 257}, {"GrafMode", 256}});
    ReadSettings(s, colors);
    EXPECT_FALSE(s.blink) << "only 1 reads as true";
    EXPECT_TRUE(s.metro);
    EXPECT_EQ(s.Port, 4464);
    EXPECT_EQ(s.ScaleMode, 1);
    EXPECT_EQ(s.GrafMode, 0);
}

TEST_F(SettingsStore, OutOfRangeValuesAreReplacedByValidOnes) {
    struct Case {
        int position, colorScheme, shellLang;
        int wantPosition, wantScheme, wantLang;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, 0},      {1, 9, 1, 1, 9, 1},     {2, 10, 2, 1, 7, -1},
        {258, -1, -2, 1, 7, -1}, {256, 3, -1, 0, 3, -1},
    };
    for (const Case& c : cases) {
        TempSettingsStore fresh;
        PutUser({{"position", c.position}, {"ColorScheme", c.colorScheme}, {"ShellLang", c.shellLang}});
        Settings r;
        ReadSettings(r, colors);
        EXPECT_EQ(r.position, c.wantPosition) << c.position;
        EXPECT_EQ(r.ColorScheme, c.wantScheme) << c.colorScheme;
        EXPECT_EQ(r.ShellLang, c.wantLang) << c.shellLang;
    }
}

TEST_F(SettingsStore, WrongKindEndsTheReadingKeepingWhatCameBefore) {
    // Order of reading: ... ShowHelp, invert, EconomPrint ... ColorScheme, ShellLang, Port.
    PutUser({{"ShowHelp", 0}, {"invert", "yes"}, {"EconomPrint", 1}, {"ShellLang", 1}});
    ReadSettings(s, colors);
    EXPECT_FALSE(s.ShowHelp);
    EXPECT_FALSE(s.invert);
    EXPECT_FALSE(s.EconomPrint);
    EXPECT_EQ(s.ShellLang, -1);
}

TEST_F(SettingsStore, UnreadableStoreKeepsDefaults) {
    {
        ASSERT_TRUE(QDir().mkpath(store.userPath()));
        // A folder where the file should be: the store cannot be read or written.
        ASSERT_TRUE(QDir().mkpath(store.userPath() + "/Norvik/Tessara.conf"));
    }
    ReadSettings(s, colors);
    EXPECT_EQ(s.Port, 12345);
    s.Port = 1;
    SaveSettings(s); // must not throw or crash
    EXPECT_EQ(ReadDataLang("Demograd", 3), -1);
}

TEST_F(SettingsStore, SaveWritesTheWholeListAndTheCityLanguage) {
    s.ShellLang = 1;
    s.PhoneBook = "/opt/phones/run, now.sh";
    s.position = 0;
    s.CityEngName = "Demograd";
    s.DataLangCount = 2;
    s.DataLang = 1;
    SaveSettings(s);
    auto u = TempSettingsStore::User();
    const QStringList names = {
        "smooth", "flat",        "AutoScrollMap",  "ShowHelp",   "jump",      "blink",     "ShowFotoFirst",
        "invert", "EconomPrint", "position",       "ScaleMode",  "GrafMode",  "PhoneBook", "ContourText",
        "metro",  "marks",       "HideRubrikator", "AutoUpdate", "ShellLang", "Port",      "DemogradLang"};
    for (const QString& n : names)
        EXPECT_TRUE(u->contains(n)) << n.toStdString();
    EXPECT_EQ(u->allKeys().size(), names.size()) << "ColorScheme is written with the colours";

    Settings back;
    ReadSettings(back, colors);
    EXPECT_EQ(back.PhoneBook, s.PhoneBook);
    EXPECT_EQ(back.position, 0);
    EXPECT_EQ(back.ShellLang, 1);
    EXPECT_EQ(ReadDataLang("Demograd", 2), 1);
}

TEST_F(SettingsStore, CityLanguageIsWrittenOnlyForSeveralLanguages) {
    s.CityEngName = "Demograd";
    s.DataLangCount = 1;
    SaveSettings(s);
    EXPECT_FALSE(TempSettingsStore::User()->contains("DemogradLang"));
    EXPECT_EQ(ReadDataLang("Demograd", 1), -1);
}

TEST_F(SettingsStore, StoredCityLanguageOutOfRangeBecomesZero) {
    PutUser({{"DemogradLang", 3}, {"OtherLang", -4}});
    EXPECT_EQ(ReadDataLang("Demograd", 3), 0);
    EXPECT_EQ(ReadDataLang("Demograd", 4), 3);
    EXPECT_EQ(ReadDataLang("Other", 2), 0);
    EXPECT_EQ(ReadDataLang("Missing", 2), -1);
}

TEST_F(SettingsStore, LastCityRoundTrips) {
    EXPECT_TRUE(ReadLastCity().isEmpty());
    SaveLastCity(QStringLiteral("Нижний Новгород"));
    EXPECT_EQ(ReadLastCity(), QStringLiteral("Нижний Новгород"));
}
