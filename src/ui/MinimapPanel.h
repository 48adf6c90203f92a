// The minimap pnlMinimap in the map's top-right corner: the city's overview with the view's frame, a
// title that folds it, and clicks and drags that move the main view.
#pragma once

#include "MinimapPictures.h"

#include <QPoint>
#include <QWidget>
#include <functional>

class QFrame;
class QLabel;
class QToolButton;
class TMap;
class MapView;
struct MapDisplay;

// The picture imgMinimap: shows `shown` and hands the pointer to the panel.
class TMinimapImage : public QWidget {
public:
    explicit TMinimapImage(QWidget* parent);
    QImage shown;
    std::function<void(QMouseEvent*)> onDown, onMove, onUp;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
};

class MinimapPanel : public QObject {
public:
    // `panel` is the main window's pnlMinimap; `view` the main map's view.
    MinimapPanel(QWidget* panel, const MapView& view);

    // Moves the view to (x, y) at `scale` (the main window's flight).
    std::function<void(float x, float y, float scale)> flyTo;
    // A press on the minimap: the keys go to the map again.
    std::function<void()> pressed;
    // The scale tool's mode (0 from the centre, 1 from a corner).
    std::function<int()> scaleMode;
    // The busy flag of the result list's clicks: while it is set the minimap takes no press, and it is
    // set while the minimap moves the view.
    bool* busy = &ownBusy_;

    // Sizes the panel for the map image and draws the overview, then folds the panel to its title.
    void Build(TMap& map, MapView& view, MapDisplay& display, int mapWidth, int mapHeight, double ratio);
    // Keeps the panel 14 pixels from its parent's right edge.
    void Place();
    // btnMinimap (and F2): shows or folds the minimap.
    void btnMinimapClick();
    // After every redraw of the map: the view's frame follows.
    void ViewChanged();

    void imgMinimapMouseDown(QPoint pos);
    void imgMinimapMouseMove(QPoint pos);
    void imgMinimapMouseUp(QPoint pos);

    bool MinimapShown = false;
    MinimapSize size;
    MinimapPictures pictures;
    QWidget* pnlMinimap;
    QLabel* pnlMinimapTitle;
    QToolButton* btnMinimap;
    TMinimapImage* imgMinimap;

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void Fold();
    QRect DragRect(QPoint now, int r) const;

    const MapView& view_;
    QFrame* bevel_;
    bool dragging_ = false, ownBusy_ = false;
    QPoint press_;
    int r_ = 0;
};
