// A generated city in memory, for tests that hold a prepared index against a plain walk. The generator
// draws its pictures with text, which needs a GUI application: one is made when none runs yet.
#pragma once

#include "CityDb.h"
#include "CityGenerator.h"
#include "CityWriter.h"

#include <QGuiApplication>

inline CityDb GeneratedCity(int buildings, int orgs) {
    static int argc = 1;
    static char name[] = "tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QGuiApplication(argc, argv);
    CityGenOptions o;
    CityGenPreset("demo", o);
    o.buildings = buildings;
    o.orgs = orgs;
    o.maxPictures = 4;
    CityDb db;
    CityWriter w;
    GenerateCity(o, db, w);
    return db;
}
