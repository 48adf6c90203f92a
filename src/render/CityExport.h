// The whole city at the current scale as one picture file, drawn in strips and written strip by strip,
// so that memory stays small however large the picture; the user's file is replaced only when the new
// one is complete.
#pragma once

#include <QString>
#include <functional>

class TMap;
class MapView;

enum class ExportFormat { Bmp, Png };
// PNG for a ".png" name, BMP otherwise.
ExportFormat ExportFormatFor(const QString& path);

enum class ExportStatus { Done, Cancelled, Failed, NoSpace, TooLarge };

struct ExportResult {
    ExportStatus status = ExportStatus::Failed;
    QString error; // the file system's words for a failure
    qint64 width = 0, height = 0;
    qint64 needed = 0, free = 0; // bytes, for NoSpace
};

struct ExportOptions {
    int stripRows = 0;     // 0: as many rows as the memory budget allows
    qint64 freeBytes = -1; // -1: ask the file system
    // Called after each strip with the rows written and the rows in all; false cancels.
    std::function<bool(qint64 done, qint64 total)> progress;
};

// The picture's size at the view's scale.
void WholeCitySize(const MapView& view, qint64& width, qint64& height);

// The view comes back as it was; the map's cached frame is untouched.
ExportResult ExportWholeCity(TMap& map, MapView& view, const QString& path, ExportFormat format,
                             const ExportOptions& options = {});
