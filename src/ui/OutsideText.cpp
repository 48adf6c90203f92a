#include "OutsideText.h"

#include <QTextDocument>

QString LiteralText(const QString& text) {
    if (!Qt::mightBeRichText(text)) return text;
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}
