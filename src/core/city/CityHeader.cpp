#include "CityHeader.h"

#include "ByteReader.h"
#include "ByteWriter.h"
#include "CityFileError.h"
#include "Cp1251.h"
#include "Descramble.h"

#include <QFile>
#include <stdexcept>

std::optional<CityHeader> ParseCityHeader(QByteArrayView scrambled) {
    if (scrambled.size() < CityHeaderSize) return std::nullopt;
    QByteArray plain = Descramble(scrambled, 0, CityHeaderSize);
    try {
        ByteReader r(plain, QString(), QStringLiteral("header"));
        if (r.u8() != CityHeaderMagic) return std::nullopt;
        CityHeader h;
        h.CityName = FromCp1251(r.bytes(r.u8()));
        h.ReleaseDate = FromCp1251(r.bytes(r.u8()));
        h.dfv = r.i32();
        h.offset0 = r.i32();
        h.offset1 = r.i32();
        h.offset2 = r.i32();
        h.offset3 = r.i32();
        return h;
    } catch (const CityFileError&) {
        // Name and date lengths that run past the 80 bytes: not a header this program wrote.
        return std::nullopt;
    }
}

std::optional<CityHeader> ReadCityHeader(const QString& filePath) {
    QFile f(filePath);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    return ParseCityHeader(f.read(CityHeaderSize));
}

QByteArray EncodeCityHeader(const CityHeader& header) {
    bool okName = false, okDate = false;
    QByteArray name = ToCp1251(header.CityName, &okName);
    QByteArray date = ToCp1251(header.ReleaseDate, &okDate);
    if (!okName || !okDate) throw std::invalid_argument("city name or date outside the Windows-1251 code page");
    // magic + two lengths + five integers leave 57 bytes for the two texts.
    if (name.size() + date.size() > CityHeaderSize - 23)
        throw std::invalid_argument("city name and release date too long for the header");
    ByteWriter w;
    w.u8(CityHeaderMagic);
    w.u8(std::uint8_t(name.size()));
    w.bytes(name);
    w.u8(std::uint8_t(date.size()));
    w.bytes(date);
    w.i32(header.dfv);
    w.i32(header.offset0);
    w.i32(header.offset1);
    w.i32(header.offset2);
    w.i32(header.offset3);
    QByteArray out = w.take();
    out.append(QByteArray(CityHeaderSize - out.size(), '\0'));
    DescrambleInPlace(out.data(), out.size());
    return out;
}
