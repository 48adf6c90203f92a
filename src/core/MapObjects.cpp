#include "MapObjects.h"

#include <algorithm>
#include <cstring>

TSideFlags::TSideFlags(const TSideFlags& o) : size_(o.size_) {
    if (o.inlineBits()) {
        setWord(o.word());
    } else {
        auto* p = new std::uint64_t[wordCount()];
        std::memcpy(p, o.heap(), wordCount() * sizeof(std::uint64_t));
        setHeap(p);
    }
}

void TSideFlags::resize(std::size_t n) {
    release();
    size_ = static_cast<std::uint32_t>(n);
    if (inlineBits())
        setWord(0);
    else
        setHeap(new std::uint64_t[wordCount()]());
}

bool TSideFlags::any() const {
    if (inlineBits()) return word() != 0;
    const std::uint64_t* w = heap();
    return std::any_of(w, w + wordCount(), [](std::uint64_t v) { return v != 0; });
}

bool TSideFlags::operator==(const TSideFlags& o) const {
    if (size_ != o.size_) return false;
    if (size_ == 0) return true;
    const std::size_t n = wordCount();
    std::uint64_t aw = 0, bw = 0;
    const std::uint64_t *a = inlineBits() ? &(aw = word()) : heap();
    const std::uint64_t *b = o.inlineBits() ? &(bw = o.word()) : o.heap();
    for (std::size_t i = 0; i + 1 < n; ++i)
        if (a[i] != b[i]) return false;
    // Bits beyond size() in the last word are never set, but compare only the used ones anyway.
    const std::size_t used = size_ - (n - 1) * 64;
    const std::uint64_t mask = used == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << used) - 1;
    return ((a[n - 1] ^ b[n - 1]) & mask) == 0;
}

QString POITypeName(TPOIType tip) {
    switch (tip) {
    case ptSport:
        return QStringLiteral("Спортивная площадка");
    case ptChildren:
        return QStringLiteral("Детская площадка");
    case ptTrash:
        return QStringLiteral("Мусорный бак");
    case ptToilet:
        return QStringLiteral("Туалет");
    case ptMemorial:
        return QStringLiteral("Памятник");
    case ptFontan:
        return QStringLiteral("Фонтан");
    case ptAttr:
        return QStringLiteral("Аттракцион");
    }
    return {};
}
