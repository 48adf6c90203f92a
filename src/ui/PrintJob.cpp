#include "PrintJob.h"

#include "TextTable.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <filesystem>

bool PrinterInstalled() {
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

namespace {

QString PdfFileFor(const QString& name) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    return QDir(folder).filePath(name + QStringLiteral(".pdf"));
}

} // namespace

bool RunPrintJob(QWidget* window, const QString& pdfName,
                 const std::function<bool(QPrinter& printer, bool toPdf)>& runDialog,
                 const std::function<QString(QPrinter& printer)>& paint) {
    QPrinter printer(QPrinter::HighResolution);
    const bool toPdf = !PrinterInstalled();
    if (toPdf) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(PdfFileFor(pdfName));
    }
    bool accepted = false;
    if (runDialog) {
        accepted = runDialog(printer, toPdf);
    } else {
        QPrintDialog dialog(&printer, window);
        dialog.setWindowTitle(LangText(toPdf ? u"NoPrinterPdf" : u"Printing"));
        // Wide enough for the title that says where the print goes.
        dialog.setMinimumWidth(dialog.fontMetrics().horizontalAdvance(dialog.windowTitle()) * 3 / 2 + 160);
        accepted = dialog.exec() == QDialog::Accepted;
    }
    if (!accepted) return false;
    QString error;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        // Written beside the chosen file and put in its place only when complete, so a failure
        // leaves a file of that name as it was.
        const QString target = printer.outputFileName();
        QTemporaryFile part(target + QStringLiteral(".XXXXXX"));
        if (!part.open()) {
            error = part.errorString();
        } else {
            part.close();
            part.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
            printer.setOutputFileName(part.fileName());
            error = paint(printer);
            std::error_code e;
            if (error.isEmpty())
                std::filesystem::rename(QFile::encodeName(part.fileName()).toStdString(),
                                        QFile::encodeName(target).toStdString(), e);
            if (e) error = QString::fromStdString(e.message());
            printer.setOutputFileName(target);
        }
    } else {
        error = paint(printer);
    }
    if (error.isEmpty()) return true;
    QMessageBox::critical(window, LangText(u"Printing"), LangText(u"Error") + QStringLiteral("!\n") + error);
    return false;
}
