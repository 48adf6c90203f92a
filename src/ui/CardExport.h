// The cards' right-click menu pmCards: copy one card to the clipboard as text, print one card or all
// of them through the system print dialog (to a PDF file when no printer is installed).
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QAction;
class QMenu;
class QPoint;
class QPrinter;
class QWidget;
class TCardList;

class CardExport : public QObject {
public:
    CardExport(TCardList& list, QWidget* window);

    // The menu for a right click on the cards; `org` is the organisation of the card under the
    // pointer, -1 for none or a route card.
    void Popup(const QPoint& globalPos, int org);
    void mnuCopyClick();
    void mnuPrintClick();
    void mnuPrintAllClick();
    // The system print dialog, then the lines; false when cancelled or failed (the error is shown).
    // Without a printer the dialog offers `pdfName`.pdf in the user's documents.
    bool PrintLines(const QStringList& lines, const QString& pdfName = QStringLiteral("cards"));

    QMenu* pmCards;
    QAction *mnuCopy, *mnuPrint, *mnuPrintAll;

    // Runs the print dialog on a prepared printer; true to print. Tests answer it.
    std::function<bool(QPrinter& printer, bool toPdf)> runPrintDialog;

private:
    TCardList& list_;
    QWidget* window_;
};
