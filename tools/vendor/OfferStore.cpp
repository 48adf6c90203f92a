#include "OfferStore.h"

#include "Cp1251.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrlQuery>
#include <QVariant>
#include <cmath>

namespace {

const char* const Columns[] = {"city",  "id",     "rooms",  "metro", "build_id", "level",
                               "max_level", "material", "sanuzel", "balcon", "s_all", "s_live",
                               "s_kitchen", "cost", "comment", "agency", "street"};
constexpr int ColumnCount = int(std::size(Columns));

// Texts go into a "|"-separated reply: a bar or a control character would break its fields.
QString FieldText(const QString& s) {
    QString out = s;
    for (QChar& c : out)
        if (c == u'|' || c.unicode() < 0x20 || c.unicode() == 0x7F) c = u' ';
    return out;
}

// A plain decimal integer of 32 bits: digits with an optional minus, nothing else.
std::optional<qint32> PlainInt(const QString& s) {
    if (s.isEmpty() || s.size() > 11) return std::nullopt;
    for (qsizetype i = 0; i < s.size(); ++i)
        if (!(s[i].isDigit() && s[i].unicode() < 128) && !(i == 0 && s[i] == u'-' && s.size() > 1))
            return std::nullopt;
    bool ok = false;
    const int v = s.toInt(&ok);
    return ok ? std::optional<qint32>(v) : std::nullopt;
}

QVariant Value(const std::optional<qint32>& v) {
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<int>());
}
QVariant Value(const std::optional<double>& v) {
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<double>());
}

// Texts are never NULL in the table; an empty one is ''.
QVariant Value(const QString& s) {
    return QVariant(s.isNull() ? QStringLiteral("") : s);
}

QByteArray Number(const QVariant& v) {
    if (v.isNull()) return {};
    if (v.typeId() == QMetaType::Double) {
        QByteArray s = QByteArray::number(v.toDouble(), 'f', 2);
        while (s.endsWith('0'))
            s.chop(1);
        if (s.endsWith('.')) s.chop(1);
        return s;
    }
    return QByteArray::number(v.toLongLong());
}

// Splits one file into records of fields: commas separate, quotes enclose commas, line breaks and
// doubled quotes. A line break outside quotes ends a record.
QString SplitCsv(const QString& text, std::vector<std::pair<int, QStringList>>& records) {
    QStringList fields;
    QString field;
    bool quoted = false, wasQuoted = false;
    int line = 1, recordLine = 1;
    const auto endField = [&] {
        fields << field;
        field.clear();
        wasQuoted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == u'\n') ++line;
                field += c;
            }
        } else if (c == u'"') {
            if (!field.isEmpty() || wasQuoted) return QStringLiteral("line %1: a quote inside a field").arg(line);
            quoted = wasQuoted = true;
        } else if (c == u',') {
            endField();
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            endField();
            if (!(fields.size() == 1 && fields[0].isEmpty())) records.push_back({recordLine, fields});
            fields.clear();
            recordLine = ++line;
        } else {
            if (wasQuoted) return QStringLiteral("line %1: text after a closing quote").arg(line);
            field += c;
        }
    }
    if (quoted) return QStringLiteral("line %1: a quote is not closed").arg(recordLine);
    if (!field.isEmpty() || !fields.isEmpty() || wasQuoted) {
        endField();
        records.push_back({recordLine, fields});
    }
    return {};
}

} // namespace

QByteArray OffersCsvHeader() {
    QByteArray h;
    for (const char* c : Columns)
        h += (h.isEmpty() ? "" : ",") + QByteArray(c);
    return h + '\n';
}

QByteArray OffersCsvLine(const StoredOffer& o) {
    const auto text = [](const QString& s) {
        QString q = s;
        q.replace(u'"', QStringLiteral("\"\""));
        return '"' + q.toUtf8() + '"';
    };
    const auto n = [](const auto& v) { return Number(Value(v)); };
    QList<QByteArray> f{text(o.city),       QByteArray::number(o.id), n(o.rooms),   text(o.metro),
                        n(o.build_id),      n(o.level),               n(o.max_level), n(o.material),
                        n(o.sanuzel),       n(o.balcon),              n(o.s_all),   n(o.s_live),
                        n(o.s_kitchen),     n(o.cost),                text(o.comment), n(o.agency),
                        text(o.street)};
    return f.join(',') + '\n';
}

QString ReadOffersCsv(const QByteArray& data, std::vector<StoredOffer>& out) {
    QString text = QString::fromUtf8(data);
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    std::vector<std::pair<int, QStringList>> records;
    if (QString e = SplitCsv(text, records); !e.isEmpty()) return e;
    if (records.empty() || records[0].second.join(',') != QString::fromLatin1(OffersCsvHeader()).trimmed())
        return QStringLiteral("line 1: the header must be %1").arg(QString::fromLatin1(OffersCsvHeader()).trimmed());
    for (std::size_t r = 1; r < records.size(); ++r) {
        const auto& [line, f] = records[r];
        if (f.size() != ColumnCount)
            return QStringLiteral("line %1: %2 fields instead of %3").arg(line).arg(f.size()).arg(ColumnCount);
        StoredOffer o;
        QString bad;
        const auto integer = [&](int col) -> std::optional<qint32> {
            const QString v = f[col].trimmed();
            if (v.isEmpty()) return std::nullopt;
            const auto n = PlainInt(v);
            if (!n && bad.isEmpty()) bad = QString::fromLatin1(Columns[col]);
            return n;
        };
        const auto real = [&](int col) -> std::optional<double> {
            const QString v = f[col].trimmed();
            if (v.isEmpty()) return std::nullopt;
            bool ok = false;
            const double d = v.toDouble(&ok);
            if ((!ok || !std::isfinite(d) || d < 0 || d > 1e6) && bad.isEmpty()) bad = QString::fromLatin1(Columns[col]);
            return ok ? std::optional<double>(d) : std::nullopt;
        };
        o.city = f[0].trimmed();
        const auto id = integer(1);
        o.rooms = integer(2);
        o.metro = f[3];
        o.build_id = integer(4);
        o.level = integer(5);
        o.max_level = integer(6);
        o.material = integer(7);
        o.sanuzel = integer(8);
        o.balcon = integer(9);
        o.s_all = real(10);
        o.s_live = real(11);
        o.s_kitchen = real(12);
        o.cost = integer(13);
        o.comment = f[14];
        o.agency = integer(15);
        o.street = f[16];
        if (!bad.isEmpty()) return QStringLiteral("line %1: %2 is not a number").arg(line).arg(bad);
        if (o.city.isEmpty()) return QStringLiteral("line %1: no city").arg(line);
        if (!id || *id < 0) return QStringLiteral("line %1: the id must be a number of 0 or more").arg(line);
        o.id = *id;
        out.push_back(std::move(o));
    }
    return {};
}

OfferStore::OfferStore(const QString& path, const QString& connectionName) : name_(connectionName) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    if (!db.isValid()) {
        error_ = QStringLiteral("the SQLite driver of Qt (QSQLITE) is not installed");
        return;
    }
    db.setDatabaseName(path);
    // Readers and the publisher meet in one file: wait for each other instead of failing.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    open_ = db.open();
    if (!open_) {
        error_ = db.lastError().text();
        return;
    }
    // A city's offers stay in memory between queries.
    QSqlQuery(db).exec(QStringLiteral("PRAGMA cache_size=-32768"));
    QSqlQuery(db).exec(QStringLiteral("PRAGMA mmap_size=268435456"));
}

OfferStore::~OfferStore() {
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        if (db.isValid()) db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

bool OfferStore::CreateOffersTable() {
    QSqlQuery q(QSqlDatabase::database(name_));
    // Write-ahead logging lets the service read while publish-city writes.
    q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    const bool ok =
        q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS offers ("
                              "city TEXT NOT NULL, id INTEGER NOT NULL, rooms INTEGER, metro TEXT NOT NULL DEFAULT '',"
                              " build_id INTEGER, level INTEGER, max_level INTEGER, material INTEGER,"
                              " sanuzel INTEGER, balcon INTEGER, s_all REAL, s_live REAL, s_kitchen REAL,"
                              " cost INTEGER, comment TEXT NOT NULL DEFAULT '', agency INTEGER,"
                              " street TEXT NOT NULL DEFAULT '', PRIMARY KEY (city, id))")) &&
        // The usual query names the city, the rooms and the highest price.
        q.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS offers_by_rooms ON offers (city, rooms, cost)")) &&
        q.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS offers_by_material ON offers (city, rooms, material, cost)"));
    if (!ok) error_ = q.lastError().text();
    return ok;
}

bool OfferStore::ReplaceOffers(const std::vector<StoredOffer>& offers) {
    QSqlDatabase db = QSqlDatabase::database(name_);
    if (!db.transaction()) {
        error_ = db.lastError().text();
        return false;
    }
    QSqlQuery del(db), ins(db);
    bool ok = del.prepare(QStringLiteral("DELETE FROM offers WHERE city = ?")) &&
              ins.prepare(QStringLiteral("INSERT INTO offers VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    QStringList cleared;
    for (const StoredOffer& o : offers) {
        if (!ok) break;
        if (!cleared.contains(o.city)) {
            cleared << o.city;
            del.addBindValue(o.city);
            ok = del.exec();
            if (!ok) break;
        }
        for (const QVariant& v :
             {QVariant(o.city), QVariant(o.id), Value(o.rooms), Value(o.metro), Value(o.build_id), Value(o.level),
              Value(o.max_level), Value(o.material), Value(o.sanuzel), Value(o.balcon), Value(o.s_all),
              Value(o.s_live), Value(o.s_kitchen), Value(o.cost), Value(o.comment), Value(o.agency),
              Value(o.street)})
            ins.addBindValue(v);
        ok = ins.exec();
    }
    if (!ok) {
        error_ = (del.lastError().isValid() ? del.lastError() : ins.lastError()).text();
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        error_ = db.lastError().text();
        db.rollback();
        return false;
    }
    return true;
}

std::optional<QByteArray> OfferStore::Select(const QUrlQuery& query) {
    const auto param = [&](const char* name) { return query.queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded); };
    QString sql = QStringLiteral("SELECT id, rooms, metro, build_id, level, max_level, material, sanuzel, balcon,"
                                 " s_all, s_live, s_kitchen, cost, comment, agency, street FROM offers WHERE city = ?");
    QVariantList values{param("city")};
    bool matchesNothing = param("city").size() > 256;
    // Filters of a number: the value must be a plain number, or the filter matches nothing.
    const struct {
        const char* name;
        const char* condition;
    } numeric[] = {{"material", " AND material = ?"}, {"rooms", " AND rooms = ?"}, {"cost", " AND cost <= ?"},
                   {"sanuzel", " AND sanuzel = ?"},   {"balcon", " AND balcon = ?"}};
    for (const auto& n : numeric) {
        if (!query.hasQueryItem(QString::fromLatin1(n.name))) continue;
        const auto v = PlainInt(param(n.name));
        if (!v) matchesNothing = true;
        sql += QString::fromLatin1(n.condition);
        values << QVariant(v.value_or(0));
    }
    if (param("NotFirstLevel") == u"1") sql += QStringLiteral(" AND (level IS NULL OR level <> 1)");
    if (param("NotLastLevel") == u"1")
        sql += QStringLiteral(" AND (level IS NULL OR max_level IS NULL OR level < max_level)");
    sql += QStringLiteral(" ORDER BY id LIMIT ?");
    values << MaxRepliedOffers;

    QByteArray reply = "offers|";
    if (matchesNothing) return reply;
    QSqlQuery q(QSqlDatabase::database(name_));
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        error_ = q.lastError().text();
        return std::nullopt;
    }
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        error_ = q.lastError().text();
        return std::nullopt;
    }
    static constexpr bool IsText[16] = {false, false, true,  false, false, false, false, false,
                                        false, false, false, false, false, true,  false, true};
    QString text;
    while (q.next()) {
        for (int i = 0; i < 16; ++i) {
            const QVariant v = q.value(i);
            text += IsText[i] ? FieldText(v.toString()) : QString::fromLatin1(Number(v));
            text += u'|';
        }
    }
    return reply + ToCp1251(text);
}
