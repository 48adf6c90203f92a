// What the map benchmarks share: a city read as the program reads it, and the median CPU time of a frame
// (BenchTime.h).
#pragma once

#include "BenchTime.h"
#include "Catalogue.h"
#include "CityFile.h"
#include "LabelMetrics.h"
#include "MapColors.h"

#include <QFileInfo>

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
