#include "TMapImage.h"

#include <QMouseEvent>
#include <QPainter>

TMapImage::TMapImage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("img"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TMapImage::InvertFrame(const QRect& r) {
    if (!source || source->isNull()) return;
    QPainter p(source);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.normalized());
    p.end();
    update();
}

bool TMapImage::event(QEvent* e) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    const bool ratioChange = e->type() == QEvent::DevicePixelRatioChange;
#else
    const bool ratioChange = e->type() == QEvent::ScreenChangeInternal;
#endif
    const bool result = QWidget::event(e);
    if (ratioChange && onRatioChanged && source && source->devicePixelRatio() != devicePixelRatioF())
        onRatioChanged();
    return result;
}

void TMapImage::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    if (source && !source->isNull()) {
        // The frame holds the screen's device pixels: copy them one to one.
        const QRectF r(e->rect());
        const qreal ratio = source->devicePixelRatio();
        p.drawImage(r, *source, QRectF(r.topLeft() * ratio, r.size() * ratio));
    } else {
        p.fillRect(e->rect(), palette().window());
    }
}

void TMapImage::mousePressEvent(QMouseEvent* e) {
    // Middle-button presses do nothing on the map.
    if (e->button() == Qt::MiddleButton) return;
    if (onDown) onDown(e);
}

void TMapImage::mouseMoveEvent(QMouseEvent* e) {
    if (onMove) onMove(e);
}

void TMapImage::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::MiddleButton) return;
    if (onUp) onUp(e);
}

void TMapImage::mouseDoubleClickEvent(QMouseEvent* e) {
    e->accept();
}

void TMapImage::leaveEvent(QEvent* e) {
    QWidget::leaveEvent(e);
    if (onLeave) onLeave();
}
