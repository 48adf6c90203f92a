// The vendor web service: its two base addresses, the reachability check of its host and the
// statistics requests every window sends through the one shared client.
#pragma once

#include "HttpClient.h"

#include <QString>

struct ProbeResult;

// Two base addresses, each ending in "/"; the first is tried first.
struct MirrorSites {
    QString Sites[2];

    static MirrorSites Defaults();
    // Settings values "MirrorSite1" and "MirrorSite2" (user scope over system scope), else the defaults.
    static MirrorSites FromSettings();
    const QString& First() const { return Sites[0]; }
    // The host the start-up check probes, and its web port.
    QString Host() const;
    quint16 Port() const;
};

// `text` with the built-in site's host name replaced by the host of the first configured base address,
// so that messages send users to the publisher the installation is set up for.
QString WithPublisherSite(QString text, const MirrorSites& mirrors);

// A base address with the "/" the paths are appended to.
QString WithTrailingSlash(const QString& base);

// The feedback address under `base`.
QString FeedbackUrl(const QString& base, const QString& recipient, const QString& subject, const QString& message);

// A city's file base name for the statistics: the file name up to its first ".".
QString FileBaseName(const QString& fileName);

class VendorService {
public:
    explicit VendorService(MirrorSites mirrors = MirrorSites::FromSettings());

    MirrorSites Mirrors;
    // Set by the start-up check; the organisation and city statistics are sent only while it holds.
    bool InternetAvailable = false;

    HttpClient& Client() { return client_; }

    // Probes the host of the first base address (1000 ms) and sets InternetAvailable.
    bool CheckHost();

    // "download/incOrg.php?org=" + id + "&city=" + base name; ignored without InternetAvailable.
    // Statistics never hold up the window: they return at once, give up after StatsTimeoutMs and
    // drop any failure.
    void IncOrg(int orgId, const QString& cityFileName);
    // "download/incOpen.php?city=" + base name; ignored without InternetAvailable.
    void IncOpen(const QString& cityFileName);
    int StatsTimeoutMs = 3000;
    // "soft.php?adr=" + recipient + "&subj=" + subject + "&msg=" + message, each value
    // percent-encoded as UTF-8 (so "&", "=" and "%" in a message stay part of it). The caller shows
    // a failure; the window it runs in stays responsive while it waits.
    HttpReply SendFeedback(const QString& recipient, const QString& subject, const QString& message);
    // The web-tab request for tab 0..4. It returns at once; `done` runs later on `context`'s thread
    // with true when the request succeeded and the tab may open (false after WebTabTimeoutMs).
    void WebTabCheck(int tab, const QString& cityFileName, QObject* context, std::function<void(bool ok)> done);
    int WebTabTimeoutMs = 5000;
    // First base address + "price" + the file name without its last four characters + ".php".
    QString PricePage(const QString& cityFileName) const;

private:
    HttpClient client_;
};

// "download/inc.php?dfile=" + base name, through the given client and base address; the reply is ignored.
void SendInstalledFileReport(HttpClient& client, const QString& base, const QString& localFileName);
