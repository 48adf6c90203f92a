#include "ObjectState.h"

#include "CityDb.h"

#include <atomic>

namespace {
std::atomic<std::uint64_t> Version{1};
}

std::uint64_t ObjectStateVersion() { return Version.load(std::memory_order_relaxed); }
void TouchObjectState() { Version.fetch_add(1, std::memory_order_relaxed); }

void Found(TCommonObj& o) {
    TouchObjectState();
    o.IsFound = true;
    o.color = o.FoundColor;
}

void Lost(TCommonObj& o) {
    TouchObjectState();
    o.IsFound = false;
    o.color = o.NormalColor;
}

void Activate(TCommonObj& o, const TColorScheme& s) {
    TouchObjectState();
    o.color = s.ActiveColor;
}

void Deactivate(TCommonObj& o) {
    TouchObjectState();
    o.color = o.IsFound ? o.FoundColor : o.NormalColor;
}

void Found(TStreet& o) {
    Found(static_cast<TCommonObj&>(o));
    o.Visible = true;
}

void Lost(TStreet& o) {
    Lost(static_cast<TCommonObj&>(o));
    o.Visible = false;
}

void Activate(TStreet& o, const TColorScheme& s) {
    Activate(static_cast<TCommonObj&>(o), s);
    o.Visible = true;
}

void Deactivate(TStreet& o) {
    Deactivate(static_cast<TCommonObj&>(o));
    o.Visible = o.IsFound;
}

void Found(TBusWay& way, CityDb& db) {
    Found(static_cast<TCommonObj&>(way));
    for (const TWayPoint& p : way.way) {
        if (p.typ == 0) continue;
        for (TBusStop& s : db.BusStops)
            if (s.id_ == p.ids) {
                Found(s);
                break;
            }
    }
}

void ClearFound(CityDb& db) {
    for (TStreet& s : db.Streets) Lost(s);
    for (TBusStop& s : db.BusStops) Lost(s);
    for (TBuilding& b : db.Buildings) Lost(b);
    for (TBusWay& w : db.BusWays) Lost(w);
}
