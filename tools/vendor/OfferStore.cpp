#include "OfferStore.h"

#include "Cp1251.h"

#include <QIODevice>
#include <QSet>
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

// A record of an offers file is one offer: far less than this, even with a long comment.
constexpr qsizetype MaxRecordChars = 1 << 20;
// Rows per INSERT statement while loading: fewer round trips to a database server.
constexpr int InsertBatch = 100;

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

OffersCsvReader::OffersCsvReader(QIODevice& in) : in_(in), decode_(QStringDecoder::Utf8) {}

bool OffersCsvReader::Peek(QChar& c) {
    if (pos_ >= buffer_.size()) {
        buffer_.clear();
        pos_ = 0;
        while (buffer_.isEmpty()) {
            const QByteArray bytes = in_.read(64 * 1024);
            if (bytes.isEmpty()) return false;
            buffer_ = decode_(bytes);
        }
    }
    c = buffer_[pos_];
    return true;
}

// Commas separate fields; quotes enclose commas, line breaks and doubled quotes. A line break
// outside quotes ends a record; blank lines are skipped.
bool OffersCsvReader::NextRecord(QStringList& fields, int& recordLine) {
    fields.clear();
    QString field;
    bool quoted = false, wasQuoted = false;
    qsizetype size = 0;
    recordLine = line_;
    const auto endField = [&] {
        fields << field;
        field.clear();
        wasQuoted = false;
    };
    QChar c;
    while (Peek(c)) {
        ++pos_;
        if (++size > MaxRecordChars) {
            error_ = QStringLiteral("line %1: a record longer than %2 characters").arg(recordLine).arg(MaxRecordChars);
            return false;
        }
        if (quoted) {
            if (c == u'"') {
                QChar next;
                if (Peek(next) && next == u'"') {
                    field += u'"';
                    ++pos_;
                } else {
                    quoted = false;
                }
            } else {
                if (c == u'\n') ++line_;
                field += c;
            }
        } else if (c == u'"') {
            if (!field.isEmpty() || wasQuoted) {
                error_ = QStringLiteral("line %1: a quote inside a field").arg(line_);
                return false;
            }
            quoted = wasQuoted = true;
        } else if (c == u',') {
            endField();
        } else if (c == u'\n' || c == u'\r') {
            QChar next;
            if (c == u'\r' && Peek(next) && next == u'\n') ++pos_;
            ++line_;
            endField();
            if (!(fields.size() == 1 && fields[0].isEmpty())) return true;
            fields.clear();
            recordLine = line_;
            size = 0;
        } else {
            if (wasQuoted) {
                error_ = QStringLiteral("line %1: text after a closing quote").arg(line_);
                return false;
            }
            field += c;
        }
    }
    if (quoted) {
        error_ = QStringLiteral("line %1: a quote is not closed").arg(recordLine);
        return false;
    }
    if (!field.isEmpty() || !fields.isEmpty() || wasQuoted) {
        endField();
        return true;
    }
    return false;
}

bool OffersCsvReader::Next(StoredOffer& o) {
    QStringList f;
    int line = 0;
    if (!header_) {
        const QString header = QString::fromLatin1(OffersCsvHeader()).trimmed();
        QChar c;
        if (Peek(c) && c == QChar(0xFEFF)) ++pos_;
        if (!NextRecord(f, line) || f.join(u',') != header) {
            if (error_.isEmpty()) error_ = QStringLiteral("line 1: the header must be %1").arg(header);
            return false;
        }
        header_ = true;
    }
    if (!NextRecord(f, line)) return false;
    if (f.size() != ColumnCount) {
        error_ = QStringLiteral("line %1: %2 fields instead of %3").arg(line).arg(f.size()).arg(ColumnCount);
        return false;
    }
    o = StoredOffer();
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
    if (!bad.isEmpty())
        error_ = QStringLiteral("line %1: %2 is not a number").arg(line).arg(bad);
    else if (o.city.isEmpty())
        error_ = QStringLiteral("line %1: no city").arg(line);
    else if (!id || *id < 0)
        error_ = QStringLiteral("line %1: the id must be a number of 0 or more").arg(line);
    if (!error_.isEmpty()) return false;
    o.id = *id;
    return true;
}

OfferStore::OfferStore(const StoreConfig& config, const QString& connectionName)
    : config_(config), name_(connectionName) {
    QSqlDatabase db = OpenStore(config, name_, error_);
    open_ = db.isOpen();
}

OfferStore::~OfferStore() {
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        if (db.isValid()) db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

bool OfferStore::Migrate() {
    QSqlDatabase db = QSqlDatabase::database(name_);
    return MigrateStore(db, config_, error_);
}

void OfferStore::KeepInMemory() {
    if (config_.postgres()) return; // the server keeps its own cache
    QSqlQuery q(QSqlDatabase::database(name_));
    q.exec(QStringLiteral("PRAGMA mmap_size=268435456"));
}

std::optional<qint64> OfferStore::Version(const QString& city) {
    if (city.contains(QChar(0))) return 0; // no such city; PostgreSQL refuses a NUL in a text
    QSqlQuery q(QSqlDatabase::database(name_));
    q.prepare(QStringLiteral("SELECT version FROM offers_version WHERE city = ?"));
    q.addBindValue(city);
    if (!q.exec()) {
        error_ = q.lastError().text();
        return std::nullopt;
    }
    return q.next() ? q.value(0).toLongLong() : 0;
}

bool OfferStore::ReplaceOffers(const std::vector<OfferSource*>& sources, qint64& count) {
    count = 0;
    QSqlDatabase db = QSqlDatabase::database(name_);
    if (!db.transaction()) {
        error_ = db.lastError().text();
        return false;
    }
    QSqlQuery del(db), batch(db);
    QString rows = QStringLiteral("(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    for (int i = 1; i < InsertBatch; ++i)
        rows += QStringLiteral(",(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    const QString insert = QStringLiteral("INSERT INTO offers VALUES ");
    QSqlQuery bump(db);
    bool ok = del.prepare(QStringLiteral("DELETE FROM offers WHERE city = ?")) && batch.prepare(insert + rows) &&
              bump.prepare(QStringLiteral("INSERT INTO offers_version (city, version) VALUES (?, 1) ON CONFLICT "
                                          "(city) DO UPDATE SET version = offers_version.version + 1"));
    QSqlQuery* failed = ok ? nullptr : &batch;
    QSet<QString> cleared;
    QVariantList values;
    const auto flush = [&](QSqlQuery& q) {
        for (const QVariant& v : values)
            q.addBindValue(v);
        values.clear();
        if (q.exec()) return true;
        failed = &q;
        return false;
    };
    StoredOffer o;
    for (OfferSource* source : sources) {
        while (ok && source->Next(o)) {
            if (!cleared.contains(o.city)) {
                cleared.insert(o.city);
                del.addBindValue(o.city);
                bump.addBindValue(o.city);
                if (!(ok = del.exec())) failed = &del;
                // Replies the service keeps for this city are old from the commit on.
                else if (!(ok = bump.exec())) failed = &bump;
            }
            values << QVariant(o.city) << QVariant(o.id) << Value(o.rooms) << Value(o.metro) << Value(o.build_id)
                   << Value(o.level) << Value(o.max_level) << Value(o.material) << Value(o.sanuzel)
                   << Value(o.balcon) << Value(o.s_all) << Value(o.s_live) << Value(o.s_kitchen) << Value(o.cost)
                   << Value(o.comment) << Value(o.agency) << Value(o.street);
            ++count;
            if (ok && values.size() == InsertBatch * ColumnCount) ok = flush(batch);
        }
        if (ok && !source->Error().isEmpty()) {
            error_ = source->Error();
            ok = false;
        }
    }
    if (ok && !values.isEmpty()) {
        QSqlQuery tail(db);
        const int n = int(values.size() / ColumnCount);
        ok = tail.prepare(insert + rows.left(n * 36 - 1)) && flush(tail);
        if (!ok) error_ = tail.lastError().text();
    }
    if (!ok) {
        if (failed && error_.isEmpty()) error_ = failed->lastError().text();
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
std::optional<QByteArray> OfferStore::Select(const QUrlQuery& query, const std::atomic<bool>* cancelled) {
    const auto param = [&](const char* name) { return query.queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded); };
    QString sql = QStringLiteral("SELECT id, rooms, metro, build_id, level, max_level, material, sanuzel, balcon,"
                                 " s_all, s_live, s_kitchen, cost, comment, agency, street FROM offers WHERE city = ?");
    QVariantList values{param("city")};
    // No city has a NUL in its name, and PostgreSQL refuses one in a text.
    bool matchesNothing = param("city").size() > 256 || param("city").contains(QChar(0));
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
    for (int row = 0; q.next(); ++row) {
        // Checked now and then: a query nobody waits for stops early and frees its thread.
        if (cancelled && row % 256 == 0 && cancelled->load()) {
            error_ = QStringLiteral("cancelled");
            return std::nullopt;
        }
        for (int i = 0; i < 16; ++i) {
            const QVariant v = q.value(i);
            text += IsText[i] ? FieldText(v.toString()) : QString::fromLatin1(Number(v));
            text += u'|';
        }
    }
    return reply + ToCp1251(text);
}
