#include "CityExport.h"

#include "MapRenderer.h"
#include "StripWriters.h"

#include <QFileInfo>
#include <QImage>
#include <QSaveFile>
#include <QStorageInfo>
#include <algorithm>
#include <cmath>

namespace {

// Pixels of a strip held at once (64 MB with its margins); the file writers add a few rows to it.
constexpr qint64 StripBudgetBytes = 64ll << 20;
// Beyond this the painter's fixed-point coordinates no longer hold a pixel exactly.
constexpr qint64 MaxSide = 4'000'000;

} // namespace

ExportFormat ExportFormatFor(const QString& path) {
    return path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive) ? ExportFormat::Png : ExportFormat::Bmp;
}

void WholeCitySize(const MapView& view, qint64& width, qint64& height) {
    const double scale = view.Scale > 0 ? view.Scale : MapView::MinScale;
    width = std::max<qint64>(
        1, qint64(RoundHalfEven(std::fabs(double(view.WorldMaxX) - view.WorldMinX) / scale)));
    height = std::max<qint64>(
        1, qint64(RoundHalfEven(std::fabs(double(view.WorldMaxY) - view.WorldMinY) / scale)));
}

ExportResult ExportWholeCity(TMap& map, MapView& view, const QString& path, ExportFormat format,
                             const ExportOptions& options) {
    ExportResult result;
    WholeCitySize(view, result.width, result.height);
    const qint64 W = result.width, H = result.height;
    std::unique_ptr<StripWriter> writer = format == ExportFormat::Png ? MakePngWriter() : MakeBmpWriter();
    if (W > MaxSide || H > MaxSide || !writer->Fits(W, H)) {
        result.status = ExportStatus::TooLarge;
        return result;
    }
    result.needed = writer->FileSize(W, H);
    result.free = options.freeBytes >= 0 ? options.freeBytes
                                         : QStorageInfo(QFileInfo(path).absolutePath()).bytesAvailable();
    // Only a size known beforehand can be refused beforehand; a PNG that outgrows the disk fails as it
    // is written, leaving the user's file as it was.
    if (result.needed > 0 && result.free >= 0 && result.needed > result.free) {
        result.status = ExportStatus::NoSpace;
        return result;
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = file.errorString();
        return result;
    }
    auto fail = [&](ExportStatus status) {
        if (status == ExportStatus::Failed && result.error.isEmpty())
            result.error = file.error() != QFileDevice::NoError ? file.errorString() : QString();
        file.cancelWriting();
        result.status = status;
        return result;
    };
    if (!writer->Begin(file, W, H)) return fail(ExportStatus::Failed);

    // A strip is drawn with a margin above and below as deep as anything drawn reaches past its
    // object's box, so that what a strip leaves out as lying beyond it draws nothing inside it. On a very
    // wide picture the budget caps the margin.
    const qint64 budgetRows = std::max<qint64>(StripBudgetBytes / (W * 4), 3);
    const int Margin = int(std::min<qint64>(map.OverdrawPixels(), (budgetRows - 1) / 2));
    const int rows = options.stripRows > 0 ? int(std::min<qint64>(options.stripRows, H))
                                           : int(std::clamp<qint64>(budgetRows - 2 * Margin, 1, H));
    QImage strip(int(W), rows + 2 * Margin, QImage::Format_RGB32);
    if (strip.isNull()) return fail(ExportStatus::Failed);
    const qint64 strips = (H + rows - 1) / rows;
    const MapView saved = view;
    // The whole city centred on a W x H surface, each strip a band of it: only the vertical offset
    // changes, by whole pixels, so the strips join into the picture of a single draw.
    const float originX = view.WorldMinX + (view.WorldMaxX - view.WorldMinX) / 2;
    const float originY = view.WorldMinY + (view.WorldMaxY - view.WorldMinY) / 2;
    qint64 done = 0;
    bool ok = true, cancelled = false;
    for (qint64 k = 0; k < strips && ok; ++k) {
        const qint64 index = writer->BottomUp() ? strips - 1 - k : k;
        const qint64 top = index * rows;
        const int n = int(std::min<qint64>(rows, H - top));
        view.Width = int(W);
        view.Height = n + 2 * Margin;
        view.OffsetX = int(W / 2);
        view.OffsetY = int(H / 2 - top + Margin);
        view.OriginX = originX;
        view.OriginY = originY;
        map.DrawForPrint(strip, QPoint(0, int(top) - Margin));
        view = saved;
        ok = writer->Rows(strip, Margin, n);
        done += n;
        if (ok && options.progress && !options.progress(done, H)) cancelled = true, ok = false;
    }
    view = saved;
    if (cancelled) return fail(ExportStatus::Cancelled);
    if (!ok || !writer->Finish()) return fail(ExportStatus::Failed);
    if (!file.commit()) {
        result.error = file.errorString();
        result.status = ExportStatus::Failed;
        return result;
    }
    result.status = ExportStatus::Done;
    return result;
}
