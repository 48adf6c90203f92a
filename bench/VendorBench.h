// Benchmark support for the vendor service: raw connections to 127.0.0.1 and a burst of requests sent
// at once through epoll, each timed from its connect to the service's close (Linux).
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <functional>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

inline double NowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline double At(std::vector<double> v, double q) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(q * double(v.size())))];
}

inline int Connect(quint16 port, bool blocking) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (blocking ? 0 : SOCK_NONBLOCK), 0);
    if (fd < 0) return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 && errno != EINPROGRESS) {
        close(fd);
        return -1;
    }
    return fd;
}

struct Request {
    quint16 port = 0;
    QByteArray text;
    int fd = -1;
    bool sent = false;
    double started = 0, finished = -1;
    QByteArray reply;
    bool ok() const { return finished >= 0 && reply.startsWith("HTTP/1.1 200"); }
};

// Sends every request at once and reads the answers; `onAnswer` is called with the number answered
// so far after each (to kill a process in the middle).
inline void Burst(std::vector<Request>& requests, const std::function<void(int)>& onAnswer = {}) {
    const int ep = epoll_create1(EPOLL_CLOEXEC);
    for (std::size_t i = 0; i < requests.size(); ++i) {
        Request& r = requests[i];
        r.started = NowMs();
        r.fd = Connect(r.port, false);
        if (r.fd < 0) {
            r.finished = NowMs();
            continue;
        }
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP;
        ev.data.u32 = quint32(i);
        epoll_ctl(ep, EPOLL_CTL_ADD, r.fd, &ev);
    }
    int open = int(std::count_if(requests.begin(), requests.end(), [](const Request& r) { return r.fd >= 0; }));
    int answered = 0;
    std::vector<epoll_event> events(1024);
    const double start = NowMs();
    while (open > 0 && NowMs() - start < 60000) {
        const int n = epoll_wait(ep, events.data(), int(events.size()), 1000);
        for (int k = 0; k < n; ++k) {
            Request& r = requests[events[std::size_t(k)].data.u32];
            if (r.finished >= 0) continue;
            if (!r.sent && (events[std::size_t(k)].events & EPOLLOUT)) {
                r.sent = send(r.fd, r.text.constData(), std::size_t(r.text.size()), MSG_NOSIGNAL) == r.text.size();
                epoll_event ev{};
                ev.events = EPOLLIN | EPOLLRDHUP;
                ev.data.u32 = events[std::size_t(k)].data.u32;
                epoll_ctl(ep, EPOLL_CTL_MOD, r.fd, &ev);
            }
            char buf[65536];
            for (;;) {
                const ssize_t got = recv(r.fd, buf, sizeof buf, 0);
                if (got > 0) {
                    r.reply.append(buf, got);
                    continue;
                }
                if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
                r.finished = NowMs();
                close(r.fd);
                --open;
                if (r.ok() && onAnswer) onAnswer(++answered);
                break;
            }
        }
    }
    close(ep);
}

