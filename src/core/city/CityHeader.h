// The 80-byte scrambled header at the start of every city file.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>

constexpr int CityHeaderSize = 80;
constexpr std::uint8_t CityHeaderMagic = 0x6E;
// The only data format version the program loads.
constexpr std::int32_t CurrentDataFormat = 18;

struct CityHeader {
    QString CityName;
    QString ReleaseDate; // "dd.MM.yyyy"
    std::int32_t dfv = CurrentDataFormat;
    std::int32_t offset0 = 0;
    std::int32_t offset1 = 0;
    std::int32_t offset2 = 0;
    std::int32_t offset3 = 0;
};

// Parses the scrambled first bytes of a file; nothing when they are too short or not a city header.
std::optional<CityHeader> ParseCityHeader(QByteArrayView scrambled);
// Reads the header of a file; nothing when the file cannot be opened or holds no valid header.
std::optional<CityHeader> ReadCityHeader(const QString& filePath);
// The scrambled 80 bytes for a header; throws std::invalid_argument when the texts do not fit.
QByteArray EncodeCityHeader(const CityHeader& header);
