#include "HttpClient.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QStorageInfo>
#include <QTimer>
#include <QUrl>
#include <deque>

namespace {

const char* IndyAgent = "Mozilla/3.0 (compatible; Indy Library)";
const char* UpdaterAgent = "Tessara Updater";

// What the network layer may hold for us before we read it; a slow disk then slows the server down
// instead of filling memory.
constexpr qint64 ReadBufferBytes = 256 * 1024;
// How often a running download looks at the clock, the rate and the Cancel button.
constexpr int WatchIntervalMs = 100;

// Runs the event loop until the reply finishes.
void Wait(QNetworkReply* reply) {
    if (reply->isFinished()) return;
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

bool IsLoopback(const QUrl& url) {
    const QString host = url.host();
    return host == QLatin1String("localhost") || QHostAddress(host).isLoopback();
}

// The system's proxy settings, except for the local machine.
void UseSystemProxy(QNetworkAccessManager& nam, const QUrl& url) {
    if (IsLoopback(url)) {
        nam.setProxy(QNetworkProxy::NoProxy);
        return;
    }
    const auto proxies = QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(url));
    nam.setProxy(proxies.isEmpty() ? QNetworkProxy(QNetworkProxy::NoProxy) : proxies.first());
}

} // namespace

HttpClient::HttpClient() : nam_(std::make_unique<QNetworkAccessManager>()) {
    // The vendor exchanges go out directly, as the original client did.
    nam_->setProxy(QNetworkProxy::NoProxy);
}

HttpClient::~HttpClient() = default;

HttpReply HttpClient::Get(const QString& url) {
    return Run(url, false);
}
HttpReply HttpClient::Post(const QString& url) {
    return Run(url, true);
}

QNetworkReply* HttpClient::StartBackgroundPost(const QString& url, int timeoutMs) {
    const QUrl u(url, QUrl::TolerantMode);
    if (!u.isValid() || u.scheme().isEmpty()) return nullptr;
    QNetworkRequest request(u);
    request.setRawHeader("Accept", "text/html, */*");
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(IndyAgent));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
    request.setTransferTimeout(timeoutMs);
    QNetworkReply* reply = nam_->post(request, QByteArray());
    // Nothing of the reply is wanted: keep none of it.
    reply->setReadBufferSize(1);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply] { reply->skip(reply->bytesAvailable()); });
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    // The transfer time-out counts silence only; this ends a server that trickles as well.
    QTimer::singleShot(timeoutMs, reply, [reply] { reply->abort(); });
    return reply;
}

void HttpClient::PostDetached(const QString& url, int timeoutMs) {
    StartBackgroundPost(url, timeoutMs);
}

void HttpClient::PostAsync(const QString& url, int timeoutMs, QObject* context, std::function<void(bool ok)> done) {
    QNetworkReply* reply = StartBackgroundPost(url, timeoutMs);
    if (!reply) {
        QTimer::singleShot(0, context, [done = std::move(done)] { done(false); });
        return;
    }
    QObject::connect(reply, &QNetworkReply::finished, context, [reply, done = std::move(done)] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        done(reply->error() == QNetworkReply::NoError && status > 0 && status < 400);
    });
}

HttpReply HttpClient::Run(const QString& url, bool post) {
    HttpReply result;
    const QUrl u(url, QUrl::TolerantMode);
    if (!u.isValid() || u.scheme().isEmpty()) {
        result.error = QStringLiteral("Invalid address: %1").arg(url);
        return result;
    }
    QNetworkRequest request(u);
    request.setRawHeader("Accept", "text/html, */*");
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(IndyAgent));
    QNetworkReply* reply;
    if (post) {
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArray("application/x-www-form-urlencoded"));
        reply = nam_->post(request, QByteArray());
    } else {
        reply = nam_->get(request);
    }
    reply->setReadBufferSize(ReadBufferBytes);
    QString failure;
    bool cut = false;
    auto fail = [&](const QString& why) {
        if (!failure.isEmpty()) return;
        failure = why;
        reply->abort();
    };
    QElapsedTimer clock;
    clock.start();
    bool answered = false;
    qint64 lastActivityMs = 0;
    auto activity = [&] {
        answered = true;
        lastActivityMs = clock.elapsed();
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, activity);
    QObject::connect(reply, &QNetworkReply::uploadProgress, reply, activity);
    auto collect = [&] {
        activity();
        if (!failure.isEmpty() || cut) return;
        const QByteArray part = reply->readAll();
        if (result.body.size() + part.size() > MaxReplyBytes && CutLongReplies) {
            result.body += part.first(MaxReplyBytes - result.body.size());
            cut = result.cut = true;
            reply->abort();
            return;
        }
        if (result.body.size() + part.size() > MaxReplyBytes)
            return fail(QStringLiteral("The reply is longer than %1 bytes").arg(MaxReplyBytes));
        result.body += part;
    };
    QObject::connect(reply, &QNetworkReply::readyRead, reply, collect);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply, [&] {
        fail(QStringLiteral("The reply took longer than %1 s").arg(TotalTimeoutMs / 1000));
    });
    deadline.start(TotalTimeoutMs);
    // The messages name the server and what it failed to do: "Operation canceled" tells the user nothing.
    const QString host = u.port() > 0 ? QStringLiteral("%1:%2").arg(u.host()).arg(u.port()) : u.host();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, reply, [&] {
        if (Cancelled && Cancelled()) {
            result.cancelled = true;
            return fail(QStringLiteral("Cancelled"));
        }
        const qint64 now = clock.elapsed();
        if (!answered && now >= AnswerTimeoutMs)
            return fail(QStringLiteral("The server %1 did not answer within %2 s")
                            .arg(host)
                            .arg(AnswerTimeoutMs / 1000.0, 0, 'f', 1));
        if (answered && now - lastActivityMs >= TimeoutMs)
            fail(QStringLiteral("The server %1 sent nothing for %2 s").arg(host).arg(TimeoutMs / 1000.0, 0, 'f', 1));
    });
    watch.start(WatchIntervalMs);
    Wait(reply);
    watch.stop();
    if (failure.isEmpty()) collect();
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // Like the original client, a status of 400 and above is a failure even though a page arrived.
    result.ok = failure.isEmpty() && (cut || reply->error() == QNetworkReply::NoError) && result.status > 0 &&
                result.status < 400;
    if (!result.ok) {
        if (!failure.isEmpty())
            result.error = failure;
        else
            result.error = reply->error() != QNetworkReply::NoError
                               ? host + QStringLiteral(": ") + reply->errorString()
                               : QStringLiteral("%1: HTTP status %2").arg(host).arg(result.status);
    }
    reply->disconnect();
    reply->deleteLater();
    return result;
}

DownloadResult DownloadFile(const QString& url, const QString& localPath, const DownloadProgress& progress,
                            const DownloadLimits& limits) {
    DownloadResult result;
    const QUrl u(url, QUrl::TolerantMode);
    if (!u.isValid() || u.scheme().isEmpty()) {
        result.error = QStringLiteral("Invalid address: %1").arg(url);
        return result;
    }
    if (limits.Cancelled && limits.Cancelled()) {
        result.status = DownloadStatus::Cancelled;
        result.error = QStringLiteral("Cancelled");
        return result;
    }

    QSaveFile file(localPath);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        result.status = DownloadStatus::FileError;
        result.error = QStringLiteral("Cannot create \"%1\": %2").arg(localPath, file.errorString());
        return result;
    }

    QNetworkAccessManager nam;
    UseSystemProxy(nam, u);
    QNetworkRequest request(u);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(UpdaterAgent));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setRawHeader("Pragma", "no-cache");
    request.setRawHeader("Cache-Control", "no-cache");
    // Content-Length must describe the bytes stored, so nothing is decoded on the way.
    request.setRawHeader("Accept-Encoding", "identity");
    QNetworkReply* reply = nam.get(request);
    reply->setReadBufferSize(ReadBufferBytes);

    QElapsedTimer clock;
    clock.start();
    qint64 length = -1, total = 0, lastActivityMs = 0;
    bool fileFailed = false, cancelled = false, draining = false, answered = false;
    QString failure;
    auto fail = [&](const QString& why) {
        if (!failure.isEmpty()) return;
        failure = why;
        reply->abort();
    };
    auto checkHeaders = [&] {
        if (length >= 0) return true;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        // No headers yet, or a redirect the manager is still following.
        if (status == 0 || (status >= 300 && status < 400 && !reply->isFinished())) return false;
        answered = true;
        lastActivityMs = clock.elapsed();
        if (status < 200 || status >= 300) {
            fail(QStringLiteral("HTTP status %1").arg(status));
            return false;
        }
        const QVariant header = reply->header(QNetworkRequest::ContentLengthHeader);
        const qint64 announced = header.isValid() ? header.toLongLong() : 0;
        if (announced <= 0) {
            fail(QStringLiteral("The server sent no Content-Length"));
            return false;
        }
        if (announced > limits.MaxBytes) {
            fail(QStringLiteral("The server announces %1 bytes, more than the %2 bytes this file may have")
                     .arg(announced)
                     .arg(limits.MaxBytes));
            return false;
        }
        const QStorageInfo volume(QFileInfo(localPath).absolutePath());
        if (volume.isValid() && volume.bytesAvailable() >= 0 && volume.bytesAvailable() < announced) {
            fileFailed = true;
            fail(QStringLiteral("Not enough free space for the %1 bytes of \"%2\"")
                     .arg(announced)
                     .arg(localPath));
            return false;
        }
        length = announced;
        return true;
    };
    auto drain = [&] {
        // Progress may process events, which can deliver the next readyRead while this one reads.
        if (draining || !failure.isEmpty()) return;
        if (!checkHeaders()) return;
        draining = true;
        char block[1024];
        while (failure.isEmpty()) {
            const qint64 n = reply->read(block, sizeof block);
            if (n <= 0) break;
            lastActivityMs = clock.elapsed();
            if (total + n > length) {
                fail(QStringLiteral("The server sent more than its Content-Length"));
                break;
            }
            if (file.write(block, n) != n) {
                fileFailed = true;
                fail(QStringLiteral("Cannot write \"%1\": %2").arg(localPath, file.errorString()));
                break;
            }
            total += n;
            if (progress) progress(total, length);
        }
        draining = false;
    };

    // The bytes counted at moments of the last window, oldest first; the first one is at or before the
    // window's start, so the difference to `total` is what the window brought.
    std::deque<std::pair<qint64, qint64>> samples{{0, 0}};
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, reply, [&] {
        if (!failure.isEmpty()) return;
        if (limits.Cancelled && limits.Cancelled()) {
            cancelled = true;
            return fail(QStringLiteral("Cancelled"));
        }
        const qint64 now = clock.elapsed();
        if (!answered && now >= limits.AnswerMs && limits.AnswerMs < limits.SilenceMs)
            return fail(QStringLiteral("The server %1 did not answer within %2 s")
                            .arg(u.host())
                            .arg(limits.AnswerMs / 1000.0, 0, 'f', 1));
        if (now - lastActivityMs >= limits.SilenceMs)
            return fail(QStringLiteral("The server sent nothing for %1 s")
                            .arg((now - lastActivityMs) / 1000.0, 0, 'f', 1));
        samples.emplace_back(now, total);
        while (samples.size() > 1 && samples[1].first <= now - limits.RateWindowMs)
            samples.pop_front();
        const qint64 needed = limits.MinBytesPerSecond * limits.RateWindowMs / 1000;
        const qint64 brought = total - samples.front().second;
        if (now >= limits.RateWindowMs && brought < needed)
            fail(
                QStringLiteral("The server sends too slowly: %1 bytes in the last %2 s, at least %3 expected")
                    .arg(brought)
                    .arg(limits.RateWindowMs / 1000.0, 0, 'f', 1)
                    .arg(needed));
    });
    watch.start(WatchIntervalMs);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [&] { checkHeaders(); });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, drain);
    Wait(reply);
    watch.stop();
    if (failure.isEmpty()) drain();

    if (failure.isEmpty() && reply->error() != QNetworkReply::NoError) failure = reply->errorString();
    if (failure.isEmpty() && length < 0) checkHeaders();
    if (failure.isEmpty() && total != length)
        failure = QStringLiteral("The connection ended after %1 of %2 bytes").arg(total).arg(length);
    reply->disconnect();
    delete reply;

    if (failure.isEmpty()) {
        if (file.commit()) {
            result.status = DownloadStatus::Ok;
            return result;
        }
        fileFailed = true;
        failure = QStringLiteral("Cannot write \"%1\": %2").arg(localPath, file.errorString());
    } else {
        file.cancelWriting();
        file.commit(); // with writing cancelled this only removes the temporary file
    }
    result.status = cancelled    ? DownloadStatus::Cancelled
                    : fileFailed ? DownloadStatus::FileError
                                 : DownloadStatus::Failed;
    result.error = failure;
    return result;
}
