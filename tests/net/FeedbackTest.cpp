// Feedback messages and statistics requests end to end: the program's client against the reference
// service on 127.0.0.1 and its store, SQLite and PostgreSQL alike.
#include "HttpClient.h"
#include "StoreConfig.h"
#include "VendorEngines.h"
#include "VendorServer.h"
#include "VendorService.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

struct Stored {
    QString client, recipient, subject, message;
};

// The feedback table of the store a service was started with (its --db).
QList<Stored> ReadStore(const QString& store) {
    QList<Stored> rows;
    {
        QString error;
        const auto config = ParseStoreOption(store, QString(), error);
        QSqlDatabase db;
        if (config) db = OpenStore(*config, "feedback-test", error);
        if (db.isOpen()) {
            QSqlQuery q("SELECT client, recipient, subject, message FROM feedback ORDER BY id", db);
            while (q.next())
                rows.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                             q.value(3).toString()});
        }
    }
    QSqlDatabase::removeDatabase("feedback-test");
    return rows;
}

class Feedback : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        SKIP_WITHOUT_ENGINE(GetParam());
        const QString store = FreshStore(GetParam());
        ASSERT_EQ(store.isEmpty(), GetParam() == Engine::SQLite);
        QDir().mkpath(site.file("pub"));
        server = std::make_unique<VendorServer>(site.file("pub"), QStringList(), store);
        ASSERT_TRUE(server->started());
        mirrors.Sites[0] = mirrors.Sites[1] = server->base();
    }
    ScratchDir site;
    std::unique_ptr<VendorServer> server;
    MirrorSites mirrors;
};
INSTANTIATE_FOR_ENGINES(Feedback);

TEST_P(Feedback, ArrivesInTheStoreByteForByte) {
    VendorService vendor(mirrors);
    const QStringList messages{
        QString::fromUtf8("Здравствуйте!\r\n\r\nЦена 100% & скидка = 5%25\r\nИмя: Пётр+Мария #1 ?x=y\r\n"),
        "a&subj=forged&msg=x", "%41%", QString::fromUtf8("tab\there \\ back ✓ 😀"), " "};
    for (const QString& m : messages)
        ASSERT_TRUE(vendor.SendFeedback(QString::fromUtf8("agent+город@mail.example"), "Анкета", m).ok) << m.toStdString();

    const QList<Stored> rows = ReadStore(server->store());
    ASSERT_EQ(rows.size(), messages.size());
    for (int i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].message, messages[i]);
        EXPECT_EQ(rows[i].recipient, QString::fromUtf8("agent+город@mail.example"));
        EXPECT_EQ(rows[i].subject, QString::fromUtf8("Анкета"));
        EXPECT_EQ(rows[i].client, "127.0.0.1");
    }
    // The listing keeps each message on one line, with the letters readable.
    const QByteArray listing = server->List("--feedback");
    EXPECT_TRUE(listing.contains("Цена 100% & скидка = 5%25\\r\\nИмя: Пётр+Мария #1 ?x=y\\r\\n\n")) << listing.data();
    EXPECT_TRUE(listing.contains("\ttab\\there \\\\ back ✓ 😀\n")) << listing.data();
}

TEST_P(Feedback, RefusesWhatCannotBeStoredFaithfully) {
    VendorService vendor(mirrors);
    // The longest message fits even when every byte of it is percent-encoded.
    const QString longest(4096, QChar(0x0416)); // 8192 bytes of UTF-8
    EXPECT_TRUE(vendor.SendFeedback("a@b.example", "Callback", longest).ok);
    EXPECT_FALSE(vendor.SendFeedback("a@b.example", "Callback", longest + "x").ok);

    HttpClient client;
    const struct {
        const char* query;
        int status;
    } cases[] = {
        {"adr=a&subj=b", 400},                // no message
        {"adr=a&subj=b&msg=x&msg=y", 400},    // two messages: which one?
        {"adr=a&subj=b&msg=%FF%FE", 400},     // not UTF-8
        {"adr=a&subj=b&msg=%D0", 400},        // a letter cut in half
    };
    for (const auto& c : cases)
        EXPECT_EQ(client.Post(server->base() + "soft.php?" + c.query).status, c.status) << c.query;
    const QList<Stored> rows = ReadStore(server->store());
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].message, longest);
}

// A service that takes the connection and never answers: the statistics request returns at once and
// the client gives up on its own later.
class StatisticsStore : public ::testing::TestWithParam<Engine> {};
INSTANTIATE_FOR_ENGINES(StatisticsStore);

TEST_P(StatisticsStore, RequestsArrivingTogetherAreAllStored) {
    // Many clients at once on many serving and database threads: every count and message must be
    // stored, none lost to another thread holding the store. Each round starts on rows that are not
    // there yet.
    SKIP_WITHOUT_ENGINE(GetParam());
    ScratchDir site;
    QDir().mkpath(site.file("pub"));
    const QString store = FreshStore(GetParam());
    const auto server = std::make_unique<VendorServer>(site.file("pub"),
                                                       QStringList{"--threads", "8", "--db-threads", "8"}, store);
    ASSERT_TRUE(server->started());
    constexpr int Rounds = 10, Clients = 24;
    QByteArray expected;
    for (int round = 0; round < Rounds; ++round) {
        std::vector<std::unique_ptr<QTcpSocket>> sockets;
        for (int i = 0; i < Clients; ++i) {
            auto s = std::make_unique<QTcpSocket>();
            s->connectToHost(QHostAddress::LocalHost, server->port());
            ASSERT_TRUE(s->waitForConnected(3000));
            sockets.push_back(std::move(s));
        }
        const QByteArray r = QByteArray::number(round);
        for (int i = 0; i < Clients; ++i)
            sockets[std::size_t(i)]->write("POST " +
                                           (i % 4 == 0 ? "/soft.php?adr=a&subj=s&msg=" + r
                                                       : "/download/incOrg.php?org=" + QByteArray::number(i % 2) +
                                                             "&city=C" + r) +
                                           " HTTP/1.0\r\nContent-Length: 0\r\n\r\n");
        for (auto& s : sockets) {
            QByteArray reply;
            while (s->state() == QAbstractSocket::ConnectedState && s->waitForReadyRead(5000))
                reply += s->readAll();
            reply += s->readAll();
            EXPECT_TRUE(reply.contains(" 200 ")) << reply.left(40).data();
        }
        // Of every four clients one sends feedback, two count organisation 1 and one organisation 0.
        expected += "org\t0\tC" + r + "\t" + QByteArray::number(Clients / 4) + "\n";
        expected += "org\t1\tC" + r + "\t" + QByteArray::number(Clients / 2) + "\n";
    }
    QList<QByteArray> lines = server->List("--stats").split('\n');
    // The requests served per path are listed too; here only the statistics matter.
    lines.removeIf([](const QByteArray& l) { return l.startsWith("request\t"); });
    QList<QByteArray> want = expected.split('\n');
    std::sort(lines.begin(), lines.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(lines, want);
    EXPECT_EQ(ReadStore(server->store()).size(), Rounds * Clients / 4);
}

TEST(Statistics, SilentServiceHoldsNothing) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QList<QTcpSocket*> accepted;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = silent.nextPendingConnection())
            accepted << s;
    });
    MirrorSites mirrors;
    mirrors.Sites[0] = mirrors.Sites[1] = QString("http://127.0.0.1:%1/").arg(silent.serverPort());
    VendorService vendor(mirrors);
    vendor.InternetAvailable = true;
    vendor.StatsTimeoutMs = 300;
    vendor.IncOrg(5, "Demograd.gis");
    vendor.IncOpen("Demograd.gis");
    // Returned without running the event loop: nothing has even connected yet.
    EXPECT_TRUE(accepted.isEmpty());

    QElapsedTimer clock;
    clock.start();
    auto closed = [&] {
        if (accepted.size() < 2) return false;
        for (QTcpSocket* s : accepted)
            if (s->state() == QAbstractSocket::ConnectedState) return false;
        return true;
    };
    while (!closed() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(accepted.size(), 2);
    EXPECT_TRUE(closed()) << "the client should give up on a silent service";
    for (QTcpSocket* s : accepted)
        EXPECT_TRUE(s->readAll().startsWith("POST /download/inc"));
}

} // namespace
