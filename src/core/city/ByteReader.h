// Little-endian reader over one section of a city file; every read is checked against the section's end.
#pragma once

#include "CityLoadWarnings.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <cstdint>

class ByteReader {
public:
    // `fileOffset` is where data[0] sits in the file, so that errors name absolute offsets.
    ByteReader(QByteArrayView data, QString file, QString section, std::int64_t fileOffset = 0);
    // The reader only views its bytes: a temporary buffer would be gone before the first read.
    ByteReader(QByteArray&& data, QString file, QString section, std::int64_t fileOffset = 0) = delete;

    std::uint8_t u8();
    std::uint16_t u16();
    std::int32_t i32();
    // u16 byte count, then UTF-8.
    QString str();
    // Bytes of the 8-bit code page up to a CR, which is consumed and not part of the text.
    QString oldStr();
    // i32 in hundredths of a metre.
    float coord();
    // `count` strings, one per data language; `filled` replaces an empty entry after the first by the first.
    QStringList langSet(int count, bool filled);
    QByteArrayView bytes(std::int64_t count);
    void skip(std::int64_t count);

    std::int64_t pos() const { return pos_; }
    std::int64_t size() const { return data_.size(); }
    std::int64_t remaining() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ >= data_.size(); }
    QByteArrayView rest() const { return data_.sliced(pos_); }

    // Throws CityFileError naming the file, the section and the current absolute offset.
    [[noreturn]] void fail(const QString& what) const;
    // A warning naming the file, the section and the absolute offset of section position `at`.
    CityFileWarning warning(std::int64_t at, const QString& what) const;

private:
    void need(std::int64_t count, const char* what);

    QByteArrayView data_;
    QString file_;
    QString section_;
    std::int64_t fileOffset_;
    std::int64_t pos_ = 0;
};

// Decodes a stored coordinate (hundredths) to metres exactly as the loaders do.
inline float CoordFromStored(std::int32_t v) { return static_cast<float>(static_cast<double>(v) / 100.0); }
