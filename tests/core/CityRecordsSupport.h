// Writing a city held in memory and reading it back, for the record tests.
#pragma once

#include "Catalogue.h"
#include "CityFile.h"
#include "CityWriter.h"
#include "MapRecords.h"
#include "RecordWriter.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

// Writes `db` with its sections and loads the start, directory, map and rubric sections back
// (addresses stay unresolved, as stored).
inline CityDb WriteAndLoad(const CityDb& db, const MapStyle& style = {}, CityWriter w = {}) {
    ScratchDir dir;
    w.CityName = QStringLiteral("Тестоград");
    w.ReleaseDate = "01.02.2026";
    SetCitySections(w, db);
    const QString err = w.Write(dir.file("city.gis"));
    EXPECT_EQ(err, QString());
    auto entry = CityEntryFromFile(dir.path(), "city.gis", true);
    EXPECT_TRUE(entry);
    CityDb out;
    if (!entry) return out;
    const CityFileRef ref = CityFileRef::From(*entry);
    LoadStartSection(out, ref);
    LoadDirectorySection(out, ref);
    LoadMapSection(out, ref, style);
    LoadRubricSection(out, ref);
    return out;
}

// The first position where two collections differ, or -1.
template <class T> long FirstDifference(const std::vector<T>& a, const std::vector<T>& b) {
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (!(a[i] == b[i])) return long(i);
    return a.size() == b.size() ? -1 : long(std::min(a.size(), b.size()));
}
