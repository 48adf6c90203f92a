#include "Relabel.h"
#include "TextTable.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <gtest/gtest.h>

TEST(MainWindowLabels, EveryRowNamesAKeyOfTheTable) {
    for (const MainWindowLabel& l : MainWindowLabels())
        EXPECT_FALSE(LangText(QString::fromLatin1(l.key), LangEnglish).isEmpty()) << l.key;
    QSet<QString> described;
    for (const MainWindowLabel& l : MainWindowLabels())
        described.insert(l.control);
    for (const HintPanel& p : MainWindowHintPanels())
        EXPECT_TRUE(described.contains(p.description)) << p.panel;
}

TEST(MainWindowLabels, RelabelSetsCaptionsHintsAndPrompts) {
    QWidget window;
    auto* street = new QLabel(&window);
    street->setObjectName("txtStreet");
    auto* now = new QCheckBox(&window);
    now->setObjectName("chbNow");
    auto* back = new QPushButton(&window);
    back->setObjectName("btnBack");
    auto* news = new QLabel(&window);
    news->setObjectName("txtNews2");
    auto* caption = new QLineEdit(&window);
    caption->setObjectName("edCaption");
    caption->setText("typed by the user");
    auto* cbStreet = new QComboBox(&window);
    cbStreet->setObjectName("cbStreet");
    cbStreet->setEditable(true);
    auto* copy = new QAction(&window);
    copy->setObjectName("mnuCopy");

    const QStringList missing = RelabelWindow(&window, MainWindowLabels(), LangEnglish);
    EXPECT_FALSE(missing.contains("txtStreet"));
    EXPECT_TRUE(missing.contains("btnFindOrg"));
    EXPECT_EQ(street->text(), "Street:");
    EXPECT_EQ(now->text(), LangText(u"WorkNow", LangEnglish));
    EXPECT_EQ(back->toolTip(), LangText(u"Prev", LangEnglish));
    EXPECT_EQ(news->text(),
              LangText(u"News2", LangEnglish) + "\n" + "(active Internet connection necessary)");
    EXPECT_EQ(caption->text(), LangText(u"EnterOrg", LangEnglish));
    EXPECT_EQ(caption->toolTip(), caption->text());
    EXPECT_EQ(cbStreet->currentText(), LangText(u"EnterStreet", LangEnglish));
    EXPECT_EQ(copy->text(), LangText(u"Copy", LangEnglish));

    RelabelWindow(&window, MainWindowLabels(), LangRussian);
    EXPECT_EQ(street->text(), QStringLiteral("Улица:"));
}
