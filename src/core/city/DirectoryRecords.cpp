// Records of the directory section, decoded straight into the organisations and their tables.
#include "DirectoryRecords.h"

#include "CityDb.h"
#include "CityFile.h"
#include "CityFileError.h"
#include "RecordCodec.h"

#include <cmath>

namespace {

bool AllDigits(const QString& t) {
    for (QChar c : t)
        if (c < u'0' || c > u'9') return false;
    return true;
}

// Digits in groups joined by "-", built at their exact size: half a million phones are kept.
QString Grouped(const QString& t, std::initializer_list<int> groups) {
    QString out;
    out.reserve(t.size() + qsizetype(groups.size()) - 1);
    int at = 0;
    for (int n : groups) {
        if (at > 0) out += u'-';
        out += QStringView(t).mid(at, n);
        at += n;
    }
    return out;
}

// What the records of one directory section refer to, and where dropped references are counted.
struct DirectoryRefs {
    CityDb& db;
    TextCache cache;
    // One shared set for every record without the text.
    TSharedTas emptySet;
    // Buildings of the map section, when known: address positions are checked as they are read.
    std::int64_t buildings;
    // Schedules come last in the section: where each address's schedule was stored, checked then.
    std::vector<std::int64_t> scheduleAt;

    CityLoadWarnings& warnings() { return db.LoadWarnings; }
};

void ReadPhone(ByteReader& r, TPhone& ph, int L, DirectoryRefs& refs) {
    const QString stored = r.str();
    const std::int64_t at = r.pos();
    ph.code = r.u8();
    ph.place = refs.cache.langSet(r, L, true);
    if (!InTable(r, refs.warnings(), at, ph.code, refs.db.PhoneCodes.size(), "phone: area code")) ph.code = 0;
    FormatPhone(stored, ph.code, refs.db.PhoneCodes, ph.phone, ph.cell);
}

// Payment kinds outside the table are left out of the address's list.
void CheckMoney(ByteReader& r, TSharedBytes& money, std::int64_t at, DirectoryRefs& refs) {
    const std::int64_t kinds = std::int64_t(refs.db.MoneyKinds.size());
    bool dropped = false;
    for (std::size_t k = 0; k < money.size(); ++k)
        dropped |=
            !InTable(r, refs.warnings(), at + std::int64_t(k), money[k], kinds, "address: payment kind");
    if (!dropped) return;
    std::vector<std::uint8_t> kept;
    for (std::uint8_t m : money)
        if (m < kinds) kept.push_back(m);
    money = TSharedBytes(std::move(kept));
}

void ReadAddress(ByteReader& r, TAdr& a, int L, DirectoryRefs& refs) {
    const std::int64_t buildingAt = r.pos();
    a.id = r.i32();
    if (a.id != -1 && refs.buildings >= 0 &&
        !InTable(r, refs.warnings(), buildingAt, a.id, refs.buildings, "address: building position"))
        a.id = -1;
    a.street = -1;
    a.num = refs.emptySet;
    a.nomap_adr = refs.cache.langSet(r, L, true);
    a.place = refs.cache.langSet(r, L, true);
    a.fax = r.str();
    const int phones = r.u8();
    CheckCount(r, phones, 3 + 2 * std::int64_t(L), "phones");
    a.phones.resize(phones);
    for (TPhone& ph : a.phones)
        ReadPhone(r, ph, L, refs);
    const std::int64_t scheduleAt = r.pos();
    a.schedule = r.i32();
    if (a.schedule != -1) refs.scheduleAt.push_back(scheduleAt);
    const int money = r.u8();
    const std::int64_t moneyAt = r.pos();
    a.money = refs.cache.bytes(r, money);
    CheckMoney(r, a.money, moneyAt, refs);
}

void ReadOrg(ByteReader& r, TOrg& o, int L, DirectoryRefs& refs) {
    o.id = r.i32();
    o.caption = *refs.cache.langSet(r, L, true); // chains share their names
    o.website = r.str();
    o.email = r.str();
    o.icq = r.str();
    o.skype = r.str();
    const int nets = r.u8();
    o.socnet.resize(nets);
    std::size_t kept = 0;
    for (int i = 0; i < nets; ++i) {
        const std::int64_t at = r.pos();
        TSoc& s = o.socnet[kept];
        s.id = r.u8();
        s.url = r.str();
        kept += InTable(r, refs.warnings(), at, s.id, std::int64_t(refs.db.SocNets.size()),
                        "organisation: social network");
    }
    o.socnet.resize(kept);
    o.BuildBannerAdr = r.i32();
    const int adrs = CheckCount(r, r.u16(), 12 + 4 * std::int64_t(L), "addresses");
    o.adrs.resize(adrs);
    for (TAdr& a : o.adrs)
        ReadAddress(r, a, L, refs);
    const int areas = CheckCount(r, r.u8(), 4, "rubrics");
    o.area.resize(areas);
    for (std::int32_t& a : o.area)
        a = r.i32();
}

TImg ReadImg(ByteReader& r) {
    TImg img;
    img.size = r.i32();
    img.offset = r.i32();
    return img;
}

// The organisation an entry of a block after the organisations names; null when it names none, and
// the caller reads the entry's data and drops it.
TOrg* OrgAt(ByteReader& r, CityDb& db, const char* what) {
    const std::int64_t at = r.pos();
    const std::int32_t i = r.i32();
    return InTable(r, db.LoadWarnings, at, i, std::int64_t(db.Orgs.size()), what) ? &db.Orgs[i] : nullptr;
}

void ReadBanners(ByteReader& r, CityDb& db, std::optional<TImg> TOrg::*banner, const char* what) {
    const auto c = CheckCount(r, r.i32(), 12, "banners");
    for (std::int64_t i = 0; i < c; ++i) {
        TOrg* o = OrgAt(r, db, what);
        const TImg img = ReadImg(r);
        if (o) o->*banner = img;
    }
}

void ReadFlags(ByteReader& r, CityDb& db, bool TOrg::*flag, const char* what) {
    const auto c = CheckCount(r, r.i32(), 4, "flags");
    for (std::int64_t i = 0; i < c; ++i)
        if (TOrg* o = OrgAt(r, db, what)) o->*flag = true;
}

// Schedule positions, read with the addresses, against the schedules stored after them.
void CheckSchedules(ByteReader& r, DirectoryRefs& refs) {
    const std::int64_t schedules = std::int64_t(refs.db.Schedules.size());
    std::size_t next = 0;
    for (TOrg& o : refs.db.Orgs)
        for (TAdr& a : o.adrs)
            if (a.schedule != -1 && !InTable(r, refs.warnings(), refs.scheduleAt[next++], a.schedule,
                                             schedules, "address: schedule"))
                a.schedule = -1;
}

} // namespace

QString GroupPhoneDigits(const QString& t) {
    if (!AllDigits(t)) return t;
    switch (t.size()) {
    case 7:
        return Grouped(t, {3, 2, 2});
    case 6:
        return Grouped(t, {2, 2, 2});
    case 11:
        return Grouped(t, {1, 3, 3, 2, 2});
    default:
        return t;
    }
}

void FormatPhone(const QString& stored, std::uint8_t code, const QStringList& phoneCodes, QString& phone,
                 bool& cell) {
    cell = stored.startsWith(u'+');
    const QString t = GroupPhoneDigits(cell ? stored.mid(1) : stored);
    if (code == 0) {
        phone = t;
        return;
    }
    const QString area = phoneCodes.value(code);
    phone.clear();
    phone.reserve(area.size() + 3 + t.size());
    phone += u'(';
    phone += area;
    phone += QStringLiteral(") ");
    phone += t;
}

QString StoredPhoneText(const QString& phone, std::uint8_t code, bool cell, const QStringList& phoneCodes) {
    QString t = phone;
    const QString prefix = u'(' + phoneCodes.value(code) + QStringLiteral(") ");
    if (code != 0 && t.startsWith(prefix)) t = t.mid(prefix.size());
    QString digits = t;
    digits.remove(u'-');
    // Grouped digits are stored bare; a text that would not group back the same way stays as it is.
    if (digits != t && GroupPhoneDigits(digits) == t) t = digits;
    return cell ? u'+' + t : t;
}

double ScheduleTime(int hour, int minute) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59) return -1;
    return double(hour * 3600000 + minute * 60000) / 86400000.0;
}

QString ScheduleTimeText(double dayFraction) {
    const long minutes = std::lround(dayFraction * 1440.0);
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QChar(u'0'));
}

void DecodeDirectoryRecords(ByteReader& r, CityDb& db, const ProgressStep& step, std::int64_t buildings) {
    db.LoadWarnings.clear();
    db.PhoneCodes = QStringList{QString()};
    const int codes = r.u8();
    for (int i = 0; i < codes; ++i)
        db.PhoneCodes.append(r.str());

    const std::int64_t L = r.i32();
    if (L < 1) r.fail(QStringLiteral("the city has %1 data languages").arg(L));
    CheckCount(r, L, 2, "data language names");
    db.DataLangCount = int(L);
    db.DataLangNames.clear();
    for (int i = 0; i < L; ++i)
        db.DataLangNames.append(r.str());

    const int money = r.u8();
    db.MoneyKinds.assign(money, {});
    for (TMoney& m : db.MoneyKinds) {
        m.caption = r.str();
        m.logo = ReadImg(r);
    }
    const int nets = r.u8();
    db.SocNets.assign(nets, {});
    for (TSocNet& s : db.SocNets) {
        s.caption = r.str();
        s.prefix = r.str();
        s.logo = ReadImg(r);
    }

    const auto orgs = CheckCount(r, r.i32(), 20 + 2 * L, "organisations");
    db.Orgs.assign(orgs, {});
    const std::int64_t every = std::max<std::int64_t>(1, orgs / 10);
    DirectoryRefs refs{db, {}, TSharedTas(Tas(L, QString())), buildings, {}};
    TextCache& cache = refs.cache;
    for (std::int64_t i = 0; i < orgs; ++i) {
        if (step && i % every == 0) step();
        ReadOrg(r, db.Orgs[i], int(L), refs);
    }

    const auto pages = CheckCount(r, r.i32(), 14, "pages");
    for (std::int64_t i = 0; i < pages; ++i) {
        TOrg* o = OrgAt(r, db, "page: organisation position");
        TPg pg;
        pg.Name = r.str();
        pg.size = r.i32();
        pg.offset = r.i32();
        if (o) o->page = pg;
    }

    const auto descriptions = CheckCount(r, r.i32(), 5, "descriptions");
    for (std::int64_t i = 0; i < descriptions; ++i) {
        TOrg* o = OrgAt(r, db, "description: organisation position");
        TSharedTas lines = cache.langSet(r, r.u8(), false); // k Strings; equal descriptions shared
        if (o) o->Description = std::move(lines);
    }

    const auto running = CheckCount(r, r.i32(), 6, "running texts");
    db.RunningTexts.clear();
    db.RunningOrgIds.clear();
    for (std::int64_t i = 0; i < running; ++i) {
        const TOrg* o = OrgAt(r, db, "running text: organisation position");
        QString text = r.str();
        if (!o) continue;
        db.RunningTexts.append(std::move(text));
        db.RunningOrgIds.push_back(o->id);
    }

    ReadBanners(r, db, &TOrg::DownBanner, "bottom banner: organisation position");
    ReadBanners(r, db, &TOrg::listBanner, "list banner: organisation position");
    ReadBanners(r, db, &TOrg::mapBanner, "map banner: organisation position");
    ReadBanners(r, db, &TOrg::buildBanner, "building banner: organisation position");
    ReadBanners(r, db, &TOrg::QuitBanner, "quit banner: organisation position");
    ReadFlags(r, db, &TOrg::firstBanner, "first-list flag: organisation position");
    ReadFlags(r, db, &TOrg::mark, "mark flag: organisation position");
    ReadFlags(r, db, &TOrg::place, "place flag: organisation position");

    const auto seconds = CheckCount(r, r.i32(), 5, "display times");
    for (std::int64_t i = 0; i < seconds; ++i) {
        TOrg* o = OrgAt(r, db, "display time: organisation position");
        const std::uint8_t value = r.u8();
        if (o) o->seconds = value;
    }

    const auto zones = CheckCount(r, r.i32(), 8, "zone lists");
    for (std::int64_t i = 0; i < zones; ++i) {
        TOrg* o = OrgAt(r, db, "zone list: organisation position");
        const auto k = CheckCount(r, r.i32(), 4, "zones");
        Tai zone(static_cast<std::size_t>(k), 0);
        for (std::int32_t& z : zone)
            z = r.i32();
        if (o) o->zone = std::move(zone);
    }

    const auto urls = CheckCount(r, r.i32(), 2, "web tab addresses");
    db.WebTabUrls.clear();
    for (std::int64_t i = 0; i < urls; ++i)
        db.WebTabUrls.append(r.str());

    const auto schedules = CheckCount(r, r.i32(), 7 * 4 * 2, "schedules");
    db.Schedules.assign(schedules, {});
    for (TSchedule& s : db.Schedules)
        for (TDaySchedule& d : s)
            for (double* t : {&d.BeginWork, &d.EndWork, &d.BeginDiner, &d.EndDiner}) {
                const int hour = r.u8();
                const int minute = r.u8();
                *t = ScheduleTime(hour, minute);
                if (*t < 0)
                    r.fail(QStringLiteral("schedule time %1:%2 is not a time of day").arg(hour).arg(minute));
            }

    CheckSchedules(r, refs);
}

void ResolveOrgAddresses(CityDb& db) {
    for (std::size_t i = 0; i < db.Orgs.size(); ++i)
        for (TAdr& a : db.Orgs[i].adrs) {
            if (a.id == -1) continue;
            if (a.id < 0 || std::size_t(a.id) >= db.Buildings.size()) {
                // Only a directory decoded without the map's building count gets here: where the
                // position was stored is no longer known.
                db.LoadWarnings.add(
                    {QString(), QStringLiteral("directory"), -1,
                     QStringLiteral("address of organisation %1: building position %2 is outside "
                                    "the %3 stored; dropped")
                         .arg(db.Orgs[i].id)
                         .arg(a.id)
                         .arg(db.Buildings.size())});
                a.id = -1;
                continue;
            }
            const TBuilding& b = db.Buildings[a.id];
            a.id = b.id;
            a.street = b.street;
            a.num = b.num;
        }
}

void BuildEstateAgents(CityDb& db, int dataLang) {
    db.EstateAgents.clear();
    const qsizetype r = db.RubricNames.indexOf(QString::fromUtf8(EstateAgentsRubric));
    if (r < 0) return;
    for (std::size_t i = 0; i < db.Orgs.size(); ++i) {
        const TOrg& o = db.Orgs[i];
        if (std::find(o.area.begin(), o.area.end(), std::int32_t(r)) == o.area.end()) continue;
        QString name = o.caption.value(dataLang);
        if (const qsizetype comma = name.indexOf(u','); comma >= 0) name.truncate(comma);
        db.EstateAgents.push_back({o.id, std::int32_t(i), name});
    }
}
