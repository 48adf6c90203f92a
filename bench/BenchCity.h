// The city the benchmarks measure: TESSARA_BENCH_CITY when given, else a metropolis generated once
// into the build folder.
#pragma once

#include "CityGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

inline QString BenchCityPath() {
    const QString given = qEnvironmentVariable("TESSARA_BENCH_CITY");
    if (!given.isEmpty()) return given;
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath("bench-data/Metropolis.gis");
    if (QFile::exists(path)) return path;
    std::fprintf(stderr, "generating the metropolis into %s ...\n", qPrintable(path));
    QDir().mkpath(QFileInfo(path).path());
    CityGenOptions o;
    CityGenPreset("metropolis", o);
    const QString err = WriteGeneratedCity(o, QStringLiteral("Мегаполис"), path);
    if (!err.isEmpty()) qFatal("cannot write %s: %s", qPrintable(path), qPrintable(err));
    return path;
}
