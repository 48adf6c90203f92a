#include "ZipWriter.h"

#include "CityWriter.h"
#include "ZipFile.h"

#include <stdexcept>
#include <zlib.h>

namespace {

void U16(QByteArray& b, std::uint32_t v) {
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}
void U32(QByteArray& b, std::uint32_t v) {
    U16(b, v & 0xFFFF);
    U16(b, v >> 16);
}

bool IsAscii(const QString& s) {
    for (QChar c : s)
        if (c.unicode() > 0x7F) return false;
    return true;
}

} // namespace

QByteArray DeflateRaw(const QByteArray& data) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("zlib: deflateInit2 failed");
    QByteArray out(qsizetype(deflateBound(&z, uLong(data.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int rc = deflate(&z, Z_FINISH);
    const auto written = qsizetype(z.total_out);
    deflateEnd(&z);
    if (rc != Z_STREAM_END) throw std::runtime_error("zlib: deflate failed");
    out.truncate(written);
    return out;
}

void ZipWriter::Add(const QString& name, const QByteArray& data, Method method) {
    AddPacked(name, method == Deflate ? DeflateRaw(data) : data, ZipCrc32(data), std::uint32_t(data.size()),
              method);
}

void ZipWriter::AddSymlink(const QString& name, const QByteArray& target) {
    Add(name, target, Stored);
    entries_.back().unixMode = 0120777;
}

void ZipWriter::AddPacked(const QString& name, const QByteArray& packed, std::uint32_t crc,
                          std::uint32_t size, Method method) {
    Entry e;
    e.utf8 = !IsAscii(name);
    e.name = name.toUtf8();
    e.packed = packed;
    e.crc = crc;
    e.size = size;
    e.method = method;
    entries_.push_back(std::move(e));
}

QByteArray ZipWriter::Build() const {
    QByteArray out, central;
    constexpr std::uint32_t DosTimeDate =
        (0u << 11 | 0u << 5) | ((46u << 9 | 1u << 5 | 1u) << 16); // 01.01.2026
    for (const Entry& e : entries_) {
        const QByteArray& packed = e.packed;
        const std::uint32_t flags = e.utf8 ? 1u << 11 : 0u;
        const std::uint32_t offset = std::uint32_t(out.size());
        auto common = [&](QByteArray& b) {
            U16(b, 20);
            U16(b, flags);
            U16(b, e.method);
            U32(b, DosTimeDate);
            U32(b, e.crc);
            U32(b, std::uint32_t(packed.size()));
            U32(b, e.size);
            U16(b, std::uint32_t(e.name.size()));
            U16(b, 0);
        };
        U32(out, 0x04034B50);
        common(out);
        out.append(e.name);
        out.append(packed);

        U32(central, 0x02014B50);
        U16(central, e.unixMode ? (3u << 8 | 20u) : 20u);
        common(central);
        U16(central, 0); // comment length
        U16(central, 0); // disk
        U16(central, 0); // internal attributes
        U32(central, e.unixMode << 16);
        U32(central, offset);
        central.append(e.name);
    }
    const std::uint32_t centralOffset = std::uint32_t(out.size());
    out.append(central);
    U32(out, 0x06054B50);
    U16(out, 0);
    U16(out, 0);
    U16(out, std::uint32_t(entries_.size()));
    U16(out, std::uint32_t(entries_.size()));
    U32(out, std::uint32_t(central.size()));
    U32(out, centralOffset);
    U16(out, 0);
    return out;
}

QString ZipWriter::Write(const QString& path) const {
    return WriteFileAtomically(path, Build());
}
