// The transport tab in the real main window on a city with a small bus network: stops typed and taken
// from the drop-down, the journey search (direct, with a change, none, one stop at both ends), a route
// by number, and stops picked on the map.
#include "MapTools.h"
#include "ProgramHarness.h"
#include "TfrmMeas.h"
#include "TFilterListBox.h"
#include "TextTable.h"
#include "TransportPanel.h"

namespace {

// At the crossings of the street y = 0 (clear of the buildings drawn obliquely): Вокзал twice, Рынок, Школа,
// Парк and the railway station Озеро; up the street x = -160 from Рынок: Мост and Завод. Line 1 runs along
// the first street both ways, line 2 up the second both ways, the tram 8 from Озеро to Парк only.
void BusNetwork(CityDb& db) {
    db.BusStops.clear();
    db.BusWays.clear();
    auto stop = [&](int id, float x, float y, const char* name, TBusStopType tip = bstAuto) {
        TBusStop s;
        s.id_ = id;
        s.x = x;
        s.y = y;
        s.tip = tip;
        s.caption = {QString::fromUtf8(name), QString::fromUtf8(name)};
        db.BusStops.push_back(s);
    };
    stop(1, -480, 0, "Вокзал");
    stop(2, -320, 0, "Вокзал");
    stop(3, -160, 0, "Рынок");
    stop(4, 0, 0, "Школа");
    stop(5, 160, 0, "Парк");
    stop(6, -160, 160, "Мост");
    stop(7, -160, 320, "Завод");
    stop(9, 320, 0, "Озеро", bstRail);
    auto route = [&](const char* num, std::initializer_list<int> ids, TTranspType tip = ttBus) {
        TBusWay w;
        w.num = {QString::fromUtf8(num), QString::fromUtf8(num)};
        w.tip = tip;
        for (int id : ids)
            w.way.push_back({1, 0, 0, std::uint16_t(id)});
        db.BusWays.push_back(w);
    };
    route("1", {1, 3, 4, 5});
    route("1", {5, 4, 3, 2});
    route("2", {3, 6, 7});
    route("2", {7, 6, 3});
    route("8", {9, 5}, ttTramway);
}

// The main window's fixture on a city of its own.
struct TransportTab : MainWindow {
    TransportPanel* tab = nullptr;

    void SetUp() override {
        Program::SetUp();
        WriteCity(CityFolder(), QStringLiteral("Demograd"), QStringLiteral("Demograd"), BusNetwork);
        Open();
        frm = Next();
        ASSERT_NE(frm, nullptr);
        tab = frm->transport;
        ASSERT_NE(tab, nullptr);
        frm->pc->setCurrentWidget(frm->pgTransport);
        QApplication::processEvents();
    }

    TFilterListBox* FilterList() const { return frm->criteria->filterList; }
    QString Caption() const { return frm->list->pnlCaption->text(); }
    QString Count() const { return frm->list->txtCount->text(); }
    const std::vector<TCard>& Cards() const { return frm->list->cards.crds; }

    // Focus, then the keys of `text` one by one, as typing gives them.
    void Type(TComboEdit* field, const QString& text) {
        field->setFocus();
        WaitUntil([&] { return field->lineEdit()->hasFocus(); }, 2000);
        if (field->currentText() == field->toolTip()) field->lineEdit()->clear();
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(field->lineEdit(), &press);
        }
    }
    void Press(TComboEdit* field, int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(field->lineEdit(), &press);
    }
    // Typed, then Enter on the drop-down's selected entry.
    void Choose(TComboEdit* field, const QString& typed) {
        field->lineEdit()->clear();
        Type(field, typed);
        Press(field, Qt::Key_Return);
        // The deferred showing of the stops (or the route) runs, the focus moving on with it.
        WaitUntil([] { return false; }, 100);
    }
    void ClickStop(int stop) {
        const TBusStop& s = app->db->BusStops[std::size_t(stop)];
        int px, py;
        frm->view.WorldToScreen(s.x, s.y, px, py);
        Click(frm->img, QPoint(px, py) - QPoint(4, 4)); // released on the stop
        QApplication::processEvents();
    }
};

TEST_F(TransportTab, TypedStopsFindDirectRoutesOrJourneysWithAChange) {
    CityDb& db = *app->db;
    // Typing filters the stop names; Enter takes the selected one and shows those stops on the map.
    tab->cbBusStop1->lineEdit()->clear();
    Type(tab->cbBusStop1, QStringLiteral("кза"));
    ASSERT_TRUE(FilterList()->IsShownFor(tab->cbBusStop1));
    EXPECT_EQ(FilterList()->Count(), 1);
    EXPECT_EQ(FilterList()->SelectedText(), QStringLiteral("Вокзал"));
    Press(tab->cbBusStop1, Qt::Key_Return);
    EXPECT_EQ(tab->cbBusStop1->currentText(), QStringLiteral("Вокзал"));
    EXPECT_FALSE(FilterList()->isVisible());
    EXPECT_FALSE(tab->btnFindWay->isEnabled()) << "the other field is still empty";
    ASSERT_TRUE(WaitUntil([&] { return db.BusStops[0].IsFound && db.BusStops[1].IsFound; }, 3000));
    EXPECT_EQ(frm->display.ShownObjects.tip, otBusStop);
    EXPECT_EQ(frm->display.ShownObjects.ids, (Tai{0, 1}));

    // Nothing runs from Вокзал to Завод directly: line 1 to Рынок, then line 2.
    Choose(tab->cbBusStop2, QStringLiteral("Завод"));
    ASSERT_TRUE(tab->btnFindWay->isEnabled());
    tab->btnFindWay->click();
    EXPECT_EQ(Caption(), LangText(u"ChangeRoutes"));
    EXPECT_EQ(Count(), QStringLiteral("1"));
    ASSERT_EQ(Cards().size(), 3u);
    EXPECT_EQ(Cards()[0].blocks[0].txt[0].caption, QStringLiteral("1 → 2"));
    EXPECT_TRUE(Cards()[0].blocks[0].txt.back().caption.contains(QStringLiteral("\"Рынок\"")));
    EXPECT_EQ(Cards()[1].route, 0);
    EXPECT_EQ(Cards()[2].route, 2);
    for (std::size_t k : {1u, 2u}) {
        const TBlock& stops = Cards()[k].blocks[2];
        EXPECT_FALSE(Cards()[k].Collapsed) << "a single journey is shown whole";
        EXPECT_EQ(stops.height, stops.MaxHeight);
        const auto change =
            std::find_if(stops.txt.begin(), stops.txt.end(), [](const Ttxt& t) { return t.bold; });
        ASSERT_NE(change, stops.txt.end());
        EXPECT_EQ(change->caption, QStringLiteral("- \"Рынок\""));
    }
    Screenshot(frm, "transport-change");

    // A direct route wins: Вокзал to Парк is line 1 only, its card expanded.
    Choose(tab->cbBusStop2, QStringLiteral("Пар"));
    EXPECT_EQ(tab->cbBusStop2->currentText(), QStringLiteral("Парк"));
    tab->btnFindWay->click();
    EXPECT_EQ(Caption(), LangText(u"FoundRoutes"));
    EXPECT_EQ(Count(), QStringLiteral("1"));
    ASSERT_EQ(Cards().size(), 1u);
    EXPECT_EQ(Cards()[0].route, 0);
    EXPECT_FALSE(Cards()[0].Collapsed);

    // The same stop at both ends: the button does nothing.
    Choose(tab->cbBusStop2, QStringLiteral("Вокзал"));
    tab->btnFindWay->click();
    EXPECT_EQ(Caption(), LangText(u"FoundRoutes"));
    EXPECT_EQ(Cards().size(), 1u);

    // From Парк nothing reaches Озеро, not even with a change.
    Choose(tab->cbBusStop1, QStringLiteral("Парк"));
    Choose(tab->cbBusStop2, QStringLiteral("Озеро"));
    tab->btnFindWay->click();
    EXPECT_EQ(Caption(), LangText(u"RouteNotFound"));
    EXPECT_EQ(Count(), QStringLiteral("0"));
    EXPECT_TRUE(Cards().empty());

    // Escape empties a field and the button follows.
    tab->cbBusStop2->setFocus();
    Press(tab->cbBusStop2, Qt::Key_Escape);
    EXPECT_TRUE(tab->cbBusStop2->currentText().isEmpty());
    EXPECT_FALSE(tab->btnFindWay->isEnabled());
}

TEST_F(TransportTab, RouteNumberShowsItsCardAndTheRouteOnTheMap) {
    CityDb& db = *app->db;
    tab->cbBusWay->lineEdit()->clear();
    tab->cbBusWay->setFocus();
    tab->cbBusWayButtonClick();
    ASSERT_TRUE(FilterList()->IsShownFor(tab->cbBusWay));
    EXPECT_EQ(FilterList()->Count(), 3); // 1, 2 and 8, each once
    // A part of a number finds nothing; the whole number its route and the other direction's stops.
    const float scale = frm->view.Scale;
    FilterList()->Hide();
    tab->cbBusWay->lineEdit()->setText(QStringLiteral("Х"));
    Press(tab->cbBusWay, Qt::Key_Return);
    QApplication::processEvents();
    ASSERT_TRUE(WaitUntil([&] { return Count() == QStringLiteral("0"); }, 3000));
    Choose(tab->cbBusWay, QStringLiteral("2"));
    ASSERT_TRUE(WaitUntil([&] { return db.BusWays[2].IsFound; }, 3000));
    EXPECT_TRUE(db.BusWays[3].IsFound);
    EXPECT_FALSE(db.BusWays[0].IsFound);
    EXPECT_TRUE(db.BusStops[5].IsFound && db.BusStops[6].IsFound);
    EXPECT_EQ(Count(), QStringLiteral("1"));
    ASSERT_EQ(Cards().size(), 1u);
    EXPECT_FALSE(Cards()[0].Collapsed);
    EXPECT_NE(frm->view.Scale, scale);
    Screenshot(frm, "transport-route");

    // The card opens with its stop list (its picture folds it); a stop link shows that stop.
    auto at = [&](int top, int left) {
        const int y = Cards()[0].top + Cards()[0].blocks[2].top + top;
        Mouse(frm->list->imgCards, QEvent::MouseButtonRelease, QPoint(left, y - frm->list->sbCards->value()));
    };
    const TCard& card = Cards()[0];
    const TBlock& stops = card.blocks[2];
    ASSERT_EQ(stops.height, stops.MaxHeight);
    EXPECT_EQ(card.height, stops.top + stops.height);
    EXPECT_EQ(frm->list->cards.height, card.height);
    const auto fold = std::find_if(stops.pic.begin(), stops.pic.end(),
                                   [](const Tpic& p) { return p.link == TLink::expand_block; });
    ASSERT_NE(fold, stops.pic.end());
    const auto link =
        std::find_if(stops.txt.begin(), stops.txt.end(), [](const Ttxt& t) { return t.link == TLink::stop; });
    ASSERT_NE(link, stops.txt.end());
    // Hovering the stop's text highlights the stop on the map; leaving it lets the stop go.
    const int y = card.top + stops.top + link->top + link->height / 2 - frm->list->sbCards->value();
    Mouse(frm->list->imgCards, QEvent::MouseMove, QPoint(link->left + 5, y));
    EXPECT_TRUE(IsSelected(db.BusStops[2], app->colors.active()));
    Mouse(frm->list->imgCards, QEvent::MouseMove, QPoint(link->left + 5, y + 200));
    EXPECT_FALSE(IsSelected(db.BusStops[2], app->colors.active()));
    at(link->top + link->height / 2, link->left + 5);
    EXPECT_TRUE(db.BusStops[2].IsFound) << "Рынок, the first stop of the list";
    EXPECT_FALSE(db.BusWays[2].IsFound);
    EXPECT_FLOAT_EQ(frm->view.Scale, 0.7f);
}

TEST_F(TransportTab, StopsPickedOnTheMapListTheirRoutesAndFillTheFields) {
    // Flat buildings leave the crossings free, so the clicks meet the stops.
    app->settings.flat = true;
    tab->cbBusStop1->lineEdit()->clear();
    Type(tab->cbBusStop1, QStringLiteral("Школа"));
    frm->edDefocus->setFocus();
    QApplication::processEvents();

    // A pick button closes the ruler window; pressing one pick button releases the other.
    frm->btnMeas->click();
    ASSERT_TRUE(frm->tools->frmMeas->isVisible());
    tab->btnSelBusStop2->click();
    EXPECT_FALSE(frm->tools->frmMeas->isVisible());
    EXPECT_FALSE(frm->btnMeas->isChecked());
    tab->btnSelBusStop1->click();
    EXPECT_TRUE(tab->btnSelBusStop1->isChecked());
    EXPECT_FALSE(tab->btnSelBusStop2->isChecked());
    ClickStop(2); // Рынок
    EXPECT_EQ(frm->hit.HitKind, otBusStop);
    EXPECT_EQ(Caption(), u' ' + LangText(u"Stop") + QStringLiteral(": Рынок"));
    EXPECT_EQ(Count(), QStringLiteral("2"));
    ASSERT_EQ(Cards().size(), 2u);
    EXPECT_EQ(Cards()[0].route, 0);
    EXPECT_EQ(Cards()[1].route, 2);
    EXPECT_EQ(tab->cbBusStop1->currentText(), QStringLiteral("Рынок"));
    EXPECT_FALSE(tab->btnSelBusStop1->isChecked());
    EXPECT_FALSE(FilterList()->isVisible()) << "a picked stop filters nothing";
    EXPECT_FALSE(tab->btnFindWay->isEnabled());

    tab->btnSelBusStop2->click();
    ClickStop(7); // Озеро, a railway station
    EXPECT_EQ(Caption(), u' ' + LangText(u"Station") + QStringLiteral(": Озеро"));
    EXPECT_EQ(tab->cbBusStop2->currentText(), QStringLiteral("Озеро"));
    EXPECT_TRUE(tab->btnFindWay->isEnabled());
    Screenshot(frm, "transport-stop");

    // Without a pick button down a click lists the routes and leaves the fields alone.
    ClickStop(4); // Парк
    EXPECT_EQ(Count(), QStringLiteral("2"));
    EXPECT_EQ(tab->cbBusStop1->currentText(), QStringLiteral("Рынок"));
    EXPECT_EQ(tab->cbBusStop2->currentText(), QStringLiteral("Озеро"));
}

} // namespace
