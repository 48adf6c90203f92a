// Writes ZIP archives with DEFLATE entries, as the update archives are published.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

class ZipWriter {
public:
    enum Method { Deflate = 8, Stored = 0 };

    // Names are written as UTF-8 (flagged) unless they are plain ASCII.
    void Add(const QString& name, const QByteArray& data, Method method = Deflate);
    // A symbolic link as Unix tools store one: the link's target is the entry's data.
    void AddSymlink(const QString& name, const QByteArray& target);
    // An entry packed beforehand, for entries too large to hold unpacked.
    void AddPacked(const QString& name, const QByteArray& packed, std::uint32_t crc, std::uint32_t size,
                   Method method = Deflate);
    QByteArray Build() const;
    // Builds through a temporary file and renames; empty text on success, else the error.
    QString Write(const QString& path) const;

private:
    struct Entry {
        QByteArray name;
        bool utf8 = false;
        QByteArray packed;
        std::uint32_t crc = 0;
        std::uint32_t size = 0;
        Method method = Deflate;
        std::uint32_t unixMode = 0; // 0: written as by a DOS host, without one
    };
    std::vector<Entry> entries_;
};

// Raw DEFLATE (no zlib header) of the whole buffer at the best compression.
QByteArray DeflateRaw(const QByteArray& data);
