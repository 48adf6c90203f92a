#include "OrgOrder.h"

#include "CityDb.h"
#include "DirectoryRecords.h"

#include <algorithm>

void SortOrgsForDataLang(CityDb& db, int dataLang) {
    if (db.Orgs.size() <= 1) return;
    std::stable_sort(db.Orgs.begin(), db.Orgs.end(), [dataLang](const TOrg& a, const TOrg& b) {
        if (a.place != b.place) return a.place;
        return QString::compare(a.caption.value(dataLang), b.caption.value(dataLang), Qt::CaseSensitive) < 0;
    });
    BuildEstateAgents(db, dataLang);
}
