#include "TObjectPage.h"

#include "ObjectState.h"
#include "PendingAddress.h"
#include "PickerIndex.h"
#include "SearchHost.h"
#include "StreetOnMap.h"
#include "TCardList.h"
#include "TFilterListBox.h"
#include "TOrgCriteria.h"
#include "TextTable.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

namespace {

template <class W> W* Named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QComboBox* ListCombo(QWidget* parent, const char* name) {
    auto* c = Named(new QComboBox(parent), name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    return c;
}

} // namespace

TObjectPage::TObjectPage(SearchHost& host, PendingAddress& pending, QWidget* parent)
    : QWidget(parent), host_(host), pending_(pending) {
    setObjectName(QStringLiteral("ObjectPage"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 8, 6, 6);
    grid->setVerticalSpacing(6);
    auto row = [&](QLabel*& label, const char* labelName, QWidget* field) {
        const int r = grid->rowCount();
        label = Named(new QLabel(this), labelName);
        grid->addWidget(label, r, 0);
        grid->addWidget(field, r, 1);
    };
    edObjName = Named(new QLineEdit(this), "edObjName");
    cbMaterial = ListCombo(this, "cbMaterial");
    cbType = ListCombo(this, "cbType");
    cbRegion = ListCombo(this, "cbRegion");
    cbObjStreet = Named(new TComboEdit(this), "cbObjStreet");
    edObjBuildNum = Named(new QLineEdit(this), "edObjBuildNum");
    row(txtObjName, "txtObjName", edObjName);
    row(txtMaterial, "txtMaterial", cbMaterial);
    row(txtType, "txtType", cbType);
    row(txtRegion, "txtRegion", cbRegion);
    row(txtObjStreet, "txtObjStreet", cbObjStreet);
    row(txtObjBuildNum, "txtObjBuildNum", edObjBuildNum);
    btnFindObj = Named(new QPushButton(this), "btnFindObj");
    btnClearObj = Named(new QPushButton(this), "btnClearObj");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnClearObj);
    buttons->addWidget(btnFindObj);
    grid->addLayout(buttons, grid->rowCount(), 0, 1, 2);
    grid->setRowStretch(grid->rowCount(), 1);
    grid->setColumnStretch(1, 1);
    btnFindObj->setEnabled(false);
    btnClearObj->setEnabled(false);
    for (QComboBox* c : {cbMaterial, cbType, cbRegion})
        c->setCurrentIndex(-1);

    for (QWidget* field : Fields()) {
        // A combo box hands its keys to its line edit directly, past any filter: watch both.
        field->installEventFilter(this);
        TOrgCriteria::EditOf(field)->installEventFilter(this);
        connect(TOrgCriteria::EditOf(field), &QLineEdit::textChanged, this, [this, field] {
            Recolour(field);
            UpdateFindObjButton();
        });
    }
    connect(cbObjStreet->lineEdit(), &QLineEdit::textEdited, this, [this] {
        if (!filterList_ || !list_ || !list_->Pickers()) return;
        filterList_->SetOwner(cbObjStreet);
        filterList_->Fill(list_->Pickers()->streets, TOrgCriteria::FieldValue(cbObjStreet), true);
    });
    connect(cbObjStreet, &TComboEdit::buttonClicked, this, &TObjectPage::cbObjStreetButtonClick);
    connect(btnFindObj, &QPushButton::clicked, this, &TObjectPage::btnFindObjClick);
    connect(btnClearObj, &QPushButton::clicked, this, &TObjectPage::btnClearObjClick);

    timAdrClick = Named(new QTimer(this), "timAdrClick");
    timAdrClick->setInterval(100);
    connect(timAdrClick, &QTimer::timeout, this, &TObjectPage::ProcessAddressRequest);
    timAdrClick->start();
    timNotFound = Named(new QTimer(this), "timNotFound");
    timNotFound->setInterval(1000);
    timNotFound->setSingleShot(true);
    connect(timNotFound, &QTimer::timeout, this, [this] {
        if (!list_) return;
        QPalette pal = list_->pnlCaption->palette();
        pal.setColor(QPalette::WindowText, Qt::black);
        list_->pnlCaption->setPalette(pal);
        // A result shown meanwhile keeps its caption.
        if (list_->pnlCaption->text() == notFoundShown_) list_->pnlCaption->setText(savedCaption_);
    });
}

void TObjectPage::Connect(TCardList& list, TFilterListBox* filterList) {
    list_ = &list;
    filterList_ = filterList;
    connect(&list, &TCardList::searchDataChanged, this, &TObjectPage::FillLists);
    connect(filterList, &TFilterListBox::entryClicked, this, [this](QWidget* field) {
        if (field == cbObjStreet) StreetEnter();
    });
    FillLists();
}

QList<QWidget*> TObjectPage::Fields() const {
    return {edObjName, cbMaterial, cbType, cbRegion, cbObjStreet, edObjBuildNum};
}

void TObjectPage::FillLists() {
    const PickerIndex* pickers = list_ ? list_->Pickers() : nullptr;
    const QStringList materials = pickers ? MaterialItems(pickers->db, pickers->dataLang) : QStringList();
    // Purposes are listed alphabetically; a purpose is then known by its text, not its position.
    const QStringList purposes =
        pickers ? TextListSource(PurposeItems(pickers->db, pickers->dataLang), true).Texts() : QStringList();
    const QStringList districts = pickers ? DistrictItems(pickers->db, pickers->dataLang) : QStringList();
    for (auto [combo, items] :
         {std::pair{cbMaterial, &materials}, std::pair{cbType, &purposes}, std::pair{cbRegion, &districts}}) {
        combo->clear();
        combo->addItems(*items);
        combo->setCurrentIndex(-1);
        combo->setEditText(combo->hasFocus() ? QString() : combo->toolTip());
    }
    if (list_) list_->Display().FoundZones.clear();
}

void TObjectPage::Recolour(QWidget* field) {
    QLineEdit* e = TOrgCriteria::EditOf(field);
    QPalette pal = QApplication::palette(e);
    const QString text = e->text();
    const bool prompt = !text.isEmpty() && text == field->toolTip();
    if (!text.isEmpty() && !prompt) {
        pal.setColor(QPalette::Base, pal.color(QPalette::ToolTipBase));
        pal.setColor(QPalette::Text, Qt::black);
    } else {
        // An empty list field types in black; a prompt is grey.
        const bool list = field == cbMaterial || field == cbType || field == cbRegion;
        pal.setColor(QPalette::Text,
                     prompt || !list ? pal.color(QPalette::Disabled, QPalette::Text) : QColor(Qt::black));
    }
    e->setPalette(pal);
}

BuildingCriteria TObjectPage::ReadCriteria() const {
    BuildingCriteria c;
    const PickerIndex* pickers = list_ ? list_->Pickers() : nullptr;
    if (!pickers) return c;
    c.Name = SearchLower(TOrgCriteria::FieldValue(edObjName));
    c.Street = SearchLower(TOrgCriteria::FieldValue(cbObjStreet));
    c.Number = SearchLower(TOrgCriteria::FieldValue(edObjBuildNum));
    c.Material = cbMaterial->findText(cbMaterial->currentText()) + 1;
    c.Purpose = PurposeOf(pickers->db, TOrgCriteria::FieldValue(cbType), pickers->dataLang);
    const QString district = TOrgCriteria::FieldValue(cbRegion);
    if (!district.isEmpty()) c.Districts = DistrictsNamed(pickers->db, district, pickers->dataLang);
    return c;
}

void TObjectPage::UpdateFindObjButton() {
    // An item's text exactly, letter case included: the purpose is then found by that same text.
    auto chosen = [](const QComboBox* c) { return c->findText(c->currentText()) >= 0; };
    const bool on = !TOrgCriteria::FieldValue(edObjName).isEmpty() || chosen(cbMaterial) || chosen(cbType) ||
                    !TOrgCriteria::FieldValue(cbObjStreet).isEmpty() ||
                    !TOrgCriteria::FieldValue(edObjBuildNum).isEmpty() || chosen(cbRegion);
    btnFindObj->setEnabled(on);
    btnClearObj->setEnabled(on);
}

void TObjectPage::btnFindObjClick() {
    if (!list_ || !list_->Db() || !list_->Pickers()) return;
    host_.StopMapMotion();
    const BuildingCriteria c = ReadCriteria();
    MapDisplay& display = list_->Display();
    display.FoundZones = c.Districts;
    const std::vector<int> found = list_->Pickers()->buildings.Find(c, host_.Radius());
    if (host_.ResultPanelVisible()) host_.FocusDefocus();
    CityDb& db = *list_->Db();
    ClearFound(db);
    display.Marks.Clear();
    host_.StopBlink();
    host_.RedrawMap(true);
    if (found.empty()) {
        // The radius filters even when its circle is off screen: say so where it is what hid the buildings.
        const RadiusCircle radius = host_.Radius();
        const bool radiusLimits = radius.Visible && !list_->Pickers()->buildings.Find(c, RadiusCircle{}).empty();
        ShowNotFound(radiusLimits ? LangText(u"ObjNotInRadius") : LangText(u"ObjNotFound"));
        return;
    }
    for (int i : found)
        Found(db.Buildings[std::size_t(i)]);
    const QSize map = host_.MapSize();
    const ZoomTarget t = FoundBuildingsTarget(db, found, map.width(), map.height(), host_.FullScale());
    host_.FlyTo(t.x, t.y, t.scale);
    if (found.size() <= MaxBlinking && !host_.InBackground()) {
        display.ShownObjects = {otBuild, Tai(found.begin(), found.end())};
        host_.StartBlink();
    }
}

void TObjectPage::ShowNotFound(const QString& notFound) {
    TCaptionPanel* caption = list_->pnlCaption;
    if (!timNotFound->isActive() || caption->text() != notFoundShown_) savedCaption_ = caption->text();
    notFoundShown_ = notFound;
    caption->setText(notFound);
    QPalette pal = caption->palette();
    pal.setColor(QPalette::WindowText, Qt::red);
    caption->setPalette(pal);
    caption->show();
    // The window stays usable meanwhile; the caption comes back after a second.
    timNotFound->start();
}

void TObjectPage::btnClearObjClick() {
    for (QWidget* field : Fields()) {
        if (auto* c = qobject_cast<QComboBox*>(field); c && field != cbObjStreet) c->setCurrentIndex(-1);
        QLineEdit* e = TOrgCriteria::EditOf(field);
        e->setText(field->hasFocus() || e->hasFocus() ? QString() : field->toolTip());
        Recolour(field);
    }
    if (list_) list_->Display().FoundZones.clear();
    UpdateFindObjButton();
}

void TObjectPage::cbObjStreetButtonClick() {
    if (!filterList_ || !list_ || !list_->Pickers()) return;
    filterList_->DropButton(cbObjStreet, list_->Pickers()->streets, TOrgCriteria::FieldValue(cbObjStreet),
                            true);
}

void TObjectPage::StreetEnter() {
    if (!filterList_) return;
    const QString entry = filterList_->EntryFor(cbObjStreet);
    if (!entry.isEmpty()) cbObjStreet->lineEdit()->setText(entry);
    filterList_->Text = SearchUpper(TOrgCriteria::FieldValue(cbObjStreet));
    filterList_->Hide();
    UpdateFindObjButton();
}

bool TObjectPage::StreetKey(QKeyEvent* k) {
    host_.HideHints();
    if (filterList_ && filterList_->IsShownFor(cbObjStreet) && filterList_->KeyUp(k->key())) return true;
    switch (k->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        StreetEnter();
        return true;
    case Qt::Key_Escape:
        cbObjStreet->lineEdit()->clear();
        if (filterList_) filterList_->Hide();
        return true;
    default:
        return false;
    }
}

bool TObjectPage::eventFilter(QObject* watched, QEvent* event) {
    QWidget* field = nullptr;
    for (QWidget* f : Fields())
        if (watched == f || watched == TOrgCriteria::EditOf(f)) field = f;
    if (!field) return false;
    if (event->type() == QEvent::FocusIn && field == cbObjStreet && filterList_)
        filterList_->SetOwner(cbObjStreet);
    // A click on the text of a list field opens its list, as a click on its arrow does; opened on the
    // release, so that the release does not fall on the list it opened.
    const bool press = event->type() == QEvent::MouseButtonPress, release = event->type() == QEvent::MouseButtonRelease;
    if ((press || release) && watched == TOrgCriteria::EditOf(field) && field != cbObjStreet &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (auto* c = qobject_cast<QComboBox*>(field); c && c->count() > 0) {
            c->setFocus(Qt::MouseFocusReason);
            if (release) c->showPopup();
            return true;
        }
    }
    if (event->type() != QEvent::KeyPress) return false;
    auto* k = static_cast<QKeyEvent*>(event);
    if (field == cbObjStreet) {
        const bool handled = StreetKey(k);
        UpdateFindObjButton();
        return handled;
    }
    const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
    if (k->key() == Qt::Key_Escape) {
        TOrgCriteria::EditOf(field)->clear();
        UpdateFindObjButton();
        return true;
    }
    if (enter && (field == edObjName || field == edObjBuildNum)) {
        if (btnFindObj->isEnabled()) btnFindObjClick();
        return true;
    }
    return false;
}

void TObjectPage::ProcessAddressRequest() {
    if (pending_.IsEmpty()) return;
    timAdrClick->stop();
    const AddressRequest request = SplitAddress(pending_.Take());
    const PickerIndex* pickers = list_ ? list_->Pickers() : nullptr;
    // Without a city the request is dropped, as one naming no known street is.
    if (pickers) {
        MapDisplay& display = list_->Display();
        host_.StopBlink();
        display.ShownObjects = Tbo{};
        if (!request.number.isEmpty())
            list_->ShowAddressOnMap(request.street, request.number, -1);
        if (display.ShownObjects.ids.empty()) {
            const int street = pickers->FindStreet(request.street);
            if (street >= 0) ShowStreetOnMap(*list_, host_, street);
        }
        if (!display.ShownObjects.ids.empty()) host_.StartBlink();
    }
    timAdrClick->start();
}
