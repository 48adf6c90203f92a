#include "ColorSchemeStore.h"
#include "Settings.h"
#include "TempSettingsStore.h"

#include <gtest/gtest.h>

namespace {

struct ColorStore : ::testing::Test {
    TempSettingsStore store;
    ColorSchemeTable table;
    ColorStore() { FillColorSchemes(table); }
};

} // namespace

TEST_F(ColorStore, BuiltInSchemeIsCopiedWhole) {
    ApplyColorScheme(table, 2);
    EXPECT_EQ(table.active().BuildFoundColor, 0x0000FFu);
    EXPECT_EQ(table.active().caption, QStringLiteral("Схема 2"));
    ApplyColorScheme(table, 42);
    EXPECT_EQ(table.active().liveColor, table.schemes[DefaultColorScheme].liveColor);
}

TEST_F(ColorStore, UserSchemeWithNothingStoredKeepsThePreviousColours) {
    ApplyColorScheme(table, 3);
    ApplyColorScheme(table, 0);
    for (const ColorField& f : ColorFields)
        EXPECT_EQ(table.active().*f.field, table.schemes[3].*f.field) << f.registryName;
}

TEST_F(ColorStore, UserSchemeReadsOnlyStoredColoursUnderTheirOddNames) {
    auto u = TempSettingsStore::User();
    u->setValue("plantColor", 0x123456);
    u->setValue("PlantColor", 0x111111); // not the stored name: ignored
    u->setValue("WaterColor", 0xABCDEF);
    u->setValue("ShellLang", 1);
    u->sync();
    ApplyColorScheme(table, 5);
    ApplyColorScheme(table, 0);
    EXPECT_EQ(table.active().PlantColor, 0x123456u);
    EXPECT_EQ(table.active().WaterColor, 0xABCDEFu);
    EXPECT_EQ(table.active().liveColor, table.schemes[5].liveColor);
}

TEST_F(ColorStore, SaveWritesAllColoursOnlyForTheUserScheme) {
    SaveColors(4, table.active());
    auto u = TempSettingsStore::User();
    EXPECT_EQ(u->value("ColorScheme").toInt(), 4);
    EXPECT_EQ(u->allKeys().size(), 1);

    TColorScheme mine = table.schemes[1];
    mine.InfoColor = 0x010203;
    SaveColors(0, mine);
    u = TempSettingsStore::User();
    EXPECT_EQ(u->allKeys().size(), 47);
    EXPECT_EQ(u->value("infoColor").toLongLong(), 0x010203);

    ColorSchemeTable other;
    FillColorSchemes(other);
    ApplyColorScheme(other, 0);
    for (const ColorField& f : ColorFields)
        EXPECT_EQ(other.active().*f.field, mine.*f.field) << f.registryName;
}

TEST_F(ColorStore, LoadingTheUserSchemeThroughSettingsChangesNoOtherSetting) {
    TColorScheme mine = table.schemes[9];
    SaveColors(0, mine);
    Settings s;
    ReadSettings(s, table);
    EXPECT_EQ(s.ColorScheme, 0);
    EXPECT_EQ(s.ShellLang, -1);
    EXPECT_EQ(table.active().GasColor, mine.GasColor);
}

TEST(Darken, LowersEachChannelByRoundedShare) {
    struct Case {
        TColor in;
        int p;
        TColor out;
    };
    const Case cases[] = {
        {0xFFFFFF, 0, 0xFFFFFF},  {0xFFFFFF, 100, 0x000000}, {0x0A0A0A, 15, 0x080808}, // 1.5 rounds up
        {0x0A1E32, 30, 0x071523}, {0xC8B46E, 50, 0x645A37},  {0x000000, 30, 0x000000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Darken(c.in, c.p), c.out) << std::hex << c.in << " " << c.p;
}
