// Importing a small extract (a fixture of tests/osm/fixtures or the shared data) and loading the
// written city back with the program's own loaders, as the importer's tests do.
#pragma once

#include "Catalogue.h"
#include "CityFile.h"
#include "DirectoryRecords.h"
#include "MapRecords.h"
#include "OsmImport.h"
#include "TestFiles.h"

#include <QDir>
#include <gtest/gtest.h>

// The city as the program loads it, with addresses resolved and the estate agencies listed.
inline CityDb LoadCity(const QString& folder, const QString& fileName) {
    CityDb db;
    const auto entry = CityEntryFromFile(folder, fileName, true);
    EXPECT_TRUE(entry);
    if (!entry) return db;
    const CityFileRef ref = CityFileRef::From(*entry);
    LoadStartSection(db, ref);
    LoadDirectorySection(db, ref);
    LoadMapSection(db, ref);
    LoadRubricSection(db, ref);
    ResolveOrgAddresses(db);
    BuildEstateAgents(db);
    return db;
}

struct Imported {
    ScratchDir dir;
    OsmImportResult result;
    CityDb city; // loaded back
};

inline void Import(Imported& out, const QString& input, const OsmImportOptions& options = {}) {
    out.result = ImportOsm(input, options);
    ASSERT_EQ(WriteOsmCity(out.result, out.dir.file("city.gis")), QString());
    out.city = LoadCity(out.dir.path(), "city.gis");
}

inline QString Fixture(const char* name) {
    return QDir(QStringLiteral(TESSARA_OSM_FIXTURES)).filePath(QLatin1String(name));
}

inline void ImportFixture(Imported& out, const char* name, const OsmImportOptions& options = {}) {
    Import(out, Fixture(name), options);
}

inline QString SharedData(const char* file) {
    const QByteArray shared = qgetenv("TESSARA_SHARED_DIR");
    return QDir(shared.isEmpty() ? QStringLiteral(TESSARA_SHARED_DIR) : QString::fromLocal8Bit(shared))
        .filePath(QStringLiteral("data/osm/") + QLatin1String(file));
}

inline int StreetNamed(const CityDb& db, const QString& name, int skip = 0) {
    for (int i = 0; i < int(db.Streets.size()); ++i)
        if (db.Streets[i].Name[0] == name && skip-- == 0) return i;
    return -1;
}

inline const TOrg* OrgNamed(const CityDb& db, const QString& name) {
    for (const TOrg& o : db.Orgs)
        if (o.caption[0] == name) return &o;
    return nullptr;
}

inline bool HasRubric(const CityDb& db, const TOrg& o, const char* name) {
    for (int r : o.area)
        if (db.RubricNames.value(r) == QString::fromUtf8(name)) return true;
    return false;
}
