#include "KeyboardLayout.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

TEST(KeyboardLayout, TheFirstRussianLayoutAmongTheFirstEightIsChosen) {
    const struct {
        QStringList names;
        int group;
    } cases[] = {
        {{}, -1},
        {{"English (US)"}, -1},
        {{"English (US)", "Russian"}, 1},
        {{"Russian (phonetic)", "English (US)", "Russian"}, 0},
        {{"us", "ru"}, 1},
        {{"English (US)", "Rusyn", "Belarusian", "Russian (Ukraine, standard RSTU)"}, 3},
        {{"English (US)", "", "Tatar"}, -1},
        {{"a", "b", "c", "d", "e", "f", "g", "h", "Russian"}, -1}, // the ninth is not looked at
    };
    for (const auto& c : cases) EXPECT_EQ(RussianLayoutGroup(c.names), c.group) << c.names.join(',').toStdString();
}

TEST(KeyboardLayout, WithoutAnX11DisplayNothingHappens) {
    ASSERT_NE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    EXPECT_FALSE(ActivateRussianLayout());
}
