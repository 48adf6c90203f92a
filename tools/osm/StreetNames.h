// Street names as addresses write them. Addresses often abbreviate the street's name ("St. Georg-Str."
// for "Sankt Georg-Straße", "ул. Ленина" for "улица Ленина"); these keys let them meet.
#pragma once

#include <QString>

// Case, runs of blanks and the kinds of apostrophe do not count.
QString StreetKey(const QString& name);

// A looser key for when no name matches as written: accents, punctuation, hyphens and blanks do not
// count, the usual abbreviations of street words (Russian, Ukrainian, German, French, Italian,
// Spanish, English, Polish, Dutch, Czech) stand for the words, and a street word may stand before or
// after the name.
QString LooseStreetKey(const QString& name);
