#include "MapColors.h"

#include "ObjectState.h"

#include "CityDb.h"

#include <algorithm>

TColor GetTypeColor(const TBuilding& b, const TColorScheme& s) {
    switch (b.tip) {
    case 1:
        return s.AdminBColor;
    case 2:
        return s.schoolColor;
    case 3:
        return s.liveColor;
    case 4:
        return s.kinderColor;
    case 5:
        return s.TradeColor;
    case 6:
    case 14:
    case 21:
        return s.garageColor;
    case 7:
        return s.HotelColor;
    case 8:
        return s.SportColor;
    case 9:
        return s.decorColor;
    case 10:
        return s.memorialColor;
    case 11:
        return s.MedicColor;
    case 12:
        return s.UniversityColor;
    case 13:
        return s.CultureColor;
    case 15:
        return s.ShopColor;
    case 16:
        return s.CommonColor;
    case 17:
        return s.ReligColor;
    case 18:
        return s.HotColor;
    case 19:
        return s.GasColor;
    case 20:
        return s.constructColor;
    case 22:
        return s.ReklamaColor;
    default:
        return s.otherColor;
    }
}

TColor GetTypeColor(const TField& f, const TColorScheme& s, TColor tooltipColor) {
    switch (f.typ) {
    case 0:
        return s.LivingColor;
    case 1:
        return s.NatureColor;
    case 2:
        return s.WaterColor;
    case 3:
        return s.adminColor;
    case 4:
        return s.PlantColor;
    case 5:
        return s.GardenColor;
    case 6:
        return s.IndividColor;
    case 7:
        return s.DeadColor;
    case 10:
        return s.RoadHumanColor;
    case 11:
        return s.ForestColor;
    case 12:
        return Darken(tooltipColor, 1);
    default:
        return 0xFFFFFF;
    }
}

TColor GetTypeColor(const TRoad& r, const TColorScheme& s) {
    switch (r.tip) {
    case rtHuman:
        return s.RoadHumanColor;
    case rtTram:
        return s.RoadTramColor;
    case rtIron:
        return s.RoadIronColor;
    case rtBridge:
        return s.BridgeColor;
    case rtWall:
        return s.WallColor;
    case rtWater:
        return s.WaterColor;
    default:
        return s.RoadColor;
    }
}

TColor GetTypeColor(const TBusStop& b, const TColorScheme& s) {
    switch (b.tip) {
    case bstTram:
        return s.TramStopColor;
    case bstRail:
        return s.RailStopColor;
    case bstMetro:
        return s.MetroStopColor;
    default:
        return s.BusStopColor;
    }
}

TColor GetTypeColor(const TBusWay& w, const TColorScheme& s) {
    return w.tip == ttTramway ? s.TramStopColor : s.BusStopColor;
}

void RouteColorPass(CityDb& db, const TColorScheme& s, int dataLang) {
    const TColor darker = Darken(s.BusWayColor, 50);
    QString kept;
    for (TBusWay& w : db.BusWays) {
        const QString num = dataLang < w.num.size() ? w.num[dataLang] : QString();
        if (num != kept)
            kept = num;
        else
            w.FoundColor = darker;
    }
}

namespace {

template <class T> void Settle(T& o) {
    o.color = o.IsFound ? o.FoundColor : o.NormalColor;
}

} // namespace

void RecolorObjects(CityDb& db, const TColorScheme& s, TColor tooltipColor) {
    TouchObjectState();
    for (TBuilding& b : db.Buildings) {
        b.NormalColor = GetTypeColor(b, s);
        b.FoundColor = s.BuildFoundColor;
        Settle(b);
    }
    // Stops and routes keep their type colours, as a load under this scheme would give them.
    for (TBusStop& b : db.BusStops) {
        b.NormalColor = GetTypeColor(b, s);
        b.FoundColor = s.StopFoundColor;
        Settle(b);
    }
    for (TBusWay& w : db.BusWays) {
        w.NormalColor = GetTypeColor(w, s);
        w.FoundColor = s.BusWayColor;
    }
    RouteColorPass(db, s);
    for (TBusWay& w : db.BusWays)
        Settle(w);
    for (TField& f : db.Fields)
        f.color = f.NormalColor = GetTypeColor(f, s, tooltipColor);
    for (TRoad& r : db.Roads)
        r.color = r.NormalColor = GetTypeColor(r, s);
    for (TStreet& st : db.Streets) {
        st.NormalColor = s.RoadColor;
        st.FoundColor = s.BuildFoundColor;
        Settle(st);
    }
}
