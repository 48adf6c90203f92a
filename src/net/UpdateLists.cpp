#include "Updater.h"

#include "Cp1251.h"

#include <algorithm>

namespace {

// Lines of a list; CR LF and LF both end a line, and blank lines at the end are not records.
QStringList ListLines(const QByteArray& bytes) {
    QStringList lines = FromCp1251(bytes).split('\n');
    for (QString& line : lines)
        if (line.endsWith('\r')) line.chop(1);
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

QDate ListDate(const QString& text) {
    return QDate::fromString(text.trimmed(), QStringLiteral("dd.MM.yyyy"));
}

bool ParseComponentList(const QByteArray& bytes, TInfTable& table) {
    const QStringList lines = ListLines(bytes);
    if (lines.isEmpty() || lines.size() % 4 != 0) return false;
    TInfTable rows;
    for (int i = 0; i < lines.size(); i += 4) {
        TFileInf row;
        row.FileName = lines[i].trimmed();
        row.CityName = lines[i + 1];
        row.AfterDate = lines[i + 2].trimmed();
        row.needUpdate.Caption = lines[i + 3];
        // The comparison reads the offered date: a list with a bad one is not a list.
        if (row.FileName.isEmpty() || !ListDate(row.AfterDate).isValid()) return false;
        rows.push_back(row);
    }
    table = std::move(rows);
    return true;
}

bool ParsePhotoList(const QByteArray& bytes, TInfTable& table) {
    const QStringList lines = ListLines(bytes);
    TInfTable result = table;
    for (int i = 0; i < lines.size();) {
        bool matched = false;
        for (TFileInf& row : result) {
            if (row.CityName != lines[i]) continue;
            if (i + 3 > lines.size() - 1) return false;
            const QDate date = ListDate(lines[i + 2]);
            if (!date.isValid() || lines[i + 1].trimmed().isEmpty()) return false;
            row.FileNameFoto = lines[i + 1].trimmed();
            row.FotoDate = date;
            row.needFoto.Caption = lines[i + 3];
            matched = true;
        }
        i += matched ? 4 : 1;
    }
    table = std::move(result);
    return true;
}

QString PaddedCaption(const QString& caption) {
    return QString(std::max<qsizetype>(0, 12 - 2 * caption.size()), ' ') + caption;
}
