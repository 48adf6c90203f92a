#include "BalloonPainter.h"

#include "CardPainter.h"
#include "CityFile.h"
#include "ColorConvert.h"
#include "MapView.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

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
void DrawButton(QPainter& p, const Tbtn& b, int ownerLeft, int ownerTop, bool pinned) {
    if (b.Hidden()) return;
    const QRectF r(ownerLeft + b.left + 0.5, ownerTop + b.top + 0.5, b.width - 1, b.height - 1);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor face = b.state == bsDown   ? QColor(150, 180, 220)
                        : b.state == bsOver ? QColor(220, 235, 252)
                                            : QColor(245, 245, 245);
    p.setPen(QPen(b.state == bsNormal ? QColor(150, 150, 150) : QColor(60, 90, 140), 1));
    p.setBrush(face);
    p.drawRoundedRect(r, 3, 3);
    const QPointF c = r.center();
    const QColor ink = b.state == bsNormal ? QColor(70, 70, 70) : QColor(20, 40, 90);
    p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    switch (b.tip) {
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
    p.restore();
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
    DrawButton(p, info.btnFoto, info.left, info.top, info.Lock);
    if (info.Foldable()) DrawButton(p, info.btnService, info.left, info.top, info.Lock);
    DrawButton(p, info.btnPin, info.left, info.top, info.Lock);
    DrawButton(p, info.btnClose, info.left, info.top, info.Lock);
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
        QPolygon line;
        line.reserve(int(meas.path.size()));
        for (const TMeasNode& n : meas.path)
            line << QPoint(n.px, n.py);
        p.setPen(QPen(Qt::black, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(line);
        p.setPen(QPen(ToQColor(meas.color), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(line);
    }
    if (meas.NodeVisible) {
        const FontMeasure& m = fonts.Label();
        const int ascent = QFontMetrics(m.Font(false)).ascent();
        p.setFont(m.Font(false));
        const QRect surface(-40, -40, v.Width + 80, v.Height + 80);
        for (const TMeasNode& n : meas.path) {
            // Thousands of nodes: only those near the view cost anything.
            if (!surface.contains(n.px, n.py)) continue;
            const int labelBottom = n.top + n.height;
            p.setPen(QPen(Qt::black, 1));
            p.setBrush(Qt::white);
            p.drawRoundedRect(QRectF(n.left + 0.5, n.top + 0.5, n.width - 1, n.height - 1), 2.5, 2.5);
            p.drawText(n.left + 5, n.top + 2 + ascent, DistanceText(n.len, false, shellLang));
            p.drawEllipse(QPoint(n.px, n.py), 8, 8);
            p.setBrush(ToQColor(meas.color));
            p.drawEllipse(QPoint(n.px, n.py), 5, 5);
            p.setBrush(Qt::white);
            p.drawRect(
                QRect(QPoint(n.px - 2, labelBottom - 1), QPoint(n.px + 2, n.py - 7)).adjusted(0, 0, -1, -1));
            p.setPen(QPen(Qt::white, 1));
            p.drawRect(
                QRect(QPoint(n.px - 1, labelBottom - 1), QPoint(n.px + 1, n.py - 7)).adjusted(0, 0, -1, -1));
            DrawButton(p, n.btnClose, n.left, n.top, false);
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
    if (!area.isEmpty()) {
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
