// Whether the vendor host answers in time: an ICMP echo where the system allows one without
// privileges (datagram socket, else raw socket), else a TCP connect to its web port.
#pragma once

#include <QString>
#include <QtGlobal>

enum class ProbeMethod { None, IcmpDatagram, IcmpRaw, TcpConnect };

struct ProbeResult {
    bool answered = false;
    ProbeMethod method = ProbeMethod::None;
    int roundTripMs = -1;
};

// Blocks for at most `budgetMs` (name lookup included) while the GUI keeps processing events.
// A reply counts when its round trip plus 5 ms stays within the budget.
ProbeResult ProbeHost(const QString& host, quint16 tcpPort, int budgetMs = 1000);
