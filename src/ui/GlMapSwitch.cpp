#include "GlMapSwitch.h"

#include "AppContext.h"
#include "GlMapRenderer.h"
#include "MapRenderer.h"
#include "Settings.h"
#include "TGlMapImage.h"
#include "TMapImage.h"
#include "TfrmMain.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions_2_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QTimer>

namespace {

// Keeps the OpenGL surface's cursor the one the main window gives the 2D picture.
class CursorMirror : public QObject {
public:
    CursorMirror(QWidget* from, QWidget* to) : QObject(to), to_(to) {
        from->installEventFilter(this);
        to->setCursor(from->cursor());
    }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::CursorChange) to_->setCursor(static_cast<QWidget*>(o)->cursor());
        return false;
    }

private:
    QWidget* to_;
};

} // namespace

GlMapSwitch::GlMapSwitch(TfrmMain& frm) : QObject(&frm), frm_(frm) {
    connect(&frm, &TfrmMain::wentBack, this, &GlMapSwitch::CityClosed);
    connect(&frm, &TfrmMain::quitting, this, &GlMapSwitch::CityClosed);
}

GlMapSwitch::~GlMapSwitch() = default;

bool GlMapSwitch::Active() const {
    return surface_ != nullptr;
}

TGlMapImage* GlMapSwitch::surface() const {
    return surface_;
}

bool GlMapSwitch::Available(QString& why) {
    // These platforms draw without a display: an OpenGL widget cannot be shown there.
    const QString platform = QGuiApplication::platformName();
    if (platform == QStringLiteral("offscreen") || platform == QStringLiteral("minimal")) {
        why = QStringLiteral("the display (%1) has no OpenGL").arg(platform);
        return false;
    }
    QOpenGLContext context;
    context.setFormat(TGlMapImage::SurfaceFormat());
    if (!context.create()) {
        why = QStringLiteral("no OpenGL context could be created");
        return false;
    }
    QOffscreenSurface probe;
    probe.setFormat(context.format());
    probe.create();
    if (!probe.isValid() || !context.makeCurrent(&probe)) {
        why = QStringLiteral("the OpenGL context could not be used");
        return false;
    }
    const bool legacy = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_2_1>(&context) != nullptr;
    context.doneCurrent();
    if (!legacy) {
        why = QStringLiteral("the OpenGL driver has no compatibility profile 2.1");
        return false;
    }
    return true;
}

TGlMap* GlMapSwitch::renderer() {
    if (!frm_.map || !frm_.app().db) return nullptr;
    if (!renderer_ || rendererOf_ != frm_.map.get()) {
        if (surface_) surface_->ReleaseGl(renderer_.get());
        renderer_ = std::make_unique<TGlMap>(*frm_.map, *frm_.app().db, frm_.view, frm_.display,
                                             frm_.app().colors.active());
        rendererOf_ = frm_.map.get();
    }
    return renderer_.get();
}

void GlMapSwitch::CityClosed() {
    if (surface_) surface_->ReleaseGl(renderer_.get());
    renderer_.reset();
    rendererOf_ = nullptr;
}

void GlMapSwitch::Apply() {
    if (frm_.app().settings.GrafMode != 1) {
        Remove();
        return;
    }
    if (surface_) return;
    QString why;
    if (!Available(why)) {
        FallBack(why);
        return;
    }
    TMapImage* img = frm_.img;
    const WId windowBefore = img->window()->internalWinId();
    auto* s = new TGlMapImage(img->parentWidget());
    surface_ = s;
    s->renderer = [this] { return renderer(); };
    s->quitting = [this] { return frm_.app().AppState == QStringLiteral("quit"); };
    s->overlays = [this](QPainter& p) {
        if (frm_.map) frm_.map->PaintOverlays(p);
    };
    s->zoomFrame = [this]() -> QRect {
        if (frm_.app().AppState != QStringLiteral("scale_move") || frm_.ZoomHalfSize <= 0) return {};
        if (frm_.app().settings.ScaleMode == 0) {
            const int r = frm_.ZoomHalfSize;
            return QRect(frm_.PressPoint - QPoint(r, r), frm_.PressPoint + QPoint(r, r));
        }
        return QRect(frm_.PressPoint, frm_.LastPoint).normalized();
    };
    // Input goes where the 2D picture sends it, in the same coordinates.
    s->onDown = img->onDown;
    s->onMove = img->onMove;
    s->onUp = img->onUp;
    s->onLeave = img->onLeave;
    new CursorMirror(img, s);
    connect(s, &TGlMapImage::unusable, this, &GlMapSwitch::FallBack, Qt::QueuedConnection);
    // The placeholder of the name gives way to the surface.
    if (frm_.imgGL && frm_.imgGL != s) delete frm_.imgGL;
    frm_.imgGL = s;
    s->setGeometry(img->geometry());
    s->show();
    // Over the picture, under the map's tool panel and the other panels of the map area.
    s->stackUnder(frm_.pnlMapTools);
    img->stackUnder(s);
    s->update();
    // The first OpenGL surface in a shown window makes Qt create the window anew, and the window manager
    // maps the new one at the window's normal size: a maximised window made anew is maximised again.
    QWidget* top = s->window();
    if (top->isVisible() && (top->windowState() & Qt::WindowMaximized)) {
        QTimer::singleShot(0, top, [top, windowBefore] {
            if (top->internalWinId() == windowBefore) return;
            top->setWindowState(top->windowState() & ~Qt::WindowMaximized);
            top->setWindowState(top->windowState() | Qt::WindowMaximized);
        });
    }
}

void GlMapSwitch::Remove() {
    if (!surface_) return;
    TGlMapImage* s = surface_;
    // The renderer's buffer belongs to this surface's context.
    s->ReleaseGl(renderer_.get());
    surface_ = nullptr;
    auto* placeholder = new QWidget(s->parentWidget());
    placeholder->setObjectName(QStringLiteral("imgGL"));
    placeholder->hide();
    frm_.imgGL = placeholder;
    // Gone from the window at once; deleted once the events that may still refer to it are handled.
    s->hide();
    s->setObjectName(QString());
    s->setParent(nullptr);
    s->deleteLater();
}

void GlMapSwitch::FallBack(const QString& why) {
    Remove();
    Settings& settings = frm_.app().settings;
    settings.GrafMode = 0;
    SaveSettings(settings);
    frm_.Redraw(true);
    const QString text =
        settings.ShellLang == 0
            ? QStringLiteral("Не удалось включить OpenGL (%1). Карта рисуется в режиме GDI+.").arg(why)
            : QStringLiteral("OpenGL cannot be used (%1). The map is drawn in 2D instead.").arg(why);
    if (showMessage)
        showMessage(text);
    else
        QMessageBox::warning(&frm_, frm_.windowTitle(), text);
}

void GlMapSwitch::Redraw() {
    if (surface_) surface_->update();
}
