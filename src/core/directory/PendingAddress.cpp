#include "PendingAddress.h"

#include <QMutexLocker>
#include <utility>

void PendingAddress::Set(const QString& address) {
    QMutexLocker lock(&mutex_);
    address_ = address.left(MaxLength);
}

QString PendingAddress::Take() {
    QMutexLocker lock(&mutex_);
    return std::exchange(address_, QString());
}

bool PendingAddress::IsEmpty() const {
    QMutexLocker lock(&mutex_);
    return address_.isEmpty();
}

AddressRequest SplitAddress(const QString& text) {
    const qsizetype comma = text.indexOf(u',');
    if (comma < 0) return {text.trimmed(), QString()};
    return {text.left(comma).trimmed(), text.mid(comma + 1).trimmed()};
}
