// The reference vendor service against clients that misbehave, over real sockets on 127.0.0.1, with
// short time-outs.
#include "VendorServer.h"

#include <gtest/gtest.h>

#include <QThread>

namespace {

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
    // A feedback request carries a person's name, address and message: only its size is logged.
    Talk(server->port(), "POST /soft.php?adr=ann%40mail.example&subj=Hi&msg=Ann+Lee%2C+call+me HTTP/1.1\r\n"
                         "Content-Length: 0\r\n\r\n");
    Talk(server->port(), "POST /so%66t.php?adr=bob%40mail.example HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n");
    ASSERT_TRUE(server->WaitForRequests(4));
    const QList<QStringList> log = server->Requests();
    ASSERT_EQ(log.size(), 4);
    EXPECT_EQ(log[2].value(2), "/soft.php (query of 53 bytes)");
    EXPECT_EQ(log[3].value(2), "/so%66t.php (query of 22 bytes)");
    for (const QStringList& fields : log)
        EXPECT_FALSE(fields.join('|').contains("mail.example")) << fields.join('|').toStdString();
    for (const QStringList& fields : log)
        EXPECT_EQ(fields.size(), 4) << fields.join('|').toStdString();
    EXPECT_EQ(log[0].mid(1), QStringList({"GET", "/download.txt?a=1\\tforged", "evil\\tagent\\x01\\xff"}));
    EXPECT_EQ(log[1].mid(1), QStringList({"GET", "/x\\rb.php", "back\\\\slash"}));
}

} // namespace
