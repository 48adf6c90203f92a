// The command server under load, on 127.0.0.1: a 10 MB line without a line end (memory), lines over one
// connection (throughput), and 1,000 clients connecting at once with 10 lines each, while this thread
// runs an event loop standing for the window and measures its longest pause. usage: bench_command
#include "CommandServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<quint64> Served{0};

// A value of /proc/self/status in KiB ("VmRSS", "VmHWM").
long StatusKiB(const char* name) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(name)) return line.mid(qstrlen(name) + 1).trimmed().split(' ').front().toLong();
    return -1;
}

int Connect(quint16 port, bool blocking) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | (blocking ? 0 : SOCK_NONBLOCK), 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

// Runs this thread's event loop until `done` or `ms`, measuring the longest gap between 5 ms ticks.
qint64 RunLoop(const std::function<bool()>& done, int ms, qint64& longestPause) {
    QEventLoop loop;
    QElapsedTimer total, sinceTick;
    total.start();
    sinceTick.start();
    longestPause = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestPause = std::max(longestPause, sinceTick.restart());
        if (done() || total.elapsed() > ms) loop.quit();
    });
    tick.start();
    loop.exec();
    return total.elapsed();
}

void LongLineMemory(CommandServer& server) {
    // The server's thread and buffers exist before the measure starts.
    const int warm = Connect(server.Port(), true);
    SendAll(warm, "ShowAdr;warm\n", 13);
    ::close(warm);
    qint64 pause = 0;
    RunLoop([] { return Served.load() >= 1; }, 5000, pause);

    QFile reset(QStringLiteral("/proc/self/clear_refs"));
    const bool peakReset = reset.open(QIODevice::WriteOnly) && reset.write("5") == 1;
    reset.close();
    const long before = StatusKiB("VmRSS:");
    // The client writes one 64 KiB block again and again, so its own memory does not grow.
    std::thread client([port = server.Port()] {
        const int fd = Connect(port, true);
        const std::vector<char> block(64 * 1024, 'x');
        SendAll(fd, "ShowAdr;", 8);
        for (int i = 0; i < 160 && SendAll(fd, block.data(), block.size()); ++i) {
        }
        ::close(fd);
    });
    client.join();
    RunLoop([&] { return server.Connections() == 0; }, 5000, pause);
    const long peak = peakReset ? StatusKiB("VmHWM:") : StatusKiB("VmRSS:");
    std::printf("10 MB line without a line end: memory growth %ld KiB ... goal: under 1024 KiB%s\n",
                std::max(0L, peak - before), peakReset ? "" : " (peak not resettable: resident after)");
}

void OneConnection(CommandServer& server) {
    constexpr int Lines = 200000;
    QByteArray stream;
    for (int i = 0; i < Lines; ++i)
        stream += "ShowAdr;Ленина улица, " + QByteArray::number(i % 300) + "\n";
    const quint64 start = Served.load();
    QElapsedTimer t;
    t.start();
    std::thread client([&, port = server.Port()] {
        const int fd = Connect(port, true);
        SendAll(fd, stream.constData(), std::size_t(stream.size()));
        ::close(fd);
    });
    qint64 pause = 0;
    RunLoop([&] { return Served.load() - start >= Lines; }, 60000, pause);
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    client.join();
    const quint64 got = Served.load() - start;
    std::printf("one connection: %d lines in %.3f s, %.0f lines/s (%llu served)\n", Lines, seconds,
                double(got) / seconds, static_cast<unsigned long long>(got));
    std::printf("one connection, time per line %.2f us ... goal: under 100 us\n",
                seconds * 1e6 / double(Lines));
}

void ThousandClients(CommandServer& server) {
    constexpr int Clients = 1000, LinesEach = 10;
    QByteArray lines;
    for (int i = 0; i < LinesEach; ++i)
        lines += "ShowAdr;Мира проспект, " + QByteArray::number(i) + "\n";
    const quint64 start = Served.load();
    QElapsedTimer t;
    t.start();
    // Every client connects at once; each sends its lines as soon as it is connected and closes.
    std::thread clients([&, port = server.Port()] {
        std::vector<pollfd> fds;
        for (int i = 0; i < Clients; ++i)
            if (const int fd = Connect(port, false); fd >= 0) fds.push_back({fd, POLLOUT, 0});
        std::size_t open = fds.size();
        QElapsedTimer limit;
        limit.start();
        while (open > 0 && limit.elapsed() < 60000) {
            if (::poll(fds.data(), fds.size(), 100) <= 0) continue;
            for (pollfd& p : fds) {
                if (p.fd < 0 || !p.revents) continue;
                int error = 0;
                socklen_t size = sizeof error;
                ::getsockopt(p.fd, SOL_SOCKET, SO_ERROR, &error, &size);
                if (!error) SendAll(p.fd, lines.constData(), std::size_t(lines.size()));
                ::close(p.fd);
                p.fd = -1;
                --open;
            }
        }
    });
    qint64 pause = 0;
    RunLoop([&] { return Served.load() - start >= quint64(Clients * LinesEach); }, 60000, pause);
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    clients.join();
    const quint64 got = Served.load() - start;
    std::printf("%d clients at once x %d lines: %llu lines served in %.3f s\n", Clients, LinesEach,
                static_cast<unsigned long long>(got), seconds);
    std::printf("lines not served %lld lines ... goal: under 1 lines\n",
                static_cast<long long>(Clients * LinesEach) - static_cast<long long>(got));
    std::printf("window thread longest pause while serving %lld ms ... goal: under 100 ms\n",
                static_cast<long long>(pause));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    CommandServer server([](const QString&) { Served.fetch_add(1, std::memory_order_relaxed); });
    if (!server.Start(0, false)) {
        std::fprintf(stderr, "bench_command: the server does not start\n");
        return 1;
    }
    LongLineMemory(server);
    OneConnection(server);
    ThousandClients(server);
    return 0;
}
