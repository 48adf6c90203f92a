// The city the benchmarks measure: TESSARA_BENCH_CITY when given, else a metropolis generated once
// into the build folder.
#pragma once

#include "CityGenerator.h"
#include "CityWriter.h"
#include "RecordWriter.h"

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
    CityWriter w;
    w.CityName = QStringLiteral("Мегаполис");
    w.ReleaseDate = "01.11.2026";
    {
        CityDb db;
        GenerateCity(o, db, w);
        SetCitySections(w, db);
    }
    QString err = w.Write(path);
    if (err.isEmpty()) err = w.WritePhotoFile(QFileInfo(path).path() + "/Metropolis.img");
    if (!err.isEmpty()) qFatal("cannot write %s: %s", qPrintable(path), qPrintable(err));
    return path;
}
