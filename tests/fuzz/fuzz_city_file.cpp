// Feeds arbitrary bytes to the header and start-section parsers: any input must end in a
// result or a CityFileError, never in a crash or a read outside the buffer.
#include "ByteReader.h"
#include "CityFile.h"
#include "CityFileError.h"
#include "CityHeader.h"
#include "Descramble.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    auto header = ParseCityHeader(bytes);
    if (size < 1) return 0;
    // The first byte picks the format version, so old and new strings are both exercised.
    const std::int32_t dfv = header ? header->dfv : (data[0] % 2 ? 18 : 9);
    QByteArray section = Descramble(bytes, 1, bytes.size());
    CityDb db;
    try {
        ByteReader r(section, "fuzz.gis", "start", 80);
        DecodeStartSection(r, db, dfv);
        ByteReader rubric(section, "fuzz.gis", "rubric", 80);
        DecodeRubricSection(rubric, db);
    } catch (const CityFileError&) {
    }
    return 0;
}
