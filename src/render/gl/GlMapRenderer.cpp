#include "GlMapRenderer.h"

#include "CityDb.h"
#include "ColorSchemeStore.h"
#include "MapRenderer.h"
#include "ObjectState.h"
#include "VisibleObjects.h"

#include <QFontMetrics>
#include <QImage>
#include <QOpenGLContext>
#include <QOpenGLFunctions_2_1>
#include <QPainter>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

std::uint32_t Rgba(TColor c) {
    return (c & 0xFFFFFFu) | 0xFF000000u;
}
constexpr std::uint32_t Black = 0xFF000000u, White = 0xFFFFFFFFu, Red = 0xFF0000FFu, Grey = 0xFF808080u;

// Line widths and point sizes in pixels above 9 become 10.
int Capped(int w) {
    return w > 9 ? 10 : w;
}

QString LangOf(const Tas& t, int lang) {
    if (lang >= 0 && lang < t.size()) return t[lang];
    return t.isEmpty() ? QString() : t[0];
}

GLenum Mode(GlPrimitive p) {
    return p == GlPrimitive::Triangles ? GL_TRIANGLES : p == GlPrimitive::Lines ? GL_LINES : GL_POINTS;
}

// Vertices per draw call of lines and points (a multiple of 2).
constexpr GLsizei LineChunk = 120;

} // namespace

TGlMap::TGlMap(TMap& base, const CityDb& db, MapView& view, const MapDisplay& display,
               const TColorScheme& scheme)
    : base_(base), db_(db), view_(view), display_(display), scheme_(scheme) {
    triangles_.Reset(db.Fields.size(), db.Buildings.size());
}

TGlMap::~TGlMap() = default;

GlVertex TGlMap::At(float x, float y, std::uint32_t rgba) const {
    int px, py;
    view_.WorldToScreen(x, y, px, py);
    return {float(px), float(py), 0, rgba};
}

// A segment plus a point at each end (round caps through point smoothing).
void TGlMap::Segment(int width, GlVertex a, GlVertex b, bool stipple) {
    const GlVertex line[2] = {a, b};
    Lines(line, 2, width, stipple);
    if (stipple) return;
    frame_.Add({GlPrimitive::Points, width, false, true}, line, 2);
}

// A closed line loop through `points` in one colour; `skip` leaves out edges (edge i runs from point i).
void TGlMap::Loop(const std::vector<GlVertex>& points, int width, std::uint32_t rgba,
                  const std::vector<bool>* skip) {
    const std::size_t n = points.size();
    tri_.clear();
    for (std::size_t i = 0; i < n; ++i) {
        if (skip && i < skip->size() && (*skip)[i]) continue;
        GlVertex a = points[i], b = points[(i + 1) % n];
        // Points snapped onto one pixel leave a segment of no length, which draws nothing.
        if (a.x == b.x && a.y == b.y) continue;
        a.rgba = b.rgba = rgba;
        tri_.push_back(a);
        tri_.push_back(b);
    }
    Lines(tri_.data(), int(tri_.size()), width);
}

// One drawing step of segments (vertex pairs). A horizontal or vertical line one pixel wide covers whole
// pixels: smoothing leaves it as it is, so it is drawn plainly, sparing the smoothing's costly path.
void TGlMap::Lines(const GlVertex* v, int count, int width, bool stipple) {
    if (width != 1 || stipple) {
        frame_.Add({GlPrimitive::Lines, width, stipple, true}, v, count);
        return;
    }
    straight_.clear();
    slanted_.clear();
    for (int i = 0; i + 1 < count; i += 2) {
        auto& to = v[i].x == v[i + 1].x || v[i].y == v[i + 1].y ? straight_ : slanted_;
        to.push_back(v[i]);
        to.push_back(v[i + 1]);
    }
    if (!straight_.empty())
        frame_.Add({GlPrimitive::Lines, 1, false, false}, straight_.data(), int(straight_.size()));
    if (!slanted_.empty())
        frame_.Add({GlPrimitive::Lines, 1, false, true}, slanted_.data(), int(slanted_.size()));
}

// Moves the first `count` snapped points half a pixel outwards from the middle of their box on each axis,
// so that a fill covers the pixels its outline of one pixel would cover too.
void TGlMap::Widen(std::vector<GlVertex>& points, std::size_t count) {
    if (count == 0) return;
    float minX = points[0].x, maxX = minX, minY = points[0].y, maxY = minY;
    for (std::size_t i = 1; i < count; ++i) {
        minX = std::min(minX, points[i].x), maxX = std::max(maxX, points[i].x);
        minY = std::min(minY, points[i].y), maxY = std::max(maxY, points[i].y);
    }
    const float cx = (minX + maxX) / 2, cy = (minY + maxY) / 2;
    for (std::size_t i = 0; i < count; ++i) {
        GlVertex& p = points[i];
        p.x += p.x > cx ? 0.5f : p.x < cx ? -0.5f : 0.0f;
        p.y += p.y > cy ? 0.5f : p.y < cy ? -0.5f : 0.0f;
    }
}

// The corners of snapped points that make a rectangle with edges along the axes, as the smallest and
// largest pixel centres on each axis; false for any other shape.
bool TGlMap::RectangleOf(const std::vector<GlVertex>& snapped, float& minX, float& minY, float& maxX,
                         float& maxY) {
    corners_.clear();
    for (const GlVertex& p : snapped)
        if (corners_.empty() || p.x != corners_.back().x || p.y != corners_.back().y) corners_.push_back(p);
    if (corners_.size() > 1 && corners_.front().x == corners_.back().x &&
        corners_.front().y == corners_.back().y)
        corners_.pop_back();
    if (corners_.size() != 4) return false;
    for (std::size_t i = 0; i < 4; ++i) {
        const GlVertex &a = corners_[i], &b = corners_[(i + 1) % 4];
        // Each edge runs along one axis, turning at every corner.
        if ((a.x == b.x) == (a.y == b.y)) return false;
        const GlVertex& c = corners_[(i + 2) % 4];
        if ((a.x == b.x) == (b.x == c.x)) return false;
    }
    minX = std::min({corners_[0].x, corners_[1].x, corners_[2].x});
    maxX = std::max({corners_[0].x, corners_[1].x, corners_[2].x});
    minY = std::min({corners_[0].y, corners_[1].y, corners_[2].y});
    maxY = std::max({corners_[0].y, corners_[1].y, corners_[2].y});
    return true;
}

// Appends to `out` the squares (single points) that cover the `w` x `h` pixels from the pixel centre
// (x, y): a row of squares of the smaller side, the last one overlapping its neighbour where the length is
// no multiple of it. Returns their side; 0, appending nothing, when there are no pixels, the squares would
// be larger than `maxSide` or more than `maxCount`, or one would be clipped.
int TGlMap::SquaresOver(float x, float y, int w, int h, std::uint32_t rgba, int maxSide, int maxCount,
                        std::vector<GlVertex>& out) const {
    const int side = std::min(w, h), length = std::max(w, h);
    // At a density that is no whole number a square's device pixels are not its picture pixels.
    if (ratio_ != std::floor(ratio_)) return 0;
    if (side <= 0 || side > maxSide || (length + side - 1) / side > maxCount) return 0;
    const std::size_t start = out.size();
    for (int at = 0;; at += side) {
        const int from = std::min(at, length - side);
        // The middle of a square of `side` pixels starting at pixel `from` along the long axis.
        const float along = float(from) + float(side - 1) / 2, across = float(side - 1) / 2;
        out.push_back(w >= h ? GlVertex{x + along, y + across, 0, rgba} : GlVertex{x + across, y + along, 0, rgba});
        // A point whose middle lies outside the surface is clipped whole, the part inside too.
        const GlVertex& c = out.back();
        if (c.x < -0.5f || c.y < -0.5f || c.x > float(width_) - 0.5f || c.y > float(height_) - 0.5f) {
            out.resize(start);
            return 0;
        }
        if (from + side >= length) break;
    }
    return side;
}

// A small area whose snapped points make a rectangle, with edges along the axes, covers whole pixels from
// corner to corner once widened: that is drawn as a row of opaque squares (single points), one or two
// for most such areas, instead of two triangles. Not widened (a roof or footprint), the squares cover the
// pixels the rectangle's two triangles cover, no more. False when the points make no such rectangle, or it
// would take squares larger than `maxSide` or more than `maxCount`.
bool TGlMap::Squares(const std::vector<GlVertex>& snapped, bool widened, int maxSide, int maxCount) {
    float minX, minY, maxX, maxY;
    if (!RectangleOf(snapped, minX, minY, maxX, maxY)) return false;
    // Pixels covered on each axis: corners included once widened, else those the two triangles cover
    // (their left and top edges, not their right and bottom ones).
    const int more = widened ? 1 : 0;
    tri_.clear();
    const int side = SquaresOver(minX, minY, int(maxX - minX) + more, int(maxY - minY) + more, snapped[0].rgba,
                                 maxSide, maxCount, tri_);
    if (side == 0) return false;
    frame_.Add({GlPrimitive::Squares, side, false, false}, tri_.data(), int(tri_.size()));
    return true;
}

// A rectangle with edges along the axes, filled and then outlined with plain lines one pixel wide in
// `outline`: the loop covers the ring of pixels from corner to corner, the fill what lies inside it. Drawn
// as squares in two steps, those of the outline's colour over the whole rectangle, then those of the fill
// over its inside, both opaque: two or a few points in place of two triangles and four lines, with the
// same pixels. False when the points make no such rectangle or the squares would not do.
bool TGlMap::OutlinedSquares(const std::vector<GlVertex>& snapped, std::uint32_t outline, int maxSide,
                             int maxCount) {
    float minX, minY, maxX, maxY;
    if (!RectangleOf(snapped, minX, minY, maxX, maxY)) return false;
    const int w = int(maxX - minX), h = int(maxY - minY);
    tri_.clear();
    const int outer = SquaresOver(minX, minY, w + 1, h + 1, outline, maxSide, maxCount, tri_);
    if (outer == 0) return false;
    const std::size_t ring = tri_.size();
    // A rectangle one pixel across is all outline.
    const int inner = w > 1 && h > 1 ? SquaresOver(minX + 1, minY + 1, w - 1, h - 1, snapped[0].rgba, maxSide,
                                                   maxCount, tri_)
                                     : -1;
    if (inner == 0) return false;
    frame_.Add({GlPrimitive::Squares, outer, false, false}, tri_.data(), int(ring));
    if (inner > 0)
        frame_.Add({GlPrimitive::Squares, inner, false, false}, tri_.data() + ring, int(tri_.size() - ring));
    return true;
}

// The tessellated triangles of an outline whose points (crossing points after them) are snapped.
void TGlMap::Fill(const std::vector<GlVertex>& snapped, const OutlineTriangleList& tri) {
    tri_.clear();
    const std::size_t n = tri.index.size() / 3 * 3;
    for (std::size_t t = 0; t < n; t += 3) {
        const std::uint32_t i = tri.index[t], j = tri.index[t + 1], k = tri.index[t + 2];
        if (i >= snapped.size() || j >= snapped.size() || k >= snapped.size()) continue;
        const GlVertex &a = snapped[i], &b = snapped[j], &c = snapped[k];
        // Snapping can flatten a triangle, which then covers no pixel.
        if ((b.x - a.x) * (c.y - a.y) == (b.y - a.y) * (c.x - a.x)) continue;
        tri_.push_back(a);
        tri_.push_back(b);
        tri_.push_back(c);
    }
    frame_.Add({GlPrimitive::Triangles, 1, false, true}, tri_.data(), int(tri_.size()) / 3 * 3);
}

void TGlMap::DrawField(const TField& f, int index, bool district) {
    const MapView& v = view_;
    if (!v.IsVisible(f, flat_)) return;
    // Thin areas are left out when either side is below 3 pixels.
    if (v.ToPixels(f.maxX_ - f.minX_) < 3 || v.ToPixels(f.maxY_ - f.minY_) < 3) return;
    const std::size_t n = f.shape.size();
    if (n < 2) return;
    const std::uint32_t fill = Rgba(f.color);
    points_.clear();
    for (const TCoord& c : f.shape)
        points_.push_back(At(c.x, c.y, fill));
    if (district) {
        Loop(points_, std::max(v.ToPixels(5), 2), Red);
        return;
    }
    // Zoomed out an area's outline has its fill colour: on an area of a few pixels it only widens the
    // fill by half a pixel all round, so the fill is widened instead and the outline's lines are spared.
    const bool widened = !mapDetail_ && v.ToPixels(f.maxX_ - f.minX_) <= SmallArea &&
                         v.ToPixels(f.maxY_ - f.minY_) <= SmallArea;
    if (widened ? Squares(points_, true) : OutlinedSquares(points_, mapDetail_ ? Grey : fill, SquareRoof,
                                                           SquareRoofCount))
        return;
    if (n == 3) {
        if (widened) Widen(points_, 3);
        frame_.Add({GlPrimitive::Triangles, 1, false, true}, points_.data(), 3);
    } else if (n == 4) {
        if (widened) Widen(points_, 4);
        const GlVertex quad[6] = {points_[0], points_[1], points_[2], points_[0], points_[2], points_[3]};
        frame_.Add({GlPrimitive::Triangles, 1, false, true}, quad, 6);
    } else if (n > 4) {
        const OutlineTriangleList tri = triangles_.Field(f, index);
        if (tri.extra)
            for (const TCoord& c : *tri.extra)
                points_.push_back(At(c.x, c.y, fill));
        if (widened) Widen(points_, points_.size());
        Fill(points_, tri);
        points_.resize(n);
    }
    if (!widened) Loop(points_, 1, mapDetail_ ? Grey : fill);
}

void TGlMap::DrawRoad(const TRoad& r) {
    const MapView& v = view_;
    // The cheap tests first: zoomed out most roads are narrower than half a pixel.
    if (mapDetail_ ? r.layer == 1 : r.layer == 0) return;
    const float width = std::fabs(r.width) < 0.0001f ? 1.0f : r.width;
    const int w = Capped(v.ToPixels(width));
    if (w <= 0) return;
    if (!v.IsVisible(r, flat_)) return;
    if (r.tip == rtIron) {
        Segment(w, At(r.point[0].x, r.point[0].y, Black), At(r.point[1].x, r.point[1].y, Black));
        Segment(w, At(r.point[0].x, r.point[0].y, White), At(r.point[1].x, r.point[1].y, White), true);
        return;
    }
    const std::uint32_t c = Rgba(r.color);
    Segment(w, At(r.point[0].x, r.point[0].y, c), At(r.point[1].x, r.point[1].y, c));
}

void TGlMap::DrawRoute(const TBusWay& way) {
    const MapView& v = view_;
    if (!way.IsFound || !v.IsVisible(way, flat_)) return;
    const int w = Capped(std::max(v.ToPixels(2), 1));
    const std::uint32_t c = Rgba(way.tip == ttMetro ? way.MetroColor : way.color);
    points_.clear();
    for (const TWayPoint& pt : way.way) {
        if (pt.typ == 0) {
            points_.push_back(At(pt.x, pt.y, c));
        } else if (int si = base_.StopIndexById(pt.ids); si >= 0) {
            points_.push_back(At(db_.BusStops[si].x, db_.BusStops[si].y, c));
        }
    }
    for (std::size_t i = 0; i + 1 < points_.size(); ++i)
        Segment(w, points_[i], points_[i + 1]);
}

void TGlMap::DrawStop(const TBusStop& st) {
    const MapView& v = view_;
    if (!v.IsVisible(st, flat_)) return;
    const bool selected = IsSelected(st, scheme_);
    const bool special = st.IsFound || selected || st.tip == bstMetro;
    if (!stopDetail_ && !st.IsFound && !selected && st.tip != bstMetro) return;
    int s = v.ToPixels(st.Radius);
    if (special) s = std::max(s, 6);
    if (s <= 0) return;
    const GlVertex at = At(st.x, st.y, Rgba(blink_ && st.IsFound ? scheme_.ActiveColor : st.color));
    frame_.Add({GlPrimitive::Points, 2 * s, false, true}, &at, 1);
    if (st.tip == bstMetro) DrawGlyph(QPoint(int(at.x), int(at.y)));
}

// The white "M" of a metro station from its baseline origin at `at`, pixel by pixel as a bitmap font draws
// it.
void TGlMap::DrawGlyph(QPoint at) {
    if (!glyphMade_ || glyphFont_ != font) {
        glyph_.clear();
        const QFontMetrics fm(font);
        const int w = std::max(fm.horizontalAdvance(QStringLiteral("M")), 1), h = std::max(fm.height(), 1);
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::black);
        QPainter p(&img);
        QFont plain = font;
        plain.setStyleStrategy(QFont::NoAntialias);
        p.setFont(plain);
        p.setPen(Qt::white);
        p.drawText(0, fm.ascent(), QStringLiteral("M"));
        p.end();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (qRed(img.pixel(x, y)) > 127) glyph_.emplace_back(x, y - fm.ascent());
        glyphFont_ = font;
        glyphMade_ = true;
    }
    tri_.clear();
    for (const QPoint& g : glyph_)
        tri_.push_back({float(at.x() + g.x()), float(at.y() + g.y()), 0, White});
    frame_.Add({GlPrimitive::Points, 1, false, false}, tri_.data(), int(tri_.size()));
}

void TGlMap::DrawStreet(const TStreet& st) {
    const MapView& v = view_;
    if (!st.Visible || !v.IsVisible(st, flat_)) return;
    const float width = std::fabs(st.width) < 0.0001f ? 1.0f : st.width;
    const int w = std::max(Capped(v.ToPixels(width)), 1);
    const std::uint32_t c = Rgba(blink_ && st.IsFound ? scheme_.ActiveColor : st.color);
    for (std::size_t i = 0; i + 1 < st.shape.size(); i += 2)
        Segment(w, At(st.shape[i].x, st.shape[i].y, c), At(st.shape[i + 1].x, st.shape[i + 1].y, c));
}

void TGlMap::DrawBuilding(const TBuilding& b, int index) {
    const MapView& v = view_;
    if (!mapDetail_ && !IsSelected(b, scheme_) && !b.IsFound) return;
    if (!v.IsVisible(b, flat_)) return;
    const bool single = b.shapes.size() == 1;
    const std::uint32_t outline = stopDetail_ ? Black : Grey;
    const TColor body = blink_ && b.IsFound ? scheme_.ActiveColor : b.color;
    const std::uint32_t fill = Rgba(body);
    int k = -1;
    for (const TShapeView& sh : b.shapes) {
        ++k;
        const std::size_t n = sh.shape.size();
        if (n == 0) continue;
        const OutlineTriangleList tri = triangles_.BuildingShape(b, index, k);
        // Shared walls between parts of one building stay invisible.
        skip_.assign(n, false);
        if (!single)
            for (std::size_t j = 0; j < n && j < sh.comSide.size(); ++j)
                skip_[j] = sh.comSide[j];
        // The footprint, or the roof as a copy of it moved by (dx, dy), filled and outlined; the
        // building's own points stay as they are.
        auto filledOutline = [&](std::vector<GlVertex>& pts, float dx, float dy) {
            pts.clear();
            for (const TCoord& c : sh.shape)
                pts.push_back(At(c.x + dx, c.y + dy, fill));
            if (single && OutlinedSquares(pts, outline, SquareRoof, SquareRoofCount)) return;
            if (tri.extra)
                for (const TCoord& c : *tri.extra)
                    pts.push_back(At(c.x + dx, c.y + dy, fill));
            if (!Squares(pts, false, SquareRoof, SquareRoofCount)) Fill(pts, tri);
            pts.resize(n);
            Loop(pts, 1, outline, single ? nullptr : &skip_);
        };
        if (flat_ || sh.high == 0 || !v.HeightsShown()) {
            filledOutline(points_, 0, 0);
            continue;
        }
        // Walls in world units, far ones first: by the smaller y of each side's ends, ties in their order.
        const float dx = sh.high / 4.0f, dy = -float(sh.high);
        auto shared = [&](std::size_t j) { return j < sh.comSide.size() && sh.comSide[j]; };
        sides_.clear();
        for (std::size_t j = 0; j < n; ++j)
            if (j < sh.visSide.size() && sh.visSide[j] && !shared(j)) sides_.push_back(int(j));
        auto farY = [&](int j) { return std::min(sh.shape[j].y, sh.shape[(j + 1) % n].y); };
        std::stable_sort(sides_.begin(), sides_.end(), [&](int a, int c) { return farY(a) < farY(c); });
        if (sides_.size() == n && leaveOutHiddenWalls) DropHiddenWalls(sh, dx, dy);
        const std::uint32_t wallFill = Rgba(Darken(body, 50));
        // Where two walls meet, each draws the edge between them; the later one draws it over the earlier
        // one's fill, so the earlier one's copy cannot be seen and is left out.
        order_.assign(n, -1);
        for (std::size_t k = 0; k < sides_.size(); ++k)
            order_[std::size_t(sides_[k])] = int(k);
        for (int j : sides_) {
            const std::size_t nx = (std::size_t(j) + 1) % n;
            const TCoord pj = sh.shape[j], pn = sh.shape[nx];
            const GlVertex q[4] = {At(pj.x + dx, pj.y + dy, wallFill), At(pj.x, pj.y, wallFill),
                                   At(pn.x, pn.y, wallFill), At(pn.x + dx, pn.y + dy, wallFill)};
            // Two triangles split along the shorter diagonal: the rasteriser shades the blocks of pixels
            // along it for both, so the shorter it is the less work, for the same pixels.
            const bool across = std::fabs(q[3].x - q[1].x) + std::fabs(q[3].y - q[1].y) <
                                std::fabs(q[2].x - q[0].x) + std::fabs(q[2].y - q[0].y);
            const GlVertex wall[6] = {q[0], q[1], q[2], q[0], q[2], q[3]};
            const GlVertex wallAcross[6] = {q[1], q[2], q[3], q[1], q[3], q[0]};
            frame_.Add({GlPrimitive::Triangles, 1, false, true}, across ? wallAcross : wall, 6);
            GlVertex e[4] = {q[0], q[1], q[2], q[3]};
            for (GlVertex& x : e)
                x.rgba = Black;
            if (!shared((std::size_t(j) + n - 1) % n)) Lines(e, 2, 1);
            Lines(e + 1, 2, 1);
            if (!shared(nx) && order_[nx] < order_[std::size_t(j)]) {
                const GlVertex last[2] = {e[2], e[3]};
                Lines(last, 2, 1);
            }
        }
        filledOutline(roof_, dx, dy);
    }
}

// Twice the signed area of a polygon (positive when it turns clockwise on the screen, y down).
template <class Points> static double TwiceArea(const Points& p, std::size_t n) {
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto a = p[i], b = p[(i + 1) % n];
        sum += double(a.x) * double(b.y) - double(b.x) * double(a.y);
    }
    return sum;
}

// A shape with every wall drawn is a closed prism: its footprint (never drawn, facing away), its roof and its
// walls. A wall whose drawn quad turns against the footprint faces away too, and every point of it lies under
// the roof or under a wall facing this way (over a closed surface the faces facing away and towards the eye
// cover each point equally often). One drawn before every wall facing this way is painted over entirely,
// lines and all, so it is left out of `sides_` (in drawing order).
void TGlMap::DropHiddenWalls(const TShapeView& sh, float dx, float dy) {
    const std::size_t n = sh.shape.size();
    const double footprint = TwiceArea(sh.shape, n);
    corners_.clear();
    for (const TCoord& c : sh.shape)
        corners_.push_back(At(c.x + dx, c.y + dy, 0));
    const double roof = TwiceArea(corners_, n);
    // A roof snapped flat or turned over is no cover.
    if (footprint == 0 || (roof > 0) != (footprint > 0) || roof == 0) return;
    std::size_t kept = 0;
    bool towards = false;
    for (int j : sides_) {
        const std::size_t nx = (std::size_t(j) + 1) % n;
        const GlVertex q[4] = {corners_[std::size_t(j)], At(sh.shape[j].x, sh.shape[j].y, 0),
                               At(sh.shape[nx].x, sh.shape[nx].y, 0), corners_[nx]};
        const double wall = TwiceArea(q, 4);
        if (wall != 0 && (wall > 0) != (footprint > 0) && !towards) continue;
        towards = towards || (wall != 0 && (wall > 0) == (footprint > 0));
        sides_[kept++] = j;
    }
    sides_.resize(kept);
}

TGlMap::FrameKey TGlMap::KeyNow() const {
    const MapRenderOptions& o = base_.options;
    FrameKey k;
    k.scale = view_.Scale;
    k.originX = view_.OriginX;
    k.originY = view_.OriginY;
    k.width = width_;
    k.height = height_;
    k.ratio = ratio_;
    k.dataLang = o.DataLang;
    k.flat = o.flat;
    k.metro = o.metro;
    k.grid = base_.UseSpatialIndex;
    k.blink = display_.BlinkHighlight();
    k.objects = ObjectStateVersion();
    k.active = scheme_.ActiveColor;
    k.zones.assign(display_.FoundZones.begin(), display_.FoundZones.end());
    k.counts[0] = db_.Fields.size();
    k.counts[1] = db_.Roads.size();
    k.counts[2] = db_.BusWays.size();
    k.counts[3] = db_.BusStops.size();
    k.counts[4] = db_.Streets.size();
    k.counts[5] = db_.Buildings.size();
    k.font = font;
    return k;
}

bool TGlMap::BuildFrame(double ratio) {
    if (Quit) return false;
    Drawing = true;
    // Logical pixels, as the 2D map and the pointer use them: the framebuffer's density only scales them.
    width_ = base_.img.isNull() ? std::max(view_.Width, 1) : base_.width();
    height_ = base_.img.isNull() ? std::max(view_.Height, 1) : base_.height();
    ratio_ = ratio > 0 ? ratio : 1;
    view_.SetSurface(width_, height_);
    view_.CorrectPosition();
    // Smoothing only changes how the frame is drawn.
    smoothNow_ = display_.SmoothNow;
    FrameKey key = KeyNow();
    kept_ = key_ && *key_ == key;
    if (!kept_) {
        Build();
        key_ = std::move(key);
        uploaded_ = false;
    }
    BuildLabels();
    Drawing = false;
    return true;
}

void TGlMap::BuildLabels() {
    if (!display_.TextsOn) {
        labels_ = QImage();
        labelKey_.reset();
        return;
    }
    LabelKey key{KeyNow(), base_.options.ContourText, db_.Texts.size(), db_.POIs.size()};
    // Blinking, outlined districts and the surface's font change no label.
    key.frame.blink = false;
    key.frame.zones.clear();
    key.frame.font = QFont();
    if (labelKey_ && *labelKey_ == key && !labels_.isNull()) return;
    const QSize device(int(std::ceil(width_ * ratio_ - 0.001)), int(std::ceil(height_ * ratio_ - 0.001)));
    if (labels_.size() != device || labels_.devicePixelRatio() != ratio_) {
        labels_ = QImage(device, QImage::Format_ARGB32_Premultiplied);
        labels_.setDevicePixelRatio(ratio_);
    }
    base_.DrawLabels(labels_);
    labelKey_ = key;
}

void TGlMap::Build() {
    frame_.Begin(width_, height_);
    const MapView& v = view_;
    const MapRenderOptions& o = base_.options;
    const bool grid = base_.UseSpatialIndex;
    stopDetail_ = v.StopDetail();
    mapDetail_ = v.MapDetail();
    blink_ = display_.BlinkHighlight();
    flat_ = o.flat;

    ForVisible(db_.Fields, base_.FieldGrid(), v, grid, candidates_, [&](const TField& f, int i) {
        if (f.typ != DistrictFieldType) DrawField(f, i, false);
    });
    ForVisible(db_.Roads, base_.RoadGrid(), v, grid, candidates_, [&](const TRoad& r, int) { DrawRoad(r); });
    for (const TBusWay& way : db_.BusWays)
        DrawRoute(way);
    if (stopDetail_)
        ForVisible(db_.BusStops, base_.StopGrid(), v, grid, candidates_,
                   [&](const TBusStop& st, int) { DrawStop(st); });
    for (const TStreet& st : db_.Streets)
        DrawStreet(st);
    if (mapDetail_) {
        ForVisible(db_.Buildings, base_.BuildingGrid(), v, grid, candidates_,
                   [&](const TBuilding& b, int i) { DrawBuilding(b, i); });
    } else {
        // Zoomed out only found or selected buildings are drawn: keep their list instead of walking them all.
        // An empty list is a valid one too: with nothing found, a million buildings need no walk per frame.
        if (zoomedOutVersion_ != ObjectStateVersion() || zoomedOutActive_ != scheme_.ActiveColor ||
            zoomedOutOf_ != db_.Buildings.size()) {
            zoomedOut_.clear();
            for (std::size_t i = 0; i < db_.Buildings.size(); ++i)
                if (db_.Buildings[i].IsFound || IsSelected(db_.Buildings[i], scheme_))
                    zoomedOut_.push_back(std::uint32_t(i));
            zoomedOutVersion_ = ObjectStateVersion();
            zoomedOutActive_ = scheme_.ActiveColor;
            zoomedOutOf_ = db_.Buildings.size();
        }
        for (std::uint32_t i : zoomedOut_)
            DrawBuilding(db_.Buildings[i], int(i));
    }
    ForVisible(db_.BusStops, base_.StopGrid(), v, grid, candidates_, [&](const TBusStop& st, int) {
        if (st.IsFound || IsSelected(st, scheme_)) DrawStop(st);
    });
    // Zoomed out: one symbol per metro station, however many entrances it has.
    if (!stopDetail_ && o.metro) {
        QSet<QString> drawn;
        for (const TBusStop& st : db_.BusStops) {
            if (st.tip != bstMetro) continue;
            const QString caption = LangOf(st.caption, o.DataLang);
            if (drawn.contains(caption)) continue;
            drawn.insert(caption);
            DrawStop(st);
        }
    }
    for (int zi : display_.FoundZones)
        if (zi >= 0 && zi < int(db_.Fields.size())) DrawField(db_.Fields[zi], zi, true);
}

void TGlMap::Render(QOpenGLFunctions_2_1& gl, int fbWidth, int fbHeight) {
    Drawing = true;
    // Sizes are in pixels of the 2D picture; a framebuffer of another resolution scales them.
    const float k = width_ > 0 ? float(fbWidth) / float(width_) : 1.0f;
    gl.glViewport(0, 0, fbWidth, fbHeight);
    gl.glEnable(GL_SCISSOR_TEST);
    gl.glScissor(0, 0, fbWidth, fbHeight);
    const TColor bg = scheme_.RoadColor;
    gl.glClearColor((bg & 0xFF) / 255.0f, ((bg >> 8) & 0xFF) / 255.0f, ((bg >> 16) & 0xFF) / 255.0f, 1.0f);
    gl.glClearDepth(0);
    gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // Later drawing steps lie nearer (see GlFrame).
    gl.glEnable(GL_DEPTH_TEST);
    gl.glDepthFunc(GL_GREATER);
    // Pixel units with y down; vertices sit on pixel centres.
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadIdentity();
    gl.glOrtho(-0.5, width_ - 0.5, height_ - 0.5, -0.5, -1, 1);
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadIdentity();
    gl.glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    // Every primitive has one colour: flat shading spares the rasteriser interpolating it.
    gl.glShadeModel(GL_FLAT);
    gl.glEnable(GL_BLEND);
    gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    // What was made in another context (the surface's context was made anew) is not this one's to use.
    if (QOpenGLContext::currentContext() != context_) {
        context_ = QOpenGLContext::currentContext();
        vbo_ = 0;
        smoothLines_.Forget();
    }
    const std::size_t total = frame_.vertexCount();
    if (total > 0) {
        if (!vbo_) {
            gl.glGenBuffers(1, &vbo_);
            uploaded_ = false;
        }
        gl.glBindBuffer(GL_ARRAY_BUFFER, vbo_);
        std::size_t at = 0;
        const bool carried = ownSmoothing && smoothLines_.Ready(k);
        // A kept frame is already in the buffer, in the form for the smoothing in use.
        if (!uploaded_ || carried != carried_) {
            gl.glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(total * sizeof(GlVertex)), nullptr, GL_STATIC_DRAW);
            for (int i = 0; i < frame_.batchCount(); ++i) {
                const GlBatch& b = frame_.batches()[i];
                const GlVertex* vs = b.vertices.data();
                if (carried && GlSmoothLines::Carries(b.key)) {
                    carry_.assign(b.vertices.begin(), b.vertices.end());
                    GlSmoothLines::Carry(carry_.data(), carry_.size());
                    vs = carry_.data();
                }
                gl.glBufferSubData(GL_ARRAY_BUFFER, GLintptr(at * sizeof(GlVertex)),
                                   GLsizeiptr(b.vertices.size() * sizeof(GlVertex)), vs);
                at += b.vertices.size();
            }
            uploaded_ = true;
            carried_ = carried;
        }
        gl.glEnableClientState(GL_VERTEX_ARRAY);
        gl.glEnableClientState(GL_COLOR_ARRAY);
        gl.glVertexPointer(3, GL_FLOAT, sizeof(GlVertex), nullptr);
        gl.glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(GlVertex),
                          reinterpret_cast<void*>(offsetof(GlVertex, rgba)));
        gl.glLineStipple(1, 0xFF00);
        // Fills are opaque and hide what earlier steps drew, so among them the order does not count: all of
        // them go first. Lines and points blend and hide nothing, in their batches' order.
        first_.assign(std::size_t(frame_.batchCount()), 0);
        at = 0;
        for (int i = 0; i < frame_.batchCount(); ++i) {
            first_[i] = at;
            at += frame_.batches()[i].vertices.size();
        }
        for (int pass = 0; pass < 2; ++pass) {
            // A software rasteriser starts on the fills while the lines are being sent.
            if (pass == 1) gl.glFlush();
            for (int i = 0; i < frame_.batchCount(); ++i) {
                const GlBatch& b = frame_.batches()[i];
                const bool fill = GlFrame::Opaque(b.key.primitive);
                if (fill != (pass == 0)) continue;
                const GLsizei count = GLsizei(b.vertices.size());
                at = first_[i];
                gl.glDepthMask(fill ? GL_TRUE : GL_FALSE);
                // The triangles come first, in the order of their steps: each may simply replace what is
                // there, sparing the depth buffer's reading. The squares after them and every line and
                // point still pass only over what an earlier step drew.
                gl.glDepthFunc(b.key.primitive == GlPrimitive::Triangles ? GL_ALWAYS : GL_GREATER);
                // Every colour is opaque: without smoothing, blending would only give the colour itself.
                const bool smoothed = b.key.smooth && (b.key.primitive != GlPrimitive::Lines || smoothNow_);
                if (fill || !smoothed)
                    gl.glDisable(GL_BLEND);
                else
                    gl.glEnable(GL_BLEND);
                const bool own = smoothed && carried && GlSmoothLines::Carries(b.key);
                if (own) {
                    gl.glDisable(GL_LINE_SMOOTH);
                    gl.glDisable(GL_LINE_STIPPLE);
                    smoothLines_.Begin(k, fbHeight);
                } else if (b.key.primitive == GlPrimitive::Lines) {
                    gl.glLineWidth(float(b.key.size) * k);
                    if (smoothed)
                        gl.glEnable(GL_LINE_SMOOTH);
                    else
                        gl.glDisable(GL_LINE_SMOOTH);
                    if (b.key.stipple)
                        gl.glEnable(GL_LINE_STIPPLE);
                    else
                        gl.glDisable(GL_LINE_STIPPLE);
                } else if (b.key.primitive != GlPrimitive::Triangles) {
                    gl.glPointSize(float(b.key.size) * k);
                    if (smoothed)
                        gl.glEnable(GL_POINT_SMOOTH);
                    else
                        gl.glDisable(GL_POINT_SMOOTH);
                }
                // Mesa's software path for smoothed, wide and stippled lines and points redoes work over the
                // whole draw each time its own buffer fills: short draws keep that work small.
                const GLsizei chunk = fill || own ? count : LineChunk;
                for (GLsizei d = 0; d < count; d += chunk)
                    gl.glDrawArrays(Mode(b.key.primitive), GLint(at + d), std::min(chunk, count - d));
                if (own) smoothLines_.End();
            }
        }
        gl.glDisableClientState(GL_COLOR_ARRAY);
        gl.glDisableClientState(GL_VERTEX_ARRAY);
        gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
    }
    gl.glFlush();
    gl.glDisable(GL_LINE_STIPPLE);
    gl.glDisable(GL_POINT_SMOOTH);
    gl.glDisable(GL_SCISSOR_TEST);
    // Back to the defaults, for whatever else paints with this context.
    gl.glDisable(GL_DEPTH_TEST);
    gl.glDepthMask(GL_TRUE);
    gl.glDepthFunc(GL_LESS);
    gl.glClearDepth(1);
    gl.glDisable(GL_BLEND);
    gl.glDisable(GL_LINE_SMOOTH);
    gl.glLineWidth(1);
    gl.glPointSize(1);
    gl.glShadeModel(GL_SMOOTH);
    Drawing = false;
}

void TGlMap::ReleaseGl(QOpenGLFunctions_2_1& gl) {
    smoothLines_.Release();
    if (vbo_) gl.glDeleteBuffers(1, &vbo_);
    vbo_ = 0;
    uploaded_ = false;
}
