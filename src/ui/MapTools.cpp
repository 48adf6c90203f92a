#include "MapTools.h"

#include "Advertising.h"
#include "AppContext.h"
#include "CityFile.h"
#include "MapRenderer.h"
#include "Pictures.h"
#include "TMapImage.h"
#include "TextTable.h"
#include "TfrmMain.h"
#include "TfrmMeas.h"

#include <QAction>
#include <QCheckBox>
#include <QCursor>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <cmath>

namespace {

// Cursors of the radius handles.
constexpr int CursorSideHor = 13, CursorSideVer = 14, CursorCentre = 15;
// Image cursors besides the numbered ones.
constexpr int ArrowCursor = -1, HandCursor = -2;

} // namespace

TMapTools::TMapTools(TfrmMain& frm) : frmMeas(new TfrmMeas(&frm)), frm_(frm) {
    frm_.btnMeas->setEnabled(true);
    frm_.btnMeas->setCheckable(true);
    frm_.btnRadius->setEnabled(true);
    frm_.btnRadius->setCheckable(true);
    connect(frm_.btnMeas, &QToolButton::clicked, this, &TMapTools::btnMeasClick);
    connect(frm_.btnRadius, &QToolButton::clicked, this, &TMapTools::btnRadiusClick);
    connect(frmMeas, &TfrmMeas::closed, this, &TMapTools::RulerClosed);
    connect(frmMeas, &TfrmMeas::cleared, this, [this] {
        meas.path.clear();
        frmMeas->txt->setText(LangText(u"FirstPoint"));
        frm_.Redraw(true);
    });
    connect(frmMeas, &TfrmMeas::nodesShown, this, [this](bool on) {
        meas.NodeVisible = on;
        frm_.Redraw(true);
    });
    auto toggleBanners = [this] {
        balloons.BannersShown = !balloons.BannersShown;
        ShowBannerMenu();
        OverlayRedraw();
    };
    connect(frm_.mnuHideBanners, &QAction::triggered, this, toggleBanners);
    connect(frm_.mnuShowBanners, &QAction::triggered, this, toggleBanners);
    langHook_ = frm_.app().languageHooks.OnShellLang([this] {
        frmMeas->Relabel();
        if (frmMeas->isVisible()) ShowDistance();
    });
    ShowBannerMenu();
}

TMapTools::~TMapTools() {
    frm_.app().languageHooks.Remove(langHook_);
}

// ---- Lifecycle ----

void TMapTools::CityLoaded() {
    balloons = TBalloonList{};
    meas.path.clear();
    radius.Hide();
    bannersMade_ = false;
    ShowBannerMenu();
    TMap& map = *frm_.map;
    map.drawRuler = [this](QPainter& p) {
        meas.color = frm_.app().colors.active().MeasColor;
        DrawRuler(p, meas, frm_.view, fonts_, frm_.app().settings.ShellLang);
        const QString& state = frm_.app().AppState;
        if (RulerOn() && pointerIn_ && (state.isEmpty() || state == QStringLiteral("move")))
            DrawRubberBand(p, meas, frm_.view, pointer_, meas.color);
        meas.NeedRedraw = false;
    };
    map.drawRadius = [this](QPainter& p) { DrawRadius(p, radius, frm_.view); };
    map.drawBalloons = [this](QPainter& p) {
        balloons.BannerScale = frm_.view.MapDetail();
        DrawBalloons(p, balloons, frm_.view, fonts_, frm_.app().settings.smooth);
        balloons.NeedRedraw = false;
    };
}

void TMapTools::MapShown() {
    if (bannersMade_ || !frm_.app().db) return;
    bannersMade_ = true;
    balloons.BannersShown = true;
    std::vector<TInfo> banners = BannerBalloons(*frm_.app().db, Env(), frm_.img->width());
    for (TInfo& b : banners)
        balloons.Infos.push_back(std::move(b));
    ShowBannerMenu();
    OverlayRedraw();
}

void TMapTools::CityClosed() {
    frmMeas->hide();
    frm_.btnMeas->setChecked(false);
    frm_.btnRadius->setChecked(false);
    balloons = TBalloonList{};
    meas.path.clear();
    radius.Hide();
    bannersMade_ = false;
    pointerIn_ = false;
    imageCursor_ = -1;
}

void TMapTools::ShowBannerMenu() {
    frm_.mnuHideBanners->setEnabled(true);
    frm_.mnuHideBanners->setVisible(balloons.BannersShown);
    frm_.mnuShowBanners->setVisible(!balloons.BannersShown);
}

// ---- Cursors and texts ----

bool TMapTools::RulerOn() const {
    return frm_.btnMeas->isChecked();
}

int TMapTools::RestCursor() const {
    if (frm_.btnScale->isChecked()) return 12;
    return RulerOn() ? 3 : 2;
}

void TMapTools::SetImageCursor(int kind) {
    if (kind == imageCursor_) return;
    imageCursor_ = kind;
    if (kind == ArrowCursor)
        frm_.img->setCursor(Qt::ArrowCursor);
    else if (kind == HandCursor)
        frm_.img->setCursor(Qt::PointingHandCursor);
    else
        frm_.img->setCursor(frm_.app().cursors.cursor(kind));
}

QString TMapTools::DistanceCaption() const {
    if (meas.path.empty()) return LangText(u"FirstPoint");
    return LangText(u"Distance") + DistanceText(meas.Length(), true, frm_.app().settings.ShellLang);
}

void TMapTools::ShowDistance() {
    frmMeas->txt->setText(DistanceCaption());
}

void TMapTools::OverlayRedraw() {
    frm_.Redraw(false);
}

BalloonEnv TMapTools::Env() const {
    BalloonEnv env;
    env.view = &frm_.view;
    env.measure = &fonts_.Balloon();
    env.InfoColor = frm_.app().colors.active().InfoColor;
    env.ShowFotoFirst = frm_.app().settings.ShowFotoFirst;
    AppContext& app = frm_.app();
    env.loadFoto = [&app](int foto, int& w, int& h) {
        return LoadBalloonFoto(*app.db, foto, app.city, w, h);
    };
    env.loadBanner = [&app](int org, int& w, int& h) -> std::shared_ptr<QImage> {
        w = h = 0;
        if (org < 0 || org >= int(app.db->Orgs.size()) || !app.db->Orgs[std::size_t(org)].buildBanner)
            return nullptr;
        std::shared_ptr<QImage> picture;
        try {
            picture = LoadImgShared(*app.db->Orgs[std::size_t(org)].buildBanner, TImgType::jpg, app.city);
        } catch (const std::exception&) {
            return nullptr; // a damaged reference: no banner over the building
        }
        if (!picture || picture->isNull()) return nullptr;
        w = picture->width();
        h = picture->height();
        return picture;
    };
    return env;
}

// ---- Tool buttons and the ruler window ----

void TMapTools::btnMeasClick() {
    if (!RulerOn()) {
        CloseRuler();
        RulerClosed();
        return;
    }
    SetImageCursor(3);
    frmMeas->Relabel();
    ShowDistance();
    if (!frmMeas->isVisible()) {
        // Beside the map's top right corner, over the map.
        const QPoint corner = frm_.pnlMap->mapToGlobal(QPoint(frm_.pnlMap->width(), 0));
        frmMeas->adjustSize();
        frmMeas->move(corner.x() - frmMeas->width() - 24, corner.y() + 24);
    }
    frmMeas->show();
    frmMeas->raise();
}

void TMapTools::RightPress() {
    rightEndedRuler_ = frmMeas->isVisible();
    CloseRuler();
}

bool TMapTools::RightRelease() {
    const bool menu = !rightEndedRuler_;
    rightEndedRuler_ = false;
    return menu;
}

void TMapTools::CloseRuler() {
    if (!frmMeas->isVisible()) return;
    frmMeas->hide();
    RulerClosed();
}

void TMapTools::RulerClosed() {
    frm_.btnMeas->setChecked(false);
    SetImageCursor(RestCursor());
    frm_.Redraw(true);
}

void TMapTools::btnRadiusClick() {
    if (frm_.btnRadius->isChecked()) {
        radius.phase = RadiusPhase::Armed;
        return;
    }
    radius.Hide();
    OverlayRedraw();
}

// ---- Pointer ----

void TMapTools::Press(QPoint pos) {
    QString& state = frm_.app().AppState;
    // While the circle follows the pointer its edge is under it: the press is the click that fixes it.
    if (radius.phase != RadiusPhase::Sizing && radius.OnMouseMove(frm_.view, pos.x(), pos.y())) {
        state =
            radius.MouseState == msOverCenter ? QStringLiteral("move_radius") : QStringLiteral("size_radius");
        return;
    }
    const QString gesture = balloons.MouseDown(pos.x(), pos.y());
    if (!gesture.isEmpty()) {
        state = gesture;
    } else {
        const QString node = meas.MouseDown(pos.x(), pos.y());
        if (!node.isEmpty()) state = node;
    }
    if (balloons.NeedRedraw || meas.NeedRedraw) OverlayRedraw();
}

bool TMapTools::Move(QPoint pos, QPoint global) {
    // The ruler's rubber band ends at the pointer, also while the map is dragged under it.
    pointer_ = pos;
    pointerIn_ = true;
    QString& state = frm_.app().AppState;
    const MapView& v = frm_.view;
    if (state == QStringLiteral("move_radius")) {
        v.CursorToWorld(pos.x(), pos.y(), radius.center.x, radius.center.y);
        OverlayRedraw();
        return true;
    }
    if (radius.phase == RadiusPhase::Sizing || state == QStringLiteral("size_radius")) {
        float x = 0, y = 0;
        v.CursorToWorld(pos.x(), pos.y(), x, y);
        // A side handle resizes along its own axis only.
        if (state == QStringLiteral("size_radius"))
            radius.Radius = radius.MouseState == msOverHor ? std::abs(x - radius.center.x)
                                                           : std::abs(y - radius.center.y);
        else
            radius.Radius = std::hypot(x - radius.center.x, y - radius.center.y);
        OverlayRedraw();
        if (state == QStringLiteral("size_radius")) return true;
    }
    if (state == QStringLiteral("info_move")) {
        const QPoint d = global - frm_.LastPoint;
        if (d.isNull()) return true;
        bool link = false;
        for (const TInfo& i : balloons.Infos)
            link = link || i.MouseState == msOverLink;
        if (!link) frm_.SetScreenCursor(1);
        balloons.Drag(d.x(), d.y());
        frm_.LastPoint = global;
        OverlayRedraw();
        return true;
    }
    if (state == QStringLiteral("node_move")) {
        frm_.SetScreenCursor(1);
        const QPoint d = global - frm_.LastPoint;
        if (d.isNull()) return true;
        meas.Drag(v, d.x(), d.y());
        frm_.LastPoint = global;
        ShowDistance();
        OverlayRedraw();
        return true;
    }
    return state == QStringLiteral("info_btn") || state == QStringLiteral("node_btn");
}

void TMapTools::Hover(QPoint pos) {
    pointer_ = pos;
    pointerIn_ = true;
    bool took = false;
    if (radius.OnMouseMove(frm_.view, pos.x(), pos.y())) {
        frm_.SetScreenCursor(radius.MouseState == msOverCenter ? CursorCentre
                             : radius.MouseState == msOverHor  ? CursorSideHor
                                                               : CursorSideVer);
        took = true;
    }
    bool link = false;
    if (balloons.Hover(pos.x(), pos.y(), &link)) {
        if (!took) frm_.SetScreenCursor(0);
        SetImageCursor(link ? HandCursor : ArrowCursor);
    } else if (meas.Hover(pos.x(), pos.y())) {
        if (!took) frm_.SetScreenCursor(0);
        SetImageCursor(ArrowCursor);
    } else {
        SetImageCursor(RestCursor());
    }
    const bool band = RulerOn() && !meas.path.empty();
    if (balloons.NeedRedraw || meas.NeedRedraw || band) OverlayRedraw();
}

void TMapTools::Leave() {
    pointerIn_ = false;
    if (RulerOn() && !meas.path.empty()) OverlayRedraw();
}

bool TMapTools::Release(QPoint pos) {
    QString& state = frm_.app().AppState;
    if (state == QStringLiteral("move_radius") || state == QStringLiteral("size_radius")) {
        state.clear();
        return true;
    }
    if (state == QStringLiteral("info_move") || state == QStringLiteral("info_btn")) {
        const bool button = state == QStringLiteral("info_btn");
        const int org = balloons.MouseUp(button, pos.x(), pos.y());
        state.clear();
        if (button) SetImageCursor(ArrowCursor);
        OverlayRedraw();
        if (org >= 0 && org < int(frm_.app().db->Orgs.size()))
            OpenAdvertiser(frm_.app(), *frm_.list, frm_.app().db->Orgs[std::size_t(org)].id);
        return true;
    }
    if (state == QStringLiteral("node_move") || state == QStringLiteral("node_btn")) {
        const bool button = state == QStringLiteral("node_btn");
        meas.MouseUp(button, pos.x(), pos.y());
        state.clear();
        frm_.SetScreenCursor(0);
        SetImageCursor(ArrowCursor);
        ShowDistance();
        OverlayRedraw();
        return true;
    }
    return false;
}

bool TMapTools::Click(QPoint pos) {
    const MapView& v = frm_.view;
    if (frm_.btnRadius->isChecked() && radius.phase != RadiusPhase::Idle) {
        if (radius.phase == RadiusPhase::Sizing) {
            radius.phase = RadiusPhase::Idle;
        } else {
            v.CursorToWorld(pos.x(), pos.y(), radius.center.x, radius.center.y);
            radius.Radius = 0;
            radius.Visible = true;
            radius.phase = RadiusPhase::Sizing;
        }
        OverlayRedraw();
        return true;
    }
    if (!RulerOn()) return false;
    float x = 0, y = 0;
    v.ScreenToWorld(pos.x(), pos.y(), x, y);
    meas.AddNode(y, x);
    frm_.Redraw(true);
    ShowDistance();
    frm_.SetScreenCursor(0);
    SetImageCursor(3);
    return true;
}

void TMapTools::ObjectBalloon(int cx, int cy) {
    const CityDb& db = *frm_.app().db;
    const int lang = frm_.app().settings.DataLang;
    const int index = frm_.hit.HitIndex;
    const int district = frm_.display.FoundZones.empty() ? -1 : frm_.display.FoundZones.front();
    TProps rows;
    switch (frm_.hit.HitKind) {
    case otBuild:
        rows = BuildingProps(db, index, lang, FindFoto(db, db.Buildings[std::size_t(index)].id));
        break;
    case otBusStop:
        rows = StopProps(db, index, lang);
        break;
    case otPOI:
        rows = POIProps(db, index);
        break;
    case otStreet:
        rows = StreetProps(db, index, lang);
        break;
    case otField:
        rows = AreaProps(db, index, district, lang);
        break;
    case otNone:
        rows = AreaProps(db, -1, district, lang);
        break;
    default:
        break;
    }
    if (rows.empty()) return;
    float x = 0, y = 0;
    frm_.view.CursorToWorld(cx, cy, x, y);
    TInfo info;
    info.Create(Env(), std::move(rows), y, x, frm_.img->width());
    balloons.Infos.push_back(std::move(info));
}
