// References a city file makes outside their tables: one such slip drops that reference (the field
// becomes its "none") and the city still loads. Kept beside the loaded city, never in its records.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

struct CityFileWarning {
    QString file;
    QString section;
    std::int64_t offset = -1; // absolute position of the reference in the file; -1 when not known
    QString what;

    // In the form of a CityFileError's message: file, section, offset, what.
    QString message() const {
        QString where = file.isEmpty() ? QString() : file + QStringLiteral(": ");
        where += section + QStringLiteral(" section");
        if (offset >= 0) where += QStringLiteral(", offset %1").arg(offset);
        return where + QStringLiteral(": ") + what;
    }
    bool operator==(const CityFileWarning&) const = default;
};

struct CityLoadWarnings {
    // A hostile file may name a million bad references: the first ones are kept, the rest only counted.
    static constexpr std::size_t MaxListed = 1000;

    std::vector<CityFileWarning> listed; // in the order they were found
    std::int64_t count = 0;              // every dropped reference, listed or not

    void add(CityFileWarning w) {
        if (listed.size() < MaxListed) listed.push_back(std::move(w));
        ++count;
    }
    bool empty() const { return count == 0; }
    void clear() { *this = {}; }
    bool operator==(const CityLoadWarnings&) const = default;
};
