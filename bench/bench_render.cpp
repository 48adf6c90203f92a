// Full and overlay-only redraws of the 2D map at 1920 x 1080, beside one fill of the same surface.
// usage: bench_render CITY.gis [SECOND_CITY.gis] [benchmark flags]
// With two cities the dense view is timed on both, to show that a frame follows what is visible.
#include "MapRenderer.h"
#include "RenderBench.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<RenderedCity> Load(const QString& path) {
    auto c = std::make_unique<RenderedCity>();
    return LoadRenderedCity(path, *c) ? std::move(c) : nullptr;
}

enum class Case { DenseRest, DenseMoving, Full, Overlay };

void Setup(RenderedCity& c, Case k) {
    const float cx = c.db.WorldMinX + (c.db.WorldMaxX - c.db.WorldMinX) / 2;
    const float cy = c.db.WorldMinY + (c.db.WorldMaxY - c.db.WorldMinY) / 2;
    c.view.Scale = k == Case::Full ? c.view.FullScale : 1.0f;
    c.view.OriginX = cx;
    c.view.OriginY = cy;
    const bool moving = k == Case::DenseMoving;
    c.display.SmoothNow = !moving;
    c.display.TextsOn = !moving;
    c.map->options.smooth = true;
    c.map->options.flat = false;
}

std::vector<std::unique_ptr<RenderedCity>> Cities;

void BM_Redraw(benchmark::State& state, RenderedCity* c, Case k) {
    Setup(*c, k);
    QImage out;
    c->map->DrawGDI(&out, true);
    for (auto _ : state) c->map->DrawGDI(&out, k != Case::Overlay);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (auto c = Load(QString::fromLocal8Bit(argv[i]))) Cities.push_back(std::move(c));
        else std::fprintf(stderr, "bench_render: %s is not a city file\n", argv[i]);
    }
    if (Cities.empty()) {
        std::fprintf(stderr, "usage: bench_render CITY.gis [SECOND_CITY.gis]\n");
        return 2;
    }
    for (auto& c : Cities) {
        const std::string n = c->name.toStdString();
        benchmark::RegisterBenchmark(("dense/" + n).c_str(), BM_Redraw, c.get(), Case::DenseRest)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("moving/" + n).c_str(), BM_Redraw, c.get(), Case::DenseMoving)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("full/" + n).c_str(), BM_Redraw, c.get(), Case::Full)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("overlay/" + n).c_str(), BM_Redraw, c.get(), Case::Overlay)->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    QImage surface(1920, 1080, QImage::Format_RGB32);
    const double fill = MedianMs([&] { surface.fill(Qt::white); });
    std::printf("\nmedian CPU time per frame at 1920 x 1080 (QImage::fill of the surface: %.2f ms)\n", fill);
    std::printf("%-24s %10s %10s %10s %10s\n", "city", "dense", "moving", "full", "overlay");
    std::vector<double> dense;
    for (auto& c : Cities) {
        double t[4];
        for (int k = 0; k < 4; ++k) {
            Setup(*c, Case(k));
            QImage out;
            c->map->DrawGDI(&out, true);
            t[k] = MedianMs([&] { c->map->DrawGDI(&out, Case(k) != Case::Overlay); });
        }
        dense.push_back(t[0]);
        std::printf("%-24s %8.2fms %8.2fms %8.2fms %8.2fms   (%zu buildings)\n", qPrintable(c->name), t[0], t[1], t[2],
                    t[3], c->db.Buildings.size());
        const char* names[4] = {"dense view", "moving view", "full city", "overlay"};
        const double goals[4] = {40, 15, 40, 3};
        for (int k = 0; k < 4; ++k)
            std::printf("%s %s %.2f ms ... goal: under %.0f ms\n", qPrintable(c->name), names[k], t[k], goals[k]);
    }
    if (dense.size() == 2) {
        // Within 1.5 either way: the larger of the two ratios stays under 1.5.
        const double ratio = std::max(dense[1] / dense[0], dense[0] / dense[1]);
        std::printf("dense view, larger city / smaller city either way %.2f times ... goal: under 1.5 times\n", ratio);
    }
    return 0;
}
