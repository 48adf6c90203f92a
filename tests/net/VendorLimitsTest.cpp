// The reference vendor service against clients that misbehave, over real sockets on 127.0.0.1, with
// short time-outs.
#include "VendorServer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>

namespace {

struct Exchange {
    QByteArray reply;
    bool closed = false; // the service closed the connection
    qint64 ms = 0;       // from the request to the close
};

// Sends `request` on a fresh connection and reads until the service closes it or `waitMs` pass.
Exchange Talk(quint16 port, const QByteArray& request, int waitMs = 5000) {
    Exchange e;
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    if (!s.waitForConnected(2000)) return e;
    QElapsedTimer clock;
    clock.start();
    s.write(request);
    s.waitForBytesWritten(1000);
    while (clock.elapsed() < waitMs) {
        s.waitForReadyRead(50);
        e.reply += s.readAll();
        if (s.state() == QAbstractSocket::UnconnectedState) {
            e.closed = true;
            break;
        }
    }
    e.ms = clock.elapsed();
    return e;
}

class VendorLimits : public ::testing::Test {
protected:
    void Serve(const QStringList& extra) {
        QDir().mkpath(root.file("pub"));
        WriteAll(root.file("pub/download.txt"),
                 "download/Tessara_install.exe\r\nTessara\r\n01.02.2020\r\n-\r\n");
        server = std::make_unique<VendorServer>(root.file("pub"), extra);
        ASSERT_TRUE(server->started());
    }
    ScratchDir root;
    std::unique_ptr<VendorServer> server;
};

TEST_F(VendorLimits, EveryRequestIsBoundedInSizeAndTime) {
    Serve({"--max-body", "1000", "--header-timeout", "400", "--idle-timeout", "400"});
    struct Case {
        const char* name;
        QByteArray request;
        const char* answer; // how the reply begins; empty: closed without a word
        int minMs;          // answered only after the time-out
    };
    const Case cases[] = {
        {"form within the limit",
         "POST /download/inc.php?dfile=x HTTP/1.1\r\nContent-Length: 10\r\n\r\n0123456789", "HTTP/1.1 200",
         0},
        // The answer arrives although the client is still sending the form it announced.
        {"form too large",
         "POST /download/inc.php?dfile=x HTTP/1.1\r\nContent-Length: 100000\r\n\r\n" + QByteArray(20000, 'x'),
         "HTTP/1.1 413", 0},
        {"chunked form", "POST /x.php HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", "HTTP/1.1 501", 0},
        {"length not a number", "POST /x.php HTTP/1.1\r\nContent-Length: 12abc\r\n\r\n", "HTTP/1.1 400", 0},
        {"two different lengths", "POST /x.php HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab",
         "HTTP/1.1 400", 0},
        {"headers too long", "GET /download.txt HTTP/1.1\r\nX-Filler: " + QByteArray(40000, 'a') + "\r\n\r\n",
         "HTTP/1.1 431", 0},
        {"not a request line", "HELLO\r\n\r\n", "HTTP/1.1 400", 0},
        {"request cut short", "GET /download.txt HTTP/1.1\r\nHost: x", "HTTP/1.1 408", 350},
        {"form cut short", "POST /x.php HTTP/1.1\r\nContent-Length: 100\r\n\r\nabc", "HTTP/1.1 408", 350},
        {"silent client", "", "", 350},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Exchange e = Talk(server->port(), c.request);
        EXPECT_TRUE(e.closed);
        EXPECT_TRUE(e.reply.startsWith(c.answer)) << e.reply.left(60).toStdString();
        if (!*c.answer) {
            EXPECT_TRUE(e.reply.isEmpty());
        }
        EXPECT_GE(e.ms, c.minMs);
    }
    // Still serving after all that.
    EXPECT_TRUE(Talk(server->port(), "GET /download.txt HTTP/1.1\r\n\r\n").reply.endsWith("-\r\n"));
}

TEST_F(VendorLimits, ConnectionsPastTheLimitGet503) {
    Serve({"--max-connections", "2", "--header-timeout", "5000", "--idle-timeout", "5000"});
    auto idle = std::make_unique<QTcpSocket[]>(2);
    for (int i = 0; i < 2; ++i) {
        idle[i].connectToHost(QHostAddress::LocalHost, server->port());
        ASSERT_TRUE(idle[i].waitForConnected(2000));
    }
    QThread::msleep(200); // the service takes them up
    const Exchange refused = Talk(server->port(), "GET /download.txt HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(refused.reply.startsWith("HTTP/1.1 503")) << refused.reply.left(60).toStdString();
    EXPECT_TRUE(refused.reply.contains("Retry-After: 1\r\n"));
    // Room again once they leave.
    for (int i = 0; i < 2; ++i)
        idle[i].disconnectFromHost();
    QThread::msleep(300);
    EXPECT_TRUE(Talk(server->port(), "GET /download.txt HTTP/1.1\r\n\r\n").reply.startsWith("HTTP/1.1 200"));
}

TEST_F(VendorLimits, LogFieldsStayOnTheirLine) {
    Serve({});
    Talk(server->port(), "GET /download.txt?a=1\tforged HTTP/1.1\r\nUser-Agent: evil\tagent\x01\xff\r\n\r\n");
    Talk(server->port(), "GET /x\rb.php HTTP/1.1\r\nUser-Agent: back\\slash\r\n\r\n");
    const QList<QStringList> log = server->Requests();
    ASSERT_EQ(log.size(), 2);
    for (const QStringList& fields : log)
        EXPECT_EQ(fields.size(), 4) << fields.join('|').toStdString();
    EXPECT_EQ(log[0].mid(1), QStringList({"GET", "/download.txt?a=1\\tforged", "evil\\tagent\\x01\\xff"}));
    EXPECT_EQ(log[1].mid(1), QStringList({"GET", "/x\\rb.php", "back\\\\slash"}));
}

} // namespace
