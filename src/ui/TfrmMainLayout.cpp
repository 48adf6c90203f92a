// The main window's panels, tabs, tool strips and hint panels, built once with the window.
#include "TfrmMain.h"
#include "TfrmMainParts.h"

#include "AppContext.h"
#include "CardExport.h"
#include "CommandServer.h"
#include "GlMapSwitch.h"
#include "DrawnIcons.h"
#include "IcqPage.h"
#include "KeyboardLayout.h"
#include "MainWindowLabels.h"
#include "MapColors.h"
#include "MapRenderer.h"
#include "ObjectState.h"
#include "OrgOrder.h"
#include "Pictures.h"
#include "QuickListActions.h"
#include "Relabel.h"
#include "SearchHost.h"
#include "ShellOpen.h"
#include "StreetHitTest.h"
#include "TCardList.h"
#include "TFilterListBox.h"
#include "TMapImage.h"
#include "TObjectPage.h"
#include "TOrgCriteria.h"
#include "ToolStrip.h"
#include "TfrmEstate.h"
#include "TfrmHelp.h"
#include "TransportPanel.h"
#include "TfrmOptions.h"
#include "TfrmReport.h"
#include "AdBanners.h"
#include "Advertising.h"
#include "TfrmQuit.h"
#include "UserManual.h"
#include "WebTabs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

using namespace MainWindowParts;

QToolButton* TfrmMain::ToolButton(QWidget* parent, const char* name, const char* hint, bool enabled) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setProperty("hintName", QString::fromLatin1(hint));
    b->setAutoRaise(true);
    b->setEnabled(enabled);
    connect(b, &QToolButton::clicked, this, [this] { HideHints(); });
    return b;
}

void TfrmMain::BuildLayout() {
    // Directory panel.
    pnlResult = new QWidget(this);
    pnlResult->setObjectName(QStringLiteral("pnlResult"));
    pnlResult->setAutoFillBackground(true);
    pc = new QTabWidget(pnlResult);
    pc->setObjectName(QStringLiteral("pc"));
    pc->tabBar()->setMouseTracking(true);
    pc->setStyleSheet(
        QStringLiteral("QTabBar::tab { width: 41px; height: 34px; padding: 2px; margin-right: 4px; }"));
    pgCriteria = new QWidget;
    pgCriteria->setObjectName(QStringLiteral("pgCriteria"));
    pgObject = new QWidget;
    pgObject->setObjectName(QStringLiteral("pgObject"));
    pgTransport = new QWidget;
    pgTransport->setObjectName(QStringLiteral("pgTransport"));
    pc->addTab(pgCriteria, QIcon(Glyph(QStringLiteral("☏"), QColor(0x1c, 0x4f, 0x8c), 30)), QString());
    pc->addTab(pgObject, QIcon(Glyph(QStringLiteral("⌂"), QColor(0x8c, 0x3c, 0x1c), 30)), QString());
    pc->addTab(pgTransport, QIcon(Glyph(QStringLiteral("⇄"), QColor(0x1c, 0x7c, 0x3c), 30)), QString());
    pc->setIconSize(QSize(30, 30));
    BuildObjectPage();
    BuildTransportPage();
    connect(pc, &QTabWidget::currentChanged, this, &TfrmMain::pcChange);

    // The result area: the card list's panels, placed by LayoutPanels. Its container stays hidden and
    // keeps the list's state; the banner area owns the name pnlList.
    list = new TCardList(app_.settings, display, *searchHost_, pnlResult);
    list->setObjectName(QStringLiteral("cardList"));
    list->PlacePanelsIn(pnlResult);
    pnlCaption = list->pnlCaption;
    pnlMiniTools = list->pnlMiniTools;
    pnlCards = list->pnlCards;
    imgCards = list->imgCards;
    txtCount = list->txtCount;
    sbCards = list->sbCards;
    criteria = new TOrgCriteria(*list, *searchHost_, pgCriteria);
    // The rubric button shows its hint panel as the tool buttons do.
    criteria->btnRubrika->setProperty("hintName", QStringLiteral("Rubrika"));
    connect(criteria->btnRubrika, &QToolButton::clicked, this, &TfrmMain::HideHints);
    auto* criteriaLayout = new QVBoxLayout(pgCriteria);
    criteriaLayout->setContentsMargins(0, 0, 0, 0);
    criteriaLayout->addWidget(criteria);
    objectPage->Connect(*list, criteria->filterList);
    transport = new TransportPanel(*list, *searchHost_, pgTransport, criteria->filterList);

    // Bottom banner area.
    pnl = new QWidget(pnlResult);
    pnl->setObjectName(QStringLiteral("pnl"));
    imgBanner = new TBannerStrip(pnl);
    pnlList = new QWidget(pnl);
    pnlList->setObjectName(QStringLiteral("pnlList"));

    edDefocus = new QLineEdit(this);
    edDefocus->setObjectName(QStringLiteral("edDefocus"));
    edDefocus->setGeometry(-100, -100, 10, 10); // out of sight, yet able to take the focus

    // System buttons.
    pnlSys = new QWidget(pnlResult);
    pnlSys->setObjectName(QStringLiteral("pnlSys"));
    btnOptions = ToolButton(pnlSys, "btnOptions", "Options", true);
    btnHelp = ToolButton(pnlSys, "btnHelp", "Help", true);
    btnUpdate = ToolButton(pnlSys, "btnUpdate", "Update", true);
    btnCallback = ToolButton(pnlSys, "btnCallback", "Callback", false);
    const QString sysGlyphs[] = {QStringLiteral("⚙"), QStringLiteral("?"), QStringLiteral("⟳"),
                                 QStringLiteral("✉")};
    int x = 0;
    int gi = 0;
    for (QToolButton* b : {btnOptions, btnHelp, btnUpdate, btnCallback}) {
        b->setIcon(QIcon(Glyph(sysGlyphs[gi++], QColor(0x1c, 0x4f, 0x8c), ToolSize - 4)));
        b->setIconSize(QSize(ToolSize - 4, ToolSize - 4));
        b->setGeometry(x, 0, ToolSize, ToolSize);
        x += ToolSize + 2;
    }
    pnlSys->resize(x, ToolSize);
    connect(btnOptions, &QToolButton::clicked, this, &TfrmMain::btnOptionsClick);
    connect(btnHelp, &QToolButton::clicked, this, &TfrmMain::btnHelpClick);
    connect(btnUpdate, &QToolButton::clicked, this, &TfrmMain::btnUpdateClick);
    btnCallback->setEnabled(true);
    connect(btnCallback, &QToolButton::clicked, this, [this] {
        HideHints();
        TfrmReport frm(app_, this);
        frm.exec();
        btnCallback->setDown(false);
    });

    // Tool strip.
    pnlTools = new QWidget(this);
    pnlTools->setObjectName(QStringLiteral("pnlTools"));
    pnlTools->setAutoFillBackground(true);
    struct Tool {
        QToolButton** button;
        const char* name;
        const char* hint;
        const char* glyph;
        QColor ink;
        bool enabled;
    };
    const Tool tools[] = {
        {&btnPhones, "btnPhones", "Phonebook", "☎", QColor(0x1c, 0x4f, 0x8c), true},
        {&btnEstate, "btnEstate", "Estate", "⌂", QColor(0x8c, 0x3c, 0x1c), true},
        {&btnShowMap, "btnShowMap", "ShowMap", "▦", QColor(0x1c, 0x7c, 0x3c), true},
        {&btnTaxi, "btnTaxi", "Taxi", "TAXI", QColor(0xb0, 0x80, 0x00), true},
        {&btn911, "btn911", "911", "✚", QColor(0xc0, 0x10, 0x10), true},
        {&btnCafe, "btnCafe", "Cafe", "☕", QColor(0x6c, 0x3c, 0x1c), true},
        {&btnBankomat, "btnBankomat", "Bankomat", "$", QColor(0x1c, 0x6c, 0x1c), true},
        {&btnNews, "btnNews", "News", "NEWS", QColor(0x30, 0x30, 0x30), true},
        {&btnNotes, "btnNotes", "Notes", "✎", QColor(0x30, 0x30, 0x80), true},
        {&btnAfisha, "btnAfisha", "Afisha", "★", QColor(0xa0, 0x20, 0x80), true},
        {&btnAdmin, "btnAdmin", "Admin", "⚑", QColor(0x80, 0x10, 0x10), true},
        {&btnWeather, "btnWeather", "Weather", "☀", QColor(0xd0, 0x80, 0x00), true},
    };
    pageButtons_ = new QButtonGroup(this);
    pageButtons_->setExclusive(true);
    x = 2;
    for (const Tool& t : tools) {
        QToolButton* b = ToolButton(pnlTools, t.name, t.hint, t.enabled);
        b->setIcon(QIcon(Glyph(QString::fromUtf8(t.glyph), t.ink, ToolSize - 4)));
        b->setIconSize(QSize(ToolSize - 4, ToolSize - 4));
        b->setGeometry(x, 2, ToolSize, ToolSize);
        x += ToolSize + 2;
        *t.button = b;
    }
    // The map and the web tabs share one group: the map button stays down while the map is shown.
    for (QToolButton* b : {btnShowMap, btnNews, btnNotes, btnAfisha, btnAdmin, btnWeather}) {
        b->setCheckable(true);
        pageButtons_->addButton(b);
    }
    btnShowMap->setChecked(true);
    connect(btnShowMap, &QToolButton::clicked, this, &TfrmMain::ShowMapPage);
    connect(btnPhones, &QToolButton::clicked, this, &TfrmMain::btnPhonesClick);
    for (auto [button, which] :
         {std::pair{btnTaxi, QuickList::Taxi}, std::pair{btn911, QuickList::Emergency},
          std::pair{btnCafe, QuickList::Food}, std::pair{btnBankomat, QuickList::CashMachines}})
        connect(button, &QToolButton::clicked, this,
                [this, which] { ShowQuickList(*list, *searchHost_, which); });
    connect(btnEstate, &QToolButton::clicked, this, &TfrmMain::btnEstateClick);

    // Map area.
    pnlMap = new QWidget(this);
    pnlMap->setObjectName(QStringLiteral("pnlMap"));
    img = new TMapImage(pnlMap);
    pnlBanner = new QWidget(pnlMap);
    pnlBanner->setObjectName(QStringLiteral("pnlBanner"));
    pnlBanner->hide();
    pnlBanner->resize(154, 44);
    imgMapBanner = new TMapBanner(pnlBanner);
    imgMapBanner->setGeometry(2, 2, 150, 40);
    pnlMinimap = new QWidget(pnlMap);
    pnlMinimap->setObjectName(QStringLiteral("pnlMinimap"));
    pnlMinimap->hide();
    pnlWeb = new QWidget(pnlMap);
    pnlWeb->setObjectName(QStringLiteral("pnlWeb"));
    pnlWeb->hide();
    webTabs = new TWebTabs(app_, pnlWeb);
    webTabs->showMap = [this] { ShowMapPage(); };
    for (auto [button, tab] : {std::pair{btnNews, 0}, std::pair{btnNotes, 1}, std::pair{btnAfisha, 2},
                               std::pair{btnAdmin, 3}, std::pair{btnWeather, 4}})
        connect(button, &QToolButton::clicked, this, [this, tab] {
            HideHints();
            searchHost_->HideFilterList();
            webTabs->Open(tab);
        });
    pnlMapTools = new QFrame(pnlMap);
    pnlMapTools->setObjectName(QStringLiteral("pnlMapTools"));
    pnlMapTools->setAutoFillBackground(true);
    static_cast<QFrame*>(pnlMapTools)->setFrameShape(QFrame::StyledPanel);
    const Tool mapTools[] = {
        {&btnSwitchMapTools, "btnSwitchMapTools", "", "≡", QColor(0x30, 0x30, 0x30), true},
        {&btnFullMap, "btnFullMap", "FullMap", "⤢", QColor(0x1c, 0x4f, 0x8c), true},
        {&btn3D, "btn3D", "3D", "3D", QColor(0x1c, 0x4f, 0x8c), true},
        {&btnIncScale, "btnIncScale", "IncScale", "+", QColor(0x1c, 0x4f, 0x8c), true},
        {&btnDecScale, "btnDecScale", "DecScale", "−", QColor(0x1c, 0x4f, 0x8c), true},
        {&btnScale, "btnScale", "Scale", "⬚", QColor(0x1c, 0x4f, 0x8c), true},
        {&btnMeas, "btnMeas", "Meas", "↔", QColor(0x60, 0x60, 0x60), false},
        {&btnRadius, "btnRadius", "Radius", "◎", QColor(0x60, 0x60, 0x60), false},
        {&btnPrint, "btnPrint", "Print", "", QColor(0x60, 0x60, 0x60), false},
    };
    int y = 4;
    for (const Tool& t : mapTools) {
        QToolButton* b = ToolButton(pnlMapTools, t.name, t.hint, t.enabled);
        b->setIcon(QIcon(Glyph(QString::fromUtf8(t.glyph), t.ink, MapToolSize - 4)));
        b->setIconSize(QSize(MapToolSize - 4, MapToolSize - 4));
        b->setGeometry(4, y, MapToolSize, MapToolSize);
        y += MapToolSize + 2;
        *t.button = b;
    }
    // The fonts at hand have no printer glyph.
    btnPrint->setIcon(PrinterIcon(QColor(0x60, 0x60, 0x60), MapToolSize - 4));
    pnlMapTools->setProperty("tag", 1);
    pnlMapTools->setGeometry(8, 8, MapToolSize + 8, btnPrint->y() + btnPrint->height() + 4);
    btn3D->setCheckable(true);
    btnScale->setCheckable(true);
    connect(btnFullMap, &QToolButton::clicked, this, &TfrmMain::btnFullMapClick);
    connect(btnIncScale, &QToolButton::clicked, this, &TfrmMain::btnIncScaleClick);
    connect(btnDecScale, &QToolButton::clicked, this, &TfrmMain::btnDecScaleClick);
    connect(btnScale, &QToolButton::clicked, this, &TfrmMain::btnScaleClick);
    connect(btn3D, &QToolButton::clicked, this, &TfrmMain::btn3DClick);
    connect(btnSwitchMapTools, &QToolButton::clicked, this, &TfrmMain::btnSwitchMapToolsClick);

    // The OpenGL surface takes this placeholder's place over the picture while GrafMode is 1.
    imgGL = new QWidget(pnlMap);
    imgGL->setObjectName(QStringLiteral("imgGL"));
    imgGL->hide();
    glMap = new GlMapSwitch(*this);

    // Extended criteria open beside the directory panel, over the map; searches read whether it shows.
    pnlMore = criteria->pnlMore;
    pnlMore->setParent(this);
    pnlMore->setAutoFillBackground(true);
    pnlMore->resize(ResultWidth, pnlMore->sizeHint().height());
    pnlMore->hide();

    pnlRunString = new QWidget(this);
    pnlRunString->setObjectName(QStringLiteral("pnlRunString"));
    imgRunningString = new TRunningString(pnlRunString);
    for (auto* banner : std::initializer_list<std::function<void(int)>*>{
             &imgBanner->clicked, &imgMapBanner->clicked, &imgRunningString->clicked})
        *banner = [this](int orgId) { OpenAdvertiser(app_, *list, orgId); };

    pnlImages = new QWidget(this);
    pnlImages->setObjectName(QStringLiteral("pnlImages"));
    pnlImages->hide();

    pmMap = new QMenu(this);
    pmMap->setObjectName(QStringLiteral("pmMap"));
    mnuHideBanners = pmMap->addAction(QStringLiteral("Убрать баннеры с карты"));
    mnuHideBanners->setObjectName(QStringLiteral("mnuHideBanners"));
    mnuShowBanners = pmMap->addAction(QStringLiteral("Показать баннеры на карте"));
    mnuShowBanners->setObjectName(QStringLiteral("mnuShowBanners"));
    // Banner balloons come with the info balloons; until then the entries are shown but inactive.
    mnuHideBanners->setEnabled(false);
    mnuShowBanners->setVisible(false);
}

void TfrmMain::BuildObjectPage() {
    objectPage = new TObjectPage(*searchHost_, app_.pendingAddress, pgObject);
    auto* layout = new QVBoxLayout(pgObject);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(objectPage);
    cbObjStreet = objectPage->cbObjStreet;
    cbMaterial = objectPage->cbMaterial;
    cbType = objectPage->cbType;
    cbRegion = objectPage->cbRegion;
    edObjBuildNum = objectPage->edObjBuildNum;
    edObjName = objectPage->edObjName;
    btnFindObj = objectPage->btnFindObj;
    btnClearObj = objectPage->btnClearObj;
}

void TfrmMain::BuildTransportPage() {
    auto row = [](QWidget* page, const char* labelName, const char* comboName, int y, int width) {
        auto* l = new QLabel(page);
        l->setObjectName(QString::fromLatin1(labelName));
        l->setGeometry(6, y, ResultWidth - 20, 18);
        auto* c = new TComboEdit(page);
        c->setObjectName(QString::fromLatin1(comboName));
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setGeometry(6, y + 20, width, 22);
        return c;
    };
    cbBusWay = row(pgTransport, "txtBusWay", "cbBusWay", 6, ResultWidth - 20);
    cbBusStop1 = row(pgTransport, "txtBusStop1", "cbBusStop1", 56, ResultWidth - 52);
    cbBusStop2 = row(pgTransport, "txtBusStop2", "cbBusStop2", 106, ResultWidth - 52);
    auto pick = [this](const char* name, int y) {
        auto* b = new QToolButton(pgTransport);
        b->setObjectName(QString::fromLatin1(name));
        b->setCheckable(true);
        b->setIcon(QIcon(Glyph(QStringLiteral("⚑"), QColor(0xc0, 0x10, 0x10), 22)));
        b->setGeometry(ResultWidth - 42, y, 26, 24);
        b->setEnabled(false);
        return b;
    };
    btnSelBusStop1 = pick("btnSelBusStop1", 75);
    btnSelBusStop2 = pick("btnSelBusStop2", 125);
    auto* find = new QPushButton(pgTransport);
    find->setObjectName(QStringLiteral("btnFindWay"));
    find->setGeometry(6, 160, 160, 26);
    find->setEnabled(false);
    btnFindWay = find;
}

void TfrmMain::BuildHintPanels() {
    const QImage background = HintBackground();
    for (const HintPanel& hp : MainWindowHintPanels()) {
        const QString panelName = QString::fromLatin1(hp.panel);
        const QString part = panelName.mid(int(qstrlen("pnlHint")));
        auto* panel = new QWidget(this);
        panel->setObjectName(panelName);
        // A hint never takes the pointer from the button it describes.
        panel->setAttribute(Qt::WA_TransparentForMouseEvents);
        panel->hide();
        auto* image = new QLabel(panel);
        image->setObjectName(QStringLiteral("imgHint") + part);
        image->setScaledContents(false);
        image->setProperty("background", background);
        auto* icon = new QLabel(panel);
        icon->setGeometry(8, 8, 28, 28);
        const QString description = QString::fromLatin1(hp.description);
        auto* title = new QLabel(panel);
        title->setObjectName(description.left(description.size() - 1));
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        title->move(44, 6);
        auto* text = new QLabel(panel);
        text->setObjectName(description);
        text->move(44, 26);
        panel->setProperty("icon", QVariant::fromValue(static_cast<QObject*>(icon)));
    }
}

void TfrmMain::WireMapImage() {
    img->onDown = [this](QMouseEvent* e) {
        imgMouseDown(e->button(), e->position().toPoint(), e->globalPosition().toPoint());
    };
    img->onMove = [this](QMouseEvent* e) {
        imgMouseMove(e->position().toPoint(), e->globalPosition().toPoint());
    };
    img->onUp = [this](QMouseEvent* e) {
        imgMouseUp(e->button(), e->position().toPoint(), e->globalPosition().toPoint());
    };
    img->onLeave = [this] { imgMouseLeave(); };
    img->onRatioChanged = [this] {
        if (!map || app_.AppState == QStringLiteral("back")) return;
        map->Resize(img->width(), img->height(), false, img->devicePixelRatioF());
        Redraw(true);
    };
}

void TfrmMain::pcChange() {
    if (motion) motion->StopMotion = true;
    HideHints();
    // The extra criteria belong to the organisation search; elsewhere they would only cover the map.
    if (pnlMore && criteria) pnlMore->setVisible(pc->currentWidget() == pgCriteria && criteria->btnMore->isChecked());
    if (list) list->UpdateScroll();
}
