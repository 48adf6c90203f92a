// Overlay-only redraws of the 2D map at 1920 x 1080 with the map tools shown: five info balloons (one
// with its building photo), a ruler of 20 nodes and the search radius; beside it the same redraw
// without them, and a ruler of 5000 nodes.
// usage: bench_overlay CITY.gis... (the metropolis last; each city is measured)
#include "BalloonPainter.h"
#include "MapRenderer.h"
#include "Pictures.h"
#include "RenderBench.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>

namespace {

struct Scene {
    CityDb db;
    MapStyle style;
    CityFileRef ref;
    MapView view;
    MapDisplay display;
    std::unique_ptr<TMap> map;
    OverlayFonts fonts;
    TBalloonList balloons;
    TMeas meas;
    TRadius radius;
};

bool Load(const QString& path, Scene& s) {
    const QFileInfo info(path);
    auto entry = CityEntryFromFile(info.absolutePath() + "/", info.fileName(), false);
    if (!entry || !LoadRenderCity(path, s.db, s.style)) return false;
    s.ref = CityFileRef::From(*entry);
    LoadPhotoIndex(s.db, s.ref);
    s.map = std::make_unique<TMap>(s.db, s.view, s.display, s.style.colors);
    s.map->CityLoaded();
    s.map->Resize(1920, 1080, true);
    return true;
}

// Balloons over the first photographed building (or the city's middle) and four buildings near it.
void Compose(Scene& s) {
    int centre = -1, foto = -1;
    for (std::size_t f = 0; f < s.db.Fotos.size() && centre < 0; ++f) {
        for (std::size_t b = 0; b < s.db.Buildings.size(); ++b) {
            if (s.db.Buildings[b].id != s.db.Fotos[f].build_id) continue;
            centre = int(b);
            foto = int(f);
            break;
        }
    }
    if (centre < 0) centre = int(s.db.Buildings.size() / 2);
    const TBuilding& c = s.db.Buildings[std::size_t(centre)];
    s.view.Scale = 1;
    s.view.OriginX = c.x;
    s.view.OriginY = c.y;
    s.view.CorrectPosition();

    BalloonEnv env;
    env.view = &s.view;
    env.measure = &s.fonts.Balloon();
    env.InfoColor = s.style.colors.InfoColor;
    env.ShowFotoFirst = true;
    env.loadFoto = [&s](int f, int& w, int& h) { return LoadBalloonFoto(s.db, f, s.ref, w, h); };
    const float offsets[5][2] = {{0, 0}, {-500, -250}, {500, -250}, {-500, 250}, {500, 250}};
    for (int i = 0; i < 5; ++i) {
        // The building nearest to each spot of the view.
        const float x = s.view.OriginX + offsets[i][0], y = s.view.OriginY + offsets[i][1];
        int best = centre;
        if (i > 0) {
            float bestD = 1e30f;
            for (std::size_t b = 0; b < s.db.Buildings.size(); ++b) {
                const float d = std::hypot(s.db.Buildings[b].x - x, s.db.Buildings[b].y - y);
                if (d < bestD) bestD = d, best = int(b);
            }
        }
        const TBuilding& b = s.db.Buildings[std::size_t(best)];
        TInfo info;
        info.Create(env, BuildingProps(s.db, best, 0, i == 0 ? foto : -1), b.y, b.x, 1920);
        s.balloons.Infos.push_back(std::move(info));
    }
    for (int i = 0; i < 20; ++i)
        s.meas.AddNode(s.view.OriginY + (i % 2 ? 150.0f : -150.0f), s.view.OriginX - 900 + i * 90.0f);
    s.meas.color = s.style.colors.MeasColor;
    s.radius.Visible = true;
    s.radius.center = TCoord{s.view.OriginX + 200, s.view.OriginY};
    s.radius.Radius = 350;
    s.map->drawRuler = [&s](QPainter& p) { DrawRuler(p, s.meas, s.view, s.fonts, 1); };
    s.map->drawRadius = [&s](QPainter& p) { DrawRadius(p, s.radius, s.view); };
    s.map->drawBalloons = [&s](QPainter& p) { DrawBalloons(p, s.balloons, s.view, s.fonts, true); };
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_overlay CITY.gis... (the metropolis last)\n");
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        Scene s;
        const QString path = QString::fromLocal8Bit(argv[i]);
        if (!Load(path, s)) {
            std::fprintf(stderr, "bench_overlay: %s is not a city file\n", argv[i]);
            return 2;
        }
        const std::string name = QFileInfo(path).fileName().toStdString();
        {
            // The banner balloons made when the city's map first shows (their pictures decoded once).
            BalloonEnv env;
            env.view = &s.view;
            env.measure = &s.fonts.Balloon();
            env.loadBanner = [&s](int org, int& w, int& h) -> std::shared_ptr<QImage> {
                auto picture = LoadImgShared(*s.db.Orgs[std::size_t(org)].buildBanner, TImgType::jpg, s.ref);
                if (!picture || picture->isNull()) return nullptr;
                w = picture->width();
                h = picture->height();
                return picture;
            };
            const double t0 = CpuMs();
            const std::size_t banners = BannerBalloons(s.db, env, 1920).size();
            std::printf("%s: %zu banner balloons made in %.1f ms\n", name.c_str(), banners, CpuMs() - t0);
        }
        QImage out;
        s.map->DrawGDI(&out, true);
        const double bare = MedianMs([&] { s.map->DrawGDI(&out, false); }, 31);
        Compose(s);
        s.map->DrawGDI(&out, true);
        const bool photo = s.balloons.Infos[0].HasFoto();
        const double tools = MedianMs([&] { s.map->DrawGDI(&out, false); }, 31);
        std::printf("%s: overlay redraw without tools %.2f ms\n", name.c_str(), bare);
        std::printf(
            "%s: overlay redraw with 5 balloons (%s), 20-node ruler and radius at 1920x1080 %.2f ms ... "
            "goal: under 3 ms\n",
            name.c_str(), photo ? "one with a photo" : "no photo in this city", tools);
        while (s.meas.path.size() < 5000)
            s.meas.AddNode(s.view.OriginY + float(s.meas.path.size() % 40) * 20 - 400,
                           s.view.OriginX + float(s.meas.path.size() / 40) * 15 - 900);
        const double longRuler = MedianMs([&] { s.map->DrawGDI(&out, false); }, 15);
        std::printf("%s: overlay redraw with a 5000-node ruler %.2f ms\n", name.c_str(), longRuler);
        s.meas.NodeVisible = false;
        const double bareRuler = MedianMs([&] { s.map->DrawGDI(&out, false); }, 15);
        std::printf("%s: the same without node labels %.2f ms\n", name.c_str(), bareRuler);
        s.meas.NodeVisible = true;
        s.balloons.Infos.clear();
        s.radius.Visible = false;
        s.meas.path.resize(20);
        const double rulerOnly = MedianMs([&] { s.map->DrawGDI(&out, false); }, 31);
        std::printf("%s: 20-node ruler alone %.2f ms\n", name.c_str(), rulerOnly);
    }
    return 0;
}
