// Counts of the statistics requests ("incOrg", "incOpen" and the web-tab checks) per organisation and
// city.
#pragma once

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>

// Distinct (kind, organisation, city) rows kept at most; a new one past that is not counted, so that
// made-up cities cannot fill the disk.
inline constexpr int MaxStatsRows = 100000;

struct StatsRow {
    QString kind; // "org", "open", "News", "Notes", "Afisha", "Admin", "Weather"
    qint64 org = -1;
    QString city;
    qint64 count = 0;
};

bool CountStat(QSqlDatabase& db, const QString& kind, qint64 org, const QString& city);
// Ordered by kind, city, organisation.
QList<StatsRow> ListStats(QSqlDatabase& db);

// Requests served per path: each process adds what it counted since it last did, in one statement
// per path, so that the sums of several processes are never lost to each other.
bool AddRequestCounts(QSqlDatabase& db, const QHash<QString, qint64>& counts);
// Path and count, ordered by path.
QList<std::pair<QString, qint64>> ListRequestCounts(QSqlDatabase& db);
