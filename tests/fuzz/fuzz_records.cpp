// Feeds arbitrary bytes to the directory and map record decoders, and to what runs on their result
// while a city loads (address resolution, estate agencies) and the dump that reads every record back:
// any input must end in a city or a CityFileError, never in a crash or a read outside the buffer.
// Input: byte 0 picks the section (odd: map), byte 1 the count of data languages (and for the
// directory the building count its addresses are checked against, or none), the rest is the section.
// With TESSARA_SEED_CITY=FILE.gis and TESSARA_SEED_DIR=DIR the fuzzer first writes that city's two
// sections into DIR as starting inputs.
#include "ByteReader.h"
#include "Catalogue.h"
#include "CityDb.h"
#include "CityFile.h"
#include "CityFileError.h"
#include "CityJson.h"
#include "DirectoryRecords.h"
#include "MapColors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstddef>
#include <cstdint>

namespace {

void WriteSeed(const QString& dir, const char* name, char kind, char langs, const QByteArray& section) {
    QFile f(QDir(dir).filePath(QString::fromLatin1(name)));
    if (!f.open(QIODevice::WriteOnly)) return;
    f.write(QByteArray(1, kind) + QByteArray(1, langs) + section);
}

void WriteSeeds() {
    const QString city = qEnvironmentVariable("TESSARA_SEED_CITY"), dir = qEnvironmentVariable("TESSARA_SEED_DIR");
    if (city.isEmpty() || dir.isEmpty()) return;
    const QFileInfo info(city);
    auto entry = CityEntryFromFile(info.absolutePath() + "/", info.fileName(), false);
    if (!entry) return;
    const CityFileRef ref = CityFileRef::From(*entry);
    QDir().mkpath(dir);
    try {
        const QByteArray directory = ReadSection(ref, CitySection::Directory);
        CityDb db;
        ByteReader r(directory, city, "directory");
        DecodeDirectoryRecords(r, db, {});
        WriteSeed(dir, "seed-directory", 0, char(db.DataLangCount - 1), directory);
        WriteSeed(dir, "seed-map", 1, char(db.DataLangCount - 1), ReadSection(ref, CitySection::Map));
    } catch (const CityFileError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    WriteSeeds();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const bool map = data[0] & 1;
    const QByteArrayView section(reinterpret_cast<const char*>(data) + 2, static_cast<qsizetype>(size - 2));
    CityDb db;
    db.DataLangCount = 1 + data[1] % 3;
    try {
        ByteReader r(section, "fuzz.gis", map ? "map" : "directory");
        if (map) {
            DecodeMapRecords(r, db, MapStyle{}, {}, {});
        } else {
            DecodeDirectoryRecords(r, db, {}, std::int64_t(data[1] >> 2) - 1);
            ResolveOrgAddresses(db);
            BuildEstateAgents(db);
        }
        CityToJson(db);
    } catch (const CityFileError&) {
    }
    return 0;
}
