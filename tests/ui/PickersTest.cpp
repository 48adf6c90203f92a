// The pickers, the rubricator and the object tab driven like a user: typing into the street and number
// fields and picking with the keys, the drop button, the name list; the rubricator from its button and
// from a letter; building search and address requests. TESSARA_SCREENSHOT_DIR keeps pictures.
#include "ObjectState.h"
#include "PickerIndex.h"
#include "SearchHarness.h"
#include "TextTable.h"
#include "TfrmRubrikator.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

QStringList Entries(const TFilterListBox& l) {
    QStringList out;
    for (int r = 0; r < l.model()->rowCount(); ++r)
        out << l.model()->index(r, 0).data().toString();
    return out;
}

std::vector<int> CardOrgs(const TCardList& l) {
    std::vector<int> out;
    for (const TCard& c : l.cards.crds)
        out.push_back(c.org);
    return out;
}

void Activate(SearchHarness& h) {
    h.window->activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return h.window->isActiveWindow(); }));
}

// Moves the selection with Down until `text` is selected.
void DownTo(TFilterListBox& drop, QWidget* field, const QString& text) {
    for (int k = 0; k < drop.Count() && drop.SelectedText() != text; ++k)
        Key(field, Qt::Key_Down);
}

TEST(Pickers, StreetAndNumberPickedWithTheKeysThenFound) {
    SearchHarness h;
    ASSERT_TRUE(h.list);
    Activate(h);
    TOrgCriteria& c = *h.criteria;
    TFilterListBox& drop = *c.filterList;
    const PickerIndex& pickers = *h.list->Pickers();
    // An organisation's address on a street with several house numbers.
    const TAdr* adr = nullptr;
    for (const TOrg& o : h.db.Orgs)
        for (const TAdr& a : o.adrs)
            if (!adr && a.street >= 0 && !a.num[0].isEmpty() &&
                pickers.HouseNumbers(h.db.Streets[std::size_t(a.street)].Name[0]).size() > 3)
                adr = &a;
    ASSERT_TRUE(adr);
    const QString street = h.db.Streets[std::size_t(adr->street)].Name[0];
    const QString number = adr->num[0];

    // Three letters from inside the name, in lower case.
    const QString typed = street.mid(1, 3).toLower();
    c.cbStreet->setFocus();
    Type(c.cbStreet, typed);
    ASSERT_TRUE(drop.isVisible());
    EXPECT_EQ(drop.Owner(), c.cbStreet);
    const QStringList listed = Entries(drop);
    EXPECT_EQ(listed.size(), int(pickers.streets->Filter(typed.toUpper()).size()));
    for (const QString& e : listed)
        EXPECT_TRUE(e.toUpper().contains(typed.toUpper())) << e.toStdString();
    EXPECT_EQ(drop.SelectedText(), listed.front()) << "the first entry is selected";
    EXPECT_EQ(drop.height(), std::min(14 * drop.Count() + 4, 116));
    EXPECT_EQ(drop.width(), c.cbStreet->width());
    EXPECT_EQ(drop.mapTo(h.window.get(), QPoint(0, 0)),
              c.cbStreet->mapTo(h.window.get(), QPoint(0, c.cbStreet->height())));
    EXPECT_TRUE(c.cbStreet->hasFocus()) << "the field keeps the caret";
    Shot(h.window.get(), "picker-street");

    DownTo(drop, c.cbStreet, street);
    ASSERT_EQ(drop.SelectedText(), street);
    Key(c.cbStreet, Qt::Key_Return);
    EXPECT_EQ(c.cbStreet->currentText(), street);
    EXPECT_FALSE(drop.isVisible());
    EXPECT_EQ(c.cbBuildNum->currentText(), c.cbBuildNum->toolTip()) << "the number goes back to its prompt";
    // Once the key is done, the map flies to the street and it blinks.
    ASSERT_TRUE(WaitUntil([&] { return h.calls.contains(QStringLiteral("street %1").arg(adr->street)); }));
    EXPECT_TRUE(h.db.Streets[std::size_t(adr->street)].IsFound);
    EXPECT_EQ(h.display.ShownObjects.tip, otStreet);
    EXPECT_EQ(h.display.ShownObjects.ids, Tai({adr->street}));
    EXPECT_TRUE(h.calls.contains("blink"));

    // The number list: the street's numbers containing the typed digit, in house-number order.
    c.cbBuildNum->setFocus();
    EXPECT_TRUE(c.cbBuildNum->currentText().isEmpty());
    Type(c.cbBuildNum, number.left(1));
    ASSERT_TRUE(drop.isVisible());
    EXPECT_EQ(drop.Owner(), c.cbBuildNum);
    QStringList expected;
    for (const QString& n : pickers.HouseNumbers(street))
        if (n.toUpper().contains(number.left(1).toUpper())) expected << n;
    EXPECT_EQ(Entries(drop), expected);
    Shot(h.window.get(), "picker-number");
    DownTo(drop, c.cbBuildNum, number);
    Key(c.cbBuildNum, Qt::Key_Up);
    DownTo(drop, c.cbBuildNum, number);
    ASSERT_EQ(drop.SelectedText(), number);
    h.calls.clear();
    Key(c.cbBuildNum, Qt::Key_Return);
    EXPECT_EQ(c.cbBuildNum->currentText(), number);
    ASSERT_TRUE(WaitUntil([&] { return !h.calls.filter("select").isEmpty(); })) << "the house is shown";
    EXPECT_EQ(h.display.ShownObjects.tip, otBuild);

    // Find: the organisations at that address.
    ASSERT_TRUE(c.btnFindOrg->isEnabled());
    c.btnFindOrg->click();
    OrgCriteria k;
    k.Street = street;
    k.Number = number;
    const Tai found = h.list->Index()->FindOrgs(k, {}, h.now);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(CardOrgs(*h.list), std::vector<int>(found.begin(), found.end()));

    // Escape in the street field empties it and the number.
    c.cbStreet->setFocus();
    Key(c.cbStreet, Qt::Key_Escape);
    EXPECT_TRUE(c.cbStreet->currentText().isEmpty());
    EXPECT_EQ(c.cbBuildNum->currentText(), c.cbBuildNum->toolTip());
}

// A house number holding a comma ("39,41", as imported cities have them) reaches its building from the
// number picker, from a card's address link and from an address request: street and number stay apart.
TEST(Pickers, AHouseNumberWithACommaIsFoundFromEveryWayIn) {
    SearchHarness h;
    ASSERT_TRUE(h.list);
    Activate(h);
    h.ObjectPage();
    TOrgCriteria& c = *h.criteria;
    TFilterListBox& drop = *c.filterList;
    // A building renumbered "39,41" (its index entry too), and an organisation's address there that names
    // no building, so that only street and number lead to it.
    int building = -1;
    for (std::size_t i = 0; i < h.db.Buildings.size() && building < 0; ++i)
        if (h.db.Buildings[i].street >= 0 && !h.db.Buildings[i].num[0].isEmpty()) building = int(i);
    ASSERT_GE(building, 0);
    TBuilding& b = h.db.Buildings[std::size_t(building)];
    const QString number = QStringLiteral("39,41");
    b.num.edit([&](QStringList& v) { v[0] = number; });
    for (TBuildIndex& e : h.db.BuildIndexes)
        if (e.ind == building) e.n = number;
    ASSERT_TRUE(h.db.Orgs[0].adrs.size() >= 1);
    TAdr& adr = h.db.Orgs[0].adrs[0];
    adr.street = b.street;
    adr.id = -1;
    adr.nomap_adr = TSharedTas{QString()};
    adr.num = TSharedTas{number};
    const QString street = h.db.Streets[std::size_t(b.street)].Name[0];
    auto shown = [&] {
        return h.display.ShownObjects.tip == otBuild && h.display.ShownObjects.ids == Tai{building} &&
               b.IsFound;
    };
    auto reset = [&] {
        ClearFound(h.db);
        h.display.ShownObjects = Tbo{};
        h.calls.clear();
    };

    // The picker: the street, then the number typed and taken with Enter.
    c.cbStreet->setFocus();
    Type(c.cbStreet, street);
    DownTo(drop, c.cbStreet, street);
    Key(c.cbStreet, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return !h.calls.filter("street").isEmpty(); }));
    reset();
    c.cbBuildNum->setFocus();
    Type(c.cbBuildNum, QStringLiteral("39,"));
    ASSERT_TRUE(drop.IsShownFor(c.cbBuildNum));
    EXPECT_EQ(Entries(drop), QStringList{number});
    Key(c.cbBuildNum, Qt::Key_Return);
    EXPECT_TRUE(WaitUntil(shown)) << "from the picker";

    // The card's address link.
    reset();
    h.list->ClearResults();
    h.list->ShowOrgCards(QStringLiteral(" Адрес"), Tai{0}, -1);
    const TCard& card = h.list->cards.crds.front();
    ASSERT_FALSE(card.Collapsed);
    bool clicked = false;
    for (const TBlock& blk : card.blocks)
        for (const Ttxt& t : blk.txt)
            if (!clicked && t.link == TLink::adr && blk.height > 0) {
                EXPECT_EQ(t.caption, street + QStringLiteral(", ") + number);
                h.list->imgCardsMouseUp(Qt::LeftButton, t.left + 2, card.top + blk.top + t.top + 2, {});
                clicked = true;
            }
    ASSERT_TRUE(clicked);
    EXPECT_TRUE(shown()) << "from the card";

    // A request from outside.
    reset();
    h.pending.Set(street + QStringLiteral(", ") + number);
    ASSERT_TRUE(WaitUntil([&] { return h.pending.IsEmpty(); }));
    EXPECT_TRUE(shown()) << "from a request";
}

TEST(Pickers, DropButtonNameListAndBadInput) {
    SearchHarness h;
    ASSERT_TRUE(h.list);
    Activate(h);
    TOrgCriteria& c = *h.criteria;
    TFilterListBox& drop = *c.filterList;
    c.cbStreet->setFocus();
    c.cbStreet->showPopup();
    ASSERT_TRUE(drop.isVisible());
    EXPECT_EQ(drop.Count(), int(h.db.Streets.size())) << "every street, sorted";
    c.cbStreet->showPopup();
    EXPECT_FALSE(drop.isVisible()) << "the button closes its own list";
    const QString street = h.db.Streets[5].Name[0];
    c.cbStreet->setEditText(street);
    c.cbStreet->showPopup();
    EXPECT_EQ(drop.Count(), int(h.db.Streets.size()));
    EXPECT_EQ(drop.SelectedText(), street);
    // A press anywhere else closes it.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(c.btnMore->mapToGlobal(QPoint(2, 2))),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(c.btnMore, &press);
    EXPECT_FALSE(drop.isVisible());

    // Mixed scripts, a very long paste, slashes: an empty list and the text kept as typed.
    c.cbStreet->setFocus();
    c.cbStreet->setEditText(QString());
    for (const QString& bad : {QStringLiteral("12/1аZ"), QString(30000, u'Ж')}) {
        c.cbStreet->lineEdit()->setText(QString());
        c.cbStreet->lineEdit()->insert(bad);
        EXPECT_FALSE(drop.isVisible());
        EXPECT_EQ(c.cbStreet->currentText(), bad.left(c.cbStreet->lineEdit()->maxLength()));
    }
    c.cbStreet->lineEdit()->setText(QString());

    // Names: two characters list nothing, the third lists every name containing them.
    const QString name = h.db.Orgs[7].caption[0].left(3);
    c.edCaption->setFocus();
    Type(c.edCaption, name.left(2).toLower());
    EXPECT_FALSE(drop.isVisible());
    Type(c.edCaption, name.mid(2, 1).toLower());
    ASSERT_TRUE(drop.isVisible());
    EXPECT_EQ(drop.Owner(), c.edCaption);
    EXPECT_EQ(drop.Count(), int(OrgNameSource(*h.list->Index()).Filter(name.toUpper()).size()));
    Key(c.edCaption, Qt::Key_Escape);
    EXPECT_FALSE(drop.isVisible()) << "Escape first closes the list";
    EXPECT_EQ(c.edCaption->text(), name.toLower());
    Type(c.edCaption, QStringLiteral(" "));
    Key(c.edCaption, Qt::Key_Backspace);
    // Backspace is typing too: the list comes back; Enter takes its entry and searches.
    ASSERT_TRUE(drop.isVisible());
    Key(c.edCaption, Qt::Key_Down);
    const QString entry = drop.SelectedText();
    Key(c.edCaption, Qt::Key_Return);
    EXPECT_EQ(c.edCaption->text(), entry);
    EXPECT_FALSE(h.list->cards.crds.empty());
}

QTreeWidgetItem* FindItem(QTreeWidget* tv, const QString& text, int depth) {
    for (QTreeWidgetItemIterator it(tv); *it; ++it) {
        int d = 0;
        for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent())
            ++d;
        if ((*it)->text(0) == text && d == depth) return *it;
    }
    return nullptr;
}

void ClickItem(QTreeWidget* tv, QTreeWidgetItem* item) {
    const QPoint at = tv->visualItemRect(item).center();
    for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(t, QPointF(at), QPointF(tv->viewport()->mapToGlobal(at)), Qt::LeftButton,
                      t == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(tv->viewport(), &e);
    }
}

TEST(RubricatorWindow, FromTheButtonAChosenRubricIsSearchedAtOnce) {
    SearchHarness h;
    ASSERT_TRUE(h.list);
    TOrgCriteria& c = *h.criteria;
    const int pharmacies = FindRubric(h.db, QStringLiteral("Аптеки"));
    ASSERT_GE(pharmacies, 0);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        TfrmRubrikator* r = c.frmRubrikator;
        shown = r && r->isVisible();
        if (!shown) return;
        EXPECT_EQ(r->windowTitle(), LangText(u"Rubricator"));
        EXPECT_TRUE(r->chbHide->isChecked());
        for (int i = 0; i < r->tv->topLevelItemCount(); ++i)
            for (int j = 0; j < r->tv->topLevelItem(i)->childCount(); ++j)
                EXPECT_EQ(r->tv->topLevelItem(i)->child(j)->childCount(), 0) << "the short tree";
        r->edRubrika->setText(QStringLiteral("апт"));
        // Narrowed after the typing pauses: the groups with a pharmacy, opened.
        EXPECT_TRUE(WaitUntil(
            [&] { return FindItem(r->tv, QStringLiteral("Аптеки"), 1) && r->tv->topLevelItemCount() == 2; }));
        Shot(r, "rubricator");
        QTreeWidgetItem* item = FindItem(r->tv, QStringLiteral("Аптеки"), 1);
        EXPECT_TRUE(item && item->parent()->isExpanded());
        if (item) ClickItem(r->tv, item);
        if (r->isVisible()) r->reject();
    });
    c.btnRubrika->click();
    ASSERT_TRUE(shown);
    EXPECT_FALSE(c.frmRubrikator->isVisible()) << "closed after the choice";
    EXPECT_EQ(c.edRub->text(), QStringLiteral("Аптеки"));
    EXPECT_EQ(c.SelectedRubric(), pharmacies);
    OrgCriteria k;
    k.Rubric = pharmacies;
    const Tai found = h.list->Index()->FindOrgs(k, {}, h.now);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(CardOrgs(*h.list), std::vector<int>(found.begin(), found.end()))
        << "searched with no other criterion";
}

TEST(RubricatorWindow, ALetterOpensItAndEachChoiceReplacesTheLast) {
    SearchHarness h;
    ASSERT_TRUE(h.list);
    TOrgCriteria& c = *h.criteria;
    h.settings.HideRubrikator = false;
    const int restaurants = FindRubric(h.db, QStringLiteral("Рестораны"));
    const int cafes = FindRubric(h.db, QStringLiteral("Кафе"));
    ASSERT_GE(restaurants, 0);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        TfrmRubrikator* r = c.frmRubrikator;
        shown = r && r->isVisible();
        if (!shown) return;
        EXPECT_TRUE(WaitUntil([&] { return !r->tim->isActive(); }));
        EXPECT_EQ(r->edRubrika->text(), QStringLiteral("р"));
        EXPECT_EQ(r->edRubrika->cursorPosition(), 1);
        EXPECT_FALSE(r->edRubrika->hasSelectedText()) << "typing goes on after the letter";
        r->edRubrika->setText(QStringLiteral("рестор"));
        r->timRubrikaTimer();
        // The entry under "Кафе" names the restaurants: choosing it chooses them, not the cafés.
        QTreeWidgetItem* entry = FindItem(r->tv, QStringLiteral("Рестораны"), 2);
        EXPECT_TRUE(entry && entry->parent()->text(0) == QStringLiteral("Кафе"));
        if (entry) ClickItem(r->tv, entry);
        EXPECT_EQ(c.SelectedRubric(), restaurants);
        EXPECT_TRUE(r->isVisible()) << "stays open while the box is not ticked";
        ClickItem(r->tv, FindItem(r->tv, QStringLiteral("Питание"), 0));
        EXPECT_EQ(c.SelectedRubric(), restaurants) << "a group chooses nothing";
        ClickItem(r->tv, FindItem(r->tv, QStringLiteral("Кафе"), 1));
        r->reject();
    });
    Type(c.edRub, QStringLiteral("р"));
    ASSERT_TRUE(shown);
    EXPECT_EQ(c.SelectedRubric(), cafes);
    EXPECT_EQ(c.edRub->text(), QStringLiteral("Кафе"));
    EXPECT_TRUE(h.list->cards.crds.empty()) << "opened by a letter: no search";
    // Digits and "Ё" do not open it; Delete clears the rubric.
    Type(c.edRub, QStringLiteral("1Ё"));
    Key(c.edRub, Qt::Key_Delete);
    EXPECT_EQ(c.SelectedRubric(), -1);
}

TEST(ObjectTab, BuildingSearchByMaterialNotFoundAndClearing) {
    SearchHarness h;
    ASSERT_TRUE(h.list);
    TObjectPage& p = *h.ObjectPage();
    EXPECT_EQ(p.cbMaterial->count(), int(h.db.MaterialNames.size()) - 1);
    EXPECT_FALSE(p.btnFindObj->isEnabled());
    ASSERT_GT(p.cbType->count(), 0);
    for (const QString& typed : {QStringLiteral("нет такого назначения"), p.cbType->itemText(0).toUpper()}) {
        p.cbType->setEditText(typed);
        EXPECT_FALSE(p.btnFindObj->isEnabled()) << "a purpose typed by hand is no criterion";
    }
    p.cbType->setEditText(QString());

    p.cbMaterial->setCurrentIndex(0);
    ASSERT_TRUE(p.btnFindObj->isEnabled());
    p.btnFindObj->click();
    std::vector<int> bricks;
    for (std::size_t i = 0; i < h.db.Buildings.size(); ++i) {
        if (h.db.Buildings[i].material == bmKirpich) bricks.push_back(int(i));
        EXPECT_EQ(h.db.Buildings[i].IsFound, h.db.Buildings[i].material == bmKirpich) << i;
    }
    ASSERT_FALSE(bricks.empty());
    EXPECT_FALSE(h.calls.filter("fly").isEmpty());
    EXPECT_EQ(h.display.ShownObjects.ids, Tai(bricks.begin(), bricks.end()))
        << "a few hundred found buildings blink";
    Shot(h.window.get(), "object-tab");

    // Nothing found: the caption says so in red for a second, then comes back.
    p.btnClearObjClick();
    EXPECT_FALSE(p.btnFindObj->isEnabled());
    h.list->pnlCaption->setText(QStringLiteral(" Прежний заголовок"));
    p.edObjName->setText(QStringLiteral("щщщщ"));
    Key(p.edObjName, Qt::Key_Return);
    EXPECT_EQ(h.list->pnlCaption->text(), LangText(u"ObjNotFound"));
    EXPECT_EQ(h.list->pnlCaption->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_TRUE(
        WaitUntil([&] { return h.list->pnlCaption->text() == QStringLiteral(" Прежний заголовок"); }, 3000));
    EXPECT_EQ(h.list->pnlCaption->palette().color(QPalette::WindowText), QColor(Qt::black));
    Key(p.edObjName, Qt::Key_Escape);
    EXPECT_TRUE(p.edObjName->text().isEmpty());

    // Brick buildings exist, but none inside a radius far outside the city (its circle off screen): the
    // caption says that the radius limits the search. Without any brick building, it says only "not found".
    h.radius = RadiusCircle{true, {h.db.WorldMaxX + 10000, h.db.WorldMaxY + 10000}, 50};
    p.cbMaterial->setCurrentIndex(0);
    p.btnFindObjClick();
    EXPECT_EQ(h.list->pnlCaption->text(), LangText(u"ObjNotInRadius"));
    EXPECT_NE(LangText(u"ObjNotInRadius"), LangText(u"ObjNotFound"));
    p.btnClearObjClick();
    p.edObjName->setText(QStringLiteral("щщщщ"));
    p.btnFindObjClick();
    EXPECT_EQ(h.list->pnlCaption->text(), LangText(u"ObjNotFound"));
    h.radius = RadiusCircle{};
    p.btnClearObjClick();

    // The street picker of the tab, then street and number.
    Activate(h);
    const TBuilding* b = nullptr;
    for (const TBuilding& x : h.db.Buildings)
        if (!b && x.street >= 0 && !x.num[0].isEmpty()) b = &x;
    ASSERT_TRUE(b);
    const QString street = h.db.Streets[std::size_t(b->street)].Name[0];
    p.cbObjStreet->setFocus();
    Type(p.cbObjStreet, street.toUpper());
    ASSERT_TRUE(h.criteria->filterList->IsShownFor(p.cbObjStreet));
    DownTo(*h.criteria->filterList, p.cbObjStreet, street);
    Key(p.cbObjStreet, Qt::Key_Return);
    EXPECT_EQ(p.cbObjStreet->currentText(), street);
    EXPECT_TRUE(p.btnFindObj->isEnabled());
    p.edObjBuildNum->setText(b->num[0].toUpper());
    p.btnFindObjClick();
    for (std::size_t i = 0; i < h.db.Buildings.size(); ++i) {
        const TBuilding& x = h.db.Buildings[i];
        const bool there = x.street >= 0 && h.db.Streets[std::size_t(x.street)].Name[0] == street &&
                           x.num[0].toLower() == b->num[0].toLower();
        EXPECT_EQ(x.IsFound, there) << i;
    }
}

TEST(ObjectTab, AddressRequestsAreShownOneAtATime) {
    SearchHarness h;
    ASSERT_TRUE(h.list);
    h.ObjectPage();
    const TBuilding* b = nullptr;
    for (const TBuilding& x : h.db.Buildings)
        if (!b && x.street >= 0 && !x.num[0].isEmpty()) b = &x;
    ASSERT_TRUE(b);
    const int building = int(b - h.db.Buildings.data());
    const QString street = h.db.Streets[std::size_t(b->street)].Name[0];
    auto served = [&] { return WaitUntil([&] { return h.pending.IsEmpty(); }); };

    // Street and number (no blank after the comma): the building blinks.
    h.pending.Set(street.toUpper() + "," + b->num[0]);
    ASSERT_TRUE(served());
    EXPECT_FALSE(h.calls.filter("select").isEmpty());
    EXPECT_EQ(h.display.ShownObjects.tip, otBuild);
    const Tai& shown = h.display.ShownObjects.ids;
    EXPECT_NE(std::find(shown.begin(), shown.end(), building), shown.end());
    EXPECT_TRUE(h.calls.contains("blink"));

    // A street alone: fitted into the map and blinking.
    h.calls.clear();
    h.pending.Set(street);
    ASSERT_TRUE(served());
    EXPECT_TRUE(h.calls.contains(QStringLiteral("street %1").arg(b->street)));
    EXPECT_EQ(h.display.ShownObjects.ids, Tai({b->street}));

    // An unknown street changes nothing; two requests in a row: only the second is shown.
    h.calls.clear();
    h.pending.Set(QStringLiteral("Нет такой улицы, 5"));
    ASSERT_TRUE(served());
    EXPECT_TRUE(h.calls.filter("fly").isEmpty());
    const QString other = h.db.Streets[std::size_t((b->street + 1) % int(h.db.Streets.size()))].Name[0];
    h.pending.Set(street);
    h.pending.Set(other);
    ASSERT_TRUE(served());
    EXPECT_EQ(h.calls.filter("street").size(), 1);

    // Going back to the start window: the street is shown but does not blink.
    h.background = true;
    h.calls.clear();
    h.display.ShownObjects = Tbo{};
    h.pending.Set(street);
    ASSERT_TRUE(served());
    EXPECT_TRUE(h.calls.contains(QStringLiteral("street %1").arg(b->street)));
    EXPECT_TRUE(h.display.ShownObjects.ids.empty());
}

} // namespace
