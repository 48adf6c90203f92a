// References into a city file's resource area: pictures (TImg) and organisation pages (TPg).
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class QImage;

struct TResource {
    std::int32_t size = -1;   // -1 when unset
    std::int32_t offset = -1; // relative to the start of the resource area (offset3)
    bool operator==(const TResource&) const = default;
};

enum class TImgType { bmp, jpg };

struct TImg : TResource {
    // The decoded picture, absent until loaded (render's LoadImg); shared so records stay copyable.
    std::shared_ptr<QImage> img;
    // Set once a load was tried, so a picture that does not decode is not read again and again.
    bool tried = false;
    bool operator==(const TImg&) const = default;
};

struct TPg : TResource {
    QString Name; // a page file name in the resource area, or a web address beginning with "http"
    bool operator==(const TPg&) const = default;
};
