// tessara-vendor: a reference vendor web service. Serves a publish folder (the two lists, the city
// and photo archives, the installer, the web-tab pages) under a base address, keeps the feedback
// messages and counts the statistics requests in its store (SQLite, or PostgreSQL shared by several
// service processes), answers the other scripts with an empty page, and logs every request with its
// time, so that a publisher can run it and tests can check what the program sent. It is open to
// anyone who can reach it, so every request is bounded: its size, the time it may take, the number
// of connections held at once and of offer queries in progress. Real-estate queries
// ("sql.php?act=select") are answered from the store's offers. Database work runs on threads of
// its own, never on those that accept and answer connections.
#include "OfferStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <atomic>
#include <limits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "FeedbackStore.h"
#include "StatsStore.h"
#include "StoreWork.h"
#include "VendorStore.h"

#ifdef Q_OS_UNIX
#include <csignal>
#include <QSocketNotifier>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

struct Options {
    QString root;  // canonical
    QString offersFile; // SQLite: the offers database inside the root (publish-city writes it)
    QString base = "/";
    StoreConfig store;  // feedback, statistics and request counts
    StoreConfig offers; // the same database on PostgreSQL; SQLite keeps them in the root
    QFile* log = nullptr;
    QStringList noLength;       // paths served without Content-Length
    QHash<QString, qint64> cut; // paths whose connection breaks after so many body bytes
    QStringList trickle;        // paths sent one byte at a time, ten bytes a second
    QStringList endless;        // paths announced as a terabyte and sent without end
    qint64 rateBytesPerSecond = 0;
    qint64 maxBody = 64 * 1024;
    // Room for the longest feedback message with every byte percent-encoded.
    qint64 maxHeader = 32 * 1024;
    int headerTimeoutMs = 10000;
    int idleTimeoutMs = 30000;
    int maxConnections = 10000;
};

constexpr qint64 Chunk = 64 * 1024;
// After its answer a connection reads what the client still sends for this long before it closes,
// so that the client gets the answer instead of a reset.
constexpr int LingerMs = 1000;
constexpr qint64 LingerBytes = 1 << 20;
// Connections past the limit that are being told so (503) at one time; more are closed at once.
constexpr int MaxRejecting = 1024;
// Descriptors kept free for the log, the served files' own opening and the like.
constexpr int ReservedDescriptors = 64;

// A log field on one line whatever the client sent: tab, line breaks, backslash, control and
// non-ASCII bytes are written as escapes.
QByteArray LogField(const QByteArray& raw) {
    QByteArray out;
    out.reserve(raw.size());
    for (const char ch : raw) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c < 0x20 || c >= 0x7F)
            out += "\\x" + QByteArray::number(c, 16).rightJustified(2, '0');
        else
            out += char(c);
    }
    return out;
}

// The request target as logged: a feedback request carries the sender's message and address, so
// only its path and the size of its query are written.
QByteArray LogTarget(const QByteArray& target) {
    const qsizetype q = target.indexOf('?');
    if (q < 0) return LogField(target);
    const QByteArray path = QByteArray::fromPercentEncoding(target.left(q));
    if (!path.endsWith("soft.php")) return LogField(target);
    return LogField(target.left(q)) + " (query of " + QByteArray::number(target.size() - q - 1) + " bytes)";
}

class Connection;

// Recipient, subject and city names are short; only the message may be long.
constexpr int MaxShortField = 256;

using Query = QHash<QByteArray, QByteArray>;

// The query's parameters, decoded to bytes; a repeated one makes the request ambiguous and is refused.
bool ParseQuery(const QUrl& url, Query& out) {
    const QByteArray query = url.query(QUrl::FullyEncoded).toLatin1();
    for (const QByteArray& pair : query.split('&')) {
        if (pair.isEmpty()) continue;
        const qsizetype eq = pair.indexOf('=');
        const QByteArray key = QByteArray::fromPercentEncoding(eq < 0 ? pair : pair.left(eq));
        if (out.contains(key)) return false;
        out.insert(key, eq < 0 ? QByteArray() : QByteArray::fromPercentEncoding(pair.mid(eq + 1)));
    }
    return true;
}

// Text is stored exactly as sent, so bytes that are not UTF-8 are refused rather than replaced.
bool Utf8(const QByteArray& bytes, QString& out) {
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    out = decode(bytes);
    return !decode.hasError();
}

// What the listening thread and the workers share: the options, the counts behind the connection
// limit, and the log.
struct Shared {
    Shared(const Options& o, StoreWork& w) : options(o), work(w) {}
    const Options& options;
    StoreWork& work;
    int limit = 0;
    std::atomic<bool> stopping{false};
    std::atomic<int> active{0};    // connections being served
    std::atomic<int> rejecting{0}; // connections past the limit being told so

    void Log(const QByteArray& line) {
        if (!options.log) return;
        const QMutexLocker lock(&logLock);
        options.log->write(line);
        options.log->flush();
    }
    QMutex logLock;
};

// A thread's share of the connections; one timer sweeps them all for their time-outs.
class Worker : public QObject {
public:
    explicit Worker(Shared& shared) : shared(shared), sweep_(this) {
        clock_.start();
        const int tick =
            std::clamp(std::min(shared.options.headerTimeoutMs, shared.options.idleTimeoutMs) / 4, 10, 250);
        sweep_.setInterval(tick);
        connect(&sweep_, &QTimer::timeout, this, &Worker::Sweep);
    }

    void Start() { sweep_.start(); }
    // Takes over an accepted socket (called in the worker's thread).
    void Adopt(qintptr descriptor, bool reject);
    void Forget(Connection* c, bool rejected);
    qint64 now() const { return clock_.elapsed(); }
    // Hands the result of database work to connection `id`, from any thread; nothing happens when
    // the connection has gone meanwhile.
    void Deliver(quint64 id, int status, QByteArray body);
    // At stop: connections that have not begun a request are closed; the others finish.
    void CloseIdle();

    Shared& shared;

private:
    void Sweep();

    QElapsedTimer clock_;
    QTimer sweep_;
    std::unordered_set<Connection*> connections_;
    std::unordered_map<quint64, Connection*> byId_;
    quint64 nextId_ = 0;
    friend class Connection;
};

// One connection: reads one request, answers it, closes.
class Connection : public QObject {
public:
    // Waiting: the request is whole and its database work runs elsewhere.
    enum class Phase { Request, Body, Waiting, Answering, Lingering, Closed };

    Connection(QTcpSocket* socket, Worker& worker, bool reject)
        : socket_(socket), worker_(worker), options_(worker.shared.options), rejected_(reject) {
        socket_->setParent(this);
        started_ = lastActivity_ = worker_.now();
        connect(socket_, &QTcpSocket::readyRead, this, &Connection::onRead);
        connect(socket_, &QTcpSocket::bytesWritten, this, &Connection::onWritten);
        connect(socket_, &QTcpSocket::disconnected, this, &Connection::close);
        connect(&pace_, &QTimer::timeout, this, &Connection::pump);
    }

    // A connection past the limit is answered at once, before it has said anything.
    void Start() {
        if (rejected_)
            page(503, "Service Unavailable",
                 "<html><body>Too many connections, try again later</body></html>", "Retry-After: 1\r\n");
    }

    // Applies the time-outs; the service calls it on every tick.
    void Check(qint64 now) {
        if (phase_ == Phase::Closed) return;
        if (phase_ == Phase::Lingering) {
            if (now - lingerStart_ >= LingerMs) close();
            return;
        }
        const bool requestLate = phase_ <= Phase::Body && now - started_ >= options_.headerTimeoutMs;
        // A client that sent part of a request is told why it is dropped; a silent one is just closed.
        if (requestLate && !request_.isEmpty()) return page(408, "Request Timeout", QByteArray());
        if (requestLate || now - lastActivity_ >= options_.idleTimeoutMs) close();
    }

    void close() {
        if (phase_ == Phase::Closed) return;
        phase_ = Phase::Closed;
        // An offer query nobody else waits for stops.
        if (ticket_) ticket_->Cancel();
        ticket_.reset();
        pace_.stop();
        socket_->disconnect(this);
        socket_->abort();
        worker_.Forget(this, rejected_);
        deleteLater();
    }

private:
    void onRead() {
        lastActivity_ = worker_.now();
        if (phase_ == Phase::Closed) return;
        if (phase_ >= Phase::Waiting) {
            // Whatever follows the request is read and dropped, a bounded amount.
            discarded_ += socket_->skip(socket_->bytesAvailable());
            if (phase_ == Phase::Lingering && discarded_ > LingerBytes) close();
            return;
        }
        if (phase_ == Phase::Body) {
            bodyLeft_ -= socket_->skip(std::min(bodyLeft_, socket_->bytesAvailable()));
            if (bodyLeft_ <= 0) answer();
            return;
        }
        request_ += socket_->read(options_.maxHeader + 1 - request_.size());
        qsizetype end = request_.indexOf("\r\n\r\n");
        qsizetype skip = 4;
        if (end < 0) end = request_.indexOf("\n\n"), skip = 2;
        if (end < 0) {
            if (request_.size() > options_.maxHeader)
                page(431, "Request Header Fields Too Large", QByteArray());
            return;
        }
        const QByteArray rest = request_.mid(end + skip);
        request_.truncate(end);
        parse();
        if (phase_ != Phase::Body) return;
        bodyLeft_ -= std::min<qint64>(bodyLeft_, rest.size());
        bodyLeft_ -= socket_->skip(std::min(bodyLeft_, socket_->bytesAvailable()));
        if (bodyLeft_ <= 0) answer();
    }

    void parse() {
        const QList<QByteArray> lines = request_.split('\n');
        const QList<QByteArray> words = lines.value(0).trimmed().split(' ');
        if (words.size() != 3 || !words[2].startsWith("HTTP/") || words[0].isEmpty() || words[1].isEmpty())
            return page(400, "Bad Request", QByteArray());
        method_ = words[0];
        target_ = words[1];
        bool lengthSeen = false;
        qint64 length = 0;
        for (const QByteArray& line : lines.mid(1)) {
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0) continue;
            const QByteArray name = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name == "user-agent") agent_ = value;
            if (name == "transfer-encoding") {
                logRequest();
                return page(501, "Not Implemented", QByteArray());
            }
            if (name == "content-length") {
                bool ok = !value.isEmpty() && value.size() <= 18;
                for (const char c : value)
                    ok = ok && c >= '0' && c <= '9';
                const qint64 n = ok ? value.toLongLong() : -1;
                if (n < 0 || (lengthSeen && n != length)) {
                    logRequest();
                    return page(400, "Bad Request", QByteArray());
                }
                lengthSeen = true;
                length = n;
            }
        }
        if (length > options_.maxBody) {
            logRequest();
            return page(413, "Content Too Large", QByteArray());
        }
        bodyLeft_ = length;
        phase_ = Phase::Body;
    }

    void logRequest() {
        if (!options_.log || logged_) return;
        logged_ = true;
        worker_.shared.Log(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toLatin1() + '\t' +
                           LogField(method_) + '\t' + LogTarget(target_) + '\t' + LogField(agent_) + '\n');
    }

    void head(int status, const char* reason, qint64 length, const char* type, const QByteArray& extra = {}) {
        QByteArray h = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n";
        h += "Server: tessara-vendor\r\nConnection: close\r\nCache-Control: no-cache\r\n";
        h += QByteArray("Content-Type: ") + type + "\r\n" + extra;
        if (length >= 0) h += "Content-Length: " + QByteArray::number(length) + "\r\n";
        h += "\r\n";
        socket_->write(h);
    }

    void page(int status, const char* reason, const QByteArray& body, const QByteArray& extra = {}) {
        // Answered before the request was read whole: what the client still sends must be read, or
        // closing would reset the connection and lose the answer.
        if (phase_ < Phase::Answering) unread_ = phase_ == Phase::Request || bodyLeft_ > 0;
        phase_ = Phase::Answering;
        head(status, reason, body.size(), "text/html; charset=utf-8", extra);
        if (method_ != "HEAD") socket_->write(body);
        finishWriting();
    }

    void answer() {
        phase_ = Phase::Answering;
        logRequest();
        const QString method = QString::fromLatin1(method_);
        const QUrl url(QString::fromLatin1(target_));
        QString path = url.path(QUrl::FullyDecoded);
        if (url.isValid() && path == QLatin1String("/health")) return health();
        if (!url.isValid() || !path.startsWith(options_.base)) return notFound();
        path = path.mid(options_.base.size());
        static const QStringList tabs{"News", "Notes", "Afisha", "Admin", "Weather"};
        const bool script = path.endsWith(QLatin1String(".php"));
        // Counted per path: the scripts the program uses by name, any other script as one.
        if (script) {
            const QString name = path.mid(12, path.size() - 16);
            const bool known = path == QLatin1String("sql.php") || path == QLatin1String("soft.php") ||
                               path == QLatin1String("download/inc.php") ||
                               (path.startsWith(QLatin1String("download/inc")) &&
                                (name == QLatin1String("Org") || name == QLatin1String("Open") || tabs.contains(name)));
            worker_.shared.work.CountRequest(known ? path : QStringLiteral("(other script)"));
        }
        if (path == QLatin1String("sql.php")) return offers(url);
        if (path == QLatin1String("soft.php")) return feedback(url);
        if (path.startsWith(QLatin1String("download/inc")) && script && path != QLatin1String("download/inc.php"))
            return statistics(path.mid(12, path.size() - 16), url);
        // Reports and the other scripts of the site: an empty page is the whole answer.
        if (script) return page(200, "OK", QByteArray());
        if (method != QLatin1String("GET") && method != QLatin1String("HEAD"))
            return page(405, "Method Not Allowed", QByteArray());

        if (options_.endless.contains(path)) {
            worker_.shared.work.CountRequest(path);
            endless_ = true;
            head(200, "OK", qint64(1000000000000), "application/octet-stream");
            if (method == QLatin1String("HEAD")) return finishWriting();
            return pump();
        }
        const QString& root = options_.root;
        const QString file = QFileInfo(root + '/' + path).canonicalFilePath();
        // The database (and its journal files) is the service's own, never a download.
        if (file.isEmpty() || !file.startsWith(root + '/') || !QFileInfo(file).isFile() ||
            file.startsWith(options_.offersFile))
            return notFound();
        worker_.shared.work.CountRequest(path);
        file_ = std::make_unique<QFile>(file);
        if (!file_->open(QIODevice::ReadOnly)) return page(403, "Forbidden", QByteArray());

        const bool withLength = !options_.noLength.contains(path);
        limit_ = options_.cut.value(path, -1);
        trickle_ = options_.trickle.contains(path);
        // The web tabs' pages are shown as pages; everything else is bytes to store.
        const bool html = path.endsWith(QLatin1String(".html"), Qt::CaseInsensitive);
        head(200, "OK", withLength ? file_->size() : -1, html ? "text/html; charset=utf-8" : "application/octet-stream",
             "X-Content-Type-Options: nosniff\r\n");
        if (method == QLatin1String("HEAD")) {
            file_.reset();
            return finishWriting();
        }
        if (trickle_)
            pace_.start(100);
        else if (options_.rateBytesPerSecond > 0)
            pace_.start(50);
        pump();
    }

    void notFound() {
        worker_.shared.work.CountRequest(QStringLiteral("(not found)"));
        page(404, "Not Found", "<html><body>Not found</body></html>");
    }

    // Database work runs on the store's threads; its answer comes back through the worker. A
    // database that cannot be reached answers `unreachable`.
    void runInStore(std::function<int(QSqlDatabase&)> job, int unreachable = 500) {
        phase_ = Phase::Waiting;
        Worker* worker = &worker_;
        const quint64 id = id_;
        const StoreConfig& config = options_.store;
        worker_.shared.work.Run([worker, id, job = std::move(job), &config, unreachable] {
            QSqlDatabase db = StoreForThread(config);
            const int status = db.isOpen() ? job(db) : unreachable;
            if (status >= 500) CheckStoreConnection(db);
            worker->Deliver(id, status, QByteArray());
        });
    }

    // The database work's result: an empty page with its status, or the offers.
    void Deliver(int status, const QByteArray& body) {
        if (phase_ != Phase::Waiting) return;
        ticket_.reset();
        phase_ = Phase::Answering;
        switch (status) {
        case 200:
            if (body.isNull()) return page(200, "OK", QByteArray());
            head(200, "OK", body.size(), "text/plain; charset=windows-1251");
            if (method_ == "HEAD") return finishWriting();
            // Sent from the shared reply as the client reads it, never copied whole per client.
            reply_ = body;
            return pump();
        case 503: return page(503, "Service Unavailable", QByteArray(), "Retry-After: 1\r\n");
        case 507: return page(507, "Insufficient Storage", QByteArray());
        default: return page(500, "Internal Server Error", QByteArray());
        }
    }

    // "/health": 200 when the database answers, else 503, so that a load balancer passes this process by.
    void health() {
        worker_.shared.work.CountRequest(QStringLiteral("health"));
        runInStore(
            [](QSqlDatabase& db) {
                QSqlQuery q(db);
                return q.exec(QStringLiteral("SELECT 1")) && q.next() ? 200 : 503;
            },
            503);
    }

    // "sql.php?act=select&city=...": the city's offers, filtered by the parameters it knows. Past the
    // bound on queries in progress the client is told to come back.
    void offers(const QUrl& url) {
        const QUrlQuery query(url);
        if (query.queryItemValue(QStringLiteral("act")) != QLatin1String("select"))
            return page(200, "OK", QByteArray());
        phase_ = Phase::Waiting;
        Worker* worker = &worker_;
        const quint64 id = id_;
        Shared& shared = worker_.shared;
        StoreWork::OfferAnswer a = shared.work.Offers(query, [worker, id, &shared](std::optional<QByteArray> reply) {
            if (!reply) shared.Log("offers: the database failed\n");
            worker->Deliver(id, reply ? 200 : 500, reply ? *reply : QByteArray());
        });
        if (a.kind == StoreWork::OfferAnswer::Kind::Busy) return Deliver(503, QByteArray());
        ticket_ = a.ticket;
    }

    // "adr", "subj" and "msg", each percent-encoded UTF-8; stored with the time and the client's address.
    void feedback(const QUrl& url) {
        Query q;
        if (!ParseQuery(url, q) || !q.contains("adr") || !q.contains("subj") || !q.contains("msg"))
            return page(400, "Bad Request", QByteArray());
        if (q.value("msg").size() > MaxFeedbackBytes || q.value("adr").size() > MaxShortField ||
            q.value("subj").size() > MaxShortField)
            return page(413, "Content Too Large", QByteArray());
        FeedbackMessage m;
        if (!Utf8(q.value("adr"), m.recipient) || !Utf8(q.value("subj"), m.subject) ||
            !Utf8(q.value("msg"), m.message))
            return page(400, "Bad Request", QByteArray());
        m.time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
        m.client = socket_->peerAddress().toString();
        runInStore([m](QSqlDatabase& db) {
            switch (AddFeedback(db, m)) {
            case StoreResult::Stored: return 200;
            case StoreResult::Full: return 507;
            case StoreResult::Failed: break;
            }
            return 500;
        });
    }

    // "incOrg" (org, city), "incOpen" (city) and the web-tab checks "incNews" ... (city). Counting is
    // best effort: the program ignores the reply of the first two, and a tab opens on any success.
    void statistics(const QString& name, const QUrl& url) {
        static const QStringList tabs{"News", "Notes", "Afisha", "Admin", "Weather"};
        Query q;
        QString city;
        if (!ParseQuery(url, q) || !Utf8(q.value("city"), city) || city.isEmpty() ||
            city.size() > MaxShortField)
            return page(400, "Bad Request", QByteArray());
        qint64 org = -1;
        QString kind;
        if (name == QLatin1String("Org")) {
            bool ok = false;
            org = QString::fromLatin1(q.value("org")).toLongLong(&ok);
            if (!ok || org < -1 || org > std::numeric_limits<qint32>::max())
                return page(400, "Bad Request", QByteArray());
            kind = QStringLiteral("org");
        } else if (name == QLatin1String("Open")) {
            kind = QStringLiteral("open");
        } else if (tabs.contains(name)) {
            kind = name;
        } else {
            return notFound();
        }
        runInStore([kind, org, city](QSqlDatabase& db) {
            CountStat(db, kind, org, city);
            return 200;
        });
    }

    void onWritten() {
        lastActivity_ = worker_.now();
        if (phase_ != Phase::Answering) return;
        if (writingDone_) return finishWriting();
        pump();
    }

    // Sends the next part of the file, keeping little in the socket's buffer.
    void pump() {
        if (phase_ != Phase::Answering || writingDone_) return;
        if (endless_) {
            static const QByteArray zeros(Chunk, '\0');
            while (socket_->bytesToWrite() < 4 * Chunk)
                socket_->write(zeros);
            return;
        }
        if (!reply_.isNull()) {
            while (socket_->bytesToWrite() < 4 * Chunk && replySent_ < reply_.size()) {
                const qint64 n = std::min<qint64>(Chunk, reply_.size() - replySent_);
                socket_->write(reply_.constData() + replySent_, n);
                replySent_ += n;
            }
            if (replySent_ >= reply_.size()) {
                reply_ = QByteArray();
                finishWriting();
            }
            return;
        }
        if (!file_) return;
        const bool paced = trickle_ || options_.rateBytesPerSecond > 0;
        if (paced && sender() != &pace_ && sent_ > 0) return;
        qint64 budget = trickle_ ? 1
                        : options_.rateBytesPerSecond > 0
                            ? std::max<qint64>(1, options_.rateBytesPerSecond / 20)
                            : Chunk;
        while (budget > 0 && socket_->bytesToWrite() < 4 * Chunk) {
            qint64 n = std::min(budget, Chunk);
            if (limit_ >= 0) n = std::min(n, limit_ - sent_);
            const QByteArray part = n > 0 ? file_->read(n) : QByteArray();
            if (part.isEmpty()) {
                // At the end of the file, or where this path's connection is to break: either way the
                // socket closes once what was sent has gone out.
                file_.reset();
                return finishWriting();
            }
            socket_->write(part);
            sent_ += part.size();
            budget -= part.size();
        }
    }

    // Once the answer is out: no more sending, and the client's remaining bytes are read until it
    // closes or the linger time is over.
    void finishWriting() {
        writingDone_ = true;
        pace_.stop();
        if (socket_->bytesToWrite() > 0) return;
        if (!unread_ && socket_->bytesAvailable() == 0) {
            phase_ = Phase::Lingering;
            lingerStart_ = worker_.now();
            return socket_->disconnectFromHost();
        }
        phase_ = Phase::Lingering;
        lingerStart_ = worker_.now();
#ifdef Q_OS_UNIX
        ::shutdown(int(socket_->socketDescriptor()), SHUT_WR);
#else
        socket_->disconnectFromHost();
#endif
        if (socket_->bytesAvailable() > 0) onRead();
    }

    QTcpSocket* socket_;
    Worker& worker_;
    const Options& options_;
    bool rejected_;
    Phase phase_ = Phase::Request;
    QByteArray request_, method_, target_, agent_;
    qint64 started_ = 0, lastActivity_ = 0, lingerStart_ = 0;
    qint64 bodyLeft_ = 0, discarded_ = 0;
    bool logged_ = false, writingDone_ = false, trickle_ = false, endless_ = false, unread_ = false;
    std::unique_ptr<QFile> file_;
    qint64 sent_ = 0, limit_ = -1;
    QTimer pace_;
    QByteArray reply_; // an offer reply being sent
    qint64 replySent_ = 0;
    std::shared_ptr<OfferTicket> ticket_;
    quint64 id_ = 0;
    friend class Worker;
};

void Worker::Adopt(qintptr descriptor, bool reject) {
    auto* socket = new QTcpSocket;
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
#ifdef Q_OS_UNIX
        ::close(int(descriptor));
#endif
        --(reject ? shared.rejecting : shared.active);
        return;
    }
    auto* c = new Connection(socket, *this, reject);
    c->id_ = ++nextId_;
    connections_.insert(c);
    byId_[c->id_] = c;
    if (reject) shared.work.CountRequest(QStringLiteral("(too many connections)"));
    c->Start();
}

void Worker::Forget(Connection* c, bool rejected) {
    byId_.erase(c->id_);
    if (connections_.erase(c)) --(rejected ? shared.rejecting : shared.active);
}

void Worker::Deliver(quint64 id, int status, QByteArray body) {
    QMetaObject::invokeMethod(
        this,
        [this, id, status, body = std::move(body)] {
            if (const auto c = byId_.find(id); c != byId_.end()) c->second->Deliver(status, body);
        },
        Qt::QueuedConnection);
}

void Worker::CloseIdle() {
    const std::vector<Connection*> all(connections_.begin(), connections_.end());
    for (Connection* c : all)
        if (c->phase_ == Connection::Phase::Request && c->request_.isEmpty()) c->close();
}

void Worker::Sweep() {
    const qint64 t = now();
    // Check may close a connection, which leaves the set: walk a copy.
    const std::vector<Connection*> all(connections_.begin(), connections_.end());
    for (Connection* c : all)
        c->Check(t);
}

// Accepts in its own thread and hands each connection to the next worker; past the limit a
// connection is still taken, to be told "503", up to MaxRejecting of them.
class Listener : public QTcpServer {
public:
    Listener(Shared& shared, std::vector<Worker*> workers) : shared_(shared), workers_(std::move(workers)) {
        // Out of descriptors or memory the server stops accepting; try again shortly instead of
        // leaving every later client waiting.
        connect(this, &QTcpServer::acceptError, this,
                [this] { QTimer::singleShot(100, this, [this] { resumeAccepting(); }); });
    }

protected:
    void incomingConnection(qintptr descriptor) override {
        bool reject = false;
        if (shared_.active.fetch_add(1) >= shared_.limit) {
            --shared_.active;
            reject = true;
            if (shared_.rejecting.fetch_add(1) >= MaxRejecting) {
                --shared_.rejecting;
#ifdef Q_OS_UNIX
                ::close(int(descriptor));
#endif
                return;
            }
        }
        Worker* w = workers_[next_++ % workers_.size()];
        QMetaObject::invokeMethod(
            w, [w, descriptor, reject] { w->Adopt(descriptor, reject); }, Qt::QueuedConnection);
    }

private:
    Shared& shared_;
    std::vector<Worker*> workers_;
    std::size_t next_ = 0;
};

// As many descriptors as the system lets this process have: thousands of idle clients must not
// crowd out the next request.
int RaiseDescriptorLimit() {
#ifdef Q_OS_UNIX
    rlimit rl{};
    if (::getrlimit(RLIMIT_NOFILE, &rl) != 0) return 1024;
    if (rl.rlim_cur < rl.rlim_max) {
        rlimit raised = rl;
        raised.rlim_cur = rl.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) rl = raised;
    }
    return rl.rlim_cur > 1 << 24 ? 1 << 24 : int(rl.rlim_cur);
#else
    return 2048;
#endif
}

bool PositiveOption(const QCommandLineParser& parser, const char* name, qint64& value) {
    if (!parser.isSet(name)) return true;
    bool ok = false;
    value = parser.value(name).toLongLong(&ok);
    if (ok && value > 0) return true;
    std::fprintf(stderr, "tessara-vendor: --%s needs a number above 0\n", name);
    return false;
}

// --feedback: a block per message (time, client, recipient, subject on one line, then the message on
// the next); --stats: one line per count, then one per path served ("request", "-", the path and its
// count). Fields are escaped so that each stays on its line.
int ListStore(const StoreConfig& config, bool stats) {
    if (!config.postgres() && !QFileInfo::exists(config.path)) {
        std::fprintf(stderr, "tessara-vendor: no store at %s\n", qPrintable(config.path));
        return 1;
    }
    QString error;
    QSqlDatabase db = OpenStore(config, QStringLiteral("list"), error);
    if (!db.isOpen() || !MigrateStore(db, config, error)) {
        std::fprintf(stderr, "tessara-vendor: cannot open the store %s: %s\n", qPrintable(config.Describe()),
                     qPrintable(error));
        return 1;
    }
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly)) return 1;
    if (stats) {
        for (const StatsRow& r : ListStats(db))
            out.write(ListField(r.kind) + '\t' + (r.org < 0 ? QByteArray("-") : QByteArray::number(r.org)) +
                      '\t' + ListField(r.city) + '\t' + QByteArray::number(r.count) + '\n');
        for (const auto& [path, count] : ListRequestCounts(db))
            out.write("request\t-\t" + ListField(path) + '\t' + QByteArray::number(count) + '\n');
        return 0;
    }
    for (const FeedbackMessage& m : ListFeedback(db))
        out.write(ListField(m.time) + '\t' + ListField(m.client) + '\t' + ListField(m.recipient) + '\t' +
                  ListField(m.subject) + "\n\t" + ListField(m.message) + '\n');
    return 0;
}

#ifdef Q_OS_UNIX
// SIGTERM and SIGINT reach the event loop through a pipe: a signal handler may do little else.
int StopPipe[2] = {-1, -1};
void OnStopSignal(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(StopPipe[1], &c, 1);
}
#endif

} // namespace

int main(int argc, char** argv) {
    // The plain Unix event dispatcher costs half of what the GLib one does per event when thousands
    // of connections are open.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("tessara-vendor");
    QCommandLineParser parser;
    parser.setApplicationDescription("Reference vendor web service for Tessara updates and statistics.");
    parser.addHelpOption();
    parser.addOption({"root", "Publish folder served under the base address.", "DIR"});
    parser.addOption({"port", "Port to listen on; 0 picks a free one.", "N", "8080"});
    parser.addOption({"host", "Address to listen on.", "ADDR", "127.0.0.1"});
    parser.addOption({"base", "Base path of the site (begins and ends with /).", "PATH", "/"});
    parser.addOption(
        {"log", "Appends one line per request: time, method, path with query, user agent (tab-separated).",
         "FILE"});
    parser.addOption({"max-body", "Largest request body accepted; a larger one gets 413.", "BYTES", "65536"});
    parser.addOption(
        {"header-timeout", "Time a request (line, headers and body) may take to arrive.", "MS", "10000"});
    parser.addOption({"idle-timeout", "Time a connection may pass without any traffic.", "MS", "30000"});
    parser.addOption({"max-connections", "Connections served at once; more get 503.", "N", "10000"});
    parser.addOption({"threads", "Threads serving connections (default: one a core, at most four).", "N"});
    parser.addOption({"no-length", "Serves PATH (relative to the base) without Content-Length.", "PATH"});
    parser.addOption({"cut", "Breaks the connection after BYTES of PATH's body.", "PATH:BYTES"});
    parser.addOption({"rate", "Sends files at most this many kilobytes per second.", "KBPS"});
    parser.addOption({"trickle", "Sends PATH one byte at a time, ten bytes a second.", "PATH"});
    parser.addOption({"endless", "Announces PATH as a terabyte and sends bytes without end.", "PATH"});
    parser.addOption({"db",
                      "Store of feedback messages, statistics and request counts: sqlite:FILE (default: "
                      "tessara-vendor/vendor.sqlite in the user's data folder; never inside the publish folder, "
                      "which is served to anyone; the offers stay in the publish folder's own file) or "
                      "postgresql://USER@HOST:PORT/DB (the offers too; shared by any number of service processes).",
                      "STORE"});
    parser.addOption({"db-password-file", "File whose first line is the database password (else "
                      "TESSARA_DB_PASSWORD, PGPASSWORD or ~/.pgpass).", "FILE"});
    parser.addOption({"db-threads", "Threads that talk to the database (half as many more run offer queries).",
                      "N", "4"});
    parser.addOption({"max-queries", "Different offer queries running or waiting at once; more get 503.", "N", "32"});
    parser.addOption({"offer-cache", "How long an offer reply is kept, to be given again while the city's offers "
                      "have not changed.", "MS", "10000"});
    parser.addOption({"stop-timeout", "On SIGTERM, how long requests in flight may take to finish.", "MS", "10000"});
    parser.addOption({"feedback", "Lists the stored feedback messages and exits."});
    parser.addOption({"stats", "Lists the statistics counts per organisation and city, and the requests "
                      "served per path, and exits."});
    parser.process(app);

    Options options;
    {
        QString db = parser.value("db");
        if (db.isEmpty()) {
            const QString folder =
                QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/tessara-vendor";
            QDir().mkpath(folder);
            db = folder + "/vendor.sqlite";
        }
        QString error;
        const auto store = ParseStoreOption(db, parser.value("db-password-file"), error);
        if (!store) {
            std::fprintf(stderr, "tessara-vendor: %s\n", qPrintable(error));
            return 2;
        }
        options.store = *store;
    }
    if (parser.isSet("feedback") || parser.isSet("stats")) return ListStore(options.store, parser.isSet("stats"));
    options.root = QDir(parser.value("root")).canonicalPath();
    if (options.root.isEmpty() || !QFileInfo(options.root).isDir()) {
        std::fprintf(stderr, "tessara-vendor: --root must name the publish folder\n");
        return 2;
    }
    options.offersFile = options.root + '/' + QLatin1String(VendorDatabaseName);
    options.offers = options.store;
    if (!options.store.postgres()) {
        options.offers.path = options.offersFile;
        const QString store = QFileInfo(options.store.path).absoluteFilePath();
        if (store.startsWith(options.root + '/') ||
            QFileInfo(QFileInfo(store).absolutePath()).canonicalFilePath().startsWith(options.root)) {
            std::fprintf(stderr, "tessara-vendor: --db must not lie inside the publish folder\n");
            return 2;
        }
    }
    // The schema is made or brought up to date at start, so that a database that cannot be reached
    // is reported before the service runs.
    for (const StoreConfig* config : {&options.offers, &options.store}) {
        QString error;
        {
            QSqlDatabase db = OpenStore(*config, QStringLiteral("schema"), error);
            if (db.isOpen()) MigrateStore(db, *config, error);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("schema"));
        if (!error.isEmpty()) {
            std::fprintf(stderr, "tessara-vendor: the store %s: %s\n", qPrintable(config->Describe()),
                         qPrintable(error));
            return 2;
        }
        if (config->postgres()) break; // one database holds both
    }
    options.base = parser.value("base");
    if (!options.base.startsWith('/')) options.base.prepend('/');
    if (!options.base.endsWith('/')) options.base.append('/');
    QFile log(parser.value("log"));
    if (parser.isSet("log")) {
        if (!log.open(QIODevice::Append)) {
            std::fprintf(stderr, "tessara-vendor: cannot open the log file\n");
            return 2;
        }
        options.log = &log;
    }
    options.noLength = parser.values("no-length");
    for (const QString& c : parser.values("cut")) {
        const qsizetype colon = c.lastIndexOf(':');
        if (colon > 0) options.cut.insert(c.left(colon), c.mid(colon + 1).toLongLong());
    }
    options.trickle = parser.values("trickle");
    options.endless = parser.values("endless");
    options.rateBytesPerSecond = parser.value("rate").toLongLong() * 1024;
    qint64 headerTimeout = options.headerTimeoutMs, idleTimeout = options.idleTimeoutMs,
           maxConnections = options.maxConnections;
    if (!PositiveOption(parser, "max-body", options.maxBody) ||
        !PositiveOption(parser, "header-timeout", headerTimeout) ||
        !PositiveOption(parser, "idle-timeout", idleTimeout) ||
        !PositiveOption(parser, "max-connections", maxConnections))
        return 2;
    options.headerTimeoutMs = int(std::min<qint64>(headerTimeout, 1 << 30));
    options.idleTimeoutMs = int(std::min<qint64>(idleTimeout, 1 << 30));

    // Each connection may hold a served file open as well; those being told "503" need one each too.
    const int descriptors = RaiseDescriptorLimit();
    const int fits = std::max(1, (descriptors - ReservedDescriptors - MaxRejecting) / 2);
    const int limit = int(std::min<qint64>(maxConnections, fits));

    qint64 dbThreads = 4, maxQueries = 32, stopTimeout = 10000, cacheMs = 10000;
    if (!PositiveOption(parser, "db-threads", dbThreads) || !PositiveOption(parser, "max-queries", maxQueries) ||
        !PositiveOption(parser, "stop-timeout", stopTimeout))
        return 2;
    if (parser.isSet("offer-cache")) cacheMs = std::max<qint64>(0, parser.value("offer-cache").toLongLong());
    OfferLimits offerLimits;
    offerLimits.maxQueries = int(std::min<qint64>(maxQueries, 100000));
    offerLimits.cacheMs = int(std::min<qint64>(cacheMs, 1 << 30));
    dbThreads = std::min<qint64>(dbThreads, 64);
    offerLimits.threads = std::max(1, int(dbThreads) / 2);
    StoreWork work(options.store, options.offers, offerLimits, int(dbThreads));

    Shared shared(options, work);
    shared.limit = limit;
    // A few threads of connections, so that a burst is served on every core there is.
    qint64 threads = std::clamp(QThread::idealThreadCount(), 1, 4);
    if (!PositiveOption(parser, "threads", threads)) return 2;
    threads = std::min<qint64>(threads, 64);
    std::vector<std::unique_ptr<QThread>> pool;
    std::vector<std::unique_ptr<Worker>> workers;
    std::vector<Worker*> handles;
    for (qint64 i = 0; i < threads; ++i) {
        pool.push_back(std::make_unique<QThread>());
        workers.push_back(std::make_unique<Worker>(shared));
        workers.back()->moveToThread(pool.back().get());
        handles.push_back(workers.back().get());
        pool.back()->start();
        QMetaObject::invokeMethod(
            handles.back(), [w = handles.back()] { w->Start(); }, Qt::QueuedConnection);
    }
    Listener server(shared, handles);
    server.setListenBacklogSize(4096);
    if (!server.listen(QHostAddress(parser.value("host")), quint16(parser.value("port").toUInt()))) {
        std::fprintf(stderr, "tessara-vendor: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    std::printf("Listening on http://%s:%u%s\n", qPrintable(server.serverAddress().toString()),
                unsigned(server.serverPort()), qPrintable(options.base));
    std::fprintf(stderr, "tessara-vendor: at most %d connections (%d descriptors), %d threads\n", limit,
                 descriptors, int(threads));
    std::fflush(stdout);

    // Requests per path go to the store now and then, and at stop.
    QTimer flush;
    QObject::connect(&flush, &QTimer::timeout, [&work] { work.FlushCounts(false); });
    flush.start(5000);

    // On SIGTERM (or SIGINT): no new connections; connections that have not begun a request are
    // closed; requests in flight are finished, within --stop-timeout; then the counts are stored.
#ifdef Q_OS_UNIX
    std::unique_ptr<QSocketNotifier> stopNotifier;
    if (::pipe(StopPipe) == 0) {
        stopNotifier = std::make_unique<QSocketNotifier>(StopPipe[0], QSocketNotifier::Read);
        QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, [&] {
            stopNotifier->setEnabled(false);
            shared.stopping = true;
            server.close();
            for (Worker* w : handles)
                QMetaObject::invokeMethod(w, [w] { w->CloseIdle(); }, Qt::QueuedConnection);
            auto* clock = new QElapsedTimer;
            clock->start();
            auto* wait = new QTimer;
            QObject::connect(wait, &QTimer::timeout, [&, clock] {
                if ((shared.active > 0 || shared.rejecting > 0) && clock->elapsed() < stopTimeout) return;
                work.FlushCounts(true);
                app.exit(0);
            });
            wait->start(20);
        });
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGINT, &action, nullptr);
    }
#endif
    const int code = app.exec();
    // The serving threads go with the process.
    std::_Exit(code);
}
