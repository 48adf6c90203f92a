// The real-estate window against tessara-vendor on 127.0.0.1: the query it sends, the list, sorting,
// favourites, showing an offer, printing the favourites to PDF, and a service that is not there.
#include "AppContext.h"
#include "TextTable.h"
#include "TempSettingsStore.h"
#include "TfrmEstate.h"
#include "VendorServer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QHeaderView>
#include <QScrollBar>
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
    "Demograd,5,2,,,2,9,,,,,,,800,,,\n"
    "Othertown,1,3,,100,2,5,,,,,,,3000,,501,\n";

// A service of our own on 127.0.0.1 that answers every request with `body`.
bool AnswerWith(QTcpServer& fake, const QByteArray& body) {
    if (!fake.listen(QHostAddress::LocalHost)) return false;
    QObject::connect(&fake, &QTcpServer::newConnection, [&fake, body] {
        QTcpSocket* s = fake.nextPendingConnection();
        QObject::connect(s, &QTcpSocket::readyRead, s, [s, body] {
            s->readAll();
            s->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size()) +
                     "\r\n\r\n" + body);
            s->disconnectFromHost();
        });
    });
    return true;
}

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
        city.path = root.path();
        city.FileName = "Demograd.gis";
        city.EngName = "Demograd";
        city.CityName = "Демоград";
        app->Cities = {city};
        app->CurrentCity = 0;
        app->city = CityFileRef::From(city);
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
    EXPECT_EQ(frm->txtFavoriteStatus->text(), LangText(u"SavedTo").arg(pdf)) << "the saved file is named";

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
    ASSERT_TRUE(AnswerWith(fake, body));
    app->vendor.Mirrors.Sites[0] = QStringLiteral("http://127.0.0.1:%1/").arg(fake.serverPort());
    frm->show();
    MessageCatcher messages;
    frm->btnFind->click();
    EXPECT_EQ(Column(frm->tblFound, 0), QStringList{"2"});
    EXPECT_TRUE(frm->txtSkipped->isVisible());
    EXPECT_TRUE(frm->txtSkipped->text().contains("2")) << frm->txtSkipped->text().toStdString();
    EXPECT_TRUE(messages.texts.isEmpty());
}

namespace {

// Another city loaded in place of Demograd, as the main window does when the user changes city: its
// tables hold other streets and agencies at the positions Demograd's offers point to.
void LoadOthertown(AppContext& app, const QString& folder) {
    TCity city;
    city.path = folder;
    city.FileName = "Othertown.gis";
    city.EngName = "Othertown";
    city.CityName = "Другоград";
    app.Cities = {city};
    app.CurrentCity = 0;
    app.city = CityFileRef::From(city);
    app.db = std::make_unique<CityDb>();
    TStreet s;
    s.Name = Tas{QStringLiteral("Чужая")};
    app.db->Streets.push_back(s);
    TBuilding b;
    b.id = 100;
    b.street = 0;
    b.num = TSharedTas{"99"};
    app.db->Buildings.push_back(b);
    app.db->EstateAgents = {{501, 0, "Чужое агентство"}};
}

} // namespace

// Favourites outlive a change of city: each keeps its own city's address and agency, offer ids of two
// cities do not collide, and only the loaded city's favourites go on the map.
TEST_F(EstateWindow, FavouritesKeepTheirCityAcrossAChangeOfCity) {
    frm->show();
    MessageCatcher messages;
    frm->btnFind->click();
    ASSERT_EQ(frm->tblFound->topLevelItemCount(), 5);
    EXPECT_EQ(frm->txtCount->text(), LangText(u"OffersFound").arg(5));
    Select(frm->tblFound, 0); // offer 1, "Лесная, 12", Домострой
    frm->btnToFavorite->click();

    frm->Reset();
    LoadOthertown(*app, root.path());
    frm->Prepare();
    frm->btnFind->click();
    EXPECT_EQ(frm->LastRequest, server->base() + "sql.php?act=select&city=Othertown");
    ASSERT_EQ(frm->tblFound->topLevelItemCount(), 1);
    Select(frm->tblFound, 0); // Othertown's offer 1: the same id, another offer
    frm->btnToFavorite->click();

    ASSERT_EQ(frm->tblFavorite->topLevelItemCount(), 2);
    EXPECT_EQ(Column(frm->tblFavorite, 1), (QStringList{"Лесная, 12 (Демоград)", "Чужая, 99"}));
    EXPECT_EQ(Column(frm->tblFavorite, 9), (QStringList{"Домострой", "Чужое агентство"}));
    EXPECT_EQ(frm->pcEstate->tabText(1), LangText(u"Favorite") + " (2)");

    TFlat shown;
    frm->showOnMap = [&](const TFlat& f) { shown = f; };
    Select(frm->tblFavorite, 0);
    EXPECT_FALSE(frm->btnShow2->isEnabled()) << "Demograd's offer on Othertown's map";
    frm->ShowSelected(frm->tblFavorite, frm->FavoriteOffers);
    EXPECT_EQ(shown.id, -1);
    EXPECT_EQ(messages.texts.size(), 1);
    Select(frm->tblFavorite, 1);
    EXPECT_TRUE(frm->btnShow2->isEnabled());
    frm->btnShow2->click();
    EXPECT_EQ(shown.num, "99");
    EXPECT_EQ(shown.cityFile, app->city.FilePath());
}

// A service that takes the connection and never answers: the wait has a Cancel, which ends it at once
// and keeps the list; without Cancel the search ends at the answer time-out and says so.
TEST_F(EstateWindow, ASilentServiceCanBeCancelledAndTimesOutWithAReason) {
    frm->show();
    MessageCatcher messages;
    frm->btnFind->click();
    ASSERT_EQ(frm->tblFound->topLevelItemCount(), 5);

    QTcpServer silent; // accepts, never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    app->vendor.Mirrors.Sites[0] = QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort());
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape" : "Cancel");
        QTimer::singleShot(300, [&] {
            EXPECT_TRUE(frm->pnlWait->isVisible());
            EXPECT_FALSE(frm->btnFind->isEnabled());
            if (escape) {
                QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(frm->btnCancelWait, &key);
            } else {
                frm->btnCancelWait->click();
            }
        });
        QElapsedTimer clock;
        clock.start();
        frm->btnFind->click();
        EXPECT_LT(clock.elapsed(), 3000);
        EXPECT_TRUE(frm->isVisible()) << "Escape ended the search, not the window";
        EXPECT_FALSE(frm->pnlWait->isVisible());
        EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(' ').toStdString();
        EXPECT_EQ(frm->txtCount->text(), LangText(u"SearchCancelled"));
        EXPECT_EQ(frm->tblFound->topLevelItemCount(), 5);
        EXPECT_TRUE(frm->btnFind->isEnabled());
    }

    app->vendor.Client().AnswerTimeoutMs = 500;
    frm->btnFind->click();
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].contains("did not answer within 0.5 s")) << messages.texts[0].toStdString();
    EXPECT_TRUE(messages.texts[0].contains(LangText(u"ListKept"))) << messages.texts[0].toStdString();
    EXPECT_EQ(frm->EstateOffers.size(), 5u);
}

// A long comment and agency name: the list fits the window at its size, the cells show whole in tooltips.
TEST_F(EstateWindow, LongCellsFitTheWindowWithoutSidewaysScrolling) {
    const QString comment = QString("светлая квартира с видом на море ").repeated(8).trimmed();
    app->db->EstateAgents = {{501, 0, QString("Агентство недвижимости «Домострой и партнёры»").repeated(3)}};
    QTcpServer fake;
    ASSERT_TRUE(AnswerWith(fake, "x|" + ToCp1251("7|2||100|3|9|||||||4500|" + comment + "|501||")));
    app->vendor.Mirrors.Sites[0] = QStringLiteral("http://127.0.0.1:%1/").arg(fake.serverPort());
    frm->show();
    MessageCatcher messages;
    frm->btnFind->click();
    ASSERT_EQ(frm->tblFound->topLevelItemCount(), 1);
    QApplication::processEvents();
    EXPECT_EQ(frm->tblFound->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(frm->tblFound->topLevelItem(0)->toolTip(8), comment);
    EXPECT_EQ(frm->txtCount->text(), LangText(u"OffersFound").arg(1));
}
