// The service's SQLite store: one file, a connection per serving thread, each table created by its
// own function on first use.
#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

// The calling thread's connection to the store at `path`, opened (and the tables created) on first
// use. Not valid when the file cannot be opened.
QSqlDatabase StoreForThread(const QString& path);

// One field of a listing on one line: tab, line breaks, backslash and other control characters are
// escaped; letters of any script are kept as they are.
QByteArray ListField(const QString& text);
