// House numbers of a street for the number picker, in the order house numbers take everywhere
// (2 < 10 < 10а < 10б < 11), and the buildings of every street prepared once per city.
#pragma once

#include "CityDb.h"

#include <QStringList>
#include <span>
#include <vector>

// Numbers by their leading decimal digits (of any length), then as plain strings; a number without
// leading digits is ordered as a plain string.
bool HouseNumberLess(const QString& a, const QString& b);

constexpr int MaxHouseNumbers = 2000;

// Positions in Buildings of each street's buildings, in Buildings order.
class StreetBuildings {
public:
    StreetBuildings() = default;
    explicit StreetBuildings(const CityDb& db);
    std::span<const int> Of(int street) const;

private:
    std::vector<int> start_; // street s has list_[start_[s], start_[s + 1])
    std::vector<int> list_;
};

// The distinct non-empty numbers (in `dataLang`, whole) of the buildings on
// `street`, sorted by HouseNumberLess; the smallest 2000 when a street has more. Empty for -1.
QStringList BuildNumbersOfStreet(const CityDb& db, int street, int dataLang);
QStringList BuildNumbersOfStreet(const CityDb& db, const StreetBuildings& byStreet, int street, int dataLang);

// A house number as addresses compare it: without surrounding blanks, Latin letters that look like
// Cyrillic ones read as those ("20a" and "20а" are one number), then in capitals.
QString HouseNumberKey(const QString& number);
// Positions in Buildings of the buildings on `street` whose number in any data language, or in the
// address index, has the key of `number`; in index order, each once. Empty for -1.
std::vector<int> BuildingsByNumberInAnyLang(const CityDb& db, int street, const QString& number);
