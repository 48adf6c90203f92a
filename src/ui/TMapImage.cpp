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

void TMapImage::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    if (source && !source->isNull())
        p.drawImage(e->rect().topLeft(), *source, e->rect());
    else
        p.fillRect(e->rect(), palette().window());
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
