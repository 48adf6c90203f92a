#include "VendorService.h"

#include "Reachability.h"

#include <QSettings>
#include <QUrl>

namespace {
// The vendor's own site and its mirror; publishers point installations elsewhere through the settings.
const char* DefaultSite1 = "http://www.tessara.example.org/";
const char* DefaultSite2 = "http://mirror.tessara.example.org/";
const char* WebTabPages[5] = {
    "News.php?city=", "Notes.php?city=", "Afisha.php?city=", "Admin.php?city=", "Weather.php?city="};
} // namespace

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
    client_.Post(
        Mirrors.First() +
        QStringLiteral("download/incOrg.php?org=%1&city=%2").arg(orgId).arg(FileBaseName(cityFileName)));
}

void VendorService::IncOpen(const QString& cityFileName) {
    if (!InternetAvailable) return;
    client_.Post(Mirrors.First() + QStringLiteral("download/incOpen.php?city=") + FileBaseName(cityFileName));
}

bool VendorService::WebTabCheck(int tab, const QString& cityFileName) {
    if (tab < 0 || tab > 4) return false;
    return client_
        .Post(Mirrors.First() + QStringLiteral("download/inc") + QLatin1String(WebTabPages[tab]) +
              FileBaseName(cityFileName))
        .ok;
}

QString VendorService::PricePage(const QString& cityFileName) const {
    return Mirrors.First() + QStringLiteral("price") +
           cityFileName.chopped(std::min<qsizetype>(4, cityFileName.size())) + QStringLiteral(".php");
}

void SendInstalledFileReport(HttpClient& client, const QString& base, const QString& localFileName) {
    client.Post(base + QStringLiteral("download/inc.php?dfile=") + FileBaseName(localFileName));
}
