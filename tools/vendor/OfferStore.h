// The vendor service's real-estate offers: a SQLite file in the service's root (Qt SQL, QSQLITE),
// loaded by publish-city from a CSV file and queried by tessara-vendor for "sql.php?act=select".
// Every value from a request or a file is bound as a parameter; SQL text is built from fixed parts.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

class QUrlQuery;

// The database file inside the service's root; never served as a file.
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
// Reads an offers file (UTF-8, comma-separated, quotes as in RFC 4180, the header line first).
// Empty text on success, else what is wrong and on which line.
QString ReadOffersCsv(const QByteArray& data, std::vector<StoredOffer>& out);
QByteArray OffersCsvLine(const StoredOffer& o);

// Most offers one reply carries, so that a reply stays well under the 10 MB the program reads.
inline constexpr int MaxRepliedOffers = 20000;

class OfferStore {
public:
    // Opens `path` under a connection of its own; use it only in the thread that made it.
    OfferStore(const QString& path, const QString& connectionName);
    ~OfferStore();
    OfferStore(const OfferStore&) = delete;
    OfferStore& operator=(const OfferStore&) = delete;

    bool IsOpen() const { return open_; }
    QString Error() const { return error_; }

    // The offers table and its index, when missing.
    bool CreateOffersTable();
    // Replaces every offer of the cities named in `offers` by them, in one transaction.
    bool ReplaceOffers(const std::vector<StoredOffer>& offers);
    // The reply to "sql.php?act=select&city=...": a first field, then 16 fields per offer, "|" after
    // each, in Windows-1251. A filter value that is not a plain number matches nothing; unknown
    // parameters are ignored. Empty optional on a database error.
    std::optional<QByteArray> Select(const QUrlQuery& query);

private:
    QString name_;
    bool open_ = false;
    QString error_;
};
