// The 2D map renderer: draws a city through a MapView into an off-screen picture, keeping the base
// layer cached so that overlay-only redraws are cheap.
#pragma once

#include "ColorScheme.h"
#include "MapDisplay.h"
#include "MapView.h"
#include "SpatialGrid.h"

#include <QImage>
#include <QPoint>
#include <functional>
#include <memory>
#include <unordered_map>

struct CityDb;
struct TText;
class QPainter;

// Settings the picture depends on.
struct MapRenderOptions {
    bool flat = false;       // no heights
    bool smooth = true;      // antialiasing at rest
    bool metro = true;       // metro stations also when zoomed out
    bool marks = true;       // flags over listed buildings
    bool ContourText = true; // white contour around house numbers and metro captions
    int DataLang = 0;
};

class TMap {
public:
    TMap(CityDb& db, MapView& view, MapDisplay& display, const TColorScheme& scheme);
    ~TMap();

    QImage img;     // every frame is composed here
    QImage buf_img; // the base layer of the last full redraw
    bool Drawing = false;
    bool Quit = false; // the program is closing: draw nothing
    // Tests switch the spatial index off to compare with a walk over whole collections.
    bool UseSpatialIndex = true;
    MapRenderOptions options;

    // Overlays drawn after the marks, in this order (ruler, radius, balloons).
    std::function<void(QPainter&)> drawRuler, drawRadius, drawBalloons;

    // After a city is loaded: the spatial index of every kind and the stop lookup by id.
    void CityLoaded();
    // Size of the visible map image in logical pixels; recomputes the full-map scale. The pictures hold
    // `ratio` device pixels per logical one, so that a high-density screen shows them sharp; the view
    // and every pixel rule stay in logical pixels.
    void Resize(int width, int height, bool starting = false, double ratio = 1);
    // The pictures' size in logical pixels (the view's surface); `img` holds `ratio` times as many.
    int width() const { return width_; }
    int height() const { return height_; }
    // One redraw; `full` redraws the base layer, otherwise the cached one is reused. The frame goes to
    // `target` when given.
    void DrawGDI(QImage* target, bool full);
    // The minimap's overview: every area but districts on the road colour, drawn onto `target` through
    // the view as it stands (the caller sizes and places it).
    void DrawMinimap(QImage& target);
    // The base layer for paper and export onto `target`, through the view as it stands: no routes, no
    // point-of-interest icons, no overlays. `at` is where the target lies in a picture drawn in pieces.
    // The cached frame is left alone.
    void DrawForPrint(QImage& target, QPoint at = {});
    // What the OpenGL frame does not draw, with this renderer's placement. `DrawLabels` draws the street
    // labels, house numbers, point-of-interest icons and metro captions of the view (when `TextsOn`) onto
    // a transparent `target` of the pictures' size and ratio; `PaintOverlays` paints the marks, ruler,
    // radius and balloons through `p`, in logical pixels.
    void DrawLabels(QImage& target);
    void PaintOverlays(QPainter& p);
    // How far, in pixels at the view's scale, anything the base layer draws may reach past its object's
    // box (wide lines, stop circles, labels): a picture drawn in pieces draws each with this margin.
    int OverdrawPixels() const;

    int StopIndexById(int id) const;
    // The per-kind indexes, also walked by the OpenGL renderer.
    const SpatialGrid& FieldGrid() const { return fieldGrid_; }
    const SpatialGrid& RoadGrid() const { return roadGrid_; }
    const SpatialGrid& StopGrid() const { return stopGrid_; }
    const SpatialGrid& BuildingGrid() const { return buildingGrid_; }

private:
    struct Frame;
    void BeginFrame(Frame& f, QImage& surface);
    void DrawBase(Frame& f);
    void DrawOverlays(Frame& f);
    void DrawField(Frame& f, const TField& fl);
    void DrawRoad(Frame& f, const TRoad& r);
    void DrawRoute(Frame& f, const TBusWay& way);
    void DrawStop(Frame& f, const TBusStop& st);
    void DrawStreet(Frame& f, const TStreet& st);
    void DrawBuilding(Frame& f, const TBuilding& b);
    void DrawOutline(Frame& f, const QPolygon& poly, const TShapeView& sh, bool single, const QColor& brush);
    void DrawHouseNumber(Frame& f, const TBuilding& b);
    void DrawText(Frame& f, const TText& t);
    // The size in points label `t` is drawn at in this frame, 0 when it is not drawn.
    int TextPoints(const Frame& f, const TText& t) const;
    // Collects the room of the labels this frame draws (before what yields to them).
    void RoomForTexts(Frame& f);
    void DrawMarks(Frame& f);
    void DrawMetroCaption(Frame& f, const TBusStop& st, QPoint c);
    // Where a mark's picture stands on its building: its bottom-left corner; false for no mark.
    bool MarkAnchor(const TMark& m, QPoint& at) const;
    // The buildings drawn when zoomed out (found or selected), kept for one object state version.
    const std::vector<std::uint32_t>& ZoomedOutBuildings();

    CityDb& db_;
    int width_ = 0, height_ = 0; // logical size of the pictures
    MapView& view_;
    MapDisplay& display_;
    const TColorScheme& scheme_;
    std::unordered_map<int, int> stopById_;
    // Buildings drawn when zoomed out (found or selected), valid for one object state version.
    std::vector<std::uint32_t> zoomedOutBuildings_;
    std::uint64_t zoomedOutVersion_ = 0;
    TColor zoomedOutActive_ = 0;
    std::size_t zoomedOutOf_ = 0;
    SpatialGrid fieldGrid_, roadGrid_, stopGrid_, buildingGrid_, textGrid_, poiGrid_;
};
