// Expanding an organisation's card tells the vendor's statistics which organisation was looked at.
#include "ProgramHarness.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace {

// Answers every request with an empty page and keeps its request line.
struct RequestLog {
    QTcpServer server;
    QStringList lines;
    RequestLog() {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    const QByteArray head = s->peek(4096);
                    if (!head.contains("\r\n\r\n")) return;
                    lines << QString::fromLatin1(head.left(head.indexOf(" HTTP/")));
                    s->readAll();
                    s->write("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
                    s->disconnectFromHost();
                });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort()); }
};

using CardStatistics = MainWindow;

TEST_F(CardStatistics, ExpandingACardSendsItsOrganisation) {
    RequestLog log;
    ASSERT_TRUE(log.server.isListening());
    app->vendor.Mirrors.Sites[0] = log.base();
    app->vendor.InternetAvailable = true;
    TCardList* list = frm->list;
    list->ClearResults();
    list->ShowOrgCards(QStringLiteral("two"), Tai{3, 4}, -1);
    ASSERT_EQ(list->cards.crds.size(), 2u);
    const TCard& second = list->cards.crds[1];
    ASSERT_TRUE(second.Collapsed);
    list->imgCardsMouseUp(Qt::LeftButton, 100, second.top + 5, QPoint());
    ASSERT_FALSE(list->cards.crds[1].Collapsed);
    const QString expected =
        QStringLiteral("POST /download/incOrg.php?org=%1&city=Demograd").arg(app->db->Orgs[4].id);
    EXPECT_TRUE(WaitUntil([&] { return log.lines.contains(expected); }, 5000)) << log.lines.join('\n').toStdString();
    EXPECT_EQ(log.lines.count(expected), 1);
}

} // namespace
