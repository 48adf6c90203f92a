// Real-estate offers end to end on 127.0.0.1: publish-city loads them into the service's database
// (SQLite and PostgreSQL alike), tessara-vendor answers the program's query, and the program's
// reader takes the reply apart. Hostile parameters find only what they should and leave the table
// as it was.
#include "CityDb.h"
#include "Estate.h"
#include "HttpClient.h"
#include "VendorEngines.h"
#include "VendorServer.h"

#include <gtest/gtest.h>

namespace {

const QByteArray Header =
    "city,id,rooms,metro,build_id,level,max_level,material,sanuzel,balcon,s_all,s_live,s_kitchen,cost,comment,"
    "agency,street\n";

const QByteArray Offers = Header +
                          "Demograd,1,2,\"Центр\",,3,9,0,0,1,54.5,30,9,4500,\"двор | с \"\"кавычками\"\"\",,\"Лесная\"\n"
                          "Demograd,2,1,,,1,5,1,1,0,30,,,2000,,,\n"
                          "Demograd,3,3,,,5,5,0,,2,80,,,9000,,,\n"
                          "Demograd,4,12,,,2,9,,,,,,,1500,,,\n"
                          "Othertown,5,2,,,,,,,,,,,100,,,\n";

bool Publish(const QString& out, const QString& csv, const QString& store, QString* output = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QStringList args{"--out", out, "--offers", csv};
    if (!store.isEmpty()) args << "--db" << store;
    p.start(PUBLISH_CITY_EXE, args);
    p.waitForFinished(30000);
    if (output) *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

class EstateService : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        SKIP_WITHOUT_ENGINE(GetParam());
        store = FreshStore(GetParam());
        ASSERT_EQ(store.isEmpty(), GetParam() == Engine::SQLite);
        WriteAll(root.file("offers.csv"), Offers);
        ASSERT_TRUE(::Publish(root.file("pub"), root.file("offers.csv"), store));
        server = std::make_unique<VendorServer>(root.file("pub"), QStringList(), store);
        ASSERT_TRUE(server->started());
    }
    bool Publish(const QString& out, const QString& csv, QString* output = nullptr) {
        return ::Publish(out, csv, store, output);
    }
    // Ids of the offers the service gives for `query` (appended to the request), read as the
    // program reads them.
    std::vector<int> Ids(const QString& query, int* skipped = nullptr) {
        HttpClient client;
        const HttpReply r = client.Get(server->base() + "sql.php?act=select" + query);
        EXPECT_TRUE(r.ok) << query.left(80).toStdString() << ": " << r.error.toStdString();
        const EstateReply parsed = ParseEstateReply(r.body, db, 0);
        if (skipped) *skipped = parsed.skipped;
        std::vector<int> ids;
        for (const TFlat& f : parsed.offers)
            ids.push_back(f.id);
        return ids;
    }
    ScratchDir root;
    QString store;
    CityDb db;
    std::unique_ptr<VendorServer> server;
};
INSTANTIATE_FOR_ENGINES(EstateService);

using IdList = std::vector<int>;

} // namespace

TEST_P(EstateService, FiltersByEveryParameter) {
    struct Case {
        QString query;
        IdList ids;
    } cases[] = {
        {"&city=Demograd", {1, 2, 3, 4}},
        {"&city=Othertown", {5}},
        {"&city=demograd", {}},
        {"&city=Demograd&rooms=2", {1}},
        {"&city=Demograd&cost=4500", {1, 2, 4}},
        {"&city=Demograd&material=0", {1, 3}},
        {"&city=Demograd&sanuzel=1", {2}},
        {"&city=Demograd&balcon=2", {3}},
        {"&city=Demograd&NotFirstLevel=1", {1, 3, 4}},
        {"&city=Demograd&NotLastLevel=1", {1, 2, 4}},
        {"&city=Demograd&NotFirstLevel=1&NotLastLevel=1", {1, 4}},
        {"&city=Demograd&rooms=2&cost=5000&material=0", {1}},
        {"&city=Demograd&colour=red&order=id", {1, 2, 3, 4}}, // unknown parameters are ignored
    };
    for (const Case& c : cases) {
        int skipped = -1;
        EXPECT_EQ(Ids(c.query, &skipped), c.ids) << c.query.toStdString();
        EXPECT_EQ(skipped, 0) << c.query.toStdString();
    }
    // The request the program builds finds the same.
    EstateFilter f;
    f.rooms = "2";
    f.cost = "5000";
    HttpClient client;
    const HttpReply r = client.Get(EstateRequestUrl(server->base(), "Demograd", f));
    const EstateReply parsed = ParseEstateReply(r.body, db, 0);
    ASSERT_EQ(parsed.offers.size(), 1u);
    const TFlat& o = parsed.offers[0];
    EXPECT_EQ(o.metro, "Центр");
    // A bar in a text would split the reply's fields: the service sends a blank instead.
    EXPECT_EQ(o.comment, "двор   с \"кавычками\"");
    EXPECT_EQ(o.sanuzel, "разд.");
    EXPECT_EQ(o.balcon, "балкон");
    EXPECT_FLOAT_EQ(o.SAll, 54.5f);
    EXPECT_EQ(o.cost, 4500);
    EXPECT_EQ(o.Level, 3);
}

TEST_P(EstateService, HostileParametersFindOnlyWhatTheyShould) {
    const QString longValue(5000, u'9'); // long, yet within the header limit
    const QString cases[] = {
        "&city=Demograd'--",
        "&city=Demograd' OR '1'='1",
        "&city=Demograd%00",
        "&city=Demograd;DROP TABLE offers;--",
        "&city=%25",
        "&city=Demo%",
        "&city=" + longValue,
        "&city=Demograd&rooms=2 OR 1=1",
        "&city=Demograd&rooms=2'",
        "&city=Demograd&rooms=2;--",
        "&city=Demograd&rooms=2%00",
        "&city=Demograd&rooms=",
        "&city=Demograd&cost=" + longValue,
        "&city=Demograd&cost=1e9",
        "&city=Demograd&material=0)--",
        "&city=Demograd&balcon=-0x1",
    };
    for (const QString& q : cases)
        EXPECT_EQ(Ids(q), IdList()) << q.left(80).toStdString();
    // The table is whole afterwards, and its file is never served.
    EXPECT_EQ(Ids("&city=Demograd"), (IdList{1, 2, 3, 4}));
    HttpClient client;
    for (const char* file : {"tessara-vendor.sqlite", "tessara-vendor.sqlite-wal", "./tessara-vendor.sqlite"})
        EXPECT_EQ(client.Get(server->base() + file).status, 404) << file;
}

TEST_P(EstateService, PublishingReplacesACitysOffersAndABadFileChangesNothing) {
    WriteAll(root.file("bad.csv"), Header + "Demograd,7,2,,,,,,,,,,,100,,,\nDemograd,8,two,,,,,,,,,,,100,,,\n");
    QString output;
    EXPECT_FALSE(Publish(root.file("pub"), root.file("bad.csv"), &output));
    EXPECT_TRUE(output.contains("line 3: rooms is not a number")) << output.toStdString();
    for (const QByteArray& broken : {QByteArray("city,id\nDemograd,7\n"), Header + "Demograd,7,2\n",
                                     Header + "Demograd,x,2,,,,,,,,,,,100,,,\n",
                                     Header + ",7,2,,,,,,,,,,,100,,,\n", Header + "Demograd,7,\"2,,,,,\n"}) {
        WriteAll(root.file("bad.csv"), broken);
        EXPECT_FALSE(Publish(root.file("pub"), root.file("bad.csv"))) << broken.toStdString();
    }
    EXPECT_EQ(Ids("&city=Demograd"), (IdList{1, 2, 3, 4}));

    WriteAll(root.file("again.csv"), Header + "Demograd,9,2,,,,,,,,,,,100,,,\n");
    ASSERT_TRUE(Publish(root.file("pub"), root.file("again.csv")));
    EXPECT_EQ(Ids("&city=Demograd"), (IdList{9}));
    EXPECT_EQ(Ids("&city=Othertown"), (IdList{5}));
}

TEST_P(EstateService, ClientsGetTheOldOffersWhilePublishingRuns) {
    // A large file for Demograd: while it loads, every reply holds the old offers whole; after it,
    // the new ones whole.
    QByteArray csv = Header;
    constexpr int Count = 8000; // within what the program lists from one reply
    for (int i = 0; i < Count; ++i)
        csv += "Demograd," + QByteArray::number(100 + i) + ",2,,,,,,,,,,,100,\"a comment\",,\n";
    WriteAll(root.file("large.csv"), csv);
    QProcess publish;
    QStringList args{"--out", root.file("pub"), "--offers", root.file("large.csv")};
    if (!store.isEmpty()) args << "--db" << store;
    publish.start(PUBLISH_CITY_EXE, args);
    ASSERT_TRUE(publish.waitForStarted());
    int old = 0;
    while (publish.state() != QProcess::NotRunning) {
        const std::vector<int> ids = Ids("&city=Demograd&rooms=2");
        if (ids.size() == 1) {
            EXPECT_EQ(ids, IdList{1});
            ++old;
        } else {
            EXPECT_EQ(ids.size(), std::size_t(Count)); // the new offers, all of them
        }
        publish.waitForFinished(10);
    }
    ASSERT_EQ(publish.exitCode(), 0);
    EXPECT_GT(old, 0);
    EXPECT_EQ(Ids("&city=Demograd&rooms=2").size(), std::size_t(Count));
}

TEST(EstateOffersFile, GisGenWritesOffersOfItsOwnCity) {
    ScratchDir root;
    QProcess gen;
    gen.start(GIS_GEN_EXE, {"--preset", "demo", root.file("Demograd.gis")});
    ASSERT_TRUE(gen.waitForFinished(60000));
    ASSERT_EQ(gen.exitCode(), 0);
    ASSERT_TRUE(Publish(root.file("pub"), root.file("Demograd.offers.csv"), QString()));
    VendorServer server(root.file("pub"));
    ASSERT_TRUE(server.started());
    HttpClient client;
    const HttpReply r = client.Get(EstateRequestUrl(server.base(), "Demograd", {}));
    ASSERT_TRUE(r.ok);
    // Field count of the reply: a first field, 16 per offer, and the empty one after the last bar.
    EXPECT_EQ(r.body.count('|'), 1 + 16 * 300);
}
