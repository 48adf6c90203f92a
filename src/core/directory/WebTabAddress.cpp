#include "WebTabAddress.h"

namespace {
const char* PageNames[WebTabCount] = {"news", "notes", "afisha", "admin", "weather"};

int DefaultPort(const QUrl& url) {
    return url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
}
} // namespace

QString WebTabStartAddress(const QString& address) {
    return address + (address.contains(u'?') ? u'&' : u'?') + QStringLiteral("FromAgent=Tessara");
}

QUrl ResolveWebTabUrl(const QString& entry, const QString& base) {
    const QString text = entry.trimmed();
    if (text.isEmpty()) return {};
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) return {};
    if (url.scheme().isEmpty()) url = QUrl(base).resolved(url);
    const QString scheme = url.scheme().toLower();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
        return {};
    return url;
}

bool SameOrigin(const QUrl& a, const QUrl& b) {
    return a.isValid() && b.isValid() && a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && DefaultPort(a) == DefaultPort(b);
}

QString PublishedWebTabPath(int tab, const QString& cityBaseName) {
    if (tab < 0 || tab >= WebTabCount) return {};
    return QStringLiteral("pages/") + cityBaseName + u'/' + QLatin1String(PageNames[tab]) +
           QStringLiteral(".html");
}
