// What the map benchmarks share: a city read as the program reads it, and the median CPU time of a frame
// (BenchTime.h).
#pragma once

#include "BenchTime.h"
#include "Catalogue.h"
#include "CityFile.h"
#include "LabelMetrics.h"
#include "MapColors.h"
#include "MapDisplay.h"
#include "MapRenderer.h"
#include "MapView.h"

#include <QFileInfo>
#include <memory>

// The directory and map sections of a city file; false when the file is not a city.
inline bool LoadRenderCity(const QString& path, CityDb& db, MapStyle& style) {
    const QFileInfo info(path);
    auto entry = CityEntryFromFile(info.absolutePath() + "/", info.fileName(), false);
    if (!entry) return false;
    style.textWidth = LabelWidthMeasure();
    const CityFileRef ref = CityFileRef::From(*entry);
    LoadDirectorySection(db, ref);
    LoadMapSection(db, ref, style);
    return true;
}

// A city with its 2D map, sized to a full-HD frame as the benchmarks draw it.
struct RenderedCity {
    QString name;
    CityDb db;
    MapStyle style;
    MapView view;
    MapDisplay display;
    std::unique_ptr<TMap> map;
};

inline bool LoadRenderedCity(const QString& path, RenderedCity& c) {
    if (!LoadRenderCity(path, c.db, c.style)) return false;
    c.name = QFileInfo(path).fileName();
    c.map = std::make_unique<TMap>(c.db, c.view, c.display, c.style.colors);
    c.map->CityLoaded();
    c.map->Resize(1920, 1080, true);
    return true;
}
