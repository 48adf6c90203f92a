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
    } else {
        // An empty list still says what it is and why it is empty.
        const RadiusCircle radius = host.Radius();
        const char16_t* why = !found.rubricFound ? u"QuickNoRubric"
                              : radius.Visible && !FindQuickList(*list.Index(), which, RadiusCircle{}).orgs.empty()
                                  ? u"QuickNotInRadius"
                                  : u"QuickNone";
        list.ShowEmptyList(QuickListCaption(which, CurrentShellLang()), LangText(why));
        if (found.rubricFound) host.RedrawMap(false);
    }
}
