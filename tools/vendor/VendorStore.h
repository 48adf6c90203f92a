// The service's store seen from its threads: a connection per thread, opened on first use and
// opened again after the database went away.
#pragma once

#include "StoreConfig.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

// The calling thread's connection to the store, opened on first use (the schema is the caller's
// business: MigrateStore once at start). Not open when the database cannot be reached.
QSqlDatabase StoreForThread(const StoreConfig& config);
// After a failed statement: when the connection itself is lost (a restarted server), it is closed,
// so that the thread's next use opens a fresh one.
void CheckStoreConnection(QSqlDatabase& db);

// One field of a listing on one line: tab, line breaks, backslash and other control characters are
// escaped; letters of any script are kept as they are.
QByteArray ListField(const QString& text);
