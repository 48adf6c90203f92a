#include "TGlMapImage.h"

#include "GlMapRenderer.h"

#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions_2_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QPainter>

TGlMapImage::TGlMapImage(QWidget* parent) : QOpenGLWidget(parent) {
    setObjectName(QStringLiteral("imgGL"));
    setMouseTracking(true);
    setFormat(SurfaceFormat());
}

// What renderers keep in the context goes with it.
TGlMapImage::~TGlMapImage() = default;

QSurfaceFormat TGlMapImage::SurfaceFormat() {
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setProfile(QSurfaceFormat::CompatibilityProfile);
    f.setVersion(2, 1);
    f.setDepthBufferSize(24);
    return f;
}

void TGlMapImage::ReleaseGl(TGlMap* map) {
    if (!gl_ || !map || !context()) return;
    makeCurrent();
    map->ReleaseGl(*gl_);
    doneCurrent();
}

void TGlMapImage::initializeGL() {
    gl_ = context() && context()->isValid()
              ? QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_2_1>(context())
              : nullptr;
    if (!gl_) {
        emit unusable(tr("no OpenGL 2.1 context could be created"));
    }
}

void TGlMapImage::paintGL() {
    // In the quit state nothing is drawn: the last picture stays.
    if (!gl_ || (quitting && quitting())) return;
    TGlMap* map = renderer ? renderer() : nullptr;
    if (!map) return;
    const qreal dpr = devicePixelRatioF();
    map->font = font();
    if (!map->BuildFrame(dpr)) return;
    map->Render(*gl_, int(width() * dpr + 0.5), int(height() * dpr + 0.5));
    ++frames_;
    const QRect frame = zoomFrame ? zoomFrame() : QRect();
    if (overlays || !map->labels().isNull()) {
        QPainter p(this);
        if (!map->labels().isNull()) p.drawImage(QPoint(0, 0), map->labels());
        if (overlays) overlays(p);
    }
    if (!frame.isEmpty()) {
        QPainter p(this);
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(frame);
    }
}

void TGlMapImage::mousePressEvent(QMouseEvent* e) {
    // Middle-button presses do nothing on the map.
    if (e->button() == Qt::MiddleButton) return;
    if (onDown) onDown(e);
}

void TGlMapImage::mouseMoveEvent(QMouseEvent* e) {
    if (onMove) onMove(e);
    // The zoom rectangle follows the pointer.
    if (zoomFrame && !zoomFrame().isEmpty()) update();
}

void TGlMapImage::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::MiddleButton) return;
    if (onUp) onUp(e);
}

void TGlMapImage::mouseDoubleClickEvent(QMouseEvent* e) {
    e->accept();
}

void TGlMapImage::leaveEvent(QEvent* e) {
    QOpenGLWidget::leaveEvent(e);
    if (onLeave) onLeave();
}
