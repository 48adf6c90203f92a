// The names the update lists give their files on disk, the rules that keep each file to its own
// place, and the size a list caption declares.
#pragma once

#include "Updater.h"

#include <QString>
#include <optional>
#include <vector>

// The part of a list path after its last "/": the name the file gets on disk.
QString LocalName(const QString& path);

// A local file name taken from a list: a plain name, no folders, no hidden or control characters.
bool IsSafeFileName(const QString& name);

// The bytes a caption such as "4.2 MB", "850 KB" or "1,5 Мб" declares; nothing when it is no size.
std::optional<qint64> DeclaredSize(const QString& caption);
// The most a component may bring: its declared size with room for rounding, else MaxDownloadBytes.
qint64 DownloadBound(const QString& caption);

// Why a row's archive and its photo file may not be fetched; empty where they may.
struct RowRefusal {
    QString Update;
    QString Foto;
};

// Checks the local names of the city rows (row 0, the program, always goes to the installer's own
// name): an archive is "<name>.zip", a photo file is named like its city with ".img", and no name is
// an installed city file or the name of another row's file.
std::vector<RowRefusal> CheckLocalNames(const TInfTable& table, const std::vector<TCity>& installed);
