// Map objects of a city: streets, buildings, the building index, areas, road segments, stops, routes,
// text labels and points of interest, with the boxes and colours they carry.
#pragma once

#include "ByteReader.h"
#include "ColorScheme.h"
#include "SharedValue.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <span>
#include <vector>

using Tas = QStringList; // one string per data language
using Tai = std::vector<std::int32_t>;

struct TCoord {
    float x = 0, y = 0;
    bool operator==(const TCoord&) const = default;
};
using TShapeFis = std::vector<TCoord>;

// Value names as the data files number them (from 0); any stored byte is a valid value.
enum TRoadType : std::uint8_t { rtAuto, rtHuman, rtTram, rtIron, rtBridge, rtWall, rtWater };
enum TBusStopType : std::uint8_t { bstAuto, bstTram, bstRail, bstMetro };
enum TTranspType : std::uint8_t { ttBus, ttTramway, ttTrolleybus, ttMetro, ttTaxi };
enum TBuildingMaterial : std::uint8_t {
    bmUnknown,
    bmKirpich,
    bmPanel,
    bmDerevo,
    bmKamen,
    bmShlak,
    bmMonolit
};
enum TPOIType : std::uint8_t { ptSport, ptChildren, ptTrash, ptToilet, ptMemorial, ptFontan, ptAttr };
enum TObjType : std::uint8_t {
    otBuild,
    otRoad,
    otField,
    otTitle,
    otBusStop,
    otTransport,
    otNone,
    otStreet,
    otPOI
};

// Display name of a point-of-interest kind (Russian only); empty for an unknown kind.
QString POITypeName(TPOIType tip);

// Start values of a box: nothing inside yet.
constexpr float BoxMinStart = 1.0e9f;
constexpr float BoxMaxStart = -1.0e9f;

struct TCommonObj {
    TColor color = 0;       // drawn in now
    TColor NormalColor = 0; // when not found
    TColor FoundColor = 0;  // when found by a search
    bool IsFound = false;
    float minX_ = BoxMinStart, maxX_ = BoxMaxStart, minY_ = BoxMinStart, maxY_ = BoxMaxStart;
    // The box widened by building heights for the oblique view.
    float maxX_3d = BoxMaxStart, minY_3d = BoxMinStart;

    void Widen(float x, float y) {
        if (x < minX_) minX_ = x;
        if (x > maxX_) maxX_ = x;
        if (y < minY_) minY_ = y;
        if (y > maxY_) maxY_ = y;
    }
    void FlatBox3D() {
        maxX_3d = maxX_;
        minY_3d = minY_;
    }
    bool operator==(const TCommonObj&) const = default;
};

// One flag per side of a shape. Most shapes have few sides, so up to 64 flags live inline
// instead of costing a heap block per shape. The class is kept at 4-byte alignment (12 bytes)
// so that a building shape with its two sets of flags takes 56 bytes instead of 64.
class TSideFlags {
public:
    TSideFlags() = default;
    explicit TSideFlags(std::size_t n) { resize(n); }
    TSideFlags(const TSideFlags& o);
    TSideFlags(TSideFlags&& o) noexcept : size_(o.size_) {
        std::memcpy(bits_, o.bits_, sizeof bits_);
        o.size_ = 0;
    }
    TSideFlags& operator=(TSideFlags o) noexcept {
        swap(o);
        return *this;
    }
    ~TSideFlags() { release(); }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    bool operator[](std::size_t i) const {
        const std::uint64_t w = inlineBits() ? word() : heap()[i >> 6];
        return (w >> (i & 63)) & 1u;
    }
    void set(std::size_t i, bool v) {
        const std::uint64_t bit = std::uint64_t(1) << (i & 63);
        if (inlineBits()) {
            setWord(v ? (word() | bit) : (word() & ~bit));
        } else {
            std::uint64_t& w = heap()[i >> 6];
            w = v ? (w | bit) : (w & ~bit);
        }
    }
    // Sets the count of flags; every flag becomes false.
    void resize(std::size_t n);
    bool any() const;
    bool operator==(const TSideFlags& o) const;
    void swap(TSideFlags& o) noexcept {
        std::swap(size_, o.size_);
        std::swap(bits_, o.bits_);
    }

private:
    bool inlineBits() const { return size_ <= 64; }
    // The inline word or the heap pointer, kept in two 32-bit halves and read through memcpy.
    std::uint64_t word() const {
        std::uint64_t w;
        std::memcpy(&w, bits_, sizeof w);
        return w;
    }
    void setWord(std::uint64_t w) { std::memcpy(bits_, &w, sizeof w); }
    std::uint64_t* heap() const {
        std::uint64_t* p;
        std::memcpy(&p, bits_, sizeof p);
        return p;
    }
    void setHeap(std::uint64_t* p) { std::memcpy(bits_, &p, sizeof p); }
    std::size_t wordCount() const { return (size_ + 63) / 64; }
    void release() {
        if (!inlineBits()) delete[] heap();
    }

    std::uint32_t size_ = 0;
    std::uint32_t bits_[2] = {0, 0};
};
static_assert(sizeof(std::uint64_t*) == sizeof(std::uint64_t));

struct TObjShape {
    TShapeFis shape;    // the outline
    TSideFlags visSide; // the wall from point i to the next is drawn
    TSideFlags comSide; // the wall from point i to the next is shared with another shape of the same height
    std::uint8_t high = 0; // height in metres
    bool operator==(const TObjShape&) const = default;
};
static_assert(sizeof(TObjShape) <= 56, "a building shape stays small: a million buildings carry them");

// Read-only side flags of a packed shape: one bit per side.
class TSideBits {
public:
    TSideBits() = default;
    TSideBits(const std::uint8_t* bits, std::size_t n) : bits_(bits), size_(n) {}
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    bool operator[](std::size_t i) const { return (bits_[i >> 3] >> (i & 7)) & 1u; }
    bool any() const;

private:
    const std::uint8_t* bits_ = nullptr;
    std::size_t size_ = 0;
};

// Iterators that hand out values made as they are read (decoded points, shape views).
template <class V> struct TValueIterator {
    using iterator_category = std::input_iterator_tag;
    using value_type = V;
    using reference = V;
    using pointer = void;
    using difference_type = std::ptrdiff_t;
};

// The outline of a packed shape, read point by point. Most outlines are kept as centimetres: the first
// point whole and the others as 16-bit offsets from it (half the bytes); the rest as plain floats.
class TPoints {
public:
    TPoints() = default;
    TPoints(const std::byte* data, std::size_t n, bool centimetres) : data_(data), size_(n), cm_(centimetres) {}
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    TCoord operator[](std::size_t i) const { return At(data_, cm_, i); }

    class iterator : public TValueIterator<TCoord> {
    public:
        iterator() = default;
        iterator(const std::byte* data, bool cm, std::size_t i) : data_(data), i_(i), cm_(cm) {}
        TCoord operator*() const { return At(data_, cm_, i_); }
        iterator& operator++() {
            ++i_;
            return *this;
        }
        iterator operator++(int) {
            iterator t = *this;
            ++i_;
            return t;
        }
        bool operator==(const iterator& o) const { return i_ == o.i_; }

    private:
        const std::byte* data_ = nullptr;
        std::size_t i_ = 0;
        bool cm_ = false;
    };
    iterator begin() const { return {data_, cm_, 0}; }
    iterator end() const { return {data_, cm_, size_}; }

    // Bytes an outline of `n` points takes in either form.
    static std::size_t Bytes(std::size_t n, bool centimetres) {
        return centimetres ? (n ? 8 + 4 * (n - 1) : 0) : 8 * n;
    }

private:
    static TCoord At(const std::byte* data, bool cm, std::size_t i) {
        if (!cm) {
            TCoord c;
            std::memcpy(&c, data + 8 * i, sizeof c);
            return c;
        }
        std::int32_t base[2];
        std::memcpy(base, data, sizeof base);
        if (i == 0) return {CoordFromStored(base[0]), CoordFromStored(base[1])};
        std::int16_t d[2];
        std::memcpy(d, data + 8 + 4 * (i - 1), sizeof d);
        return {CoordFromStored(base[0] + d[0]), CoordFromStored(base[1] + d[1])};
    }

    const std::byte* data_ = nullptr;
    std::size_t size_ = 0;
    bool cm_ = false;
};

// One shape of a building as it is kept: a view into the building's block.
struct TShapeView {
    TPoints shape;
    TSideBits visSide;
    TSideBits comSide;
    std::uint8_t high = 0;
    TObjShape unpack() const;
};

// The shapes of a building in one heap block: a million buildings would otherwise carry two or three
// blocks each (the list, every outline and its flags). Built from TObjShape values, read as views.
// Layout: the shape count, then a head per shape, every outline's points, and the flag bits.
class TShapeList {
    // The first head holds the shape count in `points`; shape i has head i + 1.
    struct Head {
        std::uint16_t points = 0, vis = 0, com = 0;
        std::uint8_t high = 0;
        std::uint8_t centimetres = 0; // the outline's form (see TPoints)
    };
    static_assert(sizeof(Head) == 8);

public:
    TShapeList() = default;
    TShapeList(std::span<const TObjShape> shapes) { assign(shapes); }
    TShapeList(const std::vector<TObjShape>& shapes) : TShapeList(std::span<const TObjShape>(shapes)) {}
    TShapeList(std::initializer_list<TObjShape> shapes)
        : TShapeList(std::span<const TObjShape>(shapes.begin(), shapes.size())) {}
    TShapeList(const TShapeList& o);
    TShapeList(TShapeList&& o) noexcept : block_(o.block_) { o.block_ = nullptr; }
    TShapeList& operator=(TShapeList o) noexcept {
        std::swap(block_, o.block_);
        return *this;
    }
    ~TShapeList() { delete[] block_; }

    void assign(std::span<const TObjShape> shapes);
    void push_back(const TObjShape& shape);
    std::vector<TObjShape> unpack() const;

    std::size_t size() const { return block_ ? reinterpret_cast<const Head*>(block_)->points : 0; }
    bool empty() const { return size() == 0; }

    class iterator : public TValueIterator<TShapeView> {
    public:
        iterator() = default;
        TShapeView operator*() const;
        iterator& operator++() {
            points_ += TPoints::Bytes(head_->points, head_->centimetres);
            bits_ += (head_->vis + 7) / 8 + (head_->com + 7) / 8;
            ++head_;
            return *this;
        }
        iterator operator++(int) {
            iterator t = *this;
            ++*this;
            return t;
        }
        bool operator==(const iterator& o) const { return head_ == o.head_; }

    private:
        friend class TShapeList;
        const Head* head_ = nullptr;
        const std::byte* points_ = nullptr;
        const std::uint8_t* bits_ = nullptr;
    };
    iterator begin() const;
    iterator end() const;
    TShapeView operator[](std::size_t i) const;

    bool operator==(const TShapeList& o) const;

private:
    std::byte* block_ = nullptr;
};

struct TStreet : TCommonObj {
    Tas Name;
    bool Visible = false;
    TShapeFis shape;
    float width = 3;
    bool operator==(const TStreet&) const = default;
};

// A million of these make a metropolis: every field is kept small (texts are shared handles).
struct TBuilding : TCommonObj {
    TShapeList shapes;
    std::uint8_t levels = 0;
    std::uint8_t ShapeWithNum = 0; // the shape the house number is drawn on
    std::uint8_t tip = 0;          // building type
    TBuildingMaterial material = bmUnknown;
    std::int32_t street = -1; // position in Streets, -1 none
    std::int32_t id = 0;
    float x = 0, y = 0; // label point
    TSharedText index;  // postal index
    TSharedTas num;     // house number
    TSharedTas caption;
    bool operator==(const TBuilding&) const = default;
};
static_assert(sizeof(TBuilding) <= 96, "a building stays small: a metropolis has a million");

// Lookup of buildings by street and number; stored by descending street.
struct TBuildIndex {
    std::int32_t s = 0;   // street position
    std::int32_t ind = 0; // position in Buildings
    TSharedText n;        // house number, at most 13 characters of the 8-bit code page
    bool operator==(const TBuildIndex&) const = default;
};
constexpr int BuildIndexNumLength = 13;

struct TField : TCommonObj {
    TShapeFis shape;
    std::uint8_t typ = 0; // kind of area; 9 = city district
    Tas caption;
    bool operator==(const TField&) const = default;
};
constexpr std::uint8_t DistrictFieldType = 9;

struct TRoad : TCommonObj {
    std::array<TCoord, 2> point{};
    float width = 0;
    std::uint8_t layer = 0;
    TRoadType tip = rtAuto;
    bool operator==(const TRoad&) const = default;
};

struct TBusStop : TCommonObj {
    float x = 0, y = 0;
    std::int32_t id_ = 0;
    Tas caption;
    std::uint8_t Radius = 6;
    TBusStopType tip = bstAuto;
    bool operator==(const TBusStop&) const = default;
};

struct TWayPoint {
    std::uint8_t typ = 0;  // 0 = free point, other = a stop
    float x = 0, y = 0;    // free points only
    std::uint16_t ids = 0; // the stop's id_ for stop points
    bool operator==(const TWayPoint&) const = default;
};
using TWay = std::vector<TWayPoint>;

struct TBusWay : TCommonObj {
    TWay way;
    Tas num; // route number
    TTranspType tip = ttBus;
    bool Visible = false;
    TColor MetroColor = 0;
    bool operator==(const TBusWay&) const = default;
};

struct TText : TCommonObj {
    Tas Text;
    float x = 0, y = 0;
    std::uint16_t angle = 0; // tenths of a degree, counter-clockwise
    std::uint16_t size = 0;  // font size
    std::uint8_t layer = 0;
    bool operator==(const TText&) const = default;
};

struct TPOI : TCommonObj {
    float x = 0, y = 0;
    TPOIType tip = ptSport;
    QString caption; // one language
    bool operator==(const TPOI&) const = default;
};
