#include "VendorStore.h"

#include "FeedbackStore.h"
#include "StatsStore.h"

#include <QSqlQuery>
#include <QThread>

QSqlDatabase StoreForThread(const QString& path) {
    const QString name = QStringLiteral("store-%1").arg(quintptr(QThread::currentThreadId()));
    if (QSqlDatabase::contains(name)) return QSqlDatabase::database(name);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    // Several threads write the one file: wait for each other instead of failing at once.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) return db;
    QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    if (!CreateFeedbackTable(db) || !CreateStatsTable(db)) db.close();
    return db;
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
