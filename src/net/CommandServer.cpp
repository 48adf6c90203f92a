#include "CommandServer.h"

#include "Folders.h"
#include "Settings.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMutex>
#include <QMutexLocker>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A loopback address the machine does not have is left out; any other failure (the port taken, no
// permission) keeps the server from running at all, so that clients never reach half of it.
bool AddressMissing(QAbstractSocket::SocketError e) {
    return e == QAbstractSocket::UnsupportedSocketOperationError ||
           e == QAbstractSocket::SocketAddressNotAvailableError;
}

} // namespace

// Everything but the snapshot is touched on the server's thread only.
struct CommandServer::Worker {
    explicit Worker(const AddressHandler& handler) : onAddress(handler) {
        thread.setObjectName(QStringLiteral("CommandServer"));
        context = new QObject;
        clock.start();
        context->moveToThread(&thread);
        thread.start();
    }

    ~Worker() {
        QMetaObject::invokeMethod(
            context,
            [this] {
                for (QIODevice* s : open.keys()) {
                    QObject::disconnect(s, nullptr, context, nullptr);
                    Abort(s);
                }
                open.clear();
                // Closing the local server removes its socket file.
                if (local) local->close();
                // Listeners and their sockets are the context's children.
                delete context;
            },
            Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }

    bool Listen(quint16 port, bool anyHost, const QString& path) {
        bool ok = false;
        QMetaObject::invokeMethod(
            context,
            [&] {
                ok = ListenHere(port, anyHost);
                if (!path.isEmpty()) ListenLocal(path);
            },
            Qt::BlockingQueuedConnection);
        return ok;
    }

    QTcpServer* Open(const QHostAddress& address, quint16 port, QAbstractSocket::SocketError& error) {
        auto* s = new QTcpServer(context);
        // One accepted connection waits at most; the rest stay in the system's queue until a slot frees.
        s->setMaxPendingConnections(1);
        s->setListenBacklogSize(ListenBacklog);
        if (!s->listen(address, port)) {
            error = s->serverError();
            delete s;
            return nullptr;
        }
        QObject::connect(s, &QTcpServer::newConnection, context, [this] { TakePending(); });
        return s;
    }

    bool ListenHere(quint16 port, bool anyHost) {
        if (anyHost) {
            QAbstractSocket::SocketError e{};
            if (QTcpServer* s = Open(QHostAddress::Any, port, e)) listeners = {s};
        } else {
            // A free port is asked of the IPv4 loopback; ::1 may have it taken, so a few tries.
            for (int attempt = 0; attempt < (port == 0 ? 5 : 1) && listeners.empty(); ++attempt) {
                QAbstractSocket::SocketError e4{}, e6{};
                QTcpServer* s4 = Open(QHostAddress::LocalHost, port, e4);
                QTcpServer* s6 = Open(QHostAddress::LocalHostIPv6, s4 ? s4->serverPort() : port, e6);
                if ((s4 || AddressMissing(e4)) && (s6 || AddressMissing(e6)) && (s4 || s6)) {
                    for (QTcpServer* s : {s4, s6})
                        if (s) listeners.push_back(s);
                } else {
                    delete s4;
                    delete s6;
                }
            }
        }
        QMutexLocker lock(&snapshotMutex);
        for (QTcpServer* s : listeners) {
            addresses << s->serverAddress();
            listeningPort = s->serverPort();
        }
        return !listeners.empty();
    }

    void ListenLocal(const QString& path) {
        // Only one program of the user serves commands, so a socket at the path is one left behind by a
        // run that ended; anything else there was not made by us and stays.
        if (!IsSocketOrAbsent(path)) return;
        QLocalServer::removeServer(path);
        auto* s = new QLocalServer(context);
        s->setSocketOptions(QLocalServer::UserAccessOption);
        s->setMaxPendingConnections(1);
        s->setListenBacklogSize(ListenBacklog);
        if (!s->listen(path)) {
            delete s;
            return;
        }
        QObject::connect(s, &QLocalServer::newConnection, context, [this] { TakePending(); });
        local = s;
        QMutexLocker lock(&snapshotMutex);
        servedPath = path;
    }

    static bool IsSocketOrAbsent(const QString& path) {
        struct stat st {};
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return errno == ENOENT;
        return S_ISSOCK(st.st_mode) && st.st_uid == ::geteuid();
    }

    template <typename Server>
    void Take(Server* server, bool viaLocal) {
        while (server->hasPendingConnections()) {
            if (Count(viaLocal) >= MaxConnections) EvictIdlest(viaLocal);
            QIODevice* next = server->nextPendingConnection();
            if (!next) break;
            Serve(next, viaLocal);
        }
    }

    void TakePending() {
        if (taking) return;
        taking = true;
        for (QTcpServer* l : listeners)
            Take(l, false);
        if (local) Take(local, true);
        taking = false;
        connections = int(open.size());
    }

    int Count(bool viaLocal) const {
        int n = 0;
        for (const Connection& c : open)
            n += c.viaLocal == viaLocal;
        return n;
    }

    // A client waiting is preferred to one that keeps its slot without talking: clients that send a
    // line now and then, or hold connections idle, would otherwise keep everyone else out.
    void EvictIdlest(bool viaLocal) {
        QIODevice* idlest = nullptr;
        qint64 since = 0;
        for (auto it = open.cbegin(); it != open.cend(); ++it)
            if (it->viaLocal == viaLocal && (!idlest || it->lastByte < since)) {
                idlest = it.key();
                since = it->lastByte;
            }
        if (!idlest) return;
        ReadLines(idlest); // what it sent in whole lines is served before it goes
        if (open.contains(idlest)) Drop(idlest);
    }

    void Serve(QIODevice* s, bool viaLocal) {
        open.insert(s, {clock.elapsed(), viaLocal});
        // Qt keeps no more than one line in memory: a longer one is seen as soon as it fills this.
        QObject::connect(s, &QIODevice::readyRead, context, [this, s] {
            if (const auto c = open.find(s); c != open.end()) c->lastByte = clock.elapsed();
            ReadLines(s);
        });
        if (auto* t = qobject_cast<QAbstractSocket*>(s)) {
            t->setReadBufferSize(MaxLine + 1);
            QObject::connect(t, &QAbstractSocket::disconnected, context, [this, s] { Finish(s, true); });
            QObject::connect(t, &QAbstractSocket::errorOccurred, context, [this, s, t] {
                if (t->state() == QAbstractSocket::UnconnectedState) Finish(s, true);
            });
        } else if (auto* l = qobject_cast<QLocalSocket*>(s)) {
            l->setReadBufferSize(MaxLine + 1);
            QObject::connect(l, &QLocalSocket::disconnected, context, [this, s] { Finish(s, true); });
            QObject::connect(l, &QLocalSocket::errorOccurred, context, [this, s, l] {
                if (l->state() == QLocalSocket::UnconnectedState) Finish(s, true);
            });
        }
        if (s->bytesAvailable() > 0) ReadLines(s);
    }

    void ReadLines(QIODevice* s) {
        if (!open.contains(s)) return;
        bool tooLong = false;
        while (!tooLong && s->canReadLine()) {
            const qint64 n = s->readLine(line.data(), line.size());
            if (n <= 0) return;
            tooLong = line[n - 1] != '\n'; // more than MaxLine before the LF
            if (tooLong) break;
            const QString address = ShowAdrArgument(QByteArrayView(line.constData(), n - 1));
            if (!address.isEmpty() && onAddress) onAddress(address);
            ++lines; // after the hand-over, so a count seen elsewhere includes its effect
        }
        if (tooLong || s->bytesAvailable() > MaxLine) Finish(s, false);
    }

    // `readRest`: the client closed, so complete lines still buffered are served first.
    void Finish(QIODevice* s, bool readRest) {
        if (readRest) ReadLines(s);
        if (!open.contains(s)) return;
        Drop(s);
        TakePending();
    }

    static void Abort(QIODevice* s) {
        if (auto* t = qobject_cast<QAbstractSocket*>(s))
            t->abort();
        else if (auto* l = qobject_cast<QLocalSocket*>(s))
            l->abort();
    }

    void Drop(QIODevice* s) {
        open.remove(s);
        connections = int(open.size());
        QObject::disconnect(s, nullptr, context, nullptr);
        Abort(s);
        s->deleteLater();
    }

    struct Connection {
        qint64 lastByte = 0; // when its last byte came (or it was accepted)
        bool viaLocal = false;
    };

    AddressHandler onAddress;
    QThread thread;
    QObject* context = nullptr;
    std::vector<QTcpServer*> listeners;
    QLocalServer* local = nullptr;
    QHash<QIODevice*, Connection> open;
    QElapsedTimer clock;
    bool taking = false;
    QByteArray line = QByteArray(MaxLine + 2, Qt::Uninitialized); // a line, its LF and readLine's NUL

    std::atomic<int> connections{0};
    std::atomic<quint64> lines{0};
    mutable QMutex snapshotMutex;
    QList<QHostAddress> addresses;
    quint16 listeningPort = 0;
    QString servedPath;
};

CommandServer::CommandServer(AddressHandler onAddress) : onAddress_(std::move(onAddress)) {}

CommandServer::~CommandServer() {
    Stop();
}

bool CommandServer::Start(quint16 port, bool anyHost, const QString& localPath) {
    Stop();
    worker_ = std::make_unique<Worker>(onAddress_);
    const bool tcp = worker_->Listen(port, anyHost, localPath);
    if (!tcp && LocalPath().isEmpty()) worker_.reset();
    return tcp;
}

void CommandServer::Stop() {
    worker_.reset();
}

bool CommandServer::IsListening() const {
    return worker_ != nullptr;
}

quint16 CommandServer::Port() const {
    if (!worker_) return 0;
    QMutexLocker lock(&worker_->snapshotMutex);
    return worker_->listeningPort;
}

QString CommandServer::LocalPath() const {
    if (!worker_) return QString();
    QMutexLocker lock(&worker_->snapshotMutex);
    return worker_->servedPath;
}

QList<QHostAddress> CommandServer::Addresses() const {
    if (!worker_) return {};
    QMutexLocker lock(&worker_->snapshotMutex);
    return worker_->addresses;
}

int CommandServer::Connections() const {
    return worker_ ? worker_->connections.load() : 0;
}

quint64 CommandServer::LinesServed() const {
    return worker_ ? worker_->lines.load() : 0;
}

QString CommandSocketPath() {
    const QString folder = UserRuntimeFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("tessara-%1-command").arg(::geteuid());
}

bool ReadCommandServerAnyHost() {
    const auto store = OpenSettingsForReading();
    if (!store) return false;
    bool ok = false;
    return store->value(QStringLiteral("CommandServerAnyHost")).toString().trimmed().toInt(&ok) == 1 && ok;
}
