// The command server over real sockets on 127.0.0.1 and ::1: the line rules, the listening addresses,
// a port in use, the line and connection limits, and stopping.
#include "CommandServer.h"
#include "Cp1251.h"
#include "LocalSockets.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// What the server handed over, from its thread.
struct Received {
    QMutex mutex;
    QStringList addresses;
    CommandServer::AddressHandler handler() {
        return [this](const QString& a) {
            QMutexLocker lock(&mutex);
            addresses << a;
        };
    }
    QStringList all() {
        QMutexLocker lock(&mutex);
        return addresses;
    }
    bool has(const QString& a) { return all().contains(a); }
};

std::unique_ptr<QTcpSocket> Connect(const QHostAddress& address, quint16 port) {
    auto s = std::make_unique<QTcpSocket>();
    s->connectToHost(address, port);
    EXPECT_TRUE(s->waitForConnected(3000)) << address.toString().toStdString();
    return s;
}

void Send(QTcpSocket& s, const QByteArray& bytes) {
    s.write(bytes);
    while (s.bytesToWrite() > 0 && s.waitForBytesWritten(3000)) {
    }
}

// The loopback addresses the server listens on (::1 only where the machine has it).
QList<QHostAddress> Loopbacks(const CommandServer& server) {
    QList<QHostAddress> out;
    for (const QHostAddress& a : server.Addresses())
        if (a.isLoopback()) out << a;
    return out;
}

} // namespace

TEST(CommandServer, LineRulesOverBothLoopbacks) {
    Received got;
    CommandServer server(got.handler());
    ASSERT_TRUE(server.Start(0, false));
    struct Case {
        QByteArray line;
        QString shown; // empty: nothing is shown
    } cases[] = {
        {"ShowAdr;Ленина улица, 5\n", "Ленина улица, 5"},
        {"ShowAdr;Мира проспект, 7\r\n", "Мира проспект, 7"}, // CR before LF dropped
        {"ShowAdr;Мира проспект\r\r\n", "Мира проспект\r"},   // only the one before the LF
        {"showadr;Ленина улица, 5\n", ""},                    // the command word in another case
        {"SHOWADR;Ленина улица, 5\n", ""},
        {" ShowAdr;Ленина улица, 5\n", ""},
        {"ShowAdr Ленина улица, 5\n", ""}, // no ";": a command without argument
        {"ShowAdr\n", ""},
        {"ShowAdr;\n", ""},
        {"Show;Ленина улица\n", ""},
        {"\n", ""},
        {"ShowAdr;Улица;с точкой, 3\n", "Улица;с точкой, 3"}, // split at the first ";"
        {"ShowAdr;" + ToCp1251(QStringLiteral("Садовая улица, 12")) + "\n", "Садовая улица, 12"},
        {"ShowAdr;Caf\xc3\xa9 street, 1\n", QStringLiteral("Café street, 1")}, // valid UTF-8 is UTF-8
    };
    const QList<QHostAddress> loopbacks = Loopbacks(server);
    ASSERT_FALSE(loopbacks.isEmpty());
    for (const QHostAddress& address : loopbacks) {
        got.addresses.clear();
        auto client = Connect(address, server.Port());
        QByteArray stream;
        QStringList expected;
        for (const Case& c : cases) {
            stream += c.line;
            if (!c.shown.isEmpty()) expected << c.shown;
        }
        // One connection carries every line, in pieces that cut lines and characters apart.
        stream += "ShowAdr;END\n";
        for (qsizetype at = 0; at < stream.size(); at += 7)
            Send(*client, stream.mid(at, 7));
        ASSERT_TRUE(WaitFor([&] { return got.has("END"); })) << address.toString().toStdString();
        expected << "END";
        EXPECT_EQ(got.all(), expected) << address.toString().toStdString();
    }

    // Text after the last LF when the client closes is not a line.
    got.addresses.clear();
    auto client = Connect(QHostAddress::LocalHost, server.Port());
    Send(*client, "ShowAdr;before\nShowAdr;cut off");
    ASSERT_TRUE(WaitFor([&] { return got.has("before"); }));
    client->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return server.Connections() == 0; }));
    EXPECT_EQ(got.all(), QStringList{"before"});
}

TEST(CommandServer, ListensOnTheLoopbackUnlessTheNetworkIsAsked) {
    CommandServer server({});
    ASSERT_TRUE(server.Start(0, false));
    const QList<QHostAddress> addresses = server.Addresses();
    ASSERT_FALSE(addresses.isEmpty());
    for (const QHostAddress& a : addresses)
        EXPECT_TRUE(a.isLoopback()) << a.toString().toStdString();
    EXPECT_TRUE(addresses.contains(QHostAddress(QHostAddress::LocalHost)));
    EXPECT_NE(server.Port(), 0);

    ASSERT_TRUE(server.Start(0, true));
    EXPECT_EQ(server.Addresses(), QList<QHostAddress>{QHostAddress(QHostAddress::Any)});
    // The loopback reaches it too.
    auto client = Connect(QHostAddress::LocalHost, server.Port());
    EXPECT_EQ(client->state(), QAbstractSocket::ConnectedState);

    server.Stop();
    EXPECT_FALSE(server.IsListening());
    EXPECT_TRUE(server.Addresses().isEmpty());
}

TEST(CommandServer, PortInUseLeavesNothingListening) {
    for (QHostAddress::SpecialAddress taken : {QHostAddress::LocalHost, QHostAddress::LocalHostIPv6}) {
        QTcpServer other;
        if (!other.listen(taken, 0)) {
            ASSERT_EQ(taken, QHostAddress::LocalHostIPv6) << "no IPv4 loopback";
            continue; // this machine has no ::1
        }
        CommandServer server({});
        EXPECT_FALSE(server.Start(other.serverPort(), false)) << QHostAddress(taken).toString().toStdString();
        EXPECT_FALSE(server.IsListening());
        EXPECT_TRUE(server.Addresses().isEmpty());
        EXPECT_EQ(server.Port(), 0);
        // Once the port is free, the server starts there.
        const quint16 port = other.serverPort();
        other.close();
        EXPECT_TRUE(server.Start(port, false));
    }
}

TEST(CommandServer, ALineLongerThanTheLimitClosesItsConnectionOnly) {
    Received got;
    CommandServer server(got.handler());
    ASSERT_TRUE(server.Start(0, false));
    const QByteArray prefix = "ShowAdr;";

    // Exactly the limit, LF not counted, is a line.
    auto fits = Connect(QHostAddress::LocalHost, server.Port());
    const QByteArray longest = prefix + QByteArray(CommandServer::MaxLine - prefix.size(), 'x');
    Send(*fits, longest + "\n");
    ASSERT_TRUE(WaitFor([&] { return got.all().size() == 1; }));
    EXPECT_EQ(got.all().front().size(), CommandServer::MaxLine - prefix.size());

    // One byte more, and 10 MB without a line end: the server closes those connections and shows nothing.
    for (qsizetype size : {CommandServer::MaxLine + 1, qsizetype(10) << 20}) {
        auto flood = Connect(QHostAddress::LocalHost, server.Port());
        flood->write(prefix + QByteArray(size - prefix.size(), 'y'));
        EXPECT_TRUE(WaitFor(
            [&] {
                flood->waitForBytesWritten(10);
                return flood->state() == QAbstractSocket::UnconnectedState;
            },
            10000))
            << size;
    }
    // The well-behaved connection is still served.
    Send(*fits, "ShowAdr;after\n");
    ASSERT_TRUE(WaitFor([&] { return got.has("after"); }));
    EXPECT_EQ(got.all().size(), 2);
    EXPECT_EQ(server.Connections(), 1);
}

// When every slot is taken, a client that waits is served at once: the connection silent the longest
// gives way, and those that keep talking stay.
TEST(CommandServer, AWaitingClientTakesTheSlotOfTheLongestSilentConnection) {
    Received got;
    CommandServer server(got.handler());
    ASSERT_TRUE(server.Start(0, false));
    std::vector<std::unique_ptr<QTcpSocket>> open;
    for (int i = 0; i < CommandServer::MaxConnections; ++i)
        open.push_back(Connect(QHostAddress::LocalHost, server.Port()));
    ASSERT_TRUE(WaitFor([&] { return server.Connections() == CommandServer::MaxConnections; }));
    // Every connection but the first sends a byte later than the first did.
    Send(*open.front(), "ShowAdr;first\n");
    ASSERT_TRUE(WaitFor([&] { return got.has("first"); }));
    WaitFor([] { return false; }, 50);
    for (size_t i = 1; i < open.size(); ++i)
        Send(*open[i], "P");
    WaitFor([] { return false; }, 100);

    auto waiting = Connect(QHostAddress::LocalHost, server.Port());
    Send(*waiting, "ShowAdr;waiting\n");
    EXPECT_TRUE(WaitFor([&] { return got.has("waiting"); }));
    EXPECT_EQ(server.Connections(), CommandServer::MaxConnections);
    EXPECT_TRUE(WaitFor([&] {
        open.front()->waitForReadyRead(10);
        return open.front()->state() == QAbstractSocket::UnconnectedState;
    }));
    for (size_t i = 1; i < open.size(); ++i)
        EXPECT_EQ(open[i]->state(), QAbstractSocket::ConnectedState) << i;
}

// Clients that hold every slot by sending a byte now and then, with hundreds of idle connections queued
// behind them, keep a real request out no longer than it takes to pass them.
TEST(CommandServer, SlowSendersAndIdleConnectionsDoNotKeepARequestOut) {
    Received got;
    CommandServer server(got.handler());
    ASSERT_TRUE(server.Start(0, false));
    std::vector<std::unique_ptr<QTcpSocket>> slow;
    for (int i = 0; i < CommandServer::MaxConnections; ++i)
        slow.push_back(Connect(QHostAddress::LocalHost, server.Port()));
    ASSERT_TRUE(WaitFor([&] { return server.Connections() == CommandServer::MaxConnections; }));
    QTimer trickle;
    QObject::connect(&trickle, &QTimer::timeout, [&] {
        for (auto& s : slow)
            s->write("x"); // a line that never ends, one byte at a time
    });
    trickle.start(100);
    std::vector<int> idle;
    for (int i = 0; i < 500; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(server.Port());
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        idle.push_back(fd);
    }
    auto real = Connect(QHostAddress::LocalHost, server.Port());
    Send(*real, "ShowAdr;Ленина улица, 5\n");
    EXPECT_TRUE(WaitFor([&] { return got.has("Ленина улица, 5"); }, 3000));
    trickle.stop();
    for (const int fd : idle)
        ::close(fd);
}

// The local socket: only the user can open it, it takes the place of one left behind, and it serves
// even when the port is taken; something else at its name is left alone.
TEST(CommandServer, TheLocalSocketServesItsUserOnly) {
    QTemporaryDir runtime;
    const QString path = runtime.filePath("tessara-command");
    ASSERT_TRUE(LeaveSocketBehind(path));
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
    Received got;
    CommandServer server(got.handler());
    EXPECT_FALSE(server.Start(taken.serverPort(), false, path));
    EXPECT_TRUE(server.IsListening());
    EXPECT_EQ(server.LocalPath(), path);
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 077, 0u) << "others may not connect";

    QLocalSocket client;
    client.connectToServer(path);
    ASSERT_TRUE(client.waitForConnected(3000));
    client.write("ShowAdr;Мира проспект, 7\r\n");
    client.waitForBytesWritten(3000);
    EXPECT_TRUE(WaitFor([&] { return got.has("Мира проспект, 7"); }));
    server.Stop();
    EXPECT_FALSE(QFile::exists(path));

    // A file of that name is not the server's to replace.
    WriteAll(path, "someone's file");
    ASSERT_TRUE(server.Start(0, false, path));
    EXPECT_TRUE(server.LocalPath().isEmpty());
    EXPECT_EQ(ReadAll(path), "someone's file");
}

TEST(CommandServer, StopClosesEveryConnectionAndFreesThePort) {
    Received got;
    CommandServer server(got.handler());
    ASSERT_TRUE(server.Start(0, false));
    const quint16 port = server.Port();
    auto client = Connect(QHostAddress::LocalHost, port);
    Send(*client, "ShowAdr;one\n");
    ASSERT_TRUE(WaitFor([&] { return got.has("one"); }));
    server.Stop();
    EXPECT_TRUE(WaitFor([&] {
        client->waitForReadyRead(10);
        return client->state() == QAbstractSocket::UnconnectedState;
    }));
    EXPECT_EQ(server.Connections(), 0);
    ASSERT_TRUE(server.Start(port, false));
    auto again = Connect(QHostAddress::LocalHost, port);
    Send(*again, "ShowAdr;two\n");
    EXPECT_TRUE(WaitFor([&] { return got.has("two"); }));
}

TEST(CommandServer, TheShowClientSendsOneRequestOrSaysNothingListens) {
    Received got;
    CommandServer server(got.handler());
    ASSERT_TRUE(server.Start(0, false));
    const QString port = QString::number(server.Port());
    auto run = [](const QStringList& args, QString* err = nullptr) {
        QProcess p;
        p.start(QStringLiteral(TESSARA_SHOW_EXE), args);
        EXPECT_TRUE(p.waitForFinished(20000));
        if (err) *err = QString::fromLocal8Bit(p.readAllStandardError());
        return p.exitCode();
    };
    EXPECT_EQ(run({"--port", port, "Ленина улица, 5"}), 0);
    EXPECT_TRUE(WaitFor([&] { return got.has("Ленина улица, 5"); }));
    QString err;
    EXPECT_EQ(run({"--port", port, "Ленина улица\nShowAdr;Мира проспект"}, &err), 1);
    EXPECT_TRUE(err.contains("one line")) << err.toStdString();
    EXPECT_EQ(run({"--port", port}), 1);

    server.Stop();
    EXPECT_EQ(run({"--port", port, "Ленина улица, 5"}, &err), 2);
    EXPECT_TRUE(err.contains("nothing answers on localhost port " + port)) << err.toStdString();
    EXPECT_EQ(got.all(), QStringList{"Ленина улица, 5"});
}
