// Decoding of pictures kept in a city's resource area and photo file.
#pragma once

#include "CityFile.h"

#include <QImage>
#include <memory>

// Loads the picture once (JPEG or BMP); later calls return the same picture. Nothing for an unset
// reference or bytes that do not decode. Damaged offsets raise CityFileError. Decoded pictures live in
// a cache keyed by the city file and the picture's place in it, until ReleasePictures.
const QImage* LoadImg(TImg& img, TImgType kind, const CityFileRef& city);
// The same picture, shared so that a holder may keep it past ReleasePictures.
std::shared_ptr<QImage> LoadImgShared(const TImg& img, TImgType kind, const CityFileRef& city);

// Forgets every decoded picture (a city is released or another one is chosen).
void ReleasePictures();

// The photo at `index` in Fotos decoded from JPEG; a null image for -1 or bytes that do not decode.
QImage LoadFoto(const CityDb& db, int index, const CityFileRef& city);
