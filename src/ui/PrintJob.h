// One print job through the system print dialog, or to a PDF file when no printer is installed (the
// dialog's title says so). A PDF is written beside its target and put in its place only when complete.
#pragma once

#include <QString>
#include <functional>

class QPrinter;
class QWidget;

// Whether the system knows any printer; without one, printing goes to a PDF file.
bool PrinterInstalled();

// Runs the dialog (or `runDialog`, which tests answer: true to print), then `paint`, which returns empty
// on success or why it failed. A failure is shown in a message box; false when cancelled or failed.
// Without a printer the dialog offers `pdfName`.pdf in the user's documents.
bool RunPrintJob(QWidget* window, const QString& pdfName,
                 const std::function<bool(QPrinter& printer, bool toPdf)>& runDialog,
                 const std::function<QString(QPrinter& printer)>& paint);
