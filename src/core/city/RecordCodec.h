// Helpers shared by the record decoders of the directory and map sections: count checks, raw
// little-endian loads from an already checked block, and a cache that lets repeated texts share storage.
#pragma once

#include "ByteReader.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

inline std::uint16_t LeU16(const char* p) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v; // the file is little-endian, as is every platform the program targets
}
inline std::int32_t LeI32(const char* p) {
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline float LeCoord(const char* p) {
    return CoordFromStored(LeI32(p));
}

// A count read from the file, checked against what is left of the section: each item takes at least
// `minBytes`, so a damaged count fails here instead of sizing a huge collection.
inline std::int64_t CheckCount(ByteReader& r, std::int64_t n, std::int64_t minBytes, const char* what) {
    if (n < 0 || n * minBytes > r.remaining())
        r.fail(QStringLiteral("%1 %2 do not fit in the %3 bytes left of the section")
                   .arg(n)
                   .arg(QLatin1String(what))
                   .arg(r.remaining()));
    return n;
}

// A reference stored at section position `at` into a table of `size` entries: true when it is one of
// them. Otherwise it is dropped (the caller leaves the field at its "none") and a warning says where.
inline bool InTable(const ByteReader& r, CityLoadWarnings& warnings, std::int64_t at, std::int64_t i,
                    std::int64_t size, const char* what) {
    if (i >= 0 && i < size) [[likely]]
        return true;
    warnings.add(r.warning(
        at,
        QStringLiteral("%1 %2 is outside the %3 stored; dropped").arg(QLatin1String(what)).arg(i).arg(size)));
    return false;
}

// Texts that repeat across records (house numbers, postal indexes, empty language sets) decoded once
// and shared by every record holding the same stored bytes.
class TextCache {
public:
    // One String, passed through `convert` when given (the cache keeps the converted text).
    TSharedText str(ByteReader& r, QString (*convert)(const QString&) = nullptr) {
        const QByteArrayView raw = skipStrings(r, 1);
        auto it = strings_.find(key(raw));
        if (it != strings_.end()) return it->second;
        QString s = QString::fromUtf8(raw.data() + 2, raw.size() - 2);
        if (convert) s = convert(s);
        return strings_.emplace(std::string(key(raw)), TSharedText(std::move(s))).first->second;
    }
    // `count` Strings; `filled` replaces an empty entry after the first by the first.
    TSharedTas langSet(ByteReader& r, int count, bool filled) {
        const QByteArrayView raw = skipStrings(r, count);
        auto& map = filled ? filledSets_ : sets_;
        auto it = map.find(key(raw));
        if (it != map.end()) return it->second;
        QStringList out;
        out.reserve(count);
        const char* p = raw.data();
        for (int i = 0; i < count; ++i) {
            const std::uint16_t n = LeU16(p);
            QString s = QString::fromUtf8(p + 2, n);
            p += 2 + n;
            if (filled && i > 0 && s.isEmpty()) s = out.front();
            out.append(std::move(s));
        }
        return map.emplace(std::string(key(raw)), TSharedTas(std::move(out))).first->second;
    }

    // `count` bytes of small codes.
    TSharedBytes bytes(ByteReader& r, int count) {
        const QByteArrayView raw = r.bytes(count);
        auto it = bytes_.find(key(raw));
        if (it != bytes_.end()) return it->second;
        return bytes_.emplace(std::string(key(raw)), TSharedBytes(std::vector<std::uint8_t>(raw.begin(), raw.end())))
            .first->second;
    }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    using Map = std::unordered_map<std::string, TSharedText, Hash, std::equal_to<>>;
    using SetMap = std::unordered_map<std::string, TSharedTas, Hash, std::equal_to<>>;
    using BytesMap = std::unordered_map<std::string, TSharedBytes, Hash, std::equal_to<>>;

    static std::string_view key(QByteArrayView raw) { return {raw.data(), std::size_t(raw.size())}; }
    // The stored bytes of `count` Strings, length prefixes included; the reader moves past them.
    static QByteArrayView skipStrings(ByteReader& r, int count) {
        const QByteArrayView rest = r.rest();
        const std::int64_t start = r.pos();
        for (int i = 0; i < count; ++i)
            r.skip(r.u16());
        return rest.first(r.pos() - start);
    }

    Map strings_;
    SetMap sets_, filledSets_;
    BytesMap bytes_;
};
