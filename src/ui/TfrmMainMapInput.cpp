// The main window's map under the pointer: cursors, edge scrolling, presses, drags and clicks, zoom buttons.
#include "TfrmMain.h"
#include "TfrmMainParts.h"
#include "TransportPanel.h"

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
#include "MapTools.h"

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
    if (button == Qt::RightButton) {
        tools->RightPress();
        return;
    }
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
    tools->Press(pos);
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
    if (tools->Move(pos, global)) return;
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
    tools->Hover(pos);
}

void TfrmMain::imgMouseUp(Qt::MouseButton button, QPoint pos, QPoint global) {
    if (!map || !motion) return;
    timStop->stop();
    ReleaseCursor();
    if (button == Qt::RightButton) {
        // The right click that ended measuring opens no menu.
        if (tools->RightRelease()) pmMap->popup(global);
        return;
    }
    // Edge scrolling ends with the press that began it, wherever the pointer is now.
    if (motion->EdgeScrolling || (screenCursor_ >= EdgeUp && screenCursor_ <= EdgeDownRight)) {
        motion->StopEdgeScroll();
        return;
    }
    if (tools->Release(pos)) return;
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
    if (tools->Click(pos)) {
        state.clear();
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
    tools->ObjectBalloon(cx, cy);
    if (hit.HitKind == otBuild) {
        list->BuildingClicked(hit.HitIndex);
    } else if (hit.HitKind != otNone || list->pnlCaption->text() == LangText(u"OrgInBuild")) {
        // A click beside every object leaves a search result alone, but not a building's list.
        list->ClearResults();
    }
    if (hit.HitKind == otBusStop && transport) transport->StopClicked(hit.HitIndex);
    if (objectClicked) objectClicked(hit.HitKind, hit.HitIndex);
}

void TfrmMain::imgMouseLeave() {
    if (app_.AppState.isEmpty()) SetScreenCursor(0);
    tools->Leave();
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
        tools->CloseRuler();
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
