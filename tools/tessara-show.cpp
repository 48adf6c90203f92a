// tessara-show: asks a running Tessara to show an address on its map (one "ShowAdr" line to the
// program's command server).
#include "CommandServer.h"
#include "Settings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHostAddress>
#include <QLocalSocket>
#include <QSettings>
#include <QTcpSocket>
#include <cstdio>

namespace {

constexpr int ConnectMs = 3000;

int Usage() {
    std::fprintf(stderr, "usage: tessara-show [--port N] [--host HOST] \"STREET, NUMBER\"\n"
                         "       tessara-show [--port N] [--host HOST] \"STREET\"\n"
                         "Shows the address on the map of a running Tessara. Without --port and --host\n"
                         "the request goes through the program's own local socket, else over TCP to the\n"
                         "port it listens on (its \"Port\" setting, 12345 unless changed).\n");
    return 1;
}

quint16 StoredPort() {
    if (auto store = OpenSettingsForReading()) {
        bool ok = false;
        const uint port = store->value(QStringLiteral("Port")).toUInt(&ok);
        if (ok && port > 0 && port <= 65535) return quint16(port);
    }
    return 12345;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    quint16 port = StoredPort();
    QString host = QStringLiteral("localhost");
    QString address;
    bool tcpAsked = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if ((a == "--port" || a == "-p") && i + 1 < args.size()) {
            bool ok = false;
            const uint p = args[++i].toUInt(&ok);
            if (!ok || p == 0 || p > 65535) {
                std::fprintf(stderr, "tessara-show: the port must be a number from 1 to 65535\n");
                return 1;
            }
            port = quint16(p);
            tcpAsked = true;
        } else if (a == "--host" && i + 1 < args.size()) {
            host = args[++i];
            tcpAsked = true;
        } else if (a == "--help" || a == "-h" || !address.isEmpty()) {
            return Usage();
        } else {
            address = a;
        }
    }
    address = address.trimmed();
    if (address.isEmpty()) return Usage();
    // A line break would end the request early and start another one.
    if (address.contains(u'\n') || address.contains(u'\r')) {
        std::fprintf(stderr, "tessara-show: the address must be one line\n");
        return 1;
    }
    const QByteArray line = "ShowAdr;" + address.toUtf8() + '\n';
    if (line.size() - 1 > CommandServer::MaxLine) {
        std::fprintf(stderr, "tessara-show: the address is too long\n");
        return 1;
    }

    // The local socket reaches only the user's own program; TCP whatever listens on the port.
    if (!tcpAsked) {
        const QString path = CommandSocketPath();
        QLocalSocket local;
        if (!path.isEmpty() && QFileInfo::exists(path)) local.connectToServer(path);
        if (local.state() == QLocalSocket::ConnectingState) local.waitForConnected(ConnectMs);
        if (local.state() == QLocalSocket::ConnectedState) {
            local.write(line);
            while (local.bytesToWrite() > 0)
                if (!local.waitForBytesWritten(ConnectMs)) break;
            const bool sent = local.bytesToWrite() == 0;
            local.disconnectFromServer();
            if (sent) return 0;
        }
    }

    // "localhost" is both loopback addresses; the program listens on both, either may answer.
    const QList<QHostAddress> targets =
        host == QLatin1String("localhost")
            ? QList<QHostAddress>{QHostAddress::LocalHost, QHostAddress::LocalHostIPv6}
            : QList<QHostAddress>{};
    QTcpSocket socket;
    QString lastError;
    bool connected = false;
    if (targets.isEmpty()) {
        socket.connectToHost(host, port);
        connected = socket.waitForConnected(ConnectMs);
        lastError = socket.errorString();
    } else {
        for (const QHostAddress& target : targets) {
            socket.connectToHost(target, port);
            connected = socket.waitForConnected(ConnectMs);
            if (connected) break;
            lastError = socket.errorString();
            socket.abort();
        }
    }
    if (!connected) {
        std::fprintf(stderr,
                     "tessara-show: nothing answers on %s port %u (%s).\n"
                     "Is Tessara running with a city open? Its port is the \"Port\" setting.\n",
                     qPrintable(host), unsigned(port), qPrintable(lastError));
        return 2;
    }
    socket.write(line);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(ConnectMs)) {
            std::fprintf(stderr, "tessara-show: the request could not be sent (%s)\n",
                         qPrintable(socket.errorString()));
            return 2;
        }
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState) socket.waitForDisconnected(ConnectMs);
    return 0;
}
