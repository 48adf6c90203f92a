// What the map benchmarks share: a city read as the program reads it, and the median CPU time of a frame.
#pragma once

#include "Catalogue.h"
#include "CityFile.h"
#include "LabelMetrics.h"
#include "MapColors.h"

#include <QFileInfo>
#include <algorithm>
#include <ctime>
#include <functional>
#include <vector>

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

// CPU time of `clock` (the thread's or the whole process's), so that other work on a shared machine does
// not count against a frame.
inline double CpuMs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

inline double MedianMs(const std::function<void()>& fn, clockid_t clock = CLOCK_THREAD_CPUTIME_ID,
                       int runs = 15) {
    std::vector<double> ms;
    fn(); // warm caches and fonts
    for (int i = 0; i < runs; ++i) {
        const double t0 = CpuMs(clock);
        fn();
        ms.push_back(CpuMs(clock) - t0);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}
