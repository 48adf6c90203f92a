#include "TfrmEstate.h"

#include "AppContext.h"
#include "Cards.h"
#include "MapDisplay.h"
#include "OrgSearch.h"
#include "OutsideText.h"
#include "SearchHost.h"
#include "StreetOnMap.h"
#include "ObjectState.h"
#include "TCardList.h"
#include "TextTable.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QStackedLayout>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int IdRole = Qt::UserRole + 1;
constexpr int CityRole = Qt::UserRole + 2; // offer ids are unique only within one city
constexpr int EstateCommentColumn = 8;
constexpr int EstateAgencyColumn = 9;
constexpr int AddressColumn = 1;
// Widest an address column is made by its contents; the least the agency and the comment are given.
constexpr int MaxTextColumnWidth = 220;
constexpr int MinTextColumnWidth = 80;

QTreeWidget* MakeList(QWidget* parent, const QString& name) {
    auto* t = new QTreeWidget(parent);
    t->setObjectName(name);
    t->setColumnCount(10);
    t->setRootIsDecorated(false);
    t->setUniformRowHeights(true);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setAlternatingRowColors(true);
    t->header()->setSectionsClickable(true);
    t->header()->setSortIndicatorShown(true);
    // The comment takes the room the other columns leave, so that the list needs no sideways scrolling
    // at the window's size; long cells are cut and shown whole in their tooltips.
    t->header()->setStretchLastSection(false);
    t->header()->setSectionResizeMode(EstateCommentColumn, QHeaderView::Stretch);
    t->setTextElideMode(Qt::ElideRight);
    return t;
}

QPushButton* MakeButton(QWidget* parent, const QString& name) {
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    return b;
}

const TFlat* FindOffer(const std::vector<TFlat>& offers, int id, const QString& cityFile) {
    for (const TFlat& f : offers)
        if (f.id == id && id != -1 && f.cityFile == cityFile) return &f;
    return nullptr;
}

const TFlat* OfferOfRow(const std::vector<TFlat>& offers, const QTreeWidgetItem* row) {
    return FindOffer(offers, row->data(0, IdRole).toInt(), row->data(0, CityRole).toString());
}

} // namespace

TfrmEstate::TfrmEstate(AppContext& app, const QStringList& materials, QWidget* parent)
    : QDialog(parent), app_(app) {
    setObjectName("frmEstate");
    setModal(true);
    resize(960, 600);
    auto* top = new QVBoxLayout(this);
    pcEstate = new QTabWidget(this);
    pcEstate->setObjectName("pcEstate");
    top->addWidget(pcEstate);

    pgSearch = new QWidget;
    pgSearch->setObjectName("pgSearch");
    auto* search = new QVBoxLayout(pgSearch);
    pnlFilter = new QGroupBox(pgSearch);
    pnlFilter->setObjectName("pnlFilter");
    auto* grid = new QGridLayout(pnlFilter);
    const auto label = [&](const char* name, QWidget* buddy) {
        auto* l = new QLabel(pnlFilter);
        l->setObjectName(name);
        l->setBuddy(buddy);
        return l;
    };
    cbMaterial = new QComboBox(pnlFilter);
    cbMaterial->setObjectName("cbMaterial");
    cbMaterial->addItem(QString());
    cbMaterial->addItems(materials);
    cbSanuzel = new QComboBox(pnlFilter);
    cbSanuzel->setObjectName("cbSanuzel");
    cbSanuzel->addItem(QString());
    cbSanuzel->addItems(SanuzelKinds());
    cbBalcon = new QComboBox(pnlFilter);
    cbBalcon->setObjectName("cbBalcon");
    cbBalcon->addItem(QString());
    cbBalcon->addItems(BalconKinds());
    edRooms = new QLineEdit(pnlFilter);
    edRooms->setObjectName("edRooms");
    edRooms->setMaxLength(2);
    edCost = new QLineEdit(pnlFilter);
    edCost->setObjectName("edCost");
    edCost->setMaxLength(9);
    txtMaterial = label("txtMaterial", cbMaterial);
    txtRooms = label("txtRooms", edRooms);
    txtCost = label("txtCost", edCost);
    txtSanuzel = label("txtSanuzel", cbSanuzel);
    txtBalcon = label("txtBalcon", cbBalcon);
    txtValuta = new QLabel(pnlFilter);
    txtValuta->setObjectName("txtValuta");
    chbFirst = new QCheckBox(pnlFilter);
    chbFirst->setObjectName("chbFirst");
    chbLast = new QCheckBox(pnlFilter);
    chbLast->setObjectName("chbLast");
    btnFind = MakeButton(pnlFilter, "btnFind");
    btnFind->setDefault(true);
    btnClear = MakeButton(pnlFilter, "btnClear");
    grid->addWidget(txtMaterial, 0, 0);
    grid->addWidget(cbMaterial, 0, 1);
    grid->addWidget(txtRooms, 1, 0);
    grid->addWidget(edRooms, 1, 1);
    grid->addWidget(txtCost, 2, 0);
    grid->addWidget(edCost, 2, 1);
    grid->addWidget(txtValuta, 2, 2);
    grid->addWidget(txtSanuzel, 0, 3);
    grid->addWidget(cbSanuzel, 0, 4);
    grid->addWidget(txtBalcon, 1, 3);
    grid->addWidget(cbBalcon, 1, 4);
    grid->addWidget(chbFirst, 2, 3);
    grid->addWidget(chbLast, 2, 4);
    grid->addWidget(btnFind, 0, 5);
    grid->addWidget(btnClear, 1, 5);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);
    search->addWidget(pnlFilter);

    // The list, and the waiting panel that covers it during a search.
    auto* listArea = new QWidget(pgSearch);
    auto* stack = new QStackedLayout(listArea);
    stack->setStackingMode(QStackedLayout::StackAll);
    tblFound = MakeList(listArea, "tblFound");
    pnlWait = new QWidget(listArea);
    pnlWait->setObjectName("pnlWait");
    pnlWait->setAutoFillBackground(true);
    auto* wait = new QVBoxLayout(pnlWait);
    wait->addStretch();
    for (const char* t : {"Идет поиск информации.", "Пожалуйста, подождите."}) {
        auto* l = new QLabel(QString::fromUtf8(t), pnlWait);
        l->setAlignment(Qt::AlignCenter);
        wait->addWidget(l);
    }
    btnCancelWait = MakeButton(pnlWait, "btnCancelWait");
    wait->addWidget(btnCancelWait, 0, Qt::AlignHCenter);
    wait->addStretch();
    stack->addWidget(tblFound);
    stack->addWidget(pnlWait);
    pnlWait->hide();
    search->addWidget(listArea, 1);
    txtSkipped = new QLabel(pgSearch);
    txtSkipped->setObjectName("txtSkipped");
    txtSkipped->setWordWrap(true);
    txtSkipped->hide();
    search->addWidget(txtSkipped);
    auto* row = new QHBoxLayout;
    btnToFavorite = MakeButton(pgSearch, "btnToFavorite");
    btnShow = MakeButton(pgSearch, "btnShow");
    row->addWidget(btnToFavorite);
    row->addWidget(btnShow);
    row->addStretch();
    txtCount = new QLabel(pgSearch);
    txtCount->setObjectName("txtCount");
    row->addWidget(txtCount);
    search->addLayout(row);

    pgFavorite = new QWidget;
    pgFavorite->setObjectName("pgFavorite");
    auto* fav = new QVBoxLayout(pgFavorite);
    tblFavorite = MakeList(pgFavorite, "tblFavorite");
    fav->addWidget(tblFavorite, 1);
    auto* favRow = new QHBoxLayout;
    btnShow2 = MakeButton(pgFavorite, "btnShow2");
    btnRemove = MakeButton(pgFavorite, "btnRemove");
    btnClearFav = MakeButton(pgFavorite, "btnClearFav");
    btnPrint = MakeButton(pgFavorite, "btnPrint");
    for (QPushButton* b : {btnShow2, btnRemove, btnClearFav, btnPrint})
        favRow->addWidget(b);
    favRow->addStretch();
    txtFavoriteStatus = new QLabel(pgFavorite);
    txtFavoriteStatus->setObjectName("txtFavoriteStatus");
    favRow->addWidget(txtFavoriteStatus);
    fav->addLayout(favRow);
    pcEstate->addTab(pgSearch, QString());
    pcEstate->addTab(pgFavorite, QString());

    for (QPushButton* b : {btnToFavorite, btnShow, btnShow2, btnRemove, btnClearFav, btnPrint})
        b->setEnabled(false);

    connect(btnFind, &QPushButton::clicked, this, &TfrmEstate::btnFindClick);
    connect(btnCancelWait, &QPushButton::clicked, this, &TfrmEstate::reject);
    connect(edRooms, &QLineEdit::returnPressed, this, &TfrmEstate::btnFindClick);
    connect(edCost, &QLineEdit::returnPressed, this, &TfrmEstate::btnFindClick);
    connect(btnClear, &QPushButton::clicked, this, &TfrmEstate::btnClearClick);
    connect(btnToFavorite, &QPushButton::clicked, this, &TfrmEstate::btnToFavoriteClick);
    connect(btnRemove, &QPushButton::clicked, this, &TfrmEstate::btnRemoveClick);
    connect(btnClearFav, &QPushButton::clicked, this, &TfrmEstate::btnClearFavClick);
    connect(btnPrint, &QPushButton::clicked, this, &TfrmEstate::btnPrintClick);
    connect(btnShow, &QPushButton::clicked, this, [this] { ShowSelected(tblFound, EstateOffers); });
    connect(btnShow2, &QPushButton::clicked, this, [this] { ShowSelected(tblFavorite, FavoriteOffers); });
    connect(tblFound, &QTreeWidget::itemSelectionChanged, this, &TfrmEstate::UpdateButtons);
    connect(tblFavorite, &QTreeWidget::itemSelectionChanged, this, &TfrmEstate::UpdateButtons);
    // Enter or a double click on a row shows it on the map.
    connect(tblFound, &QTreeWidget::itemActivated, this, [this] { ShowSelected(tblFound, EstateOffers); });
    connect(tblFavorite, &QTreeWidget::itemActivated, this,
            [this] { ShowSelected(tblFavorite, FavoriteOffers); });
    connect(tblFound->header(), &QHeaderView::sectionClicked, this, [this](int c) { SortList(tblFound, c); });
    connect(tblFavorite->header(), &QHeaderView::sectionClicked, this,
            [this](int c) { SortList(tblFavorite, c); });
    Prepare();
}

TfrmEstate::~TfrmEstate() = default;

QString TfrmEstate::Text(const char* ru, const char* en) const {
    return QString::fromUtf8(app_.settings.ShellLang == 1 ? en : ru);
}

void TfrmEstate::Prepare() {
    setWindowTitle(LangText(u"Estate"));
    pcEstate->setTabText(0, LangText(u"SearchEstate"));
    SetFavoriteCaption(favoritesChanged_);
    pnlFilter->setTitle(LangText(u"Filter"));
    txtMaterial->setText(LangText(u"material") + ':');
    txtRooms->setText(LangText(u"RoomCount"));
    txtCost->setText(LangText(u"LowCost"));
    txtSanuzel->setText(LangText(u"WC") + ':');
    txtBalcon->setText(LangText(u"Balcon") + ':');
    chbFirst->setText(LangText(u"FirstFloor"));
    chbLast->setText(LangText(u"LastFloor"));
    btnFind->setText(LangText(u"Search_"));
    btnClear->setText(LangText(u"Clear"));
    btnToFavorite->setText(LangText(u"MakeFavorite"));
    btnShow->setText(LangText(u"ShowOnMap"));
    btnShow2->setText(LangText(u"ShowOnMap"));
    btnRemove->setText(LangText(u"Remove"));
    btnClearFav->setText(LangText(u"Clear"));
    btnPrint->setText(LangText(u"Printing"));
    btnCancelWait->setText(LangText(u"Cancel"));
    cbMaterial->setItemText(0, LangText(u"NoMatter"));
    if (cbMaterial->currentIndex() < 0) cbMaterial->setCurrentIndex(0);
    for (QComboBox* c : {cbSanuzel, cbBalcon}) {
        c->setItemText(0, LangText(u"NoMatter"));
        c->setCurrentIndex(0);
    }
    const TCity* city = app_.Current();
    txtValuta->setText(LangText(city && city->CityName == QStringLiteral("Ереван") ? u"Dol" : u"Rub"));
    const QStringList captions{LangText(u"Room."),  LangText(u"Address"), LangText(u"Floor"),
                               LangText(u"material"), QStringLiteral("S общ/жил/кух"), LangText(u"WC"),
                               LangText(u"Balcon"), LangText(u"Cost"),    LangText(u"Comment"),
                               LangText(u"Agentstvo")};
    tblFound->setHeaderLabels(captions);
    tblFavorite->setHeaderLabels(captions);
    if (FavoriteOffers.empty() || std::all_of(FavoriteOffers.begin(), FavoriteOffers.end(),
                                              [](const TFlat& f) { return f.id == -1; }))
        pcEstate->setCurrentWidget(pgSearch);
}

void TfrmEstate::SetMaterials(const QStringList& materials) {
    QStringList current;
    for (int i = 1; i < cbMaterial->count(); ++i)
        current << cbMaterial->itemText(i);
    if (current == materials) return;
    while (cbMaterial->count() > 1)
        cbMaterial->removeItem(1);
    cbMaterial->addItems(materials);
    cbMaterial->setCurrentIndex(0);
}

void TfrmEstate::Reset() {
    tblFound->clear();
    tblFavorite->clear();
    // The results refer to the city just released; favourites keep their own city's texts.
    EstateOffers.clear();
    txtSkipped->hide();
    txtCount->clear();
    txtFavoriteStatus->clear();
    pcEstate->setCurrentWidget(pgSearch);
    UpdateButtons();
}

void TfrmEstate::SetFavoriteCaption(bool withCount) {
    const auto count = std::count_if(FavoriteOffers.begin(), FavoriteOffers.end(),
                                     [](const TFlat& f) { return f.id != -1; });
    pcEstate->setTabText(1, withCount ? LangText(u"Favorite") + " (" + QString::number(count) + ")"
                                      : LangText(u"Favorite"));
}

void TfrmEstate::Fill(QTreeWidget* list, const std::vector<TFlat>& offers) {
    list->clear();
    const CityDb& db = *app_.db;
    QList<QTreeWidgetItem*> items;
    for (const TFlat& f : offers) {
        if (f.id == -1) continue;
        auto* item = new QTreeWidgetItem(FavoriteCells(f, db, app_.settings.DataLang, app_.city.FilePath()));
        item->setData(0, IdRole, f.id);
        item->setData(0, CityRole, f.cityFile);
        for (int c : {AddressColumn, EstateCommentColumn, EstateAgencyColumn})
            if (!item->text(c).isEmpty()) item->setToolTip(c, item->text(c));
        items << item;
    }
    list->addTopLevelItems(items);
    for (int c = 0; c < 10; ++c) {
        if (c == EstateCommentColumn) continue;
        list->resizeColumnToContents(c);
        if (c == AddressColumn) list->setColumnWidth(c, std::min(list->columnWidth(c), MaxTextColumnWidth));
    }
    list->setProperty("agencyWidth", list->columnWidth(EstateAgencyColumn));
    FitColumns(list);
    SortState& s = list == tblFound ? foundSort_ : favoriteSort_;
    s = {};
    list->header()->setSortIndicator(-1, Qt::AscendingOrder);
}

void TfrmEstate::FitColumns(QTreeWidget* list) {
    // The agency and the comment share what the other columns leave, the agency no wider than its
    // names; the comment (stretched) takes the rest.
    int fixed = 0;
    for (int c = 0; c < 10; ++c)
        if (c != EstateCommentColumn && c != EstateAgencyColumn) fixed += list->columnWidth(c);
    const int room = list->viewport()->width() - fixed;
    const int agency = list->property("agencyWidth").toInt();
    list->setColumnWidth(EstateAgencyColumn, std::max(MinTextColumnWidth, std::min(agency, room / 2)));
}

void TfrmEstate::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    for (QTreeWidget* list : {tblFound, tblFavorite})
        FitColumns(list);
}

void TfrmEstate::SortList(QTreeWidget* list, int column) {
    SortState& s = list == tblFound ? foundSort_ : favoriteSort_;
    s.descending = s.column == column ? !s.descending : false;
    s.column = column;
    QList<QTreeWidgetItem*> items;
    while (list->topLevelItemCount() > 0)
        items << list->takeTopLevelItem(0);
    std::stable_sort(items.begin(), items.end(), [&](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        return CompareEstateCells(a->text(column), b->text(column), column, s.descending) < 0;
    });
    list->addTopLevelItems(items);
    list->header()->setSortIndicator(column, s.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TfrmEstate::UpdateButtons() {
    const bool found = !tblFound->selectedItems().isEmpty();
    btnToFavorite->setEnabled(found);
    btnShow->setEnabled(found);
    const auto favorites = tblFavorite->selectedItems();
    btnRemove->setEnabled(!favorites.isEmpty());
    // A favourite of another city can be shown on the map only when that city is loaded.
    btnShow2->setEnabled(!favorites.isEmpty() &&
                         favorites.front()->data(0, CityRole).toString() == app_.city.FilePath());
}

void TfrmEstate::btnFindClick() {
    // The loaded file, not the first catalogue entry of its name, is the city asked about.
    const CityFileRef& city = app_.city;
    if (city.EngName.isEmpty() || !app_.db) return;
    if (searching_) return;
    pnlWait->show();
    pnlWait->raise();
    pnlWait->repaint();
    // While the request runs only Cancel (or Escape, or closing the window) acts.
    searching_ = true;
    cancelSearch_ = false;
    for (QWidget* w : std::initializer_list<QWidget*>{pnlFilter, btnToFavorite, btnShow, tblFound})
        w->setEnabled(false);
    pcEstate->tabBar()->setEnabled(false);
    btnCancelWait->setEnabled(true);
    btnCancelWait->setFocus();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    EstateFilter filter;
    filter.material = cbMaterial->currentIndex() - 1;
    filter.rooms = edRooms->text();
    filter.cost = edCost->text();
    filter.sanuzel = cbSanuzel->currentIndex() - 1;
    filter.balcon = cbBalcon->currentIndex() - 1;
    filter.notFirstLevel = chbFirst->isChecked();
    filter.notLastLevel = chbLast->isChecked();
    LastRequest = EstateRequestUrl(app_.vendor.Mirrors.First(), city.EngName, filter);

    HttpClient& client = app_.vendor.Client();
    const qint64 oldMax = client.MaxReplyBytes;
    client.MaxReplyBytes = MaxEstateReplyBytes;
    client.CutLongReplies = true;
    client.Cancelled = [this] { return cancelSearch_; };
    const HttpReply reply = client.Get(LastRequest);
    client.MaxReplyBytes = oldMax;
    client.CutLongReplies = false;
    client.Cancelled = nullptr;
    searching_ = false;
    for (QWidget* w : std::initializer_list<QWidget*>{pnlFilter, tblFound})
        w->setEnabled(true);
    pcEstate->tabBar()->setEnabled(true);
    if (!reply.ok) {
        pnlWait->hide();
        UpdateButtons();
        // The user asked for it: one line, no message to dismiss.
        if (reply.cancelled) return txtCount->setText(LangText(u"SearchCancelled"));
        QMessageBox::information(this, windowTitle(),
                                 LiteralText(QStringLiteral("Невозможно получить данные!\r") + reply.error + '\r' +
                                                 LangText(u"ListKept")));
        return;
    }
    EstateReply parsed = ParseEstateReply(reply.body, *app_.db, app_.settings.DataLang);
    EstateOffers = std::move(parsed.offers);
    for (TFlat& f : EstateOffers)
        f.cityFile = city.FilePath();
    Fill(tblFound, EstateOffers);
    QStringList notes;
    if (parsed.skipped > 0)
        notes << Text("Пропущено повреждённых предложений: %1.", "Damaged offers skipped: %1.").arg(parsed.skipped);
    if (parsed.truncated || reply.cut)
        notes << Text("Ответ слишком велик: показаны первые %1 предложений.",
                      "The reply is too long: the first %1 offers are shown.")
                     .arg(EstateOffers.size());
    txtSkipped->setText(notes.join(' '));
    txtSkipped->setVisible(!notes.isEmpty());
    txtCount->setText(LangText(u"OffersFound").arg(EstateOffers.size()));
    UpdateButtons();
    if (tblFound->topLevelItemCount() > 0) tblFound->setFocus();
    pnlWait->hide();
    if (EstateOffers.empty()) QMessageBox::information(this, windowTitle(), LangText(u"NotFound"));
}

void TfrmEstate::reject() {
    if (searching_) {
        cancelSearch_ = true;
        btnCancelWait->setEnabled(false);
        return;
    }
    QDialog::reject();
}

void TfrmEstate::btnClearClick() {
    cbMaterial->setCurrentIndex(0);
    edCost->clear();
    edRooms->clear();
    chbFirst->setChecked(false);
    chbLast->setChecked(false);
    cbSanuzel->setCurrentIndex(0);
    cbBalcon->setCurrentIndex(0);
}

void TfrmEstate::btnToFavoriteClick() {
    const auto selected = tblFound->selectedItems();
    if (selected.isEmpty()) return;
    const TFlat* f = OfferOfRow(EstateOffers, selected.front());
    if (!f || FindOffer(FavoriteOffers, f->id, f->cityFile)) return;
    TFlat favorite = *f;
    const QStringList cells = EstateCells(favorite, *app_.db, app_.settings.DataLang);
    favorite.cityName = app_.Current() ? app_.Current()->CityName : app_.city.EngName;
    favorite.addressText = cells.value(1);
    favorite.agencyText = cells.value(9);
    FavoriteOffers.push_back(favorite);
    Fill(tblFavorite, FavoriteOffers);
    btnClearFav->setEnabled(true);
    btnPrint->setEnabled(true);
    favoritesChanged_ = true;
    SetFavoriteCaption(true);
    UpdateButtons();
}

void TfrmEstate::btnRemoveClick() {
    const auto selected = tblFavorite->selectedItems();
    if (selected.isEmpty()) return;
    const int id = selected.front()->data(0, IdRole).toInt();
    const QString cityFile = selected.front()->data(0, CityRole).toString();
    for (TFlat& f : FavoriteOffers)
        if (f.id == id && f.cityFile == cityFile) f.id = -1;
    delete selected.front();
    favoritesChanged_ = true;
    SetFavoriteCaption(true);
    UpdateButtons();
}

void TfrmEstate::btnClearFavClick() {
    tblFavorite->clear();
    FavoriteOffers.clear();
    for (QPushButton* b : {btnClearFav, btnPrint, btnRemove, btnShow2})
        b->setEnabled(false);
    favoritesChanged_ = true;
    SetFavoriteCaption(true);
}

void TfrmEstate::ShowSelected(QTreeWidget* list, const std::vector<TFlat>& offers) {
    const auto selected = list->selectedItems();
    if (selected.isEmpty()) return;
    const TFlat* f = OfferOfRow(offers, selected.front());
    if (!f) return;
    if (f->cityFile != app_.city.FilePath()) {
        QMessageBox::information(this, windowTitle(), LangText(u"OtherCityOffer").arg(f->cityName));
        return;
    }
    const TFlat offer = *f;
    hide();
    if (showOnMap) showOnMap(offer);
    accept();
}

void TfrmEstate::btnPrintClick() {
    std::vector<QStringList> rows;
    for (int i = 0; i < tblFavorite->topLevelItemCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < 9; ++c)
            cells << tblFavorite->topLevelItem(i)->text(c);
        rows.push_back(cells);
    }
    const QStringList captions{QStringLiteral("комн "), LangText(u"Address"), LangText(u"Floor"),
                               LangText(u"material"),   LangText(u"Square"),  LangText(u"WC"),
                               LangText(u"Balcon"),     LangText(u"Cost"),    LangText(u"Comm")};
    txtFavoriteStatus->clear();
    const QString error = PrintLines(EstatePrintLines(captions, rows));
    if (!error.isEmpty())
        QMessageBox::critical(this, windowTitle(), LiteralText(LangText(u"Error") + "!" + "\r" + error));
}

QString TfrmEstate::PrintLines(const QStringList& lines) {
    QPrinter printer(QPrinter::HighResolution);
    if (!QPrinterInfo::availablePrinters().isEmpty()) {
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() != QDialog::Accepted) return {};
    } else {
        // No printing system: the table goes to a PDF file of the user's choice.
        const QString path = choosePdfFile ? choosePdfFile()
                                           : QFileDialog::getSaveFileName(this, LangText(u"Printing"),
                                                                          QStringLiteral("estate.pdf"),
                                                                          QStringLiteral("PDF (*.pdf)"));
        if (path.isEmpty()) return {};
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
    }
    QPainter p;
    if (!p.begin(&printer))
        return printer.outputFileName().isEmpty()
                   ? Text("принтер недоступен", "the printer is not available")
                   : Text("не удалось записать файл ", "cannot write the file ") + printer.outputFileName();
    QFont font(QStringLiteral("Courier New Cyr"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(7.5);
    p.setFont(font);
    const QFontMetrics m(p.font(), &printer);
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    int y = m.ascent();
    for (const QString& line : lines) {
        if (y + m.descent() > page.height()) {
            printer.newPage();
            y = m.ascent();
        }
        p.drawText(0, y, line);
        y += m.lineSpacing();
    }
    if (!p.end()) return Text("печать не завершена", "printing did not finish");
    if (printer.outputFormat() == QPrinter::PdfFormat)
        txtFavoriteStatus->setText(LangText(u"SavedTo").arg(QDir::toNativeSeparators(printer.outputFileName())));
    return {};
}

void ShowOfferOnMap(const TFlat& offer, CityDb& db, int dataLang, TCardList& list, SearchHost& host,
                    MapDisplay& display) {
    list.ClearResults();
    if (offer.agent >= 0 && std::size_t(offer.agent) < db.EstateAgents.size())
        list.ShowOrgCards(QStringLiteral(" Агентство недвижимости"), Tai{db.EstateAgents[offer.agent].ind}, -1);
    host.StopBlink();
    ClearFound(db);
    const bool streetKnown = offer.street >= 0 && std::size_t(offer.street) < db.Streets.size();
    if (!offer.num.isEmpty()) {
        // The offer names its building: that one is shown, not every building with its number.
        const QString street = streetKnown ? InLang(db.Streets[offer.street].Name, dataLang) : QString();
        list.ShowAddressOnMap(street, offer.num, offer.build_id);
        host.StartBlink();
        return;
    }
    // Only the street: shown as the street picker shows one, which also lets go of the last offer's house.
    if (streetKnown && ShowStreetOnMap(list, host, offer.street)) return;
    // Neither building nor street: only the agency's card, and nothing of an earlier offer stays marked.
    display.ShownObjects = Tbo{};
    host.RedrawMap(false);
}
