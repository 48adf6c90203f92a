#include "ByteWriter.h"

#include "Cp1251.h"

#include <cmath>
#include <stdexcept>

void ByteWriter::u16(std::uint16_t v) {
    buf_.append(char(v & 0xFF));
    buf_.append(char(v >> 8));
}

void ByteWriter::i32(std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) buf_.append(char((u >> (8 * i)) & 0xFF));
}

void ByteWriter::str(const QString& s) {
    QByteArray utf8 = s.toUtf8();
    if (utf8.size() > 0xFFFF) throw std::length_error("string longer than 65535 bytes");
    u16(static_cast<std::uint16_t>(utf8.size()));
    buf_.append(utf8);
}

void ByteWriter::oldStr(const QString& s) {
    if (s.contains(QChar(13))) throw std::invalid_argument("old-format text holding a CR");
    buf_.append(ToCp1251(s));
    buf_.append(char(13));
}

std::int32_t CoordToStored(float metres) {
    return static_cast<std::int32_t>(std::llround(static_cast<double>(metres) * 100.0));
}

void ByteWriter::coord(float metres) { i32(CoordToStored(metres)); }

void ByteWriter::langSet(const QStringList& texts, int count) {
    for (int i = 0; i < count; ++i) str(i < texts.size() ? texts[i] : QString());
}
