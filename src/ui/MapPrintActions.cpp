#include "MapPrintActions.h"

#include "AppContext.h"
#include "CityExport.h"
#include "GlMapSwitch.h"
#include "MapPrint.h"
#include "MapRenderer.h"
#include "PrintJob.h"
#include "TextTable.h"
#include "TfrmMain.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPrinter>
#include <QProgressDialog>
#include <QShortcut>
#include <QStandardPaths>
#include <QToolButton>

namespace {
const QKeySequence ExportKey(Qt::CTRL | Qt::SHIFT | Qt::Key_P);
}

MapPrintActions::MapPrintActions(TfrmMain& window) : QObject(&window), window_(window) {
    // A service button: present, never shown.
    btnMapForPrint = new QToolButton(window.pnlMapTools);
    btnMapForPrint->setObjectName(QStringLiteral("btnMapForPrint"));
    btnMapForPrint->setText(QStringLiteral("MapForPrint"));
    btnMapForPrint->hide();
    connect(btnMapForPrint, &QToolButton::clicked, this, &MapPrintActions::btnMapForPrintClick);
    connect(window.btnPrint, &QToolButton::clicked, this, &MapPrintActions::btnPrintClick);
    window.btnPrint->setEnabled(true);
    // With the button hidden, users reach the export from the print button's context menu or by its key.
    window.btnPrint->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(window.btnPrint, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        // The button's hint would stay under the menu.
        window_.HideHints();
        QMenu menu(window_.btnPrint);
        menu.setObjectName(QStringLiteral("pmPrint"));
        QAction* exportCity = menu.addAction(LangText(u"MapForPrint") + QStringLiteral("…"));
        exportCity->setShortcut(ExportKey);
        if (menu.exec(window_.btnPrint->mapToGlobal(at)) == exportCity) btnMapForPrint->click();
    });
    auto* key = new QShortcut(ExportKey, &window);
    connect(key, &QShortcut::activated, btnMapForPrint, &QToolButton::click);
}

void MapPrintActions::btnPrintClick() {
    window_.btnPrint->setDown(false);
    if (!window_.map) return;
    // The OpenGL surface draws no overlays: paper gets the 2D picture of the same view.
    if (window_.glMap->Active()) window_.map->DrawGDI(nullptr, true);
    const QImage picture = window_.map->img;
    const bool economy = window_.app().settings.EconomPrint;
    const QString title =
        QStringLiteral("Электронная карта-справочник Тессара (%1)").arg(window_.app().vendor.Mirrors.First());
    RunPrintJob(&window_, QStringLiteral("map"), runPrintDialog,
                [&](QPrinter& printer) { return PaintMapPage(printer, picture, economy, title); });
}

void MapPrintActions::btnMapForPrintClick() {
    QString path;
    if (chooseExportFile) {
        path = chooseExportFile();
    } else {
        QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
        path = QFileDialog::getSaveFileName(&window_, LangText(u"MapForPrint"),
                                            QDir(folder).filePath(QStringLiteral("map.bmp")),
                                            LangText(u"ExportFiles"));
    }
    if (!path.isEmpty()) ExportTo(path);
}

bool MapPrintActions::ExportTo(const QString& path) {
    if (!window_.map) return false;
    QProgressDialog progress(LangText(u"ExportProgress"), LangText(u"Cancel"), 0, 1000, &window_);
    progress.setObjectName(QStringLiteral("frmMapExport"));
    progress.setWindowTitle(LangText(u"MapForPrint"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setValue(0);
    ExportOptions options;
    options.progress = [&](qint64 done, qint64 total) {
        progress.setValue(int(done * 1000 / std::max<qint64>(total, 1)));
        QApplication::processEvents();
        return !progress.wasCanceled();
    };
    const ExportResult r = ExportWholeCity(*window_.map, window_.view, path, ExportFormatFor(path), options);
    progress.close();
    window_.Redraw(true);
    const QString title = LangText(u"MapForPrint");
    auto megabytes = [](qint64 bytes) { return QString::number((bytes + (1 << 20) - 1) >> 20); };
    switch (r.status) {
    case ExportStatus::Done:
        QMessageBox::information(
            &window_, title, LangText(u"ExportDone") + QStringLiteral("\n") + QDir::toNativeSeparators(path));
        return true;
    case ExportStatus::Cancelled:
        return false;
    case ExportStatus::NoSpace:
        QMessageBox::warning(&window_, title,
                             LangText(u"ExportNoSpace").arg(megabytes(r.needed), megabytes(r.free)));
        return false;
    case ExportStatus::TooLarge:
        QMessageBox::warning(&window_, title, WithLineBreaks(LangText(u"ExportTooLarge")));
        return false;
    case ExportStatus::Failed:
        QMessageBox::critical(&window_, title, LangText(u"ExportFailed") + QStringLiteral("\n") + r.error);
        return false;
    }
    return false;
}
