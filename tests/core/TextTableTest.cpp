#include "TextTable.h"

#include <QSet>
#include <gtest/gtest.h>

TEST(TextTable, HoldsEveryKeyOnceWithBothTexts) {
    const auto rows = TextTable();
    ASSERT_EQ(rows.size(), 318u); // the designed texts and thirty-six of this program
    QSet<QString> keys;
    for (const TextRow& r : rows) {
        const QString key = QString::fromLatin1(r.key);
        EXPECT_FALSE(keys.contains(key)) << r.key;
        keys.insert(key);
        EXPECT_FALSE(LangText(key, LangRussian).isEmpty()) << r.key;
        EXPECT_FALSE(LangText(key, LangEnglish).isEmpty()) << r.key;
    }
}

TEST(TextTable, LookupIsExactAndCaseSensitive) {
    struct Case {
        const char16_t* key;
        const char16_t* ru;
        const char16_t* en;
    };
    const Case cases[] = {
        {u"btnGo", u"Далее >", u"Next >"},
        {u"btngo", u"", u""},
        {u"btnGo ", u"", u""},
        {u"", u"", u""},
        {u"Found", u" Найдено:", u"  Found:"},
        {u"Found:", u"Найденный объект:", u"Found object:"},
        {u"Other", u"Прочее", u"Other"},
        {u"Other:", u"Прочие:", u"Other:"},
        {u"Admin:", u"Административные:", u"Admin:"},
        {u"3DOff", u" Не отображать высоту зданий (3D)", u" Don't show a building height (3D)"},
        {u"3D", u"Отображение высоты зданий (F3)", u"Show building height (F3)"},
        {u"Fly", u" Отключить \"перелет\" при смене объекта карты",
         u" Don't show animation of the map movement"},
        {u"NotInstalled", u"Не установлено ни одного города!\rХотите скачать нужный город сейчас?",
         u"You have not installed city!\rDo you want to download city now?"},
        {u"AppName", u"Тессара Гид:  ", u"Tessara Guide:  "},
        {u"Days", u"     ПН       ВТ        СР       ЧТ        ПТ       СБ        ВС",
         u"     Mo       Tu        We       Th        Fr       Sa        Su"},
        {u"m", u" м", u" m"},
        {u"Cementary", u"Кладбища:", u"Cementery:"},
    };
    for (const Case& c : cases) {
        const QString key = QString::fromUtf16(c.key);
        EXPECT_EQ(LangText(key, LangRussian), QString::fromUtf16(c.ru)) << key.toStdString();
        EXPECT_EQ(LangText(key, LangEnglish), QString::fromUtf16(c.en)) << key.toStdString();
    }
}

TEST(TextTable, BoundLanguageFollowsTheSetting) {
    int shellLang = LangEnglish;
    BindShellLang(&shellLang);
    EXPECT_EQ(LangText(u"Yes"), "Yes");
    shellLang = LangRussian;
    EXPECT_EQ(LangText(u"Yes"), QStringLiteral("Да"));
    BindShellLang(nullptr);
    EXPECT_EQ(LangText(u"Yes"), QStringLiteral("Да"));
}

TEST(TextTable, LanguageAndMonthNames) {
    EXPECT_EQ(LangNames(), QStringList({QStringLiteral("Русский"), QStringLiteral("English")}));
    EXPECT_EQ(MonthName(1, LangRussian), QStringLiteral("январь"));
    EXPECT_EQ(MonthName(12, LangEnglish), "December");
    EXPECT_TRUE(MonthName(0, LangRussian).isEmpty());
    EXPECT_TRUE(MonthName(13, LangEnglish).isEmpty());
}

TEST(TextTable, MainWindowCaptionNamesReleaseMonth) {
    EXPECT_EQ(MainWindowCaption("Demograd", "31.12.2019", LangRussian),
              QStringLiteral("Тессара Гид:  Demograd  (декабрь 2019)"));
    EXPECT_EQ(MainWindowCaption("Demograd", "01.01.2020", LangEnglish),
              "Tessara Guide:  Demograd  (January 2020)");
    EXPECT_EQ(MainWindowCaption("Demograd", "not a date", LangEnglish), "Tessara Guide:  Demograd  ()");
}

TEST(TextTable, LanguageHooksRunDataBeforeShellAndCanBeRemoved) {
    LanguageHooks hooks;
    QStringList calls;
    hooks.OnShellLang([&] { calls << "shell1"; });
    const int removed = hooks.OnShellLang([&] { calls << "gone"; });
    hooks.OnDataLang([&] { calls << "data"; });
    hooks.Remove(removed);
    hooks.ChangeDataLang();
    hooks.ChangeShellLang();
    EXPECT_EQ(calls, QStringList({"data", "shell1"}));
}
