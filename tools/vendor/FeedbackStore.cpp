#include "FeedbackStore.h"

#include <QSqlQuery>
#include <QVariant>

StoreResult AddFeedback(QSqlDatabase& db, const FeedbackMessage& m) {
    QSqlQuery count(db);
    if (!count.exec(QStringLiteral("SELECT COUNT(*) FROM feedback")) || !count.next()) return StoreResult::Failed;
    const qint64 stored = count.value(0).toLongLong();
    // A statement left open keeps its read transaction: the insert could then not wait for another
    // writer and would fail at once with "database is locked".
    count.finish();
    if (stored >= MaxFeedbackRows) return StoreResult::Full;
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO feedback (time, client, recipient, subject, message) VALUES (?, ?, ?, ?, ?)"));
    q.addBindValue(m.time);
    q.addBindValue(m.client);
    q.addBindValue(m.recipient);
    q.addBindValue(m.subject);
    q.addBindValue(m.message);
    return q.exec() ? StoreResult::Stored : StoreResult::Failed;
}

QList<FeedbackMessage> ListFeedback(QSqlDatabase& db) {
    QList<FeedbackMessage> result;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT time, client, recipient, subject, message FROM feedback ORDER BY id")))
        return result;
    while (q.next())
        result.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                       q.value(3).toString(), q.value(4).toString()});
    return result;
}
