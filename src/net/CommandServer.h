// The command server: another program asks the map to show an address with a "ShowAdr;STREET, NUMBER"
// line over TCP, or over a local socket that only the user can open. Connections are served on a thread
// of the server's own, so neither many clients nor floods slow the window; each address is handed to a
// callback, which must be safe on any thread.
#pragma once

#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

// One line of the protocol, without its LF: split at the first ";" (a line without one is a command
// without argument), a CR at its end dropped. The argument is UTF-8 when it is valid UTF-8, else
// Windows-1251. (CommandLine.cpp, apart from the server, so that it can be fuzzed alone.)
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
    // Connections served at once, over TCP and over the local socket each. When all are taken, a client
    // waiting is preferred: the connection silent the longest (since its last byte) is closed for it,
    // once its complete lines are served.
    static constexpr int MaxConnections = 64;
    // Room in the system's queue for a burst of clients connecting at once.
    static constexpr int ListenBacklog = 1024;

    using AddressHandler = std::function<void(const QString& address)>;

    // `onAddress` runs on the server's thread for every "ShowAdr" line.
    explicit CommandServer(AddressHandler onAddress);
    ~CommandServer();
    CommandServer(const CommandServer&) = delete;
    CommandServer& operator=(const CommandServer&) = delete;

    // Listens on `port` of the loopback addresses (127.0.0.1 and ::1), or of every interface with
    // `anyHost`. False when it cannot (port in use, no permission): no TCP client is served then. Port 0
    // takes a free port, the same one on both loopback addresses. With a `localPath` (in a folder only
    // the user can open), the local socket there is served as well, whatever became of the port; a
    // socket left at that path by an earlier run is replaced, anything else there keeps it from serving.
    bool Start(quint16 port, bool anyHost, const QString& localPath = {});
    // Closes the listening sockets and every connection.
    void Stop();

    // Something listens: the port, the local socket or both.
    bool IsListening() const;
    quint16 Port() const;
    // The local socket served, or empty.
    QString LocalPath() const;
    QList<QHostAddress> Addresses() const;
    // Connections being served now.
    int Connections() const;
    // Complete lines read since Start, whatever they asked.
    quint64 LinesServed() const;

private:
    struct Worker;
    AddressHandler onAddress_;
    std::unique_ptr<Worker> worker_;
};

// The settings value "CommandServerAnyHost" (the user's scope over the machine's): exactly 1 opens
// the server to the network; by default only this machine can reach it.
bool ReadCommandServerAnyHost();

// The local socket of the command server: "tessara-UID-command" in the user's runtime folder (empty
// when there is no folder that only the user can open).
QString CommandSocketPath();
