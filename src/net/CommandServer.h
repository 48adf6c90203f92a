// The command server: another program asks the map to show an address with a "ShowAdr;STREET, NUMBER"
// line over TCP. Connections are served on a thread of the server's own, so neither many clients nor
// floods slow the window; each address is handed to a callback, which must be safe on any thread.
#pragma once

#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

// One line of the protocol, without its LF: split at the first ";" (a line without one is a command
// without argument), a CR at its end dropped. The argument is UTF-8 when it is valid UTF-8, else
// Windows-1251.
struct CommandLine {
    QByteArray command;
    QString argument;
};
CommandLine ParseCommandLine(QByteArrayView line);
// The address a line asks to show; empty for any other command (names are case-sensitive).
QString ShowAdrArgument(QByteArrayView line);

class CommandServer {
public:
    // A longer line closes its connection: no address comes near it, and memory stays bounded.
    static constexpr qsizetype MaxLine = 64 * 1024;
    // Further clients wait in the system's queue until a connection ends, or until one of the open
    // connections has been silent for the idle grace: then the longest silent one is closed for it.
    static constexpr int MaxConnections = 64;
    static constexpr int DefaultIdleGraceMs = 10000;
    // Room in the system's queue for a burst of clients connecting at once.
    static constexpr int ListenBacklog = 1024;

    using AddressHandler = std::function<void(const QString& address)>;

    // `onAddress` runs on the server's thread for every "ShowAdr" line.
    explicit CommandServer(AddressHandler onAddress);
    ~CommandServer();
    CommandServer(const CommandServer&) = delete;
    CommandServer& operator=(const CommandServer&) = delete;

    // Listens on `port` of the loopback addresses (127.0.0.1 and ::1), or of every interface with
    // `anyHost`. False when it cannot (port in use, no permission): nothing listens then. Port 0 takes
    // a free port, the same one on both loopback addresses.
    bool Start(quint16 port, bool anyHost);
    // How long a connection may stay silent before a waiting client may take its place; read at Start.
    void SetIdleGraceMs(int ms) { idleGraceMs_ = ms; }
    // Closes the listening sockets and every connection.
    void Stop();

    bool IsListening() const;
    quint16 Port() const;
    QList<QHostAddress> Addresses() const;
    // Connections being served now.
    int Connections() const;
    // Complete lines read since Start, whatever they asked.
    quint64 LinesServed() const;

private:
    struct Worker;
    AddressHandler onAddress_;
    int idleGraceMs_ = DefaultIdleGraceMs;
    std::unique_ptr<Worker> worker_;
};

// The settings value "CommandServerAnyHost" (the user's scope over the machine's): exactly 1 opens
// the server to the network; by default only this machine can reach it.
bool ReadCommandServerAnyHost();
