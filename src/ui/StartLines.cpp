#include "StartLines.h"

#include "OutsideText.h"
#include "TfrmStart.h"

#include <QFontMetrics>
#include <QLabel>
#include <algorithm>

namespace {

// A piece with the whole text it was given.
struct Piece {
    TShadowLabel* label;
    int gap;
    QString whole;
};
using Line = std::vector<Piece>;

void SetPointSize(TShadowLabel& l, int points) {
    for (QLabel* q : {l.text, l.shadow}) {
        QFont f = q->font();
        f.setPointSize(points);
        q->setFont(f);
    }
}

// The width the label takes with `text`, as its own size rule gives it.
int Width(const TShadowLabel& l, const QString& text) {
    l.text->setText(text);
    l.text->adjustSize();
    return l.text->width();
}

int LineWidth(const Line& line) {
    int w = 0;
    for (size_t i = 0; i < line.size(); ++i) w += (i ? line[i].gap : 0) + Width(*line[i].label, line[i].whole);
    return w;
}

// Places a line at (left, top); its longest piece is shortened when the line is wider than `width`.
void PlaceLine(const Line& line, int left, int top, int width) {
    const int excess = LineWidth(line) - width;
    const Piece* longest = nullptr;
    if (excess > 0)
        for (const Piece& p : line)
            if (!longest || Width(*p.label, p.whole) > Width(*longest->label, longest->whole)) longest = &p;
    int x = left;
    for (size_t i = 0; i < line.size(); ++i) {
        TShadowLabel& l = *line[i].label;
        QString shown = line[i].whole;
        if (longest == &line[i]) {
            const int room = std::max(0, Width(l, shown) - excess);
            shown = QFontMetrics(l.text->font()).elidedText(shown, Qt::ElideRight, room);
        }
        l.setText(shown);
        const bool shortened = shown != line[i].whole;
        for (QLabel* q : {l.text, l.shadow}) {
            q->setProperty("fullText", shortened ? QVariant(line[i].whole) : QVariant());
            q->setToolTip(shortened ? LiteralText(line[i].whole) : QString());
        }
        x += i ? line[i].gap : 0;
        l.move(x, top);
        x += l.text->width();
    }
}

} // namespace

QString FullText(const QLabel* label) {
    const QVariant full = label->property("fullText");
    return full.isValid() ? full.toString() : label->text();
}

int FitLine(const std::vector<LinePiece>& pieces, const QRect& band, const std::vector<int>& pointSizes) {
    if (pieces.empty() || pointSizes.empty()) return 0;
    Line all;
    for (const LinePiece& p : pieces) all.push_back({p.label, p.gap, p.label->text->text()});
    const Line first(all.begin(), all.begin() + 1);
    Line second(all.begin() + 1, all.end());
    if (!second.empty()) second.front().gap = 0;
    const int width = band.width();
    auto lineHeight = [&] { return all.front().label->text->sizeHint().height(); };
    auto roomForTwo = [&] { return !second.empty() && 2 * lineHeight() <= band.height(); };
    auto oneLine = [&] { PlaceLine(all, band.left(), band.top() + std::max(0, (band.height() - lineHeight()) / 2), width); };
    auto twoLines = [&] {
        PlaceLine(first, band.left(), band.top(), width);
        PlaceLine(second, band.left(), band.top() + lineHeight(), width);
    };
    for (int points : pointSizes) {
        for (const Piece& p : all) SetPointSize(*p.label, points);
        if (LineWidth(all) <= width) {
            oneLine();
            return points;
        }
        if (roomForTwo() && LineWidth(first) <= width && LineWidth(second) <= width) {
            twoLines();
            return points;
        }
    }
    // Too long even at the smallest size: what does not fit is shortened.
    if (roomForTwo()) twoLines();
    else oneLine();
    return pointSizes.back();
}
