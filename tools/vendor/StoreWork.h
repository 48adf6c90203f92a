// The service's database work, kept off the threads that accept and answer connections: statistics,
// feedback and health on one pool of threads, offer queries on another, each thread with its own
// connection. Offer queries are bounded: clients asking the same at once share one query, a reply is
// kept and given again while the city's offers have not changed (a cheap version check), only so
// many different queries run or wait at once (the rest are told to come back), and a query whose
// clients have all left is dropped.
#pragma once

#include "StoreConfig.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QThreadPool>
#include <QUrlQuery>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>

// One client's wait for an offer reply; Cancel() when the client has gone.
class OfferTicket {
public:
    void Cancel();

private:
    friend class StoreWork;
    struct Flight;
    std::weak_ptr<Flight> flight_;
    class StoreWork* work_ = nullptr;
    std::function<void(std::optional<QByteArray>)> done_;
    bool cancelled_ = false; // under the work's lock
};

struct OfferLimits {
    int maxQueries = 32;  // different offer queries running or waiting at once
    int cacheMs = 10000;  // how long a reply is kept (given again only while still current)
    qint64 cacheBytes = 64 << 20;
    int threads = 2;      // threads that run offer queries
};

class StoreWork {
public:
    StoreWork(const StoreConfig& store, const StoreConfig& offers, const OfferLimits& limits, int storeThreads);
    ~StoreWork();

    // Runs `job` on a thread of the store pool, where StoreForThread(Store()) is that thread's connection.
    void Run(std::function<void()> job);
    const StoreConfig& Store() const { return store_; }

    // Busy, or a ticket: `done` is called from a pool thread with the reply (shared, never copied
    // per client), or an empty optional on a database error.
    struct OfferAnswer {
        enum class Kind { Waiting, Busy } kind = Kind::Busy;
        std::shared_ptr<OfferTicket> ticket;
    };
    OfferAnswer Offers(const QUrlQuery& query, std::function<void(std::optional<QByteArray>)> done);
    // Queries in progress, for tests and the log.
    int OfferQueriesInProgress();

    // Requests served per path, added to the database now and then (Flush) by every process.
    void CountRequest(const QString& path);
    // Adds the counts gathered so far; `wait` blocks until they are stored (at stop).
    void FlushCounts(bool wait);
    // Waits for every job started so far (at stop).
    void WaitForAll();

private:
    friend class OfferTicket;
    using Flight = OfferTicket::Flight;
    void Finish(const std::shared_ptr<Flight>& flight, std::optional<QByteArray> reply, qint64 version, bool fresh);
    std::optional<QByteArray> KeptReply(const QString& key, qint64 version);
    void CancelTicket(OfferTicket& ticket);

    StoreConfig store_, offers_;
    OfferLimits limits_;
    QThreadPool storePool_, offerPool_;
    QMutex lock_;
    std::map<QString, std::shared_ptr<Flight>> flights_; // queries in progress by their query text
    struct Cached {
        QByteArray reply;
        qint64 time = 0;
        qint64 version = 0;
    };
    std::map<QString, Cached> cache_;
    qint64 cachedBytes_ = 0;
    QMutex countLock_;
    QHash<QString, qint64> counts_;
};
