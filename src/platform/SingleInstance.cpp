#include "SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {

constexpr int ConnectTimeoutMs = 1000;
const QByteArray ActivateMessage = "activate\n";

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent), key_(key) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::DefaultKey() {
    QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME", "user"));
    return QStringLiteral("Tessara-%1").arg(user);
}

bool SingleInstance::Claim() {
    QLocalSocket probe;
    probe.connectToServer(key_);
    if (probe.waitForConnected(ConnectTimeoutMs)) {
        probe.write(ActivateMessage);
        probe.waitForBytesWritten(ConnectTimeoutMs);
        probe.disconnectFromServer();
        return false;
    }
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(key_)) {
        // A socket left behind by a program that crashed: nobody answered on it, so take it over.
        QLocalServer::removeServer(key_);
        if (!server_->listen(key_)) return true; // still the only instance; it just cannot be reached
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (s->readAll().contains("activate")) emit activationRequested();
                s->deleteLater();
            });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    return true;
}
