#include "VendorStore.h"

#include <QSqlQuery>
#include <QThread>

QSqlDatabase StoreForThread(const StoreConfig& config) {
    const QString name = QStringLiteral("store-%1").arg(quintptr(QThread::currentThreadId()));
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen()) return db;
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    QString error;
    return OpenStore(config, name, error);
}

void CheckStoreConnection(QSqlDatabase& db) {
    if (db.driverName() != QLatin1String("QPSQL")) return;
    // A lost server leaves the connection open in name; a plain query shows whether it still answers.
    QSqlQuery ping(db);
    if (!ping.exec(QStringLiteral("SELECT 1"))) db.close();
}

QByteArray ListField(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
                 c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
        else
            out += c;
    }
    return out.toUtf8();
}
