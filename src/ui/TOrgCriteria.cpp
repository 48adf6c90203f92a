#include "TOrgCriteria.h"

#include "DrawnIcons.h"
#include "MainWindowLabels.h"
#include "PickerIndex.h"
#include "Relabel.h"
#include "Rubricator.h"
#include "SearchHost.h"
#include "StreetOnMap.h"
#include "TCardList.h"
#include "TFilterListBox.h"
#include "TextTable.h"
#include "TfrmRubrikator.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

template <class W> W* Named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

} // namespace

TOrgCriteria::TOrgCriteria(TCardList& list, SearchHost& host, QWidget* parent)
    : QWidget(parent), list_(list), host_(host) {
    setObjectName(QStringLiteral("OrgCriteria"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setVerticalSpacing(4);
    txtStreet = Named(new QLabel(this), "txtStreet");
    cbStreet = Named(new TComboEdit(this), "cbStreet");
    txtBuildNum = Named(new QLabel(this), "txtBuildNum");
    cbBuildNum = Named(new TComboEdit(this), "cbBuildNum");
    txtCaption = Named(new QLabel(this), "txtCaption");
    edCaption = Named(new QLineEdit(this), "edCaption");
    txtRubrika = Named(new QLabel(this), "txtRubrika");
    edRub = Named(new QLineEdit(this), "edRub");
    edRub->setReadOnly(true);
    btnRubrika = Named(new QToolButton(this), "btnRubrika");
    btnRubrika->setText(QStringLiteral("…"));
    btnRubrika->setIcon(RubricIcon());
    btnFindOrg = Named(new QPushButton(this), "btnFindOrg");
    btnClearOrg = Named(new QPushButton(this), "btnClearOrg");
    btnMore = Named(new QPushButton(this), "btnMore");
    btnMore->setCheckable(true);
    btnMore->setFlat(true);
    btnMore->setStyleSheet(QStringLiteral("text-align: left; color: #1e50a0; text-decoration: underline;"));

    grid->addWidget(txtStreet, 0, 0);
    grid->addWidget(cbStreet, 0, 1, 1, 2);
    grid->addWidget(txtBuildNum, 1, 0);
    grid->addWidget(cbBuildNum, 1, 1, 1, 2);
    grid->addWidget(txtCaption, 2, 0);
    grid->addWidget(edCaption, 2, 1, 1, 2);
    grid->addWidget(txtRubrika, 3, 0);
    grid->addWidget(edRub, 3, 1);
    grid->addWidget(btnRubrika, 3, 2);
    grid->addWidget(btnMore, 4, 0, 1, 3);

    pnlMore = Named(new QFrame(this), "pnlMore");
    pnlMore->setFrameShape(QFrame::StyledPanel);
    auto* more = new QGridLayout(pnlMore);
    more->setContentsMargins(6, 4, 6, 4);
    txtTelecom = Named(new QLabel(pnlMore), "txtTelecom");
    edTelecom = Named(new QLineEdit(pnlMore), "edTelecom");
    txtInet = Named(new QLabel(pnlMore), "txtInet");
    edInet = Named(new QLineEdit(pnlMore), "edInet");
    chbWeb = Named(new QCheckBox(pnlMore), "chbWeb");
    chbAlltime = Named(new QCheckBox(pnlMore), "chbAlltime");
    chbNow = Named(new QCheckBox(pnlMore), "chbNow");
    more->addWidget(txtTelecom, 0, 0);
    more->addWidget(edTelecom, 0, 1);
    more->addWidget(txtInet, 1, 0);
    more->addWidget(edInet, 1, 1);
    more->addWidget(chbWeb, 2, 0, 1, 2);
    more->addWidget(chbAlltime, 3, 0, 1, 2);
    more->addWidget(chbNow, 4, 0, 1, 2);
    grid->addWidget(pnlMore, 5, 0, 1, 3);
    pnlMore->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnClearOrg);
    buttons->addWidget(btnFindOrg);
    grid->addLayout(buttons, 6, 0, 1, 3);
    grid->setRowStretch(7, 1);
    grid->setColumnStretch(1, 1);

    // edInet's prompt is not relabelled with the language.
    edInet->setToolTip(QStringLiteral("Web, E-mail, ICQ, Skype, соц.сеть"));
    edInet->setText(edInet->toolTip());

    for (QWidget* field : {static_cast<QWidget*>(cbStreet), static_cast<QWidget*>(cbBuildNum),
                           static_cast<QWidget*>(edCaption), static_cast<QWidget*>(edRub),
                           static_cast<QWidget*>(edTelecom), static_cast<QWidget*>(edInet)}) {
        field->installEventFilter(this);
        if (auto* c = qobject_cast<QComboBox*>(field)) c->lineEdit()->installEventFilter(this);
        connect(EditOf(field), &QLineEdit::textChanged, this, [this, field] {
            Recolour(field);
            UpdateFindOrgButton();
        });
    }
    for (QCheckBox* c : {chbWeb, chbAlltime, chbNow})
        connect(c, &QCheckBox::clicked, this, &TOrgCriteria::UpdateFindOrgButton);
    connect(btnMore, &QPushButton::clicked, this, &TOrgCriteria::btnMoreClick);
    connect(btnFindOrg, &QPushButton::clicked, this, &TOrgCriteria::btnFindOrgClick);
    connect(btnClearOrg, &QPushButton::clicked, this, &TOrgCriteria::btnClearOrgClick);
    connect(btnRubrika, &QToolButton::clicked, this, [this] { OpenRubricator(QString(), true); });

    filterList = new TFilterListBox(this);
    timProc = new QTimer(this);
    timProc->setObjectName(QStringLiteral("timProc"));
    timProc->setInterval(1);
    timProc->setSingleShot(true);
    connect(timProc, &QTimer::timeout, this, [this] {
        if (auto action = std::exchange(deferred_, {})) action();
    });
    // The user's typing refills the list; the program's own changes (an entry taken, a prompt) do not.
    connect(cbStreet->lineEdit(), &QLineEdit::textEdited, this, [this] {
        ResetBuildNum();
        FillPicker(cbStreet, false);
    });
    connect(cbBuildNum->lineEdit(), &QLineEdit::textEdited, this, [this] { FillPicker(cbBuildNum, false); });
    connect(edCaption, &QLineEdit::textEdited, this, [this] { FillPicker(edCaption, false); });
    connect(cbStreet, &TComboEdit::buttonClicked, this, &TOrgCriteria::cbStreetButtonClick);
    connect(cbBuildNum, &TComboEdit::buttonClicked, this, &TOrgCriteria::cbBuildNumButtonClick);
    connect(filterList, &TFilterListBox::entryClicked, this, [this](QWidget* field) {
        if (field == cbStreet || field == cbBuildNum || field == edCaption) PickerEnter(field);
    });
    connect(&list_, &TCardList::searchDataChanged, this, &TOrgCriteria::SearchDataChanged);

    Relabel(CurrentShellLang());
}

TOrgCriteria::~TOrgCriteria() {
    // The list lives in the window while attached; it goes with the criteria that made it.
    delete filterList;
    delete frmRubrikator;
}

void TOrgCriteria::Relabel(int shellLang) {
    RelabelWindow(this, MainWindowLabels(), shellLang);
    // edRub now shows its prompt, so no rubric may stay chosen behind it.
    selectedRubric_ = -1;
    for (QWidget* field : {static_cast<QWidget*>(cbStreet), static_cast<QWidget*>(cbBuildNum),
                           static_cast<QWidget*>(edCaption), static_cast<QWidget*>(edRub),
                           static_cast<QWidget*>(edTelecom), static_cast<QWidget*>(edInet)})
        Recolour(field);
    UpdateFindOrgButton();
}

QLineEdit* TOrgCriteria::EditOf(QWidget* field) {
    if (auto* c = qobject_cast<QComboBox*>(field)) return c->lineEdit();
    return qobject_cast<QLineEdit*>(field);
}

QString TOrgCriteria::FieldValue(const QWidget* field) {
    QString text;
    if (auto* c = qobject_cast<const QComboBox*>(field))
        text = c->currentText();
    else if (auto* e = qobject_cast<const QLineEdit*>(field))
        text = e->text();
    return text.isEmpty() || text == field->toolTip() ? QString() : text;
}

void TOrgCriteria::Recolour(QWidget* field) {
    QLineEdit* e = EditOf(field);
    if (!e) return;
    QPalette pal = QApplication::palette(e);
    if (!FieldValue(field).isEmpty()) {
        pal.setColor(QPalette::Base, pal.color(QPalette::ToolTipBase));
        pal.setColor(QPalette::Text, Qt::black);
    } else {
        pal.setColor(QPalette::Text, pal.color(QPalette::Disabled, QPalette::Text));
    }
    e->setPalette(pal);
}

void TOrgCriteria::ShowPrompt(QWidget* field, bool focused) {
    QLineEdit* e = EditOf(field);
    if (!e) return;
    if (focused && e->text() == field->toolTip() && !field->toolTip().isEmpty())
        e->clear();
    else if (!focused && e->text().isEmpty())
        e->setText(field->toolTip());
    Recolour(field);
}

bool TOrgCriteria::MoreShown() const {
    return !pnlMore->isHidden();
}

OrgCriteria TOrgCriteria::ReadCriteria() const {
    OrgCriteria c;
    c.Street = FieldValue(cbStreet);
    c.Number = FieldValue(cbBuildNum);
    c.Name = FieldValue(edCaption);
    c.Rubric = selectedRubric_;
    c.Telecom = FieldValue(edTelecom);
    c.Inet = FieldValue(edInet);
    c.Web = chbWeb->isChecked();
    c.AllTime = chbAlltime->isChecked();
    c.Now = chbNow->isChecked();
    c.MoreVisible = MoreShown();
    return c;
}

void TOrgCriteria::UpdateFindOrgButton() {
    const QString inet = FieldValue(edInet);
    const bool inetUsable = !inet.isEmpty() && inet != QLatin1String("@") && inet != QLatin1String(".") &&
                            inet != QLatin1String(".r") && inet != QLatin1String(".ru");
    // "Open now" alone enables the search too: it then lists what is open at this moment.
    const bool on =
        !FieldValue(cbStreet).isEmpty() || !FieldValue(cbBuildNum).isEmpty() ||
        !FieldValue(edCaption).isEmpty() || !FieldValue(edTelecom).isEmpty() ||
        (MoreShown() && (chbAlltime->isChecked() || chbWeb->isChecked() || chbNow->isChecked())) ||
        !FieldValue(edRub).isEmpty() || inetUsable;
    btnFindOrg->setEnabled(on);
    btnClearOrg->setEnabled(on);
}

void TOrgCriteria::btnFindOrgClick() {
    if (!list_.Db() || !list_.Index()) return;
    host_.StopMapMotion();
    list_.CardMarkMode = TCardMarkMode::search;
    list_.ClearResults();
    list_.pnlCaption->setText(LangText(u"OrgNotFound"));
    list_.txtCount->setText(QStringLiteral("0"));
    const Tai found = list_.Index()->FindOrgs(ReadCriteria(), host_.Radius(), host_.Now());
    if (found.empty()) {
        host_.RedrawMap(false);
        return;
    }
    list_.ShowOrgCards(LangText(u"FoundOrgs"), found, -1);
    list_.AppendHistory(hotOrg, found);
    if (host_.ResultPanelVisible()) host_.FocusDefocus();
}

void TOrgCriteria::btnClearOrgClick() {
    for (QWidget* field : {static_cast<QWidget*>(cbStreet), static_cast<QWidget*>(cbBuildNum),
                           static_cast<QWidget*>(edCaption), static_cast<QWidget*>(edRub),
                           static_cast<QWidget*>(edTelecom), static_cast<QWidget*>(edInet)}) {
        QLineEdit* e = EditOf(field);
        e->setText(field->hasFocus() || e->hasFocus() ? QString() : field->toolTip());
        Recolour(field);
    }
    for (QCheckBox* c : {chbAlltime, chbNow, chbWeb})
        c->setChecked(false);
    selectedRubric_ = -1;
    filterList->Hide();
    UpdateFindOrgButton();
}

void TOrgCriteria::btnMoreClick() {
    pnlMore->setVisible(btnMore->isChecked());
    UpdateFindOrgButton();
}

void TOrgCriteria::SetRubric(int rubric) {
    const CityDb* db = list_.Db();
    selectedRubric_ = db && rubric >= 0 && rubric < db->RubricNames.size() ? rubric : -1;
    edRub->setText(selectedRubric_ >= 0 ? db->RubricNames[selectedRubric_]
                                        : (edRub->hasFocus() ? QString() : edRub->toolTip()));
    Recolour(edRub);
    UpdateFindOrgButton();
}

bool TOrgCriteria::TelecomKey(QKeyEvent* e) {
    if (e->modifiers() & Qt::ControlModifier) {
        if (e->key() == Qt::Key_C) return false;
        if (e->key() == Qt::Key_V) {
            // Only a number is pasted.
            bool ok = false;
            const QString text = QApplication::clipboard()->text().trimmed();
            text.toDouble(&ok);
            if (ok) edTelecom->insert(text);
        }
        return true;
    }
    const QString t = e->text();
    if (t.isEmpty()) return false; // movement and editing keys
    const QChar c = t[0];
    if (c.isDigit() && c.unicode() < 128) return false;
    static const QString allowed = QStringLiteral(" ()-/.\b\r");
    return !allowed.contains(c);
}

bool TOrgCriteria::eventFilter(QObject* watched, QEvent* event) {
    QWidget* field = qobject_cast<QWidget*>(watched);
    if (auto* e = qobject_cast<QLineEdit*>(watched); e && qobject_cast<QComboBox*>(e->parentWidget()))
        field = e->parentWidget();
    if (!field) return false;
    switch (event->type()) {
    case QEvent::FocusIn:
        ShowPrompt(field, true);
        if (field == cbStreet || field == cbBuildNum || field == edCaption) filterList->SetOwner(field);
        break;
    case QEvent::FocusOut:
        ShowPrompt(field, false);
        break;
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        auto* k = static_cast<QKeyEvent*>(event);
        const bool press = event->type() == QEvent::KeyPress;
        if (field == edTelecom && (k->modifiers() & Qt::ControlModifier)) {
            if (!press) {
                event->accept(); // keep Ctrl combinations for the field's own key handling
                return true;
            }
            return TelecomKey(k);
        }
        if (!press) break;
        if ((field == cbStreet || field == cbBuildNum || field == edCaption) && PickerKey(field, k)) return true;
        if (field == edRub && !k->text().isEmpty() && !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
            OpensRubricator(k->text().at(0))) {
            OpenRubricator(k->text().left(1), false);
            return true;
        }
        const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
        if (k->key() == Qt::Key_Escape) {
            if (field == edInet || field == edTelecom) {
                edInet == field ? edInet->clear() : edTelecom->clear();
            } else if (field == edCaption) {
                if (filterList->IsShownFor(edCaption))
                    filterList->Hide();
                else
                    edCaption->clear();
            } else if (field == edRub) {
                SetRubric(-1);
                edRub->clear();
            }
            UpdateFindOrgButton();
            return true;
        }
        if (field == edRub && (k->key() == Qt::Key_Delete || k->key() == Qt::Key_Backspace)) {
            SetRubric(-1);
            edRub->clear();
            UpdateFindOrgButton();
            return true;
        }
        if (enter && (field == edCaption || field == edTelecom)) {
            if (btnFindOrg->isEnabled()) btnFindOrgClick();
            return true;
        }
        if (field == edTelecom && TelecomKey(k)) return true;
        break;
    }
    default:
        break;
    }
    return false;
}

// ---- Pickers ----

void TOrgCriteria::SearchDataChanged() {
    filterList->Reset();
    rubricTree_ = nullptr;
    if (frmRubrikator) frmRubrikator->SetTree(nullptr);
}

std::shared_ptr<const FilterSource> TOrgCriteria::SourceOf(QWidget* field) const {
    const PickerIndex* pickers = list_.Pickers();
    if (field == edCaption) return list_.Index() ? std::make_shared<OrgNameSource>(*list_.Index()) : nullptr;
    if (!pickers) return nullptr;
    if (field == cbStreet) return pickers->streets;
    return std::make_shared<TextListSource>(pickers->HouseNumbers(FieldValue(cbStreet)));
}

void TOrgCriteria::FillPicker(QWidget* field, bool all) {
    filterList->SetOwner(field);
    filterList->Fill(SourceOf(field), FieldValue(field), field == cbStreet, all);
}

void TOrgCriteria::DropButton(QWidget* field) {
    host_.StopMapMotion();
    filterList->DropButton(field, SourceOf(field), FieldValue(field), field == cbStreet);
}

void TOrgCriteria::cbStreetButtonClick() {
    DropButton(cbStreet);
}

void TOrgCriteria::cbBuildNumButtonClick() {
    DropButton(cbBuildNum);
}

void TOrgCriteria::TakeEntry(QWidget* field) {
    const QString entry = filterList->EntryFor(field);
    if (!entry.isEmpty()) EditOf(field)->setText(entry);
}

void TOrgCriteria::ResetBuildNum() {
    cbBuildNum->lineEdit()->setText(cbBuildNum->hasFocus() ? QString() : cbBuildNum->toolTip());
    Recolour(cbBuildNum);
}

void TOrgCriteria::PickerEnter(QWidget* field) {
    TakeEntry(field);
    filterList->Text = SearchUpper(FieldValue(field));
    filterList->Hide();
    if (field == cbStreet) {
        ResetBuildNum();
        UpdateFindOrgButton();
        Defer([this] { ShowStreetOnMap(); });
    } else if (field == cbBuildNum) {
        UpdateFindOrgButton();
        Defer([this] { ShowHouseOnMap(); });
    } else if (btnFindOrg->isEnabled()) {
        btnFindOrgClick();
    }
}

bool TOrgCriteria::PickerKey(QWidget* field, QKeyEvent* k) {
    host_.HideHints();
    if (field != edCaption) host_.StopMapMotion();
    if (filterList->IsShownFor(field) && filterList->KeyUp(k->key())) return true;
    switch (k->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        PickerEnter(field);
        return true;
    case Qt::Key_Escape:
        if (field == edCaption) return false; // as the other criteria fields
        EditOf(field)->setText(QString());
        if (field == cbStreet) ResetBuildNum();
        filterList->Hide();
        UpdateFindOrgButton();
        return true;
    default:
        return false;
    }
}

void TOrgCriteria::Defer(std::function<void()> action) {
    deferred_ = std::move(action);
    timProc->start();
}

void TOrgCriteria::ShowStreetOnMap() {
    const PickerIndex* pickers = list_.Pickers();
    if (!pickers) return;
    if (::ShowStreetOnMap(list_, host_, pickers->FindStreet(FieldValue(cbStreet))) && !host_.InBackground() &&
        cbStreet->isVisible())
        cbStreet->setFocus();
}

void TOrgCriteria::ShowHouseOnMap() {
    const QString number = FieldValue(cbBuildNum);
    if (number.isEmpty() || !list_.Db()) return;
    host_.StopBlink();
    list_.ShowAddressOnMap(FieldValue(cbStreet), number, -1);
    if (host_.InBackground()) return;
    host_.AllowMapMotion();
    if (!list_.Display().ShownObjects.ids.empty()) host_.StartBlink();
    if (cbBuildNum->isVisible())
        cbBuildNum->setFocus();
    else if (host_.ResultPanelVisible())
        host_.FocusDefocus();
}

// ---- Rubricator ----

void TOrgCriteria::OpenRubricator(const QString& firstLetter, bool search) {
    host_.HideHints();
    if (!frmRubrikator) {
        frmRubrikator = new TfrmRubrikator(list_.AppSettings(), window());
        connect(frmRubrikator, &TfrmRubrikator::rubricChosen, this, &TOrgCriteria::RubricChosen);
        connect(frmRubrikator, &TfrmRubrikator::settingsChanged, this, [this] { host_.SaveSettings(); });
    }
    const PickerIndex* pickers = list_.Pickers();
    const RubricTreeIndex* tree = pickers ? &pickers->rubrics : nullptr;
    if (tree != rubricTree_) {
        rubricTree_ = tree;
        frmRubrikator->SetTree(tree);
    }
    frmRubrikator->Open(firstLetter, search);
}

void TOrgCriteria::RubricChosen(const QString& name, bool search) {
    const CityDb* db = list_.Db();
    const int rubric = db ? FindRubric(*db, name) : -1;
    // A tree line that names no rubric changes nothing: the field never shows a rubric it does not search.
    if (rubric < 0) return;
    SetRubric(rubric);
    if (search) btnFindOrgClick();
}
