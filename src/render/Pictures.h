// Decoding of pictures kept in a city's resource area and photo file, bounded in size and memory: a
// city file is outside input, and a picture's header may ask for any number of pixels.
#pragma once

#include "CityFile.h"

#include <QImage>
#include <QSize>
#include <memory>

// Limits of a decoded picture. A picture is decoded at the size it is shown (`shown`, in device
// pixels; the picture is stretched to it) and refused when it is stored larger than MaxOversize times
// that size either way. Without a shown size it keeps its own size, refused past MaxPictureSide.
// Stored pictures past MaxPictureBytes are not read.
inline constexpr int MaxOversize = 4;
inline constexpr int MaxPictureSide = 2048;
inline constexpr std::int32_t MaxPictureBytes = 16 << 20;
// Decoded pictures kept for later calls, in bytes; the least recently used go first.
inline constexpr qint64 PictureCacheBudget = 64 << 20;

// The picture, decoded once per shown size (JPEG or BMP); shared, so a holder may keep it after the
// cache let it go. Nothing for an unset reference, bytes that do not decode or a picture past the
// limits. Damaged offsets raise CityFileError.
std::shared_ptr<QImage> LoadImgShared(const TImg& img, TImgType kind, const CityFileRef& city, QSize shown = {});
// The same for a caller that uses the picture at once: the pointer stays valid until this thread
// loads the next picture.
const QImage* LoadImg(TImg& img, TImgType kind, const CityFileRef& city, QSize shown = {});

// Forgets every decoded picture (a city is released or another one is chosen).
void ReleasePictures();
// Bytes of the decoded pictures the cache holds now.
qint64 PictureCacheBytes();

// The photo at `index` in Fotos decoded from JPEG; a null image for -1 or bytes that do not decode.
QImage LoadFoto(const CityDb& db, int index, const CityFileRef& city);
