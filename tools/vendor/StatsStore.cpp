#include "StatsStore.h"

#include <QSqlQuery>
#include <QVariant>

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
                               "ON CONFLICT (kind, org, city) DO UPDATE SET count = stats.count + 1"));
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

bool AddRequestCounts(QSqlDatabase& db, const QHash<QString, qint64>& counts) {
    // All or nothing, so that counts kept for another try are never added twice.
    if (!db.transaction()) return false;
    QSqlQuery q(db);
    bool ok = q.prepare(QStringLiteral("INSERT INTO requests (path, count) VALUES (?, ?) "
                                       "ON CONFLICT (path) DO UPDATE SET count = requests.count + excluded.count"));
    for (auto it = counts.begin(); ok && it != counts.end(); ++it) {
        q.addBindValue(it.key());
        q.addBindValue(it.value());
        ok = q.exec();
    }
    if (ok && db.commit()) return true;
    db.rollback();
    return false;
}

QList<std::pair<QString, qint64>> ListRequestCounts(QSqlDatabase& db) {
    QList<std::pair<QString, qint64>> result;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT path, count FROM requests ORDER BY path"))) return result;
    while (q.next())
        result.append({q.value(0).toString(), q.value(1).toLongLong()});
    return result;
}
