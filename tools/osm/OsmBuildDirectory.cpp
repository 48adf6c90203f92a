// Building the directory of the city: organisations with their addresses, phones and schedules,
// rubrics, and the type tables and languages of the map.
#include "OsmImporter.h"

#include "DirectoryRecords.h"
#include "OpeningHours.h"
#include "PhoneNumbers.h"
#include "StreetNames.h"

#include <QLocale>
#include <algorithm>

namespace osmimport {

namespace {

// A data language's own name from Qt's locale data ("mt" is "Malti"), its code when nothing knows it.
QString LanguageName(const QString& code) {
    const QLocale locale(code);
    if (code.isEmpty() || locale.language() == QLocale::C ||
        QLocale::languageToCode(locale.language()).compare(code, Qt::CaseInsensitive) != 0)
        return code;
    // English is named by its American form in the locale data; the data's `name:en` is any English.
    QString name = locale.language() == QLocale::English ? QStringLiteral("English") : locale.nativeLanguageName();
    if (name.isEmpty()) return code;
    name[0] = name[0].toUpper();
    return name;
}

// The type tables of the map in Russian and English; other languages take the English ones.
struct TypeName {
    const char* ru;
    const char* en;
};
const TypeName TransportNames[] = {{"Автобус", "Bus"},
                                   {"Трамвай", "Tram"},
                                   {"Троллейбус", "Trolleybus"},
                                   {"Метро", "Metro"},
                                   {"Маршрутное такси", "Share taxi"},
                                   {"Поезд", "Train"}};
const TypeName MaterialTypeNames[] = {
    {"Неизвестно", "Unknown"}, {"Кирпич", "Brick"},           {"Панель", "Panel"},    {"Дерево", "Wood"},
    {"Камень", "Stone"},       {"Шлакоблок", "Cinder block"}, {"Монолит", "Concrete"}};
const TypeName BuildingTypes[] = {{"Прочее", "Other"},
                                  {"Административное", "Administrative"},
                                  {"Школа", "School"},
                                  {"Жилой дом", "Residential"},
                                  {"Детский сад", "Kindergarten"},
                                  {"Торговый центр", "Shopping centre"},
                                  {"Гараж", "Garage"},
                                  {"Гостиница", "Hotel"},
                                  {"Спортивное сооружение", "Sports facility"},
                                  {"Декоративное сооружение", "Decorative structure"},
                                  {"Памятник", "Monument"},
                                  {"Больница", "Hospital"},
                                  {"Университет", "University"},
                                  {"Учреждение культуры", "Culture"},
                                  {"Склад", "Warehouse"},
                                  {"Магазин", "Shop"},
                                  {"Общественное здание", "Public building"},
                                  {"Храм", "Place of worship"},
                                  {"Котельная", "Boiler house"},
                                  {"Автозаправка", "Filling station"},
                                  {"Стройка", "Construction site"},
                                  {"Хозяйственная постройка", "Outbuilding"},
                                  {"Рекламная конструкция", "Billboard"}};

} // namespace

QString Importer::languageCode(int i) const {
    const QString l = options_.languages.value(i);
    if (l != QLatin1String("local")) return l;
    QString best;
    int votes = 0;
    for (const auto& [code, n] : localVotes_)
        if (n > votes) {
            votes = n;
            best = code;
        }
    return best;
}

void Importer::buildTables(CityDb& db) {
    const int L = int(langKeys_.size());
    auto table = [&](const TypeName* names, std::size_t n) {
        std::vector<Tas> out;
        for (std::size_t k = 0; k < n; ++k) {
            Tas t;
            for (int i = 0; i < L; ++i)
                t << QString::fromUtf8(languageCode(i) == QLatin1String("ru") ? names[k].ru : names[k].en);
            out.push_back(t);
        }
        return out;
    };
    db.TransportTypeNames = table(TransportNames, std::size(TransportNames));
    db.MaterialNames = table(MaterialTypeNames, std::size(MaterialTypeNames));
    db.BuildingTypeNames = table(BuildingTypes, std::size(BuildingTypes));
    db.DataLangNames.clear();
    for (int i = 0; i < L; ++i) {
        const QString code = languageCode(i);
        db.DataLangNames << (code.isEmpty() ? QStringLiteral("Local") : LanguageName(code));
    }
}

void Importer::buildDirectory(CityDb& db) {
    const int L = int(langKeys_.size());
    QString country;
    int votes = 0;
    for (const auto& [cc, n] : countryVotes_)
        if (!cc.isEmpty() && n > votes) {
            votes = n;
            country = cc;
        }
    db.PhoneCodes = QStringList{QString()};
    std::map<QString, std::uint8_t> codeIndex;
    auto phone = [&](const QString& raw, bool mobile, TPhone& out) {
        const std::optional<StoredPhone> p = NormalisePhone(raw, country, mobile);
        if (!p) {
            ++report_.notes[QStringLiteral("phone numbers that are no number (left out)")];
            return false;
        }
        std::uint8_t code = 0;
        if (!p->countryCode.isEmpty()) {
            auto [it, fresh] = codeIndex.emplace(p->countryCode, std::uint8_t(db.PhoneCodes.size()));
            if (fresh) {
                if (db.PhoneCodes.size() > 255) return false;
                db.PhoneCodes << u'+' + p->countryCode;
            }
            code = it->second;
        }
        out.code = code;
        FormatPhone(p->stored, code, db.PhoneCodes, out.phone, out.cell);
        out.place.edit([L](Tas& place) {
            for (int i = 0; i < L; ++i)
                place << QString();
        });
        return true;
    };
    std::map<QString, int> scheduleIndex;
    std::vector<int> netIndex(std::size(SocialNets), -1), moneyIndex(std::size(MoneyDefs), -1);
    std::vector<std::vector<int>> orgRubrics;
    const Tas empty = tas(Names{});

    struct Built {
        TOrg org;
        std::vector<int> rubrics;
    };
    std::vector<Built> built;
    built.reserve(orgs_.size() + 1);
    for (OrgDraft& d : orgs_) {
        TOrg o;
        o.caption = tas(d.caption);
        o.website = d.website;
        o.email = d.email;
        for (const auto& [net, url] : d.social) {
            if (netIndex[net] < 0) {
                netIndex[net] = int(db.SocNets.size());
                db.SocNets.push_back({QString::fromUtf8(SocialNets[net].caption),
                                      QString::fromUtf8(SocialNets[net].prefix), TImg{}});
            }
            o.socnet.push_back({std::uint8_t(netIndex[net]), url});
        }
        TAdr a;
        a.num = empty;
        a.place = empty;
        a.nomap_adr = empty;
        // The building that holds it: its own outline, else its address, else the one around it.
        int pos = -1;
        if (d.ownerKey >= 0)
            if (auto it = buildingByKey_.find(d.ownerKey); it != buildingByKey_.end()) pos = it->second;
        if (pos < 0 && !d.number.isEmpty() && !d.street.isEmpty()) {
            auto it = addressIndex_.find(looseKey(d.street) + u'#' + NumberKey(d.number));
            if (it != addressIndex_.end()) {
                float best = 1000;
                for (int b : it->second) {
                    const float dist = Distance(d.at, {db.Buildings[b].x, db.Buildings[b].y});
                    if (dist < best) {
                        best = dist;
                        pos = b;
                    }
                }
            }
        }
        if (pos < 0) pos = findBuilding(d.at);
        a.id = pos;
        if (pos < 0) {
            QString text = (d.number + u' ' + d.street).trimmed();
            const QString town = (d.postcode + u' ' + d.city).trimmed();
            if (!town.isEmpty()) text = text.isEmpty() ? town : text + QStringLiteral(", ") + town;
            a.nomap_adr.edit([&text](Tas& set) {
                for (QString& s : set)
                    s = text;
            });
        } else {
            ++report_.orgsWithBuilding;
        }
        for (const QString& p : d.phones) {
            TPhone ph;
            if (phone(p, false, ph)) a.phones.push_back(ph);
        }
        for (const QString& p : d.mobiles) {
            TPhone ph;
            if (phone(p, true, ph)) a.phones.push_back(ph);
        }
        if (a.phones.size() > 255) a.phones.resize(255);
        if (!a.phones.empty()) ++report_.orgsWithPhone;
        if (!d.faxes.isEmpty()) {
            TPhone fax;
            if (phone(d.faxes.front(), false, fax)) a.fax = fax.phone;
        }
        if (!d.hours.isEmpty()) {
            QString why;
            if (const std::optional<TSchedule> s = ParseOpeningHours(d.hours, &why)) {
                QStringList key;
                for (const TDaySchedule& day : *s)
                    key << QStringLiteral("%1/%2/%3/%4")
                               .arg(day.BeginWork)
                               .arg(day.EndWork)
                               .arg(day.BeginDiner)
                               .arg(day.EndDiner);
                auto [it, fresh] = scheduleIndex.emplace(key.join(u';'), int(db.Schedules.size()));
                if (fresh) db.Schedules.push_back(*s);
                a.schedule = it->second;
                ++report_.orgsWithSchedule;
            } else {
                ++report_.notes[QStringLiteral("opening hours that do not fit a week (kept as description)")];
                d.description << QStringLiteral("Часы работы / Opening hours: ") + d.hours;
            }
        }
        for (std::uint8_t m : d.money) {
            if (moneyIndex[m] < 0) {
                moneyIndex[m] = int(db.MoneyKinds.size());
                db.MoneyKinds.push_back({QString::fromUtf8(MoneyDefs[m].caption), TImg{}});
            }
            a.money.push_back(std::uint8_t(moneyIndex[m]));
        }
        o.adrs.push_back(std::move(a));
        o.Description = d.description;
        built.push_back({std::move(o), d.rubrics});
    }
    orgs_.clear();
    report_.orgs = int(built.size());

    // The licence's credit: an entry of its own, which the running string opens when clicked.
    TOrg osm;
    for (int i = 0; i < L; ++i)
        osm.caption << QStringLiteral("OpenStreetMap");
    osm.website = QStringLiteral("https://www.openstreetmap.org/copyright");
    osm.Description = {
        QString::fromUtf8(OsmAttribution),
        QStringLiteral("Open Database License (ODbL) 1.0: https://opendatacommons.org/licenses/odbl/1-0/")};
    built.push_back({std::move(osm), {}});

    std::stable_sort(built.begin(), built.end(),
                     [](const Built& a, const Built& b) { return a.org.caption[0] < b.org.caption[0]; });
    for (Built& b : built) {
        b.org.id = int(db.Orgs.size()) + 1;
        if (b.org.website == QLatin1String("https://www.openstreetmap.org/copyright") && b.rubrics.empty() &&
            b.org.adrs.empty()) {
            db.RunningTexts << QString::fromUtf8(OsmAttribution);
            db.RunningOrgIds.push_back(b.org.id);
        }
        orgRubrics.push_back(std::move(b.rubrics));
        db.Orgs.push_back(std::move(b.org));
    }
    buildRubrics(db, orgRubrics);
}

void Importer::buildRubrics(CityDb& db, const std::vector<std::vector<int>>& orgRubrics) {
    const std::vector<RubricDef>& defs = Rubrics();
    std::vector<char> used(defs.size(), 0);
    for (std::size_t r = 0; r < defs.size(); ++r)
        used[r] = defs[r].always;
    for (const auto& list : orgRubrics)
        for (int r : list)
            used[r] = 1;
    // Russian names are the ones the program looks for; each carries its English name beneath it in
    // the tree, a rubric of its own with the same organisations, so that either language finds them.
    std::vector<int> order;
    for (std::size_t r = 0; r < defs.size(); ++r)
        if (used[r]) order.push_back(int(r));
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return defs[a].group != defs[b].group ? defs[a].group < defs[b].group
                                              : QString::fromUtf8(defs[a].ru) < QString::fromUtf8(defs[b].ru);
    });
    std::vector<int> ruIndex(defs.size(), -1), enIndex(defs.size(), -1);
    db.RubricNames.clear();
    for (int r : order) {
        ruIndex[r] = int(db.RubricNames.size());
        db.RubricNames << QString::fromUtf8(defs[r].ru);
    }
    for (int r : order) {
        enIndex[r] = int(db.RubricNames.size());
        db.RubricNames << QString::fromUtf8(defs[r].en);
    }
    QString tree;
    int group = -1;
    for (int r : order) {
        if (defs[r].group != group) {
            group = defs[r].group;
            const RubricGroup& g = RubricGroups()[group];
            tree += QString::fromUtf8(g.ru) + QStringLiteral(" / ") + QString::fromUtf8(g.en) + u'\n';
        }
        tree += u'\t' + QString::fromUtf8(defs[r].ru) + u'\n';
        tree += QStringLiteral("\t\t") + QString::fromUtf8(defs[r].en) + u'\n';
    }
    db.RubricTree = tree;
    for (std::size_t i = 0; i < db.Orgs.size(); ++i) {
        for (int r : orgRubrics[i])
            db.Orgs[i].area.push_back(ruIndex[r]);
        for (int r : orgRubrics[i])
            db.Orgs[i].area.push_back(enIndex[r]);
    }
}

void Importer::dropUnusedLanguages(CityDb& db) {
    // A second language only when the data names something in it.
    for (int i = int(langKeys_.size()) - 1; i > 0; --i) {
        if (langUsed_.size() > std::size_t(i) && langUsed_[i]) continue;
        auto drop = [i](auto& t) {
            if constexpr (std::is_same_v<std::decay_t<decltype(t)>, TSharedTas>) {
                if (t.size() > i) t.edit([i](Tas& set) { set.removeAt(i); });
            } else if (t.size() > i) {
                t.removeAt(i);
            }
        };
        for (TStreet& s : db.Streets)
            drop(s.Name);
        for (TBuilding& b : db.Buildings) {
            drop(b.num);
            drop(b.caption);
        }
        for (TField& f : db.Fields)
            drop(f.caption);
        for (TBusStop& s : db.BusStops)
            drop(s.caption);
        for (TBusWay& w : db.BusWays)
            drop(w.num);
        for (TText& t : db.Texts)
            drop(t.Text);
        for (auto* table : {&db.TransportTypeNames, &db.MaterialNames, &db.BuildingTypeNames})
            for (Tas& t : *table)
                drop(t);
        for (TOrg& o : db.Orgs) {
            drop(o.caption);
            for (TAdr& a : o.adrs) {
                drop(a.num);
                drop(a.nomap_adr);
                drop(a.place);
                for (TPhone& p : a.phones)
                    drop(p.place);
            }
        }
        db.DataLangNames.removeAt(i);
        db.DataLangCount -= 1;
        ++report_.notes[QStringLiteral("data languages without any name in the data (left out)")];
    }
}

} // namespace osmimport
