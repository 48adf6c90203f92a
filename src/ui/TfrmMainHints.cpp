// The main window's hover hints: placing, showing and hiding the hint panels of tool buttons and tabs.
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

using namespace MainWindowParts;

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
