#include "AdBanners.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>

namespace {
constexpr int FirstIntervalMs = 4000;
constexpr int MapBannerMs = 10000;
// Columns a slide moves in per step: a 300-pixel banner slides in within about a second.
constexpr int SlideColumns = 6;
constexpr int SlideTickMs = 20;

} // namespace

TBannerStrip::TBannerStrip(QWidget* parent) : QWidget(parent) {
    setObjectName("imgBanner");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(Width, Height);
    timDownBanner.setSingleShot(true);
    connect(&timDownBanner, &QTimer::timeout, this, [this] { Next(); });
    slide_.setInterval(SlideTickMs);
    connect(&slide_, &QTimer::timeout, this, [this] { SlideStep(); });
}

void TBannerStrip::SetBanners(std::vector<TAdBanner> banners, int index, const QImage& empty) {
    banners_ = std::move(banners);
    empty_ = empty;
    slide_.stop();
    slideColumn_ = -1;
    Index = banners_.empty() ? -1 : std::clamp(index, 0, int(banners_.size()) - 1);
    shown_ = Index < 0 ? empty_ : banners_[std::size_t(Index)].picture;
    Tag = Index < 0 ? -1 : banners_[std::size_t(Index)].orgId;
    setCursor(Index < 0 ? Qt::ArrowCursor : Qt::PointingHandCursor);
    timDownBanner.start(FirstIntervalMs);
    update();
}

void TBannerStrip::Stop() {
    timDownBanner.stop();
    FinishSlide();
}

void TBannerStrip::FinishSlide() {
    if (slideColumn_ < 0) return;
    slide_.stop();
    slideColumn_ = -1;
    shown_ = incoming_;
    update();
}

void TBannerStrip::Next() {
    timDownBanner.stop();
    if (banners_.empty()) {
        SlideIn(empty_, true);
    } else {
        Index = (Index + 1) % int(banners_.size());
        SlideIn(banners_[std::size_t(Index)].picture, true);
        Tag = banners_[std::size_t(Index)].orgId;
        timDownBanner.setInterval(banners_[std::size_t(Index)].intervalMs);
    }
    if (!hover_) timDownBanner.start();
}

void TBannerStrip::Back() {
    if (banners_.empty()) return;
    timDownBanner.stop();
    Index = (Index - 1 + int(banners_.size())) % int(banners_.size());
    SlideIn(banners_[std::size_t(Index)].picture, false);
    Tag = banners_[std::size_t(Index)].orgId;
    timDownBanner.setInterval(banners_[std::size_t(Index)].intervalMs);
    if (!hover_) timDownBanner.start();
}

QImage TBannerStrip::Scaled(const QImage& picture) const {
    const qreal ratio = devicePixelRatioF();
    const QSize size = this->size() * ratio;
    if (picture.isNull() || size.isEmpty()) return {};
    QImage out = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGB32);
    out.setDevicePixelRatio(ratio);
    return out;
}

// The picture shown is always the stretched one; a slide moves it over by a few columns a tick and
// lets the next columns of the new picture in at the freed edge. Timer-driven, so the window never waits.
void TBannerStrip::SlideIn(const QImage& picture, bool fromRight) {
    // A slide asked for while one runs starts from the banner that one brings, never from a mix of two.
    FinishSlide();
    shown_ = Scaled(shown_.isNull() ? picture : shown_);
    incoming_ = Scaled(picture);
    fromRight_ = fromRight;
    if (incoming_.isNull()) {
        shown_ = picture;
        update();
        return;
    }
    slideColumn_ = 0;
    slide_.start();
}

void TBannerStrip::SlideStep() {
    const int w = incoming_.width();
    if (slideColumn_ < 0 || shown_.size() != incoming_.size()) {
        slide_.stop();
        slideColumn_ = -1;
        shown_ = incoming_;
        update();
        return;
    }
    const int step = std::min(SlideColumns, w - slideColumn_);
    slideColumn_ += step;
    QImage next(shown_.size(), shown_.format());
    next.setDevicePixelRatio(shown_.devicePixelRatio());
    QPainter p(&next);
    p.scale(1 / shown_.devicePixelRatio(), 1 / shown_.devicePixelRatio());
    if (fromRight_) {
        p.drawImage(QPoint(-step, 0), shown_);
        p.drawImage(QPoint(w - slideColumn_, 0), incoming_, QRect(0, 0, slideColumn_, incoming_.height()));
    } else {
        p.drawImage(QPoint(step, 0), shown_);
        p.drawImage(QPoint(0, 0), incoming_, QRect(w - slideColumn_, 0, slideColumn_, incoming_.height()));
    }
    p.end();
    shown_ = next;
    if (slideColumn_ >= w) {
        slide_.stop();
        slideColumn_ = -1;
        shown_ = incoming_;
    }
    update();
}

void TBannerStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (shown_.isNull())
        p.fillRect(rect(), palette().window());
    else
        p.drawImage(rect(), shown_);
    if (!hover_ || slideColumn_ >= 0 || Index < 0) return;
    // Under the mouse the edge zones darken and show which way they turn the banners.
    const int edge = EdgeZone + 2;
    p.fillRect(QRect(0, 0, edge, height()), QColor(0, 0, 0, 70));
    p.fillRect(QRect(width() - edge, 0, edge, height()), QColor(0, 0, 0, 70));
    p.setPen(QPen(QColor(230, 230, 230), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const int mid = height() / 2;
    p.drawPolyline(QPolygon({QPoint(13, mid - 8), QPoint(5, mid), QPoint(13, mid + 8)}));
    p.drawPolyline(QPolygon(
        {QPoint(width() - 14, mid - 8), QPoint(width() - 6, mid), QPoint(width() - 14, mid + 8)}));
}

void TBannerStrip::enterEvent(QEnterEvent*) {
    hover_ = true;
    timDownBanner.stop();
    update();
}

void TBannerStrip::leaveEvent(QEvent*) {
    hover_ = false;
    // Also during a slide: the interval outlasts the slide, and a step that comes early finishes it.
    timDownBanner.start();
    update();
}

void TBannerStrip::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const int x = e->position().toPoint().x();
    if (x <= EdgeZone) {
        Next();
        timDownBanner.stop(); // the mouse is still over the banner
    } else if (x >= width() - EdgeZone) {
        Back();
        timDownBanner.stop();
    } else if (Tag != -1 && clicked) {
        clicked(Tag);
    }
}

TMapBanner::TMapBanner(QWidget* parent) : QWidget(parent) {
    setObjectName("imgMapBanner");
    setAttribute(Qt::WA_OpaquePaintEvent);
    timMapBanner.setInterval(MapBannerMs);
    connect(&timMapBanner, &QTimer::timeout, this, [this] { Next(); });
}

void TMapBanner::SetBanners(std::vector<TAdBanner> banners, int index) {
    banners_ = std::move(banners);
    Index = banners_.empty() ? -1 : std::clamp(index, 0, int(banners_.size()) - 1);
    Tag = Index < 0 ? -1 : banners_[std::size_t(Index)].orgId;
    setCursor(Qt::PointingHandCursor);
    if (Index < 0)
        timMapBanner.stop();
    else
        timMapBanner.start();
    update();
}

void TMapBanner::Next() {
    if (banners_.empty()) return;
    Index = (Index + 1) % int(banners_.size());
    Tag = banners_[std::size_t(Index)].orgId;
    update();
}

void TMapBanner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (Index < 0 || banners_[std::size_t(Index)].picture.isNull())
        p.fillRect(rect(), palette().window());
    else
        p.drawImage(rect(), banners_[std::size_t(Index)].picture);
}

void TMapBanner::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        if (Tag != -1 && clicked) clicked(Tag);
    } else if (e->button() == Qt::RightButton) {
        Next();
        timMapBanner.start();
    }
}

TRunningString::TRunningString(QWidget* parent) : QWidget(parent) {
    setObjectName("imgRunningString");
    setAttribute(Qt::WA_OpaquePaintEvent);

    QFont f = font();
    f.setBold(true);
    f.setPointSize(11);
    setFont(f);
    timRunningString.setInterval(TickMs);
    timRunningString.setTimerType(Qt::PreciseTimer);
    connect(&timRunningString, &QTimer::timeout, this, [this] { Tick(); });
}

void TRunningString::SetTexts(QStringList texts, std::vector<int> orgIds, const QString& placeholder) {
    orgIds.resize(std::size_t(texts.size()), -1);
    if (texts.size() > 1) {
        auto* random = QRandomGenerator::global();
        for (int i = 0; i < 11; ++i) {
            const int a = int(random->bounded(texts.size())), b = int(random->bounded(texts.size()));
            texts.swapItemsAt(a, b);
            std::swap(orgIds[std::size_t(a)], orgIds[std::size_t(b)]);
        }
    }
    if (texts.isEmpty()) {
        texts = QStringList{placeholder};
        orgIds = {-1};
    }
    Texts = texts;
    OrgIds = orgIds;
    Current = 0;
    Tag = OrgIds[0];
    setCursor(Tag == -1 && Texts.size() == 1 ? Qt::ArrowCursor : Qt::PointingHandCursor);
    // The first text enters from just past the right edge.
    X = width() + 10;
    update();
}

void TRunningString::Start() {
    clock_.start();
    travelled_ = 0;
    timRunningString.start();
}

void TRunningString::Stop() {
    timRunningString.stop();
}

int TRunningString::TextWidth() const {
    return Texts.isEmpty() ? 0 : fontMetrics().horizontalAdvance(Texts[Current]);
}

// The speed follows the clock, not the timer's ticks: a busy moment does not slow the text down.
void TRunningString::Tick() {
    const qint64 due = clock_.elapsed() * PixelsPerSecond;
    const int pixels = int((due - travelled_) / 1000);
    if (pixels <= 0) return;
    travelled_ += qint64(pixels) * 1000;
    Advance(std::min(pixels, 50));
}

void TRunningString::Advance(int pixels) {
    if (Texts.isEmpty()) return;
    for (int i = 0; i < pixels; ++i) {
        if (X + TextWidth() - 1 < 0) {
            X = width() + 10;
            Current = (Current + 1) % int(Texts.size());
            Tag = OrgIds[std::size_t(Current)];
        } else {
            --X;
        }
    }
    update();
}

void TRunningString::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0xA6, 0xCA, 0xF0));
    if (Texts.isEmpty()) return;
    p.setPen(Qt::black);
    p.drawText(QRect(X, 0, TextWidth() + 4, height()), Qt::AlignVCenter | Qt::AlignLeft, Texts[Current]);
}

void TRunningString::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && Tag != -1 && clicked) clicked(Tag);
}
