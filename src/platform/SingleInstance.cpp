#include "SingleInstance.h"

#include "Folders.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr int ConnectTimeoutMs = 1000;
// The running instance answers from its event loop, which a long step may hold for a moment.
constexpr int AnswerTimeoutMs = 3000;
// A request is one short line; anything longer is not one of ours.
constexpr qint64 MaxRequest = 1024;
const QByteArray ActivateRequest = "activate";
const QByteArray RaisedAnswer = "raised";

QString UserKey() {
#ifdef Q_OS_UNIX
    return QStringLiteral("tessara-%1-instance").arg(::geteuid());
#else
    return QStringLiteral("tessara-instance");
#endif
}

} // namespace

SingleInstance::SingleInstance(const QString& folder, const QString& display, QObject* parent)
    : QObject(parent), folder_(folder), display_(display) {}

SingleInstance::SingleInstance() : SingleInstance(UserRuntimeFolder()) {}

SingleInstance::~SingleInstance() {
#ifdef Q_OS_UNIX
    if (lock_ >= 0) ::close(lock_);
#endif
}

QString SingleInstance::SocketPath() const {
    return folder_.isEmpty() ? QString() : folder_ + UserKey();
}

QString SingleInstance::LockPath() const {
    return folder_.isEmpty() ? QString() : folder_ + UserKey() + QStringLiteral(".lock");
}

QString SingleInstance::CurrentDisplay() {
    const QString platform = qGuiApp ? QGuiApplication::platformName() : QString();
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty() || platform == QLatin1String("xcb")) display = qEnvironmentVariable("DISPLAY");
    return platform + ':' + display;
}

bool SingleInstance::Claim() {
    answer_ = Answer::None;
    // Without a folder of the user's own nothing can be shared safely: every start runs.
    if (folder_.isEmpty()) return true;
#ifdef Q_OS_UNIX
    // The lock decides, not the socket: whatever lies at the socket's name, only a running instance
    // holds the lock, and a program that died lets it go.
    lock_ = ::open(QFile::encodeName(LockPath()).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK,
                   0600);
    struct stat st {};
    if (lock_ < 0 || ::fstat(lock_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        if (lock_ >= 0) ::close(lock_);
        lock_ = -1;
        return true;
    }
    if (::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
        ::close(lock_);
        lock_ = -1;
        Ask();
        return false;
    }
#endif
    Listen();
    return true;
}

void SingleInstance::Ask() {
    answer_ = Answer::NoAnswer;
    QLocalSocket probe;
    probe.connectToServer(SocketPath());
    if (!probe.waitForConnected(ConnectTimeoutMs)) return;
    probe.write(ActivateRequest + ' ' + display_.toUtf8() + '\n');
    probe.waitForBytesWritten(ConnectTimeoutMs);
    QDeadlineTimer deadline(AnswerTimeoutMs);
    while (!probe.canReadLine() && probe.bytesAvailable() < MaxRequest && !deadline.hasExpired() &&
           probe.state() == QLocalSocket::ConnectedState)
        probe.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    if (!probe.canReadLine()) return;
    const QByteArray line = probe.readLine(MaxRequest).trimmed();
    probe.disconnectFromServer();
    if (line != RaisedAnswer && !line.startsWith(RaisedAnswer + ' ')) return;
    otherDisplay_ = QString::fromUtf8(line.mid(RaisedAnswer.size() + 1));
    answer_ = otherDisplay_ == display_ ? Answer::Raised : Answer::RaisedOnOtherDisplay;
}

void SingleInstance::Listen() {
    // Anything at the socket's name is left from a run that ended, or was put there to keep this one
    // out: the lock is ours, so the name is too.
    QLocalServer::removeServer(SocketPath());
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(SocketPath())) return; // still the only instance; it just cannot be reached
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (!s->canReadLine()) {
                    if (s->bytesAvailable() > MaxRequest) s->abort();
                    return;
                }
                const QByteArray line = s->readLine(MaxRequest);
                if (line.startsWith(ActivateRequest)) {
                    emit activationRequested();
                    s->write(RaisedAnswer + ' ' + display_.toUtf8() + '\n');
                    s->flush();
                }
                s->disconnectFromServer();
            });
        }
    });
}
