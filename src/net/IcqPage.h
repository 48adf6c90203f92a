// The ICQ web messaging page a card's ICQ link opens: the service's address is configuration, the
// number comes from the city file and is encoded into the query.
#pragma once

#include <QString>

// Settings value "IcqSite" (user scope), else the placeholder default; always ends in "/".
QString IcqSite();

// base + "people/cmd.php?uin=" + number + "&action=message", the number percent-encoded.
QString IcqMessagePage(const QString& base, const QString& number);
