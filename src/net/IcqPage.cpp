#include "IcqPage.h"

#include "VendorService.h"

#include <QSettings>
#include <QUrl>
#include <QUrlQuery>

namespace {
// The service is not the vendor's; installations name the real address in the settings.
const char* DefaultIcqSite = "http://www.icq.example/";
} // namespace

QString IcqSite() {
    const QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Norvik", "Tessara");
    const QString value = store.value(QStringLiteral("IcqSite")).toString().trimmed();
    return WithTrailingSlash(value.isEmpty() ? QString::fromLatin1(DefaultIcqSite) : value);
}

QString IcqMessagePage(const QString& base, const QString& number) {
    QUrl url(WithTrailingSlash(base) + QStringLiteral("people/cmd.php"));
    // A number from a damaged file must not add parameters or a fragment of its own.
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("uin"), QString::fromLatin1(QUrl::toPercentEncoding(number.trimmed())));
    query.addQueryItem(QStringLiteral("action"), QStringLiteral("message"));
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}
