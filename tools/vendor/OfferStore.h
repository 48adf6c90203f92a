// The vendor service's real-estate offers: a SQLite file in the service's root or the service's
// PostgreSQL database, loaded by publish-city from a CSV file and queried by tessara-vendor for
// "sql.php?act=select".
// Every value from a request or a file is bound as a parameter; SQL text is built from fixed parts.
#pragma once

#include "StoreConfig.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <atomic>
#include <optional>
#include <vector>

class QIODevice;

class QUrlQuery;

// The SQLite file of offers inside the service's root; never served as a file.
inline constexpr char VendorDatabaseName[] = "tessara-vendor.sqlite";

// One offer as stored; an empty optional is unknown.
struct StoredOffer {
    QString city; // the city's EngName
    qint32 id = 0;
    std::optional<qint32> rooms;
    QString metro;
    std::optional<qint32> build_id, level, max_level, material, sanuzel, balcon;
    std::optional<double> s_all, s_live, s_kitchen;
    std::optional<qint32> cost;
    QString comment;
    std::optional<qint32> agency;
    QString street;
};

// The header line of an offers file; the columns in this order.
QByteArray OffersCsvHeader();
QByteArray OffersCsvLine(const StoredOffer& o);

// Offers one after another, from a file or from memory.
class OfferSource {
public:
    virtual ~OfferSource() = default;
    // The next offer; false at the end, or on an error when Error() is not empty.
    virtual bool Next(StoredOffer& out) = 0;
    virtual QString Error() const { return {}; }
};

// Reads an offers file (UTF-8, comma-separated, quotes as in RFC 4180, the header line first) in a
// stream: memory stays bounded whatever the file's size. The error says what is wrong and on which line.
class OffersCsvReader : public OfferSource {
public:
    explicit OffersCsvReader(QIODevice& in);
    bool Next(StoredOffer& out) override;
    QString Error() const override { return error_; }

private:
    bool NextRecord(QStringList& fields, int& recordLine);
    bool Peek(QChar& c); // the next character, reading more of the file when needed
    QIODevice& in_;
    QStringDecoder decode_;
    QString buffer_;
    qsizetype pos_ = 0;
    int line_ = 1;
    bool header_ = false;
    QString error_;
};

// Most offers one reply carries, so that a reply stays well under the 10 MB the program reads.
inline constexpr int MaxRepliedOffers = 20000;

class OfferStore {
public:
    // Opens the store under a connection of its own; use it only in the thread that made it.
    OfferStore(const StoreConfig& config, const QString& connectionName);
    ~OfferStore();
    OfferStore(const OfferStore&) = delete;
    OfferStore& operator=(const OfferStore&) = delete;

    bool IsOpen() const { return open_; }
    QString Error() const { return error_; }

    // The tables and indexes, when missing or older.
    bool Migrate();
    // For a connection that answers queries: a city's offers stay in memory between them.
    void KeepInMemory();
    // Replaces every offer of the cities the sources name by them, in one transaction: readers see
    // the old offers until it commits. A source's error, a bad row or a failed statement changes
    // nothing. `count` is the number of offers stored.
    bool ReplaceOffers(const std::vector<OfferSource*>& sources, qint64& count);
    // The reply to "sql.php?act=select&city=...": a first field, then 16 fields per offer, "|" after
    // each, in Windows-1251. A filter value that is not a plain number matches nothing; unknown
    // parameters are ignored. Empty optional on a database error, or when `cancelled` was set
    // meanwhile (nobody waits for the reply any more).
    std::optional<QByteArray> Select(const QUrlQuery& query, const std::atomic<bool>* cancelled = nullptr);
    // A number that changes whenever the city's offers are replaced (0 before the first time), so that
    // a kept reply is given only while it is current.
    std::optional<qint64> Version(const QString& city);

private:
    StoreConfig config_;
    QString name_;
    bool open_ = false;
    QString error_;
};
