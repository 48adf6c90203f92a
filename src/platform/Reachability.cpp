#include "Reachability.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>

#include <cstring>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Runs the event loop until `done` is called or `ms` pass; false on time-out.
template <typename Start> bool WaitFor(int ms, Start start) {
    if (ms <= 0) return false;
    QEventLoop loop;
    bool finished = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    start([&] {
        finished = true;
        loop.quit();
    });
    if (finished) return true;
    timer.start(ms);
    loop.exec();
    return finished;
}

std::uint16_t Checksum(const unsigned char* p, std::size_t n) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < n; i += 2)
        sum += std::uint32_t(p[i] << 8 | p[i + 1]);
    if (n & 1) sum += std::uint32_t(p[n - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return std::uint16_t(~sum);
}

// One echo over an ICMP socket of the given type; -1 when the socket cannot be had or nothing came back.
int IcmpEcho(const QHostAddress& address, int type, int budgetMs) {
    const int fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) return -2;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address.toIPv4Address());
    unsigned char packet[64] = {};
    const std::uint16_t ident = std::uint16_t(::getpid() & 0xFFFF), seq = 1;
    packet[0] = ICMP_ECHO;
    packet[4] = ident >> 8;
    packet[5] = ident & 0xFF;
    packet[6] = seq >> 8;
    packet[7] = seq & 0xFF;
    std::memcpy(packet + 8, "Tessara echo", 12);
    const std::uint16_t sum = Checksum(packet, sizeof packet);
    packet[2] = sum >> 8;
    packet[3] = sum & 0xFF;

    QElapsedTimer clock;
    clock.start();
    if (::sendto(fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
        ::close(fd);
        return -1;
    }
    int rtt = -1;
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    WaitFor(budgetMs, [&](auto done) {
        QObject::connect(&notifier, &QSocketNotifier::activated, [&, done] {
            unsigned char reply[1500];
            sockaddr_in from{};
            socklen_t fromLen = sizeof from;
            for (;;) {
                const ssize_t n =
                    ::recvfrom(fd, reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
                if (n <= 0) return;
                if (from.sin_addr.s_addr != to.sin_addr.s_addr) continue;
                // A raw socket hands over the IP header too; a datagram socket does not.
                std::size_t at = 0;
                if (type == SOCK_RAW) at = std::size_t(reply[0] & 0x0F) * 4;
                if (std::size_t(n) < at + 8 || reply[at] != ICMP_ECHOREPLY) continue;
                // The kernel picks the identifier of datagram echoes, so only raw replies are matched by it.
                if (type == SOCK_RAW && (reply[at + 4] << 8 | reply[at + 5]) != ident) continue;
                rtt = int(clock.elapsed());
                done();
                return;
            }
        });
    });
    notifier.setEnabled(false);
    ::close(fd);
    return rtt;
}

} // namespace

ProbeResult ProbeHost(const QString& host, quint16 tcpPort, int budgetMs) {
    ProbeResult result;
    QElapsedTimer clock;
    clock.start();
    auto left = [&] { return budgetMs - int(clock.elapsed()); };
    auto counts = [&](int rtt) { return rtt >= 0 && rtt + 5 <= budgetMs; };

    QHostAddress address(host);
    if (address.isNull()) {
        QList<QHostAddress> found;
        // The context object ends with this scope, so a late answer is never delivered.
        QObject context;
        WaitFor(left(), [&](auto done) {
            QHostInfo::lookupHost(host, &context, [&, done](const QHostInfo& info) {
                found = info.addresses();
                done();
            });
        });
        if (found.isEmpty()) return result;
        address = found.first();
        for (const QHostAddress& a : found)
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                address = a;
                break;
            }
    }

    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        for (auto [type, method] :
             {std::pair{SOCK_DGRAM, ProbeMethod::IcmpDatagram}, std::pair{SOCK_RAW, ProbeMethod::IcmpRaw}}) {
            const int rtt = IcmpEcho(address, type, left());
            if (rtt == -2) continue; // this kind of socket is not allowed here
            result.method = method;
            result.roundTripMs = int(clock.elapsed());
            result.answered = counts(result.roundTripMs) && rtt >= 0;
            if (result.answered) return result;
            // An echo that went out unanswered may just be filtered: the web port still decides.
            break;
        }
    }

    QTcpSocket socket;
    result.method = ProbeMethod::TcpConnect;
    const bool connected = WaitFor(left(), [&](auto done) {
        QObject::connect(&socket, &QTcpSocket::connected, done);
        socket.connectToHost(address, tcpPort);
    });
    socket.abort();
    result.roundTripMs = int(clock.elapsed());
    result.answered = connected && counts(result.roundTripMs);
    return result;
}
