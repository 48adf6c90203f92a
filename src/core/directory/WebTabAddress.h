// Addresses of the five web tabs (news, notices, events, city administration, weather): the start
// address a tab loads, where a published page lies, and which addresses a tab may show.
#pragma once

#include <QString>
#include <QUrl>

inline constexpr int WebTabCount = 5;

// The tab's address as the city names it + "?FromAgent=Tessara" ("&" when it has a query already).
QString WebTabStartAddress(const QString& address);

// The address a tab loads: a city entry without a scheme lies under the vendor's first base address
// (so a published city works with whatever service an installation uses). Only http and https
// addresses are loaded; anything else gives an invalid URL.
QUrl ResolveWebTabUrl(const QString& entry, const QString& base);

// Scheme, host and port agree (ports by their defaults when not given).
bool SameOrigin(const QUrl& a, const QUrl& b);

// Where publish-city writes tab `tab`'s page of a city and the generator points its addresses:
// "pages/" + file base name + "/" + page name, relative to the base address.
QString PublishedWebTabPath(int tab, const QString& cityBaseName);
