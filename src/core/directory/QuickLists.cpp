#include "QuickLists.h"

#include "TextTable.h"

#include <QStringView>
#include <algorithm>

namespace {

// Rubric names as the directory stores them; "begins with" is an exact prefix, letter case included.
bool RubricMatches(QuickList which, QStringView name) {
    switch (which) {
    case QuickList::Taxi:
        return name == u"Заказ легковых такси";
    case QuickList::Emergency:
        return name == u"Службы экстренного вызова";
    case QuickList::CashMachines:
        return name.startsWith(u"Банкоматы");
    case QuickList::Food:
        return name.startsWith(u"Кафе") || name.startsWith(u"Ресторан") || name.startsWith(u"Столовые");
    }
    return false;
}

} // namespace

QuickListResult FindQuickList(const OrgSearchIndex& index, QuickList which, const RadiusCircle& radius) {
    const CityDb& db = index.Db();
    // The rubrics the list is made of: every matching one for food, else the first.
    std::vector<char> wanted(std::size_t(db.RubricNames.size()), 0);
    QuickListResult result;
    for (qsizetype r = 0; r < db.RubricNames.size(); ++r) {
        if (!RubricMatches(which, db.RubricNames[r])) continue;
        wanted[std::size_t(r)] = 1;
        result.rubricFound = true;
        if (which != QuickList::Food) break;
    }
    if (!result.rubricFound) return result;
    const bool inRadius = which == QuickList::Food || which == QuickList::CashMachines;
    // One walk of Orgs: each organisation once, in Orgs order, however many of the rubrics it lists.
    for (std::size_t i = 0; i < db.Orgs.size(); ++i) {
        const Tai& area = db.Orgs[i].area;
        const bool listed = std::any_of(area.begin(), area.end(), [&](int r) {
            return r >= 0 && std::size_t(r) < wanted.size() && wanted[std::size_t(r)];
        });
        if (listed && (!inRadius || index.OrgInRadius(int(i), radius))) result.orgs.push_back(int(i));
    }
    return result;
}

QString QuickListCaption(QuickList which, int shellLang) {
    switch (which) {
    case QuickList::Taxi:
        return QStringLiteral(" ") + LangText(u"Taxi_", shellLang);
    case QuickList::Emergency:
        return QStringLiteral(" Службы экстренного вызова");
    case QuickList::CashMachines:
        return QStringLiteral(" Банкоматы");
    case QuickList::Food:
        return QStringLiteral(" ") + LangText(u"Food", shellLang);
    }
    return QString();
}
