#include "MinimapPanel.h"

#include "MapView.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <algorithm>

namespace {

constexpr int TitleTop = 2;
constexpr int TitleHeight = 24;
constexpr int RightMargin = 14;
constexpr int Top = 8;

} // namespace

TMinimapImage::TMinimapImage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("imgMinimap"));
    setCursor(Qt::PointingHandCursor);
}

void TMinimapImage::paintEvent(QPaintEvent*) {
    if (shown.isNull()) return;
    QPainter(this).drawImage(0, 0, shown);
}

void TMinimapImage::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && onDown) onDown(e);
}

void TMinimapImage::mouseMoveEvent(QMouseEvent* e) {
    if (onMove) onMove(e);
}

void TMinimapImage::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && onUp) onUp(e);
}

MinimapPanel::MinimapPanel(QWidget* panel, const MapView& view)
    : QObject(panel), pnlMinimap(panel), view_(view) {
    bevel_ = new QFrame(panel);
    bevel_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    bevel_->setLineWidth(2);
    bevel_->setAutoFillBackground(true);
    bevel_->lower();
    pnlMinimapTitle = new QLabel(panel);
    pnlMinimapTitle->setObjectName(QStringLiteral("pnlMinimapTitle"));
    pnlMinimapTitle->setIndent(4);
    btnMinimap = new QToolButton(panel);
    btnMinimap->setObjectName(QStringLiteral("btnMinimap"));
    btnMinimap->setCheckable(true);
    btnMinimap->setAutoRaise(true);
    btnMinimap->setArrowType(Qt::DownArrow);
    btnMinimap->setFocusPolicy(Qt::NoFocus);
    imgMinimap = new TMinimapImage(panel);
    connect(btnMinimap, &QToolButton::clicked, this, [this] { btnMinimapClick(); });
    imgMinimap->onDown = [this](QMouseEvent* e) { imgMinimapMouseDown(e->position().toPoint()); };
    imgMinimap->onMove = [this](QMouseEvent* e) { imgMinimapMouseMove(e->position().toPoint()); };
    imgMinimap->onUp = [this](QMouseEvent* e) { imgMinimapMouseUp(e->position().toPoint()); };
    // The title folds and unfolds the minimap too.
    pnlMinimapTitle->installEventFilter(this);
}

bool MinimapPanel::eventFilter(QObject* o, QEvent* e) {
    if (o == pnlMinimapTitle && e->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
        btnMinimapClick();
        return true;
    }
    return false;
}

void MinimapPanel::Build(TMap& map, MapView& view, MapDisplay& display, int mapWidth, int mapHeight,
                         double ratio) {
    // Every city's minimap starts folded, whatever the one before showed.
    MinimapShown = false;
    dragging_ = false;
    size = ComputeMinimapSize(view.WorldMaxX - view.WorldMinX, view.WorldMaxY - view.WorldMinY, mapWidth,
                              mapHeight);
    pictures = BuildMinimap(map, view, display, size.MiniW, size.MiniH, ratio);
    const int w = size.panelW;
    pnlMinimapTitle->setGeometry(0, TitleTop, w - TitleHeight - 2, TitleHeight);
    btnMinimap->setGeometry(w - TitleHeight - 2, TitleTop, TitleHeight, TitleHeight);
    imgMinimap->setGeometry(4, TitleTop + TitleHeight + 2, size.MiniW, size.MiniH);
    imgMinimap->shown = pictures.bright;
    Fold();
    Place();
    pnlMinimap->show();
    pnlMinimap->raise();
    ViewChanged();
}

void MinimapPanel::Place() {
    QWidget* parent = pnlMinimap->parentWidget();
    if (!parent) return;
    int left = parent->width() - RightMargin - pnlMinimap->width();
    // A window made narrower than the one the minimap was sized for keeps the map tools clear.
    if (auto* tools = parent->findChild<QWidget*>(QStringLiteral("pnlMapTools"), Qt::FindDirectChildrenOnly))
        left = std::max(left, tools->geometry().right() + 8);
    pnlMinimap->move(left, Top);
}

void MinimapPanel::Fold() {
    const int w = size.panelW;
    pnlMinimap->resize(w, MinimapShown ? size.MiniH + TitleHeight + 8 : TitleTop + TitleHeight + 4);
    bevel_->resize(pnlMinimap->size());
    imgMinimap->setVisible(MinimapShown);
    btnMinimap->setChecked(MinimapShown);
    btnMinimap->setArrowType(MinimapShown ? Qt::UpArrow : Qt::DownArrow);
}

void MinimapPanel::btnMinimapClick() {
    MinimapShown = !MinimapShown;
    Fold();
    Place();
    ViewChanged();
}

void MinimapPanel::ViewChanged() {
    if (!MinimapShown || pictures.isNull() || dragging_) return;
    imgMinimap->shown = MinimapWithFrame(pictures, MinimapFrame(view_, size.MiniW, size.MiniH));
    imgMinimap->update();
}

QRect MinimapPanel::DragRect(QPoint now, int r) const {
    if (scaleMode && scaleMode() == 1) return QRect(press_, now).normalized();
    return QRect(press_.x() - r, press_.y() - r, 2 * r, 2 * r);
}

void MinimapPanel::imgMinimapMouseDown(QPoint pos) {
    if (*busy || pictures.isNull()) return;
    press_ = QPoint(std::clamp(pos.x(), 0, size.MiniW), std::clamp(pos.y(), 0, size.MiniH));
    r_ = 0;
    dragging_ = true;
    if (pressed) pressed();
}

void MinimapPanel::imgMinimapMouseMove(QPoint pos) {
    if (!dragging_ || *busy) return;
    const int mode = scaleMode ? scaleMode() : 0;
    r_ = MinimapDragRadius(press_.x(), press_.y(), pos.x(), pos.y(), size.MiniW, size.MiniH, mode);
    pos = QPoint(std::clamp(pos.x(), 0, size.MiniW), std::clamp(pos.y(), 0, size.MiniH));
    if (r_ < 1) {
        imgMinimap->shown = pictures.dark;
    } else {
        imgMinimap->shown = MinimapWithDrag(pictures, DragRect(pos, r_));
    }
    imgMinimap->update();
}

void MinimapPanel::imgMinimapMouseUp(QPoint pos) {
    if (!dragging_ || *busy) return;
    *busy = true;
    dragging_ = false;
    const QPoint release(std::clamp(pos.x(), 0, size.MiniW), std::clamp(pos.y(), 0, size.MiniH));
    ZoomTarget t = MinimapTarget(view_, press_.x(), press_.y(), release.x(), release.y(), r_,
                                 scaleMode ? scaleMode() : 0, size.MiniW, size.MiniH, view_.Width);
    // A frame larger than the city asks for no more than the whole city.
    t.scale = std::clamp(t.scale, MapView::MinScale, std::max(view_.FullScale, MapView::MinScale));
    r_ = 0;
    if (flyTo) flyTo(t.x, t.y, t.scale);
    *busy = false;
    ViewChanged();
}
