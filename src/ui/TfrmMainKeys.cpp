// The main window's wheel and keys, and the application-wide filter that routes them.
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
#include "MinimapPanel.h"
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
#include <QAbstractSpinBox>
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
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

using namespace MainWindowParts;

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
    // Every field that takes typing keeps its keys (Escape empties it), whether or not anyone listed it;
    // edDefocus only parks the focus away from the fields.
    QWidget* f = QApplication::focusWidget();
    if (!f || f == edDefocus || f->window() != this) return false;
    for (QWidget* w = f; w && w != this; w = w->parentWidget())
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
            qobject_cast<QTextEdit*>(w) || qobject_cast<QPlainTextEdit*>(w))
            return true;
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
    case Qt::Key_F2:
        if (minimap) minimap->btnMinimapClick();
        return true;
    case Qt::Key_F3:
        btn3D->setChecked(!btn3D->isChecked());
        btn3DClick();
        return true;
    case Qt::Key_Escape:
        tools->CloseRuler();
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
