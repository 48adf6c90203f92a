// Full redraws of the map by the OpenGL renderer at 1920 x 1080 (the dense centre view and the whole city), with
// the labels drawn over them at rest, beside the 2D renderer's figures for the same views. Needs a display with OpenGL (run under xvfb-run).
// usage: bench_render_gl CITY.gis [MORE_CITIES.gis ...]   (the metropolis last)
#include "GlMapRenderer.h"
#include "MapRenderer.h"
#include "RenderBench.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLPaintDevice>
#include <QPainter>
#include <QOpenGLFunctions_2_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int Width = 1920, Height = 1080;

struct LoadedCity : RenderedCity {
    std::unique_ptr<TGlMap> gl;
};

std::unique_ptr<LoadedCity> Load(const QString& path) {
    auto c = std::make_unique<LoadedCity>();
    if (!LoadRenderedCity(path, *c)) return nullptr;
    c->gl = std::make_unique<TGlMap>(*c->map, c->db, c->view, c->display, c->style.colors);
    return c;
}

void Setup(LoadedCity& c, bool whole, bool moving = false) {
    c.view.Scale = whole ? c.view.FullScale : 1.0f;
    c.view.OriginX = c.db.WorldMinX + (c.db.WorldMaxX - c.db.WorldMinX) / 2;
    c.view.OriginY = c.db.WorldMinY + (c.db.WorldMaxY - c.db.WorldMinY) / 2;
    c.display.SmoothNow = !moving; // lines are smoothed at rest only
    c.display.TextsOn = !moving;
    c.map->options.smooth = true;
    c.map->options.flat = false;
}

// A frame's time is the time it takes from start to finish. This machine is shared, and another's work can
// slow a few seconds of the run: frames are timed in three rounds of 15, the median of the least disturbed
// round is the figure and the slowest round's median is printed beside it. The software rasteriser works on
// threads of its own, one per core, so the CPU time of the whole process (median of 15) is printed too: it
// adds up the work of every thread and says how much of the machine a frame takes.
struct FrameTime {
    double ms = 0, worstMs = 0, cpuMs = 0;
};

FrameTime FrameMs(const std::function<void()>& fn) {
    FrameTime t;
    t.ms = 1e300;
    for (int round = 0; round < 3; ++round) {
        const double ms = MedianMs(fn, 15, CLOCK_MONOTONIC);
        t.ms = std::min(t.ms, ms);
        t.worstMs = std::max(t.worstMs, ms);
    }
    t.cpuMs = MedianMs(fn, 15, CLOCK_PROCESS_CPUTIME_ID);
    return t;
}

// One frame built (afresh when `fresh`, as after any change of the view, else kept when nothing changed),
// drawn with the labels over it (at rest) and finished, as the map's surface paints it.
void Draw(LoadedCity& c, QOpenGLFunctions_2_1& gl, bool fresh) {
    if (fresh) c.gl->Invalidate();
    c.gl->BuildFrame();
    c.gl->Render(gl, Width, Height);
    if (!c.gl->labels().isNull()) {
        QOpenGLPaintDevice device(Width, Height);
        QPainter p(&device);
        p.drawImage(QPoint(0, 0), c.gl->labels());
    }
    gl.glFinish();
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    std::vector<std::unique_ptr<LoadedCity>> cities;
    for (int i = 1; i < argc; ++i) {
        if (auto c = Load(QString::fromLocal8Bit(argv[i])))
            cities.push_back(std::move(c));
        else
            std::fprintf(stderr, "bench_render_gl: %s is not a city file\n", argv[i]);
    }
    if (cities.empty()) {
        std::fprintf(stderr, "usage: bench_render_gl CITY.gis [MORE_CITIES.gis ...]\n");
        return 2;
    }
    QSurfaceFormat format;
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    QOpenGLContext context;
    context.setFormat(format);
    QOffscreenSurface surface;
    surface.setFormat(format);
    surface.create();
    QOpenGLFunctions_2_1* gl = nullptr;
    if (context.create() && context.makeCurrent(&surface))
        gl = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_2_1>(&context);
    if (!gl) {
        std::fprintf(stderr, "bench_render_gl: no OpenGL 2.1 context (run it under xvfb-run)\n");
        return 2;
    }
    QOpenGLFramebufferObject fbo(Width, Height, QOpenGLFramebufferObject::Depth);
    fbo.bind();
    std::printf("OpenGL: %s, %s\n", reinterpret_cast<const char*>(gl->glGetString(GL_RENDERER)),
                reinterpret_cast<const char*>(gl->glGetString(GL_VERSION)));
    std::printf("median time per full frame at %d x %d, from start to finish (OpenGL: frame built or kept, "
                "drawn and finished; the least disturbed of three rounds), with the process's CPU time on %d cores "
                "beside it\n",
                Width, Height, QThread::idealThreadCount());
    for (auto& c : cities) {
        const std::string n = c->name.toStdString();
        for (bool whole : {false, true}) {
            Setup(*c, whole);
            const char* view = whole ? "whole city" : "dense centre";
            const double goal = whole ? 30 : 20;
            QImage out;
            const FrameTime flat2d = FrameMs([&] { c->map->DrawGDI(&out, true); });
            const FrameTime build = FrameMs([&] {
                c->gl->Invalidate();
                c->gl->BuildFrame();
            });
            // The labels alone: drawn afresh for a new view (the frame's are kept otherwise).
            QImage labels(Width, Height, QImage::Format_ARGB32_Premultiplied);
            const FrameTime labelling = FrameMs([&] { c->map->DrawLabels(labels); });
            const FrameTime frame = FrameMs([&] { Draw(*c, *gl, true); });
            const FrameTime repaint = FrameMs([&] { Draw(*c, *gl, false); });
            const GlFrame& f = c->gl->frame();
            std::printf("%s %s: OpenGL, a new frame %.2f ms (slowest round %.2f ms, CPU %.2f ms) ... goal: under "
                        "%.0f ms\n",
                        n.c_str(), view, frame.ms, frame.worstMs, frame.cpuMs, goal);
            std::printf("%s %s: OpenGL, a repaint of the kept frame %.2f ms (slowest round %.2f ms, CPU %.2f ms) "
                        "... goal: under %.0f ms\n",
                        n.c_str(), view, repaint.ms, repaint.worstMs, repaint.cpuMs, goal);
            std::printf("%s %s: labels over the OpenGL frame (street labels, house numbers, icons) drawn in "
                        "%.2f ms (CPU %.2f ms), included in both figures above\n",
                        n.c_str(), view, labelling.ms, labelling.cpuMs);
            std::printf("%s %s: 2D %.2f ms (CPU %.2f ms), OpenGL frame building %.2f ms, %d draw calls, %zu "
                        "vertices (%d triangles, %d lines, %d points, %d squares)\n",
                        n.c_str(), view, flat2d.ms, flat2d.cpuMs, build.ms, f.batchCount(), f.vertexCount(),
                        f.primitives(GlPrimitive::Triangles), f.primitives(GlPrimitive::Lines),
                        f.primitives(GlPrimitive::Points), f.primitives(GlPrimitive::Squares));
            // While the map moves lines are not smoothed, in both renderers.
            Setup(*c, whole, true);
            const FrameTime moving2d = FrameMs([&] { c->map->DrawGDI(&out, true); });
            const FrameTime moving = FrameMs([&] { Draw(*c, *gl, true); });
            std::printf("%s %s, moving: OpenGL %.2f ms (CPU %.2f ms), 2D %.2f ms (CPU %.2f ms)\n", n.c_str(), view,
                        moving.ms, moving.cpuMs, moving2d.ms, moving2d.cpuMs);
        }
        std::printf("%s: %zu outlines tessellated, %zu indices kept (%.1f MiB)\n", n.c_str(),
                    c->gl->triangles().outlines(), c->gl->triangles().indices(),
                    c->gl->triangles().indices() * 4.0 / (1 << 20));
    }
    context.doneCurrent();
    return 0;
}
