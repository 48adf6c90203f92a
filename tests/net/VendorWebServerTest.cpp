// The example web-server configuration of the documentation, run for real: nginx serves the publish
// folder and forwards the dynamic paths to two service processes on one store; skipped when nginx
// is not installed.
#include "VendorEngines.h"
#include "VendorServer.h"

#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>

namespace {

QString Nginx() {
    const QString found = QStandardPaths::findExecutable("nginx", {"/usr/sbin", "/usr/local/sbin", "/usr/bin"});
    return found.isEmpty() ? QStandardPaths::findExecutable("nginx") : found;
}

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

TEST(VendorWebServer, ExampleConfigurationServesFilesAndForwardsScripts) {
    const QString nginx = Nginx();
    if (nginx.isEmpty()) GTEST_SKIP() << "nginx is not installed (Debian package nginx)";
    ScratchDir dir;
    WritePublishFolder(dir.file("pub"), "01.02.2020", {{"Demograd", QStringLiteral("Демоград"), "01.11.2026", ""}});
    // nginx's workers run as an unprivileged user under root: the scratch folder must let them in
    // (what is inside is made readable to all).
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFileDevice::ExeOther);

    VendorServer a(dir.file("pub")), b(dir.file("pub"), {}, a.storePath());
    ASSERT_TRUE(a.started() && b.started());
    const quint16 port = FreePort();
    QByteArray conf = ReadAll(TESSARA_DOCS "/vendor-nginx.conf");
    ASSERT_FALSE(conf.isEmpty());
    const std::pair<QByteArray, QByteArray> replace[] = {
        {"listen 80;", "listen 127.0.0.1:" + QByteArray::number(port) + ";"},
        {"/srv/tessara", dir.file("pub").toUtf8()},
        {"127.0.0.1:8081", "127.0.0.1:" + QByteArray::number(a.port())},
        {"127.0.0.1:8082", "127.0.0.1:" + QByteArray::number(b.port())},
        {"/run/tessara-nginx.pid", dir.file("nginx.pid").toUtf8()},
        {"/var/log/nginx/", dir.file("").toUtf8()},
    };
    for (const auto& [from, to] : replace) {
        ASSERT_TRUE(conf.contains(from)) << from.toStdString();
        conf.replace(from, to);
    }
    WriteAll(dir.file("nginx.conf"), conf);
    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(nginx, {"-t", "-p", dir.file(""), "-c", dir.file("nginx.conf")});
    ASSERT_TRUE(check.waitForFinished(10000));
    ASSERT_EQ(check.exitCode(), 0) << check.readAll().toStdString();

    QProcess server;
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start(nginx, {"-p", dir.file(""), "-c", dir.file("nginx.conf"), "-g", "daemon off;"});
    ASSERT_TRUE(server.waitForStarted(5000));
    QElapsedTimer clock;
    clock.start();
    Exchange list;
    while (clock.elapsed() < 5000 && !list.reply.startsWith("HTTP/1.1 200")) {
        QThread::msleep(50);
        list = Talk(port, "GET /download.txt HTTP/1.1\r\nHost: tessara.example.org\r\n\r\n");
    }
    // Files come from the web server, with their length; the service never sees them.
    EXPECT_TRUE(list.reply.startsWith("HTTP/1.1 200")) << list.reply.left(200).toStdString() << server.readAll().toStdString();
    EXPECT_TRUE(list.reply.contains("Content-Length: " + QByteArray::number(QFileInfo(dir.file("pub/download.txt")).size())));
    EXPECT_TRUE(list.reply.endsWith(ReadAll(dir.file("pub/download.txt"))));
    const Exchange archive = Talk(port, "GET /download/Demograd.zip HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_TRUE(archive.reply.contains("Content-Type: application/octet-stream"));
    EXPECT_TRUE(archive.reply.endsWith(ReadAll(dir.file("pub/download/Demograd.zip"))));
    EXPECT_TRUE(Talk(port, "GET /tessara-vendor.sqlite HTTP/1.1\r\nHost: x\r\n\r\n").reply.startsWith("HTTP/1.1 404"));
    EXPECT_TRUE(a.Requests().isEmpty() && b.Requests().isEmpty());

    // The scripts go to the service processes, which count into their one store.
    for (int i = 0; i < 6; ++i) {
        const Exchange e = Talk(port, "POST /download/incOrg.php?org=5&city=Demograd HTTP/1.1\r\nHost: x\r\n"
                                      "Content-Length: 0\r\n\r\n");
        EXPECT_TRUE(e.reply.startsWith("HTTP/1.1 200")) << e.reply.left(100).toStdString();
    }
    const Exchange offers = Talk(port, "GET /sql.php?act=select&city=Demograd HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_TRUE(offers.reply.startsWith("HTTP/1.1 200"));
    EXPECT_TRUE(offers.reply.endsWith("\r\n\r\noffers|"));
    // A long feedback message passes the web server whole.
    const QByteArray message = QByteArray(3000, 'x').toPercentEncoding("", "x");
    EXPECT_TRUE(Talk(port, "POST /soft.php?adr=a&subj=b&msg=" + message + " HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n")
                    .reply.startsWith("HTTP/1.1 200"));
    EXPECT_TRUE(a.List("--stats").contains("org\t5\tDemograd\t6\n"));
    EXPECT_GT(a.Requests().size(), 0);
    EXPECT_GT(b.Requests().size(), 0);
    server.terminate();
    server.waitForFinished(5000);
}

} // namespace
