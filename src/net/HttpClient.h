// Blocking HTTP exchanges for the GUI thread: the call waits in a local event loop, so windows
// keep repainting and taking input while the request runs.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class QNetworkAccessManager;

struct HttpReply {
    bool ok = false; // transport succeeded and the status is below 400
    int status = 0;
    QByteArray body;
    QString error;
};

// The client of the vendor exchanges: Accept "text/html, */*", user agent "Mozilla/3.0 (compatible; Indy
// Library)".
class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    HttpReply Get(const QString& url);
    // A POST with an empty form.
    HttpReply Post(const QString& url);

    // A request that sees no traffic for this long fails instead of hanging the caller.
    int TimeoutMs = 15000;

private:
    HttpReply Run(const QString& url, bool post);
    std::unique_ptr<QNetworkAccessManager> nam_;
};

enum class DownloadStatus { Ok, Failed, FileError };

struct DownloadResult {
    DownloadStatus status = DownloadStatus::Failed;
    QString error;
    bool ok() const { return status == DownloadStatus::Ok; }
};

// position and max in bytes; the caller shows them and may process events.
using DownloadProgress = std::function<void(qint64 position, qint64 max)>;

// Fetches `url` fresh from the server (user agent "Tessara Updater", no caching) into `localPath`.
// The reply must be a success with a non-zero Content-Length, and exactly that many bytes must arrive.
// The bytes go to a temporary name beside `localPath` and replace it only when complete, so a failed
// or interrupted download leaves no file and never damages an existing one. FileError means the local
// file could not be created or written; Failed covers everything on the network side.
DownloadResult DownloadFile(const QString& url, const QString& localPath,
                            const DownloadProgress& progress = {}, int timeoutMs = 30000);
