// Printed text lines: clear of the paper's edge (the device's margins, at least 10 mm) and a card (a run of
// lines between empty ones) kept on one page where it fits. Read back from the PDF with pdftotext.
#include "TextPrint.h"

#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>

namespace {

struct Word {
    int page;
    QRectF box; // points
    QString text;
};

std::vector<Word> PdfWords(const QString& file, QSizeF& page) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
    if (!p.waitForFinished(20000)) return {};
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    std::vector<Word> words;
    int pageNo = -1;
    static const QRegularExpression tag(
        QStringLiteral(R"re(<page width="([\d.]+)" height="([\d.]+)">|<word xMin="([\d.]+)" yMin="([\d.]+)" )re"
                       R"re(xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (!m.captured(1).isEmpty()) {
            ++pageNo;
            page = QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
            continue;
        }
        words.push_back({pageNo,
                         QRectF(QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()),
                                QPointF(m.captured(5).toDouble(), m.captured(6).toDouble())),
                         m.captured(7)});
    }
    return words;
}

TEST(TextPrint, KeepsClearOfThePaperEdgeAndACardOnOnePage) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is missing: run scripts/deps.sh";
    // Six cards of four lines on pages that hold about ten: without care the third card breaks.
    QStringList lines;
    for (int card = 0; card < 6; ++card) {
        lines << QStringLiteral("Card%1").arg(card);
        for (int k = 0; k < 3; ++k)
            lines << QStringLiteral("card%1line%2").arg(card).arg(k);
        lines << QString();
    }
    constexpr qreal mm = 72 / 25.4;
    const struct {
        qreal given, kept; // margins in millimetres
    } cases[] = {{0, 10}, {3.5, 10}, {15, 15}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("cards.pdf"));
        {
            QPdfWriter pdf(file);
            pdf.setPageSize(QPageSize(QSizeF(100, 70), QPageSize::Millimeter));
            pdf.setPageMargins(QMarginsF(c.given, c.given, c.given, c.given), QPageLayout::Millimeter);
            ASSERT_EQ(PaintLines(pdf, lines), QString());
        }
        QSizeF page;
        const std::vector<Word> words = PdfWords(file, page);
        ASSERT_EQ(words.size(), std::size_t(lines.size() - 6));
        std::map<QString, int> pageOfCard;
        int pages = 0;
        for (const Word& w : words) {
            const qreal edge = c.kept * mm - 0.5;
            EXPECT_GE(w.box.left(), edge) << w.text.toStdString();
            EXPECT_GE(w.box.top(), edge) << w.text.toStdString();
            EXPECT_LE(w.box.right(), page.width() - edge) << w.text.toStdString();
            EXPECT_LE(w.box.bottom(), page.height() - edge + 3) << w.text.toStdString();
            const QString card = w.text.left(5).toLower();
            if (!pageOfCard.count(card)) pageOfCard[card] = w.page;
            EXPECT_EQ(w.page, pageOfCard[card]) << w.text.toStdString() << " left its card's page";
            pages = std::max(pages, w.page + 1);
        }
        EXPECT_GT(pages, 1) << "the cards fill more than a page";
    }
}

} // namespace
