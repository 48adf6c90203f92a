// Opening hours of OpenStreetMap ("opening_hours") turned into the directory's weekly schedule, for the
// subset a week of one working span and one break per day can hold.
#pragma once

#include "CityDb.h"

#include <QString>
#include <optional>

// Accepts rules separated by ";" (a later rule replaces the days it names) or by "," before a day
// (an added rule): day lists and ranges ("Mo-Fr", "Sa,Su", "Fr-Mo"), one or two time ranges per day
// (the gap between two is the break), times past midnight ("18:00-02:00", "24:00", "26:00"),
// "24/7", "off" and "closed" (with times, "off" cuts those hours out of the days it names, or out of
// every day when it names none). Days no rule names are closed. Rules for public or school holidays
// only ("PH off") are left aside, as a week cannot hold them. Anything else (months, weeks, dates,
// sunrise, open ends, comments, three ranges a day, a whole day from 10:00 to 10:00) gives nothing, and
// `why` says what did not fit.
std::optional<TSchedule> ParseOpeningHours(const QString& text, QString* why = nullptr);
