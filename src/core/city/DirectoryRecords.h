// The directory's own rules: phone formatting, schedule times, and the two passes run after loading
// (addresses resolved to buildings, the list of estate agencies).
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

struct CityDb;

// Groups a phone of 7, 6 or 11 digits as ddd-dd-dd, dd-dd-dd or d-ddd-ddd-dd-dd; other texts stay.
QString GroupPhoneDigits(const QString& digits);
// The stored phone text ("+" for a mobile) becomes `phone` and `cell`, with the area code in front.
void FormatPhone(const QString& stored, std::uint8_t code, const QStringList& phoneCodes, QString& phone,
                 bool& cell);
// The inverse for writers: the text to store for a formatted phone (the digits regrouped on load).
QString StoredPhoneText(const QString& phone, std::uint8_t code, bool cell, const QStringList& phoneCodes);

// Time of day as a fraction of a day; -1 when hour or minute is out of range.
double ScheduleTime(int hour, int minute);
// A fraction of a day as "H:mm" (minutes rounded).
QString ScheduleTimeText(double dayFraction);

// Every address's stored building position becomes that building's id, street and numbers. A position
// outside Buildings (left unchecked when the directory was decoded without the building count) is
// dropped with a warning in `LoadWarnings`.
void ResolveOrgAddresses(CityDb& db);

constexpr const char* EstateAgentsRubric = "Агентства недвижимости";
// Organisations of the rubric "Агентства недвижимости", named in data language `dataLang` up to a ",".
void BuildEstateAgents(CityDb& db, int dataLang = 0);
