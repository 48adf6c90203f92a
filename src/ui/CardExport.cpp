#include "CardExport.h"

#include "CardText.h"
#include "Settings.h"
#include "TCardList.h"
#include "TextPrint.h"
#include "TextTable.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
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

CardExport::CardExport(TCardList& list, QWidget* window) : QObject(window), list_(list), window_(window) {
    pmCards = new QMenu(window);
    pmCards->setObjectName(QStringLiteral("pmCards"));
    auto item = [this](const char* name, const char16_t* text) {
        QAction* a = pmCards->addAction(LangText(text));
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    mnuCopy = item("mnuCopy", u"Copy");
    mnuPrint = item("mnuPrint", u"PrintCard");
    pmCards->addSeparator();
    mnuPrintAll = item("mnuPrintAll", u"PrintAll");
    connect(mnuCopy, &QAction::triggered, this, &CardExport::mnuCopyClick);
    connect(mnuPrint, &QAction::triggered, this, &CardExport::mnuPrintClick);
    connect(mnuPrintAll, &QAction::triggered, this, &CardExport::mnuPrintAllClick);
}

void CardExport::Popup(const QPoint& globalPos, int org) {
    // Printing works without a printer too (to a PDF file), so only a card decides.
    for (QAction* a : {mnuCopy, mnuPrint}) {
        a->setData(org);
        a->setEnabled(org >= 0);
    }
    mnuPrintAll->setEnabled(!list_.cards.crds.empty());
    pmCards->popup(globalPos);
}

void CardExport::mnuCopyClick() {
    const int org = mnuCopy->data().toInt();
    if (!list_.Db() || org < 0) return;
    // Qt turns the line feeds into the platform's line ends.
    const QStringList lines = CardText(*list_.Db(), org, list_.Index()->DataLang(), CurrentShellLang());
    QGuiApplication::clipboard()->setText(lines.join(u'\n'));
}

void CardExport::mnuPrintClick() {
    const int org = mnuPrint->data().toInt();
    if (!list_.Db() || org < 0) return;
    PrintLines(CardText(*list_.Db(), org, list_.Index()->DataLang(), CurrentShellLang()),
               QStringLiteral("card"));
}

void CardExport::mnuPrintAllClick() {
    if (!list_.Db()) return;
    std::vector<int> orgs;
    for (const TCard& c : list_.cards.crds)
        orgs.push_back(c.org);
    const QStringList lines = AllCardsText(*list_.Db(), orgs, list_.Index()->DataLang(), CurrentShellLang());
    if (lines.size() > 1) PrintLines(lines);
}

bool CardExport::PrintLines(const QStringList& lines, const QString& pdfName) {
    QPrinter printer(QPrinter::HighResolution);
    const bool toPdf = !PrinterInstalled();
    if (toPdf) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(PdfFileFor(pdfName));
    }
    bool accepted = false;
    if (runPrintDialog) {
        accepted = runPrintDialog(printer, toPdf);
    } else {
        QPrintDialog dialog(&printer, window_);
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
            error = PaintLines(printer, lines);
            std::error_code e;
            if (error.isEmpty())
                std::filesystem::rename(QFile::encodeName(part.fileName()).toStdString(),
                                        QFile::encodeName(target).toStdString(), e);
            if (e) error = QString::fromStdString(e.message());
            printer.setOutputFileName(target);
        }
    } else {
        error = PaintLines(printer, lines);
    }
    if (error.isEmpty()) return true;
    QMessageBox::critical(window_, LangText(u"Printing"), LangText(u"Error") + QStringLiteral("!\n") + error);
    return false;
}
