// The OpenGL map surface `imgGL`: lies over the 2D picture and draws the map with the OpenGL renderer,
// every repaint a complete frame; mouse input goes to the main window as from `img`.
#pragma once

#include <QOpenGLWidget>
#include <QRect>
#include <functional>

class QOpenGLFunctions_2_1;
class TGlMap;
class QPainter;

class TGlMapImage : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit TGlMapImage(QWidget* parent = nullptr);
    ~TGlMapImage() override;

    // The format every OpenGL map surface asks for: compatibility profile with a depth buffer.
    static QSurfaceFormat SurfaceFormat();

    // The renderer of the loaded city, or null (nothing is drawn, the last picture stays).
    std::function<TGlMap*()> renderer;
    // True while the program closes: nothing is drawn.
    std::function<bool()> quitting;
    // The zoom rectangle being drawn with the scale tool, or an empty one.
    std::function<QRect()> zoomFrame;
    // Floating overlays (ruler, radius, balloons) painted over the frame.
    std::function<void(QPainter&)> overlays;
    std::function<void(QMouseEvent*)> onDown, onMove, onUp;
    std::function<void()> onLeave;

    // Frames drawn so far (tests wait for the first).
    int frames() const { return frames_; }

signals:
    // No usable OpenGL context: the reason, for the message.
    void unusable(const QString& why);

protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;

public:
    // Frees what `map` keeps in this surface's context, before that renderer goes.
    void ReleaseGl(TGlMap* map);

private:
    QOpenGLFunctions_2_1* gl_ = nullptr;
    int frames_ = 0;
};
