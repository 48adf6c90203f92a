// A local socket as a program that ended leaves it: bound at its path, never removed, nobody listening.
#pragma once

#include <QFile>
#include <QString>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

inline bool LeaveSocketBehind(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    qstrncpy(a.sun_path, QFile::encodeName(path).constData(), sizeof a.sun_path);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return bound;
}
