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

// A base address with the "/" the paths are appended to.
QString WithTrailingSlash(const QString& base);

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
    void IncOrg(int orgId, const QString& cityFileName);
    // "download/incOpen.php?city=" + base name; ignored without InternetAvailable.
    void IncOpen(const QString& cityFileName);
    // The web-tab request for tab 0..4; true when it succeeded and the tab may open.
    bool WebTabCheck(int tab, const QString& cityFileName);
    // First base address + "price" + the file name without its last four characters + ".php".
    QString PricePage(const QString& cityFileName) const;

private:
    HttpClient client_;
};

// "download/inc.php?dfile=" + base name, through the given client and base address; the reply is ignored.
void SendInstalledFileReport(HttpClient& client, const QString& base, const QString& localFileName);
