// Decoding of pictures kept in a city's resource area and photo file.
#pragma once

#include "CityFile.h"

#include <QImage>

// Loads the picture once (JPEG or BMP); later calls return the same picture. Nothing for an unset
// reference or bytes that do not decode. Damaged offsets raise CityFileError.
const QImage* LoadImg(TImg& img, TImgType kind, const CityFileRef& city);

// The photo at `index` in Fotos decoded from JPEG; a null image for -1 or bytes that do not decode.
QImage LoadFoto(const CityDb& db, int index, const CityFileRef& city);
