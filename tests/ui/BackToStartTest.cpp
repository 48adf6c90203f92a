// Going back from the main window to the start window: the city-opening statistics count one opening,
// and the real-estate lists let go of the city that was released.
#include "ProgramHarness.h"
#include "TfrmEstate.h"

#include <QTreeWidget>

#include <QTcpServer>
#include <QTcpSocket>

namespace {

// Counts the requests for one path on 127.0.0.1, answering each with an empty page.
struct CountingSite {
    QTcpServer server;
    int count = 0;
    explicit CountingSite(const QByteArray& path) {
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost));
        QObject::connect(&server, &QTcpServer::newConnection, [this, path] {
            while (QTcpSocket* c = server.nextPendingConnection()) {
                QObject::connect(c, &QTcpSocket::readyRead, c, [this, c, path] {
                    if (c->readAll().contains(path)) ++count;
                    c->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                    c->disconnectFromHost();
                });
            }
        });
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort()); }
};

TEST_F(Program, ReturningToTheStartWindowCountsOneOpening) {
    WriteCity(CityFolder(), QStringLiteral("Demograd"), QStringLiteral("Demograd"));
    CountingSite site("/download/incOpen.php?city=Demograd");
    Open(true);
    app->vendor.Mirrors.Sites[0] = site.base();
    TfrmMain* frm = Next();
    ASSERT_NE(frm, nullptr);
    AnswerModal("btnBack");
    frm->close();
    ASSERT_TRUE(WaitUntil([&] { return start->isVisible() && start->btnGo->isEnabled(); }));
    ASSERT_TRUE(WaitUntil([&] { return site.count >= 1; }, 5000));
    // Time for a second request to arrive, were one sent.
    WaitUntil([] { return false; }, 1000);
    EXPECT_EQ(site.count, 1);
    EXPECT_EQ(start->cbCity->count(), 1);
    EXPECT_EQ(app->LastCity, QStringLiteral("Demograd"));
}

// The update button replaced the loaded city: the window goes back to the start window, and the
// real-estate lists no longer show rows of the released city.
TEST_F(MainWindow, AnUpdateOfTheLoadedCityEmptiesTheEstateLists) {
    QTimer::singleShot(100, [this] {
        if (auto* estate = frm->findChild<TfrmEstate*>()) estate->reject();
    });
    frm->btnEstateClick();
    auto* estate = frm->findChild<TfrmEstate*>();
    ASSERT_NE(estate, nullptr);
    estate->tblFound->addTopLevelItem(new QTreeWidgetItem(QStringList{"2", "Лесная, 12"}));
    estate->tblFavorite->addTopLevelItem(new QTreeWidgetItem(QStringList{"1", "Морская"}));
    app->runDownload = [](UpdateContext& ctx) {
        ctx.Outcome = {};
        ctx.Outcome.DataInstalled = ctx.Outcome.CurrentCityUpdated = true;
    };
    frm->btnUpdateClick();
    ASSERT_TRUE(WaitUntil([&] { return start->isVisible() && !frm->isVisible(); }));
    EXPECT_EQ(estate->tblFound->topLevelItemCount(), 0);
    EXPECT_EQ(estate->tblFavorite->topLevelItemCount(), 0);
    app->runDownload = nullptr;
    frm = nullptr; // the start window owns it; nothing to close
}

} // namespace
