#include "HouseNumbers.h"

#include "OrgSearch.h"

#include <QSet>
#include <algorithm>

namespace {

QStringView LeadingDigits(const QString& s) {
    qsizetype n = 0;
    while (n < s.size() && s[n] >= u'0' && s[n] <= u'9')
        ++n;
    return QStringView(s).left(n);
}

// Compares runs of digits as numbers without converting them, so no length overflows.
int CompareDigits(QStringView a, QStringView b) {
    while (a.size() > 1 && a[0] == u'0')
        a = a.mid(1);
    while (b.size() > 1 && b[0] == u'0')
        b = b.mid(1);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

// Distinct non-empty numbers of the given buildings, whole (a shortened one would match no building),
// sorted; a blank entry would pick nothing.
template <class Positions> QStringList NumbersOf(const CityDb& db, const Positions& buildings, int dataLang) {
    QStringList numbers;
    QSet<QString> seen;
    for (int i : buildings) {
        const QString n = InLang(db.Buildings[std::size_t(i)].num, dataLang);
        if (n.isEmpty() || seen.contains(n)) continue;
        seen.insert(n);
        numbers << n;
    }
    std::sort(numbers.begin(), numbers.end(), HouseNumberLess);
    if (numbers.size() > MaxHouseNumbers) numbers.resize(MaxHouseNumbers);
    return numbers;
}

} // namespace

bool HouseNumberLess(const QString& a, const QString& b) {
    const QStringView da = LeadingDigits(a), db = LeadingDigits(b);
    if (da.isEmpty() || db.isEmpty()) return a < b;
    const int c = CompareDigits(da, db);
    if (c != 0) return c < 0;
    return a < b;
}

StreetBuildings::StreetBuildings(const CityDb& db) {
    const std::size_t streets = db.Streets.size();
    start_.assign(streets + 2, 0);
    for (const TBuilding& b : db.Buildings)
        if (b.street >= 0 && std::size_t(b.street) < streets) ++start_[std::size_t(b.street) + 2];
    for (std::size_t s = 2; s < start_.size(); ++s)
        start_[s] += start_[s - 1];
    list_.resize(std::size_t(start_.back()));
    for (std::size_t i = 0; i < db.Buildings.size(); ++i) {
        const int s = db.Buildings[i].street;
        if (s >= 0 && std::size_t(s) < streets) list_[std::size_t(start_[std::size_t(s) + 1]++)] = int(i);
    }
    start_.pop_back();
}

std::span<const int> StreetBuildings::Of(int street) const {
    if (street < 0 || std::size_t(street) + 1 >= start_.size()) return {};
    return std::span<const int>(list_).subspan(
        std::size_t(start_[std::size_t(street)]),
        std::size_t(start_[std::size_t(street) + 1] - start_[std::size_t(street)]));
}

QStringList BuildNumbersOfStreet(const CityDb& db, int street, int dataLang) {
    std::vector<int> onStreet;
    if (street >= 0)
        for (std::size_t i = 0; i < db.Buildings.size(); ++i)
            if (db.Buildings[i].street == street) onStreet.push_back(int(i));
    return NumbersOf(db, onStreet, dataLang);
}

QStringList BuildNumbersOfStreet(const CityDb& db, const StreetBuildings& byStreet, int street,
                                 int dataLang) {
    return NumbersOf(db, byStreet.Of(street), dataLang);
}

QString HouseNumberKey(const QString& number) {
    // Latin letters and the Cyrillic ones drawn the same, each in its own case: a small "b" is not a
    // small "в", though the capitals look alike.
    static const char16_t Latin[] = u"ABCEHKMOPTXYaceopxyk";
    static const char16_t Cyrillic[] = u"АВСЕНКМОРТХУасеорхук";
    QString key = number.trimmed();
    for (QChar& c : key) {
        for (int i = 0; Latin[i]; ++i)
            if (c.unicode() == Latin[i]) {
                c = QChar(Cyrillic[i]);
                break;
            }
    }
    return key.toUpper();
}

std::vector<int> BuildingsByNumberInAnyLang(const CityDb& db, int street, const QString& number) {
    std::vector<int> out;
    const QString wanted = HouseNumberKey(number);
    if (street < 0 || wanted.isEmpty()) return out;
    QSet<int> seen;
    for (const TBuildIndex& e : db.BuildIndexes) {
        if (e.s != street || e.ind < 0 || std::size_t(e.ind) >= db.Buildings.size() || seen.contains(e.ind)) continue;
        bool match = HouseNumberKey(e.n) == wanted;
        for (const QString& n : db.Buildings[std::size_t(e.ind)].num)
            match = match || HouseNumberKey(n) == wanted;
        if (!match) continue;
        seen.insert(e.ind);
        out.push_back(e.ind);
    }
    return out;
}
