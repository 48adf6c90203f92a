// The tool bar's quick lists (taxis, emergency services, places to eat, cash machines): organisations
// under fixed rubric names of the directory, and the captions of their result lists.
#pragma once

#include "OrgSearch.h"

enum class QuickList { Taxi, Emergency, Food, CashMachines };

struct QuickListResult {
    bool rubricFound = false; // the city has a rubric the list is made of
    Tai orgs;                 // positions in Orgs, ascending, each once
};

// Taxis and emergency services ignore the radius tool: they are wanted wherever they are.
QuickListResult FindQuickList(const OrgSearchIndex& index, QuickList which, const RadiusCircle& radius);
QString QuickListCaption(QuickList which, int shellLang);
