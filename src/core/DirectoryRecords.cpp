// Records of the directory section.
#include "ByteReader.h"
#include "CityFile.h"

void DecodeDirectoryRecords(ByteReader&, CityDb&, const ProgressStep&) {}
