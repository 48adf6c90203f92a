#include "CommandServer.h"

#include "Cp1251.h"
#include "Settings.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <vector>

CommandLine ParseCommandLine(QByteArrayView line) {
    if (line.endsWith('\r')) line.chop(1);
    const qsizetype semicolon = line.indexOf(';');
    if (semicolon < 0) return {line.toByteArray(), QString()};
    const QByteArrayView argument = line.sliced(semicolon + 1);
    return {line.first(semicolon).toByteArray(),
            argument.isValidUtf8() ? QString::fromUtf8(argument) : FromCp1251(argument)};
}

QString ShowAdrArgument(QByteArrayView line) {
    CommandLine c = ParseCommandLine(line);
    return c.command == "ShowAdr" ? c.argument : QString();
}

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
    Worker(const AddressHandler& handler, int idleGraceMs) : onAddress(handler), idleGrace(idleGraceMs) {
        thread.setObjectName(QStringLiteral("CommandServer"));
        context = new QObject;
        evictTimer = new QTimer(context);
        evictTimer->setSingleShot(true);
        QObject::connect(evictTimer, &QTimer::timeout, context, [this] { TakePending(); });
        clock.start();
        context->moveToThread(&thread);
        thread.start();
    }

    ~Worker() {
        QMetaObject::invokeMethod(
            context,
            [this] {
                for (QTcpSocket* s : open.keys()) {
                    QObject::disconnect(s, nullptr, context, nullptr);
                    s->abort();
                }
                open.clear();
                // Listeners and their sockets are the context's children.
                delete context;
            },
            Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }

    bool Listen(quint16 port, bool anyHost) {
        bool ok = false;
        QMetaObject::invokeMethod(
            context, [&] { ok = ListenHere(port, anyHost); }, Qt::BlockingQueuedConnection);
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

    void TakePending() {
        for (QTcpServer* l : listeners)
            while (l->hasPendingConnections()) {
                if (int(open.size()) >= MaxConnections && !EvictIdlest()) break;
                Serve(l->nextPendingConnection());
            }
        connections = int(open.size());
    }

    // Idle clients holding every slot would otherwise shut out everyone else for as long as they like.
    bool EvictIdlest() {
        QTcpSocket* idlest = nullptr;
        qint64 since = 0;
        for (auto it = open.cbegin(); it != open.cend(); ++it)
            if (!idlest || it.value() < since) {
                idlest = it.key();
                since = it.value();
            }
        const qint64 idleFor = clock.elapsed() - since;
        if (idlest && idleFor >= idleGrace) {
            Drop(idlest);
            return true;
        }
        if (idlest && !evictTimer->isActive()) evictTimer->start(int(idleGrace - idleFor) + 1);
        return false;
    }

    void Serve(QTcpSocket* s) {
        open.insert(s, clock.elapsed());
        // Qt keeps no more than one line in memory: a longer one is seen as soon as it fills this.
        s->setReadBufferSize(MaxLine + 1);
        QObject::connect(s, &QTcpSocket::readyRead, context, [this, s] { ReadLines(s); });
        QObject::connect(s, &QTcpSocket::disconnected, context, [this, s] { Finish(s, true); });
        QObject::connect(s, &QTcpSocket::errorOccurred, context, [this, s] {
            if (s->state() == QAbstractSocket::UnconnectedState) Finish(s, true);
        });
        if (s->bytesAvailable() > 0) ReadLines(s);
    }

    void ReadLines(QTcpSocket* s) {
        if (!open.contains(s)) return;
        bool tooLong = false;
        while (!tooLong && s->canReadLine()) {
            const qint64 n = s->readLine(line.data(), line.size());
            if (n <= 0) return;
            open[s] = clock.elapsed();
            tooLong = line[n - 1] != '\n'; // more than MaxLine before the LF
            if (tooLong) break;
            const QString address = ShowAdrArgument(QByteArrayView(line.constData(), n - 1));
            if (!address.isEmpty() && onAddress) onAddress(address);
            ++lines; // after the hand-over, so a count seen elsewhere includes its effect
        }
        if (tooLong || s->bytesAvailable() > MaxLine) Finish(s, false);
    }

    // `readRest`: the client closed, so complete lines still buffered are served first.
    void Finish(QTcpSocket* s, bool readRest) {
        if (readRest) ReadLines(s);
        if (!open.contains(s)) return;
        Drop(s);
        TakePending();
    }

    void Drop(QTcpSocket* s) {
        open.remove(s);
        QObject::disconnect(s, nullptr, context, nullptr);
        s->abort();
        s->deleteLater();
    }

    AddressHandler onAddress;
    QThread thread;
    QObject* context = nullptr;
    std::vector<QTcpServer*> listeners;
    QHash<QTcpSocket*, qint64> open; // each connection and when it last gave a whole line
    QElapsedTimer clock;
    int idleGrace;
    QTimer* evictTimer = nullptr;
    QByteArray line = QByteArray(MaxLine + 2, Qt::Uninitialized); // a line, its LF and readLine's NUL

    std::atomic<int> connections{0};
    std::atomic<quint64> lines{0};
    mutable QMutex snapshotMutex;
    QList<QHostAddress> addresses;
    quint16 listeningPort = 0;
};

CommandServer::CommandServer(AddressHandler onAddress) : onAddress_(std::move(onAddress)) {}

CommandServer::~CommandServer() {
    Stop();
}

bool CommandServer::Start(quint16 port, bool anyHost) {
    Stop();
    worker_ = std::make_unique<Worker>(onAddress_, idleGraceMs_);
    if (worker_->Listen(port, anyHost)) return true;
    worker_.reset();
    return false;
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

bool ReadCommandServerAnyHost() {
    const auto store = OpenSettingsForReading();
    if (!store) return false;
    bool ok = false;
    return store->value(QStringLiteral("CommandServerAnyHost")).toString().trimmed().toInt(&ok) == 1 && ok;
}
