#include "OrgSearch.h"

#include "Cp1251.h"
#include "Rubricator.h"
#include "StreetTowns.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_map>

QString DigitsOf(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (c >= u'0' && c <= u'9') out += c;
    return out;
}

// ---------------------------------------------------------------------------------------------
// Schedules

namespace {
// Times of day as the directory stores them: milliseconds over a day's milliseconds.
double TimeOfDay(int seconds) {
    return double(seconds) * 1000.0 / 86400000.0;
}
const double EndOfDayMinute = TimeOfDay(23 * 3600 + 59 * 60);  // 23:59
const double LastSecond = TimeOfDay(23 * 3600 + 59 * 60 + 59); // 23:59:59
} // namespace

bool IsRoundTheClock(const TSchedule& s) {
    for (const TDaySchedule& d : s)
        if (d.BeginWork != 0 || d.EndWork != EndOfDayMinute) return false;
    return true;
}

bool InTimeRange(double t, double begin, double end) {
    if (end > begin) return begin <= t && t < end;
    if (end < begin) return (begin <= t && t <= LastSecond) || (0 <= t && t < end);
    return false;
}

int DayIndex(const QDateTime& now) {
    return now.date().dayOfWeek() - 1;
}

double DayFraction(const QDateTime& now) {
    // Whole seconds: the last second of the day then still counts as "up to 23:59:59".
    const QTime t = now.time();
    return TimeOfDay(t.hour() * 3600 + t.minute() * 60 + t.second());
}

bool WorksNow(const TSchedule& s, const QDateTime& now) {
    const int day = DayIndex(now);
    if (day < 0 || day > 6) return false;
    const TDaySchedule& d = s[std::size_t(day)];
    const double t = DayFraction(now);
    if (d.BeginDiner != 0 || d.EndDiner != 0)
        return InTimeRange(t, d.BeginWork, d.BeginDiner) || InTimeRange(t, d.EndDiner, d.EndWork);
    return InTimeRange(t, d.BeginWork, d.EndWork);
}

// ---------------------------------------------------------------------------------------------
// Plain lookups

int FindStreet(const CityDb& db, const QString& name, int dataLang) {
    const QString key = SearchLower(name);
    for (std::size_t i = 0; i < db.Streets.size(); ++i)
        if (SearchLower(InLang(db.Streets[i].Name, dataLang)) == key) return int(i);
    return -1;
}

namespace {

// The building index keeps a number as its first bytes in the 8-bit code page: a number is looked up by
// that key, and where the key is not the whole number, confirmed against the building's own number.
struct NumberKey {
    QString key;
    QString whole; // empty when the key is the whole number
    explicit NumberKey(const QString& number)
        : key(FromCp1251(ToCp1251(number).left(BuildIndexNumLength))), whole(key == number ? QString() : number) {}
    bool Matches(const CityDb& db, const TBuildIndex& e) const {
        if (e.n != key) return false;
        if (whole.isEmpty()) return true;
        if (e.ind < 0 || std::size_t(e.ind) >= db.Buildings.size()) return false;
        for (const QString& n : db.Buildings[std::size_t(e.ind)].num)
            if (n == whole) return true;
        return false;
    }
};

} // namespace

std::vector<int> FindBuildings(const CityDb& db, int street, const QString& number) {
    std::vector<int> out;
    if (street == -1) return out;
    const NumberKey k(number);
    for (const TBuildIndex& e : db.BuildIndexes) {
        if (e.s > street) continue;
        if (e.s < street) break;
        if (k.Matches(db, e)) out.push_back(e.ind);
    }
    return out;
}

int BuildingById(const CityDb& db, int id) {
    for (std::size_t i = 0; i < db.Buildings.size(); ++i)
        if (db.Buildings[i].id == id) return int(i);
    return -1;
}

int StopById(const CityDb& db, int id) {
    for (std::size_t i = 0; i < db.BusStops.size(); ++i)
        if (db.BusStops[i].id_ == id) return int(i);
    return -1;
}

std::vector<int> StopsByName(const CityDb& db, const QString& name, int dataLang) {
    std::vector<int> out;
    const QString key = SearchLower(name);
    for (std::size_t i = 0; i < db.BusStops.size(); ++i)
        if (SearchLower(InLang(db.BusStops[i].caption, dataLang)) == key) out.push_back(int(i));
    return out;
}

int FindRubric(const CityDb& db, const QString& name) {
    return int(db.RubricNames.indexOf(name));
}

TCoord BuildingCentre(const TBuilding& b) {
    return {b.minX_ + (b.maxX_ - b.minX_) / 2, b.minY_ + (b.maxY_ - b.minY_) / 2};
}

bool BuildingInRadius(const TBuilding& b, const RadiusCircle& radius) {
    if (!radius.Visible) return true;
    const TCoord c = BuildingCentre(b);
    const double dx = double(c.x) - radius.center.x, dy = double(c.y) - radius.center.y;
    return std::sqrt(dx * dx + dy * dy) <= radius.Radius;
}

namespace {

// Buildings an address stands for: by identifier, else by street and number.
template <class ById, class ByStreet>
bool AnyAddressBuildingInRadius(const CityDb& db, const TOrg& org, const RadiusCircle& radius, int dataLang,
                                ById byId, ByStreet byStreet) {
    if (!radius.Visible) return true;
    auto inside = [&](int b) {
        return b >= 0 && std::size_t(b) < db.Buildings.size() && BuildingInRadius(db.Buildings[b], radius);
    };
    for (const TAdr& a : org.adrs) {
        if (a.id >= 0) {
            if (inside(byId(a.id))) return true;
        } else if (a.street >= 0 && !InLang(a.num, dataLang).isEmpty()) {
            for (int b : byStreet(a.street, InLang(a.num, dataLang)))
                if (inside(b)) return true;
        }
    }
    return false;
}

} // namespace

bool OrgInRadius(const CityDb& db, const TOrg& org, const RadiusCircle& radius, int dataLang) {
    return AnyAddressBuildingInRadius(
        db, org, radius, dataLang, [&](int id) { return BuildingById(db, id); },
        [&](int s, const QString& n) { return FindBuildings(db, s, n); });
}

std::vector<int> RubricSet(const CityDb& db, int rubric) {
    std::vector<int> set;
    if (rubric < 0) return set;
    set.push_back(rubric);
    if (rubric >= db.RubricNames.size()) return set;
    const QString& name = db.RubricNames[rubric];
    const std::vector<RubricNode> nodes = ParseRubricTree(db.RubricTree);
    for (const RubricNode& n : nodes)
        if (n.depth == 2 && n.text == name) {
            const int parent = FindRubric(db, nodes[std::size_t(n.parent)].text);
            if (parent >= 0) set.push_back(parent);
        }
    return set;
}

void SortOrgs(CityDb& db, int dataLang) {
    if (db.Orgs.size() < 2) return;
    std::stable_sort(db.Orgs.begin(), db.Orgs.end(), [dataLang](const TOrg& a, const TOrg& b) {
        if (a.place != b.place) return a.place;
        return InLang(a.caption, dataLang) < InLang(b.caption, dataLang);
    });
}

// ---------------------------------------------------------------------------------------------
// Prepared index

namespace {

// Position of the first record with each id. Ids are nearly always dense, so a table indexed by id
// (4 bytes a record) serves; scattered ids fall back to sorted pairs. A hash map of a million
// buildings would take some fifty megabytes.
class IdTable {
public:
    template <class Items, class Id> void build(const Items& items, Id id) {
        count_ = items.size();
        if (items.empty()) return;
        std::int64_t lo = id(items[0]), hi = lo;
        for (const auto& item : items) {
            lo = std::min<std::int64_t>(lo, id(item));
            hi = std::max<std::int64_t>(hi, id(item));
        }
        if (hi - lo < 4 * std::int64_t(items.size()) + 1024) {
            base_ = lo;
            table_.assign(std::size_t(hi - lo + 1), -1);
            for (std::size_t i = items.size(); i-- > 0;) // backwards: the first with an id wins
                table_[std::size_t(id(items[i]) - lo)] = int(i);
            return;
        }
        pairs_.reserve(items.size());
        for (std::size_t i = 0; i < items.size(); ++i)
            pairs_.push_back({id(items[i]), int(i)});
        std::stable_sort(pairs_.begin(), pairs_.end(), [](auto& a, auto& b) { return a.first < b.first; });
    }
    int find(std::int64_t id) const {
        if (!table_.empty()) {
            const std::int64_t at = id - base_;
            return at >= 0 && at < std::int64_t(table_.size()) ? table_[std::size_t(at)] : -1;
        }
        auto it = std::lower_bound(pairs_.begin(), pairs_.end(), id,
                                   [](const std::pair<std::int64_t, int>& p, std::int64_t v) { return p.first < v; });
        return it != pairs_.end() && it->first == id ? it->second : -1;
    }
    std::size_t count() const { return count_; }

private:
    std::int64_t base_ = 0;
    std::vector<int> table_;
    std::vector<std::pair<std::int64_t, int>> pairs_;
    std::size_t count_ = 0;
};

// Strings of every organisation in one buffer: each record holds tokens, each token followed by a
// separator. A hit of the needle counts only inside one token, so separators in the data or the
// needle cannot make false hits.
template <class Str> struct Column {
    using Char = typename Str::value_type;
    Str buf;
    std::vector<qsizetype> tokStart{0}; // token t is buf[tokStart[t], tokStart[t + 1] - 1)
    std::vector<int> tokRec;            // owner record of each token
    std::vector<int> recTok{0};         // record r has tokens recTok[r] .. recTok[r + 1] - 1

    void add(const Str& token) {
        buf += token;
        buf += Char(0);
        tokStart.push_back(buf.size());
        tokRec.push_back(int(recTok.size()) - 1);
    }
    // A token of the digits of `text` only.
    void addDigits(QStringView text) {
        for (QChar c : text)
            if (c >= u'0' && c <= u'9') buf += Char(c.unicode());
        buf += Char(0);
        tokStart.push_back(buf.size());
        tokRec.push_back(int(recTok.size()) - 1);
    }
    void endRecord() { recTok.push_back(int(tokStart.size()) - 1); }
    qsizetype tokEnd(std::size_t t) const { return tokStart[t + 1] - 1; }
};

// Finds `needle` in `hay` from `from`; -1 when absent.
qsizetype FindIn(const QString& hay, QStringView needle, qsizetype from) {
    return QStringView(hay).indexOf(needle, from);
}
qsizetype FindIn(const std::string& hay, std::string_view needle, qsizetype from) {
    if (std::size_t(from) >= hay.size()) return -1;
#if defined(__GLIBC__)
    const void* p = memmem(hay.data() + from, hay.size() - std::size_t(from), needle.data(), needle.size());
    return p ? static_cast<const char*>(p) - hay.data() : -1;
#else
    const std::size_t p = std::string_view(hay).find(needle, std::size_t(from));
    return p == std::string_view::npos ? -1 : qsizetype(p);
#endif
}

template <class Str, class Needle> bool RecordContains(const Column<Str>& c, int rec, const Needle& needle) {
    for (int t = c.recTok[rec]; t < c.recTok[rec + 1]; ++t) {
        const auto* begin = c.buf.data() + c.tokStart[t];
        const qsizetype len = c.tokEnd(t) - c.tokStart[t];
        if (len < qsizetype(needle.size())) continue;
        if constexpr (std::is_same_v<Str, QString>) {
            if (QStringView(begin, len).contains(needle)) return true;
        } else {
            if (std::string_view(begin, std::size_t(len)).find(needle) != std::string_view::npos) return true;
        }
    }
    return false;
}

// Every record with a hit inside one of its tokens, ascending.
template <class Str, class Needle> std::vector<int> RecordsWith(const Column<Str>& c, const Needle& needle) {
    std::vector<int> out;
    qsizetype from = 0;
    const qsizetype n = qsizetype(needle.size());
    while (true) {
        const qsizetype p = FindIn(c.buf, needle, from);
        if (p < 0) break;
        const std::size_t t =
            std::size_t(std::upper_bound(c.tokStart.begin(), c.tokStart.end(), p) - c.tokStart.begin()) - 1;
        if (p + n <= c.tokEnd(t)) {
            const int rec = c.tokRec[t];
            out.push_back(rec);
            from = c.tokStart[std::size_t(c.recTok[rec + 1])];
        } else {
            from = p + 1;
        }
    }
    return out;
}

// Three UTF-16 units as one key.
std::uint64_t Trigram(const QChar* p) {
    return std::uint64_t(p[0].unicode()) << 32 | std::uint64_t(p[1].unicode()) << 16 | p[2].unicode();
}

// Records holding every trigram of a needle of three or more units, ascending: a superset of the
// records that contain the needle, which the full test then narrows.
std::vector<int> TrigramCandidates(const std::unordered_map<std::uint64_t, std::vector<int>>& trigrams,
                                   QStringView needle) {
    std::vector<const std::vector<int>*> lists;
    for (qsizetype i = 0; i + 3 <= needle.size(); ++i) {
        auto it = trigrams.find(Trigram(needle.data() + i));
        if (it == trigrams.end()) return {};
        lists.push_back(&it->second);
    }
    std::sort(lists.begin(), lists.end(), [](auto* a, auto* b) { return a->size() < b->size(); });
    lists.erase(std::unique(lists.begin(), lists.end()), lists.end());
    std::vector<int> out = *lists.front();
    for (std::size_t k = 1; k < lists.size() && !out.empty(); ++k) {
        std::vector<int> both;
        std::set_intersection(out.begin(), out.end(), lists[k]->begin(), lists[k]->end(),
                              std::back_inserter(both));
        out.swap(both);
    }
    return out;
}

std::vector<int> MergeSorted(const std::vector<const std::vector<int>*>& lists) {
    std::vector<int> out;
    for (const auto* l : lists)
        out.insert(out.end(), l->begin(), l->end());
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

} // namespace

struct OrgSearchIndex::Impl {
    Column<QString> captions; // upper-cased caption in the data language
    std::unordered_map<std::uint64_t, std::vector<int>> captionTrigrams; // records by caption trigram
    std::unordered_map<std::uint32_t, std::vector<int>> captionBigrams;  // and by pair, for two letters
    Column<QString> inet;       // upper-cased site, e-mail, social links, ICQ, Skype
    Column<std::string> digits; // digits of every fax and phone
    std::vector<QString> streetLower;
    std::unordered_map<int, QString> streetListedLower; // where it is not streetLower: the name and town
    QHash<QString, std::vector<int>> streetsByLower;
    std::vector<std::vector<int>> streetOrgs;    // organisations with an address on each street, ascending
    QHash<QString, std::vector<int>> numberOrgs; // by house number, addresses with a street only
    IdTable buildingById, stopById;
    bool indexDescending = true;
};

OrgSearchIndex::OrgSearchIndex(const CityDb& db, int dataLang)
    : db_(db), dataLang_(dataLang), d_(std::make_unique<Impl>()) {
    Impl& d = *d_;
    const int n = int(db.Orgs.size());
    d.streetLower.reserve(db.Streets.size());
    // A street is found by its name (with every street of that name) and by its listed name, which
    // carries its town where the name is shared.
    const QStringList listed = StreetListNames(db, dataLang);
    for (std::size_t s = 0; s < db.Streets.size(); ++s) {
        d.streetLower.push_back(SearchLower(InLang(db.Streets[s].Name, dataLang)));
        d.streetsByLower[d.streetLower.back()].push_back(int(s));
        QString listedLower = SearchLower(listed[qsizetype(s)]);
        if (listedLower == d.streetLower.back()) continue;
        d.streetsByLower[listedLower].push_back(int(s));
        d.streetListedLower.emplace(int(s), std::move(listedLower));
    }
    d.streetOrgs.resize(db.Streets.size());
    d.captions.buf.reserve(qsizetype(n) * 24);
    d.digits.buf.reserve(std::size_t(n) * 40);
    for (auto* c : {&d.captions.tokStart, &d.inet.tokStart})
        c->reserve(std::size_t(n) * 3);
    for (int i = 0; i < n; ++i) {
        const TOrg& o = db.Orgs[std::size_t(i)];
        const QString caption = SearchUpper(InLang(o.caption, dataLang));
        for (qsizetype k = 0; k + 2 <= caption.size(); ++k) {
            const QChar* p = caption.constData() + k;
            std::vector<int>& pair = d.captionBigrams[std::uint32_t(p[0].unicode()) << 16 | p[1].unicode()];
            if (pair.empty() || pair.back() != i) pair.push_back(i);
            if (k + 3 > caption.size()) continue;
            std::vector<int>& list = d.captionTrigrams[Trigram(p)];
            if (list.empty() || list.back() != i) list.push_back(i);
        }
        d.captions.add(caption);
        d.captions.endRecord();

        if (!o.website.isEmpty()) d.inet.add(SearchUpper(o.website));
        if (!o.email.isEmpty()) d.inet.add(SearchUpper(o.email));
        for (const TSoc& s : o.socnet) {
            const QString prefix = s.id < db.SocNets.size() ? db.SocNets[s.id].prefix : QString();
            d.inet.add(SearchUpper(prefix + s.url));
        }
        if (!o.icq.isEmpty()) d.inet.add(SearchUpper(o.icq));
        if (!o.skype.isEmpty()) d.inet.add(SearchUpper(o.skype));
        d.inet.endRecord();

        for (const TAdr& a : o.adrs) {
            d.digits.addDigits(a.fax);
            for (const TPhone& p : a.phones)
                d.digits.addDigits(p.phone);
            if (a.street >= 0 && std::size_t(a.street) < db.Streets.size()) {
                auto& list = d.streetOrgs[std::size_t(a.street)];
                if (list.empty() || list.back() != i) list.push_back(i);
                auto& byNum = d.numberOrgs[InLang(a.num, dataLang)];
                if (byNum.empty() || byNum.back() != i) byNum.push_back(i);
            }
        }
        d.digits.endRecord();
    }
    d.buildingById.build(db.Buildings, [](const TBuilding& b) { return b.id; });
    d.stopById.build(db.BusStops, [](const TBusStop& s) { return s.id_; });
    // Lists grew by doubling; a city keeps its index as long as it is open.
    for (auto& [key, list] : d.captionTrigrams)
        list.shrink_to_fit();
    for (auto& [key, list] : d.captionBigrams)
        list.shrink_to_fit();
    d.indexDescending = std::is_sorted(db.BuildIndexes.begin(), db.BuildIndexes.end(),
                                       [](const TBuildIndex& a, const TBuildIndex& b) { return a.s > b.s; });
}

OrgSearchIndex::~OrgSearchIndex() = default;

bool OrgSearchIndex::Fits(const CityDb& db, int dataLang) const {
    return &db == &db_ && dataLang == dataLang_ &&
           int(db.Orgs.size()) + 1 == int(d_->captions.recTok.size()) &&
           db.Streets.size() == d_->streetLower.size() && db.Buildings.size() == d_->buildingById.count();
}

int OrgSearchIndex::FindStreet(const QString& name) const {
    auto it = d_->streetsByLower.constFind(SearchLower(name));
    return it == d_->streetsByLower.constEnd() ? -1 : it->front();
}

std::vector<int> OrgSearchIndex::FindBuildings(int street, const QString& number) const {
    if (!d_->indexDescending) return ::FindBuildings(db_, street, number);
    std::vector<int> out;
    if (street == -1) return out;
    // Stored by descending street: the entries of one street are one run, found by halving.
    auto range =
        std::equal_range(db_.BuildIndexes.begin(), db_.BuildIndexes.end(), TBuildIndex{street, 0, {}},
                         [](const TBuildIndex& a, const TBuildIndex& b) { return a.s > b.s; });
    const NumberKey k(number);
    for (auto it = range.first; it != range.second; ++it)
        if (k.Matches(db_, *it)) out.push_back(it->ind);
    return out;
}

int OrgSearchIndex::BuildingById(int id) const {
    return d_->buildingById.find(id);
}

int OrgSearchIndex::StopById(int id) const {
    return d_->stopById.find(id);
}

bool OrgSearchIndex::OrgInRadius(int org, const RadiusCircle& radius) const {
    if (org < 0 || std::size_t(org) >= db_.Orgs.size()) return false;
    return AnyAddressBuildingInRadius(
        db_, db_.Orgs[std::size_t(org)], radius, dataLang_, [this](int id) { return BuildingById(id); },
        [this](int s, const QString& n) { return FindBuildings(s, n); });
}

std::vector<int> OrgSearchIndex::FindOrgs(const OrgCriteria& c, const RadiusCircle& radius,
                                          const QDateTime& now) const {
    const Impl& d = *d_;
    const QString name = SearchUpper(c.Name);
    const QString inet = SearchUpper(c.Inet);
    const QString streetKey = SearchLower(c.Street);
    const bool phoneGiven = !c.Telecom.isEmpty();
    const std::string phone = DigitsOf(c.Telecom).toStdString();
    std::vector<char> inRubricSet;
    if (c.Rubric != -1) {
        inRubricSet.assign(std::size_t(std::max<qsizetype>(db_.RubricNames.size(), c.Rubric + 1)), 0);
        for (int r : RubricSet(db_, c.Rubric))
            inRubricSet[std::size_t(r)] = 1;
    }
    const bool web = c.MoreVisible && c.Web, allTime = c.MoreVisible && c.AllTime,
               open = c.MoreVisible && c.Now;

    auto schedule = [&](const TAdr& a) -> const TSchedule* {
        return a.schedule >= 0 && std::size_t(a.schedule) < db_.Schedules.size()
                   ? &db_.Schedules[std::size_t(a.schedule)]
                   : nullptr;
    };
    // Three letters are one trigram: its list holds exactly the captions containing them, so the
    // candidates it gives need no second look at the name.
    bool nameSure = false;
    auto passes = [&](int i) {
        const TOrg& o = db_.Orgs[std::size_t(i)];
        if (!name.isEmpty() && !nameSure && !RecordContains(d.captions, i, name)) return false;
        if (!inet.isEmpty() && !RecordContains(d.inet, i, inet)) return false;
        if (!c.Street.isEmpty() || !c.Number.isEmpty()) {
            bool any = false;
            for (const TAdr& a : o.adrs) {
                if (a.street < 0 || std::size_t(a.street) >= d.streetLower.size()) continue;
                if (!c.Number.isEmpty() && InLang(a.num, dataLang_) != c.Number) continue;
                if (!c.Street.isEmpty() && d.streetLower[std::size_t(a.street)] != streetKey) {
                    auto listed = d.streetListedLower.find(a.street);
                    if (listed == d.streetListedLower.end() || listed->second != streetKey) continue;
                }
                any = true;
                break;
            }
            if (!any) return false;
        }
        if (phoneGiven) {
            if (o.adrs.empty()) return false;
            if (!phone.empty() && !RecordContains(d.digits, i, phone)) return false;
        }
        if (c.Rubric != -1) {
            bool any = false;
            for (int r : o.area)
                if (r >= 0 && std::size_t(r) < inRubricSet.size() && inRubricSet[std::size_t(r)]) {
                    any = true;
                    break;
                }
            if (!any) return false;
        }
        if (radius.Visible && !OrgInRadius(i, radius)) return false;
        if (web && o.website.isEmpty()) return false;
        if (allTime && std::none_of(o.adrs.begin(), o.adrs.end(), [&](const TAdr& a) {
                const TSchedule* s = schedule(a);
                return s && IsRoundTheClock(*s);
            }))
            return false;
        if (open && std::none_of(o.adrs.begin(), o.adrs.end(), [&](const TAdr& a) {
                const TSchedule* s = schedule(a);
                return s && WorksNow(*s, now);
            }))
            return false;
        return true;
    };

    // Candidates come from the most selective prepared test at hand, in Orgs order; every candidate
    // then takes all the tests, so the result is the walk's.
    std::vector<int> candidates;
    bool walkAll = false;
    if (!c.Street.isEmpty()) {
        std::vector<const std::vector<int>*> lists;
        auto it = d.streetsByLower.constFind(streetKey);
        if (it != d.streetsByLower.constEnd())
            for (int s : *it)
                lists.push_back(&d.streetOrgs[std::size_t(s)]);
        candidates = lists.size() == 1 ? *lists.front() : MergeSorted(lists);
    } else if (!c.Number.isEmpty()) {
        auto it = d.numberOrgs.constFind(c.Number);
        if (it != d.numberOrgs.constEnd()) candidates = *it;
    } else if (!phone.empty()) {
        candidates = RecordsWith(d.digits, std::string_view(phone));
    } else if (name.size() >= 3) {
        candidates = TrigramCandidates(d.captionTrigrams, name);
        nameSure = name.size() == 3;
    } else if (name.size() == 2) {
        auto it = d.captionBigrams.find(std::uint32_t(name[0].unicode()) << 16 | name[1].unicode());
        if (it != d.captionBigrams.end()) candidates = it->second;
    } else if (!name.isEmpty()) {
        candidates = RecordsWith(d.captions, QStringView(name));
    } else if (!inet.isEmpty()) {
        candidates = RecordsWith(d.inet, QStringView(inet));
    } else {
        walkAll = true;
    }

    std::vector<int> out;
    if (walkAll) {
        for (int i = 0; i < int(db_.Orgs.size()); ++i)
            if (passes(i)) out.push_back(i);
    } else {
        for (int i : candidates)
            if (passes(i)) out.push_back(i);
    }
    return out;
}
