// References into a city file's resource area: pictures (TImg) and organisation pages (TPg).
#pragma once

#include <QString>
#include <cstdint>

struct TResource {
    std::int32_t size = -1;   // -1 when unset
    std::int32_t offset = -1; // relative to the start of the resource area (offset3)
    bool operator==(const TResource&) const = default;
};

enum class TImgType { bmp, jpg };

// Only the reference: render's LoadImg keeps decoded pictures in a cache of its own, so the many
// organisations that carry banners cost eight bytes per picture until one is shown.
struct TImg : TResource {
    bool operator==(const TImg&) const = default;
};

struct TPg : TResource {
    QString Name; // a page file name in the resource area, or a web address beginning with "http"
    bool operator==(const TPg&) const = default;
};
