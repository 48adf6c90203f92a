#include "ByteReader.h"

#include "CityFileError.h"
#include "Cp1251.h"

#include <cstring>

ByteReader::ByteReader(QByteArrayView data, QString file, QString section, std::int64_t fileOffset)
    : data_(data), file_(std::move(file)), section_(std::move(section)), fileOffset_(fileOffset) {}

void ByteReader::fail(const QString& what) const {
    throw CityFileError(warning(pos_, what).message());
}

CityFileWarning ByteReader::warning(std::int64_t at, const QString& what) const {
    return {file_, section_, fileOffset_ + at, what};
}

void ByteReader::need(std::int64_t count, const char* what) {
    if (count < 0 || count > remaining())
        fail(QStringLiteral("truncated %1 (%2 bytes needed, %3 left)")
                 .arg(QLatin1String(what))
                 .arg(count)
                 .arg(remaining()));
}

std::uint8_t ByteReader::u8() {
    need(1, "byte");
    return static_cast<std::uint8_t>(data_[pos_++]);
}

std::uint16_t ByteReader::u16() {
    need(2, "16-bit integer");
    auto p = reinterpret_cast<const unsigned char*>(data_.data() + pos_);
    pos_ += 2;
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::int32_t ByteReader::i32() {
    need(4, "32-bit integer");
    auto p = reinterpret_cast<const unsigned char*>(data_.data() + pos_);
    pos_ += 4;
    std::uint32_t v = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
                      (std::uint32_t(p[3]) << 24);
    return static_cast<std::int32_t>(v);
}

QString ByteReader::str() {
    std::int64_t start = pos_;
    std::uint16_t n = u16();
    if (n > remaining()) {
        pos_ = start;
        need(2 + std::int64_t(n), "string");
    }
    QString s = QString::fromUtf8(data_.data() + pos_, n);
    pos_ += n;
    return s;
}

QString ByteReader::oldStr() {
    if (atEnd()) fail(QStringLiteral("text without its terminating CR"));
    const char* begin = data_.data() + pos_;
    const void* cr = std::memchr(begin, 13, remaining());
    if (!cr) fail(QStringLiteral("text without its terminating CR"));
    auto n = static_cast<const char*>(cr) - begin;
    QString s = FromCp1251(QByteArrayView(begin, n));
    pos_ += n + 1;
    return s;
}

float ByteReader::coord() { return CoordFromStored(i32()); }

QStringList ByteReader::langSet(int count, bool filled) {
    QStringList out;
    out.reserve(count);
    for (int i = 0; i < count; ++i) {
        QString s = str();
        if (filled && i > 0 && s.isEmpty()) s = out.front();
        out.append(std::move(s));
    }
    return out;
}

QByteArrayView ByteReader::bytes(std::int64_t count) {
    need(count, "data block");
    QByteArrayView v = data_.sliced(pos_, count);
    pos_ += count;
    return v;
}

void ByteReader::skip(std::int64_t count) {
    need(count, "data block");
    pos_ += count;
}
