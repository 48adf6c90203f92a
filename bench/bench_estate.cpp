// Real-estate offers: the vendor service answering queries over 100,000 offers of one city, 200
// clients at once, and the program reading, listing and sorting a reply of 1,000 offers.
//   bench_estate CITY.gis... (the metropolis last; its buildings and agencies make the offers)
#include "Catalogue.h"
#include "CityLoad.h"
#include "Estate.h"
#include "MapColors.h"
#include "OfferGenerator.h"

#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUrl>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

double NowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Answer {
    bool ok = false;
    QByteArray body;
};

// One GET on a fresh connection to 127.0.0.1, read until the service closes.
Answer Get(quint16 port, const QByteArray& target) {
    Answer a;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return a;
    timeval tv{60, 0}; // the program's own limit for a whole request
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return a;
    }
    const QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (send(fd, request.data(), size_t(request.size()), MSG_NOSIGNAL) != request.size()) {
        close(fd);
        return a;
    }
    QByteArray reply;
    char buf[65536];
    for (;;) {
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        reply.append(buf, n);
    }
    close(fd);
    const qsizetype end = reply.indexOf("\r\n\r\n");
    a.ok = reply.startsWith("HTTP/1.1 200") && end > 0;
    a.body = reply.mid(end + 4);
    return a;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

bool Run(const QString& exe, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(exe, args);
    return p.waitForFinished(600000) && p.exitCode() == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList cities = app.arguments().mid(1);
    if (cities.isEmpty()) {
        std::fprintf(stderr, "usage: bench_estate CITY.gis... (the metropolis last)\n");
        return 2;
    }
    QTemporaryDir dir;
    for (int c = 0; c < cities.size(); ++c) {
        const QFileInfo info(cities[c]);
        const auto entry = CityEntryFromFile(info.absolutePath() + "/", info.fileName(), false);
        if (!entry) qFatal("%s is not a city file", qPrintable(cities[c]));
        CityDb db;
        MapStyle style;
        LoadCityData(db, CityFileRef::From(*entry), style);
        const bool last = c + 1 == cities.size();

        // Offers of this city: 1,000 for the program's side; 100,000 more for the service's query
        // on the last city.
        QByteArray csv = OffersCsvHeader();
        for (const StoredOffer& o : GenerateOffers(db, "Reply", 1000, 7))
            csv += OffersCsvLine(o);
        if (last)
            for (const StoredOffer& o : GenerateOffers(db, entry->EngName, 100000, 11))
                csv += OffersCsvLine(o);
        const QString pub = dir.filePath(QStringLiteral("pub%1").arg(c));
        QFile f(dir.filePath("offers.csv"));
        if (!f.open(QIODevice::WriteOnly) || f.write(csv) != csv.size()) qFatal("cannot write the offers");
        f.close();
        if (!Run(PUBLISH_CITY_EXE, {"--out", pub, "--offers", f.fileName()})) qFatal("publish-city failed");

        QProcess vendor;
        vendor.start(TESSARA_VENDOR_EXE, {"--root", pub, "--port", "0"});
        QByteArray out;
        const double started = NowMs();
        while (!out.contains('\n') && NowMs() - started < 10000) {
            vendor.waitForReadyRead(100);
            out += vendor.readAllStandardOutput();
        }
        const auto m = QRegularExpression("127\\.0\\.0\\.1:(\\d+)/").match(QString::fromLatin1(out));
        if (!m.hasMatch()) qFatal("tessara-vendor did not start");
        const quint16 port = m.captured(1).toUShort();

        // The program's side: one reply of 1,000 offers read, listed and sorted as the window does.
        const Answer reply = Get(port, "/sql.php?act=select&city=Reply");
        if (!reply.ok) qFatal("no reply of 1,000 offers");
        std::vector<double> programMs;
        for (int round = 0; round < 20; ++round) {
            QTreeWidget list;
            list.setColumnCount(10);
            const double t0 = NowMs();
            const EstateReply parsed = ParseEstateReply(reply.body, db, 0);
            QList<QTreeWidgetItem*> items;
            for (const TFlat& o : parsed.offers)
                items << new QTreeWidgetItem(EstateCells(o, db, 0));
            list.addTopLevelItems(items);
            for (const int column : {EstateRoomsColumn, 1, EstateCostColumn}) {
                QList<QTreeWidgetItem*> rows;
                while (list.topLevelItemCount() > 0)
                    rows << list.takeTopLevelItem(0);
                std::stable_sort(rows.begin(), rows.end(), [&](QTreeWidgetItem* a, QTreeWidgetItem* b) {
                    return CompareEstateCells(a->text(column), b->text(column), column, false) < 0;
                });
                list.addTopLevelItems(rows);
            }
            programMs.push_back(NowMs() - t0);
            if (parsed.offers.size() != 1000) qFatal("%zu offers read instead of 1000", parsed.offers.size());
        }
        std::printf("%s: program parse+list+sort of 1000 offers (median) %.1f ms ... goal: under 100 ms\n",
                    qPrintable(info.fileName()), Median(programMs));

        if (last) {
            const QByteArray query = "/sql.php?act=select&city=" + QUrl::toPercentEncoding(entry->EngName) +
                                     "&rooms=2&cost=3000&material=1";
            std::vector<double> serviceMs;
            qsizetype replied = 0;
            for (int i = 0; i < 200; ++i) {
                const double t0 = NowMs();
                const Answer a = Get(port, query);
                serviceMs.push_back(NowMs() - t0);
                if (!a.ok) qFatal("the query failed");
                replied = a.body.count('|') / 16;
            }
            std::printf("service query over 100000 offers, 3 parameters, %lld offers replied (median) %.2f ms ... "
                        "goal: under 20 ms\n",
                        qlonglong(replied), Median(serviceMs));

            // 200 clients at once, each with the same query.
            constexpr int Clients = 200;
            std::atomic<bool> go{false};
            std::atomic<int> failed{0};
            std::vector<double> latency(Clients);
            std::vector<std::thread> threads;
            for (int i = 0; i < Clients; ++i)
                threads.emplace_back([&, i] {
                    while (!go.load())
                        std::this_thread::yield();
                    const double t0 = NowMs();
                    if (!Get(port, query).ok) ++failed;
                    latency[i] = NowMs() - t0;
                });
            const double burst = NowMs();
            go = true;
            for (std::thread& t : threads)
                t.join();
            const double all = NowMs() - burst;
            std::printf("failed requests of %d concurrent clients %d requests ... goal: under 1 requests\n", Clients,
                        failed.load());
            std::printf("%d concurrent clients all answered in %.0f ms (slowest %.0f ms, median %.1f ms)\n", Clients,
                        all, *std::max_element(latency.begin(), latency.end()), Median(latency));
        }
        vendor.kill();
        vendor.waitForFinished(3000);
    }
    return 0;
}
