// Blocking HTTP exchanges for the GUI thread: the call waits in a local event loop, so windows
// keep repainting and taking input while the request runs.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QObject;

struct HttpReply {
    bool ok = false; // transport succeeded and the status is below 400
    int status = 0;
    QByteArray body;
    QString error;
    bool cut = false; // the reply was longer than MaxReplyBytes and CutLongReplies kept its start
    bool cancelled = false; // ended by Cancelled, not by the server
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
    // A POST with an empty form that nobody waits for: it returns at once, is given up after
    // timeoutMs, and its reply or failure is dropped.
    void PostDetached(const QString& url, int timeoutMs);
    // A POST with an empty form whose outcome comes later: `done` runs on `context`'s thread with
    // true when the request succeeded (status below 400) within timeoutMs. It never runs once
    // `context` is gone, and at most once. The reply's body is dropped.
    void PostAsync(const QString& url, int timeoutMs, QObject* context, std::function<void(bool ok)> done);

    // A server that takes the connection but does not begin its reply within AnswerTimeoutMs is given
    // up; once it answers, a reply that sees no traffic for TimeoutMs fails instead of hanging the
    // caller; one that trickles ends at TotalTimeoutMs, and a reply body past MaxReplyBytes is refused.
    int AnswerTimeoutMs = 8000;
    int TimeoutMs = 15000;
    int TotalTimeoutMs = 60000;
    qint64 MaxReplyBytes = 16 << 20;
    // A reply past MaxReplyBytes keeps its first MaxReplyBytes and counts as received (HttpReply::cut),
    // for replies whose reader takes whole records from the start.
    bool CutLongReplies = false;
    // Polled while a request runs; true ends it at once.
    std::function<bool()> Cancelled;

private:
    HttpReply Run(const QString& url, bool post);
    // An empty-form POST whose body nobody keeps, ended after timeoutMs; null for an unusable address.
    QNetworkReply* StartBackgroundPost(const QString& url, int timeoutMs);
    std::unique_ptr<QNetworkAccessManager> nam_;
};

enum class DownloadStatus { Ok, Failed, FileError, Cancelled };

struct DownloadResult {
    DownloadStatus status = DownloadStatus::Failed;
    QString error;
    bool ok() const { return status == DownloadStatus::Ok; }
};

// position and max in bytes; the caller shows them and may process events.
using DownloadProgress = std::function<void(qint64 position, qint64 max)>;

// The most any one download may bring when nothing smaller is known (docs/vendor-service.md).
inline constexpr qint64 MaxDownloadBytes = qint64(2) << 30;

// Bounds of one download, so that no server can fill the disk or hold the window for ever.
struct DownloadLimits {
    qint64 MaxBytes = MaxDownloadBytes; // a larger Content-Length is refused before anything is written
    int AnswerMs = 10000;               // no reply begun this long after the request ends it
    int SilenceMs = 30000;              // no byte (or no reply at all) for this long ends the transfer
    // A server that trickles: fewer than MinBytesPerSecond on average over the last RateWindowMs
    // ends the transfer.
    int RateWindowMs = 30000;
    qint64 MinBytesPerSecond = 1024;
    // Polled while the transfer runs; true ends it at once (the window's Cancel).
    std::function<bool()> Cancelled;
};

// Fetches `url` fresh from the server (user agent "Tessara Updater", no caching) into `localPath`.
// The reply must be a success with a non-zero Content-Length within the limits, and exactly that many
// bytes must arrive. The bytes go to a temporary name beside `localPath` and replace it only when
// complete, so a failed, cancelled or interrupted download leaves no file and never damages an
// existing one. FileError means the local file could not be created or written; Failed covers
// everything on the network side.
DownloadResult DownloadFile(const QString& url, const QString& localPath,
                            const DownloadProgress& progress = {}, const DownloadLimits& limits = {});
