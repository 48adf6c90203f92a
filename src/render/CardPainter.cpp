#include "CardPainter.h"

#include "CityFile.h"
#include "ColorConvert.h"
#include "Pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

QFont CardFont() {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(11);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

FontMeasure::FontMeasure(const QFont& font)
    : font_(font), boldFont_(font), regular_(font), bold_([&] {
          QFont b(font);
          b.setBold(true);
          return b;
      }()) {
    boldFont_.setBold(true);
    regularHeight_ = regular_.height();
    boldHeight_ = bold_.height();
}

int FontMeasure::Width(const QString& text, bool bold) const {
    QHash<QString, int>& cache = cache_[bold ? 1 : 0];
    auto it = cache.constFind(text);
    if (it != cache.constEnd()) return *it;
    const int w = (bold ? bold_ : regular_).horizontalAdvance(text);
    // Phone numbers and captions rarely repeat; keep the cache to the texts that do.
    if (cache.size() < 20000) cache.insert(text, w);
    return w;
}

namespace {

// A transparent picture of w x h logical pixels with `ratio` device pixels per pixel.
QImage Canvas(int w, int h, double ratio) {
    QImage img(int(std::lround(w * ratio)), int(std::lround(h * ratio)), QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(ratio);
    img.fill(Qt::transparent);
    return img;
}

// Pictures are kept per device pixel ratio, in hundredths.
int RatioKey(double ratio) { return int(std::lround(ratio * 100)); }

QImage DrawIcon(const QString& name, double ratio) {
    const QColor ink(40, 60, 110), blue(30, 100, 200), green(40, 140, 60);
    auto start = [](QImage& img, QPainter& p) {
        p.begin(&img);
        p.setRenderHint(QPainter::Antialiasing);
    };
    // One painter for every branch: it must end before the branch's picture leaves its scope.
    QPainter p;
    if (name == QLatin1String("imgPage")) {
        QImage img = Canvas(10, 14, ratio);
        start(img, p);
        QPainterPath path;
        path.moveTo(0.5, 0.5);
        path.lineTo(6.5, 0.5);
        path.lineTo(9.5, 3.5);
        path.lineTo(9.5, 13.5);
        path.lineTo(0.5, 13.5);
        path.closeSubpath();
        p.setPen(ink);
        p.setBrush(Qt::white);
        p.drawPath(path);
        p.drawLine(QPointF(6.5, 0.5), QPointF(6.5, 3.5));
        p.drawLine(QPointF(6.5, 3.5), QPointF(9.5, 3.5));
        p.setPen(QColor(120, 140, 180));
        for (int y = 6; y <= 11; y += 2)
            p.drawLine(2, y, 7, y);
        p.end();
        return img;
    }
    if (name == QLatin1String("imgWWW")) {
        QImage img = Canvas(15, 16, ratio);
        start(img, p);
        p.setPen(QPen(blue, 1.2));
        p.setBrush(QColor(200, 225, 255));
        p.drawEllipse(QRectF(1, 1.5, 13, 13));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(4.5, 1.5, 6, 13));
        p.drawLine(QPointF(1, 8), QPointF(14, 8));
        p.drawLine(QPointF(7.5, 1.5), QPointF(7.5, 14.5));
        p.end();
        return img;
    }
    if (name == QLatin1String("imgMail")) {
        QImage img = Canvas(16, 10, ratio);
        start(img, p);
        p.setPen(ink);
        p.setBrush(QColor(255, 250, 220));
        p.drawRect(QRectF(0.5, 0.5, 15, 9));
        p.drawLine(QPointF(0.5, 0.5), QPointF(8, 6));
        p.drawLine(QPointF(15.5, 0.5), QPointF(8, 6));
        p.end();
        return img;
    }
    if (name == QLatin1String("imgICQ")) {
        QImage img = Canvas(15, 15, ratio);
        start(img, p);
        p.setPen(Qt::NoPen);
        for (int k = 0; k < 8; ++k) {
            const double a = k * M_PI / 4;
            p.setBrush(k == 0 ? QColor(220, 40, 40) : QColor(60, 170, 60));
            p.drawEllipse(QPointF(7.5 + 4.3 * std::cos(a), 7.5 - 4.3 * std::sin(a)), 2.6, 2.6);
        }
        p.setBrush(QColor(250, 220, 60));
        p.drawEllipse(QPointF(7.5, 7.5), 2.3, 2.3);
        p.end();
        return img;
    }
    if (name == QLatin1String("imgSkype")) {
        QImage img = Canvas(15, 15, ratio);
        start(img, p);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 160, 230));
        p.drawEllipse(QRectF(0.5, 0.5, 14, 14));
        QFont f(QStringLiteral("Liberation Sans"));
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, 0, 15, 15), Qt::AlignCenter, QStringLiteral("S"));
        p.end();
        return img;
    }
    if (name == QLatin1String("imgMap")) {
        QImage img = Canvas(23, 16, ratio);
        start(img, p);
        const QPointF pts[] = {{0.5, 2.5},   {7.5, 0.5},   {15.5, 2.5}, {22.5, 0.5},
                               {22.5, 13.5}, {15.5, 15.5}, {7.5, 13.5}, {0.5, 15.5}};
        p.setPen(QColor(80, 110, 60));
        p.setBrush(QColor(215, 235, 190));
        p.drawPolygon(pts, 8);
        p.drawLine(QPointF(7.5, 0.5), QPointF(7.5, 13.5));
        p.drawLine(QPointF(15.5, 2.5), QPointF(15.5, 15.5));
        p.setPen(QPen(QColor(210, 50, 40), 1.5));
        p.drawLine(QPointF(3, 11), QPointF(11, 6));
        p.drawLine(QPointF(11, 6), QPointF(20, 9));
        p.end();
        return img;
    }
    if (name == QLatin1String("imgBuild")) {
        QImage img = Canvas(16, 16, ratio);
        start(img, p);
        p.setPen(QColor(90, 70, 50));
        p.setBrush(QColor(225, 190, 140));
        p.drawRect(QRectF(2.5, 3.5, 11, 12));
        p.setBrush(QColor(190, 80, 60));
        const QPointF roof[] = {{1, 4}, {8, 0.5}, {15, 4}};
        p.drawPolygon(roof, 3);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(80, 120, 190));
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 2; ++c)
                p.drawRect(QRectF(4.5 + c * 4.5, 6 + r * 4, 2.5, 2.5));
        p.end();
        return img;
    }
    if (name == QLatin1String("imgCollapse") || name == QLatin1String("imgExpand")) {
        // A closed block shows an arrow pointing down (more below), an open one an arrow up.
        const bool down = name == QLatin1String("imgCollapse");
        QImage img = Canvas(17, 20, ratio);
        start(img, p);
        p.setPen(QColor(120, 140, 170));
        p.setBrush(QColor(245, 248, 252));
        p.drawRoundedRect(QRectF(0.5, 1.5, 16, 17), 3, 3);
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        if (down) {
            const QPointF a[] = {{4, 8}, {13, 8}, {8.5, 13}};
            p.drawPolygon(a, 3);
        } else {
            const QPointF a[] = {{4, 12}, {13, 12}, {8.5, 7}};
            p.drawPolygon(a, 3);
        }
        p.end();
        return img;
    }
    if (name == QLatin1String("imgFax")) {
        QImage img = Canvas(16, 13, ratio);
        start(img, p);
        p.setPen(ink);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 0.5, 7, 5));
        p.setBrush(QColor(170, 180, 195));
        p.drawRoundedRect(QRectF(0.5, 4.5, 15, 8), 1.5, 1.5);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        for (int c = 0; c < 3; ++c)
            p.drawRect(QRectF(8 + c * 2.3, 7, 1.4, 1.4));
        p.drawRect(QRectF(2.5, 7, 3.5, 3.5));
        p.end();
        return img;
    }
    if (name == QLatin1String("imgPhone")) {
        QImage img = Canvas(16, 14, ratio);
        start(img, p);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 60, 70));
        p.drawRoundedRect(QRectF(0.5, 1, 15, 4), 2, 2);
        const QPointF body[] = {{4, 5}, {12, 5}, {15, 13.5}, {1, 13.5}};
        p.drawPolygon(body, 4);
        p.setBrush(QColor(230, 230, 230));
        p.drawEllipse(QPointF(8, 9.5), 2.3, 2.3);
        p.end();
        return img;
    }
    if (name == QLatin1String("imgCell")) {
        QImage img = Canvas(9, 16, ratio);
        start(img, p);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(50, 50, 60));
        p.drawRoundedRect(QRectF(0.5, 0.5, 8, 15), 1.5, 1.5);
        p.setBrush(QColor(170, 210, 240));
        p.drawRect(QRectF(2, 2.5, 5, 6));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(3, 11, 3, 2));
        p.end();
        return img;
    }
    if (name == QLatin1String("imgClock")) {
        QImage img = Canvas(17, 17, ratio);
        start(img, p);
        p.setPen(QPen(green, 1.3));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(1, 1, 15, 15));
        p.setPen(QPen(QColor(40, 40, 40), 1.3));
        p.drawLine(QPointF(8.5, 8.5), QPointF(8.5, 4));
        p.drawLine(QPointF(8.5, 8.5), QPointF(12, 8.5));
        p.end();
        return img;
    }
    return {};
}

// A stand-in logo when the city's picture is missing: a coloured square with the first letter.
QImage Letter(const QString& text, int hue, double ratio) {
    QImage img = Canvas(16, 16, ratio);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromHsv(hue % 360, 160, 200));
    p.drawRoundedRect(QRectF(0, 0, 16, 16), 3, 3);
    QFont f = CardFont();
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, text.left(1));
    return img;
}

} // namespace

const QImage* CardIcon(const QString& name, double ratio) {
    static std::map<std::pair<QString, int>, QImage> icons;
    const auto key = std::make_pair(name, RatioKey(ratio));
    auto it = icons.find(key);
    if (it == icons.end()) it = icons.emplace(key, DrawIcon(name, ratio)).first;
    return it->second.isNull() ? nullptr : &it->second;
}

const QImage* CardPictures::Get(const QString& name, double ratio) {
    if (const QImage* icon = CardIcon(name, ratio)) return icon;
    const auto key = std::make_pair(name, RatioKey(ratio));
    auto it = logos_.find(key);
    if (it != logos_.end()) return it->second.isNull() ? nullptr : &it->second;
    QImage logo;
    auto fromCity = [&](TImg& img, const QString& caption, int hue) {
        const QImage* decoded = nullptr;
        if (city_) {
            try {
                decoded = LoadImg(img, TImgType::jpg, *city_);
            } catch (...) {
                decoded = nullptr; // a damaged picture is drawn as its stand-in
            }
        }
        if (!decoded) return Letter(caption, hue, ratio);
        const int side = int(std::lround(16 * ratio));
        QImage logo = decoded->scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        logo.setDevicePixelRatio(ratio);
        return logo;
    };
    bool ok = false;
    if (name.startsWith(QLatin1String("imgSocnet"))) {
        const int k = name.mid(9).toInt(&ok);
        if (ok && k >= 0 && std::size_t(k) < db_.SocNets.size())
            logo =
                fromCity(db_.SocNets[std::size_t(k)].logo, db_.SocNets[std::size_t(k)].caption, 200 + 40 * k);
    } else if (name.startsWith(QLatin1String("imgMoney"))) {
        const int k = name.mid(8).toInt(&ok);
        if (ok && k >= 0 && std::size_t(k) < db_.MoneyKinds.size())
            logo = fromCity(db_.MoneyKinds[std::size_t(k)].logo, db_.MoneyKinds[std::size_t(k)].caption,
                            30 + 70 * k);
    }
    it = logos_.emplace(key, logo).first;
    return it->second.isNull() ? nullptr : &it->second;
}

std::shared_ptr<QImage> CardPictures::Banner(TImg& img, int& width, int& height) {
    if (!city_) return nullptr;
    std::shared_ptr<QImage> picture;
    try {
        picture = LoadImgShared(img, TImgType::jpg, *city_);
    } catch (...) {
        return nullptr; // a banner that does not load leaves the card without it
    }
    if (!picture) return nullptr;
    width = picture->width();
    height = picture->height();
    return picture;
}

void DrawCard(QPainter& p, const TCard& card, int W, int offset, const FontMeasure& m,
              CardPictures& pictures) {
    const int top = card.top - offset;
    p.setPen(Qt::NoPen);
    p.setBrush(ToQColor(card.color));
    p.drawRect(0, top, W, card.height);
    if (card.Focused) {
        p.setPen(ToQColor(clGray));
        p.drawLine(0, top, W - 1, top);
        p.drawLine(0, top + card.height - 1, W - 1, top + card.height - 1);
    }
    QFont fonts[4];
    for (int k = 0; k < 4; ++k) {
        fonts[k] = m.Font(k & 1);
        fonts[k].setUnderline(k & 2);
    }
    // Icons and logos are drawn for the surface's pixel density; other pictures are smoothed to it.
    const double ratio = p.device() ? p.device()->devicePixelRatio() : 1.0;
    if (ratio != 1) p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const TBlock& b : card.blocks) {
        if (b.height == 0) continue;
        const int T = top + b.top;
        p.save();
        // Elements of a partly open block that start inside it are drawn whole, as laid out.
        for (const Ttxt& t : b.txt) {
            if (t.top >= b.height || t.caption.isEmpty()) continue;
            p.setFont(fonts[(t.bold ? 1 : 0) | (t.link != TLink::none ? 2 : 0)]);
            p.setPen(ToQColor(t.color));
            p.drawText(QRect(t.left, T + t.top, t.width + 2, t.height), Qt::AlignLeft | Qt::AlignTop,
                       t.caption);
        }
        for (const Tpic& pic : b.pic) {
            if (pic.top >= b.height) continue;
            const QImage* img = pic.img ? pic.img.get() : pictures.Get(pic.name, ratio);
            if (!img) continue;
            // A picture drawn for this density is copied pixel for pixel (its size rounded to whole pixels).
            if (img->size() == QSize(int(std::lround(pic.width * img->devicePixelRatio())),
                                     int(std::lround(pic.height * img->devicePixelRatio()))))
                p.drawImage(pic.left, T + pic.top, *img);
            else
                p.drawImage(QRect(pic.left, T + pic.top, pic.width, pic.height), *img);
        }
        for (const Thr& hr : b.hr) {
            if (hr.top >= b.height) continue;
            p.setPen(ToQColor(hr.color));
            p.drawLine(hr.left, T + hr.top, hr.left + hr.width, T + hr.top);
        }
        p.restore();
    }
}

void DrawCards(QPainter& p, const TCards& cards, int W, int H, int offset, const FontMeasure& m,
               CardPictures& pictures) {
    p.fillRect(0, 0, W, H, ToQColor(CardColor));
    // Only the cards in view are painted: the picture is the one the whole list would give there.
    auto first = std::upper_bound(cards.crds.begin(), cards.crds.end(), offset,
                                  [](int y, const TCard& c) { return y < c.top + c.height; });
    for (auto it = first; it != cards.crds.end() && it->top < offset + H; ++it)
        DrawCard(p, *it, W, offset, m, pictures);
}
