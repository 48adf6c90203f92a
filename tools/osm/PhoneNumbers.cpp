#include "PhoneNumbers.h"

#include <QRegularExpression>
#include <algorithm>

namespace {

// Two-digit country codes (ITU-T E.164); the one-digit ones are 1 and 7, all others have three.
const int TwoDigitCodes[] = {20, 27, 30, 31, 32, 33, 34, 36, 39, 40, 41, 43, 44, 45, 46,
                             47, 48, 49, 51, 52, 53, 54, 55, 56, 57, 58, 60, 61, 62, 63,
                             64, 65, 66, 81, 82, 84, 86, 90, 91, 92, 93, 94, 95, 98};

// The national prefix dialled before a number inside the country, where there is one.
QString TrunkPrefix(const QString& cc) {
    static const char* const none[] = {"377", "39",  "34", "351", "30",  "352",
                                       "376", "378", "45", "47",  "354", "1"};
    for (const char* c : none)
        if (cc == QLatin1String(c)) return cc == QLatin1String("1") ? QStringLiteral("1") : QString();
    if (cc == QLatin1String("7")) return QStringLiteral("8");
    return QStringLiteral("0");
}

// National numbers that start a mobile number, for the countries around the data we know.
bool IsMobile(const QString& cc, const QString& national) {
    struct Range {
        const char* cc;
        const char* prefix;
    };
    static const Range ranges[] = {{"377", "6"}, {"33", "6"},  {"33", "7"},  {"39", "3"},  {"7", "9"},
                                   {"44", "7"},  {"49", "15"}, {"49", "16"}, {"49", "17"}, {"34", "6"},
                                   {"34", "7"},  {"41", "7"},  {"32", "4"},  {"31", "6"},  {"43", "6"},
                                   {"375", "2"}, {"375", "3"}, {"375", "4"}, {"380", "5"}, {"380", "6"},
                                   {"380", "7"}, {"380", "9"}};
    for (const Range& r : ranges)
        if (cc == QLatin1String(r.cc) && national.startsWith(QLatin1String(r.prefix))) return true;
    return false;
}

} // namespace

QStringList SplitPhoneValue(const QString& value) {
    static const QRegularExpression separators(QStringLiteral("\\s*(?:;|,|\\s/\\s)\\s*"));
    QStringList out;
    for (const QString& part : value.split(separators, Qt::SkipEmptyParts))
        if (!part.trimmed().isEmpty()) out << part.trimmed();
    return out;
}

QString CountryCodeOf(const QString& digits) {
    if (digits.isEmpty()) return {};
    if (digits[0] == u'1' || digits[0] == u'7') return digits.left(1);
    if (digits.size() < 2) return {};
    const int two = digits.left(2).toInt();
    if (std::find(std::begin(TwoDigitCodes), std::end(TwoDigitCodes), two) != std::end(TwoDigitCodes))
        return digits.left(2);
    return digits.size() >= 3 ? digits.left(3) : QString();
}

std::optional<StoredPhone> NormalisePhone(const QString& raw, const QString& defaultCountry, bool mobileTag) {
    QString text = raw.trimmed();
    // An extension is not part of the number the directory dials.
    static const QRegularExpression extension(QStringLiteral("\\s*(?:ext\\.?|x|#|poste)\\s*\\d+\\s*$"),
                                              QRegularExpression::CaseInsensitiveOption);
    text.remove(extension);
    if (text.isEmpty()) return std::nullopt;
    // Only digits, blanks and the usual punctuation of numbers; letters mean it is no number.
    for (QChar c : text)
        if (!(c.isDigit() || c.isSpace() || QStringLiteral("+-()./").contains(c) || c == QChar(0x00A0)))
            return std::nullopt;
    const bool plus = text.startsWith(u'+');
    QString digits;
    for (QChar c : text)
        if (c.isDigit()) digits += QChar(u'0' + c.digitValue());
    if (digits.size() < 2) return std::nullopt;

    QString cc, national;
    if (plus) {
        cc = CountryCodeOf(digits);
        national = digits.mid(cc.size());
    } else if (digits.startsWith(QLatin1String("00")) && digits.size() > 8) {
        digits = digits.mid(2);
        cc = CountryCodeOf(digits);
        national = digits.mid(cc.size());
    } else if (digits.size() <= 6) {
        return StoredPhone{digits, QString()};
    } else if (defaultCountry.isEmpty()) {
        // No country known: the number stays as dialled inside its country.
        return StoredPhone{mobileTag ? u'+' + digits : digits, QString()};
    } else {
        cc = defaultCountry;
        national = digits;
        const QString trunk = TrunkPrefix(cc);
        if (!trunk.isEmpty() && national.startsWith(trunk) && national.size() > 7)
            national = national.mid(trunk.size());
    }
    if (cc.isEmpty() || national.size() < 4) return std::nullopt;
    // "+33 (0)4 93 ..." writes the trunk prefix in brackets: it is not dialled from abroad.
    if (plus && text.contains(QLatin1String("(0)")) && national.startsWith(u'0')) national = national.mid(1);
    const bool mobile = mobileTag || IsMobile(cc, national);
    return StoredPhone{mobile ? u'+' + national : national, cc};
}
