#include "TfrmMain.h"

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
#include "TfrmOptions.h"
#include "TfrmReport.h"
#include "AdBanners.h"
#include "Advertising.h"
#include "TfrmQuit.h"
#include "UserManual.h"

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

namespace {

constexpr int ResultWidth = 340;
constexpr int ToolsHeight = 45;
// The running text strip at the window's foot.
constexpr int RunStringHeight = 22;
constexpr int ToolSize = 40;
constexpr int MapToolSize = 32;
constexpr int TabSlot = 51;
constexpr int EdgeBand = 30;
constexpr int ClickTolerance = 4;

// Search fields of the object and transport pages, for the prompt rule (the organisation criteria
// keep their own prompts).
const char* const ObjectFields[] = {"cbObjStreet", "edObjBuildNum", "edObjName",
                                    "cbMaterial",  "cbType",        "cbRegion"};
const char* const TransportFields[] = {"cbBusWay", "cbBusStop1", "cbBusStop2"};
// Fields whose focus keeps the keys away from the map.
const char* const KeyFields[] = {"edCaption",  "edTelecom",     "edInet",   "cbMaterial", "cbType",
                                 "cbRegion",   "edObjName",     "cbBusWay", "cbBusStop1", "cbBusStop2",
                                 "cbBuildNum", "edObjBuildNum", "cbStreet", "cbObjStreet"};

QPixmap Glyph(const QString& glyph, const QColor& ink, int size,
              const QColor& face = QColor(0xf4, 0xf7, 0xfb)) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    PaintToolFace(p, size, face);
    p.setPen(ink);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(glyph.size() > 2 ? size * 3 / 10 : size * 11 / 20);
    f.setBold(glyph.size() > 1);
    p.setFont(f);
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, glyph);
    return pm;
}

QString FieldText(QWidget* w) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
    return QString();
}

void SetFieldText(QWidget* w, const QString& text) {
    if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(text);
    else if (auto* c = qobject_cast<QComboBox*>(w))
        c->setEditText(text);
}

// Grey text while a field shows its prompt, black when it holds a value.
void PaintField(QWidget* w, bool prompt) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Text,
                 prompt ? QApplication::palette().color(QPalette::PlaceholderText) : Qt::black);
    w->setPalette(pal);
}

QImage HintBackground() {
    QImage img(64, 64, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, 64);
    g.setColorAt(0, QColor(0xff, 0xff, 0xf4));
    g.setColorAt(1, QColor(0xf5, 0xee, 0xc8));
    p.fillRect(img.rect(), g);
    return img;
}

} // namespace

// The search widgets reach the map through this. Transport, rubricator, filter list, statistics and
// the card menu keep the harmless defaults until those parts exist.
class MainSearchHost : public SearchHost {
public:
    explicit MainSearchHost(TfrmMain& frm) : frm_(frm) {}

    void RedrawMap(bool /*with3D*/) override { frm_.Redraw(true); }
    void StopMapMotion() override {
        if (frm_.motion) frm_.motion->StopMotion = true;
    }
    void FlyTo(float x, float y, float scale) override {
        if (!frm_.motion) return;
        frm_.motion->StopMotion = false;
        frm_.motion->FlyTo(x, y, scale);
        frm_.Redraw(true);
    }
    void SelectBuilding(int building) override {
        CityDb& db = *frm_.app().db;
        if (building < 0 || building >= int(db.Buildings.size())) return;
        frm_.hit.Forget(db);
        Activate(db.Buildings[std::size_t(building)], frm_.app().colors.active());
        frm_.hit.HitKind = otBuild;
        frm_.hit.HitIndex = building;
    }
    void SelectStreet(int street) override {
        CityDb& db = *frm_.app().db;
        if (street < 0 || street >= int(db.Streets.size())) return;
        frm_.hit.Forget(db);
        Activate(db.Streets[std::size_t(street)], frm_.app().colors.active());
        frm_.hit.HitKind = otStreet;
        frm_.hit.HitIndex = street;
    }
    void AllowMapMotion() override {
        if (frm_.motion) frm_.motion->StopMotion = false;
    }
    bool InBackground() const override { return frm_.app().AppState == QStringLiteral("back"); }
    void HideHints() override { frm_.HideHints(); }
    QSize MapSize() const override { return frm_.img->size(); }
    float FullScale() const override { return frm_.view.FullScale; }
    // The radius tool is not built yet: no circle.
    RadiusCircle Radius() const override { return {}; }
    void StartBlink() override {
        if (!frm_.motion || !frm_.motion->blink) return;
        frm_.display.BlinkCounter = 0;
        frm_.timBlink->start();
    }
    void StopBlink() override {
        frm_.timBlink->stop();
        frm_.display.BlinkCounter = 0;
        if (frm_.display.ShownObjects.ids.empty()) return;
        frm_.display.ShownObjects = Tbo{};
        frm_.Redraw(true);
    }
    void OpenIcq(const QString& number) override { ShellOpen(IcqMessagePage(IcqSite(), number)); }
    void FocusDefocus() override { frm_.edDefocus->setFocus(); }
    bool ResultPanelVisible() const override { return frm_.pnlResult->isVisible(); }
    void SaveSettings() override { ::SaveSettings(frm_.app().settings); }
    void CardMenu(const QPoint& globalPos, int org) override { frm_.cardExport->Popup(globalPos, org); }

private:
    TfrmMain& frm_;
};

TfrmMain::TfrmMain(AppContext& app, QWidget* parent)
    : QWidget(parent), app_(app), searchHost_(std::make_unique<MainSearchHost>(*this)) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Тессара"));
    setMinimumSize(800, 560);
    resize(1280, 860);
    BuildLayout();
    BuildHintPanels();

    auto timer = [this](const char* name, int ms, bool singleShot = false) {
        auto* t = new QTimer(this);
        t->setObjectName(QString::fromLatin1(name));
        t->setInterval(ms);
        t->setSingleShot(singleShot);
        return t;
    };
    timMove = timer("timMove", 50);
    timSmooth = timer("timSmooth", 100);
    timStop = timer("timStop", 100);
    timFlow = timer("timFlow", 50);
    timBlink = timer("timBlink", 300);
    timHint = timer("timHint", 700);
    timHideHint = timer("timHideHint", 5000);
    timStart = timer("timStart", 1, true);
    timClose = timer("timClose", 1, true);
    connect(timMove, &QTimer::timeout, this, [this] {
        if (motion) motion->EdgeScrollTick(screenCursor_);
    });
    connect(timSmooth, &QTimer::timeout, this, [this] {
        if (motion) motion->SmoothTick(false);
    });
    connect(timStop, &QTimer::timeout, this, [this] {
        if (motion) motion->PanRestTick();
    });
    connect(timFlow, &QTimer::timeout, this, [this] {
        if (motion) motion->GlideTick();
    });
    connect(timBlink, &QTimer::timeout, this, [this] {
        if (motion) motion->BlinkTick();
    });
    connect(timHint, &QTimer::timeout, this, [this] {
        timHint->stop();
        // Showing a widget under the pointer sends enter and leave events at once, which may hide
        // the hints again: nothing is touched through shownHint after show().
        QWidget* panel = shownHint;
        if (!panel) return;
        panel->raise();
        panel->show();
        if (shownHint == panel) timHideHint->start();
    });
    connect(timHideHint, &QTimer::timeout, this, &TfrmMain::HideHints);
    connect(timStart, &QTimer::timeout, this, &TfrmMain::timStartTimer);
    connect(timClose, &QTimer::timeout, this, [this] {
        closing_ = true;
        close();
        closing_ = false;
    });

    frmQuit = new TfrmQuit(app_, this);
    frmHelp = new TfrmHelp(app_.settings, this);
    frmHelp->exeFolder = app_.folders.ExeFolder;
    app_.languageHooks.OnShellLang([this] { ChangeShellLang(); });
    app_.languageHooks.OnDataLang([this] { ChangeDataLang(); });
    WireMapImage();
    // The object tab's 100 ms timer serves what the server's thread leaves in pendingAddress.
    srv = std::make_unique<CommandServer>([&pending = app_.pendingAddress](const QString& address) {
        pending.Set(address);
    });
    cardExport = new CardExport(*list, this);
    // One application-wide filter sees the hint buttons, the tab bar and the map's messages; a second
    // one on a button would handle its events twice.
    qApp->installEventFilter(this);
}

TfrmMain::~TfrmMain() {
    // Its thread hands requests to pendingAddress: it ends first.
    srv.reset();
    qApp->removeEventFilter(this);
    if (screenCursor_) QApplication::restoreOverrideCursor();
    // The search widgets refer to the host, the map display and each other: they go first, the list's
    // panels before the list they paint.
    delete objectPage;
    delete pnlMore;
    delete criteria;
    delete pnlCaption;
    delete pnlCards;
    delete pnlMiniTools;
    delete list;
    map.reset();
}

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
        {&btnEstate, "btnEstate", "Estate", "⌂", QColor(0x8c, 0x3c, 0x1c), false},
        {&btnShowMap, "btnShowMap", "ShowMap", "▦", QColor(0x1c, 0x7c, 0x3c), true},
        {&btnTaxi, "btnTaxi", "Taxi", "TAXI", QColor(0xb0, 0x80, 0x00), true},
        {&btn911, "btn911", "911", "✚", QColor(0xc0, 0x10, 0x10), true},
        {&btnCafe, "btnCafe", "Cafe", "☕", QColor(0x6c, 0x3c, 0x1c), true},
        {&btnBankomat, "btnBankomat", "Bankomat", "$", QColor(0x1c, 0x6c, 0x1c), true},
        {&btnNews, "btnNews", "News", "NEWS", QColor(0x30, 0x30, 0x30), false},
        {&btnNotes, "btnNotes", "Notes", "✎", QColor(0x30, 0x30, 0x80), false},
        {&btnAfisha, "btnAfisha", "Afisha", "★", QColor(0xa0, 0x20, 0x80), false},
        {&btnAdmin, "btnAdmin", "Admin", "⚑", QColor(0x80, 0x10, 0x10), false},
        {&btnWeather, "btnWeather", "Weather", "☀", QColor(0xd0, 0x80, 0x00), false},
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
        auto* c = new QComboBox(page);
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

void TfrmMain::FormCreate(const std::function<void()>& step) {
    app_.AppState = QStringLiteral("start");
    display = MapDisplay{};
    display.Marks.Clear();
    if (!filterInstalled_) {
        connect(qApp, &QApplication::focusChanged, this,
                [this](QWidget*, QWidget* now) { ActiveControlChanged(now); });
        filterInstalled_ = true;
    }
    hit = MapHitTest{};
    motion.reset();
    map = std::make_unique<TMap>(*app_.db, view, display, app_.colors.active());
    map->CityLoaded();
    motion = std::make_unique<MapMotion>(view, display, *this);
    motion->KeysToMap = true;
    ApplySettingsToMap();
    img->source = &map->img;
    img->setCursor(app_.cursors.cursor(2));
    ActivateRussianLayout();
    LayoutPanels();
    if (step) {
        step(); // the rubric tree takes two steps of the bar
        step();
    }
    // The search index takes a noticeable moment on a large city: it is built while the bar shows.
    list->SetCity(app_.db.get(), &app_.city);
    if (step) step();
    StartAdvertising(app_, *imgBanner, *imgMapBanner, *imgRunningString);
    criteria->btnClearOrgClick();
    criteria->btnMore->setChecked(false);
    pnlMore->hide();
    pnlMore->move(pnlMore->x(), 44);
    if (!app_.db->Has3D) btn3D->setChecked(false);
    ShowMapPage();
    // A port in use leaves the program without the server; nothing else depends on it.
    srv->Start(app_.settings.Port, ReadCommandServerAnyHost());
}

void TfrmMain::ApplySettingsToMap() {
    const Settings& s = app_.settings;
    if (map) {
        map->options.flat = s.flat;
        map->options.smooth = s.smooth;
        map->options.metro = s.metro;
        map->options.marks = s.marks;
        map->options.ContourText = s.ContourText;
        map->options.DataLang = s.DataLang;
    }
    if (motion) {
        motion->jump = s.jump;
        motion->smooth = s.smooth;
        motion->blink = s.blink;
        motion->AutoScrollMap = s.AutoScrollMap;
    }
}

void TfrmMain::FirstShow() {
    setWindowState(windowState() | Qt::WindowMaximized);
    show();
    activateWindow();
    timStart->start();
    ChangeShellLang();
}

void TfrmMain::timStartTimer() {
    timStart->stop();
    app_.AppState.clear();
    if (map) {
        map->Resize(img->width(), img->height(), true, img->devicePixelRatioF());
        view.SetWorld(app_.db->WorldMinX, app_.db->WorldMinY, app_.db->WorldMaxX, app_.db->WorldMaxY);
        view.SetSurface(img->width(), img->height(), true);
    }
    btn3D->setChecked(!app_.settings.flat && app_.db->Has3D);
    list->ShowStartList();
    glMap->Apply();
    Redraw(true);
    sbCards->setFocus();
    if (app_.settings.ShowHelp) {
        frmHelp->cityFolder = app_.city.path;
        frmHelp->exec();
    }
    for (QComboBox* c : {cbRegion, cbType}) {
        ChangingPrompt = true;
        c->setEditText(c->toolTip());
        PaintField(c, true);
        ChangingPrompt = false;
    }
    // Logos of payment kinds and social networks, for the cards.
    qDeleteAll(pnlImages->findChildren<QLabel*>(Qt::FindDirectChildrenOnly));
    auto logo = [this](TImg& picture, const QString& name) {
        auto* l = new QLabel(pnlImages);
        l->setObjectName(name);
        try {
            if (const QImage* image = LoadImg(picture, TImgType::jpg, app_.city))
                l->setPixmap(QPixmap::fromImage(*image));
        } catch (const std::exception&) {
            // A damaged logo is left out; the card shows the kind's caption alone.
        }
    };
    for (size_t i = 0; i < app_.db->MoneyKinds.size(); ++i)
        logo(app_.db->MoneyKinds[i].logo, QStringLiteral("imgMoney%1").arg(i));
    for (size_t i = 0; i < app_.db->SocNets.size(); ++i)
        logo(app_.db->SocNets[i].logo, QStringLiteral("imgSocnet%1").arg(i));
    Redraw(true);
}

void TfrmMain::ChangeShellLang() {
    const int lang = app_.settings.ShellLang;
    const TCity* c = app_.Current();
    setWindowTitle(MainWindowCaption(c ? c->CityName : app_.LastCity, app_.ReleaseDate, lang));
    ChangingPrompt = true;
    RelabelWindow(this, MainWindowLabels(), lang);
    criteria->Relabel(lang);
    list->Relabel(lang);
    ChangingPrompt = false;
    for (const auto& fields :
         {std::vector<const char*>(std::begin(ObjectFields), std::end(ObjectFields)),
          std::vector<const char*>(std::begin(TransportFields), std::end(TransportFields))})
        for (const char* name : fields)
            if (QWidget* w = findChild<QWidget*>(QString::fromLatin1(name))) PaintField(w, true);
    pc->setTabToolTip(0, QString());
    // Hint panels fit their descriptions.
    for (const HintPanel& hp : MainWindowHintPanels()) {
        auto* panel = findChild<QWidget*>(QString::fromLatin1(hp.panel));
        auto* text = panel ? panel->findChild<QLabel*>(QString::fromLatin1(hp.description)) : nullptr;
        if (!text) continue;
        const QString titleName = QString::fromLatin1(hp.description).chopped(1);
        if (auto* title = panel->findChild<QLabel*>(titleName)) title->adjustSize();
        text->adjustSize();
        panel->resize(text->x() + text->width() + 10, text->y() + text->height() + 10);
    }
}

void TfrmMain::ChangeDataLang() {
    if (!app_.db) return;
    // Sorts and derives the estate agencies again; the search index follows, the cards and history empty.
    SortOrgsForDataLang(*app_.db, app_.settings.DataLang);
    ApplySettingsToMap();
    list->DataLangChanged();
}

void TfrmMain::LayoutPanels() {
    // The running text takes the window's foot.
    const int W = width(), H = height() - RunStringHeight;
    pnlRunString->setGeometry(0, H, W, RunStringHeight);
    imgRunningString->setGeometry(0, 0, W, RunStringHeight);
    const int rw = std::min(ResultWidth, std::max(W / 2, 200));
    const bool right = app_.settings.position == 1;
    const int mapW = W - rw;
    LayoutToolStrip(pnlTools, pnlSys, mapW, !right, ToolSize);
    if (right) {
        pnlResult->setGeometry(W - rw, 0, rw, H);
        pnlSys->setParent(pnlResult);
        pnlSys->move(rw - pnlSys->width() - 1, 2);
        pnlTools->setGeometry(0, 0, mapW, ToolsHeight);
        pnlMap->setGeometry(3, ToolsHeight, mapW - 3, H - ToolsHeight);
        pnlMore->move(pnlResult->x() - pnlMore->width() + 3, pnlMore->y());
    } else {
        pnlResult->setGeometry(0, 0, rw, H);
        pnlSys->setParent(pnlTools);
        pnlTools->setGeometry(rw, 0, mapW, ToolsHeight);
        pnlSys->move(pnlTools->width() - pnlSys->width() - 1, 2);
        pnlMap->setGeometry(rw + 2, ToolsHeight, mapW - 2, H - ToolsHeight);
        pnlMore->move(pnlResult->x() + rw - 3, pnlMore->y());
    }
    pnlSys->show();
    pnlSys->raise();
    img->setGeometry(0, 0, pnlMap->width(), pnlMap->height());
    // Both renderers cover the same pixels, so that what a click hits is what is shown.
    imgGL->setGeometry(img->geometry());
    pnlMapTools->raise();
    pnlWeb->setGeometry(4, 4, pnlMap->width() - 12, pnlMap->height() - 12);
    pnlBanner->move(pnlMap->width() - 180, pnlMap->height() - 90);
    pnlBanner->raise();

    // Inside the directory panel: tabs, the result area and the bottom banner.
    // The caption and tool bar keep the heights the list gives them; the cards' image and scroll bar
    // follow pnlCards through its layout.
    const int pcHeight = 250, bannerHeight = 96;
    const int captionHeight = pnlCaption->height(), toolsHeight = pnlMiniTools->height();
    pc->setGeometry(0, 2, rw, pcHeight);
    pnlCaption->setGeometry(0, pcHeight + 4, rw, captionHeight);
    pnlMiniTools->setGeometry(0, pcHeight + 4 + captionHeight, rw, toolsHeight);
    const int cardsTop = pcHeight + 4 + captionHeight + toolsHeight;
    const int cardsHeight = std::max(0, H - cardsTop - bannerHeight - 4);
    pnlCards->setGeometry(0, cardsTop, rw, cardsHeight);
    pnl->setGeometry(0, H - bannerHeight - 2, rw, bannerHeight);
    imgBanner->setGeometry(2, 2, rw - 4, bannerHeight - 4);
}

void TfrmMain::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    LayoutPanels();
    if (app_.AppState == QStringLiteral("back") || !map) return;
    // A view showing the whole city keeps showing it when the window changes size (maximising
    // may come after the deferred start), so the scale never stays above the full-map scale.
    const bool wholeCity = view.Scale >= view.FullScale - 0.00001f;
    map->Resize(img->width(), img->height(), app_.AppState == QStringLiteral("start") || wholeCity,
                img->devicePixelRatioF());
    Redraw(true);
}

// ---- Map drawing and motion ----

void TfrmMain::Redraw(bool full) {
    if (!map || app_.AppState == QStringLiteral("quit")) return;
    ApplySettingsToMap();
    if (glMap->Active()) {
        glMap->Redraw();
        return;
    }
    map->DrawGDI(nullptr, full);
    img->update();
}

void TfrmMain::ProcessEvents() {
    QApplication::processEvents();
}

void TfrmMain::Wait(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, std::max<int>(1, ms - t.elapsed()));
}

void TfrmMain::StartTimer(MotionTimer t) {
    switch (t) {
    case MotionTimer::Move:
        timMove->start();
        break;
    case MotionTimer::Smooth:
        timSmooth->start();
        break;
    // Enabling a running timer does not restart it.
    case MotionTimer::Stop:
        if (!timStop->isActive()) timStop->start();
        break;
    case MotionTimer::Flow:
        timFlow->start();
        break;
    case MotionTimer::Blink:
        timBlink->start();
        break;
    }
}

void TfrmMain::StopTimer(MotionTimer t) {
    switch (t) {
    case MotionTimer::Move:
        timMove->stop();
        break;
    case MotionTimer::Smooth:
        timSmooth->stop();
        break;
    case MotionTimer::Stop:
        timStop->stop();
        break;
    case MotionTimer::Flow:
        timFlow->stop();
        break;
    case MotionTimer::Blink:
        timBlink->stop();
        break;
    }
}

void TfrmMain::ShowMapPage() {
    btnShowMap->setChecked(true);
    pnlWeb->hide();
    pnlMap->show();
}

void TfrmMain::ClearShownObjects() {
    display.ShownObjects = Tbo{};
}

void TfrmMain::WaitForDrawing() {
    while (map && map->Drawing)
        QApplication::processEvents();
}

// ---- Cursors ----

void TfrmMain::SetScreenCursor(int number) {
    if (number == screenCursor_) return;
    if (number == 0) {
        QApplication::restoreOverrideCursor();
    } else {
        const QCursor& c = app_.cursors.cursor(number);
        if (screenCursor_ == 0)
            QApplication::setOverrideCursor(c);
        else
            QApplication::changeOverrideCursor(c);
    }
    screenCursor_ = number;
}

void TfrmMain::ConfineCursor(const QRect& screenRect) {
    confine_ = screenRect;
    confined_ = true;
}

void TfrmMain::ReleaseCursor() {
    confined_ = false;
}

int TfrmMain::EdgeCursorAt(QPoint p) const {
    const bool top = p.y() < EdgeBand, bottom = p.y() >= img->height() - EdgeBand;
    const bool left = p.x() < EdgeBand, right = p.x() >= img->width() - EdgeBand;
    if (top && left) return EdgeUpLeft;
    if (top && right) return EdgeUpRight;
    if (bottom && left) return EdgeDownLeft;
    if (bottom && right) return EdgeDownRight;
    if (top) return EdgeUp;
    if (bottom) return EdgeDown;
    if (left) return EdgeLeft;
    if (right) return EdgeRight;
    return 0;
}

// ---- Map input ----

void TfrmMain::imgMouseDown(Qt::MouseButton button, QPoint pos, QPoint global) {
    if (!map || !motion) return;
    motion->StopMotion = true;
    motion->KeysToMap = true;
    if (timBlink->isActive()) {
        timBlink->stop();
        display.ShownObjects = Tbo{};
        display.BlinkCounter = 0;
        Redraw(true);
    }
    edDefocus->setFocus();
    if (button == Qt::RightButton) return;
    if (screenCursor_ >= EdgeUp && screenCursor_ <= EdgeDownRight) {
        motion->StartEdgeScroll();
        return;
    }
    QString& state = app_.AppState;
    if (state == QStringLiteral("scale")) {
        state = QStringLiteral("scale_move");
        PressPoint = LastPoint = pos;
        ZoomHalfSize = 0;
        ConfineCursor(QRect(img->mapToGlobal(QPoint(0, 0)), img->size()));
        return;
    }
    if (!state.isEmpty()) return;
    state = QStringLiteral("move");
    PressPoint = LastPoint = global;
    const QRect r(img->mapToGlobal(QPoint(0, 0)), img->size());
    ConfineCursor(r.adjusted(10, 12, -15, -19));
}

void TfrmMain::imgMouseMove(QPoint pos, QPoint global) {
    if (!map || !motion) return;
    if (pos == lastMovePos_) return;
    lastMovePos_ = pos;
    if (confined_ && !confine_.contains(global)) {
        const QPoint clamped(std::clamp(global.x(), confine_.left(), confine_.right()),
                             std::clamp(global.y(), confine_.top(), confine_.bottom()));
        QCursor::setPos(clamped);
        global = clamped;
        pos = img->mapFromGlobal(global);
    }
    const QString& state = app_.AppState;
    if (state == QStringLiteral("move")) {
        SetScreenCursor(1);
        if (view.Scale == view.FullScale) {
            // At full-map scale the map cannot move: the pointer stays where it was pressed.
            ConfineCursor(QRect(PressPoint, QSize(1, 1)));
            return;
        }
        motion->AddPanSample(global.x(), global.y(), QDateTime::currentMSecsSinceEpoch());
        if (global != LastPoint) {
            timSmooth->stop();
            display.SmoothNow = false;
            display.TextsOn = false;
            view.OriginX -= view.ToWorld(global.x() - LastPoint.x());
            view.OriginY -= view.ToWorld(global.y() - LastPoint.y());
            LastPoint = global;
            Redraw(true);
            timSmooth->start();
        }
        return;
    }
    if (state == QStringLiteral("scale_move")) {
        const int r = std::max(std::abs(pos.x() - PressPoint.x()), std::abs(pos.y() - PressPoint.y()));
        if (app_.settings.ScaleMode == 0) {
            auto square = [this](int h) {
                return QRect(PressPoint.x() - h, PressPoint.y() - h, 2 * h, 2 * h);
            };
            if (ZoomHalfSize > 0) img->InvertFrame(square(ZoomHalfSize));
            ZoomHalfSize = r;
            if (ZoomHalfSize > 0) img->InvertFrame(square(ZoomHalfSize));
        } else {
            ZoomHalfSize = r;
            if (LastPoint != PressPoint) img->InvertFrame(QRect(PressPoint, LastPoint));
            if (pos != PressPoint) img->InvertFrame(QRect(PressPoint, pos));
        }
        LastPoint = pos;
        return;
    }
    if (!state.isEmpty()) return;
    // Hovering: the edge cursors tell where a press scrolls the map.
    SetScreenCursor(EdgeCursorAt(pos));
    // Held past the edge band, the map stops scrolling.
    if (motion->EdgeScrolling && screenCursor_ == 0) motion->StopEdgeScroll();
}

void TfrmMain::imgMouseUp(Qt::MouseButton button, QPoint pos, QPoint global) {
    if (!map || !motion) return;
    timStop->stop();
    ReleaseCursor();
    if (button == Qt::RightButton) {
        pmMap->popup(global);
        return;
    }
    // Edge scrolling ends with the press that began it, wherever the pointer is now.
    if (motion->EdgeScrolling || (screenCursor_ >= EdgeUp && screenCursor_ <= EdgeDownRight)) {
        motion->StopEdgeScroll();
        return;
    }
    QString& state = app_.AppState;
    const bool click = state == QStringLiteral("move") &&
                       std::abs(global.x() - PressPoint.x()) <= ClickTolerance &&
                       std::abs(global.y() - PressPoint.y()) <= ClickTolerance;
    if (!click) {
        if (state == QStringLiteral("move")) {
            state.clear();
            SetScreenCursor(0);
            motion->StopMotion = false;
            if (motion->AutoScrollMap) motion->StartGlide();
        } else if (state == QStringLiteral("scale_move")) {
            state.clear();
            btnScale->setChecked(false);
            img->setCursor(app_.cursors.cursor(2));
            const ZoomTarget t =
                view.ZoomToRect(PressPoint.x(), PressPoint.y(), pos.x(), pos.y(), app_.settings.ScaleMode);
            motion->FlyTo(t.x, t.y, t.scale);
            Redraw(true);
        }
        return;
    }
    ObjectClick(pos.x(), pos.y());
    Redraw(true);
    state.clear();
    SetScreenCursor(0);
}

void TfrmMain::ObjectClick(int cx, int cy) {
    const HitOptions options{app_.settings.flat, app_.settings.metro};
    hit.HitTest(*app_.db, view, display, app_.colors.active(), options, MakeStreetPixelTest(view), cx, cy);
    if (hit.HitKind == otBuild) {
        list->BuildingClicked(hit.HitIndex);
    } else if (hit.HitKind != otNone || list->pnlCaption->text() == LangText(u"OrgInBuild")) {
        // A click beside every object leaves a search result alone, but not a building's list.
        list->ClearResults();
    }
    if (objectClicked) objectClicked(hit.HitKind, hit.HitIndex);
}

void TfrmMain::imgMouseLeave() {
    if (app_.AppState.isEmpty()) SetScreenCursor(0);
    if (motion) motion->StopEdgeScroll();
    lastMovePos_ = QPoint(-1, -1);
}

// ---- Tool buttons ----

void TfrmMain::ZoomStep(bool in) {
    if (!map) return;
    if (in ? view.ZoomIn() : view.ZoomOut()) {
        timSmooth->stop();
        display.SmoothNow = false;
        display.TextsOn = false;
        Redraw(true);
        timSmooth->start();
    }
}

void TfrmMain::btnIncScaleClick() {
    ZoomStep(true);
}
void TfrmMain::btnDecScaleClick() {
    ZoomStep(false);
}

void TfrmMain::btnFullMapClick() {
    view.FullMap();
    Redraw(true);
}

void TfrmMain::btnScaleClick() {
    if (btnScale->isChecked()) {
        img->setCursor(app_.cursors.cursor(12));
        app_.AppState = QStringLiteral("scale");
    } else {
        img->setCursor(app_.cursors.cursor(2));
        app_.AppState.clear();
    }
}

void TfrmMain::btn3DClick() {
    if (app_.db && app_.db->Has3D) {
        app_.settings.flat = !btn3D->isChecked();
        Redraw(true);
    } else {
        QMessageBox::information(this, windowTitle(), LangText(u"UnknownHeight"));
        btn3D->setChecked(false);
    }
}

void TfrmMain::btnSwitchMapToolsClick() {
    if (pnlMapTools->property("tag").toInt() == 1) {
        pnlMapTools->setProperty("tag", 0);
        pnlMapTools->resize(pnlMapTools->width(), btnSwitchMapTools->height() + 8);
    } else {
        pnlMapTools->setProperty("tag", 1);
        pnlMapTools->resize(pnlMapTools->width(), btnPrint->y() + btnPrint->height() + 4);
    }
}

void TfrmMain::btnPhonesClick() {
    if (app_.settings.PhoneBook.isEmpty()) {
        QMessageBox::information(this, windowTitle(), WithLineBreaks(LangText(u"PhonebookNotFound")));
        btnOptionsClick();
        if (app_.settings.PhoneBook.isEmpty()) return;
    }
    const QFileInfo program(app_.settings.PhoneBook);
    if (!QProcess::startDetached(program.absoluteFilePath(), {}, program.absolutePath()))
        ShellOpen(program.absoluteFilePath());
}

void TfrmMain::btnEstateClick() {
    HideHints();
    searchHost_->HideFilterList();
    btnEstate->setDown(false);
    QStringList materials;
    for (int i = 0; i < cbMaterial->count(); ++i)
        materials << cbMaterial->itemText(i);
    if (!frmEstate_) {
        frmEstate_ = new TfrmEstate(app_, materials, this);
        frmEstate_->showOnMap = [this](const TFlat& offer) {
            ShowOfferOnMap(offer, *app_.db, app_.settings.DataLang, *list, *searchHost_, display);
        };
    }
    frmEstate_->SetMaterials(materials);
    frmEstate_->Prepare();
    frmEstate_->exec();
}

void TfrmMain::btnHelpClick() {
    HideHints();
    OpenUserManual(this, app_.folders.ExeFolder, app_.settings.ShellLang, app_.city.path);
}

void TfrmMain::btnOptionsClick() {
    TfrmOptions frm(app_.settings, app_.colors, this);
    frm.SetDataLangNames(app_.db ? app_.db->DataLangNames.mid(0, app_.db->DataLangCount) : QStringList());
    frm.colorsChanged = [this] {
        if (app_.db) RecolorObjects(*app_.db, app_.colors.active());
        Redraw(true);
    };
    const int r = runOptions ? runOptions(frm) : frm.exec();
    if (r == QDialog::Accepted) {
        glMap->Apply();
        app_.languageHooks.ChangeDataLang();
        app_.languageHooks.ChangeShellLang();
        LayoutPanels();
        update();
        Redraw(true);
    }
    btn3D->setChecked(!app_.settings.flat);
}

void TfrmMain::btnUpdateClick() {
    HideHints();
    // The map takes no gestures while the download window runs.
    app_.AppState = QStringLiteral("back");
    app_.RunDownload(this, false, true);
    if (!app_.Outcome.InstallerLaunched && app_.Outcome.CurrentCityUpdated) {
        // The loaded city's file was replaced: the window closes to the start window, which lists it afresh.
        app_.AppState = QStringLiteral("back");
        timClose->start();
        return;
    }
    // After a failed component ("error") or a fetched installer ("quit") the map works and draws again.
    // The photo index of the loaded city is read again by the download window.
    app_.AppState.clear();
    Redraw(true);
}

// ---- Hover hints ----

void TfrmMain::PlaceHintPanel(QWidget* panel, int left, int top, int rightMargin) {
    if (rightMargin >= 0) {
        left = std::min(left, width() - panel->width() - rightMargin);
        left = std::max(left, 0);
    }
    panel->move(left, top);
    auto* image = panel->findChild<QLabel*>(QStringLiteral("imgHint") + panel->objectName().mid(7));
    if (image) {
        QImage picture = image->property("background").value<QImage>().scaled(panel->size());
        QPainter p(&picture);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(0x80, 0x80, 0x80));
        p.drawRoundedRect(QRectF(0.5, 0.5, panel->width() - 1, panel->height() - 1), 6, 6);
        p.end();
        image->setGeometry(panel->rect());
        image->setPixmap(QPixmap::fromImage(picture));
        image->lower();
    }
    QPainterPath path;
    path.addRoundedRect(QRectF(panel->rect()), 5, 5);
    panel->setMask(QRegion(path.toFillPolygon().toPolygon()));
    shownHint = panel;
    timHint->start();
}

void TfrmMain::ShowHint(QWidget* button) {
    const QString part = button->property("hintName").toString();
    if (part.isEmpty()) return;
    auto* panel = findChild<QWidget*>(QStringLiteral("pnlHint") + part);
    if (!panel) return;
    HideHints();
    if (auto* icon = qobject_cast<QLabel*>(panel->property("icon").value<QObject*>());
        icon && qobject_cast<QToolButton*>(button))
        icon->setPixmap(static_cast<QToolButton*>(button)->icon().pixmap(28, 28));
    QWidget* parent = button->parentWidget();
    if (parent == pnlTools) {
        PlaceHintPanel(panel, button->x() + pnlTools->x(), pnlMap->y() + 16, 10);
    } else if (parent == pnlMapTools) {
        // Beside the strip, never over it: moved left to fit, the panel would cover its own button.
        PlaceHintPanel(panel, pnlMap->x() + pnlMapTools->x() + pnlMapTools->width() + 8,
                       pnlMap->y() + pnlMapTools->y() + button->y() + 3, -1);
    } else if (parent == pnlSys) {
        PlaceHintPanel(panel, button->x() + pnlSys->x() + pnlSys->parentWidget()->x(), pnlMap->y() + 10, 20);
    } else {
        // The rubric button of the organisation page.
        PlaceHintPanel(panel, button->x() + pnlResult->x(), button->y() + 80, 10);
    }
}

void TfrmMain::HideHints() {
    timHint->stop();
    timHideHint->stop();
    if (shownHint) shownHint->hide();
    shownHint = nullptr;
    lastTabSlot = -1;
}

void TfrmMain::TabHint(QPoint pos) {
    const int slot = pos.x() / TabSlot;
    if (slot > 2 || pos.x() < 3 || pos.y() > 50) {
        HideHints();
        return;
    }
    if (slot == lastTabSlot) return;
    HideHints();
    lastTabSlot = slot;
    static const char* const panels[] = {"pnlHintCriteria", "pnlHintObject", "pnlHintTransport"};
    auto* panel = findChild<QWidget*>(QString::fromLatin1(panels[slot]));
    if (!panel) return;
    if (auto* icon = qobject_cast<QLabel*>(panel->property("icon").value<QObject*>()))
        icon->setPixmap(pc->tabIcon(slot).pixmap(28, 28));
    int left = pnlResult->x() + slot * TabSlot + 3;
    if (left + panel->width() > width()) left = width() - panel->width() - 10;
    PlaceHintPanel(panel, left, pnlMap->y() + 10, 10);
    lastTabSlot = slot;
}

// ---- Prompts ----

void TfrmMain::ActiveControlChanged(QWidget* now) {
    if (app_.AppState == QStringLiteral("quit") || !now || now->window() != this) return;
    std::vector<const char*> fields;
    QWidget* page = pc->currentWidget();
    if (page == pgCriteria) return; // TOrgCriteria shows and hides its prompts itself
    if (page == pgObject)
        fields.assign(std::begin(ObjectFields), std::end(ObjectFields));
    else
        fields.assign(std::begin(TransportFields), std::end(TransportFields));
    ChangingPrompt = true;
    for (const char* name : fields) {
        QWidget* w = findChild<QWidget*>(QString::fromLatin1(name));
        if (!w) continue;
        const bool focused = w == now || w->isAncestorOf(now);
        const QString prompt = w->toolTip();
        const QString text = FieldText(w);
        if (!focused && text.isEmpty()) {
            SetFieldText(w, prompt);
            PaintField(w, true);
        } else if (focused && text == prompt) {
            SetFieldText(w, QString());
            PaintField(w, false);
        } else if (focused) {
            PaintField(w, false);
        }
    }
    ChangingPrompt = false;
}

// ---- Wheel and keys ----

bool TfrmMain::eventFilter(QObject* o, QEvent* e) {
    if (auto* b = qobject_cast<QToolButton*>(o); b && b->property("hintName").isValid()) {
        if (e->type() == QEvent::Enter)
            ShowHint(b);
        else if (e->type() == QEvent::Leave)
            HideHints();
    }
    if (o == pc->tabBar()) {
        if (e->type() == QEvent::MouseMove)
            TabHint(pc->tabBar()->mapTo(pc, static_cast<QMouseEvent*>(e)->position().toPoint()));
        else if (e->type() == QEvent::Leave)
            HideHints();
    }
    return HandleMessages(o, e);
}

bool TfrmMain::HandleMessages(QObject* o, QEvent* e) {
    if (app_.AppState == QStringLiteral("quit") || !map || !isVisible()) return false;
    switch (e->type()) {
    case QEvent::Wheel:
        return HandleWheel(static_cast<QWheelEvent*>(e));
    case QEvent::KeyPress: {
        // Keys are the main window's only while it is the active window with nothing modal or popped up
        // over it: a dialog keeps Escape, F1, F3 and the map keys for itself.
        if (QApplication::activeWindow() != this || QApplication::activeModalWidget() ||
            QApplication::activePopupWidget())
            return false;
        // The filter sees a key once for each widget it travels to; act on its first receiver.
        QWidget* first =
            QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
        if (o != first) return false;
        return HandleKey(static_cast<QKeyEvent*>(e));
    }
    default:
        return false;
    }
}

bool TfrmMain::HandleWheel(QWheelEvent* e) {
    const QPoint global = e->globalPosition().toPoint();
    const QRect r = QRect(img->mapToGlobal(QPoint(0, 0)), img->size()).adjusted(5, 5, -5, -5);
    if (!r.contains(global) || !btnShowMap->isChecked() || !img->isVisible()) return false;
    if (QApplication::activeModalWidget()) return false;
    motion->StopMotion = true;
    const int delta = e->angleDelta().y();
    if (delta == 0) return true;
    const bool forward = delta > 0;
    const bool zoomIn = app_.settings.invert ? forward : !forward;
    const QPoint pos = img->mapFromGlobal(global);
    if (view.ZoomAboutCursor(pos.x(), pos.y(), zoomIn)) {
        timSmooth->stop();
        display.SmoothNow = false;
        display.TextsOn = false;
        Redraw(true);
        timSmooth->start();
    }
    return true;
}

bool TfrmMain::SearchFieldFocused() const {
    if (QWidget* f = QApplication::focusWidget())
        for (const char* name : KeyFields) {
            QWidget* field = findChild<QWidget*>(QString::fromLatin1(name));
            if (field && (field == f || field->isAncestorOf(f))) return true;
        }
    return false;
}

bool TfrmMain::KeysReachMap() const {
    if (!isVisible() || !motion || !motion->KeysToMap || QApplication::activeModalWidget()) return false;
    return !SearchFieldFocused();
}

bool TfrmMain::HandleKey(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_F1:
        btnHelpClick();
        return true;
    case Qt::Key_F3:
        btn3D->setChecked(!btn3D->isChecked());
        btn3DClick();
        return true;
    case Qt::Key_Escape:
        motion->StopMotion = true;
        // A search field still gets it: Escape empties the field.
        return !SearchFieldFocused();
    default:
        break;
    }
    if (!KeysReachMap()) return false;
    const int step = (e->modifiers() & Qt::ShiftModifier) ? 50 : 10;
    const float oldX = view.OriginX, oldY = view.OriginY;
    const bool keypad = e->modifiers() & Qt::KeypadModifier;
    switch (e->key()) {
    case Qt::Key_Left:
        view.OriginX -= view.ToWorld(step);
        break;
    case Qt::Key_Right:
        view.OriginX += view.ToWorld(step);
        break;
    case Qt::Key_Up:
        view.OriginY -= view.ToWorld(step);
        break;
    case Qt::Key_Down:
        view.OriginY += view.ToWorld(step);
        break;
    case Qt::Key_Minus:
        if (!keypad) return false;
        view.ZoomOut();
        Redraw(true);
        break;
    case Qt::Key_Plus:
        if (!keypad) return false;
        view.ZoomIn();
        Redraw(true);
        break;
    default:
        return false;
    }
    view.CorrectPosition();
    motion->StopMotion = true;
    if (std::fabs(view.OriginX - oldX) > 0.00001f || std::fabs(view.OriginY - oldY) > 0.00001f) Redraw(true);
    return true;
}

// ---- Closing ----

void TfrmMain::closeEvent(QCloseEvent* e) {
    if (!closing_) {
        e->ignore();
        HideHints();
        if (motion) motion->StopMotion = true;
        WaitForDrawing();
        const int r = frmQuit->exec();
        if (r == TfrmQuit::Quit) {
            app_.AppState = QStringLiteral("quit");
            timClose->start();
        } else if (r == TfrmQuit::Change) {
            app_.AppState = QStringLiteral("back");
            if (frmEstate_) frmEstate_->Reset();
            timClose->start();
        }
        return;
    }
    FormClose();
    e->accept();
}

void TfrmMain::FormClose() {
    if (app_.AppState != QStringLiteral("back")) app_.AppState = QStringLiteral("quit");
    WaitForDrawing();
    HideHints();
    criteria->btnMore->setChecked(false);
    pnlMore->hide();
    srv->Stop();
    // The list lets go of the city before it is released.
    list->SetCity(nullptr, nullptr);
    for (QTimer* t : {timMove, timSmooth, timStop, timFlow, timBlink, timStart})
        t->stop();
    SetScreenCursor(0);
    img->source = nullptr;
    StopAdvertising(*imgBanner, *imgMapBanner, *imgRunningString);
    // The city is released: the renderer first, as it refers to the city.
    motion.reset();
    map.reset();
    hit = MapHitTest{};
    display = MapDisplay{};
    app_.db = std::make_unique<CityDb>();
    pc->setCurrentWidget(pgCriteria);
    if (app_.AppState == QStringLiteral("quit")) {
        emit quitting();
        return;
    }
    ShowMapPage();
    emit wentBack();
}
