// A card as plain text lines, for the clipboard and for printing: the organisation's name, then each
// address with its telephones between separator lines.
#pragma once

#include "CityDb.h"

#include <QStringList>

QStringList CardText(const CityDb& db, int org, int dataLang, int shellLang);
// The lines of every organisation card, taken from the last card to the first, each followed by an
// empty line; route cards (org -1) are left out.
QStringList AllCardsText(const CityDb& db, const std::vector<int>& cardOrgs, int dataLang, int shellLang);
