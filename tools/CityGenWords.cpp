#include "CityGenWords.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>

namespace citygen {

QString Translit(const QString& ru) {
    QString out;
    for (QChar c : ru) {
        const bool upper = c.isUpper();
        QChar lc = c.toLower();
        if (lc == u'ё') lc = u'е';
        if (lc >= u'а' && lc <= u'я') {
            QString t = QString::fromLatin1(TranslitTable[lc.unicode() - u'а']);
            if (upper && !t.isEmpty()) t[0] = t[0].toUpper();
            out += t;
        } else if (c != u'«' && c != u'»') {
            out += c;
        }
    }
    return out;
}

QString U(const char* s) {
    return QString::fromUtf8(s);
}

QByteArray Jpeg(int w, int h, QColor color, const QString& text, int quality) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    QPainter p(&img);
    p.setPen(color.lightness() > 140 ? Qt::black : Qt::white);
    p.drawRect(1, 1, w - 3, h - 3);
    QFont f(QStringLiteral("Liberation Sans"));
    f.setBold(true);
    // The largest size up to a third of the height whose lines stay inside the frame with a margin.
    const QRect box = img.rect().adjusted(6, 4, -6, -4);
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    for (int size = std::max(8, std::min(h / 3, 28)); size >= 8; --size) {
        f.setPixelSize(size);
        const QRect need = QFontMetrics(f).boundingRect(box, flags, text);
        if (need.width() <= box.width() && need.height() <= box.height()) break;
    }
    p.setFont(f);
    p.drawText(box, flags, text);
    p.end();
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPG", quality);
    return bytes;
}

QByteArray HtmlPage(const QString& title, const QString& text) {
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title></head>\n"
                          "<body><h1>%1</h1><p>%2</p></body></html>\n")
        .arg(title.toHtmlEscaped(), text.toHtmlEscaped())
        .toUtf8();
}

} // namespace citygen
