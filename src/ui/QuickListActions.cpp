#include "QuickListActions.h"

#include "SearchHost.h"
#include "TCardList.h"
#include "TextTable.h"

void ShowQuickList(TCardList& list, SearchHost& host, QuickList which) {
    host.HideFilterList();
    if (!list.Db() || !list.Index()) return;
    list.ClearResults();
    const QuickListResult found = FindQuickList(*list.Index(), which, host.Radius());
    if (!found.orgs.empty()) {
        list.ShowOrgCards(QuickListCaption(which, CurrentShellLang()), found.orgs, -1);
        if (host.ResultPanelVisible()) host.FocusDefocus();
    } else if (found.rubricFound) {
        host.RedrawMap(false);
    }
}
