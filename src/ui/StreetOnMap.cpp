#include "StreetOnMap.h"

#include "BuildingSearch.h"
#include "ObjectState.h"
#include "SearchHost.h"
#include "TCardList.h"

bool ShowStreetOnMap(TCardList& list, SearchHost& host, int street) {
    CityDb* db = list.Db();
    if (!db || street < 0 || std::size_t(street) >= db->Streets.size()) return false;
    ClearFound(*db);
    TStreet& s = db->Streets[std::size_t(street)];
    if (s.shape.empty()) {
        host.RedrawMap(false);
        return false;
    }
    Found(s);
    host.SelectStreet(street);
    const QSize map = host.MapSize();
    const ZoomTarget t = StreetTarget(s, map.width(), map.height(), host.FullScale());
    if (host.ResultPanelVisible()) host.FocusDefocus();
    host.StopBlink();
    host.FlyTo(t.x, t.y, t.scale);
    if (host.InBackground()) return true;
    list.Display().ShownObjects = {otStreet, {street}};
    host.AllowMapMotion();
    host.StartBlink();
    return true;
}
