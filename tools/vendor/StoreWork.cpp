#include "StoreWork.h"

#include "OfferStore.h"
#include "StatsStore.h"
#include "VendorStore.h"

#include <QElapsedTimer>
#include <QThread>
#include <vector>

struct OfferTicket::Flight {
    QString key;
    std::vector<std::shared_ptr<OfferTicket>> waiters; // under the work's lock
    std::atomic<bool> cancelled{false};
};

namespace {

qint64 Now() {
    static const QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return clock.elapsed();
}

// Paths counted apart are bounded anyway (the served files and a few scripts); this keeps a
// database that cannot be reached from growing the pending counts without end.
constexpr int MaxPendingPaths = 10000;

} // namespace

void OfferTicket::Cancel() {
    if (work_) work_->CancelTicket(*this);
}

StoreWork::StoreWork(const StoreConfig& store, const StoreConfig& offers, const OfferLimits& limits, int storeThreads)
    : store_(store), offers_(offers), limits_(limits) {
    // Threads stay: each keeps its database connection.
    storePool_.setExpiryTimeout(-1);
    offerPool_.setExpiryTimeout(-1);
    storePool_.setMaxThreadCount(std::max(1, storeThreads));
    offerPool_.setMaxThreadCount(std::max(1, limits.threads));
    Now();
}

StoreWork::~StoreWork() {
    WaitForAll();
}

void StoreWork::Run(std::function<void()> job) {
    storePool_.start(std::move(job));
}

void StoreWork::WaitForAll() {
    offerPool_.waitForDone();
    storePool_.waitForDone();
}

int StoreWork::OfferQueriesInProgress() {
    const QMutexLocker lock(&lock_);
    return int(flights_.size());
}

StoreWork::OfferAnswer StoreWork::Offers(const QUrlQuery& query, std::function<void(std::optional<QByteArray>)> done) {
    const QString key = query.query(QUrl::FullyEncoded);
    OfferAnswer answer;
    const QMutexLocker lock(&lock_);
    auto ticket = std::make_shared<OfferTicket>();
    ticket->work_ = this;
    ticket->done_ = std::move(done);
    auto f = flights_.find(key);
    // A query all of whose clients left is not joined: it may stop any moment.
    if (f != flights_.end() && f->second->cancelled) {
        flights_.erase(f);
        f = flights_.end();
    }
    if (f == flights_.end()) {
        // Queries nobody waits for end on their own and do not count.
        if (int(flights_.size()) >= limits_.maxQueries)
            std::erase_if(flights_, [](const auto& entry) { return entry.second->cancelled.load(); });
        if (int(flights_.size()) >= limits_.maxQueries) return answer; // Busy
        auto flight = std::make_shared<Flight>();
        flight->key = key;
        f = flights_.emplace(key, flight).first;
        offerPool_.start([this, flight, query] {
            if (flight->cancelled) return Finish(flight, std::nullopt, 0, false);
            // Each thread of the pool has its own connection, made on its first query.
            const QString name = QStringLiteral("offers-%1").arg(quintptr(QThread::currentThreadId()));
            thread_local std::unique_ptr<OfferStore> store;
            if (!store || !store->IsOpen()) {
                store.reset();
                store = std::make_unique<OfferStore>(offers_, name);
                if (store->IsOpen()) store->KeepInMemory();
            }
            const auto version = store->IsOpen() ? store->Version(query.queryItemValue(QStringLiteral("city"), QUrl::FullyDecoded))
                                                 : std::nullopt;
            if (version)
                if (auto kept = KeptReply(flight->key, *version)) return Finish(flight, std::move(kept), *version, false);
            std::optional<QByteArray> reply = version ? store->Select(query, &flight->cancelled) : std::nullopt;
            if (!reply && !flight->cancelled && store->IsOpen()) {
                // A lost server: the next query opens a fresh connection.
                QSqlDatabase db = QSqlDatabase::database(name, false);
                CheckStoreConnection(db);
                if (!db.isOpen()) store.reset();
            }
            Finish(flight, std::move(reply), version.value_or(0), true);
        });
    }
    ticket->flight_ = f->second;
    f->second->waiters.push_back(ticket);
    answer.kind = OfferAnswer::Kind::Waiting;
    answer.ticket = ticket;
    return answer;
}

std::optional<QByteArray> StoreWork::KeptReply(const QString& key, qint64 version) {
    const QMutexLocker lock(&lock_);
    const auto c = cache_.find(key);
    if (c == cache_.end() || c->second.version != version || Now() - c->second.time >= limits_.cacheMs)
        return std::nullopt;
    return c->second.reply;
}

void StoreWork::Finish(const std::shared_ptr<Flight>& flight, std::optional<QByteArray> reply, qint64 version,
                       bool fresh) {
    std::vector<std::shared_ptr<OfferTicket>> waiters;
    {
        const QMutexLocker lock(&lock_);
        if (const auto f = flights_.find(flight->key); f != flights_.end() && f->second == flight) flights_.erase(f);
        waiters.swap(flight->waiters);
        if (fresh && reply && limits_.cacheMs > 0 && reply->size() <= limits_.cacheBytes) {
            const qint64 now = Now();
            // Old replies go first; then the oldest until the new one fits.
            for (auto c = cache_.begin(); c != cache_.end();)
                if (now - c->second.time >= limits_.cacheMs || c->first == flight->key) {
                    cachedBytes_ -= c->second.reply.size();
                    c = cache_.erase(c);
                } else {
                    ++c;
                }
            while (!cache_.empty() && cachedBytes_ + reply->size() > limits_.cacheBytes) {
                auto oldest = cache_.begin();
                for (auto c = cache_.begin(); c != cache_.end(); ++c)
                    if (c->second.time < oldest->second.time) oldest = c;
                cachedBytes_ -= oldest->second.reply.size();
                cache_.erase(oldest);
            }
            cache_[flight->key] = {*reply, now, version};
            cachedBytes_ += reply->size();
        }
        std::erase_if(waiters, [](const std::shared_ptr<OfferTicket>& t) { return t->cancelled_; });
        for (const auto& t : waiters)
            t->work_ = nullptr; // answered: a later Cancel() has nothing to do
    }
    for (const auto& t : waiters)
        t->done_(reply);
}

void StoreWork::CancelTicket(OfferTicket& ticket) {
    const QMutexLocker lock(&lock_);
    if (ticket.cancelled_ || !ticket.work_) return;
    ticket.cancelled_ = true;
    const auto flight = ticket.flight_.lock();
    if (!flight) return;
    for (const auto& t : flight->waiters)
        if (!t->cancelled_) return;
    flight->cancelled = true;
}

void StoreWork::CountRequest(const QString& path) {
    const QMutexLocker lock(&countLock_);
    if (counts_.size() < MaxPendingPaths || counts_.contains(path)) ++counts_[path];
}

void StoreWork::FlushCounts(bool wait) {
    QHash<QString, qint64> counts;
    {
        const QMutexLocker lock(&countLock_);
        counts.swap(counts_);
    }
    if (counts.isEmpty()) return;
    auto job = [this, counts] {
        QSqlDatabase db = StoreForThread(store_);
        if (db.isOpen() && AddRequestCounts(db, counts)) return;
        CheckStoreConnection(db);
        // Kept for the next try.
        const QMutexLocker lock(&countLock_);
        for (auto it = counts.begin(); it != counts.end(); ++it)
            if (counts_.size() < MaxPendingPaths || counts_.contains(it.key())) counts_[it.key()] += it.value();
    };
    if (!wait) return Run(job);
    storePool_.start(job);
    storePool_.waitForDone();
}
