#include "ColorScheme.h"

#include <gtest/gtest.h>

TEST(ColorScheme, BuiltInSchemesHoldTheirTableValues) {
    ColorSchemeTable t;
    FillColorSchemes(t);
    EXPECT_EQ(t.schemes[7].caption, QStringLiteral("Тессара"));
    EXPECT_EQ(t.schemes[1].caption, QStringLiteral("Схема 1"));
    // First, last and a middle field, in schemes at both ends and the default.
    EXPECT_EQ(t.schemes[1].adminColor, 0xDAEAF0u);
    EXPECT_EQ(t.schemes[9].ReklamaColor, 0xC0C0C0u);
    EXPECT_EQ(t.schemes[8].ReklamaColor, 0x88C0F0u);
    EXPECT_EQ(t.schemes[7].WaterColor, 0xD2B692u);
    EXPECT_EQ(t.schemes[2].BuildFoundColor, 0x0000FFu);
    EXPECT_EQ(t.active().liveColor, t.schemes[7].liveColor);
}

TEST(ColorScheme, RegistryNamesKeepTheirOddCapitals) {
    auto nameOf = [](TColor TColorScheme::*field) -> std::string {
        for (const ColorField& f : ColorFields)
            if (f.field == field) return f.registryName;
        return {};
    };
    EXPECT_EQ(nameOf(&TColorScheme::PlantColor), "plantColor");
    EXPECT_EQ(nameOf(&TColorScheme::IndividColor), "individColor");
    EXPECT_EQ(nameOf(&TColorScheme::InfoColor), "infoColor");
    EXPECT_EQ(nameOf(&TColorScheme::BuildFoundColor), "BuildFoundColor");
}
