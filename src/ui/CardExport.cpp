#include "CardExport.h"

#include "CardText.h"
#include "PrintJob.h"
#include "Settings.h"
#include "TCardList.h"
#include "TextPrint.h"
#include "TextTable.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QPrinter>

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
    return RunPrintJob(window_, pdfName, runPrintDialog, [&](QPrinter& printer) { return PaintLines(printer, lines); });
}
