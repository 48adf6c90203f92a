// TZipFile: reads a ZIP archive into memory and hands out each entry's name and inflated bytes.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
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

struct TLocalFile {
    std::uint32_t LocalFileHeaderSignature = 0;
    TCommonFileHeader CommonFileHeader;
    QByteArray filename;
    QByteArray extrafield;
    QByteArray CompressedData; // views the owning TZipFile's buffer: valid while that archive lives
    // The record ran past the end of the archive: its declared sizes are not what the file holds.
    bool truncated = false;
};

struct TFileHeader {
    std::uint32_t CentralFileHeaderSignature = 0;
    std::uint16_t VersionMadeBy = 0;
    TCommonFileHeader CommonFileHeader;
    std::uint16_t FileCommentLength = 0;
    std::uint16_t DiskNumberStart = 0;
    std::uint16_t InternalFileAttributes = 0;
    std::uint32_t ExternalFileAttributes = 0;
    std::uint32_t RelativeOffsetOfLocalHeader = 0;
    QByteArray filename;
    QByteArray extrafield;
    QByteArray fileComment;
};

struct TEndOfCentralDir {
    std::uint32_t EndOfCentralDirSignature = 0;
    std::uint16_t NumberOfThisDisk = 0;
    std::uint16_t NumberOfTheDiskWithTheStart = 0;
    std::uint16_t TotalNumberOfEntriesOnThisDisk = 0;
    std::uint16_t TotalNumberOfEntries = 0;
    std::uint32_t SizeOfTheCentralDirectory = 0;
    std::uint32_t OffsetOfStartOfCentralDirectory = 0;
    std::uint16_t ZipfileCommentLength = 0;
};

class TZipFile {
public:
    std::vector<TLocalFile> Files;
    std::vector<TFileHeader> CentralDirectory;
    TEndOfCentralDir EndOfCentralDirectory;
    QByteArray ZipFileComment;

    // Both read as far as the records are intact; LoadFromFile raises EZipFileError when the file
    // cannot be opened.
    void LoadFromFile(const QString& fileName);
    void LoadFromStream(QIODevice& stream);
    void LoadFromBytes(const QByteArray& bytes);

    int EntryCount() const { return int(Files.size()); }
    // The stored name bytes; EntryFileName decodes them (UTF-8 when the entry says so, else Windows-1251).
    QByteArray EntryName(int i) const;
    QString EntryFileName(int i) const;
    // The inflated bytes; raises "Index out of range.", the CRC message or a decompression error.
    QByteArray EntryData(int i) const;

private:
    QByteArray buffer_; // the archive bytes; entries' fields view into it
};

// CRC-32 as ZIP uses it (reflected polynomial, start 0xFFFFFFFF, final complement).
std::uint32_t ZipCrc32(const QByteArray& bytes);

// A stored entry or page name that stays inside its folder: relative, no "..", no drive or root prefix.
bool IsSafeRelativePath(const QString& name);
