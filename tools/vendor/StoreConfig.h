// Where the vendor service keeps its data: an embedded SQLite file (the default) or a PostgreSQL
// database that several service processes share. Both are reached through Qt SQL (QSQLITE, QPSQL)
// with the same statements and bound values; the few that differ are chosen by `Engine`.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <optional>

struct StoreConfig {
    enum class Engine { SQLite, PostgreSQL };
    Engine engine = Engine::SQLite;
    QString path; // SQLite: the file
    // PostgreSQL: the server and the database; the password never comes from the command line.
    QString host, user, database, password;
    int port = 5432;

    bool postgres() const { return engine == Engine::PostgreSQL; }
    // For messages: the file, or postgresql://USER@HOST:PORT/DB (never the password).
    QString Describe() const;
};

// `text` is "sqlite:PATH", a plain PATH (SQLite as well) or "postgresql://USER@HOST[:PORT]/DB".
// A password written into the address is refused: it would show in the process list. The
// password comes from `passwordFile` (its first line) when given, else from TESSARA_DB_PASSWORD;
// libpq's own PGPASSWORD and ~/.pgpass work as well. Empty optional and `error` set when wrong.
std::optional<StoreConfig> ParseStoreOption(const QString& text, const QString& passwordFile, QString& error);

// Opens a connection of its own under `connectionName` (use it only in the thread that opens it).
// Not open, with `error` set, when the database cannot be reached.
QSqlDatabase OpenStore(const StoreConfig& config, const QString& connectionName, QString& error);

// Creates or brings up to date every table and index of the service (a version table records
// how far), so that any process started against a fresh or an older database finds what it needs.
// Several processes may run it at once.
bool MigrateStore(QSqlDatabase& db, const StoreConfig& config, QString& error);
// The schema version MigrateStore leaves.
inline constexpr int StoreSchemaVersion = 2;
