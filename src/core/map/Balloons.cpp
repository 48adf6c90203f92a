#include "Balloons.h"

#include "Cards.h"
#include "CityDb.h"
#include "MapView.h"
#include "TextTable.h"

#include <algorithm>
#include <unordered_map>

namespace {

const QString FotoCaption = QStringLiteral("foto");
const QString BannerCaption = QStringLiteral("Banner");
const QString FoldValue = QStringLiteral(" ");
constexpr int RowStep = 15;

QString In(const Tas& set, int lang) {
    return set.value(lang);
}

bool OverButton(TMouseState s) {
    return s == msOverPin || s == msOverClose || s == msOverService || s == msOverFoto;
}

} // namespace

void AddProp(TProps& props, const QString& caption, const QString& value, int id) {
    if (value.isEmpty()) return;
    TProp p;
    p.caption.caption = caption;
    p.value.caption = value;
    p.value.value = QString::number(id);
    props.push_back(std::move(p));
}

// ---- Layout ----

void TInfo::Create(const BalloonEnv& env, TProps rows, float y, float x, int surfaceWidth, int orgId) {
    Closed = false;
    color = env.InfoColor;
    MouseState = msOut;
    InfoPoint = TCoord{x, y};
    ShowService = ShowFoto = false;
    int ax = 0, ay = 0;
    env.view->WorldToScreen(x, y, ax, ay);

    if (!rows.empty() && rows.front().caption.caption == BannerCaption) {
        banner = true;
        color = 0xFFFFFF;
        sel_org = rows.front().Tag();
        orgID = orgId;
        int w = 0, h = 0;
        if (env.loadBanner) imgFoto = env.loadBanner(sel_org, w, h);
        if (!imgFoto) w = h = 0;
        fotoWidth = w;
        fotoHeight = h;
        width = w + 8;
        height = h + 8;
        MinHeight = MaxHeight = height;
        dx = 0;
        dy = -height - 20;
        left = ax + dx;
        top = ay + dy;
        Lock = true;
        props = std::move(rows);
        for (Tbtn* b : {&btnPin, &btnClose, &btnService, &btnFoto})
            b->top = HiddenButtonTop;
        return;
    }

    banner = false;
    width = 0;
    MinWidth = 100;
    MinHeight = 0;
    auto foto = std::find_if(rows.begin(), rows.end(),
                             [](const TProp& p) { return p.caption.caption == FotoCaption; });
    if (foto != rows.end()) {
        int w = 0, h = 0;
        if (env.loadFoto) imgFoto = env.loadFoto(foto->value.caption.toInt(), w, h);
        if (imgFoto) {
            fotoWidth = w;
            fotoHeight = h;
            width = std::max(width, w + 10);
        }
        rows.erase(foto);
    }

    const TextMeasure& m = *env.measure;
    const int blank = m.Width(QStringLiteral(" "), false);
    int yy = 25;
    int count = int(rows.size());
    for (TProp& row : rows) {
        const bool title = row.Tag() == TitleTag;
        int w = 0;
        row.caption.width = 0;
        if (!row.caption.caption.isEmpty() && !title) {
            w = m.Width(row.caption.caption + QStringLiteral(": "), true);
            row.caption.width = w;
            row.caption.height = m.Height(true);
            row.caption.top = yy;
            row.caption.left = 8;
        }
        const int vw = m.Width(row.value.caption, false);
        w += vw;
        row.value.width = vw;
        row.value.height = m.Height(false) + 3;
        row.value.top = yy;
        row.value.left = row.caption.width + 8;
        if (title) {
            row.caption.caption.clear();
            row.value.top = 5;
            row.value.left = 8;
            yy -= RowStep;
            --count;
            w = vw + 51;
        }
        if (row.value.caption == FoldValue) MinHeight = yy + 2;
        qsizetype spaces = 0;
        while (spaces < row.value.caption.size() && row.value.caption[spaces] == u' ')
            ++spaces;
        if (spaces > 0) {
            row.value.caption.remove(0, spaces);
            row.value.left += int(spaces) * blank;
            // The link's hot area is the text that shows, not the indent.
            row.value.width = m.Width(row.value.caption, false);
        }
        width = std::max(width, w);
        yy += RowStep;
    }
    props = std::move(rows);

    width = std::max(width + 16, MinWidth);
    const int c = count * RowStep + 30;
    MaxHeight = std::max(MinHeight, c);
    if (MinHeight == 0) MinHeight = c;
    height = MinHeight;

    btnService.left = width - 51;
    btnService.top = Foldable() ? 3 : HiddenButtonTop;
    btnFoto.left = Foldable() ? width - 67 : width - 51;
    btnFoto.top = imgFoto ? 3 : HiddenButtonTop;
    fotoTop = height;
    btnPin.left = width - 35;
    btnClose.left = width - 19;

    dx = -15;
    dy = -height - 20;
    if (ax + dx + width > surfaceWidth) dx = 15 - width;
    if (ay + dy < 0) dy = 30;
    if (imgFoto && env.ShowFotoFirst) {
        ShowFoto = true;
        btnFoto.state = bsDown;
        height = MinHeight + fotoHeight + 10;
        dx += 30;
    }
    left = ax + dx;
    top = ay + dy;
}

void TInfo::Place(const MapView& v) {
    int ax = 0, ay = 0;
    v.WorldToScreen(InfoPoint.x, InfoPoint.y, ax, ay);
    left = ax + dx;
    top = ay + dy;
}

// ---- Pointer ----

bool TInfo::OnMouseMove(int x, int y, bool taken, bool bannerDrawn, bool& NeedRedraw) {
    const bool inside = Inside(x, y) && !taken;
    const TMouseState old = MouseState;
    const int oldOrg = sel_org;
    if (banner) {
        MouseState = inside && bannerDrawn ? msOverLink : msOut;
        if (MouseState != old) NeedRedraw = true;
        return inside && bannerDrawn;
    }
    auto rest = [this](Tbtn& b) {
        if (b.state == bsDown && &b != &btnService && &b != &btnFoto) return; // held by a press
        b.state = (&b == &btnService && ShowService) || (&b == &btnFoto && ShowFoto) ? bsDown : bsNormal;
    };
    if (!inside) {
        if (OverButton(old)) NeedRedraw = true;
        MouseState = msOut;
        for (Tbtn* b : {&btnPin, &btnClose, &btnService, &btnFoto})
            rest(*b);
        if (!Lock && (x < left - 20 || x > left + width + 20 || y < top - 58 || y > top + height + 40)) {
            Closed = true;
            NeedRedraw = true;
        }
        return false;
    }
    MouseState = msOver;
    const std::pair<Tbtn*, TMouseState> buttons[] = {
        {&btnPin, msOverPin}, {&btnClose, msOverClose}, {&btnService, msOverService}, {&btnFoto, msOverFoto}};
    for (auto [b, state] : buttons) {
        if (b->Contains(left, top, x, y)) {
            MouseState = state;
            if (b->state != bsDown) b->state = bsOver;
        } else {
            rest(*b);
        }
    }
    if (MouseState == msOver && (ShowService || !Foldable())) {
        for (const TProp& row : props) {
            const int tag = row.Tag();
            if (tag < 0) continue;
            const int l = left + row.value.left, t = top + row.value.top;
            if (l < x && x < l + row.value.width && t < y && y < t + row.value.height) {
                sel_org = tag;
                MouseState = msOverLink;
                break;
            }
        }
    }
    if (MouseState != old || sel_org != oldOrg) NeedRedraw = true;
    return true;
}

void TInfo::OnMouseDown(bool& NeedRedraw) {
    moved = false;
    const std::pair<Tbtn*, TMouseState> buttons[] = {
        {&btnPin, msOverPin}, {&btnClose, msOverClose}, {&btnService, msOverService}, {&btnFoto, msOverFoto}};
    for (auto [b, state] : buttons)
        if (MouseState == state) b->state = bsDown;
    if (MouseState != msOut) NeedRedraw = true;
}

Tbtn* TInfo::ButtonOf(TMouseState state) {
    switch (state) {
    case msOverPin:
        return &btnPin;
    case msOverClose:
        return &btnClose;
    case msOverService:
        return &btnService;
    case msOverFoto:
        return &btnFoto;
    default:
        return nullptr;
    }
}

int TInfo::OnMouseUp(int x, int y, bool& NeedRedraw) {
    // A button pressed and released elsewhere does nothing: the pointer slid off it while held.
    if (Tbtn* held = ButtonOf(MouseState); held && !held->Contains(left, top, x, y)) {
        MouseState = Inside(x, y) ? msOver : msOut;
        btnPin.state = btnClose.state = bsNormal;
        btnService.state = ShowService ? bsDown : bsNormal;
        btnFoto.state = ShowFoto ? bsDown : bsNormal;
        NeedRedraw = true;
        return -1;
    }
    if (MouseState == msOut) return -1;
    int open = -1;
    switch (MouseState) {
    case msOverPin:
        if (btnPin.state == bsDown) {
            Lock = !Lock;
            btnPin.state = bsOver;
        }
        break;
    case msOverService:
        ShowFoto = false;
        btnFoto.state = bsNormal;
        ShowService = !ShowService;
        if (ShowService) {
            height = MaxHeight;
        } else {
            btnService.state = bsOver;
            height = MinHeight;
        }
        break;
    case msOverFoto:
        ShowService = false;
        btnService.state = bsNormal;
        ShowFoto = !ShowFoto;
        if (ShowFoto) {
            height = MinHeight + fotoHeight + 10;
        } else {
            btnFoto.state = bsOver;
            height = MinHeight;
        }
        break;
    case msOverClose:
        if (btnClose.state == bsDown) Closed = true;
        break;
    case msOverLink:
        if (!moved) open = sel_org;
        break;
    default:
        break;
    }
    // A press that slid off its button does not leave it held.
    if (MouseState != msOverPin && btnPin.state == bsDown) btnPin.state = bsNormal;
    if (MouseState != msOverClose && btnClose.state == bsDown) btnClose.state = bsNormal;
    NeedRedraw = true;
    return open;
}

void TInfo::Move(int ddx, int ddy) {
    dx += ddx;
    dy += ddy;
    left += ddx;
    top += ddy;
    moved = true;
}

// ---- The list ----

bool TBalloonList::RemoveClosedBalloon() {
    auto it = std::find_if(Infos.begin(), Infos.end(), [](const TInfo& i) { return i.Closed; });
    if (it == Infos.end()) return false;
    Infos.erase(it);
    NeedRedraw = true;
    return true;
}

QString TBalloonList::MouseDown(int x, int y) {
    for (TInfo& info : Infos)
        if (!info.Lock && !info.Inside(x, y)) info.Closed = true;
    // Every balloon closed by the press goes at once: a closed one left on the map would still show.
    while (RemoveClosedBalloon()) {
    }
    // The topmost balloon under the pointer, as the hover pass offers it.
    for (int i = int(Infos.size()) - 1; i >= 0; --i) {
        TInfo& info = Infos[std::size_t(i)];
        if (!info.Inside(x, y) || (info.banner && !BannerDrawn())) continue;
        info.OnMouseMove(x, y, false, BannerDrawn(), NeedRedraw);
        info.OnMouseDown(NeedRedraw);
        std::swap(Infos[std::size_t(i)], Infos.back());
        NeedRedraw = true;
        const TMouseState s = Infos.back().MouseState;
        return s == msOver || s == msOverLink ? QStringLiteral("info_move") : QStringLiteral("info_btn");
    }
    return {};
}

bool TBalloonList::Hover(int x, int y, bool* overLink) {
    bool taken = false, link = false;
    for (int i = int(Infos.size()) - 1; i >= 0; --i) {
        TInfo& info = Infos[std::size_t(i)];
        if (info.OnMouseMove(x, y, taken, BannerDrawn(), NeedRedraw) && !taken) {
            taken = true;
            link = info.MouseState == msOverLink;
        }
    }
    RemoveClosedBalloon();
    if (overLink) *overLink = link;
    return taken;
}

void TBalloonList::Drag(int ddx, int ddy) {
    for (TInfo& info : Infos)
        if (info.MouseState == msOver || info.MouseState == msOverLink) info.Move(ddx, ddy);
    NeedRedraw = true;
}

int TBalloonList::MouseUp(bool buttonGesture, int x, int y) {
    int open = -1;
    for (TInfo& info : Infos) {
        const int org = info.OnMouseUp(x, y, NeedRedraw);
        if (open < 0) open = org;
    }
    if (buttonGesture) RemoveClosedBalloon();
    return open;
}

// ---- Rows per object ----

TProps BuildingProps(const CityDb& db, int building, int lang, int fotoIndex) {
    TProps props;
    if (building < 0 || building >= int(db.Buildings.size())) return props;
    const TBuilding& b = db.Buildings[std::size_t(building)];
    QString address;
    if (b.street >= 0 && b.street < int(db.Streets.size()))
        address = In(db.Streets[std::size_t(b.street)].Name, lang);
    const QString num = b.num.value(lang);
    if (!num.isEmpty()) address += address.isEmpty() ? num : QStringLiteral(", ") + num;
    if (!address.isEmpty() && !b.index.isEmpty()) address = b.index.get() + QStringLiteral(", ") + address;
    AddProp(props, LangText(u"Address"), address, PlainTag);
    if (b.tip < db.BuildingTypeNames.size())
        AddProp(props, {}, In(db.BuildingTypeNames[b.tip], lang), TitleTag);
    if (b.material < db.MaterialNames.size())
        AddProp(props, LangText(u"material"), In(db.MaterialNames[b.material], lang), PlainTag);
    if (b.levels > 0)
        AddProp(props, QStringLiteral("Максимальная этажность"), QString::number(b.levels), PlainTag);
    AddProp(props, LangText(u"Title"), b.caption.value(lang), PlainTag);
    if (fotoIndex >= 0) AddProp(props, FotoCaption, QString::number(fotoIndex), PlainTag);
    bool fold = false;
    for (std::size_t o = 0; o < db.Orgs.size(); ++o) {
        const auto& zone = db.Orgs[o].zone.get();
        if (std::find(zone.begin(), zone.end(), building) == zone.end()) continue;
        if (!fold) AddProp(props, LangText(u"InWorkArea"), FoldValue, PlainTag);
        fold = true;
        AddProp(props, {}, QStringLiteral("    ") + In(db.Orgs[o].caption, lang), int(o));
    }
    return props;
}

TProps StopProps(const CityDb& db, int stop, int lang) {
    TProps props;
    if (stop < 0 || stop >= int(db.BusStops.size())) return props;
    const TBusStop& s = db.BusStops[std::size_t(stop)];
    const bool station = s.tip == bstRail || s.tip == bstMetro;
    AddProp(props, {}, LangText(station ? u"Station" : u"Stop"), TitleTag);
    const QString caption = In(s.caption, lang);
    AddProp(props, {}, caption.isEmpty() ? FoldValue : caption, PlainTag);
    return props;
}

TProps POIProps(const CityDb& db, int poi) {
    TProps props;
    if (poi < 0 || poi >= int(db.POIs.size())) return props;
    const TPOI& p = db.POIs[std::size_t(poi)];
    AddProp(props, {}, POITypeName(p.tip), TitleTag);
    AddProp(props, {}, p.caption, PlainTag);
    return props;
}

TProps StreetProps(const CityDb& db, int street, int lang) {
    TProps props;
    if (street < 0 || street >= int(db.Streets.size())) return props;
    AddProp(props, LangText(u"Street"), In(db.Streets[std::size_t(street)].Name, lang), PlainTag);
    return props;
}

TProps AreaProps(const CityDb& db, int area, int district, int lang) {
    TProps props;
    const auto caption = [&](int i) {
        return i >= 0 && i < int(db.Fields.size()) ? In(db.Fields[std::size_t(i)].caption, lang) : QString();
    };
    const QString own = caption(area);
    AddProp(props, LangText(u"region"), caption(district), PlainTag);
    if (!own.isEmpty()) AddProp(props, {}, own, PlainTag);
    return props;
}

std::vector<TInfo> BannerBalloons(const CityDb& db, const BalloonEnv& env, int surfaceWidth) {
    std::vector<TInfo> out;
    std::unordered_map<std::int32_t, int> firstById;
    bool any = false;
    for (const TOrg& o : db.Orgs)
        any = any || (o.BuildBannerAdr != -1 && o.buildBanner);
    if (!any) return out;
    for (std::size_t i = 0; i < db.Buildings.size(); ++i)
        firstById.try_emplace(db.Buildings[i].id, int(i));
    for (std::size_t o = 0; o < db.Orgs.size(); ++o) {
        const TOrg& org = db.Orgs[o];
        if (org.BuildBannerAdr == -1 || !org.buildBanner) continue;
        auto it = firstById.find(org.BuildBannerAdr);
        if (it == firstById.end()) continue;
        const TBuilding& b = db.Buildings[std::size_t(it->second)];
        TProps rows;
        AddProp(rows, BannerCaption, FoldValue, int(o));
        TInfo info;
        info.Create(env, std::move(rows), b.y, b.x, surfaceWidth, org.id);
        // A picture that does not decode leaves no empty frame over the building.
        if (info.imgFoto) out.push_back(std::move(info));
    }
    return out;
}
