// The criteria panel and the card list driven like a user: typing, Find, reading caption, count and
// cards; the telephone field's keys; history; clicks on cards. Set TESSARA_SCREENSHOT_DIR to keep
// pictures of the window (run under Xvfb to see real fonts).
#include "CardPainter.h"
#include "QuickListActions.h"
#include "QuickLists.h"
#include "SearchHarness.h"
#include "ShellOpen.h"
#include "TextTable.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

QStringList CardTitles(const TCardList& list) {
    QStringList out;
    for (const TCard& c : list.cards.crds) {
        QString title;
        for (const Ttxt& t : c.blocks[0].txt)
            title += t.caption;
        out << title;
    }
    return out;
}

TEST(SearchWidgets, TypeFindAndReadTheCards) {
    SearchHarness h;
    ASSERT_TRUE(h.list);
    TOrgCriteria& c = *h.criteria;
    TCardList& l = *h.list;
    EXPECT_FALSE(c.btnFindOrg->isEnabled()) << "all criteria empty";
    EXPECT_EQ(c.edCaption->text(), c.edCaption->toolTip()) << "an empty field shows its prompt";

    const QString name = h.db.Orgs[3].caption[0].mid(0, 4);
    Focus(c.edCaption);
    EXPECT_TRUE(c.edCaption->text().isEmpty());
    Type(c.edCaption, name.toLower());
    EXPECT_TRUE(c.btnFindOrg->isEnabled());
    EXPECT_TRUE(c.btnClearOrg->isEnabled());
    c.btnFindOrg->click();

    OrgCriteria k;
    k.Name = name.toLower();
    const Tai expected = l.Index()->FindOrgs(k, {}, h.now);
    ASSERT_GT(expected.size(), 1u);
    EXPECT_EQ(l.pnlCaption->text(), QStringLiteral(" Найденные организации"));
    EXPECT_EQ(l.txtCount->text(), QString::number(expected.size()));
    ASSERT_EQ(l.cards.crds.size(), expected.size());
    const QStringList titles = CardTitles(l);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(titles[int(i)], h.db.Orgs[std::size_t(expected[i])].caption[0]);
        EXPECT_TRUE(l.cards.crds[i].Collapsed);
    }
    EXPECT_EQ(l.history.History.size(), 1u);
    EXPECT_TRUE(l.btnBack->isEnabled());
    EXPECT_TRUE(h.calls.contains("defocus"));
    EXPECT_FALSE(h.display.Marks.mark.empty()) << "the buildings of the listed organisations are marked";
    Shot(h.window.get(), "search-list");

    // A name nobody has: the caption says so, the count is 0 and the history is unchanged.
    c.edCaption->setText(QStringLiteral("щщщщ"));
    c.btnFindOrg->click();
    EXPECT_EQ(l.pnlCaption->text(), QStringLiteral(" Организации не найдены"));
    EXPECT_EQ(l.txtCount->text(), "0");
    EXPECT_TRUE(l.cards.crds.empty());
    EXPECT_EQ(l.history.History.size(), 1u);

    // Clearing: an unfocused field returns to its prompt, and the search is off again.
    Unfocus(c.edCaption);
    c.btnClearOrgClick();
    EXPECT_EQ(c.edCaption->text(), c.edCaption->toolTip());
    EXPECT_FALSE(c.btnFindOrg->isEnabled());
}

TEST(SearchWidgets, OneResultOpensAndStreetSearch) {
    SearchHarness h;
    ASSERT_TRUE(h.list);
    TOrgCriteria& c = *h.criteria;
    TCardList& l = *h.list;
    // A street and number typed in other letter case, then the phone of one organisation there.
    const TOrg* org = nullptr;
    for (const TOrg& o : h.db.Orgs)
        if (o.adrs.size() == 1 && o.adrs[0].street >= 0 && !o.adrs[0].phones.empty()) {
            org = &o;
            break;
        }
    ASSERT_TRUE(org);
    const TAdr& a = org->adrs[0];
    Focus(c.cbStreet);
    c.cbStreet->setEditText(h.db.Streets[std::size_t(a.street)].Name[0].toUpper());
    Focus(c.cbBuildNum);
    c.cbBuildNum->setEditText(a.num[0]);
    c.btnMore->click();
    ASSERT_FALSE(c.pnlMore->isHidden());
    Focus(c.edTelecom);
    Type(c.edTelecom, "x" + DigitsOf(a.phones[0].phone).right(7) + "ы");
    EXPECT_EQ(c.edTelecom->text(), DigitsOf(a.phones[0].phone).right(7)) << "letters are not typed";
    Key(c.edTelecom, Qt::Key_Return);
    ASSERT_GE(l.cards.crds.size(), 1u);
    if (l.cards.crds.size() == 1) {
        EXPECT_FALSE(l.cards.crds[0].Collapsed) << "a single result opens at once";
        EXPECT_GT(l.cards.crds[0].height, l.cards.crds[0].blocks[0].height);
    }
    Shot(h.window.get(), "search-one");

    // Escape empties the phone field; only a number is pasted into it.
    Key(c.edTelecom, Qt::Key_Escape);
    EXPECT_TRUE(c.edTelecom->text().isEmpty());
    QApplication::clipboard()->setText(QStringLiteral("12-34"));
    Key(c.edTelecom, Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(c.edTelecom->text().isEmpty());
    QApplication::clipboard()->setText(QStringLiteral(" 1234 "));
    Key(c.edTelecom, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(c.edTelecom->text(), "1234");
    Key(c.edTelecom, Qt::Key_A, Qt::ControlModifier);
    Key(c.edTelecom, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(c.edTelecom->text(), "1234") << "other Ctrl keys do nothing";
    Key(c.edTelecom, Qt::Key_Escape);
    // Escape in the name field empties it when no filter list is shown.
    c.edCaption->setText(QStringLiteral("аптека"));
    Key(c.edCaption, Qt::Key_Escape);
    EXPECT_TRUE(c.edCaption->text().isEmpty());
    // Ticking the boxes alone still allows a search.
    c.cbStreet->setEditText(QString());
    c.cbBuildNum->setEditText(QString());
    c.UpdateFindOrgButton();
    EXPECT_FALSE(c.btnFindOrg->isEnabled());
    c.chbAlltime->click();
    EXPECT_TRUE(c.btnFindOrg->isEnabled());
    c.btnMore->click();
    EXPECT_FALSE(c.btnFindOrg->isEnabled()) << "the ticks count only while the panel shows";
}

TEST(SearchWidgets, ExpandingPushesLaterCardsAndHistoryAfterAnEmptyBuilding) {
    SearchHarness h;
    ASSERT_TRUE(h.list);
    TCardList& l = *h.list;
    QStringList opened;
    SetShellOpenHook([&](const QString& t) {
        opened << t;
        return true;
    });
    // Every organisation of the first rubric.
    l.ShowRubric(0);
    ASSERT_GT(l.cards.crds.size(), 3u);
    EXPECT_EQ(l.pnlCaption->text(), h.db.RubricNames[0]);
    EXPECT_EQ(l.history.History.size(), 1u);
    std::vector<int> tops;
    for (const TCard& c : l.cards.crds)
        tops.push_back(c.top);
    const int before = l.cards.height;
    // A click on the second card's title opens it.
    l.imgCardsMouseUp(Qt::LeftButton, 5, l.cards.crds[1].top + 5, {});
    const int growth = l.cards.crds[1].height - (tops[2] - tops[1]);
    EXPECT_GT(growth, 0);
    EXPECT_EQ(l.cards.height, before + growth);
    for (std::size_t i = 2; i < l.cards.crds.size(); ++i)
        EXPECT_EQ(l.cards.crds[i].top, tops[i] + growth);
    EXPECT_EQ(l.sbCards->maximum(), std::max(0, l.cards.height - l.imgCards->height()));
    EXPECT_TRUE(
        h.calls.contains(QStringLiteral("viewed %1").arg(h.db.Orgs[std::size_t(l.cards.crds[1].org)].id)));

    // Collapse all, expand all: the list height is the sum of the cards.
    l.btnExpandClick();
    Shot(h.window.get(), "search-expanded");
    int sum = 0;
    for (const TCard& c : l.cards.crds) {
        EXPECT_EQ(c.top, sum);
        sum += c.height;
    }
    EXPECT_EQ(l.cards.height, sum);
    l.btnCollapseClick();
    EXPECT_EQ(l.cards.height, before);

    // A building nobody works in: the history stays, its position moves past the end.
    int empty = -1;
    for (std::size_t b = 0; b < h.db.Buildings.size() && empty < 0; ++b)
        if (OrgsInBuilding(h.db, int(b)).empty()) empty = int(b);
    ASSERT_GE(empty, 0);
    h.criteria->edCaption->setText(h.db.Orgs[0].caption[0]);
    h.criteria->btnFindOrgClick();
    ASSERT_EQ(l.history.History.size(), 2u);
    // Clicked while the first entry shows (Forward on, Back off): Back shows the last entry, nothing is ahead.
    l.btnBackClick();
    ASSERT_TRUE(l.btnForward->isEnabled());
    ASSERT_FALSE(l.btnBack->isEnabled());
    l.BuildingClicked(empty);
    EXPECT_EQ(l.CardMarkMode, TCardMarkMode::building);
    EXPECT_EQ(l.pnlCaption->text(), QStringLiteral(" Организации в выбранном здании"));
    EXPECT_EQ(l.txtCount->text(), "0");
    EXPECT_EQ(l.history.History.size(), 2u);
    EXPECT_EQ(l.history.HistoryIndex, 2);
    EXPECT_TRUE(l.btnBack->isEnabled());
    EXPECT_FALSE(l.btnForward->isEnabled());
    l.btnBackClick();
    EXPECT_EQ(l.history.HistoryIndex, 1);
    EXPECT_EQ(l.cards.crds.front().org, l.history.History[1].objects.front());
    EXPECT_TRUE(l.btnBack->isEnabled());
    EXPECT_FALSE(l.btnForward->isEnabled());
    l.btnBackClick();
    EXPECT_EQ(l.history.HistoryIndex, 0);
    EXPECT_FALSE(l.btnBack->isEnabled());
    EXPECT_TRUE(l.pnlCaption->text().isEmpty()) << "the first entry shows as the start list";
    SetShellOpenHook({});
}

// A quick list that finds nothing keeps its caption and the count 0, and its one line says why.
TEST(SearchWidgets, AnEmptyQuickListSaysWhy) {
    SearchHarness h;
    ASSERT_TRUE(h.list);
    TCardList& l = *h.list;
    ASSERT_FALSE(FindQuickList(*l.Index(), QuickList::CashMachines, RadiusCircle{}).orgs.empty());
    const RadiusCircle farAway{true, {h.db.WorldMaxX + 10000, h.db.WorldMaxY + 10000}, 50};
    const struct {
        const char* what;
        RadiusCircle radius;
        QString rubricPrefix; // cash machine rubrics renamed to this, when not empty
        const char16_t* why;
    } cases[] = {
        {"none inside the radius", farAway, {}, u"QuickNotInRadius"},
        {"the city has no such rubric", {}, QStringLiteral("Кассы"), u"QuickNoRubric"},
        {"nobody listed under it", farAway, QStringLiteral("Банкоматы нигде"), u"QuickNone"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        h.radius = c.radius;
        if (!c.rubricPrefix.isEmpty())
            for (QString& name : h.db.RubricNames)
                if (name.startsWith(QStringLiteral("Банкоматы")) || name.startsWith(QStringLiteral("Кассы")))
                    name = c.rubricPrefix + name;
        if (QStringView(c.why) == u"QuickNone")
            for (TOrg& o : h.db.Orgs)
                o.area.clear();
        ShowQuickList(l, h, QuickList::CashMachines);
        EXPECT_EQ(l.pnlCaption->text(), QuickListCaption(QuickList::CashMachines, CurrentShellLang()));
        EXPECT_EQ(l.txtCount->text(), "0");
        ASSERT_EQ(CardTitles(l).size(), 1);
        EXPECT_EQ(CardTitles(l).front().remove(u' '), LangText(c.why).remove(u' '));
    }
    EXPECT_NE(LangText(u"QuickNone"), LangText(u"QuickNotInRadius"));
}

TEST(SearchWidgets, StartListShowsBannersCollapsed) {
    SearchHarness h;
    ASSERT_TRUE(h.list);
    TCardList& l = *h.list;
    // The generator gives start-list organisations no list banner; lend them one.
    std::optional<TImg> banner;
    for (const TOrg& o : h.db.Orgs)
        if (o.listBanner) banner = o.listBanner;
    ASSERT_TRUE(banner);
    for (TOrg& o : h.db.Orgs)
        if (o.firstBanner) o.listBanner = banner;
    l.ShowStartList();
    int withBanner = 0;
    for (const TOrg& o : h.db.Orgs)
        withBanner += o.firstBanner;
    ASSERT_GT(withBanner, 1);
    EXPECT_EQ(int(l.cards.crds.size()), withBanner);
    EXPECT_TRUE(l.pnlCaption->text().isEmpty());
    ASSERT_EQ(l.history.History.size(), 1u);
    EXPECT_EQ(l.history.HistoryIndex, 0);
    EXPECT_FALSE(l.btnBack->isEnabled());
    std::vector<int> shuffled(l.history.History[0].objects.begin(), l.history.History[0].objects.end());
    std::sort(shuffled.begin(), shuffled.end());
    EXPECT_EQ(std::adjacent_find(shuffled.begin(), shuffled.end()), shuffled.end())
        << "each organisation once";
    for (const TCard& c : l.cards.crds) {
        EXPECT_TRUE(c.Collapsed);
        EXPECT_TRUE(c.first);
        EXPECT_EQ(c.blocks[0].height, 0) << "no title while collapsed";
        EXPECT_EQ(c.height, c.blocks[1].height) << "only the banner shows";
        ASSERT_EQ(c.blocks[1].pic.size(), 1u);
        EXPECT_EQ(c.height, c.blocks[1].pic[0].height + 5);
        EXPECT_GT(c.height, 5);
    }
    Shot(h.window.get(), "search-start");
    // The start list with a single organisation stays collapsed.
    l.ClearResults();
    l.ShowOrgCards("first", {l.history.History[0].objects[0]}, -1);
    EXPECT_TRUE(l.cards.crds[0].Collapsed);
}

TEST(SearchWidgets, LinksOfAnOpenCard) {
    SearchHarness h;
    ASSERT_TRUE(h.list);
    TCardList& l = *h.list;
    QStringList opened;
    SetShellOpenHook([&](const QString& t) {
        opened << t;
        return true;
    });
    int pos = -1;
    for (std::size_t i = 0; i < h.db.Orgs.size() && pos < 0; ++i)
        if (!h.db.Orgs[i].email.isEmpty() && h.db.Orgs[i].adrs.size() == 1 && h.db.Orgs[i].adrs[0].id >= 0)
            pos = int(i);
    ASSERT_GE(pos, 0);
    l.ShowOrgCards(" x", {pos}, -1);
    const TCard& card = l.cards.crds[0];
    ASSERT_FALSE(card.Collapsed);
    // The e-mail picture and the text beside it open the same address.
    for (const TBlock& b : card.blocks)
        for (const Tpic& p : b.pic)
            if (p.link == TLink::email) l.imgCardsMouseUp(Qt::LeftButton, p.left + 2, b.top + p.top + 2, {});
    for (const TBlock& b : card.blocks)
        for (const Ttxt& t : b.txt)
            if (t.link == TLink::email) l.imgCardsMouseUp(Qt::LeftButton, t.left + 2, b.top + t.top + 2, {});
    EXPECT_EQ(opened, (QStringList{"mailto:" + h.db.Orgs[std::size_t(pos)].email,
                                   "mailto:" + h.db.Orgs[std::size_t(pos)].email}));
    // The address link marks the building found and flies there.
    h.calls.clear();
    for (const TBlock& b : card.blocks)
        for (const Ttxt& t : b.txt)
            if (t.link == TLink::adr) l.imgCardsMouseUp(Qt::LeftButton, t.left + 2, b.top + t.top + 2, {});
    ASSERT_EQ(h.display.ShownObjects.ids.size(), 1u);
    EXPECT_TRUE(h.db.Buildings[std::size_t(h.display.ShownObjects.ids[0])].IsFound);
    EXPECT_TRUE(h.calls.contains("blink"));
    EXPECT_TRUE(
        std::any_of(h.calls.begin(), h.calls.end(), [](const QString& s) { return s.startsWith("fly"); }));
    SetShellOpenHook({});
}

TEST(SearchWidgets, PanelsPlacedInAnotherWindowKeepWorking) {
    SearchHarness h;
    ASSERT_TRUE(h.list);
    QWidget result;
    result.resize(340, 700);
    h.list->PlacePanelsIn(&result);
    h.list->pnlCaption->setGeometry(0, 0, 340, 24);
    h.list->pnlCards->setGeometry(0, 24, 340, 600);
    result.show();
    EXPECT_EQ(result.findChild<QWidget*>("imgCards"), h.list->imgCards);
    EXPECT_TRUE(h.list->isHidden());
    h.criteria->edCaption->setText(h.db.Orgs[0].caption[0]);
    h.criteria->btnFindOrgClick();
    EXPECT_FALSE(h.list->cards.crds.empty());
    EXPECT_GT(h.list->imgCards->width(), 300);
    EXPECT_EQ(h.list->cards.crds[0].blocks[0].txt[0].left, 5);
}

} // namespace
