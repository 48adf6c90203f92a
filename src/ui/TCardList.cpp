#include "TCardList.h"

#include "BusyWork.h"

#include "CardPainter.h"
#include "CityFile.h"
#include "MainWindowLabels.h"
#include "OrgPages.h"
#include "PickerIndex.h"
#include "Relabel.h"
#include "Settings.h"
#include "ShellOpen.h"
#include "TextTable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

void TCaptionPanel::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(rect().adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter, text_);
}

TCardsImage::TCardsImage(TCardList& list, QWidget* parent) : QWidget(parent), list_(list) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TCardsImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    list_.PaintCards(p);
}

void TCardsImage::mouseMoveEvent(QMouseEvent* e) {
    list_.imgCardsMouseMove(e->position().toPoint().x(), e->position().toPoint().y());
}

void TCardsImage::mouseReleaseEvent(QMouseEvent* e) {
    list_.imgCardsMouseUp(e->button(), e->position().toPoint().x(), e->position().toPoint().y(),
                          e->globalPosition().toPoint());
}

void TCardsImage::leaveEvent(QEvent*) {
    list_.imgCardsMouseLeave();
}

void TCardsImage::resizeEvent(QResizeEvent*) {
    list_.UpdateScroll();
}

void TCardsImage::wheelEvent(QWheelEvent* e) {
    const int steps = e->angleDelta().y() / 120;
    list_.sbCards->setValue(list_.sbCards->value() - steps * 3 * list_.sbCards->singleStep());
}

namespace {
QToolButton* ToolButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(parent->style()->standardIcon(icon));
    b->setAutoRaise(true);
    return b;
}
} // namespace

TCardList::TCardList(Settings& settings, MapDisplay& display, SearchHost& host, QWidget* parent)
    : QWidget(parent), settings_(settings), display_(display), host_(host),
      measure_(std::make_unique<FontMeasure>(CardFont())) {
    setObjectName(QStringLiteral("pnlList"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    pnlCaption = new TCaptionPanel(this);
    pnlCaption->setObjectName(QStringLiteral("pnlCaption"));
    pnlCaption->setFixedHeight(22);
    pnlCaption->setFrameShape(QFrame::StyledPanel);
    QFont bold = font();
    bold.setBold(true);
    pnlCaption->setFont(bold);
    layout->addWidget(pnlCaption);

    pnlCards = new QWidget(this);
    pnlCards->setObjectName(QStringLiteral("pnlCards"));
    auto* cardsLayout = new QHBoxLayout(pnlCards);
    cardsLayout->setContentsMargins(0, 0, 0, 0);
    cardsLayout->setSpacing(0);
    imgCards = new TCardsImage(*this, pnlCards);
    imgCards->setObjectName(QStringLiteral("imgCards"));
    sbCards = new QScrollBar(Qt::Vertical, pnlCards);
    sbCards->setObjectName(QStringLiteral("sbCards"));
    sbCards->setSingleStep(21);
    sbCards->setPageStep(100);
    sbCards->setRange(0, 0);
    cardsLayout->addWidget(imgCards, 1);
    cardsLayout->addWidget(sbCards);
    layout->addWidget(pnlCards, 1);

    pnlMiniTools = new TCaptionPanel(this);
    pnlMiniTools->setObjectName(QStringLiteral("pnlMiniTools"));
    pnlMiniTools->setFrameShape(QFrame::StyledPanel);
    pnlMiniTools->setFixedHeight(28);
    auto* tools = new QHBoxLayout(pnlMiniTools);
    tools->setContentsMargins(70, 1, 4, 1);
    tools->setSpacing(2);
    txtCount = new QLabel(QStringLiteral("0"), pnlMiniTools);
    txtCount->setObjectName(QStringLiteral("txtCount"));
    txtCount->setFont(bold);
    tools->addWidget(txtCount);
    tools->addStretch(1);
    btnExpand = ToolButton(pnlMiniTools, "btnExpand", QStyle::SP_ArrowDown);
    btnCollapse = ToolButton(pnlMiniTools, "btnCollapse", QStyle::SP_ArrowUp);
    btnMapMark = ToolButton(pnlMiniTools, "btnMapMark", QStyle::SP_DialogApplyButton);
    btnBack = ToolButton(pnlMiniTools, "btnBack", QStyle::SP_ArrowBack);
    btnForward = ToolButton(pnlMiniTools, "btnForward", QStyle::SP_ArrowForward);
    for (QToolButton* b : {btnExpand, btnCollapse, btnMapMark, btnBack, btnForward})
        tools->addWidget(b);
    btnBack->setEnabled(false);
    btnForward->setEnabled(false);
    layout->addWidget(pnlMiniTools);

    connect(sbCards, &QScrollBar::valueChanged, imgCards, qOverload<>(&QWidget::update));
    connect(btnExpand, &QToolButton::clicked, this, &TCardList::btnExpandClick);
    connect(btnCollapse, &QToolButton::clicked, this, &TCardList::btnCollapseClick);
    connect(btnMapMark, &QToolButton::clicked, this, &TCardList::btnMapMarkClick);
    connect(btnBack, &QToolButton::clicked, this, &TCardList::btnBackClick);
    connect(btnForward, &QToolButton::clicked, this, &TCardList::btnForwardClick);

    openOrgPage = [this](int org) {
        if (!db_ || !city_) return;
        PageOpening opening{{}, expandAllRunning_};
        ::OpenOrgPage(*db_, *city_, org, opening);
    };
    Relabel(CurrentShellLang());
}

TCardList::~TCardList() = default;

void TCardList::Relabel(int shellLang) {
    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(pnlCaption), pnlCards,
                       static_cast<QWidget*>(pnlMiniTools)})
        RelabelWindow(w, MainWindowLabels(), shellLang);
}

void TCardList::PlacePanelsIn(QWidget* resultPanel) {
    for (QWidget* w : {static_cast<QWidget*>(pnlCaption), pnlCards, static_cast<QWidget*>(pnlMiniTools)}) {
        w->setParent(resultPanel);
        w->show();
    }
    hide();
}

void TCardList::SetCity(CityDb* db, const CityFileRef* city) {
    cards.Clear();
    display_.Marks.Clear();
    history.Clear();
    db_ = db;
    city_ = city;
    index_.reset();
    pickers_.reset();
    pictures_.reset();
    if (db_) {
        index_ = std::make_unique<OrgSearchIndex>(*db_, settings_.DataLang);
        pickers_ = std::make_unique<PickerIndex>(*db_, settings_.DataLang);
        pictures_ = std::make_unique<CardPictures>(*db_, city_);
    }
    ClearResults();
    btnBack->setEnabled(false);
    btnForward->setEnabled(false);
    emit searchDataChanged();
}

void TCardList::DataLangChanged() {
    // Nothing shown may refer to the old order while the new indexes are built.
    ClearResults();
    history.Clear();
    if (db_) {
        std::unique_ptr<OrgSearchIndex> index;
        std::unique_ptr<PickerIndex> pickers;
        const int lang = settings_.DataLang;
        const CityDb& db = *db_;
        // Seconds on a metropolis: the window keeps painting meanwhile.
        RunBusy(window(), [&] {
            index = std::make_unique<OrgSearchIndex>(db, lang);
            pickers = std::make_unique<PickerIndex>(db, lang);
        });
        pickers_.reset(); // it may refer to the search index
        index_ = std::move(index);
        pickers_ = std::move(pickers);
    }
    btnBack->setEnabled(false);
    btnForward->setEnabled(false);
    emit searchDataChanged();
}

CardEnv TCardList::Env() {
    CardEnv env(*db_, *index_, *measure_);
    env.W = imgCards->width();
    env.dataLang = settings_.DataLang;
    env.shellLang = CurrentShellLang();
    env.marks = &display_.Marks;
    env.radius = host_.Radius();
    env.mode = CardMarkMode;
    env.ExpandAllRunning = expandAllRunning_;
    env.loadBanner = [this](TImg& img, int& w, int& h) { return pictures_->Banner(img, w, h); };
    return env;
}

void TCardList::SetCount(int n) {
    txtCount->setText(QString::number(n));
}

void TCardList::UpdateScroll() {
    const int max = std::max(0, cards.height - imgCards->height());
    sbCards->setRange(0, max);
    imgCards->update();
}

void TCardList::PaintCards(QPainter& p) {
    if (!pictures_) {
        p.fillRect(imgCards->rect(), QColor(227, 238, 251));
        return;
    }
    DrawCards(p, cards, imgCards->width(), imgCards->height(), sbCards->value(), *measure_, *pictures_);
}

void TCardList::ClearResults() {
    cards.Clear();
    display_.Marks.Clear();
    pnlCaption->setText(QString());
    SetCount(0);
    sbCards->setRange(0, 0);
    sbCards->setValue(0);
    imgCards->update();
}

void TCardList::ShowOrgCards(const QString& caption, const Tai& list, int BuildID) {
    if (!db_) return;
    display_.Marks.Clear();
    const bool first = caption == QLatin1String("first");
    CardEnv env = Env();
    const std::size_t before = cards.crds.size();
    for (int pos : list)
        cards.Add(first ? QStringLiteral("first") : QStringLiteral("org"), pos, BuildID, env);
    if (cards.crds.size() - before == 1 && !first) {
        CardClick click;
        cards.OnClick(10, 10, env, click);
        Dispatch(click);
    }
    pnlCaption->setText(first ? QString() : caption);
    pnlCaption->show();
    SetCount(int(list.size()));
    pnlMiniTools->show();
    sbCards->setRange(0, std::max(0, cards.height - imgCards->height()));
    sbCards->setValue(0);
    imgCards->update();
    host_.RedrawMap(false);
}

void TCardList::ShowRubric(int rubric) {
    if (!db_ || !index_) return;
    ClearResults();
    pnlCaption->setText(QStringLiteral("Найдено: 0"));
    pnlCaption->show();
    for (QToolButton* b : {btnBack, btnForward, btnMapMark})
        b->hide();
    // The count runs visibly; the window is given time a few dozen times a second, not per entry.
    QElapsedTimer shown;
    shown.start();
    const Tai list = OrgsOfRubric(*index_, rubric, host_.Radius(), [&](int count) {
        if (shown.elapsed() < 30) return;
        shown.restart();
        pnlCaption->setText(QStringLiteral("Найдено: %1").arg(count));
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    pnlCaption->setText(QStringLiteral("Найдено: %1").arg(list.size()));
    for (QToolButton* b : {btnBack, btnForward, btnMapMark})
        b->show();
    ShowOrgCards(rubric >= 0 && rubric < db_->RubricNames.size() ? db_->RubricNames[rubric] : QString(), list,
                 -1);
    AppendHistory(hotOrg, list);
}

void TCardList::ShowEmptyList(const QString& caption, const QString& why) {
    if (!db_) return;
    ClearResults();
    CardEnv env = Env();
    TCard note = TCard::Heading(why, 1, env);
    cards.height = note.height;
    cards.crds.push_back(std::move(note));
    pnlCaption->setText(caption);
    pnlCaption->show();
    SetCount(0);
    UpdateScroll();
}

void TCardList::ShowStartList() {
    if (!db_) return;
    const Tai list = StartList(*db_, [](int n) { return int(QRandomGenerator::global()->bounded(n)); });
    history.History = {THistory{hotOrg, list}};
    history.HistoryIndex = 0;
    btnBack->setEnabled(false);
    btnForward->setEnabled(false);
    if (!list.empty()) ShowOrgCards(QStringLiteral("first"), list, -1);
}

void TCardList::OrgsInBuilding(int building) {
    if (!db_ || building < 0 || std::size_t(building) >= db_->Buildings.size()) return;
    const Tai list = ::OrgsInBuilding(*db_, building);
    ShowOrgCards(LangText(u"OrgInBuild"), list, db_->Buildings[std::size_t(building)].id);
    if (!list.empty()) {
        AppendHistory(hotOrg, list);
    } else {
        // Past the last entry: Back shows that entry, and nothing lies ahead.
        history.HistoryIndex = int(history.History.size());
        btnBack->setEnabled(!history.History.empty());
        btnForward->setEnabled(false);
    }
}

void TCardList::BuildingClicked(int building) {
    CardMarkMode = TCardMarkMode::building;
    ClearResults();
    OrgsInBuilding(building);
}

void TCardList::AppendHistory(THistoryObjType kind, const Tai& list) {
    history.AppendHistory(kind, list);
    btnBack->setEnabled(true);
    btnForward->setEnabled(false);
}

void TCardList::btnBackClick() {
    if (history.History.empty()) return;
    CardMarkMode = TCardMarkMode::search;
    host_.HideFilterList();
    history.HistoryIndex = std::clamp(history.HistoryIndex - 1, 0, int(history.History.size()) - 1);
    btnBack->setEnabled(history.HistoryIndex > 0);
    ClearResults();
    const THistory& h = history.History[std::size_t(history.HistoryIndex)];
    if (h.tip == hotOrg)
        ShowOrgCards(history.HistoryIndex == 0 ? QStringLiteral("first") : QString(), h.objects, -1);
    btnForward->setEnabled(history.HistoryIndex < int(history.History.size()) - 1);
}

void TCardList::btnForwardClick() {
    if (history.HistoryIndex + 1 >= int(history.History.size())) return;
    CardMarkMode = TCardMarkMode::search;
    host_.HideFilterList();
    ++history.HistoryIndex;
    btnForward->setEnabled(history.HistoryIndex < int(history.History.size()) - 1);
    btnBack->setEnabled(true);
    ClearResults();
    const THistory& h = history.History[std::size_t(history.HistoryIndex)];
    if (h.tip == hotOrg) ShowOrgCards(QString(), h.objects, -1);
}

void TCardList::btnExpandClick() {
    host_.HideFilterList();
    if (cards.crds.empty() || !db_) return;
    expandAllRunning_ = true;
    CardEnv env = Env();
    cards.ExpandAll(env);
    expandAllRunning_ = false;
    UpdateScroll();
    host_.RedrawMap(false);
}

void TCardList::btnCollapseClick() {
    host_.HideFilterList();
    if (cards.crds.empty() || !db_) return;
    CardEnv env = Env();
    cards.CollapseAll(env);
    UpdateScroll();
    host_.RedrawMap(false);
}

void TCardList::btnMapMarkClick() {
    host_.HideFilterList();
    settings_.marks = !settings_.marks;
    host_.RedrawMap(false);
    host_.SaveSettings();
}

void TCardList::ShowAddressOnMap(const QString& street, const QString& number, int id) {
    if (!db_) return;
    ShowAddressOnMap(index_->FindStreet(street), number, id);
}

void TCardList::ShowAddressOnMap(int street, const QString& number, int id) {
    if (!db_) return;
    const std::vector<int> buildings = AddressBuildings(*index_, street, number, id);
    display_.ShownObjects.tip = otBuild;
    display_.ShownObjects.ids.assign(buildings.begin(), buildings.end());
    MapTarget t;
    const QSize map = host_.MapSize();
    if (!AddressTarget(*db_, buildings, map.width(), host_.FullScale(), t)) return;
    host_.SelectBuilding(t.selected);
    host_.FlyTo(t.x, t.y, t.scale);
}

void TCardList::ShowWorkZone(int org) {
    if (!db_) return;
    MapTarget t;
    const QSize map = host_.MapSize();
    if (!WorkZoneTarget(*db_, org, map.width(), map.height(), host_.FullScale(), t)) return;
    host_.SelectBuilding(t.selected);
    host_.FlyTo(t.x, t.y, t.scale);
}

void TCardList::Dispatch(const CardClick& click) {
    switch (click.link) {
    case TLink::site:
    case TLink::email:
    case TLink::snet:
    case TLink::skype:
        OpenOutsideLink(click.target);
        break;
    case TLink::icq:
        host_.OpenIcq(click.value);
        break;
    case TLink::adr:
        ShowAddressOnMap(click.street, click.number, click.value.toInt());
        break;
    case TLink::page:
        if (openOrgPage) openOrgPage(click.value.toInt());
        break;
    case TLink::zone:
        ShowWorkZone(click.value.toInt());
        break;
    case TLink::busway:
        host_.ShowRouteOnMap(click.value);
        break;
    case TLink::stop:
        host_.ShowStopOnMap(click.value.toInt());
        break;
    default:
        break;
    }
    if (click.openPage && openOrgPage) openOrgPage(click.value.toInt());
    if (click.toggled) host_.RedrawMap(false);
}

void TCardList::imgCardsMouseMove(int x, int y) {
    HoverEffects fx;
    const bool overLink = cards.OnMouseMove(x, y + sbCards->value(), fx);
    imgCards->setCursor(overLink ? Qt::PointingHandCursor : Qt::ArrowCursor);
    for (const auto& [stop, on] : fx.stops)
        host_.HighlightStop(stop, on);
    if (fx.listRedraw) imgCards->update();
    if (fx.mapRedraw) host_.RedrawMap(true);
}

void TCardList::imgCardsMouseLeave() {
    // A point above every card: whatever was lit goes dark and its stop is let go on the map.
    imgCardsMouseMove(-1, -1 - sbCards->value());
    cards.MouseLeave();
    imgCards->update();
}

void TCardList::imgCardsMouseUp(Qt::MouseButton button, int x, int y, const QPoint& globalPos) {
    host_.HideFilterList();
    if (button == Qt::RightButton) {
        const int k = y < cards.height - sbCards->value() ? cards.CardAt(y + sbCards->value()) : -1;
        host_.CardMenu(globalPos, k >= 0 ? cards.crds[std::size_t(k)].org : -1);
        return;
    }
    if (button != Qt::LeftButton || busy_ || !db_) return;
    busy_ = true;
    host_.StopBlink();
    display_.ShownObjects.ids.clear();
    CardEnv env = Env();
    CardClick click;
    const int index = cards.OnClick(x, y + sbCards->value(), env, click);
    if (click.rubric >= 0) {
        busy_ = false;
        ShowRubric(click.rubric);
        return;
    }
    Dispatch(click);
    if (index >= 0) {
        const TCard& c = cards.crds[std::size_t(index)];
        if (!c.Collapsed && c.org >= 0) host_.OrgViewed(db_->Orgs[std::size_t(c.org)].id);
    }
    const int max = std::max(0, cards.height - imgCards->height());
    sbCards->setRange(0, max);
    sbCards->setValue(cards.ShowFullCard(index, sbCards->value(), imgCards->height()));
    imgCards->update();
    if (!display_.ShownObjects.ids.empty()) host_.StartBlink();
    busy_ = false;
}
