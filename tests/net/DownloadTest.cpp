// Downloads, the HTTP client and the statistics requests against the reference vendor service.
#include "HttpClient.h"
#include "Reachability.h"
#include "VendorServer.h"
#include "VendorService.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTimer>

namespace {

QByteArray Payload(int size) {
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char((unsigned(i) * 7919u) >> 3);
    return b;
}

class Download : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(site.file("pub/files"));
        WriteAll(site.file("pub/files/big.bin"), Payload(300000));
        WriteAll(site.file("pub/files/nolength.bin"), Payload(5000));
        WriteAll(site.file("pub/files/cut.bin"), Payload(200000));
        server =
            std::make_unique<VendorServer>(site.file("pub"), QStringList{"--no-length", "files/nolength.bin",
                                                                         "--cut", "files/cut.bin:70000"});
        ASSERT_TRUE(server->started());
    }
    ScratchDir site, local;
    std::unique_ptr<VendorServer> server;
};

TEST_F(Download, FetchesTheWholeFileWithProgress) {
    std::vector<std::pair<qint64, qint64>> steps;
    const DownloadResult r = DownloadFile(server->base() + "files/big.bin", local.file("big.bin"),
                                          [&](qint64 pos, qint64 max) { steps.emplace_back(pos, max); });
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(ReadAll(local.file("big.bin")), Payload(300000));
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.back(), std::make_pair(qint64(300000), qint64(300000)));
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].second, 300000);
        // Blocks of at most 1024 bytes, each reported.
        EXPECT_LE(steps[i].first - (i ? steps[i - 1].first : 0), 1024);
    }
    EXPECT_EQ(server->Requests().value(0).value(3), "Tessara Updater");
}

// Each failure leaves no file of its own and keeps a file that was already there.
TEST_F(Download, FailuresLeaveNoFileAndKeepTheOldOne) {
    struct Case {
        const char* path;
        DownloadStatus status;
    };
    for (const Case& c :
         {Case{"files/nolength.bin", DownloadStatus::Failed}, Case{"files/cut.bin", DownloadStatus::Failed},
          Case{"files/missing.bin", DownloadStatus::Failed}}) {
        SCOPED_TRACE(c.path);
        const QString fresh = local.file("fresh.bin"), old = local.file("old.bin");
        WriteAll(old, "the good old file");
        EXPECT_EQ(DownloadFile(server->base() + c.path, fresh).status, c.status);
        EXPECT_EQ(DownloadFile(server->base() + c.path, old).status, c.status);
        EXPECT_FALSE(QFile::exists(fresh));
        EXPECT_EQ(ReadAll(old), "the good old file");
        EXPECT_EQ(QDir(local.path()).entryList(QDir::Files), QStringList({"old.bin"}));
    }
    // A folder that cannot take the file is told apart, so the caller can try another.
    WriteAll(local.file("not-a-folder"), "x");
    EXPECT_EQ(DownloadFile(server->base() + "files/big.bin", local.file("not-a-folder/big.bin")).status,
              DownloadStatus::FileError);
    // Nobody listening.
    EXPECT_EQ(DownloadFile("http://127.0.0.1:1/x.bin", local.file("x.bin")).status, DownloadStatus::Failed);
}

TEST_F(Download, StatisticsRequests) {
    MirrorSites mirrors;
    mirrors.Sites[0] = server->base();
    mirrors.Sites[1] = server->base();
    VendorService vendor(mirrors);

    // Without the start-up check answered, organisation and city statistics are not sent.
    vendor.IncOrg(17, "Demograd.gis");
    vendor.IncOpen("Demograd.gis");
    EXPECT_TRUE(server->Requests().isEmpty());

    EXPECT_TRUE(vendor.CheckHost());
    vendor.IncOrg(17, "Demograd.gis");
    vendor.IncOpen("Demo.v2.gis");
    EXPECT_TRUE(vendor.WebTabCheck(0, "Demograd.gis"));
    EXPECT_TRUE(vendor.WebTabCheck(4, "Demograd.gis"));
    SendInstalledFileReport(vendor.Client(), server->base(), "Demo.v2.zip");
    EXPECT_EQ(
        server->Paths(),
        QStringList({"POST /download/incOrg.php?org=17&city=Demograd", "POST /download/incOpen.php?city=Demo",
                     "POST /download/incNews.php?city=Demograd",
                     "POST /download/incWeather.php?city=Demograd", "POST /download/inc.php?dfile=Demo"}));
    for (const QStringList& r : server->Requests())
        EXPECT_EQ(r.value(3), "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_EQ(vendor.PricePage("Demograd.gis"), server->base() + "priceDemograd.php");

    // A site that does not answer: the web tab stays closed.
    mirrors.Sites[0] = "http://127.0.0.1:1/";
    VendorService dead(mirrors);
    EXPECT_FALSE(dead.WebTabCheck(1, "Demograd.gis"));
}

TEST(Reachability, LoopbackAnswersWithinTheBudget) {
    // Without ICMP rights (an ordinary user here) the web port decides, so one is listening.
    QTcpServer web;
    ASSERT_TRUE(web.listen(QHostAddress::LocalHost));
    const ProbeResult r = ProbeHost("127.0.0.1", web.serverPort(), 1000);
    EXPECT_TRUE(r.answered);
    EXPECT_NE(r.method, ProbeMethod::None);
    EXPECT_LE(r.roundTripMs, 995);
    // A name that cannot be resolved answers nothing, and within the budget.
    const ProbeResult none = ProbeHost("no-such-host.invalid", 80, 1000);
    EXPECT_FALSE(none.answered);
}

} // namespace

namespace {

// While a slow download runs, the GUI thread keeps serving timers and events.
TEST(DownloadLiveness, EventsKeepFlowingDuringADownload) {
    ScratchDir site, local;
    WriteAll(site.file("slow.bin"), Payload(120000));
    VendorServer slow(site.path(), {"--rate", "400"});
    ASSERT_TRUE(slow.started());
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    std::vector<qint64> positions;
    const DownloadResult r = DownloadFile(slow.base() + "slow.bin", local.file("slow.bin"),
                                          [&](qint64 pos, qint64) { positions.push_back(pos); });
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_GT(ticks, 10);
    EXPECT_EQ(positions.back(), 120000);
}

} // namespace
