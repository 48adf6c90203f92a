#include "BalloonPainter.h"

#include "CardPainter.h"
#include "CityFile.h"
#include "ColorConvert.h"
#include "MapView.h"

#include <QBuffer>
#include <QImageReader>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {

const QColor SkyBlue(166, 202, 240);
const QColor Navy(0, 0, 128);
const QColor RadiusOutline(212, 156, 126);
constexpr int HeaderBand = 21;

// Photos bigger than this in bytes or pixels are not shown: a balloon is no picture viewer.
constexpr qint64 MaxFotoBytes = 8 << 20;
constexpr int MaxFotoSide = 4096;
// A shown photo is scaled down to fit this box, so that the balloon stays on the map.
constexpr int FotoBoxWidth = 480, FotoBoxHeight = 360;

QFont LabelFont() {
    QFont f = CardFont();
    f.setPixelSize(12); // 9 points
    return f;
}

// The button pictures, drawn in code: a small rounded square whose face shows its state.
void PaintButtonFace(QPainter& p, TbtnType tip, TbtnState state, bool pinned, int width, int height) {
    const QRectF r(0.5, 0.5, width - 1, height - 1);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor face = state == bsDown   ? QColor(150, 180, 220)
                        : state == bsOver ? QColor(220, 235, 252)
                                          : QColor(245, 245, 245);
    p.setPen(QPen(state == bsNormal ? QColor(150, 150, 150) : QColor(60, 90, 140), 1));
    p.setBrush(face);
    p.drawRoundedRect(r, 3, 3);
    const QPointF c = r.center();
    const QColor ink = state == bsNormal ? QColor(70, 70, 70) : QColor(20, 40, 90);
    p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    switch (tip) {
    case btClose:
        p.drawLine(c + QPointF(-3.5, -3.5), c + QPointF(3.5, 3.5));
        p.drawLine(c + QPointF(-3.5, 3.5), c + QPointF(3.5, -3.5));
        break;
    case btService: // a chevron: more rows below
        p.drawPolyline(QPolygonF({c + QPointF(-4, -1.5), c + QPointF(0, 2.5), c + QPointF(4, -1.5)}));
        break;
    case btFoto: // a small camera
        p.setPen(QPen(ink, 1.2));
        p.drawRect(QRectF(c.x() - 5, c.y() - 2.5, 10, 7));
        p.drawEllipse(c + QPointF(0, 1), 2, 2);
        p.drawLine(c + QPointF(-2, -2.5), c + QPointF(-1, -4.5));
        p.drawLine(c + QPointF(-1, -4.5), c + QPointF(2, -4.5));
        break;
    case btPin:
        // Upright when pinned, leaning when the balloon may close by itself.
        p.translate(c);
        if (!pinned) p.rotate(45);
        p.setBrush(pinned ? QColor(200, 40, 40) : ink);
        p.setPen(QPen(ink, 1.2));
        p.drawEllipse(QPointF(0, -2.5), 2.5, 2.5);
        p.drawLine(QPointF(0, 0), QPointF(0, 5));
        break;
    }
}

qreal RatioOf(const QPainter& p) {
    return p.device() ? p.device()->devicePixelRatioF() : 1.0;
}

QImage Sprite(int width, int height, qreal ratio) {
    QImage img(QSize(qCeil(width * ratio), qCeil(height * ratio)), QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(ratio);
    img.fill(Qt::transparent);
    return img;
}

void DrawButton(QPainter& p, const OverlayFonts& cache, const Tbtn& b, int ownerLeft, int ownerTop,
                bool pinned) {
    if (b.Hidden()) return;
    p.drawImage(QPoint(ownerLeft + b.left, ownerTop + b.top), cache.Button(b, pinned, RatioOf(p)));
}

// The tail from the box to the anchor A, on the side facing it.
void DrawTail(QPainter& p, const TInfo& info, QPoint A, const QColor& color, bool smooth) {
    const int l = info.left, t = info.top, r = info.left + info.width - 1, b = info.top + info.height - 1;
    if (A.x() >= l && A.x() <= r && A.y() >= t && A.y() <= b) return;
    const int outLeft = std::max(0, l - A.x()), outRight = std::max(0, A.x() - r);
    const int outTop = std::max(0, t - A.y()), outBottom = std::max(0, A.y() - b);
    const int outH = std::max(outLeft, outRight), outV = std::max(outTop, outBottom);
    enum { none, below, above, left, right } side = none;
    if (outBottom > 0 && outBottom >= outH) side = below;
    if (outTop > 0 && outTop >= outH) side = above;
    if (outLeft > 0 && outLeft > outV) side = left;
    if (outRight > 0 && outRight > outV) side = right;
    if (side == none) return;
    QPoint s, e;
    if (side == below || side == above) {
        int x0 = A.x() - 6;
        x0 = std::max(x0, l + 10);
        x0 = std::min(x0, l + info.width - 10 - 12);
        const int y = side == below ? b : t;
        s = QPoint(x0, y);
        e = QPoint(x0 + 12, y);
    } else {
        int y0 = A.y() - 6;
        y0 = std::max(y0, t + 10);
        y0 = std::min(y0, t + info.height - 10 - 12);
        const int x = side == left ? l : r;
        s = QPoint(x, y0);
        e = QPoint(x, y0 + 12);
    }
    p.setPen(QPen(color, 1));
    p.setBrush(color);
    p.drawPolygon(QPolygon({s, A, e}));
    p.drawLine(s, e);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, smooth);
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(s, A);
    p.drawLine(e, A);
    p.restore();
}

} // namespace

OverlayFonts::OverlayFonts()
    : balloon_(std::make_unique<FontMeasure>(CardFont())),
      label_(std::make_unique<FontMeasure>(LabelFont())) {}
OverlayFonts::~OverlayFonts() = default;

const QImage& OverlayFonts::Button(const Tbtn& b, bool pinned, qreal ratio) const {
    if (ratio != ratio_) Forget(ratio);
    const int key = int(b.tip) * 100 + int(b.state) * 10 + (pinned && b.tip == btPin ? 1 : 0);
    auto it = buttons_.find(key);
    if (it != buttons_.end()) return *it;
    QImage img = Sprite(b.width, b.height, ratio);
    QPainter p(&img);
    PaintButtonFace(p, b.tip, b.state, pinned, b.width, b.height);
    p.end();
    return *buttons_.insert(key, img);
}

const QImage& OverlayFonts::NodeLabel(const QString& text, int width, int height, qreal ratio) const {
    if (ratio != ratio_) Forget(ratio);
    auto it = labels_.find(text);
    if (it != labels_.end() && it->width() == qCeil(width * ratio)) return *it;
    // Long rulers on a moving map show ever new lengths: the cache starts afresh now and then.
    if (labels_.size() > 4096) labels_.clear();
    QImage img = Sprite(width, height, ratio);
    QPainter p(&img);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(0.5, 0.5, width - 1, height - 1), 2.5, 2.5);
    p.setFont(label_->Font(false));
    p.drawText(5, 2 + QFontMetrics(label_->Font(false)).ascent(), text);
    Tbtn close{btClose};
    p.drawImage(QPoint(width - 18, 1), Button(close, false, ratio));
    p.end();
    return *labels_.insert(text, img);
}

const QImage& OverlayFonts::NodeCircle(TColor color, qreal ratio) const {
    if (ratio != ratio_) Forget(ratio);
    if (circle_.isNull() || circleColor_ != color) {
        circleColor_ = color;
        circle_ = Sprite(17, 17, ratio);
        QPainter p(&circle_);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawEllipse(QPoint(8, 8), 8, 8);
        p.setBrush(ToQColor(color));
        p.drawEllipse(QPoint(8, 8), 5, 5);
    }
    return circle_;
}

void OverlayFonts::Forget(qreal ratio) const {
    ratio_ = ratio;
    buttons_.clear();
    labels_.clear();
    circle_ = QImage();
}

void DrawBalloon(QPainter& p, TInfo& info, const MapView& v, const OverlayFonts& fonts, bool smooth) {
    info.Place(v);
    int ax = 0, ay = 0;
    v.WorldToScreen(info.InfoPoint.x, info.InfoPoint.y, ax, ay);
    const QPoint A(ax, ay);
    const QRect box(info.left, info.top, info.width, info.height);
    if (!box.united(QRect(A, QSize(1, 1))).intersects(QRect(0, 0, v.Width, v.Height))) return;

    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor color = ToQColor(info.color);
    const QRectF frame(info.left + 0.5, info.top + 0.5, info.width - 1, info.height - 1);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(color);
    p.drawRoundedRect(frame, 5, 5);
    if (!info.banner) {
        // The header band: the box's upper part down to the line, in sky blue, inside the frame.
        p.save();
        p.setClipRect(QRect(info.left, info.top, info.width, HeaderBand + 1));
        p.setBrush(SkyBlue);
        p.drawRoundedRect(frame, 5, 5);
        p.restore();
        p.setPen(QPen(SkyBlue, 1));
        p.drawLine(info.left + 1, info.top + HeaderBand, info.left + info.width - 2, info.top + HeaderBand);
    }
    DrawTail(p, info, A, color, smooth);

    if (info.banner) {
        if (info.imgFoto)
            p.drawImage(QRect(info.left + 4, info.top + 4, info.fotoWidth, info.fotoHeight), *info.imgFoto);
        p.restore();
        return;
    }
    const FontMeasure& m = fonts.Balloon();
    const int ascent = QFontMetrics(m.Font(false)).ascent();
    for (const TProp& row : info.props) {
        const int tag = row.Tag();
        if (!row.caption.caption.isEmpty() && (row.caption.top + 5 < info.MinHeight || info.ShowService)) {
            p.setFont(m.Font(true));
            p.setPen(Qt::black);
            p.drawText(info.left + row.caption.left, info.top + row.caption.top + ascent,
                       row.caption.caption + u':');
        }
        if (row.value.top <= info.MinHeight || info.ShowService) {
            QFont f = m.Font(false);
            QColor ink = Qt::black;
            if (tag >= 0) {
                f.setUnderline(true);
                ink = info.sel_org == tag && info.MouseState == msOverLink ? QColor(Qt::blue) : Navy;
            }
            p.setFont(f);
            p.setPen(ink);
            p.drawText(info.left + row.value.left, info.top + row.value.top + ascent, row.value.caption);
        }
    }
    if (info.ShowFoto && info.imgFoto)
        p.drawImage(QRect(info.left + (info.width - info.fotoWidth) / 2, info.top + info.fotoTop,
                          info.fotoWidth, info.fotoHeight),
                    *info.imgFoto);
    DrawButton(p, fonts, info.btnFoto, info.left, info.top, info.Lock);
    if (info.Foldable()) DrawButton(p, fonts, info.btnService, info.left, info.top, info.Lock);
    DrawButton(p, fonts, info.btnPin, info.left, info.top, info.Lock);
    DrawButton(p, fonts, info.btnClose, info.left, info.top, info.Lock);
    p.restore();
}

void DrawBalloons(QPainter& p, TBalloonList& list, const MapView& v, const OverlayFonts& fonts, bool smooth) {
    for (TInfo& info : list.Infos) {
        if (info.Closed || (info.banner && !list.BannerDrawn())) continue;
        DrawBalloon(p, info, v, fonts, smooth);
    }
}

void DrawRuler(QPainter& p, TMeas& meas, const MapView& v, const OverlayFonts& fonts, int shellLang) {
    if (meas.path.empty()) return;
    meas.Layout(v, fonts.Label(), shellLang);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);
    if (meas.path.size() > 1) {
        // Segment by segment, a black line 4 wide and a coloured one 2 wide over it. One wide polyline
        // through the stroker costs far more once a long ruler crosses itself.
        const QRect surface(-4, -4, v.Width + 8, v.Height + 8);
        QVector<QLine> lines;
        for (std::size_t i = 1; i < meas.path.size(); ++i) {
            const QPoint a(meas.path[i - 1].px, meas.path[i - 1].py), b(meas.path[i].px, meas.path[i].py);
            if (QRect(a, b).normalized().intersects(surface)) lines.append(QLine(a, b));
        }
        p.setPen(QPen(Qt::black, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLines(lines);
        p.setPen(QPen(ToQColor(meas.color), 2));
        p.drawLines(lines);
    }
    if (meas.NodeVisible) {
        const QRect surface(-40, -40, v.Width + 80, v.Height + 80);
        const qreal ratio = RatioOf(p);
        int shown = 0;
        for (const TMeasNode& n : meas.path)
            shown += surface.contains(n.px, n.py);
        // A crowd of nodes on screen: a label that would land on one already drawn is left out, so a ruler
        // of thousands of nodes stays quick to draw (and its labels stay readable).
        constexpr int Crowd = 200, Cell = 8;
        const bool declutter = shown > Crowd;
        const int cols = surface.width() / Cell + 1, rows = surface.height() / Cell + 1;
        std::vector<bool> taken(declutter ? std::size_t(cols) * std::size_t(rows) : 0);
        auto freeFor = [&](const TMeasNode& n) {
            const int c0 = std::clamp((n.left - surface.left()) / Cell, 0, cols - 1);
            const int c1 = std::clamp((n.left + n.width - surface.left()) / Cell, 0, cols - 1);
            const int r0 = std::clamp((n.top - surface.top()) / Cell, 0, rows - 1);
            const int r1 = std::clamp((n.py - surface.top()) / Cell, 0, rows - 1);
            for (int r = r0; r <= r1; ++r)
                for (int c = c0; c <= c1; ++c)
                    if (taken[std::size_t(r) * cols + c]) return false;
            for (int r = r0; r <= r1; ++r)
                for (int c = c0; c <= c1; ++c)
                    taken[std::size_t(r) * cols + c] = true;
            return true;
        };
        for (const TMeasNode& n : meas.path) {
            if (!surface.contains(n.px, n.py)) continue;
            if (declutter && !freeFor(n)) continue;
            const int labelBottom = n.top + n.height;
            const QString& text = n.textLen == n.len ? n.text : DistanceText(n.len, false, shellLang);
            p.drawImage(QPoint(n.left, n.top), fonts.NodeLabel(text, n.width, n.height, ratio));
            if (n.btnClose.state != bsNormal) DrawButton(p, fonts, n.btnClose, n.left, n.top, false);
            p.drawImage(QPoint(n.px - 8, n.py - 8), fonts.NodeCircle(meas.color, ratio));
            // The stem, white with a black border, opening the label's lower edge where it meets it.
            const int stem = n.py - 7 - (labelBottom - 1);
            if (stem > 0) {
                p.fillRect(QRect(n.px - 2, labelBottom - 1, 4, stem), Qt::black);
                p.fillRect(QRect(n.px - 1, labelBottom - 1, 2, stem), Qt::white);
            }
        }
    }
    p.restore();
}

void DrawRubberBand(QPainter& p, const TMeas& meas, const MapView& v, QPoint pointer, TColor color) {
    if (meas.path.empty()) return;
    int x = 0, y = 0;
    v.WorldToScreen(meas.path.back().NodePoint.x, meas.path.back().NodePoint.y, x, y);
    p.save();
    p.setPen(QPen(Qt::black, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPoint(x, y), pointer);
    p.setPen(QPen(ToQColor(color), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPoint(x, y), pointer);
    p.restore();
}

void DrawRadius(QPainter& p, const TRadius& radius, const MapView& v) {
    if (!radius.Visible) return;
    int cx = 0, cy = 0;
    v.WorldToScreen(radius.center.x, radius.center.y, cx, cy);
    const int r = v.ToPixels(radius.Radius);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    // The tint: a white picture with the circle, ANDed over the map. Outside the circle the picture is
    // white and changes nothing, so only the circle's box on the surface is worked.
    const QRect area =
        QRect(cx - r - 1, cy - r - 1, 2 * r + 3, 2 * r + 3).intersected(QRect(0, 0, v.Width, v.Height));
    const bool rasterOps = p.paintEngine() && p.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
    if (!area.isEmpty() && !rasterOps) {
        // A surface without raster operations (OpenGL): a translucent tint of the same colour instead.
        QColor tint = ToQColor(radius.color);
        tint.setAlpha(110);
        p.setPen(QPen(RadiusOutline, 1));
        p.setBrush(tint);
        p.drawEllipse(QPoint(cx, cy), r, r);
    } else if (!area.isEmpty()) {
        const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
        QImage buf((QSizeF(area.size()) * ratio).toSize(), QImage::Format_RGB32);
        buf.setDevicePixelRatio(ratio);
        buf.fill(Qt::white);
        QPainter bp(&buf);
        bp.translate(-area.topLeft());
        bp.setPen(QPen(RadiusOutline, 1));
        bp.setBrush(ToQColor(radius.color));
        bp.drawEllipse(QPoint(cx, cy), r, r);
        bp.end();
        p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        p.drawImage(area.topLeft(), buf);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    p.setPen(QPen(QColor(0, 128, 0), 1));
    p.setBrush(QColor(0, 255, 0));
    p.drawEllipse(QPoint(cx, cy), 5, 5);
    for (QPoint c :
         {QPoint(cx + r - 2, cy), QPoint(cx - r + 2, cy), QPoint(cx, cy + r - 2), QPoint(cx, cy - r + 2)})
        p.drawRect(c.x() - 5, c.y() - 5, 9, 9);
    p.restore();
}

std::shared_ptr<QImage> LoadBalloonFoto(const CityDb& db, int foto, const CityFileRef& city, int& width,
                                        int& height) {
    width = height = 0;
    if (foto < 0 || foto >= int(db.Fotos.size())) return nullptr;
    const TFoto& f = db.Fotos[std::size_t(foto)];
    if (f.size <= 0 || f.size > MaxFotoBytes) return nullptr;
    QByteArray bytes;
    try {
        bytes = ReadFotoBytes(city, f);
    } catch (const std::exception&) {
        return nullptr; // a reference outside the photo file: the balloon goes without the photo
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "JPG");
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > MaxFotoSide || size.height() > MaxFotoSide) return nullptr;
    auto picture = std::make_shared<QImage>();
    if (!reader.read(picture.get()) || picture->isNull()) return nullptr;
    if (picture->width() > FotoBoxWidth || picture->height() > FotoBoxHeight)
        *picture =
            picture->scaled(FotoBoxWidth, FotoBoxHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    width = picture->width();
    height = picture->height();
    return picture;
}
