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
#include "MapPrintActions.h"
#include "MapRenderer.h"
#include "MinimapPanel.h"
#include "ObjectState.h"
#include "OpeningView.h"
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
#include "TransportPanel.h"
#include "AdBanners.h"
#include "Advertising.h"
#include "TfrmQuit.h"
#include "UserManual.h"
#include "MapTools.h"
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
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

using namespace MainWindowParts;


// The search widgets reach the map and the statistics requests through this.
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
    void CloseRuler() override {
        if (frm_.tools) frm_.tools->CloseRuler();
    }
    QSize MapSize() const override { return frm_.img->size(); }
    float FullScale() const override { return frm_.view.FullScale; }
    RadiusCircle Radius() const override { return frm_.tools ? frm_.tools->Circle() : RadiusCircle{}; }
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
    void HighlightStop(int stopId, bool on) override {
        CityDb& db = *frm_.app().db;
        for (TBusStop& s : db.BusStops)
            if (s.id_ == stopId) {
                on ? Activate(s, frm_.app().colors.active()) : Deactivate(s);
                return;
            }
    }
    void ShowRouteOnMap(const QString& number) override {
        if (frm_.transport) frm_.transport->ShowRouteOnMap(number);
    }
    void ShowStopOnMap(int stopId) override {
        if (frm_.transport) frm_.transport->ShowStopOnMap(stopId);
    }
    void OpenIcq(const QString& number) override { ShellOpen(IcqMessagePage(IcqSite(), number)); }
    void OrgViewed(int orgId) override { frm_.app().vendor.IncOrg(orgId, frm_.app().city.FileName); }
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
    tools = std::make_unique<TMapTools>(*this);
    // The object tab's 100 ms timer serves what the server's thread leaves in pendingAddress.
    srv = std::make_unique<CommandServer>([&pending = app_.pendingAddress](const QString& address) {
        pending.Set(address);
    });
    cardExport = new CardExport(*list, this);
    minimap = new MinimapPanel(pnlMinimap, view);
    minimap->flyTo = [this](float x, float y, float scale) {
        if (motion) motion->FlyTo(x, y, scale);
    };
    minimap->pressed = [this] {
        if (motion) motion->KeysToMap = true;
        if (pnlResult->isVisible()) edDefocus->setFocus();
    };
    minimap->scaleMode = [this] { return int(app_.settings.ScaleMode); };
    minimap->busy = &list->ClickBusy();
    mapPrint = new MapPrintActions(*this);
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
    delete transport;
    delete objectPage;
    delete pnlMore;
    delete criteria;
    delete pnlCaption;
    delete pnlCards;
    delete pnlMiniTools;
    delete list;
    map.reset();
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
    tools->CityLoaded();
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
    webTabs->CityLoaded();
    ShowMapPage();
    // A port in use leaves the program without the server; nothing else depends on it. The local socket
    // serves only this user.
    srv->Start(app_.settings.Port, ReadCommandServerAnyHost(), CommandSocketPath());
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
    // Where the window manager does not maximise the window (some do not), it still fits the screen: at
    // 150 % on a small screen the designed size would put the result panel out of reach.
    if (const QScreen* sc = screen()) {
        const QRect free = sc->availableGeometry();
        // Room for the window manager's title bar and frame.
        const int w = std::max(minimumWidth(), std::min(width(), free.width() - 8)),
                  h = std::max(minimumHeight(), std::min(height(), free.height() - 40));
        resize(w, h);
        move(free.left() + std::max(0, (free.width() - w) / 2),
             free.top() + std::max(0, (free.height() - h - 32) / 2));
    }
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
        minimap->Build(*map, view, display, img->width(), img->height(), img->devicePixelRatioF());
        OpenAtBuiltUpArea(*app_.db, view);
    }
    btn3D->setChecked(!app_.settings.flat && app_.db->Has3D);
    list->ShowStartList();
    glMap->Apply();
    tools->MapShown();
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
        // Beside the panel, but clear of the map's tool buttons at the map's left edge.
        pnlMore->move(pnlMap->x() + pnlMapTools->x() + pnlMapTools->width() + 4, pnlMore->y());
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
    if (minimap) minimap->Place();

    // Inside the directory panel: tabs, the result area and the bottom banner.
    // The caption and tool bar keep the heights the list gives them; the cards' image and scroll bar
    // follow pnlCards through its layout.
    const int pcHeight = 250, bannerHeight = imgBanner->height() + 4;
    const int captionHeight = pnlCaption->height(), toolsHeight = pnlMiniTools->height();
    pc->setGeometry(0, 2, rw, pcHeight);
    pnlCaption->setGeometry(0, pcHeight + 4, rw, captionHeight);
    pnlMiniTools->setGeometry(0, pcHeight + 4 + captionHeight, rw, toolsHeight);
    const int cardsTop = pcHeight + 4 + captionHeight + toolsHeight;
    const int cardsHeight = std::max(0, H - cardsTop - bannerHeight - 4);
    pnlCards->setGeometry(0, cardsTop, rw, cardsHeight);
    pnl->setGeometry(0, H - bannerHeight - 2, rw, bannerHeight);
    // The banner keeps its designed size (pictures are made for it), centred in the panel.
    imgBanner->move(std::max(0, (rw - imgBanner->width()) / 2), 2);
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
        // The frame is drawn when the surface paints; the minimap follows the view as it will be drawn.
        view.CorrectPosition();
    } else {
        map->DrawGDI(nullptr, full);
        img->update();
    }
    if (minimap) minimap->ViewChanged();
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
    if (webTabs) webTabs->Cancel();
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
    tools->CityClosed();
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
    // Back to the start window, whether the user changed city or an update replaced this one: the
    // real-estate lists refer to the city just released.
    if (frmEstate_) frmEstate_->Reset();
    ShowMapPage();
    emit wentBack();
}
