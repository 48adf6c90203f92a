// Finding organisations: the criteria tests of FindOrgs, the schedule predicates, the radius filter and
// the small lookups every search shares. OrgSearchIndex prepares per data language what the tests
// compare (upper-cased captions, phone digits, lower-cased street names, id tables), so a search over a
// large city touches only prepared data; results and their order are those of a plain walk of Orgs.
#pragma once

#include "CityDb.h"

#include <QDateTime>
#include <memory>
#include <vector>

// The radius tool's circle as the searches see it (world units).
struct RadiusCircle {
    bool Visible = false;
    TCoord center{-1, -1};
    float Radius = 0;
};

// Values read from the criteria controls; an empty text is no criterion.
struct OrgCriteria {
    QString Street, Number, Name;
    int Rubric = -1; // SelectedRubric
    QString Telecom, Inet;
    bool Web = false, AllTime = false, Now = false;
    bool MoreVisible = false; // the three flags count only while pnlMore is shown
};

// The two text comparisons of the searches: substring after upper-casing, equality after lower-casing.
inline QString SearchUpper(const QString& s) {
    return s.toUpper();
}
inline QString SearchLower(const QString& s) {
    return s.toLower();
}
// The decimal digits of a text, everything else dropped.
QString DigitsOf(QStringView text);
// The string of a language set in `lang`; empty when the set has no such entry.
inline const QString& InLang(const Tas& set, int lang) {
    static const QString none;
    return lang >= 0 && lang < set.size() ? set[lang] : none;
}

// Schedules. `t` is a time of day as a fraction of a day.
bool IsRoundTheClock(const TSchedule& s);
bool InTimeRange(double t, double begin, double end);
bool WorksNow(const TSchedule& s, const QDateTime& now);
// Monday 0 .. Sunday 6, and the time of day in whole seconds as a fraction of a day.
int DayIndex(const QDateTime& now);
double DayFraction(const QDateTime& now);

// Plain lookups over the city, as every search uses them; -1 or an empty list when nothing is found.
int FindStreet(const CityDb& db, const QString& name, int dataLang);
std::vector<int> FindBuildings(const CityDb& db, int street, const QString& number);
int BuildingById(const CityDb& db, int id);
int StopById(const CityDb& db, int id);
std::vector<int> StopsByName(const CityDb& db, const QString& name, int dataLang);
int FindRubric(const CityDb& db, const QString& name);

// The object centre of a building's 2D box.
TCoord BuildingCentre(const TBuilding& b);
bool BuildingInRadius(const TBuilding& b, const RadiusCircle& radius);

// The rubric set of a search: the rubric and the parents of its depth-2 cross references in the tree.
std::vector<int> RubricSet(const CityDb& db, int rubric);

// Places organisations with `place` first, then captions in `dataLang` by ordinal comparison (stable),
// as applying a data language does. Positions into Orgs held elsewhere must be rebuilt afterwards.
void SortOrgs(CityDb& db, int dataLang);

class OrgSearchIndex {
public:
    // Prepares for `db` as it is now; rebuild after Orgs, the streets or the data language change.
    OrgSearchIndex(const CityDb& db, int dataLang);
    ~OrgSearchIndex();
    OrgSearchIndex(const OrgSearchIndex&) = delete;
    OrgSearchIndex& operator=(const OrgSearchIndex&) = delete;

    const CityDb& Db() const { return db_; }
    int DataLang() const { return dataLang_; }
    // False once the city no longer matches what was prepared (a different count of organisations).
    bool Fits(const CityDb& db, int dataLang) const;

    // The lookups above, through prepared tables, with the same results.
    int FindStreet(const QString& name) const;
    std::vector<int> FindBuildings(int street, const QString& number) const;
    int BuildingById(int id) const;
    int StopById(int id) const;

    bool OrgInRadius(int org, const RadiusCircle& radius) const;
    // Positions in Orgs of the organisations that pass every criterion, in Orgs order.
    std::vector<int> FindOrgs(const OrgCriteria& c, const RadiusCircle& radius, const QDateTime& now) const;

private:
    struct Impl;
    const CityDb& db_;
    int dataLang_;
    std::unique_ptr<Impl> d_;
};

// The radius filter of one organisation through plain lookups (house numbers in `dataLang`).
bool OrgInRadius(const CityDb& db, const TOrg& org, const RadiusCircle& radius, int dataLang = 0);
