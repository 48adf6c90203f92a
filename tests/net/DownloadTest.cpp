// Downloads, the HTTP client and the statistics requests against the reference vendor service.
#include "HttpClient.h"
#include "Reachability.h"
#include "VendorServer.h"
#include "VendorService.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace {

// The web-tab check's answer, waited for.
bool CheckTab(VendorService& vendor, int tab) {
    int outcome = -1;
    QObject context;
    vendor.WebTabCheck(tab, "Demograd.gis", &context, [&](bool ok) { outcome = ok; });
    QElapsedTimer clock;
    clock.start();
    while (outcome < 0 && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return outcome == 1;
}

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
    vendor.IncOrg(17, "Demograd.gis");
    // They go out in the background, in no fixed order.
    ASSERT_TRUE(server->WaitForRequests(3));
    EXPECT_TRUE(CheckTab(vendor, 0));
    EXPECT_TRUE(CheckTab(vendor, 4));
    SendInstalledFileReport(vendor.Client(), server->base(), "Demo.v2.zip");
    // The service logs a request after answering it: the last one may reach the log a moment later.
    ASSERT_TRUE(server->WaitForRequests(6));
    QStringList paths = server->Paths();
    std::sort(paths.begin(), paths.begin() + 3);
    EXPECT_EQ(
        paths,
        QStringList({"POST /download/incOpen.php?city=Demo", "POST /download/incOrg.php?org=17&city=Demograd",
                     "POST /download/incOrg.php?org=17&city=Demograd", "POST /download/incNews.php?city=Demograd",
                     "POST /download/incWeather.php?city=Demograd", "POST /download/inc.php?dfile=Demo"}));
    for (const QStringList& r : server->Requests())
        EXPECT_EQ(r.value(3), "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_EQ(vendor.PricePage("Demograd.gis"), server->base() + "priceDemograd.php");
    // The service counts them per kind, organisation and city.
    // A request is logged when it arrives, so a background one may still be counting: wait for the store.
    const QByteArray expected = "News\t-\tDemograd\t1\nWeather\t-\tDemograd\t1\n"
                                "open\t-\tDemo\t1\norg\t17\tDemograd\t2\n";
    QByteArray stats;
    for (int i = 0; i < 100 && (stats = server->List("--stats")) != expected; ++i)
        QThread::msleep(20);
    EXPECT_EQ(stats.toStdString(), expected.toStdString());

    // A site that does not answer: the web tab stays closed.
    mirrors.Sites[0] = "http://127.0.0.1:1/";
    VendorService dead(mirrors);
    EXPECT_FALSE(CheckTab(dead, 1));
}

// Every bound ends the transfer with a message that says which, leaves no file and keeps the old one.
TEST(DownloadLimits, EachBoundEndsTheTransfer) {
    ScratchDir site, local;
    WriteAll(site.file("big.bin"), Payload(300000));
    WriteAll(site.file("trickle.bin"), Payload(5000));
    VendorServer server(site.path(), {"--trickle", "trickle.bin", "--endless", "endless.bin"});
    ASSERT_TRUE(server.started());
    // Accepts and never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const QString silentUrl = QString("http://127.0.0.1:%1/x.bin").arg(silent.serverPort());

    struct Case {
        const char* name;
        QString url;
        DownloadLimits limits;
        DownloadStatus status;
        const char* message;
    };
    DownloadLimits small, slow, quiet, unanswered, cancel;
    small.MaxBytes = 100000;
    slow.RateWindowMs = 1000;
    slow.MinBytesPerSecond = 200; // the trickle brings 10 a second
    quiet.SilenceMs = 500;
    unanswered.AnswerMs = 500; // shorter than the silence a flowing transfer may have
    QElapsedTimer clock;
    cancel.Cancelled = [&] { return clock.elapsed() > 300; };
    const Case cases[] = {
        {"larger than declared", server.base() + "big.bin", small, DownloadStatus::Failed,
         "announces 300000 bytes, more than the 100000"},
        {"endless length", server.base() + "endless.bin", {}, DownloadStatus::Failed,
         "announces 1000000000000 bytes"},
        {"trickle", server.base() + "trickle.bin", slow, DownloadStatus::Failed, "too slowly"},
        {"silent server", silentUrl, quiet, DownloadStatus::Failed, "sent nothing for"},
        {"silent server, answer time-out", silentUrl, unanswered, DownloadStatus::Failed, "did not answer within 0.5 s"},
        {"cancelled", server.base() + "trickle.bin", cancel, DownloadStatus::Cancelled, "Cancelled"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteAll(local.file("old.bin"), "the good old file");
        clock.start();
        const DownloadResult r = DownloadFile(c.url, local.file("old.bin"), {}, c.limits);
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(r.error.contains(c.message)) << r.error.toStdString();
        // Ended by its bound, not by the test's patience.
        EXPECT_LT(clock.elapsed(), 10000);
        EXPECT_EQ(ReadAll(local.file("old.bin")), "the good old file");
        EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"old.bin"}));
    }
}

TEST(HttpClientLimits, LongAndSlowRepliesFail) {
    ScratchDir site;
    WriteAll(site.file("big.bin"), Payload(300000));
    WriteAll(site.file("trickle.bin"), Payload(5000));
    VendorServer server(site.path(), {"--trickle", "trickle.bin"});
    ASSERT_TRUE(server.started());
    HttpClient client;
    client.MaxReplyBytes = 100000;
    client.TotalTimeoutMs = 800;
    const HttpReply big = client.Get(server.base() + "big.bin");
    EXPECT_FALSE(big.ok);
    EXPECT_TRUE(big.error.contains("longer than 100000 bytes")) << big.error.toStdString();
    EXPECT_LE(big.body.size(), 100000);
    const HttpReply slow = client.Get(server.base() + "trickle.bin");
    EXPECT_FALSE(slow.ok);
    EXPECT_TRUE(slow.error.contains("took longer than")) << slow.error.toStdString();
    // Within the bounds a reply arrives whole.
    client.MaxReplyBytes = 300000;
    EXPECT_EQ(client.Get(server.base() + "big.bin").body, Payload(300000));
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
