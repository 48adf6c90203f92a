// Records of the map section.
#include "ByteReader.h"
#include "CityFile.h"

void DecodeMapRecords(ByteReader&, CityDb&, const ProgressStep&) {}
