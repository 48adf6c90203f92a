#include "ZipFile.h"

#include "Cp1251.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QStringDecoder>
#include <algorithm>
#include <zlib.h>

namespace {

constexpr std::uint32_t LocalSignature = 0x04034B50;
constexpr std::uint32_t CentralSignature = 0x02014B50;
constexpr std::uint32_t EndSignature = 0x06054B50;
constexpr std::uint32_t Zip64EndSignature = 0x06064B50;
constexpr std::uint32_t Zip64LocatorSignature = 0x07064B50;
constexpr std::uint32_t DescriptorSignature = 0x08074B50;

constexpr int LocalHeaderSize = 30;
constexpr int CentralHeaderSize = 46;
constexpr int EndSize = 22;
constexpr int Zip64LocatorSize = 20;
constexpr int Zip64EndSize = 56;

constexpr std::uint16_t EncryptedFlag = 1 << 0;
constexpr std::uint16_t DescriptorFlag = 1 << 3;
constexpr std::uint16_t StrongEncryptionFlag = 1 << 6;
constexpr std::uint16_t Utf8NameFlag = 1 << 11;

constexpr std::uint16_t Stored = 0;
constexpr std::uint16_t Deflated = 8;

// DEFLATE cannot expand data more than about 1032 times; a larger declared size cannot come out.
constexpr std::uint64_t MaxInflateRatio = 1032;

constexpr qint64 ChunkSize = 64 * 1024;

std::uint16_t U16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return std::uint16_t(u[0] | u[1] << 8);
}
std::uint32_t U32(const char* p) {
    return std::uint32_t(U16(p)) | std::uint32_t(U16(p + 2)) << 16;
}
std::uint64_t U64(const char* p) {
    return std::uint64_t(U32(p)) | std::uint64_t(U32(p + 4)) << 32;
}

TCommonFileHeader ReadCommon(const char* p) {
    TCommonFileHeader h;
    h.VersionNeededToExtract = U16(p);
    h.GeneralPurposeBitFlag = U16(p + 2);
    h.CompressionMethod = U16(p + 4);
    h.LastModFileTimeDate = U32(p + 6);
    h.Crc32 = U32(p + 10);
    h.CompressedSize = U32(p + 14);
    h.UncompressedSize = U32(p + 18);
    h.FilenameLength = U16(p + 22);
    h.ExtraFieldLength = U16(p + 24);
    return h;
}

// The data of extra field `id`, or a null array.
QByteArray ExtraField(const QByteArray& extra, int id) {
    for (qsizetype at = 0; at + 4 <= extra.size();) {
        const int fieldId = U16(extra.constData() + at), size = U16(extra.constData() + at + 2);
        if (at + 4 + size > extra.size()) break;
        if (fieldId == id) return extra.mid(at + 4, size);
        at += 4 + size;
    }
    return QByteArray();
}

constexpr std::uint32_t UnixHost = 3;
constexpr std::uint32_t UnixTypeMask = 0170000, UnixFolder = 0040000, UnixFile = 0100000, UnixLink = 0120000,
                        UnixPipe = 0010000;

std::uint32_t UnixMode(const TFileHeader& h) {
    return (h.VersionMadeBy >> 8) == UnixHost ? h.ExternalFileAttributes >> 16 : 0;
}

} // namespace

bool TZipEntry::IsFolder() const {
    return Header.filename.endsWith('/') || (UnixMode(Header) & UnixTypeMask) == UnixFolder;
}

bool TZipEntry::IsSymlink() const {
    return (UnixMode(Header) & UnixTypeMask) == UnixLink;
}

bool TZipEntry::IsSpecial() const {
    const std::uint32_t type = UnixMode(Header) & UnixTypeMask;
    // Info-ZIP reading a pipe ("cat f | zip - -") stores the pipe's type: the entry holds that data.
    return type != 0 && type != UnixFile && type != UnixFolder && type != UnixPipe;
}

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

TZipFile::TZipFile() = default;
TZipFile::~TZipFile() = default;

void TZipFile::LoadFromFile(const QString& fileName) {
    auto f = std::make_unique<QFile>(fileName);
    if (!f->open(QIODevice::ReadOnly))
        throw EZipFileError(QStringLiteral("Cannot open \"%1\": %2").arg(fileName, f->errorString()));
    bytes_.clear();
    Load(std::move(f), QFileInfo(fileName).fileName());
}

void TZipFile::LoadFromStream(QIODevice& stream) {
    const QByteArray bytes = stream.read(MaxStreamSize + 1);
    if (bytes.size() > MaxStreamSize)
        throw EZipFileError(QStringLiteral("The archive is larger than %1 MB").arg(MaxStreamSize >> 20));
    LoadFromBytes(bytes);
}

void TZipFile::LoadFromBytes(const QByteArray& bytes) {
    bytes_ = bytes;
    auto buffer = std::make_unique<QBuffer>(&bytes_);
    buffer->open(QIODevice::ReadOnly);
    Load(std::move(buffer), QString());
}

void TZipFile::ReadRange(std::uint64_t at, char* to, qint64 size) const {
    if (at > size_ || std::uint64_t(size) > size_ - at || !device_->seek(qint64(at)) ||
        device_->read(to, size) != size)
        throw EZipFileError(QStringLiteral("The archive is cut short"));
}

EZipFileError TZipFile::Damaged(const QString& why) const {
    return EZipFileError(QStringLiteral("%1 is damaged: %2").arg(named_, why));
}

QByteArray TZipFile::Read(std::uint64_t at, qint64 n) const {
    QByteArray b(n, Qt::Uninitialized);
    try {
        ReadRange(at, b.data(), n);
    } catch (const EZipFileError&) {
        throw Damaged(QStringLiteral("it is cut short"));
    }
    return b;
}

void TZipFile::Load(std::unique_ptr<QIODevice> device, const QString& label) {
    Entries.clear();
    EndOfCentralDirectory = {};
    ZipFileComment.clear();
    device_ = std::move(device);
    size_ = std::uint64_t(std::max<qint64>(0, device_->size()));
    named_ =
        label.isEmpty() ? QStringLiteral("The archive") : QStringLiteral("The archive \"%1\"").arg(label);
    const Extent directory = ReadEnd();
    ReadDirectory(directory);
    LocateData(directory.Offset);
}

TZipFile::Extent TZipFile::ReadEnd() {
    // The end record closes the file; its comment, when there is one, runs exactly to the end.
    const qint64 tailSize = qint64(std::min<std::uint64_t>(size_, EndSize + 0xFFFF));
    const QByteArray tail = Read(size_ - std::uint64_t(tailSize), tailSize);
    qsizetype end = -1;
    for (qsizetype at = tail.size() - EndSize; at >= 0; --at)
        if (U32(tail.constData() + at) == EndSignature &&
            at + EndSize + U16(tail.constData() + at + 20) == tail.size()) {
            end = at;
            break;
        }
    if (end < 0) throw EZipFileError(QStringLiteral("%1 is not a ZIP archive").arg(named_));
    const char* e = tail.constData() + end;
    auto& eocd = EndOfCentralDirectory;
    eocd.NumberOfThisDisk = U16(e + 4);
    eocd.NumberOfTheDiskWithTheStart = U16(e + 6);
    eocd.TotalNumberOfEntriesOnThisDisk = U16(e + 8);
    eocd.TotalNumberOfEntries = U16(e + 10);
    eocd.SizeOfTheCentralDirectory = U32(e + 12);
    eocd.OffsetOfStartOfCentralDirectory = U32(e + 16);
    eocd.ZipfileCommentLength = U16(e + 20);
    ZipFileComment = tail.mid(end + EndSize);
    const std::uint64_t endAt = size_ - std::uint64_t(tailSize) + std::uint64_t(end);

    std::uint64_t entries = eocd.TotalNumberOfEntries, entriesHere = eocd.TotalNumberOfEntriesOnThisDisk,
                  cdSize = eocd.SizeOfTheCentralDirectory, cdOffset = eocd.OffsetOfStartOfCentralDirectory;
    std::uint32_t disk = eocd.NumberOfThisDisk, cdDisk = eocd.NumberOfTheDiskWithTheStart;
    std::uint64_t cdLimit = endAt; // the directory ends before the records that follow it
    if (endAt >= Zip64LocatorSize) {
        const QByteArray locator = Read(endAt - Zip64LocatorSize, Zip64LocatorSize);
        if (U32(locator.constData()) == Zip64LocatorSignature) {
            const std::uint64_t at = U64(locator.constData() + 8);
            if (U32(locator.constData() + 4) != 0 || U32(locator.constData() + 16) > 1)
                throw EZipFileError(QStringLiteral("%1 spans several disks").arg(named_));
            if (at > endAt - Zip64LocatorSize || endAt - Zip64LocatorSize - at < Zip64EndSize)
                throw Damaged(QStringLiteral("its zip64 end record is out of place"));
            const QByteArray z = Read(at, Zip64EndSize);
            if (U32(z.constData()) != Zip64EndSignature)
                throw Damaged(QStringLiteral("its zip64 end record is missing"));
            disk = U32(z.constData() + 16);
            cdDisk = U32(z.constData() + 20);
            entriesHere = U64(z.constData() + 24);
            entries = U64(z.constData() + 32);
            cdSize = U64(z.constData() + 40);
            cdOffset = U64(z.constData() + 48);
            cdLimit = at;
        }
    }
    if (disk != 0 || cdDisk != 0 || entriesHere != entries)
        throw EZipFileError(QStringLiteral("%1 spans several disks").arg(named_));
    if (cdOffset > cdLimit || cdSize > cdLimit - cdOffset)
        throw Damaged(QStringLiteral("its central directory lies outside the file"));
    if (cdSize > MaxCentralDirectorySize || entries > MaxEntries)
        throw EZipFileError(QStringLiteral("%1 holds too many entries").arg(named_));
    if (entries * CentralHeaderSize > cdSize)
        throw Damaged(QStringLiteral("its central directory is shorter than its entries"));
    return {cdOffset, cdSize, entries};
}

void TZipFile::ReadDirectory(const Extent& directory) {
    const QByteArray cd = Read(directory.Offset, qint64(directory.Size));
    const std::uint64_t entries = directory.Entries;
    qsizetype at = 0;
    Entries.reserve(std::size_t(entries));
    for (std::uint64_t k = 0; k < entries; ++k) {
        const char* p = cd.constData() + at;
        if (cd.size() - at < CentralHeaderSize || U32(p) != CentralSignature)
            throw Damaged(QStringLiteral("entry %1 of its central directory is broken").arg(k + 1));
        TZipEntry entry;
        TFileHeader& h = entry.Header;
        h.VersionMadeBy = U16(p + 4);
        h.CommonFileHeader = ReadCommon(p + 6);
        h.FileCommentLength = U16(p + 32);
        h.DiskNumberStart = U16(p + 34);
        h.InternalFileAttributes = U16(p + 36);
        h.ExternalFileAttributes = U32(p + 38);
        h.RelativeOffsetOfLocalHeader = U32(p + 42);
        const auto& c = h.CommonFileHeader;
        const qsizetype variable = qsizetype(c.FilenameLength) + c.ExtraFieldLength + h.FileCommentLength;
        if (cd.size() - at - CentralHeaderSize < variable)
            throw Damaged(QStringLiteral("entry %1 of its central directory is broken").arg(k + 1));
        h.filename = cd.mid(at + CentralHeaderSize, c.FilenameLength);
        h.extrafield = cd.mid(at + CentralHeaderSize + c.FilenameLength, c.ExtraFieldLength);
        at += CentralHeaderSize + variable;

        // Values too large for their field are 0xFFFFFFFF there and follow in the zip64 field, in order.
        const QByteArray zip64 = ExtraField(h.extrafield, 0x0001);
        qsizetype next = 0;
        bool known = true;
        auto wide = [&](std::uint64_t narrow, std::uint64_t marker, int width) -> std::uint64_t {
            if (narrow != marker) return narrow;
            if (next + width > zip64.size()) {
                known = false;
                return 0;
            }
            const std::uint64_t v =
                width == 8 ? U64(zip64.constData() + next) : U32(zip64.constData() + next);
            next += width;
            return v;
        };
        entry.UncompressedSize = wide(c.UncompressedSize, 0xFFFFFFFF, 8);
        entry.CompressedSize = wide(c.CompressedSize, 0xFFFFFFFF, 8);
        entry.LocalHeaderOffset = wide(h.RelativeOffsetOfLocalHeader, 0xFFFFFFFF, 8);
        const std::uint64_t entryDisk = wide(h.DiskNumberStart, 0xFFFF, 4);
        if (!known)
            throw Damaged(QStringLiteral("the sizes of \"%1\" cannot be known").arg(FromCp1251(h.filename)));
        if (entryDisk != 0) throw EZipFileError(QStringLiteral("%1 spans several disks").arg(named_));
        Entries.push_back(std::move(entry));
    }
    if (at != cd.size()) throw Damaged(QStringLiteral("its central directory has bytes of no entry"));
}

// Each entry's local header must agree with the directory; the data lies between it and the
// directory, and no two entries share bytes (overlapping entries are a way to bomb).
void TZipFile::LocateData(std::uint64_t cdOffset) {
    for (int i = 0; i < EntryCount(); ++i) {
        TZipEntry& entry = Entries[std::size_t(i)];
        const auto& c = entry.Header.CommonFileHeader;
        const QString name = EntryFileName(i);
        auto bad = [&](const QString& why) { return Damaged(QStringLiteral("\"%1\" %2").arg(name, why)); };
        if (entry.LocalHeaderOffset > cdOffset || cdOffset - entry.LocalHeaderOffset < LocalHeaderSize)
            throw bad(QStringLiteral("has no local header"));
        const QByteArray fixed = Read(entry.LocalHeaderOffset, LocalHeaderSize);
        if (U32(fixed.constData()) != LocalSignature) throw bad(QStringLiteral("has no local header"));
        const TCommonFileHeader local = ReadCommon(fixed.constData() + 4);
        const std::uint64_t variableAt = entry.LocalHeaderOffset + LocalHeaderSize;
        if (cdOffset - variableAt < std::uint64_t(local.FilenameLength) + local.ExtraFieldLength)
            throw bad(QStringLiteral("has a broken local header"));
        const QByteArray localNameAndExtra = Read(variableAt, local.FilenameLength + local.ExtraFieldLength);
        if (localNameAndExtra.left(local.FilenameLength) != entry.Header.filename)
            throw bad(QStringLiteral("has another name in its local header"));
        if (local.CompressionMethod != c.CompressionMethod ||
            (local.GeneralPurposeBitFlag & EncryptedFlag) != (c.GeneralPurposeBitFlag & EncryptedFlag))
            throw bad(QStringLiteral("is described otherwise in its local header"));
        const bool descriptor = local.GeneralPurposeBitFlag & DescriptorFlag;
        if (!descriptor) {
            // Sizes the local header gives must be the directory's; zip64 puts both in its extra field.
            const QByteArray zip64 = ExtraField(localNameAndExtra.mid(local.FilenameLength), 0x0001);
            std::uint64_t usize = local.UncompressedSize, csize = local.CompressedSize;
            if (usize == 0xFFFFFFFF || csize == 0xFFFFFFFF) {
                if (zip64.size() < 16) throw bad(QStringLiteral("has no sizes in its local header"));
                usize = U64(zip64.constData());
                csize = U64(zip64.constData() + 8);
            }
            if (local.Crc32 != c.Crc32 || usize != entry.UncompressedSize || csize != entry.CompressedSize)
                throw bad(QStringLiteral("is described otherwise in its local header"));
        }
        entry.DataOffset = variableAt + local.FilenameLength + local.ExtraFieldLength;
        if (entry.CompressedSize > cdOffset - entry.DataOffset)
            throw bad(QStringLiteral("runs into the central directory"));
        entry.End = entry.DataOffset + entry.CompressedSize;
        if (descriptor) {
            // The descriptor after the data, with or without its signature, 32- or 64-bit sizes.
            const qint64 room = qint64(std::min<std::uint64_t>(24, cdOffset - entry.End));
            const QByteArray d = Read(entry.End, room);
            int length = 0;
            for (const int size : {16, 24, 12, 20}) {
                const bool signed_ = size == 16 || size == 24;
                const bool wide64 = size == 24 || size == 20;
                if (d.size() < size || (signed_ && U32(d.constData()) != DescriptorSignature)) continue;
                const char* v = d.constData() + (signed_ ? 4 : 0);
                const std::uint64_t csize = wide64 ? U64(v + 4) : U32(v + 4);
                const std::uint64_t usize = wide64 ? U64(v + 12) : U32(v + 8);
                if (U32(v) == c.Crc32 && csize == entry.CompressedSize && usize == entry.UncompressedSize) {
                    length = size;
                    break;
                }
            }
            if (length == 0) throw bad(QStringLiteral("has a data descriptor that does not match"));
            entry.End += std::uint64_t(length);
        }
    }
    std::vector<const TZipEntry*> byOffset;
    for (const TZipEntry& entry : Entries)
        byOffset.push_back(&entry);
    std::sort(byOffset.begin(), byOffset.end(), [](const TZipEntry* a, const TZipEntry* b) {
        return a->LocalHeaderOffset < b->LocalHeaderOffset;
    });
    for (std::size_t k = 1; k < byOffset.size(); ++k)
        if (byOffset[k]->LocalHeaderOffset < byOffset[k - 1]->End)
            throw Damaged(QStringLiteral("its entries overlap"));
}

const TZipEntry& TZipFile::At(int i) const {
    if (i < 0 || i >= EntryCount()) throw EZipFileError(QStringLiteral("Index out of range."));
    return Entries[std::size_t(i)];
}

QByteArray TZipFile::EntryName(int i) const {
    return At(i).Header.filename;
}

QString TZipFile::EntryFileName(int i) const {
    const TFileHeader& h = At(i).Header;
    const QByteArray& name = h.filename;
    if (h.CommonFileHeader.GeneralPurposeBitFlag & Utf8NameFlag) return QString::fromUtf8(name);
    // Info-ZIP keeps a UTF-8 copy of the name in extra field 0x7075, valid while its checksum matches.
    const QByteArray unicode = ExtraField(h.extrafield, 0x7075);
    if (unicode.size() >= 5 && unicode[0] == 1 && U32(unicode.constData() + 1) == ZipCrc32(name))
        return QString::fromUtf8(unicode.mid(5));
    // Unflagged names are in the writer's code page: UTF-8 from today's tools (Windows-1251 letters
    // practically never form valid UTF-8), else the Windows-1251 of the system the archives come from.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(name);
    if (!utf8.hasError()) return decoded;
    return FromCp1251(name);
}

QString TZipFile::UnpackProblem(int i) const {
    const TZipEntry& entry = At(i);
    const auto& c = entry.Header.CommonFileHeader;
    const QString name = EntryFileName(i);
    if (c.GeneralPurposeBitFlag & (EncryptedFlag | StrongEncryptionFlag))
        return QStringLiteral("Cannot unpack \"%1\": it is encrypted").arg(name);
    if (entry.CompressedSize == 0 && entry.UncompressedSize == 0) return QString();
    if (c.CompressionMethod == Stored) {
        if (entry.CompressedSize != entry.UncompressedSize)
            return QStringLiteral("Cannot unpack \"%1\": it is stored with two different sizes").arg(name);
        return QString();
    }
    if (c.CompressionMethod != Deflated)
        return QStringLiteral("Cannot unpack \"%1\": compression method %2 is not supported")
            .arg(name)
            .arg(c.CompressionMethod);
    if (entry.UncompressedSize / MaxInflateRatio > entry.CompressedSize)
        return QStringLiteral("Cannot unpack \"%1\": it declares more bytes than its data can hold")
            .arg(name);
    return QString();
}

void TZipFile::ExtractEntry(int i, const Sink& sink) const {
    const TZipEntry& entry = At(i);
    if (const QString problem = UnpackProblem(i); !problem.isEmpty()) throw EZipFileError(problem);
    const QString name = EntryFileName(i);
    auto fail = [&](const QString& why) {
        return EZipFileError(QStringLiteral("Cannot unpack \"%1\": %2").arg(name, why));
    };
    std::uint64_t left = entry.CompressedSize, at = entry.DataOffset, produced = 0;
    uLong crc = crc32(0L, Z_NULL, 0);
    std::vector<char> in(std::size_t(std::min<std::uint64_t>(ChunkSize, std::max<std::uint64_t>(left, 1))));
    auto readChunk = [&]() -> qint64 {
        const qint64 n = qint64(std::min<std::uint64_t>(left, in.size()));
        try {
            ReadRange(at, in.data(), n);
        } catch (const EZipFileError&) {
            throw fail(QStringLiteral("the archive is cut short"));
        }
        at += std::uint64_t(n);
        left -= std::uint64_t(n);
        return n;
    };
    auto deliver = [&](const char* data, qint64 n) {
        produced += std::uint64_t(n);
        if (produced > entry.UncompressedSize)
            throw fail(
                QStringLiteral("it unpacks to more than its declared %1 bytes").arg(entry.UncompressedSize));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data), uInt(n));
        sink(data, qsizetype(n));
    };

    if (entry.Method() == Deflated && entry.CompressedSize > 0) {
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw fail(QStringLiteral("zlib: out of memory"));
        struct End {
            z_stream* z;
            ~End() { inflateEnd(z); }
        } end{&z};
        std::vector<char> out(ChunkSize);
        int rc = Z_OK;
        while (rc != Z_STREAM_END) {
            if (z.avail_in == 0 && left > 0) {
                z.avail_in = uInt(readChunk());
                z.next_in = reinterpret_cast<Bytef*>(in.data());
            }
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = uInt(out.size());
            rc = inflate(&z, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
                throw fail(z.msg ? QString::fromLatin1(z.msg) : QStringLiteral("invalid data"));
            if (const qint64 got = qint64(out.size() - z.avail_out); got > 0) deliver(out.data(), got);
            // No progress is possible: the input is used up and the stream has not ended.
            if (rc == Z_BUF_ERROR && z.avail_in == 0 && left == 0)
                throw fail(QStringLiteral("its data ends before its last block"));
        }
        if (z.avail_in != 0 || left != 0) throw fail(QStringLiteral("its data goes on after its last block"));
    } else {
        while (left > 0) {
            const qint64 n = readChunk();
            deliver(in.data(), n);
        }
    }
    if (produced != entry.UncompressedSize)
        throw fail(
            QStringLiteral("it unpacks to %1 bytes instead of %2").arg(produced).arg(entry.UncompressedSize));
    if (std::uint32_t(crc) != entry.Crc32())
        throw EZipFileCRCError(QStringLiteral("CRC Error in \"%1\".").arg(name));
}

QByteArray TZipFile::EntryData(int i) const {
    const TZipEntry& entry = At(i);
    if (const QString problem = UnpackProblem(i); !problem.isEmpty()) throw EZipFileError(problem);
    if (entry.UncompressedSize > MaxEntryDataSize)
        throw EZipFileError(QStringLiteral("Cannot unpack \"%1\" in memory: it is %2 MB long")
                                .arg(EntryFileName(i))
                                .arg(entry.UncompressedSize >> 20));
    QByteArray out;
    out.reserve(qsizetype(std::min<std::uint64_t>(entry.UncompressedSize, ChunkSize)));
    ExtractEntry(i, [&](const char* data, qsizetype size) { out.append(data, size); });
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
