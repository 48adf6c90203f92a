#include "VendorService.h"

#include "Reachability.h"

#include <QSettings>
#include <QTimer>
#include <QUrl>

namespace {
// The vendor's own site and its mirror; publishers point installations elsewhere through the settings.
const char* DefaultSite1 = "http://www.tessara.example.org/";
const char* DefaultSite2 = "http://mirror.tessara.example.org/";
const char* WebTabPages[5] = {
    "News.php?city=", "Notes.php?city=", "Afisha.php?city=", "Admin.php?city=", "Weather.php?city="};

// A query value as percent-encoded UTF-8: every byte but the unreserved ones is escaped.
QString Encoded(const QString& value) {
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}
} // namespace

QString FeedbackUrl(const QString& base, const QString& recipient, const QString& subject, const QString& message) {
    return base + QStringLiteral("soft.php?adr=") + Encoded(recipient) + QStringLiteral("&subj=") +
           Encoded(subject) + QStringLiteral("&msg=") + Encoded(message);
}

HttpReply VendorService::SendFeedback(const QString& recipient, const QString& subject, const QString& message) {
    return client_.Post(FeedbackUrl(Mirrors.First(), recipient, subject, message));
}

QString WithPublisherSite(QString text, const MirrorSites& mirrors) {
    const QString builtIn = QUrl(QString::fromLatin1(DefaultSite1)).host();
    const QString configured = mirrors.Host();
    if (!configured.isEmpty()) text.replace(builtIn, configured);
    return text;
}

QString WithTrailingSlash(const QString& base) {
    return base.endsWith('/') ? base : base + '/';
}

QString FileBaseName(const QString& fileName) {
    return fileName.section('.', 0, 0);
}

MirrorSites MirrorSites::Defaults() {
    MirrorSites m;
    m.Sites[0] = QString::fromLatin1(DefaultSite1);
    m.Sites[1] = QString::fromLatin1(DefaultSite2);
    return m;
}

MirrorSites MirrorSites::FromSettings() {
    MirrorSites m = Defaults();
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Norvik", "Tessara");
    for (int i = 0; i < 2; ++i) {
        const QString value = store.value(QStringLiteral("MirrorSite%1").arg(i + 1)).toString().trimmed();
        if (!value.isEmpty()) m.Sites[i] = WithTrailingSlash(value);
    }
    return m;
}

QString MirrorSites::Host() const {
    return QUrl(Sites[0]).host();
}

quint16 MirrorSites::Port() const {
    const QUrl url(Sites[0]);
    return quint16(url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
}

VendorService::VendorService(MirrorSites mirrors) : Mirrors(std::move(mirrors)) {}

bool VendorService::CheckHost() {
    InternetAvailable = ProbeHost(Mirrors.Host(), Mirrors.Port(), 1000).answered;
    return InternetAvailable;
}

void VendorService::IncOrg(int orgId, const QString& cityFileName) {
    if (!InternetAvailable) return;
    client_.PostDetached(Mirrors.First() + QStringLiteral("download/incOrg.php?org=%1&city=%2")
                                               .arg(orgId)
                                               .arg(Encoded(FileBaseName(cityFileName))),
                         StatsTimeoutMs);
}

void VendorService::IncOpen(const QString& cityFileName) {
    if (!InternetAvailable) return;
    client_.PostDetached(
        Mirrors.First() + QStringLiteral("download/incOpen.php?city=") + Encoded(FileBaseName(cityFileName)),
        StatsTimeoutMs);
}

void VendorService::WebTabCheck(int tab, const QString& cityFileName, QObject* context,
                                std::function<void(bool ok)> done) {
    if (tab < 0 || tab > 4) {
        QTimer::singleShot(0, context, [done = std::move(done)] { done(false); });
        return;
    }
    // The user waits for this one: a service that does not answer is given up after a few seconds.
    client_.PostAsync(Mirrors.First() + QStringLiteral("download/inc") + QLatin1String(WebTabPages[tab]) +
                          Encoded(FileBaseName(cityFileName)),
                      WebTabTimeoutMs, context, std::move(done));
}

QString VendorService::PricePage(const QString& cityFileName) const {
    return Mirrors.First() + QStringLiteral("price") +
           cityFileName.chopped(std::min<qsizetype>(4, cityFileName.size())) + QStringLiteral(".php");
}

void SendInstalledFileReport(HttpClient& client, const QString& base, const QString& localFileName) {
    client.Post(base + QStringLiteral("download/inc.php?dfile=") + FileBaseName(localFileName));
}
