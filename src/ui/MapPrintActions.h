// The map's paper and file outputs: btnPrint prints the visible map (to a PDF file without a printer),
// the hidden service button btnMapForPrint (reached from btnPrint's context menu and Ctrl+Shift+P) writes
// the whole city at the current scale to a picture file with a progress window that can cancel.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QPrinter;
class QToolButton;
class TfrmMain;

class MapPrintActions : public QObject {
public:
    explicit MapPrintActions(TfrmMain& window);

    void btnPrintClick();
    void btnMapForPrintClick();
    // The whole city to `path` (BMP, or PNG for a ".png" name) with the progress window; the outcome is
    // shown in a message. True when the file was written.
    bool ExportTo(const QString& path);

    QToolButton* btnMapForPrint;

    // Test hooks: the print dialog (true to print) and the export's file choice (empty to cancel).
    std::function<bool(QPrinter& printer, bool toPdf)> runPrintDialog;
    std::function<QString()> chooseExportFile;

private:
    TfrmMain& window_;
};
