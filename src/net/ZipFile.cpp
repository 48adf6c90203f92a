#include "ZipFile.h"

#include "Cp1251.h"

#include <QFile>
#include <QIODevice>
#include <QStringDecoder>
#include <zlib.h>

namespace {

constexpr std::uint32_t LocalSignature = 0x04034B50;
constexpr std::uint32_t CentralSignature = 0x02014B50;
constexpr std::uint32_t EndSignature = 0x06054B50;

// DEFLATE cannot expand data more than about 1032 times; larger declared sizes cannot come out.
constexpr std::uint64_t MaxInflateRatio = 1032;

// A cursor over the archive bytes that refuses to move past their end.
class Cursor {
public:
    explicit Cursor(const QByteArray& bytes) : bytes_(bytes) {}
    bool has(std::uint64_t n) const { return n <= std::uint64_t(bytes_.size() - pos_); }
    std::uint16_t u16() {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes_.constData() + pos_);
        pos_ += 2;
        return std::uint16_t(p[0] | p[1] << 8);
    }
    std::uint32_t u32() {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes_.constData() + pos_);
        pos_ += 4;
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
               std::uint32_t(p[3]) << 24;
    }
    QByteArray take(std::uint32_t n) {
        QByteArray copy(bytes_.constData() + pos_, qsizetype(n));
        pos_ += qsizetype(n);
        return copy;
    }
    // The bytes stay in the archive buffer, which the TZipFile keeps alive.
    QByteArray view(std::uint32_t n) {
        QByteArray v = QByteArray::fromRawData(bytes_.constData() + pos_, qsizetype(n));
        pos_ += qsizetype(n);
        return v;
    }
    // Reads a word if four bytes remain.
    bool word(std::uint32_t& w) {
        if (!has(4)) return false;
        w = u32();
        return true;
    }

private:
    const QByteArray& bytes_;
    qsizetype pos_ = 0;
};

constexpr int CommonHeaderSize = 26;

TCommonFileHeader ReadCommon(Cursor& c) {
    TCommonFileHeader h;
    h.VersionNeededToExtract = c.u16();
    h.GeneralPurposeBitFlag = c.u16();
    h.CompressionMethod = c.u16();
    h.LastModFileTimeDate = c.u32();
    h.Crc32 = c.u32();
    h.CompressedSize = c.u32();
    h.UncompressedSize = c.u32();
    h.FilenameLength = c.u16();
    h.ExtraFieldLength = c.u16();
    return h;
}

} // namespace

std::uint32_t ZipCrc32(const QByteArray& bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    const auto* p = reinterpret_cast<const Bytef*>(bytes.constData());
    qsizetype left = bytes.size();
    while (left > 0) {
        const uInt n = uInt(std::min<qsizetype>(left, 1 << 30));
        crc = crc32(crc, p, n);
        p += n;
        left -= n;
    }
    return std::uint32_t(crc);
}

void TZipFile::LoadFromFile(const QString& fileName) {
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw EZipFileError(QStringLiteral("Cannot open \"%1\": %2").arg(fileName, f.errorString()));
    LoadFromStream(f);
}

void TZipFile::LoadFromStream(QIODevice& stream) {
    LoadFromBytes(stream.readAll());
}

void TZipFile::LoadFromBytes(const QByteArray& bytes) {
    buffer_ = bytes;
    Files.clear();
    CentralDirectory.clear();
    EndOfCentralDirectory = {};
    ZipFileComment.clear();

    Cursor c(buffer_);
    std::uint32_t w = 0;
    // The first local header is looked for in steps of whole words from the start.
    for (;;) {
        if (!c.word(w)) return;
        if (w == LocalSignature) break;
    }

    while (w == LocalSignature) {
        TLocalFile f;
        f.LocalFileHeaderSignature = w;
        if (!c.has(CommonHeaderSize)) {
            f.truncated = true;
            Files.push_back(f);
            return;
        }
        f.CommonFileHeader = ReadCommon(c);
        const auto& h = f.CommonFileHeader;
        if (!c.has(std::uint64_t(h.FilenameLength) + h.ExtraFieldLength + h.CompressedSize)) {
            // A record whose sizes run past the end keeps its name (when that fits) for the error.
            if (c.has(h.FilenameLength)) f.filename = c.take(h.FilenameLength);
            f.truncated = true;
            Files.push_back(f);
            return;
        }
        f.filename = c.take(h.FilenameLength);
        f.extrafield = c.take(h.ExtraFieldLength);
        f.CompressedData = c.view(h.CompressedSize);
        Files.push_back(f);
        if (!c.word(w)) return;
    }

    // The central directory has as many slots as there are local entries; surplus records are not read.
    while (w == CentralSignature && CentralDirectory.size() < Files.size()) {
        constexpr int FixedSize = 2 + CommonHeaderSize + 2 + 2 + 2 + 4 + 4;
        if (!c.has(FixedSize)) return;
        TFileHeader d;
        d.CentralFileHeaderSignature = w;
        d.VersionMadeBy = c.u16();
        d.CommonFileHeader = ReadCommon(c);
        d.FileCommentLength = c.u16();
        d.DiskNumberStart = c.u16();
        d.InternalFileAttributes = c.u16();
        d.ExternalFileAttributes = c.u32();
        d.RelativeOffsetOfLocalHeader = c.u32();
        const auto& h = d.CommonFileHeader;
        if (!c.has(std::uint64_t(h.FilenameLength) + h.ExtraFieldLength + d.FileCommentLength)) return;
        d.filename = c.take(h.FilenameLength);
        d.extrafield = c.take(h.ExtraFieldLength);
        d.fileComment = c.take(d.FileCommentLength);
        CentralDirectory.push_back(d);
        if (!c.word(w)) return;
    }

    if (w == EndSignature) {
        if (!c.has(18)) return;
        auto& e = EndOfCentralDirectory;
        e.EndOfCentralDirSignature = w;
        e.NumberOfThisDisk = c.u16();
        e.NumberOfTheDiskWithTheStart = c.u16();
        e.TotalNumberOfEntriesOnThisDisk = c.u16();
        e.TotalNumberOfEntries = c.u16();
        e.SizeOfTheCentralDirectory = c.u32();
        e.OffsetOfStartOfCentralDirectory = c.u32();
        e.ZipfileCommentLength = c.u16();
        if (c.has(e.ZipfileCommentLength)) ZipFileComment = c.take(e.ZipfileCommentLength);
    }
}

QByteArray TZipFile::EntryName(int i) const {
    if (i < 0 || i >= EntryCount()) throw EZipFileError(QStringLiteral("Index out of range."));
    return Files[i].filename;
}

QString TZipFile::EntryFileName(int i) const {
    const QByteArray name = EntryName(i);
    constexpr std::uint16_t Utf8NameFlag = 1 << 11;
    if (Files[i].CommonFileHeader.GeneralPurposeBitFlag & Utf8NameFlag) return QString::fromUtf8(name);
    // Info-ZIP keeps a UTF-8 copy of the name in extra field 0x7075, valid while its checksum matches.
    const QByteArray& extra = Files[i].extrafield;
    for (qsizetype at = 0; at + 4 <= extra.size();) {
        const auto* p = reinterpret_cast<const unsigned char*>(extra.constData() + at);
        const int id = p[0] | p[1] << 8, size = p[2] | p[3] << 8;
        if (at + 4 + size > extra.size()) break;
        if (id == 0x7075 && size >= 5 && p[4] == 1) {
            const std::uint32_t crc = std::uint32_t(p[5]) | std::uint32_t(p[6]) << 8 |
                                      std::uint32_t(p[7]) << 16 | std::uint32_t(p[8]) << 24;
            if (crc == ZipCrc32(name)) return QString::fromUtf8(extra.constData() + at + 9, size - 5);
        }
        at += 4 + size;
    }
    // Unflagged names are in the writer's code page: UTF-8 from today's tools (Windows-1251 letters
    // practically never form valid UTF-8), else the Windows-1251 of the system the archives come from.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(name);
    if (!utf8.hasError()) return decoded;
    return FromCp1251(name);
}

QByteArray TZipFile::EntryData(int i) const {
    if (i < 0 || i >= EntryCount()) throw EZipFileError(QStringLiteral("Index out of range."));
    const TLocalFile& f = Files[i];
    const auto& h = f.CommonFileHeader;
    if (f.truncated)
        throw EZipFileError(
            QStringLiteral("Entry \"%1\" is cut short: its sizes run past the end of the archive.")
                .arg(EntryFileName(i)));

    QByteArray out;
    const std::uint64_t wanted = h.UncompressedSize;
    // Exactly UncompressedSize bytes are taken out; a stream that gives fewer leaves the result empty.
    if (wanted > 0 && wanted <= std::uint64_t(h.CompressedSize) * MaxInflateRatio + 64) {
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw EZipFileError(QStringLiteral("zlib: out of memory"));
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(f.CompressedData.constData()));
        z.avail_in = uInt(f.CompressedData.size());
        qsizetype produced = 0;
        int rc = Z_OK;
        while (std::uint64_t(produced) < wanted) {
            if (produced == out.size())
                out.resize(qsizetype(
                    std::min<std::uint64_t>(wanted, std::max<std::uint64_t>(64 * 1024, 2 * out.size()))));
            z.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
            z.avail_out = uInt(out.size() - produced);
            rc = inflate(&z, Z_NO_FLUSH);
            produced = out.size() - z.avail_out;
            if (rc != Z_OK) break;
        }
        const QString message = z.msg ? QString::fromLatin1(z.msg) : QString();
        inflateEnd(&z);
        if (rc == Z_DATA_ERROR || rc == Z_MEM_ERROR || rc == Z_NEED_DICT || rc == Z_STREAM_ERROR)
            throw EZipFileError(
                QStringLiteral("Decompression error in \"%1\": %2")
                    .arg(EntryFileName(i), message.isEmpty() ? QStringLiteral("invalid data") : message));
        if (std::uint64_t(produced) < wanted) out.clear();
    }
    if (ZipCrc32(out) != h.Crc32)
        throw EZipFileCRCError(QStringLiteral("CRC Error in \"%1\".").arg(EntryFileName(i)));
    return out;
}

bool IsSafeRelativePath(const QString& name) {
    if (name.isEmpty() || name.contains(QChar(0))) return false;
    QString n = name;
    n.replace('\\', '/');
    if (n.startsWith('/')) return false;
    // "C:", "C:foo" and alternate streams all carry a colon; none belongs in a stored name.
    if (n.contains(':')) return false;
    const QStringList parts = n.split('/');
    for (const QString& part : parts)
        if (part == "..") return false;
    return true;
}
