// TZipFile: reads a ZIP archive through its central directory and hands out each entry's name and
// bytes, in memory for small entries or streamed to a sink with sizes and CRC checked on the way.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

class QIODevice;

class EZipFileError : public std::runtime_error {
public:
    explicit EZipFileError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

class EZipFileCRCError : public EZipFileError {
public:
    using EZipFileError::EZipFileError;
};

struct TCommonFileHeader {
    std::uint16_t VersionNeededToExtract = 0;
    std::uint16_t GeneralPurposeBitFlag = 0;
    std::uint16_t CompressionMethod = 0;
    std::uint32_t LastModFileTimeDate = 0;
    std::uint32_t Crc32 = 0;
    std::uint32_t CompressedSize = 0;
    std::uint32_t UncompressedSize = 0;
    std::uint16_t FilenameLength = 0;
    std::uint16_t ExtraFieldLength = 0;
};

// A central directory record as stored.
struct TFileHeader {
    std::uint16_t VersionMadeBy = 0;
    TCommonFileHeader CommonFileHeader;
    std::uint16_t FileCommentLength = 0;
    std::uint16_t DiskNumberStart = 0;
    std::uint16_t InternalFileAttributes = 0;
    std::uint32_t ExternalFileAttributes = 0;
    std::uint32_t RelativeOffsetOfLocalHeader = 0;
    QByteArray filename;
    QByteArray extrafield;
};

struct TEndOfCentralDir {
    std::uint16_t NumberOfThisDisk = 0;
    std::uint16_t NumberOfTheDiskWithTheStart = 0;
    std::uint16_t TotalNumberOfEntriesOnThisDisk = 0;
    std::uint16_t TotalNumberOfEntries = 0;
    std::uint32_t SizeOfTheCentralDirectory = 0;
    std::uint32_t OffsetOfStartOfCentralDirectory = 0;
    std::uint16_t ZipfileCommentLength = 0;
};

// One entry: its central record, the 64-bit values (zip64 resolved) and where its data lies, found
// through the local header and checked against it.
struct TZipEntry {
    TFileHeader Header;
    std::uint64_t CompressedSize = 0;
    std::uint64_t UncompressedSize = 0;
    std::uint64_t LocalHeaderOffset = 0;
    std::uint64_t DataOffset = 0;
    std::uint64_t End = 0; // past the data and its descriptor

    std::uint16_t Method() const { return Header.CommonFileHeader.CompressionMethod; }
    std::uint32_t Crc32() const { return Header.CommonFileHeader.Crc32; }
    bool IsFolder() const;
    // A symbolic link, device or socket as the Unix mode of the writer says. A pipe is not: its entry
    // holds what was read from it, and is installed as a plain file.
    bool IsSpecial() const;
    bool IsSymlink() const;
};

class TZipFile {
public:
    // Archives are refused beyond these: they bound what a hostile directory can make us hold.
    static constexpr std::uint64_t MaxCentralDirectorySize = 64ull << 20;
    static constexpr std::size_t MaxEntries = 100000;
    // EntryData holds the whole entry; larger entries are streamed with ExtractEntry.
    static constexpr std::uint64_t MaxEntryDataSize = 64ull << 20;
    // LoadFromStream reads the stream whole.
    static constexpr std::int64_t MaxStreamSize = 64ll << 20;

    std::vector<TZipEntry> Entries;
    TEndOfCentralDir EndOfCentralDirectory;
    QByteArray ZipFileComment;

    TZipFile();
    ~TZipFile();
    TZipFile(const TZipFile&) = delete;
    TZipFile& operator=(const TZipFile&) = delete;

    // Each reads the directory and raises EZipFileError when the archive is not one we can trust.
    // LoadFromFile keeps the file open to read entries from it; the other two keep the bytes.
    void LoadFromFile(const QString& fileName);
    void LoadFromStream(QIODevice& stream);
    void LoadFromBytes(const QByteArray& bytes);

    int EntryCount() const { return int(Entries.size()); }
    // The stored name bytes; EntryFileName decodes them (UTF-8 when the entry says so, else Windows-1251).
    QByteArray EntryName(int i) const;
    QString EntryFileName(int i) const;
    // The unpacked bytes; raises "Index out of range.", the CRC message or an unpacking error.
    QByteArray EntryData(int i) const;

    // Why entry i cannot be unpacked (encrypted, an unsupported method, impossible sizes), or empty.
    QString UnpackProblem(int i) const;
    // Receives the unpacked bytes in order; may raise EZipFileError to stop.
    using Sink = std::function<void(const char* data, qsizetype size)>;
    // Streams entry i to `sink` in bounded memory. Raises once more bytes come out than the directory
    // declares, when fewer do, when the data does not end where declared, and on a CRC mismatch (after
    // the last bytes went to the sink: the caller discards what it wrote).
    void ExtractEntry(int i, const Sink& sink) const;

private:
    struct Extent {
        std::uint64_t Offset = 0, Size = 0, Entries = 0;
    };
    void Load(std::unique_ptr<QIODevice> device, const QString& label);
    // The end records, zip64 ones included: where the central directory lies and what it holds.
    Extent ReadEnd();
    void ReadDirectory(const Extent& directory);
    void LocateData(std::uint64_t cdOffset);
    EZipFileError Damaged(const QString& why) const;
    QByteArray Read(std::uint64_t at, qint64 n) const;
    void ReadRange(std::uint64_t at, char* to, qint64 size) const;
    const TZipEntry& At(int i) const;

    std::unique_ptr<QIODevice> device_;
    QByteArray bytes_;
    std::uint64_t size_ = 0;
    QString named_; // "The archive" or "The archive "NAME"", for messages
};

// CRC-32 as ZIP uses it (reflected polynomial, start 0xFFFFFFFF, final complement).
std::uint32_t ZipCrc32(const QByteArray& bytes);

// A stored page name that stays inside its folder: relative, no "..", no drive or root prefix.
bool IsSafeRelativePath(const QString& name);
