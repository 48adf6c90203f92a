#include "OrgOrder.h"

#include "CityDb.h"
#include "DirectoryRecords.h"
#include "OrgSearch.h"

void SortOrgsForDataLang(CityDb& db, int dataLang) {
    SortOrgs(db, dataLang);
    BuildEstateAgents(db, dataLang);
}
