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

TGlMapImage::~TGlMapImage() {
    ReleaseGl();
}

QSurfaceFormat TGlMapImage::SurfaceFormat() {
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setProfile(QSurfaceFormat::CompatibilityProfile);
    f.setVersion(2, 1);
    f.setDepthBufferSize(24);
    return f;
}

void TGlMapImage::ReleaseGl() {
    if (!gl_ || !drawnBy_ || !context()) return;
    makeCurrent();
    // Only a renderer still in use may be asked: one of a closed city is gone with its buffer.
    if (renderer && renderer() == drawnBy_) drawnBy_->ReleaseGl(*gl_);
    drawnBy_ = nullptr;
    doneCurrent();
}

void TGlMapImage::initializeGL() {
    gl_ = context() && context()->isValid() ? QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_2_1>(context())
                                            : nullptr;
    if (!gl_) {
        emit unusable(tr("no OpenGL 2.1 context could be created"));
        return;
    }
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &TGlMapImage::ReleaseGl, Qt::DirectConnection);
}

void TGlMapImage::paintGL() {
    // In the quit state nothing is drawn: the last picture stays.
    if (!gl_ || (quitting && quitting())) return;
    TGlMap* map = renderer ? renderer() : nullptr;
    if (!map) return;
    const qreal dpr = devicePixelRatioF();
    if (!map->BuildFrame()) return;
    map->font = font();
    map->Render(*gl_, int(width() * dpr + 0.5), int(height() * dpr + 0.5));
    drawnBy_ = map;
    ++frames_;
    const QRect frame = zoomFrame ? zoomFrame() : QRect();
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
