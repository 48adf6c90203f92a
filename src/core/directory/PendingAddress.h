// An address request from outside (the command server's connection threads) waiting for the window's
// timer: a street name, or a street name, a comma and a house number. At most one waits; a new one
// replaces it.
#pragma once

#include <QMutex>
#include <QString>

class PendingAddress {
public:
    // Longer requests are cut: no street name or number comes near it.
    static constexpr int MaxLength = 1024;

    void Set(const QString& address);
    // The waiting request, which is then gone; empty when none waits.
    QString Take();
    bool IsEmpty() const;

private:
    mutable QMutex mutex_;
    QString address_;
};

// A request split at its first comma, blanks around both parts dropped; no number without a comma or
// when nothing follows it.
struct AddressRequest {
    QString street, number;
};
AddressRequest SplitAddress(const QString& text);
