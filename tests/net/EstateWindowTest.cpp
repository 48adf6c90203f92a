// The real-estate window against tessara-vendor on 127.0.0.1: the query it sends, the list, sorting,
// favourites, showing an offer, printing the favourites to PDF, and a service that is not there.
#include "AppContext.h"
#include "TempSettingsStore.h"
#include "TfrmEstate.h"
#include "VendorServer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QHeaderView>
#include <QTimer>
#include <QTreeWidget>

namespace {

const QByteArray Offers =
    "city,id,rooms,metro,build_id,level,max_level,material,sanuzel,balcon,s_all,s_live,s_kitchen,cost,comment,"
    "agency,street\n"
    "Demograd,1,2,,100,3,9,0,0,1,54.5,30,9,4500,двор,501,\n"
    "Demograd,2,14,,,1,5,1,1,0,30,,,2000,,,морская\n"
    "Demograd,3,13,,,5,5,0,,2,80,,,9000,,999,\n"
    "Demograd,4,1,,,2,9,,,,,,,1500,,,\n"
    "Demograd,5,2,,,2,9,,,,,,,800,,,\n";

// Closes every message box that comes up and keeps its text.
class MessageCatcher {
public:
    MessageCatcher() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->accept();
            }
        });
        timer_.start(10);
    }
    QStringList texts;

private:
    QTimer timer_;
};

class EstateWindow : public ::testing::Test {
protected:
    void SetUp() override {
        WriteAll(root.file("offers.csv"), Offers);
        QProcess p;
        p.start(PUBLISH_CITY_EXE, {"--out", root.file("pub"), "--offers", root.file("offers.csv")});
        ASSERT_TRUE(p.waitForFinished(30000));
        ASSERT_EQ(p.exitCode(), 0);
        server = std::make_unique<VendorServer>(root.file("pub"));
        ASSERT_TRUE(server->started());

        app = std::make_unique<AppContext>();
        app->settings.ShellLang = 0;
        app->vendor.Mirrors.Sites[0] = server->base();
        TCity city;
        city.EngName = "Demograd";
        city.CityName = "Демоград";
        app->Cities = {city};
        app->CurrentCity = 0;
        CityDb& db = *app->db;
        for (const char* name : {"Лесная", "Морская"}) {
            TStreet s;
            s.Name = Tas{QString::fromUtf8(name)};
            db.Streets.push_back(s);
        }
        TBuilding b;
        b.id = 100;
        b.street = 0;
        b.num = TSharedTas{"12"};
        db.Buildings.push_back(b);
        db.MaterialNames = {Tas{"?"}, Tas{"кирпич"}, Tas{"панель"}};
        db.EstateAgents = {{501, 0, "Домострой"}};
        frm = std::make_unique<TfrmEstate>(*app, QStringList{"кирпич", "панель"});
    }
    QStringList Column(QTreeWidget* t, int c) const {
        QStringList out;
        for (int i = 0; i < t->topLevelItemCount(); ++i)
            out << t->topLevelItem(i)->text(c);
        return out;
    }
    void Select(QTreeWidget* t, int row) { t->setCurrentItem(t->topLevelItem(row)); }

    TempSettingsStore store;
    ScratchDir root;
    std::unique_ptr<VendorServer> server;
    std::unique_ptr<AppContext> app;
    std::unique_ptr<TfrmEstate> frm;
};

} // namespace

TEST_F(EstateWindow, SearchesListsAndSorts) {
    frm->show();
    MessageCatcher messages;
    frm->btnFind->click();
    EXPECT_EQ(frm->LastRequest, server->base() + "sql.php?act=select&city=Demograd");
    EXPECT_EQ(Column(frm->tblFound, 0), (QStringList{"2", "1/4", "1/3", "1", "2"}));
    EXPECT_EQ(Column(frm->tblFound, 1), (QStringList{"Лесная, 12", "Морская", "", "", ""}));
    EXPECT_EQ(Column(frm->tblFound, 9), (QStringList{"Домострой", "", "", "", ""}));
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_FALSE(frm->btnToFavorite->isEnabled());

    frm->tblFound->header()->sectionClicked(0);
    EXPECT_EQ(Column(frm->tblFound, 0), (QStringList{"1/4", "1/3", "1", "2", "2"}));
    frm->tblFound->header()->sectionClicked(0);
    EXPECT_EQ(Column(frm->tblFound, 0), (QStringList{"2", "2", "1", "1/3", "1/4"}));
    frm->tblFound->header()->sectionClicked(7);
    EXPECT_EQ(Column(frm->tblFound, 7), (QStringList{"800", "1500", "2000", "4500", "9000"}));

    // Filters: rooms, cost, balcony and a floor rule; zero rooms is no criterion.
    frm->edRooms->setText("0");
    frm->edCost->setText("5000");
    frm->cbBalcon->setCurrentIndex(2); // "балкон"
    frm->chbFirst->setChecked(true);
    frm->btnFind->click();
    EXPECT_EQ(frm->LastRequest,
              server->base() + "sql.php?act=select&city=Demograd&cost=5000&balcon=1&NotFirstLevel=1");
    EXPECT_EQ(Column(frm->tblFound, 7), (QStringList{"4500"}));
    frm->btnClearClick();
    frm->edRooms->setText("7");
    frm->btnFind->click();
    EXPECT_EQ(frm->tblFound->topLevelItemCount(), 0);
    EXPECT_EQ(messages.texts, QStringList{LangText(u"NotFound")});
}

TEST_F(EstateWindow, FavouritesShowAndPrint) {
    frm->show();
    MessageCatcher messages;
    frm->btnFind->click();
    ASSERT_EQ(frm->tblFound->topLevelItemCount(), 5);
    Select(frm->tblFound, 0);
    EXPECT_TRUE(frm->btnToFavorite->isEnabled());
    frm->btnToFavorite->click();
    frm->btnToFavorite->click(); // the same offer twice stays one favourite
    Select(frm->tblFound, 1);
    frm->btnToFavorite->click();
    EXPECT_EQ(frm->pcEstate->tabText(1), LangText(u"Favorite") + " (2)");
    EXPECT_EQ(Column(frm->tblFavorite, 0), (QStringList{"2", "1/4"}));
    EXPECT_TRUE(frm->btnPrint->isEnabled());

    // Removed, then added again.
    Select(frm->tblFavorite, 0);
    frm->btnRemove->click();
    EXPECT_EQ(frm->pcEstate->tabText(1), LangText(u"Favorite") + " (1)");
    Select(frm->tblFound, 0);
    frm->btnToFavorite->click();
    EXPECT_EQ(Column(frm->tblFavorite, 0), (QStringList{"1/4", "2"}));

    // Printing without a printer writes the table as PDF.
    const QString pdf = root.file("fav.pdf");
    frm->choosePdfFile = [&] { return pdf; };
    frm->btnPrint->click();
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(20000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains("комн")) << printed.toStdString();
    EXPECT_TRUE(printed.contains("Лесная, 12")) << printed.toStdString();
    EXPECT_TRUE(printed.contains("Морская")) << printed.toStdString();
    EXPECT_FALSE(printed.contains("Домострой")) << printed.toStdString();
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(' ').toStdString();

    // A favourite shown on the map closes the window with that offer.
    TFlat shown;
    frm->showOnMap = [&](const TFlat& f) { shown = f; };
    Select(frm->tblFavorite, 1);
    frm->btnShow2->click();
    EXPECT_EQ(shown.id, 1);
    EXPECT_EQ(shown.num, "12");
    EXPECT_EQ(shown.agent, 0);
    EXPECT_FALSE(frm->isVisible());

    // Clearing the favourites leaves nothing to print; Reset keeps them for the next addition.
    frm->Reset();
    EXPECT_EQ(frm->tblFavorite->topLevelItemCount(), 0);
    EXPECT_EQ(frm->FavoriteOffers.size(), 3u);
    frm->btnClearFavClick();
    EXPECT_FALSE(frm->btnPrint->isEnabled());
    EXPECT_EQ(frm->pcEstate->tabText(1), LangText(u"Favorite") + " (0)");
}

TEST_F(EstateWindow, AServiceThatFailsKeepsTheListAndSaysSo) {
    frm->show();
    MessageCatcher messages;
    frm->btnFind->click();
    ASSERT_EQ(frm->tblFound->topLevelItemCount(), 5);
    // Nothing listens there any more.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    app->vendor.Mirrors.Sites[0] = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    frm->btnFind->click();
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].startsWith("Невозможно получить данные!\r")) << messages.texts[0].toStdString();
    EXPECT_EQ(frm->tblFound->topLevelItemCount(), 5);
    EXPECT_EQ(frm->EstateOffers.size(), 5u);
}

TEST_F(EstateWindow, DamagedRowsAreSkippedAndCountedInTheWindow) {
    // A service of our own on 127.0.0.1 that answers one good row, one damaged and a cut one.
    const QByteArray body = "x|1|2||||||||||||||||y|2|||||||||||||||3|4|";
    QTcpServer fake;
    ASSERT_TRUE(fake.listen(QHostAddress::LocalHost));
    QObject::connect(&fake, &QTcpServer::newConnection, [&] {
        QTcpSocket* s = fake.nextPendingConnection();
        QObject::connect(s, &QTcpSocket::readyRead, s, [s, body] {
            s->readAll();
            s->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size()) +
                     "\r\n\r\n" + body);
            s->disconnectFromHost();
        });
    });
    app->vendor.Mirrors.Sites[0] = QStringLiteral("http://127.0.0.1:%1/").arg(fake.serverPort());
    frm->show();
    MessageCatcher messages;
    frm->btnFind->click();
    EXPECT_EQ(Column(frm->tblFound, 0), QStringList{"2"});
    EXPECT_TRUE(frm->txtSkipped->isVisible());
    EXPECT_TRUE(frm->txtSkipped->text().contains("2")) << frm->txtSkipped->text().toStdString();
    EXPECT_TRUE(messages.texts.isEmpty());
}
