// Little-endian writer, the inverse of ByteReader: what it writes, ByteReader reads back unchanged.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

class ByteWriter {
public:
    void u8(std::uint8_t v) { buf_.append(char(v)); }
    void u16(std::uint16_t v);
    void i32(std::int32_t v);
    // Throws std::length_error for texts over 65535 bytes of UTF-8: the format cannot hold them.
    void str(const QString& s);
    // 8-bit code page text ended by CR; throws std::invalid_argument for a text holding a CR.
    void oldStr(const QString& s);
    // Metres to stored hundredths, rounded to nearest.
    void coord(float metres);
    // Exactly `count` strings: missing entries are written empty.
    void langSet(const QStringList& texts, int count);
    void bytes(const QByteArray& b) { buf_.append(b); }

    const QByteArray& data() const { return buf_; }
    QByteArray take() { return std::move(buf_); }
    std::int64_t size() const { return buf_.size(); }

private:
    QByteArray buf_;
};

std::int32_t CoordToStored(float metres);
