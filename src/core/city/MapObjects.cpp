#include "MapObjects.h"

#include "ByteWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

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

bool TSideBits::any() const {
    for (std::size_t i = 0; i < size_; ++i)
        if ((*this)[i]) return true;
    return false;
}

TObjShape TShapeView::unpack() const {
    TObjShape s;
    s.shape.assign(shape.begin(), shape.end());
    s.visSide.resize(visSide.size());
    for (std::size_t i = 0; i < visSide.size(); ++i)
        s.visSide.set(i, visSide[i]);
    s.comSide.resize(comSide.size());
    for (std::size_t i = 0; i < comSide.size(); ++i)
        s.comSide.set(i, comSide[i]);
    s.high = high;
    return s;
}

namespace {

std::size_t BitBytes(std::size_t n) { return (n + 7) / 8; }

// Whether every point is a whole number of centimetres within 327.67 m of the first point, so that the
// outline can be kept as offsets and read back to the same floats.
bool InCentimetres(const TShapeFis& shape) {
    if (shape.empty()) return false;
    auto cm = [](float v, std::int32_t& out) {
        if (!std::isfinite(v) || std::fabs(v) > 2.0e7f) return false;
        out = CoordToStored(v);
        const float back = CoordFromStored(out);
        return std::memcmp(&back, &v, sizeof v) == 0; // bit for bit: keeps -0 and every float apart
    };
    std::int32_t x0, y0;
    if (!cm(shape[0].x, x0) || !cm(shape[0].y, y0)) return false;
    for (const TCoord& p : shape) {
        std::int32_t x, y;
        if (!cm(p.x, x) || !cm(p.y, y)) return false;
        if (std::abs(std::int64_t(x) - x0) > 32767 || std::abs(std::int64_t(y) - y0) > 32767) return false;
    }
    return true;
}

std::byte* PutPoints(const TShapeFis& shape, bool centimetres, std::byte* out) {
    if (shape.empty()) return out; // an empty vector may have no storage to copy from
    if (!centimetres) {
        std::memcpy(out, shape.data(), shape.size() * sizeof(TCoord));
        return out + shape.size() * sizeof(TCoord);
    }
    const std::int32_t base[2] = {CoordToStored(shape[0].x), CoordToStored(shape[0].y)};
    std::memcpy(out, base, sizeof base);
    out += sizeof base;
    for (std::size_t i = 1; i < shape.size(); ++i) {
        const std::int16_t d[2] = {std::int16_t(CoordToStored(shape[i].x) - base[0]),
                                   std::int16_t(CoordToStored(shape[i].y) - base[1])};
        std::memcpy(out, d, sizeof d);
        out += sizeof d;
    }
    return out;
}

std::uint16_t Count16(std::size_t n) {
    if (n > 0xFFFF) throw std::length_error("a building shape has more than 65535 points or sides");
    return std::uint16_t(n);
}

} // namespace

void TShapeList::assign(std::span<const TObjShape> shapes) {
    delete[] block_;
    block_ = nullptr;
    if (shapes.empty()) return;
    // The form of the first 64 outlines is remembered here (a building is read without allocating
    // anything but its block); any later one is decided again when written.
    std::uint64_t cmMask = 0;
    auto inCentimetres = [&](std::size_t i) {
        return i < 64 ? ((cmMask >> i) & 1u) != 0 : InCentimetres(shapes[i].shape);
    };
    std::size_t pointBytes = 0, bitBytes = 0;
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const TObjShape& s = shapes[i];
        const bool cm = InCentimetres(s.shape);
        if (cm && i < 64) cmMask |= std::uint64_t(1) << i;
        pointBytes += TPoints::Bytes(s.shape.size(), cm);
        bitBytes += BitBytes(s.visSide.size()) + BitBytes(s.comSide.size());
    }
    const std::size_t headBytes = (shapes.size() + 1) * sizeof(Head);
    const std::size_t bytes = headBytes + pointBytes + bitBytes;
    auto* block = new std::byte[bytes]();
    auto* head = reinterpret_cast<Head*>(block);
    head->points = Count16(shapes.size());
    std::byte* point = block + headBytes;
    auto* bits = reinterpret_cast<std::uint8_t*>(block + headBytes + pointBytes);
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const TObjShape& s = shapes[i];
        const bool cm = inCentimetres(i);
        ++head;
        head->points = Count16(s.shape.size());
        head->vis = Count16(s.visSide.size());
        head->com = Count16(s.comSide.size());
        head->high = s.high;
        head->centimetres = cm;
        point = PutPoints(s.shape, cm, point);
        for (const TSideFlags* f : {&s.visSide, &s.comSide}) {
            for (std::size_t i = 0; i < f->size(); ++i)
                if ((*f)[i]) bits[i >> 3] |= std::uint8_t(1u << (i & 7));
            bits += BitBytes(f->size());
        }
    }
    block_ = block;
}

TShapeList::TShapeList(const TShapeList& o) {
    if (!o.block_) return;
    iterator last = o.begin();
    for (std::size_t i = 0, n = o.size(); i < n; ++i)
        ++last;
    const std::size_t bytes = std::size_t(reinterpret_cast<const std::byte*>(last.bits_) - o.block_);
    block_ = new std::byte[bytes];
    std::memcpy(block_, o.block_, bytes);
}

void TShapeList::push_back(const TObjShape& shape) {
    std::vector<TObjShape> all = unpack();
    all.push_back(shape);
    assign(all);
}

std::vector<TObjShape> TShapeList::unpack() const {
    std::vector<TObjShape> out;
    out.reserve(size());
    for (const TShapeView s : *this)
        out.push_back(s.unpack());
    return out;
}

TShapeView TShapeList::iterator::operator*() const {
    const std::uint8_t* com = bits_ + BitBytes(head_->vis);
    return {{points_, head_->points, head_->centimetres != 0}, {bits_, head_->vis}, {com, head_->com}, head_->high};
}

TShapeList::iterator TShapeList::begin() const {
    iterator it;
    if (!block_) return it;
    const auto* heads = reinterpret_cast<const Head*>(block_);
    std::size_t pointBytes = 0;
    for (std::size_t i = 1; i <= heads->points; ++i)
        pointBytes += TPoints::Bytes(heads[i].points, heads[i].centimetres);
    const std::size_t headBytes = (heads->points + 1) * sizeof(Head);
    it.head_ = heads + 1;
    it.points_ = block_ + headBytes;
    it.bits_ = reinterpret_cast<const std::uint8_t*>(block_ + headBytes + pointBytes);
    return it;
}

TShapeList::iterator TShapeList::end() const {
    iterator it;
    if (block_) it.head_ = reinterpret_cast<const Head*>(block_) + 1 + size(); // compared by head only
    return it;
}

TShapeView TShapeList::operator[](std::size_t i) const {
    iterator it = begin();
    while (i-- > 0)
        ++it;
    return *it;
}

bool TShapeList::operator==(const TShapeList& o) const {
    if (size() != o.size()) return false;
    for (iterator a = begin(), b = o.begin(), e = end(); a != e; ++a, ++b) {
        const TShapeView x = *a, y = *b;
        if (x.high != y.high || x.visSide.size() != y.visSide.size() || x.comSide.size() != y.comSide.size() ||
            !std::equal(x.shape.begin(), x.shape.end(), y.shape.begin(), y.shape.end()))
            return false;
        for (std::size_t i = 0; i < x.visSide.size(); ++i)
            if (x.visSide[i] != y.visSide[i]) return false;
        for (std::size_t i = 0; i < x.comSide.size(); ++i)
            if (x.comSide[i] != y.comSide[i]) return false;
    }
    return true;
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
