#include "StoreConfig.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

QString StoreConfig::Describe() const {
    if (!postgres()) return path;
    return QStringLiteral("postgresql://%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
}

std::optional<StoreConfig> ParseStoreOption(const QString& text, const QString& passwordFile, QString& error) {
    StoreConfig c;
    if (text.startsWith(QLatin1String("postgresql://")) || text.startsWith(QLatin1String("postgres://"))) {
        const QUrl url(text, QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty() || url.path().size() < 2 || url.hasQuery() ||
            url.hasFragment()) {
            error = QStringLiteral("--db: write postgresql://USER@HOST:PORT/DATABASE");
            return std::nullopt;
        }
        if (!url.password().isEmpty()) {
            error = QStringLiteral("--db: no password in the address (anyone can read a command line); give "
                                   "--db-password-file or TESSARA_DB_PASSWORD");
            return std::nullopt;
        }
        c.engine = StoreConfig::Engine::PostgreSQL;
        c.host = url.host();
        c.port = url.port(5432);
        c.user = url.userName();
        c.database = url.path().mid(1);
        if (!passwordFile.isEmpty()) {
            QFile f(passwordFile);
            if (!f.open(QIODevice::ReadOnly) || f.size() > 4096) {
                error = QStringLiteral("--db-password-file: cannot read %1").arg(passwordFile);
                return std::nullopt;
            }
            c.password = QString::fromUtf8(f.readLine()).trimmed();
        } else {
            c.password = qEnvironmentVariable("TESSARA_DB_PASSWORD");
        }
        return c;
    }
    c.path = text.startsWith(QLatin1String("sqlite:")) ? text.mid(7) : text;
    if (c.path.isEmpty()) {
        error = QStringLiteral("--db: write sqlite:PATH or postgresql://USER@HOST:PORT/DATABASE");
        return std::nullopt;
    }
    return c;
}

QSqlDatabase OpenStore(const StoreConfig& config, const QString& connectionName, QString& error) {
    QSqlDatabase db =
        QSqlDatabase::addDatabase(config.postgres() ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), connectionName);
    if (!db.isValid()) {
        error = config.postgres() ? QStringLiteral("the PostgreSQL driver of Qt (QPSQL, libqt6sql6-psql) is not installed")
                                  : QStringLiteral("the SQLite driver of Qt (QSQLITE) is not installed");
        return db;
    }
    if (config.postgres()) {
        db.setHostName(config.host);
        db.setPort(config.port);
        db.setUserName(config.user);
        db.setDatabaseName(config.database);
        if (!config.password.isEmpty()) db.setPassword(config.password);
        // An unreachable server is reported in seconds, not after the system's TCP time-out.
        db.setConnectOptions(QStringLiteral("connect_timeout=5;application_name=tessara-vendor"));
    } else {
        db.setDatabaseName(config.path);
        // Several threads and processes write the one file: they wait for each other instead of failing.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }
    if (!db.open()) {
        error = db.lastError().text();
        return db;
    }
    if (!config.postgres()) {
        QSqlQuery q(db);
        // Write-ahead logging lets readers go on while a writer (publish-city) works.
        q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        // 32 MB of pages: a large load writes each page once instead of spilling it again and again.
        q.exec(QStringLiteral("PRAGMA cache_size=-32768"));
    }
    return db;
}

namespace {

// The statements that bring the schema from version i to i + 1. Where the dialects differ, the
// step names both.
struct Step {
    const char* common;
    const char* sqlite;
    const char* postgres;
};

const Step Steps[][6] = {
    // 1: feedback, statistics and offers.
    {{nullptr,
      "CREATE TABLE IF NOT EXISTS feedback (id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT NOT NULL, "
      "client TEXT NOT NULL, recipient TEXT NOT NULL, subject TEXT NOT NULL, message TEXT NOT NULL)",
      "CREATE TABLE IF NOT EXISTS feedback (id BIGSERIAL PRIMARY KEY, time TEXT NOT NULL, "
      "client TEXT NOT NULL, recipient TEXT NOT NULL, subject TEXT NOT NULL, message TEXT NOT NULL)"},
     {"CREATE TABLE IF NOT EXISTS stats (kind TEXT NOT NULL, org BIGINT NOT NULL, city TEXT NOT NULL, "
      "count BIGINT NOT NULL, PRIMARY KEY (kind, org, city))",
      nullptr, nullptr},
     {"CREATE TABLE IF NOT EXISTS offers (city TEXT NOT NULL, id INTEGER NOT NULL, rooms INTEGER,"
      " metro TEXT NOT NULL DEFAULT '', build_id INTEGER, level INTEGER, max_level INTEGER, material INTEGER,"
      " sanuzel INTEGER, balcon INTEGER, s_all DOUBLE PRECISION, s_live DOUBLE PRECISION,"
      " s_kitchen DOUBLE PRECISION, cost INTEGER, comment TEXT NOT NULL DEFAULT '', agency INTEGER,"
      " street TEXT NOT NULL DEFAULT '', PRIMARY KEY (city, id))",
      nullptr, nullptr},
     // The usual query names the city, the rooms and the highest price.
     {"CREATE INDEX IF NOT EXISTS offers_by_rooms ON offers (city, rooms, cost)", nullptr, nullptr},
     {"CREATE INDEX IF NOT EXISTS offers_by_material ON offers (city, rooms, material, cost)", nullptr, nullptr},
     {}},
    // 2: requests served per path, summed over every service process; the offers' version per city.
    {{"CREATE TABLE IF NOT EXISTS requests (path TEXT PRIMARY KEY, count BIGINT NOT NULL)", nullptr, nullptr},
     {"CREATE TABLE IF NOT EXISTS offers_version (city TEXT PRIMARY KEY, version BIGINT NOT NULL)", nullptr, nullptr},
     {}},
};
static_assert(std::size(Steps) == StoreSchemaVersion);

} // namespace

bool MigrateStore(QSqlDatabase& db, const StoreConfig& config, QString& error) {
    QSqlQuery q(db);
    const auto run = [&](const QString& sql) {
        if (q.exec(sql)) return true;
        error = q.lastError().text();
        return false;
    };
    // One process at a time: the others wait here and then find the work done. SQLite takes the
    // file's write lock at once; PostgreSQL an advisory lock that ends with the transaction.
    if (!run(config.postgres() ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"))) return false;
    const bool ok = [&] {
        if (config.postgres() && !run(QStringLiteral("SELECT pg_advisory_xact_lock(7736201)"))) return false;
        if (!run(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)")) ||
            !run(QStringLiteral("SELECT MAX(version) FROM schema_version")))
            return false;
        const int version = q.next() ? q.value(0).toInt() : 0;
        q.finish();
        if (version > StoreSchemaVersion) {
            error = QStringLiteral("the database has schema version %1; this service knows up to %2")
                        .arg(version)
                        .arg(StoreSchemaVersion);
            return false;
        }
        for (int v = version; v < StoreSchemaVersion; ++v)
            for (const Step& s : Steps[v]) {
                const char* sql = s.common ? s.common : config.postgres() ? s.postgres : s.sqlite;
                if (sql && !run(QString::fromLatin1(sql))) return false;
            }
        if (version == StoreSchemaVersion) return true;
        return run(QStringLiteral("DELETE FROM schema_version")) &&
               run(QStringLiteral("INSERT INTO schema_version (version) VALUES (%1)").arg(StoreSchemaVersion));
    }();
    if (!ok) {
        const QString e = error;
        q.exec(QStringLiteral("ROLLBACK"));
        error = e;
        return false;
    }
    return run(QStringLiteral("COMMIT"));
}
