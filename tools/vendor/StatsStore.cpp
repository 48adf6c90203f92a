#include "StatsStore.h"

#include <QSqlQuery>
#include <QVariant>

bool CreateStatsTable(QSqlDatabase& db) {
    return QSqlQuery(db).exec(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS stats (kind TEXT NOT NULL, org INTEGER NOT NULL, city TEXT NOT NULL, "
        "count INTEGER NOT NULL, PRIMARY KEY (kind, org, city))"));
}

bool CountStat(QSqlDatabase& db, const QString& kind, qint64 org, const QString& city) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE stats SET count = count + 1 WHERE kind = ? AND org = ? AND city = ?"));
    q.addBindValue(kind);
    q.addBindValue(org);
    q.addBindValue(city);
    if (!q.exec()) return false;
    if (q.numRowsAffected() > 0) return true;
    QSqlQuery n(db);
    if (!n.exec(QStringLiteral("SELECT COUNT(*) FROM stats")) || !n.next()) return false;
    const qint64 rows = n.value(0).toLongLong();
    // A statement left open keeps its read transaction: the insert could then not wait for another
    // writer and would fail at once with "database is locked", losing the count.
    n.finish();
    if (rows >= MaxStatsRows) return false;
    QSqlQuery add(db);
    // Another thread may have added the row meanwhile: then count on it.
    add.prepare(QStringLiteral("INSERT INTO stats (kind, org, city, count) VALUES (?, ?, ?, 1) "
                               "ON CONFLICT (kind, org, city) DO UPDATE SET count = count + 1"));
    add.addBindValue(kind);
    add.addBindValue(org);
    add.addBindValue(city);
    return add.exec();
}

QList<StatsRow> ListStats(QSqlDatabase& db) {
    QList<StatsRow> result;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT kind, org, city, count FROM stats ORDER BY kind, city, org"))) return result;
    while (q.next())
        result.append({q.value(0).toString(), q.value(1).toLongLong(), q.value(2).toString(),
                       q.value(3).toLongLong()});
    return result;
}
