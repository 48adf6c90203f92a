// The OpenGL map renderer: the base map (areas, roads, routes, stops, streets, buildings and outlined
// districts) under the 2D renderer's view, culling and detail rules. Outlines are tessellated once and
// kept; a frame snaps what it shows to whole pixels and draws it from one vertex buffer in a few calls.
#pragma once

#include "GlFrame.h"
#include "OutlineTriangles.h"
#include "SmoothLines.h"

#include "ColorScheme.h"
#include "MapDisplay.h"
#include "MapView.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <cstdint>
#include <optional>
#include <vector>

class QOpenGLFunctions_2_1;
class TMap;
struct CityDb;

class TGlMap {
public:
    // `base` is the 2D renderer of the same city: its options, picture size and indexes are shared, and it
    // draws the labels over the frame.
    TGlMap(TMap& base, const CityDb& db, MapView& view, const MapDisplay& display,
           const TColorScheme& scheme);
    ~TGlMap();

    bool Quit = false;    // the program is closing: draw nothing
    bool Drawing = false; // a frame is being built or drawn
    QFont font;           // the surface's font, for the "M" of metro stations
    // Walls that the roof and the walls drawn after them hide are left out (off only to compare pictures).
    bool leaveOutHiddenWalls = true;
    // Smoothed lines one pixel wide are drawn by this renderer's own program where the context has it (off
    // only to compare with the driver's smoothing).
    bool ownSmoothing = true;
    // The last frame's smoothed lines were drawn by that program.
    bool smoothedByProgram() const { return carried_; }

    // Builds one complete frame for a surface of the 2D picture's logical size, to be drawn into a
    // framebuffer of `ratio` device pixels per logical one; false in the quit state, when nothing is to be
    // drawn. When nothing the frame shows has changed since the last one (view, object states, colours,
    // options), that frame is kept and drawn again from the buffer it is already in.
    bool BuildFrame(double ratio = 1);
    // The last BuildFrame kept the frame before it.
    bool frameKept() const { return kept_; }
    // Forgets the kept frame: the next one is built, for changes the renderer cannot see (objects added
    // to the city).
    void Invalidate() { key_.reset(); }
    // Draws the built frame with the current context into a framebuffer of `fbWidth` x `fbHeight` pixels.
    void Render(QOpenGLFunctions_2_1& gl, int fbWidth, int fbHeight);
    // The street labels, house numbers, point-of-interest icons and metro captions of the last built frame,
    // placed as the 2D map places them, on a transparent picture of the framebuffer's size to draw over the
    // frame; null while the map moves (no labels then, as in 2D).
    const QImage& labels() const { return labels_; }
    // Frees what the renderer keeps in the current context.
    void ReleaseGl(QOpenGLFunctions_2_1& gl);

    const GlFrame& frame() const { return frame_; }
    const OutlineTriangles& triangles() const { return triangles_; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    // Everything a frame is built from besides the city's fixed data.
    struct FrameKey {
        float scale = 0, originX = 0, originY = 0;
        int width = 0, height = 0, dataLang = 0;
        double ratio = 1;
        bool flat = false, metro = false, grid = false, blink = false;
        std::uint64_t objects = 0;
        TColor active = 0;
        std::vector<int> zones;
        std::size_t counts[6] = {};
        QFont font;
        bool operator==(const FrameKey&) const = default;
    };
    FrameKey KeyNow() const;
    // What the labels are drawn from: what the frame is, but for its colours, and the labels' own options.
    struct LabelKey {
        FrameKey frame;
        bool contour = false;
        std::size_t texts = 0, pois = 0;
        bool operator==(const LabelKey&) const = default;
    };
    void BuildLabels();
    void Build();
    GlVertex At(float x, float y, std::uint32_t rgba) const;
    void Lines(const GlVertex* v, int count, int width, bool stipple = false);
    void Segment(int width, GlVertex a, GlVertex b, bool stipple = false);
    void Loop(const std::vector<GlVertex>& points, int width, std::uint32_t rgba,
              const std::vector<bool>* skip = nullptr);
    void Fill(const std::vector<GlVertex>& snapped, const OutlineTriangleList& tri);
    static void Widen(std::vector<GlVertex>& points, std::size_t count);
    bool RectangleOf(const std::vector<GlVertex>& snapped, float& minX, float& minY, float& maxX, float& maxY);
    int SquaresOver(float x, float y, int w, int h, std::uint32_t rgba, int maxSide, int maxCount,
                    std::vector<GlVertex>& out) const;
    bool Squares(const std::vector<GlVertex>& snapped, bool widened, int maxSide = 1 << 20,
                 int maxCount = 1 << 20);
    bool OutlinedSquares(const std::vector<GlVertex>& snapped, std::uint32_t outline, int maxSide, int maxCount);
    // A roof drawn as squares: their side in pixels (within every driver's point sizes) and their number.
    static constexpr int SquareRoof = 48, SquareRoofCount = 3;
    // Zoomed out, areas up to this many pixels across get a widened fill in place of their outline.
    static constexpr int SmallArea = 8;
    void DrawField(const TField& f, int index, bool district);
    void DrawRoad(const TRoad& r);
    void DrawRoute(const TBusWay& way);
    void DrawStop(const TBusStop& st);
    void DrawStreet(const TStreet& st);
    void DrawBuilding(const TBuilding& b, int index);
    void DropHiddenWalls(const TShapeView& sh, float dx, float dy);
    void DrawGlyph(QPoint at);

    TMap& base_;
    const CityDb& db_;
    MapView& view_;
    const MapDisplay& display_;
    const TColorScheme& scheme_;
    OutlineTriangles triangles_;
    GlFrame frame_;
    int width_ = 0, height_ = 0; // logical pixels
    double ratio_ = 1;           // device pixels per logical one
    bool stopDetail_ = false, mapDetail_ = false, blink_ = false, smoothNow_ = false, flat_ = false;

    // Scratch of one object.
    std::vector<GlVertex> points_, roof_, tri_, straight_, slanted_, corners_;
    std::vector<bool> skip_;
    std::vector<int> sides_, order_;
    std::vector<std::uint32_t> candidates_;
    // Buildings drawn when zoomed out (found or selected), valid for one object state version and count.
    std::vector<std::uint32_t> zoomedOut_;
    std::uint64_t zoomedOutVersion_ = 0;
    std::size_t zoomedOutOf_ = 0;
    TColor zoomedOutActive_ = 0;
    // Pixels of the white "M" relative to its baseline origin, for `glyphFont_`.
    std::vector<QPoint> glyph_;
    QFont glyphFont_;
    bool glyphMade_ = false;
    GlSmoothLines smoothLines_;
    const void* context_ = nullptr; // the context the buffer and program were made in
    unsigned vbo_ = 0;
    std::vector<std::size_t> first_; // each batch's first vertex in the buffer
    std::optional<FrameKey> key_;
    QImage labels_;
    std::optional<LabelKey> labelKey_;
    bool kept_ = false, uploaded_ = false;
    // The buffer holds the smoothed lines in the form for `smoothLines_`.
    bool carried_ = false;
    std::vector<GlVertex> carry_;
};
