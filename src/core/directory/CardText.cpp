#include "CardText.h"

#include "OrgSearch.h"
#include "TextTable.h"

QStringList CardText(const CityDb& db, int org, int dataLang, int shellLang) {
    QStringList lines;
    if (org < 0 || std::size_t(org) >= db.Orgs.size()) return lines;
    const TOrg& o = db.Orgs[std::size_t(org)];
    const QString separator(26, u'-');
    lines << LangText(u"Title", shellLang) + QStringLiteral(": ") + InLang(o.caption, dataLang);
    for (const TAdr& a : o.adrs) {
        lines << separator;
        if (a.street >= 0 && std::size_t(a.street) < db.Streets.size())
            lines << LangText(u"Address", shellLang) + QStringLiteral(": ") +
                         InLang(db.Streets[std::size_t(a.street)].Name, dataLang) + QStringLiteral(", ") +
                         InLang(a.num, dataLang);
        if (a.phones.empty()) continue;
        lines << LangText(a.phones.size() == 1 ? u"Phone" : u"Phones", shellLang) + QStringLiteral(":");
        for (const TPhone& p : a.phones) {
            const QString& place = InLang(p.place, dataLang);
            lines << QStringLiteral("  ") + p.phone +
                         (place.isEmpty() ? QString() : QStringLiteral(" - ") + place);
        }
    }
    lines << separator;
    return lines;
}

QStringList AllCardsText(const CityDb& db, const std::vector<int>& cardOrgs, int dataLang, int shellLang) {
    QStringList lines;
    for (auto it = cardOrgs.rbegin(); it != cardOrgs.rend(); ++it) {
        if (*it < 0) continue;
        lines << CardText(db, *it, dataLang, shellLang) << QString();
    }
    return lines;
}
