// What a label shows of its text, for checks that text from outside is shown literally: a label that
// takes its text for rich text lays the markup out (and reads an <img>'s file) instead of showing it.
#pragma once

#include <QLabel>
#include <QTextDocument>

inline bool ShowsRichText(const QLabel* label) {
    return label->textFormat() == Qt::RichText ||
           (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
}

// The text as the reader sees it. Call it only for texts whose pictures, if any, point nowhere: a
// document made from rich text may load them.
inline QString ShownText(const QString& text, bool rich) {
    if (!rich) return text;
    QTextDocument doc;
    doc.setHtml(text);
    return doc.toPlainText();
}

inline QString ShownText(const QLabel* label) {
    return ShownText(label->text(), ShowsRichText(label));
}
