// tessara-vendor under load: thousands of idle connections held open while a burst of ordinary
// requests arrives at once. Prints how many were answered, their median and 99th-percentile
// latency, whether the idle connections were still open afterwards, and the service's peak memory.
//   bench_vendor [IDLE [BURST [THREADS]]]   (defaults 3000, 2000 and the service's own choice)
#include "VendorBench.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

void RaiseDescriptorLimit() {
    rlimit rl{};
    if (getrlimit(RLIMIT_NOFILE, &rl) == 0) {
        rl.rlim_cur = rl.rlim_max;
        setrlimit(RLIMIT_NOFILE, &rl);
    }
}

int OpenDescriptors(qint64 pid) {
    return int(QDir(QStringLiteral("/proc/%1/fd").arg(pid))
                   .entryList(QDir::NoDotAndDotDot | QDir::AllEntries)
                   .size());
}

long PeakRssKb(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ')[0].toLong();
    return -1;
}

// User and system time the process has used, in milliseconds.
double CpuMs(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray stat = f.readAll();
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) * 1000.0 /
           double(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int idleCount = argc > 1 ? std::atoi(argv[1]) : 3000;
    const int burstCount = argc > 2 ? std::atoi(argv[2]) : 2000;
    RaiseDescriptorLimit();

    QTemporaryDir dir;
    QDir().mkpath(dir.path() + "/pub");
    QFile list(dir.path() + "/pub/download.txt");
    list.open(QIODevice::WriteOnly);
    list.write("download/Tessara_install.exe\r\nTessara\r\n01.02.2020\r\n-\r\n");
    list.close();
    QProcess vendor;
    // Time-outs longer than the run: the idle connections are to stay, not to be swept away.
    QStringList args{"--root", dir.path() + "/pub", "--port", "0", "--header-timeout",
                     "120000", "--idle-timeout",    "120000"};
    if (argc > 3) args << "--threads" << argv[3];
    vendor.start(TESSARA_VENDOR_EXE, args);
    QByteArray out;
    while (!out.contains('\n') && vendor.waitForReadyRead(5000))
        out += vendor.readAllStandardOutput();
    const auto m = QRegularExpression(":(\\d+)/").match(QString::fromLatin1(out));
    if (!m.hasMatch()) {
        std::fprintf(stderr, "tessara-vendor did not start\n");
        return 1;
    }
    const quint16 port = m.captured(1).toUShort();
    const qint64 pid = vendor.processId();
    const int baseline = OpenDescriptors(pid);

    std::vector<int> idle;
    for (int i = 0; i < idleCount; ++i) {
        const int fd = Connect(port, true);
        if (fd < 0) {
            std::fprintf(stderr, "idle connection %d: %s\n", i, std::strerror(errno));
            break;
        }
        idle.push_back(fd);
    }
    // Wait until the service holds them all.
    for (double until = NowMs() + 10000;
         NowMs() < until && OpenDescriptors(pid) < baseline + int(idle.size());)
        usleep(20000);
    std::printf("vendor holds %d idle connections\n", OpenDescriptors(pid) - baseline);

    const QByteArray get =
        QByteArray("GET /download.txt HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: bench\r\n\r\n");
    std::vector<Request> requests(static_cast<std::size_t>(burstCount));
    for (Request& r : requests)
        r.port = port, r.text = get;
    const double burstStart = NowMs();
    const double cpuStart = CpuMs(pid);
    Burst(requests);
    const double cpuUsed = CpuMs(pid) - cpuStart;
    std::vector<double> latencies;
    int answered = 0;
    for (const Request& r : requests)
        if (r.ok() && r.reply.endsWith("-\r\n")) {
            ++answered;
            latencies.push_back(r.finished - r.started);
        }
    const auto at = [&](double q) { return At(latencies, q); };
    int stillOpen = 0;
    for (const int fd : idle) {
        char c;
        const ssize_t got = recv(fd, &c, 1, MSG_DONTWAIT | MSG_PEEK);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) ++stillOpen;
    }

    std::printf(
        "vendor failed requests %d errors (%d of %d answered with %zu idle connections open, %d still open "
        "after) ... goal: under 1 errors\n",
        burstCount - answered, answered, burstCount, idle.size(), stillOpen);
    std::printf("vendor median latency %.1f ms\n", at(0.5));
    std::printf("vendor p99 latency %.1f ms ... goal: under 500 ms\n", at(0.99));
    std::printf("vendor burst of %d requests took %.0f ms\n", burstCount, NowMs() - burstStart);
    std::printf("vendor CPU time %.0f us per request\n", cpuUsed * 1000 / std::max(1, burstCount));
    std::printf("vendor peak RSS %.1f MiB\n", double(PeakRssKb(pid)) / 1024);
    for (const int fd : idle)
        close(fd);
    vendor.kill();
    vendor.waitForFinished();
    return 0;
}
