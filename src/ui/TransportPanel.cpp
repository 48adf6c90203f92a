#include "TransportPanel.h"

#include "OrgSearch.h"
#include "SearchHost.h"
#include "Settings.h"
#include "TCardList.h"
#include "TFilterListBox.h"
#include "TOrgCriteria.h"
#include "TextTable.h"
#include "Transport.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

TransportPanel::TransportPanel(TCardList& list, SearchHost& host, QWidget* page, TFilterListBox* filterList)
    : QObject(page), list_(list), host_(host), filterList_(filterList) {
    setObjectName(QStringLiteral("TransportPanel"));
    cbBusWay = page->findChild<TComboEdit*>(QStringLiteral("cbBusWay"));
    cbBusStop1 = page->findChild<TComboEdit*>(QStringLiteral("cbBusStop1"));
    cbBusStop2 = page->findChild<TComboEdit*>(QStringLiteral("cbBusStop2"));
    btnSelBusStop1 = page->findChild<QToolButton*>(QStringLiteral("btnSelBusStop1"));
    btnSelBusStop2 = page->findChild<QToolButton*>(QStringLiteral("btnSelBusStop2"));
    btnFindWay = page->findChild<QPushButton*>(QStringLiteral("btnFindWay"));
    Q_ASSERT(cbBusWay && cbBusStop1 && cbBusStop2 && btnSelBusStop1 && btnSelBusStop2 && btnFindWay);

    for (TComboEdit* field : {cbBusWay, cbBusStop1, cbBusStop2}) {
        // A combo box hands its keys to its line edit directly, past any filter: watch both.
        field->installEventFilter(this);
        field->lineEdit()->installEventFilter(this);
        connect(field->lineEdit(), &QLineEdit::textEdited, this, [this, field] {
            Filter(field);
            if (field != cbBusWay) UpdateFindWayButton();
        });
    }
    connect(cbBusWay, &TComboEdit::buttonClicked, this, &TransportPanel::cbBusWayButtonClick);
    connect(cbBusStop1, &TComboEdit::buttonClicked, this, [this] { cbBusStopButtonClick(cbBusStop1); });
    connect(cbBusStop2, &TComboEdit::buttonClicked, this, [this] { cbBusStopButtonClick(cbBusStop2); });
    connect(btnSelBusStop1, &QToolButton::toggled, this,
            [this](bool down) { PickToggled(btnSelBusStop1, down); });
    connect(btnSelBusStop2, &QToolButton::toggled, this,
            [this](bool down) { PickToggled(btnSelBusStop2, down); });
    connect(btnFindWay, &QPushButton::clicked, this, &TransportPanel::btnFindWayClick);
    for (QWidget* w : {static_cast<QWidget*>(btnSelBusStop1), static_cast<QWidget*>(btnSelBusStop2),
                       static_cast<QWidget*>(btnFindWay)})
        w->setEnabled(true);
    if (filterList_)
        connect(filterList_, &TFilterListBox::entryClicked, this, [this](QWidget* field) {
            for (TComboEdit* f : {cbBusWay, cbBusStop1, cbBusStop2})
                if (f == field) Enter(f);
        });
    connect(&list_, &TCardList::searchDataChanged, this, &TransportPanel::SearchDataChanged);
    SearchDataChanged();
}

TransportPanel::~TransportPanel() = default;

void TransportPanel::SearchDataChanged() {
    index_.reset();
    numbers_.reset();
    stops_.reset();
    const CityDb* db = list_.Db();
    if (!db) return;
    const int lang = list_.AppSettings().DataLang;
    index_ = std::make_unique<TransportIndex>(*db, lang);
    numbers_ = std::make_shared<RouteNumberSource>(RouteNumbers(*db, lang));
    stops_ = std::make_shared<TextListSource>(StopNames(*db, lang), true);
}

std::shared_ptr<const TextListSource> TransportPanel::SourceOf(const TComboEdit* field) const {
    return field == cbBusWay ? numbers_ : stops_;
}

void TransportPanel::Filter(TComboEdit* field) {
    if (!filterList_ || !SourceOf(field)) return;
    filterList_->SetOwner(field);
    filterList_->Fill(SourceOf(field), TOrgCriteria::FieldValue(field), false);
}

void TransportPanel::cbBusWayButtonClick() {
    cbBusStopButtonClick(cbBusWay);
}

void TransportPanel::cbBusStopButtonClick(TComboEdit* field) {
    if (!filterList_ || !SourceOf(field)) return;
    host_.StopMapMotion();
    filterList_->DropButton(field, SourceOf(field), TOrgCriteria::FieldValue(field), false);
}

void TransportPanel::Enter(TComboEdit* field) {
    if (filterList_) {
        const QString entry = filterList_->EntryFor(field);
        if (!entry.isEmpty()) field->lineEdit()->setText(entry);
        filterList_->Text = SearchUpper(TOrgCriteria::FieldValue(field));
        filterList_->Hide();
    }
    if (field == cbBusWay) {
        QTimer::singleShot(1, this, &TransportPanel::RouteByNumber);
        return;
    }
    UpdateFindWayButton();
    const QString name = TOrgCriteria::FieldValue(field);
    QTimer::singleShot(1, this, [this, name] { ShowStopsOnMap(name); });
}

bool TransportPanel::FieldKey(TComboEdit* field, int key) {
    host_.HideHints();
    if (filterList_ && filterList_->IsShownFor(field) && filterList_->KeyUp(key)) return true;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Enter(field);
        return true;
    case Qt::Key_Escape:
        field->lineEdit()->clear();
        if (filterList_) filterList_->Hide();
        if (field != cbBusWay) UpdateFindWayButton();
        return true;
    default:
        return false;
    }
}

bool TransportPanel::eventFilter(QObject* watched, QEvent* event) {
    // The field of a watched line edit is its parent; the fields are only compared, never read, here.
    QObject* owner = qobject_cast<QLineEdit*>(watched) ? watched->parent() : watched;
    for (TComboEdit* field : {cbBusWay, cbBusStop1, cbBusStop2}) {
        if (owner != field) continue;
        if (event->type() == QEvent::FocusIn && filterList_) filterList_->SetOwner(field);
        if (event->type() == QEvent::KeyPress) return FieldKey(field, static_cast<QKeyEvent*>(event)->key());
        return false;
    }
    return false;
}

void TransportPanel::UpdateFindWayButton() {
    btnFindWay->setEnabled(!TOrgCriteria::FieldValue(cbBusStop1).isEmpty() &&
                           !TOrgCriteria::FieldValue(cbBusStop2).isEmpty());
}

void TransportPanel::PickToggled(QToolButton* button, bool down) {
    if (!down) return;
    // One of the two at most: a stop goes into one field.
    QToolButton* other = button == btnSelBusStop1 ? btnSelBusStop2 : btnSelBusStop1;
    other->setChecked(false);
    host_.HideHints();
    host_.CloseRuler();
}

void TransportPanel::ShowCards(const QString& caption, int count) {
    list_.pnlCaption->setText(caption);
    list_.pnlCaption->show();
    list_.txtCount->setText(QString::number(count));
    list_.UpdateScroll();
    list_.sbCards->setValue(0);
}

void TransportPanel::RouteByNumber() {
    const QString number = TOrgCriteria::FieldValue(cbBusWay);
    if (number.isEmpty() || !index_) return;
    list_.ClearResults();
    if (const int route = index_->FirstRoute(number); route >= 0) {
        CardEnv env = list_.Env();
        list_.cards.Add(QStringLiteral("BusWay"), route, -1, env);
        CardClick click;
        list_.cards.OnClick(10, 10, env, click);
        // The card opens with its stops.
        list_.cards.crds.front().OpenBlocks();
        list_.cards.Restack();
        ShowCards(QString(), 1);
    }
    if (host_.ResultPanelVisible()) host_.FocusDefocus();
    ShowRouteOnMap(number);
}

void TransportPanel::btnFindWayClick() {
    host_.StopMapMotion();
    const QString from = TOrgCriteria::FieldValue(cbBusStop1), to = TOrgCriteria::FieldValue(cbBusStop2);
    if (from.isEmpty() || to.isEmpty() || from == to || !index_) return;
    list_.ClearResults();
    list_.pnlCaption->setText(LangText(u"RouteNotFound"));
    list_.pnlCaption->show();
    const std::vector<int> routes = index_->FindJourneys(from, to);
    if (routes.empty()) {
        ListChangeJourneys(from, to);
        return;
    }
    CardEnv env = list_.Env();
    for (int r : routes)
        list_.cards.Add(QStringLiteral("BusWay"), r, -1, env);
    if (routes.size() == 1) {
        CardClick click;
        list_.cards.OnClick(10, 10, env, click);
    }
    ShowCards(LangText(u"FoundRoutes"), int(routes.size()));
}

void TransportPanel::ListChangeJourneys(const QString& from, const QString& to) {
    const std::vector<ChangeJourney> journeys = index_->FindChangeJourneys(from, to);
    if (journeys.empty()) {
        list_.imgCards->update();
        return;
    }
    const CityDb& db = index_->Db();
    const int lang = index_->DataLang();
    CardEnv env = list_.Env();
    // Each journey: a heading naming both routes and the change stop, then the two routes' cards with
    // the stop of the change in bold.
    for (const ChangeJourney& j : journeys) {
        const QString caption =
            QStringLiteral("%1 → %2, %3 \"%4\"")
                .arg(InLang(db.BusWays[std::size_t(j.first)].num, lang),
                     InLang(db.BusWays[std::size_t(j.second)].num, lang), LangText(u"ChangeAt"),
                     InLang(db.BusStops[std::size_t(j.leave)].caption, lang));
        TCard heading = TCard::Heading(caption, int(list_.cards.crds.size()), env);
        heading.top = list_.cards.height;
        list_.cards.height += heading.height;
        list_.cards.crds.push_back(std::move(heading));
        list_.cards.Add(QStringLiteral("BusWay"), j.first, db.BusStops[std::size_t(j.leave)].id_, env);
        list_.cards.Add(QStringLiteral("BusWay"), j.second, db.BusStops[std::size_t(j.board)].id_, env);
    }
    if (journeys.size() == 1) {
        // The one journey whole: both routes with their stop lists open, the change stop in bold.
        for (std::size_t k = 1; k < list_.cards.crds.size(); ++k) {
            TCard& leg = list_.cards.crds[k];
            leg.Expand(env);
            leg.OpenBlocks();
        }
        list_.cards.Restack();
    }
    ShowCards(LangText(u"ChangeRoutes"), int(journeys.size()));
}

void TransportPanel::StopClicked(int stop) {
    CityDb* db = list_.Db();
    if (!db || !index_ || stop < 0 || std::size_t(stop) >= db->BusStops.size()) return;
    const TBusStop& s = db->BusStops[std::size_t(stop)];
    const QString caption = InLang(s.caption, index_->DataLang());
    list_.pnlCaption->setText(u' ' + LangText(s.tip == bstRail ? u"Station" : u"Stop") +
                              QStringLiteral(": ") + caption);
    list_.pnlCaption->show();
    const std::vector<int> routes = index_->RoutesThroughStop(stop);
    CardEnv env = list_.Env();
    for (int r : routes)
        list_.cards.Add(QStringLiteral("BusWay"), r, s.id_, env);
    if (!routes.empty()) {
        CardClick click;
        list_.cards.OnClick(10, 10, env, click);
    }
    ShowCards(list_.pnlCaption->text(), int(routes.size()));

    for (auto [button, field] :
         {std::pair{btnSelBusStop1, cbBusStop1}, std::pair{btnSelBusStop2, cbBusStop2}}) {
        if (!button->isChecked()) continue;
        // A change of the program's: no filtering, and the text black as any value.
        field->lineEdit()->setText(caption);
        QPalette pal = field->lineEdit()->palette();
        pal.setColor(QPalette::Text, Qt::black);
        field->lineEdit()->setPalette(pal);
        button->setChecked(false);
        UpdateFindWayButton();
    }
}

void TransportPanel::Show(const TransportShow& show) {
    if (show.target.scale > 0)
        host_.FlyTo(show.target.x, show.target.y, show.target.scale);
    else
        host_.RedrawMap(true);
    if (host_.InBackground() || show.stops.empty()) return;
    list_.Display().ShownObjects = {otBusStop, show.stops};
    host_.AllowMapMotion();
    host_.StartBlink();
}

void TransportPanel::ShowRouteOnMap(const QString& number) {
    CityDb* db = list_.Db();
    if (!db || !index_) return;
    host_.StopBlink();
    const QSize map = host_.MapSize();
    Show(::ShowRouteOnMap(*db, *index_, number, map.width(), map.height(), host_.FullScale()));
}

void TransportPanel::ShowStopOnMap(int stopId) {
    CityDb* db = list_.Db();
    if (!db || !index_) return;
    host_.StopBlink();
    Show(::ShowStopOnMap(*db, *index_, stopId));
}

void TransportPanel::ShowStopsOnMap(const QString& name) {
    CityDb* db = list_.Db();
    if (!db || !index_ || name.isEmpty()) return;
    host_.StopBlink();
    const TransportShow show =
        ::ShowStopsOnMap(*db, *index_, name, host_.MapSize().width(), host_.MapSize().height(), host_.FullScale());
    if (!show.stops.empty() && host_.ResultPanelVisible()) host_.FocusDefocus();
    Show(show);
}
