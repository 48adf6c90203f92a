#include "MapRenderer.h"

#include "CityDb.h"
#include "LabelRoom.h"
#include "MapColors.h"
#include "MapHitTest.h"
#include "MapIcons.h"
#include "ObjectState.h"
#include "Primitives.h"
#include "VisibleObjects.h"

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QPolygon>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

const QColor Grey128(128, 128, 128);

// Point sizes of the design are for a 96-dpi screen.
int PointsToPixels(int points) { return std::max(1, int(std::lround(points * 96.0 / 72.0))); }

QFont MakeFont(const QString& family, int points, bool bold) {
    QFont f(family);
    f.setPixelSize(PointsToPixels(points));
    f.setBold(bold);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

// Windows-like pens: round caps and joins for wide lines; 1-pixel pens are cosmetic, which Qt draws
// without building a stroke outline.
QPen Pen(const QColor& c, int width, Qt::PenStyle style = Qt::SolidLine) {
    return QPen(c, width <= 1 ? 0 : width, style, Qt::RoundCap, Qt::RoundJoin);
}

} // namespace

// Everything one redraw needs at hand.
struct TMap::Frame {
    QPainter p;
    QImage* surface = nullptr;
    std::optional<PixelSurface> pixels; // set once painting has begun on the surface
    const TColorScheme* s = nullptr;
    bool stopDetail = false, mapDetail = false, blink = false, smoothNow = false;
    bool forPrint = false; // the export layers: no routes and no icons
    QHash<int, QFont> arialBold, arial, times;
    QPolygon roof, wall = QPolygon(4);
    std::vector<int> sides;
    std::vector<std::uint32_t> candidates;
    QPolygon poly;
    LabelRoom labels; // the text labels of the base layer, which stops, icons and house numbers leave free

    // Pens and brushes cost an allocation each: set them only when they change.
    QRgb penColor = 0;
    int penWidth = -1;
    Qt::PenStyle penStyle = Qt::NoPen;
    void pen(const QColor& c, int width, Qt::PenStyle style = Qt::SolidLine) {
        width = std::max(width, 1);
        if (penWidth == width && penColor == c.rgb() && penStyle == style) return;
        p.setPen(Pen(c, width, style));
        penColor = c.rgb();
        penWidth = width;
        penStyle = style;
    }
    void penChanged() { penWidth = -1; }
    void noPen() {
        if (penStyle == Qt::NoPen && penWidth == 0) return;
        p.setPen(Qt::NoPen);
        penStyle = Qt::NoPen;
        penWidth = 0;
    }
    QRgb brushColor = 0;
    bool brushSolid = false;
    void brush(const QColor& c) {
        if (brushSolid && brushColor == c.rgb()) return;
        p.setBrush(c);
        brushColor = c.rgb();
        brushSolid = true;
    }
    void noBrush() {
        p.setBrush(Qt::NoBrush);
        brushSolid = false;
    }
    void hatch(const QColor& c) {
        p.setBrush(QBrush(c, Qt::BDiagPattern));
        brushSolid = false;
    }

    const QFont& ArialBold(int pt) {
        auto it = arialBold.find(pt);
        if (it == arialBold.end()) it = arialBold.insert(pt, MakeFont("Liberation Sans", pt, true));
        return *it;
    }
    const QFont& Arial(int pt) {
        auto it = arial.find(pt);
        if (it == arial.end()) it = arial.insert(pt, MakeFont("Liberation Sans", pt, false));
        return *it;
    }
    const QFont& Times(int pt) {
        auto it = times.find(pt);
        if (it == times.end()) it = times.insert(pt, MakeFont("Liberation Serif", pt, false));
        return *it;
    }
};

TMap::TMap(CityDb& db, MapView& view, MapDisplay& display, const TColorScheme& scheme)
    : db_(db), view_(view), display_(display), scheme_(scheme) {}

TMap::~TMap() = default;

void TMap::CityLoaded() {
    const WorldRect world{db_.WorldMinX, db_.WorldMinY, db_.WorldMaxX, db_.WorldMaxY};
    fieldGrid_.Build(db_.Fields, world);
    roadGrid_.Build(db_.Roads, world);
    stopGrid_.Build(db_.BusStops, world);
    buildingGrid_.Build(db_.Buildings, world);
    textGrid_.Build(db_.Texts, world);
    poiGrid_.Build(db_.POIs, world);
    stopById_.clear();
    for (size_t i = db_.BusStops.size(); i-- > 0;) stopById_[db_.BusStops[i].id_] = int(i); // first one wins
    view_.SetWorld(db_.WorldMinX, db_.WorldMinY, db_.WorldMaxX, db_.WorldMaxY);
}

int TMap::StopIndexById(int id) const {
    auto it = stopById_.find(id);
    return it == stopById_.end() ? -1 : it->second;
}

void TMap::Resize(int width, int height, bool starting, double ratio) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (!(ratio > 0)) ratio = 1;
    width_ = width;
    height_ = height;
    const QSize device(int(std::ceil(width * ratio - 0.001)), int(std::ceil(height * ratio - 0.001)));
    img = QImage(device, QImage::Format_RGB32);
    img.setDevicePixelRatio(ratio);
    buf_img = QImage(device, QImage::Format_RGB32);
    buf_img.setDevicePixelRatio(ratio);
    view_.SetSurface(width, height, starting);
}

namespace {

QPoint Screen(const MapView& v, float x, float y) {
    int px, py;
    v.WorldToScreen(x, y, px, py);
    return {px, py};
}

// Outlines come as float vectors or as a building's packed points.
template <class Points> void ToScreen(const MapView& v, const Points& shape, QPolygon& out) {
    out.resize(int(shape.size()));
    for (size_t i = 0; i < shape.size(); ++i) {
        const TCoord c = shape[i];
        out[int(i)] = Screen(v, c.x, c.y);
    }
}

// A polygon filled with the current brush and outlined with a 1-pixel line of `outline`, drawn
// straight into the pixels: the same picture as a 1-pixel pen, without Qt building a stroke.
void FillOutlined(QPainter& p, const PixelSurface& px, const QPolygon& poly, QRgb outline, bool convex = false) {
    if (convex) p.drawConvexPolygon(poly);
    else p.drawPolygon(poly);
    const int n = poly.size();
    for (int i = 0; i < n; ++i) SolidLine(px, poly[i], poly[(i + 1) % n], outline);
}

QString LangOf(const Tas& t, int lang) {
    if (lang >= 0 && lang < t.size()) return t[lang];
    return t.isEmpty() ? QString() : t[0];
}

} // namespace

void TMap::BeginFrame(Frame& f, QImage& surface) {
    f.surface = &surface;
    f.s = &scheme_;
    f.stopDetail = view_.StopDetail();
    f.mapDetail = view_.MapDetail();
    f.blink = display_.BlinkHighlight();
    f.smoothNow = display_.SmoothNow;
    // Begin first: it detaches a shared picture, after which its pixels stay where they are.
    f.p.begin(&surface);
    f.pixels.emplace(surface);
}

void TMap::DrawGDI(QImage* target, bool full) {
    if (Quit) return;
    Drawing = true;
    if (img.isNull()) Resize(view_.Width > 0 ? view_.Width : 1, view_.Height > 0 ? view_.Height : 1);
    view_.SetSurface(width_, height_);
    view_.CorrectPosition();

    // The base layer is drawn straight into its cache; the frame is the cache plus the overlays.
    if (full) {
        if (buf_img.size() != img.size()) {
            buf_img = QImage(img.size(), QImage::Format_RGB32);
            buf_img.setDevicePixelRatio(img.devicePixelRatio());
        }
        Frame base;
        BeginFrame(base, buf_img);
        DrawBase(base);
        base.p.end();
    }
    if (img.isDetached() && img.size() == buf_img.size() && img.format() == buf_img.format())
        std::memcpy(img.bits(), buf_img.constBits(), size_t(buf_img.sizeInBytes()));
    else
        img = buf_img.copy(); // keeps the ratio
    Frame f;
    BeginFrame(f, img);
    DrawOverlays(f);
    f.p.end();
    if (target) *target = img;
    Drawing = false;
}

void TMap::DrawMinimap(QImage& target) {
    Frame f;
    BeginFrame(f, target);
    f.p.fillRect(QRect(0, 0, target.width(), target.height()), ToQColor(scheme_.RoadColor));
    ForVisible(db_.Fields, fieldGrid_, view_, UseSpatialIndex, f.candidates, [&](const TField& fl, int) {
        if (fl.typ != DistrictFieldType) DrawField(f, fl);
    });
    f.p.end();
}

void TMap::DrawForPrint(QImage& target, QPoint at) {
    Frame f;
    f.forPrint = true;
    BeginFrame(f, target);
    // Hatches continue across the pieces of a picture drawn piece by piece.
    f.p.setBrushOrigin(-at);
    DrawBase(f);
    f.p.end();
}

int TMap::OverdrawPixels() const {
    const MapView& v = view_;
    // Metro captions above their stops, house numbers, stop circles (at least 6 pixels and their pen).
    int reach = std::max(40, v.ToPixels(7) + 4);
    for (const TBusStop& st : db_.BusStops) reach = std::max(reach, 2 * std::max(v.ToPixels(st.Radius), 6) + 4);
    for (const TRoad& r : db_.Roads) reach = std::max(reach, v.ToPixels(std::fabs(r.width)) / 2 + 2);
    for (const TStreet& st : db_.Streets) reach = std::max(reach, std::max(v.ToPixels(st.width), 3) / 2 + 2);
    // A label's box starts at its anchor; turned, it reaches its width and height any way.
    for (const TText& t : db_.Texts) reach = std::max(reach, v.ToPixels(t.maxX_ - t.x) + 2 * v.ToPixels(t.size) + 2);
    return reach;
}

void TMap::DrawField(Frame& f, const TField& fl) {
    const MapView& v = view_;
    if (!v.IsVisible(fl, options.flat)) return;
    if (v.ToPixels(fl.maxX_ - fl.minX_) < 3 && v.ToPixels(fl.maxY_ - fl.minY_) < 3) return;
    ToScreen(v, fl.shape, f.poly);
    QPainter& p = f.p;
    // Districts are outlined, never filled.
    if (fl.typ == DistrictFieldType) {
        f.noBrush();
        f.pen(Qt::red, std::max(v.ToPixels(2), 2));
        p.drawPolygon(f.poly);
        return;
    }
    const QColor fill = ToQColor(fl.color);
    f.brush(fill);
    f.noPen();
    FillOutlined(p, *f.pixels, f.poly, (f.mapDetail && !f.smoothNow ? Grey128 : fill).rgb());
    if (f.smoothNow) {
        const QRgb edge = (f.mapDetail ? Grey128 : fill).rgb();
        const int n = f.poly.size();
        for (int i = 0; i < n; ++i) AntialiasedLine(*f.pixels, f.poly[i], f.poly[(i + 1) % n], edge);
    }
}

void TMap::DrawRoad(Frame& f, const TRoad& r) {
    const MapView& v = view_;
    if (!v.IsVisible(r, options.flat)) return;
    if (f.mapDetail ? r.layer == 1 : r.layer == 0) return;
    const float width = std::fabs(r.width) < 0.0001f ? 1.0f : r.width;
    const int w = v.ToPixels(width);
    if (w == 0) return;
    QPainter& p = f.p;
    const QPoint a = Screen(v, r.point[0].x, r.point[0].y), b = Screen(v, r.point[1].x, r.point[1].y);
    if (r.tip == rtIron) {
        f.pen(Qt::black, w);
        p.drawLine(a, b);
        f.pen(Qt::white, std::max(w - 4, 1));
        DrawRailwayDashes(p, a, b, w);
    } else if (r.tip == rtWall) {
        DottedLine(*f.pixels, a, b, ToQRgb(r.color));
    } else if (f.smoothNow && w == 1) {
        AntialiasedLine(*f.pixels, a, b, ToQRgb(r.color));
    } else {
        f.pen(ToQColor(r.color), w);
        p.drawLine(a, b);
    }
}

void TMap::DrawRoute(Frame& f, const TBusWay& way) {
    const MapView& v = view_;
    if (!way.IsFound || !v.IsVisible(way, options.flat)) return;
    const int w = v.ToPixels(2);
    const QColor c = ToQColor(way.tip == ttMetro ? way.MetroColor : way.color);
    QPolygon line;
    line.reserve(int(way.way.size()));
    for (const TWayPoint& pt : way.way) {
        if (pt.typ == 0) {
            line << Screen(v, pt.x, pt.y);
        } else if (int si = StopIndexById(pt.ids); si >= 0) {
            line << Screen(v, db_.BusStops[si].x, db_.BusStops[si].y);
        }
    }
    QPainter& p = f.p;
    if (f.smoothNow && w < 2) {
        for (int i = 0; i + 1 < line.size(); ++i) AntialiasedLine(*f.pixels, line[i], line[i + 1], c.rgb());
    } else {
        f.noBrush();
        f.pen(c, w);
        p.drawPolyline(line);
    }
}

void TMap::DrawStop(Frame& f, const TBusStop& st) {
    const MapView& v = view_;
    if (!v.IsVisible(st, options.flat)) return;
    const bool selected = IsSelected(st, scheme_);
    const bool special = st.IsFound || selected || st.tip == bstMetro;
    if (v.Scale > 4 && !special) return;
    const int r = StopDrawnRadius(st, v, special);
    const int penWidth = int(std::lround(1.05 * r)) - r + 1;
    const QColor fill = ToQColor(f.blink && st.IsFound ? scheme_.ActiveColor : st.color);
    const QColor outline = st.IsFound || selected ? fill : QColor(Qt::black);
    const QPoint c = Screen(v, st.x, st.y);
    if (!special && f.labels.Covers(c, r, r)) return;
    QPainter& p = f.p;
    f.brush(fill);
    f.pen(outline, penWidth);
    p.drawEllipse(QRect(c.x() - r, c.y() - r, 2 * r, 2 * r));
    if (st.tip != bstMetro) return;
    p.setFont(f.Times(r));
    const QFontMetrics fm = p.fontMetrics();
    f.pen(Qt::white, 1);
    p.drawText(c.x() - fm.horizontalAdvance(QStringLiteral("M")) / 2, c.y() - fm.height() / 2 + fm.ascent(),
               QStringLiteral("M"));
    DrawMetroCaption(f, st, c);
}

void TMap::DrawMetroCaption(Frame& f, const TBusStop& st, QPoint c) {
    const MapView& v = view_;
    if (v.Scale < 3 || v.Scale >= 20) return;
    QPainter& p = f.p;
    const QString caption = LangOf(st.caption, options.DataLang);
    p.setFont(f.Arial(6));
    f.noBrush();
    const QFontMetrics cm = p.fontMetrics();
    DrawContourText(p, QPoint(c.x() - cm.horizontalAdvance(caption) / 2, c.y() - cm.height() - 5), caption,
                    Qt::blue, options.ContourText);
    f.penChanged();
}

void TMap::DrawStreet(Frame& f, const TStreet& st) {
    const MapView& v = view_;
    if (!st.Visible || !v.IsVisible(st, options.flat)) return;
    f.pen(ToQColor(f.blink && st.IsFound ? scheme_.ActiveColor : st.color), std::max(v.ToPixels(st.width), 3));
    for (size_t i = 0; i + 1 < st.shape.size(); i += 2)
        f.p.drawLine(Screen(v, st.shape[i].x, st.shape[i].y), Screen(v, st.shape[i + 1].x, st.shape[i + 1].y));
}

void TMap::DrawOutline(Frame& f, const QPolygon& poly, const TShapeView& sh, bool single, const QColor& brush) {
    QPainter& p = f.p;
    const QColor outline = f.stopDetail ? QColor(Qt::black) : Grey128;
    f.noPen();
    if (single && !f.smoothNow) {
        FillOutlined(p, *f.pixels, poly, outline.rgb());
        return;
    }
    FillOutlined(p, *f.pixels, poly, brush.rgb());
    const int n = poly.size();
    for (int i = 0; i < n; ++i) {
        // Walls shared between parts of one building stay invisible.
        if (!single && i < int(sh.comSide.size()) && sh.comSide[i]) continue;
        if (f.smoothNow) AntialiasedLine(*f.pixels, poly[i], poly[(i + 1) % n], outline.rgb());
        else SolidLine(*f.pixels, poly[i], poly[(i + 1) % n], outline.rgb());
    }
}

void TMap::DrawBuilding(Frame& f, const TBuilding& b) {
    const MapView& v = view_;
    if (!f.mapDetail && !IsSelected(b, scheme_) && !b.IsFound) return;
    if (!v.IsVisible(b, options.flat)) return;
    QPainter& p = f.p;
    const bool single = b.shapes.size() == 1;
    const TColor baseColor = f.blink && b.IsFound ? scheme_.ActiveColor : b.color;
    const QColor brush = ToQColor(baseColor);
    // A construction site in a scheme whose construction colour is black is hatched.
    const bool hatch = b.color == 0 && b.tip == 20;
    auto setBrush = [&] {
        if (hatch) {
            p.setBackgroundMode(Qt::OpaqueMode);
            p.setBackground(Qt::white);
            f.hatch(brush);
        } else {
            p.setBackgroundMode(Qt::TransparentMode);
            f.brush(brush);
        }
    };
    for (const TShapeView& sh : b.shapes) {
        if (sh.shape.empty()) continue;
        ToScreen(v, sh.shape, f.poly);
        setBrush();
        if (options.flat || sh.high == 0 || !v.HeightsShown()) {
            DrawOutline(f, f.poly, sh, single, brush);
            continue;
        }
        const QPoint d(v.ToPixels(sh.high / 4.0f), -v.ToPixels(float(sh.high)));
        const int n = f.poly.size();
        auto shared = [&](int j) { return j < int(sh.comSide.size()) && sh.comSide[j]; };
        f.sides.clear();
        for (int j = 0; j < n; ++j)
            if (j < int(sh.visSide.size()) && sh.visSide[j] && !shared(j)) f.sides.push_back(j);
        // Far walls first: by the smaller y of each side's ends, ties in their order.
        auto farY = [&](int j) { return std::min(sh.shape[j].y, sh.shape[(j + 1) % n].y); };
        std::stable_sort(f.sides.begin(), f.sides.end(), [&](int a, int c) { return farY(a) < farY(c); });
        const QColor wallFill = ToQColor(Darken(baseColor, 30));
        p.setBackgroundMode(Qt::TransparentMode);
        auto edge = [&](QPoint a, QPoint c) {
            if (options.smooth) AntialiasedLine(*f.pixels, a, c, qRgb(0, 0, 0));
            else SolidLine(*f.pixels, a, c, qRgb(0, 0, 0));
        };
        for (int j : f.sides) {
            const int nx = (j + 1) % n;
            const QPoint pj = f.poly[j], pn = f.poly[nx];
            f.wall[0] = pj + d;
            f.wall[1] = pj;
            f.wall[2] = pn;
            f.wall[3] = pn + d;
            f.brush(wallFill);
            f.noPen();
            FillOutlined(p, *f.pixels, f.wall, (!options.smooth && single ? QColor(Qt::black) : wallFill).rgb(),
                         true); // a wall is a parallelogram
            if (!shared((j + n - 1) % n)) edge(pj + d, pj);
            edge(pj, pn);
            if (!shared(nx)) edge(pn, pn + d);
        }
        f.roof = f.poly.translated(d);
        setBrush();
        DrawOutline(f, f.roof, sh, single, brush);
    }
    p.setBackgroundMode(Qt::TransparentMode);
    if (display_.TextsOn) DrawHouseNumber(f, b);
}

void TMap::DrawHouseNumber(Frame& f, const TBuilding& b) {
    const MapView& v = view_;
    const QString num = LangOf(b.num, options.DataLang);
    if (num.isEmpty()) return;
    const int points = v.ToPixels(std::min((b.maxX_ - b.minX_) / float(num.size()), 7.0f));
    if (points < 4) return;
    QPoint at = Screen(v, b.x, b.y);
    if (!options.flat && b.ShapeWithNum < b.shapes.size() && b.shapes[b.ShapeWithNum].high > 0) {
        const float h = b.shapes[b.ShapeWithNum].high;
        at += QPoint(v.ToPixels(h / 4), -v.ToPixels(h));
    }
    QPainter& p = f.p;
    p.setFont(f.Times(points));
    f.noBrush();
    const QFontMetrics fm = p.fontMetrics();
    // A house number yields to the street's name.
    if (f.labels.Covers(at, fm.horizontalAdvance(num) / 2, fm.height() / 2)) return;
    const QPoint topLeft(at.x() - fm.horizontalAdvance(num) / 2, at.y() - fm.height() / 2);
    DrawContourText(p, topLeft, num, Qt::black, points > 5 && options.ContourText);
    f.penChanged();
}

int TMap::TextPoints(const Frame& f, const TText& t) const {
    const MapView& v = view_;
    if (!v.IsVisible(t, options.flat)) return 0;
    const int size = v.ToPixels(t.size);
    if (size < 4) return 0;
    if ((f.mapDetail && v.Scale > 1.8f && t.size < 30) || (f.mapDetail && t.layer == 1) ||
        (!f.mapDetail && t.layer == 0))
        return 0;
    return size;
}

void TMap::RoomForTexts(Frame& f) {
    f.labels.Clear();
    if (!display_.TextsOn) return;
    ForVisible(db_.Texts, textGrid_, view_, UseSpatialIndex, f.candidates, [&](const TText& t, int) {
        const int size = TextPoints(f, t);
        if (!size) return;
        const QFontMetrics fm(f.ArialBold(size));
        const QRect local(0, 0, fm.horizontalAdvance(LangOf(t.Text, options.DataLang)), fm.height());
        f.labels.Add(Screen(view_, t.x, t.y), t.angle / 10.0, local);
    });
}

void TMap::DrawText(Frame& f, const TText& t) {
    const MapView& v = view_;
    const int size = TextPoints(f, t);
    if (!size) return;
    QPainter& p = f.p;
    p.setFont(f.ArialBold(size));
    f.pen(ToQColor(t.color), 1);
    const QPoint at = Screen(v, t.x, t.y);
    p.save();
    p.translate(at);
    p.rotate(-t.angle / 10.0); // tenths of a degree, counter-clockwise
    p.drawText(0, p.fontMetrics().ascent(), LangOf(t.Text, options.DataLang));
    p.restore();
}

// Zoomed out only found or selected buildings are drawn: keep their list instead of walking them all.
const std::vector<std::uint32_t>& TMap::ZoomedOutBuildings() {
    if (zoomedOutVersion_ != ObjectStateVersion() || zoomedOutActive_ != scheme_.ActiveColor ||
        zoomedOutOf_ != db_.Buildings.size()) {
        zoomedOutBuildings_.clear();
        for (size_t i = 0; i < db_.Buildings.size(); ++i)
            if (db_.Buildings[i].IsFound || IsSelected(db_.Buildings[i], scheme_))
                zoomedOutBuildings_.push_back(std::uint32_t(i));
        zoomedOutVersion_ = ObjectStateVersion();
        zoomedOutActive_ = scheme_.ActiveColor;
        zoomedOutOf_ = db_.Buildings.size();
    }
    return zoomedOutBuildings_;
}

void TMap::DrawBase(Frame& f) {
    QPainter& p = f.p;
    const MapView& v = view_;
    // The whole surface: a print or export surface is not the map image's size.
    p.fillRect(QRect(0, 0, f.surface->width(), f.surface->height()), ToQColor(scheme_.RoadColor));

    ForVisible(db_.Fields, fieldGrid_, v, UseSpatialIndex, f.candidates, [&](const TField& fl, int) {
        if (fl.typ != DistrictFieldType) DrawField(f, fl);
    });
    ForVisible(db_.Roads, roadGrid_, v, UseSpatialIndex, f.candidates, [&](const TRoad& r, int) { DrawRoad(f, r); });
    if (!f.forPrint)
        for (const TBusWay& way : db_.BusWays) DrawRoute(f, way);
    RoomForTexts(f);
    if (f.stopDetail)
        ForVisible(db_.BusStops, stopGrid_, v, UseSpatialIndex, f.candidates, [&](const TBusStop& st, int) {
            if (st.tip != bstMetro) DrawStop(f, st);
        });
    for (const TStreet& st : db_.Streets) DrawStreet(f, st);
    if (f.mapDetail) {
        ForVisible(db_.Buildings, buildingGrid_, v, UseSpatialIndex, f.candidates,
                   [&](const TBuilding& b, int) { DrawBuilding(f, b); });
    } else {
        for (std::uint32_t i : ZoomedOutBuildings()) DrawBuilding(f, db_.Buildings[i]);
    }
    f.noBrush();
    if (display_.TextsOn)
        ForVisible(db_.Texts, textGrid_, v, UseSpatialIndex, f.candidates, [&](const TText& t, int) { DrawText(f, t); });
    if (v.Scale <= 1 && !f.forPrint)
        ForVisible(db_.POIs, poiGrid_, v, UseSpatialIndex, f.candidates, [&](const TPOI& poi, int) {
            if (!v.IsVisible(poi, options.flat)) return;
            const QPoint at = Screen(v, poi.x, poi.y);
            if (f.labels.Covers(at, 8, 8)) return;
            p.drawImage(at.x() - 8, at.y() - 8, POIIcon(poi.tip, f.pixels->ratio));
        });
    // Stops on top: found, selected, or metro when zoomed in.
    ForVisible(db_.BusStops, stopGrid_, v, UseSpatialIndex, f.candidates, [&](const TBusStop& st, int) {
        if (st.IsFound || IsSelected(st, scheme_) || (st.tip == bstMetro && f.stopDetail)) DrawStop(f, st);
    });
    // Zoomed out: one symbol per metro station, however many entrances it has.
    if (!f.stopDetail && options.metro) {
        QSet<QString> drawn;
        for (const TBusStop& st : db_.BusStops) {
            if (st.tip != bstMetro) continue;
            const QString caption = LangOf(st.caption, options.DataLang);
            if (drawn.contains(caption)) continue;
            drawn.insert(caption);
            DrawStop(f, st);
        }
    }
}

bool TMap::MarkAnchor(const TMark& m, QPoint& at) const {
    if (!m.Shows() || m.BuildIndex < 0 || m.BuildIndex >= int(db_.Buildings.size())) return false;
    const MapView& v = view_;
    const TBuilding& b = db_.Buildings[m.BuildIndex];
    float ax = b.x, ay = b.y;
    // On the roof when heights are drawn.
    if (!options.flat && v.Scale < 4 && b.ShapeWithNum < b.shapes.size() && b.shapes[b.ShapeWithNum].high > 0) {
        ax += b.shapes[b.ShapeWithNum].high / 4.0f;
        ay -= b.shapes[b.ShapeWithNum].high;
    }
    at = Screen(v, ax, ay);
    return true;
}

void TMap::DrawMarks(Frame& f) {
    QImage& surface = *f.surface;
    for (const TMark& m : display_.Marks.mark) {
        QPoint at;
        if (!MarkAnchor(m, at)) continue;
        const double ratio = f.pixels->ratio;
        const QImage& pic = MarkPicture(m.Yellow(), ratio);
        // Device pixels of the picture's logical top left, the picture being drawn for the same ratio.
        const int left = int(std::lround(at.x() * ratio));
        const int top = int(std::lround(at.y() * ratio)) - pic.height();
        for (int y = 0; y < pic.height(); ++y) {
            const int sy = top + y;
            if (sy < 0 || sy >= surface.height()) continue;
            const QRgb* src = reinterpret_cast<const QRgb*>(pic.constScanLine(y));
            QRgb* dst = reinterpret_cast<QRgb*>(surface.scanLine(sy));
            for (int x = 0; x < pic.width(); ++x) {
                const int sx = left + x;
                if (sx < 0 || sx >= surface.width() || (src[x] & 0xFFFFFF) == 0xFFFFFF) continue;
                dst[sx] = src[x];
            }
        }
    }
}

void TMap::DrawOverlays(Frame& f) {
    for (int zi : display_.FoundZones)
        if (zi >= 0 && zi < int(db_.Fields.size())) DrawField(f, db_.Fields[zi]);
    const Tbo& shown = display_.ShownObjects;
    for (int i : shown.ids) {
        if (shown.tip == otBuild && i >= 0 && i < int(db_.Buildings.size())) DrawBuilding(f, db_.Buildings[i]);
        else if (shown.tip == otBusStop && i >= 0 && i < int(db_.BusStops.size())) DrawStop(f, db_.BusStops[i]);
        else if (shown.tip == otStreet && i >= 0 && i < int(db_.Streets.size())) DrawStreet(f, db_.Streets[i]);
    }
    if (options.marks) DrawMarks(f);
    if (drawRuler) drawRuler(f.p);
    if (drawRadius) drawRadius(f.p);
    if (drawBalloons) drawBalloons(f.p);
}

void TMap::PaintOverlays(QPainter& p) {
    if (options.marks)
        for (const TMark& m : display_.Marks.mark) {
            QPoint at;
            if (!MarkAnchor(m, at)) continue;
            const QImage& pic = MarkOverlay(m.Yellow(), p.device()->devicePixelRatioF());
            p.drawImage(QPoint(at.x(), at.y() - int(std::lround(pic.height() / pic.devicePixelRatio()))), pic);
        }
    for (auto* draw : {&drawRuler, &drawRadius, &drawBalloons})
        if (*draw) (*draw)(p);
}

void TMap::DrawLabels(QImage& target) {
    target.fill(Qt::transparent);
    if (Quit || !display_.TextsOn) return;
    Frame f;
    BeginFrame(f, target);
    const MapView& v = view_;
    auto number = [&](const TBuilding& b) {
        if (v.IsVisible(b, options.flat)) DrawHouseNumber(f, b);
    };
    if (f.mapDetail)
        ForVisible(db_.Buildings, buildingGrid_, v, UseSpatialIndex, f.candidates,
                   [&](const TBuilding& b, int) { number(b); });
    else
        for (std::uint32_t i : ZoomedOutBuildings()) number(db_.Buildings[i]);
    f.noBrush();
    ForVisible(db_.Texts, textGrid_, v, UseSpatialIndex, f.candidates, [&](const TText& t, int) { DrawText(f, t); });
    if (v.Scale <= 1)
        ForVisible(db_.POIs, poiGrid_, v, UseSpatialIndex, f.candidates, [&](const TPOI& poi, int) {
            if (!v.IsVisible(poi, options.flat)) return;
            const QPoint at = Screen(v, poi.x, poi.y);
            f.p.drawImage(at.x() - 8, at.y() - 8, POIIcon(poi.tip, f.pixels->ratio));
        });
    // Metro captions over the stations drawn: found or selected ones, and one per caption zoomed out.
    if (v.Scale >= 3 && v.Scale < 20) {
        QSet<QString> drawn;
        for (const TBusStop& st : db_.BusStops) {
            if (st.tip != bstMetro) continue;
            const QString caption = LangOf(st.caption, options.DataLang);
            const bool first = options.metro && !drawn.contains(caption);
            if (first) drawn.insert(caption);
            if ((first || st.IsFound || IsSelected(st, scheme_)) && v.IsVisible(st, options.flat))
                DrawMetroCaption(f, st, Screen(v, st.x, st.y));
        }
    }
    f.p.end();
}
