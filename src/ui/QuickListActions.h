// The quick-list buttons of the tool bar (taxis, emergency services, places to eat, cash machines):
// their organisations as cards, without a history entry.
#pragma once

#include "QuickLists.h"

class SearchHost;
class TCardList;

void ShowQuickList(TCardList& list, SearchHost& host, QuickList which);
