#include "HttpClient.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QUrl>

namespace {

const char* IndyAgent = "Mozilla/3.0 (compatible; Indy Library)";
const char* UpdaterAgent = "Tessara Updater";

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
    request.setTransferTimeout(TimeoutMs);
    QNetworkReply* reply;
    if (post) {
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArray("application/x-www-form-urlencoded"));
        reply = nam_->post(request, QByteArray());
    } else {
        reply = nam_->get(request);
    }
    Wait(reply);
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    // Like the original client, a status of 400 and above is a failure even though a page arrived.
    result.ok = reply->error() == QNetworkReply::NoError && result.status > 0 && result.status < 400;
    if (!result.ok)
        result.error = reply->error() != QNetworkReply::NoError
                           ? reply->errorString()
                           : QStringLiteral("HTTP status %1").arg(result.status);
    reply->deleteLater();
    return result;
}

DownloadResult DownloadFile(const QString& url, const QString& localPath, const DownloadProgress& progress,
                            int timeoutMs) {
    DownloadResult result;
    const QUrl u(url, QUrl::TolerantMode);
    if (!u.isValid() || u.scheme().isEmpty()) {
        result.error = QStringLiteral("Invalid address: %1").arg(url);
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
    request.setTransferTimeout(timeoutMs);
    QNetworkReply* reply = nam.get(request);

    qint64 length = -1, total = 0;
    bool fileFailed = false, draining = false;
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
        if (status < 200 || status >= 300) {
            fail(QStringLiteral("HTTP status %1").arg(status));
            return false;
        }
        const QVariant header = reply->header(QNetworkRequest::ContentLengthHeader);
        length = header.isValid() ? header.toLongLong() : 0;
        if (length <= 0) {
            fail(QStringLiteral("The server sent no Content-Length"));
            return false;
        }
        return true;
    };
    auto drain = [&] {
        // Progress may process events, which can deliver the next readyRead while this one reads.
        if (draining || !failure.isEmpty()) return;
        if (!checkHeaders()) return;
        draining = true;
        char block[1024];
        for (;;) {
            const qint64 n = reply->read(block, sizeof block);
            if (n <= 0) break;
            if (file.write(block, n) != n) {
                fileFailed = true;
                draining = false;
                fail(QStringLiteral("Cannot write \"%1\": %2").arg(localPath, file.errorString()));
                return;
            }
            total += n;
            if (total > length) {
                draining = false;
                fail(QStringLiteral("The server sent more than its Content-Length"));
                return;
            }
            if (progress) progress(total, length);
        }
        draining = false;
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [&] { checkHeaders(); });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, drain);
    Wait(reply);
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
    result.status = fileFailed ? DownloadStatus::FileError : DownloadStatus::Failed;
    result.error = failure;
    return result;
}
