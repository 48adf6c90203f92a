// Writes ZIP archives with DEFLATE entries, as the update archives are published.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

class ZipWriter {
public:
    // Stored entries are for tests of the reader: update archives carry DEFLATE entries only.
    enum Method { Deflate = 8, Stored = 0 };

    // Names are written as UTF-8 (flagged) unless they are plain ASCII.
    void Add(const QString& name, const QByteArray& data, Method method = Deflate);
    QByteArray Build() const;
    // Builds through a temporary file and renames; empty text on success, else the error.
    QString Write(const QString& path) const;

private:
    struct Entry {
        QByteArray name;
        bool utf8 = false;
        QByteArray data;
        Method method = Deflate;
    };
    std::vector<Entry> entries_;
};

// Raw DEFLATE (no zlib header) of the whole buffer at the best compression.
QByteArray DeflateRaw(const QByteArray& data);
