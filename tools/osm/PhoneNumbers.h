// Telephone numbers of OpenStreetMap ("+377 93 15 26 00", "04 93 41 27 72", "00 33 6 12 34 56 78")
// turned into the digit forms the directory stores.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// One number as the directory keeps it: the national digits, with "+" in front for a mobile (the
// loader takes the "+" as the mobile mark), and the country code shown as its area code.
struct StoredPhone {
    QString stored;      // "93152600", "+612345678"
    QString countryCode; // "377"; empty when unknown or for a short number
    bool operator==(const StoredPhone&) const = default;
};

// The numbers of a tag value: OpenStreetMap separates them with ";", some mappers with "," or " / ".
QStringList SplitPhoneValue(const QString& value);

// The country code at the front of international digits ("377..." gives "377"); empty if none fits.
QString CountryCodeOf(const QString& internationalDigits);

// Normalises one number. A number without "+" or "00" belongs to `defaultCountry` (its trunk "0" or
// "8" dropped); short numbers (up to 6 digits, e.g. "112") stay as they are. `mobile` comes from the
// tag (phone:mobile) or from the country's mobile ranges. Nothing for a text that is no number.
std::optional<StoredPhone> NormalisePhone(const QString& raw, const QString& defaultCountry,
                                          bool mobileTag = false);
