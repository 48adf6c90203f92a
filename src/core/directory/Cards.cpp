#include "Cards.h"

#include "HouseNumbers.h"

#include "DirectoryRecords.h"
#include "MapView.h"
#include "ObjectState.h"
#include "TextTable.h"

#include <algorithm>
#include <cmath>

TColor DarkenCard(TColor c) {
    auto ch = [&](int shift) {
        const int v = int((c >> shift) & 0xFF);
        return TColor(v - int(std::lround(v * 8 / 100.0))) << shift;
    };
    return ch(0) | ch(8) | ch(16);
}

QStringList WrapText(const QString& text, const TextMeasure& m, bool bold, int W, int x) {
    QStringList lines;
    QString rest = text;
    while (!rest.isEmpty()) {
        const int room = lines.isEmpty() ? W - x - 5 : W - 10;
        if (m.Width(rest, bold) <= room) {
            lines << rest;
            break;
        }
        QString cand = rest;
        while (!cand.isEmpty() && m.Width(cand, bold) > room) {
            if (cand.endsWith(u'-')) cand.chop(1);
            qsizetype cut = -1;
            for (qsizetype i = cand.size() - 1; i >= 0; --i)
                if (cand[i] == u' ' || cand[i] == u'-') {
                    cut = i;
                    break;
                }
            const bool dash = cut >= 0 && cand[cut] == u'-';
            cand = cut < 0 ? QString() : cand.left(cut);
            if (dash) cand += u'-';
        }
        if (cand.isEmpty()) {
            // An empty first line lets the caller start afresh on a new line; a word wider than a whole
            // line takes a line of its own.
            if (lines.isEmpty() && room < W - 10) {
                lines << QString();
                continue;
            }
            qsizetype end = rest.indexOf(u' ');
            cand = end < 0 ? rest : rest.left(end);
        }
        lines << cand;
        rest.remove(0, cand.size());
        if (!rest.isEmpty() && (rest[0] == u' ' || rest[0] == u'-')) rest.remove(0, 1);
    }
    return lines;
}

namespace {

struct Layout {
    CardEnv& env;
    const TextMeasure& m;
    int W;
    int lh; // line height

    Ttxt& text(TBlock& b, int left, int top, const QString& caption, TColor color, bool bold = false,
               TLink link = TLink::none, const QString& value = QString()) {
        Ttxt t;
        t.left = left;
        t.top = top;
        t.caption = caption;
        t.width = m.Width(caption, bold);
        t.height = m.Height(bold);
        t.color = color;
        t.bold = bold;
        t.link = link;
        t.value = value;
        b.txt.push_back(t);
        return b.txt.back();
    }
    Tpic& pic(TBlock& b, int left, int top, int w, int h, const QString& name, TLink link = TLink::none,
              const QString& value = QString()) {
        Tpic p;
        p.left = left;
        p.top = top;
        p.width = w;
        p.height = h;
        p.name = name;
        p.link = link;
        p.value = value;
        b.pic.push_back(p);
        return b.pic.back();
    }
    static int bottom(const Ttxt& t) { return t.top + t.height; }
    static int right(const Ttxt& t) { return t.left + t.width; }

    // The title: bold up to the first ",", the rest regular on the same line.
    TBlock title(const QString& caption) {
        TBlock b;
        const qsizetype comma = caption.indexOf(u',');
        const QString heading = comma < 0 ? caption : caption.left(comma);
        const QStringList lines = WrapText(heading, m, true, W, 5);
        int lastTop = 3, lastRight = 5;
        for (int k = 0; k < lines.size(); ++k) {
            const Ttxt& t = text(b, 5, k * m.Height(true) + 3, lines[k], clNavy, true);
            lastTop = t.top;
            lastRight = right(t);
            b.height = bottom(t) + 3;
        }
        if (comma >= 0) {
            const QStringList more = WrapText(caption.mid(comma), m, false, W, lastRight);
            for (int k = 0; k < more.size(); ++k) {
                const Ttxt& t = text(b, k == 0 ? lastRight : 5, lastTop + k * lh, more[k], clNavy);
                b.height = bottom(t) + 3;
            }
        }
        b.MinHeight = b.MaxHeight = b.height;
        return b;
    }
};

QString Lang(const CardEnv& env, const char* key) {
    return LangText(QString::fromLatin1(key), env.shellLang);
}

// A time of a card's schedule rows; the end of the day reads 24:00.
QString CardTime(double t, bool end) {
    const QString s = ScheduleTimeText(t);
    return end && s == QLatin1String("23:59") ? QStringLiteral("24:00") : s;
}

void OrgDetails(Layout& L, TBlock& b, const TOrg& o, int orgPos) {
    CardEnv& env = L.env;
    const int W = L.W;
    int y = 0;
    const QString self = QString::number(orgPos);
    if (o.page && !o.page->Name.startsWith(QLatin1String("http"))) {
        L.pic(b, 5, y, 10, 14, QStringLiteral("imgPage"), TLink::page, self);
        L.text(b, 20, y, Lang(env, "Article"), clBlue, false, TLink::page, self);
        y += 14 + 5;
    }
    const QStringList& description = o.Description;
    if (!description.isEmpty()) {
        for (const QString& s : description) {
            const QStringList lines = WrapText(s, L.m, true, W, 5);
            for (int k = 0; k < lines.size(); ++k)
                L.text(b, 5, y + k * L.m.Height(true), lines[k], clBlack, true);
            if (!lines.isEmpty()) y = Layout::bottom(b.txt.back());
        }
        y += 5;
    }
    if (!o.area.empty()) {
        const Ttxt& label =
            L.text(b, 5, y, Lang(env, o.area.size() == 1 ? "WorkArea" : "WorkAreas") + u':', clMaroon);
        y = Layout::bottom(label);
        int x = 5;
        for (std::size_t i = 0; i < o.area.size(); ++i) {
            const int r = o.area[i];
            if (r < 0 || r >= env.db.RubricNames.size()) continue;
            const QStringList lines = WrapText(env.db.RubricNames[r], L.m, false, W, x);
            for (int k = 0; k < lines.size(); ++k) {
                if (k == 0 && lines[k].isEmpty()) {
                    y = Layout::bottom(b.txt.back());
                    x = 5;
                    continue;
                }
                const Ttxt& t =
                    L.text(b, x, y, lines[k], clMaroon, false, TLink::rubrika, QString::number(r));
                x += t.width;
                if (k + 1 < lines.size()) {
                    y = Layout::bottom(t);
                    x = 5;
                }
            }
            if (i + 1 < o.area.size()) {
                const Ttxt& c = L.text(b, Layout::right(b.txt.back()), y, QStringLiteral(","), clBlack);
                x += c.width + 5;
            }
            if (x > W - 5) {
                y = Layout::bottom(b.txt.back());
                x = 5;
            }
        }
        y = Layout::bottom(b.txt.back()) + 5;
    }

    // Contacts row: each item continues the row of the previous one unless it overflows. The web site
    // opens the row and has no overflow rule: a long address stays on its line, and the next item,
    // which cannot fit after it, starts a line of its own below.
    int x = 10, back = 0;
    bool started = false;
    auto item = [&](const QString& picName, int pw, int ph, int picDy, int textDx, const QString& caption,
                    TLink link, const QString& value, bool moveBack, bool marksRow, bool wraps,
                    int overflowPicDy, int advanceFit, int advanceOver) {
        if (moveBack) y -= back;
        Tpic& p = L.pic(b, x, y + picDy, pw, ph, picName, link, value);
        Ttxt& t = L.text(b, x + textDx, y, caption, clBlue, false, link, value);
        if (wraps && W < t.width + x + 26) {
            t.top = y + 20;
            t.left = 30;
            p.top = y + overflowPicDy;
            p.left = 10;
            y += advanceOver;
        } else {
            y += advanceFit;
        }
        if (marksRow) started = true;
        back = ph + 5;
        x = Layout::right(t) + 15;
    };
    if (!o.website.isEmpty())
        item(QStringLiteral("imgWWW"), 15, 16, 0, 20, o.website, TLink::site, o.website, false, true, false,
             0, 16 + 5, 16 + 5);
    for (const TSoc& s : o.socnet) {
        const bool known = s.id < env.db.SocNets.size();
        const QString link = (known ? env.db.SocNets[s.id].prefix : QString()) + s.url;
        item(QStringLiteral("imgSocnet%1").arg(s.id), 16, 16, 0, 20,
             known ? env.db.SocNets[s.id].caption : s.url, TLink::snet, link, started, true, true, 20,
             16 + 5, 16 + 26);
    }
    if (!o.email.isEmpty())
        item(QStringLiteral("imgMail"), 16, 10, 3, 21, o.email, TLink::email, o.email, started, true, true,
             23, 10 + 5, 10 + 26);
    if (!o.icq.isEmpty())
        item(QStringLiteral("imgICQ"), 15, 15, 0, 21, o.icq, TLink::icq, o.icq, started, false, true, 20,
             15 + 5, 15 + 5 + 20);
    if (!o.skype.isEmpty())
        item(QStringLiteral("imgSkype"), 15, 15, 0, 21, o.skype, TLink::skype, o.skype,
             started || !o.icq.isEmpty(), false, true, 20, 15 + 5, 15 + 5 + 20);
    if (started) y += 5;

    if (!o.zone.empty()) {
        L.pic(b, 5, y, 23, 16, QStringLiteral("imgMap"), TLink::zone, self);
        L.text(b, 32, y, Lang(env, "ShowWorkMap"), clBlue, false, TLink::zone, self);
        y += 16 + 5;
    }
    b.MinHeight = b.MaxHeight = y;
    b.height = 0;
}

void ScheduleRows(Layout& L, TBlock& b, int y, const TSchedule& s, bool breaks) {
    for (int c = 1; c <= 7; ++c) {
        const TDaySchedule& d = s[std::size_t(c - 1)];
        const double begin = breaks ? d.BeginDiner : d.BeginWork, end = breaks ? d.EndDiner : d.EndWork;
        if (begin == end) continue;
        for (int row = 0; row < 2; ++row) {
            const QString t = CardTime(row == 0 ? begin : end, row == 1);
            Ttxt& txt = L.text(b, 0, y + row * L.lh, t, clBlack);
            txt.left = c * 37 + 9 - txt.width;
        }
    }
}

TBlock AddressBlock(Layout& L, TOrg& o, std::size_t i, int BuildID) {
    CardEnv& env = L.env;
    const int W = L.W, lh = L.lh;
    const TAdr& a = o.adrs[i];
    TBlock b;
    int y = 6;
    if (i > 0) b.hr.push_back({5, 0, W - 10, 1, clSilver});
    const QString& num = InLang(a.num, env.dataLang);
    const QString& nomap = InLang(a.nomap_adr, env.dataLang);
    const bool hasLine = !num.isEmpty() || a.id != -1 || !nomap.isEmpty();
    if (hasLine) {
        L.pic(b, 10, y, 16, 16, QStringLiteral("imgBuild"));
        int picHeight = 16;
        const bool details = !a.fax.isEmpty() || !a.phones.empty() || a.schedule != -1;
        if (details && (i > 0 || (BuildID == -1 && o.adrs.size() >= 2))) {
            L.pic(b, W - 21, y, 17, 20, QStringLiteral("imgCollapse"), TLink::collapse_block);
            picHeight = 20;
        }
        QString caption;
        TLink link = TLink::none;
        if (!nomap.isEmpty()) {
            caption = nomap;
        } else {
            const bool street = a.street >= 0 && a.street < int(env.db.Streets.size());
            const QString name =
                street ? InLang(env.db.Streets[std::size_t(a.street)].Name, env.dataLang) : QString();
            const QString tail = street && !num.isEmpty() ? num : Lang(env, "ShowOnMap");
            caption = street ? name + QStringLiteral(", ") + tail : tail;
            link = TLink::adr;
            if (a.id >= 0 && env.marks) {
                const int pos = env.index.BuildingById(a.id);
                if (pos >= 0 &&
                    ((BuildID == -1 && BuildingInRadius(env.db.Buildings[std::size_t(pos)], env.radius)) ||
                     a.id == BuildID))
                    env.marks->AddFlag(pos);
            }
        }
        const int lineTop = y;
        Ttxt& t = L.text(b, 30, y, caption, clBlue, false, link, QString::number(a.id));
        if (link == TLink::adr) {
            t.street = a.street >= 0 && a.street < int(env.db.Streets.size()) ? a.street : -1;
            t.number = num;
        }
        y += picHeight + 5;
        const int x = Layout::right(t) + 5;
        const QString& place = InLang(a.place, env.dataLang);
        if (!place.isEmpty()) {
            Ttxt& p = L.text(b, x, lineTop, u'(' + place + u')', clBlue);
            if (x + p.width + 5 > W - 15) {
                p.left = 30;
                p.top = lineTop + 15;
                y += 10;
            }
        }
    }
    b.MinHeight = y;
    if (!a.fax.isEmpty()) {
        const Ttxt& t = L.text(b, 0, y, a.fax, clGreen, true);
        b.txt.back().left = W - t.width - 10;
        L.pic(b, W - t.width - 31, y, 16, 13, QStringLiteral("imgFax"));
        y += 13 + 5;
    }
    for (const TPhone& p : a.phones) {
        L.text(b, 10, y + 1, InLang(p.place, env.dataLang), clGray, false, TLink::none,
               QStringLiteral("phonePlace"));
        Ttxt& t = L.text(b, 0, y + 1, p.phone, clGreen, true, TLink::none, QStringLiteral("phone"));
        t.left = W - t.width - 10;
        const int pw = t.width;
        if (p.cell) {
            L.pic(b, W - pw - 24, y, 9, 16, QStringLiteral("imgCell"));
            y += 16 + 5;
        } else {
            L.pic(b, W - pw - 31, y + 1, 16, 14, QStringLiteral("imgPhone"));
            y += 14 + 5;
        }
    }
    if (a.schedule >= 0 && std::size_t(a.schedule) < env.db.Schedules.size()) {
        const TSchedule& s = env.db.Schedules[std::size_t(a.schedule)];
        L.pic(b, 10, y, 17, 17, QStringLiteral("imgClock"));
        const Ttxt& head = L.text(b, 33, y + 1, Lang(env, "Schedule") + u':', clGreen);
        y += head.height + 6;
        const Ttxt& days = L.text(b, 10, y, Lang(env, "Days"), clBlue, true);
        y += days.height + 5;
        if (IsRoundTheClock(s)) {
            Ttxt& t = L.text(b, 0, y, Lang(env, "24"), clBlack);
            t.left = (W - t.width) / 2;
        } else {
            ScheduleRows(L, b, y, s, false);
            y += lh;
        }
        y += b.txt.back().height + 2;
        b.hr.push_back({20, y, W - 40, 1, clSilver});
        y += 2;
        const bool noBreak =
            std::all_of(s.begin(), s.end(), [](const TDaySchedule& d) { return d.BeginDiner == d.EndDiner; });
        if (noBreak) {
            Ttxt& t = L.text(b, 0, y, Lang(env, "NoBreak"), clBlack);
            t.left = (W - t.width) / 2;
            y += t.height + 5;
        } else {
            ScheduleRows(L, b, y, s, true);
            y += lh;
            y += lh + 5;
        }
    }
    if (!a.money.empty()) {
        // This label is Russian in both interface languages.
        const Ttxt& label = L.text(b, 10, y + 1, QStringLiteral("Способы оплаты:"), clGreen);
        y += label.height + 6;
        for (std::uint8_t k : a.money) {
            L.pic(b, 10, y, 16, 16, QStringLiteral("imgMoney%1").arg(k));
            const QString caption = k < env.db.MoneyKinds.size() ? env.db.MoneyKinds[k].caption : QString();
            const Ttxt& t = L.text(b, 33, y + 1, caption, clBlack);
            y += t.height + 6;
        }
        y += 2;
    }
    b.MaxHeight = y;
    if (o.adrs.size() == 1 || (i == 0 && BuildID != -1)) b.MinHeight = b.MaxHeight;
    b.height = 0;
    return b;
}

void RouteStops(Layout& L, TBlock& b, int& y, const TBusWay& way, int BuildID) {
    for (const TWayPoint& p : way.way) {
        if (p.typ != 1) continue;
        const int stop = L.env.index.StopById(p.ids);
        if (stop < 0) continue;
        const QString caption = QStringLiteral("- \"") +
                                InLang(L.env.db.BusStops[std::size_t(stop)].caption, L.env.dataLang) + u'"';
        const Ttxt& t =
            L.text(b, 20, y, caption, clBlue, int(p.ids) == BuildID, TLink::stop, QString::number(p.ids));
        y = Layout::bottom(t) + 5;
    }
}

int BuildingOf(const CardEnv& env, const TAdr& a) {
    return a.id >= 0 ? env.index.BuildingById(a.id) : -1;
}

} // namespace

TCard TCard::Create(const QString& tip, int BuildID, int num, int id, CardEnv& env) {
    TCard c;
    Layout L{env, env.measure, env.W, env.measure.Height(false)};
    if (tip == QLatin1String("org") || tip == QLatin1String("first")) {
        if (id < 0 || std::size_t(id) >= env.db.Orgs.size()) return c;
        TOrg& o = env.db.Orgs[std::size_t(id)];
        c.org = id;
        c.first = tip == QLatin1String("first");
        if (num % 2 == 0) c.color = DarkenCard(c.color);
        if (o.mark) c.color = CardMarkColor;

        TBlock title = L.title(InLang(o.caption, env.dataLang));
        if (c.first) title.height = title.MinHeight = 0;
        c.blocks.push_back(std::move(title));

        TBlock banner;
        if (o.listBanner && env.loadBanner) {
            int w = 0, h = 0;
            if (auto img = env.loadBanner(*o.listBanner, w, h)) {
                Tpic& p = L.pic(banner, 10, 1, w, h, QString());
                p.img = img;
                banner.height = banner.MinHeight = banner.MaxHeight = h + 5;
            }
        }
        banner.top = c.blocks[0].height;
        c.blocks.push_back(std::move(banner));

        TBlock details;
        OrgDetails(L, details, o, id);
        c.blocks.push_back(std::move(details));

        if (BuildID != -1) {
            auto it =
                std::find_if(o.adrs.begin(), o.adrs.end(), [&](const TAdr& a) { return a.id == BuildID; });
            if (it != o.adrs.end()) std::rotate(o.adrs.begin(), it, it + 1);
        }
        for (std::size_t i = 0; i < o.adrs.size(); ++i)
            c.blocks.push_back(AddressBlock(L, o, i, BuildID));
    } else if (tip == QLatin1String("BusWay")) {
        if (id < 0 || std::size_t(id) >= env.db.BusWays.size()) return c;
        c.route = id;
        if (num % 2 == 0) c.color = DarkenCard(c.color);
        const TBusWay& way = env.db.BusWays[std::size_t(id)];
        const QString number = InLang(way.num, env.dataLang);
        const QString kind = way.tip < env.db.TransportTypeNames.size()
                                 ? InLang(env.db.TransportTypeNames[way.tip], env.dataLang)
                                 : QString();
        c.blocks.push_back(L.title(number + QStringLiteral(", ") + kind.toLower()));
        TBlock empty;
        empty.top = c.blocks[0].height;
        c.blocks.push_back(empty);
        TBlock b;
        L.text(b, 20, 2, Lang(env, "ShowWay"), clBlue, false, TLink::busway, number);
        L.pic(b, env.W - 21, 0, 17, 20, QStringLiteral("imgCollapse"), TLink::collapse_block);
        b.MinHeight = 25;
        int y = 25;
        const Ttxt& label = L.text(b, 10, y, Lang(env, "StopList"), clMaroon);
        y = Layout::bottom(label) + 5;
        RouteStops(L, b, y, way, BuildID);
        if (BuildID == -1)
            for (std::size_t k = std::size_t(id) + 1; k < env.db.BusWays.size(); ++k)
                if (env.db.BusWays[k].num == way.num) {
                    RouteStops(L, b, y, env.db.BusWays[k], BuildID);
                    break;
                }
        b.MaxHeight = y;
        b.height = 0;
        c.blocks.push_back(std::move(b));
    } else {
        return c;
    }
    c.height = 0;
    for (const TBlock& b : c.blocks)
        c.height += b.height;
    return c;
}

TCard TCard::Heading(const QString& caption, int num, CardEnv& env) {
    TCard c;
    Layout L{env, env.measure, env.W, env.measure.Height(false)};
    if (num % 2 == 0) c.color = DarkenCard(c.color);
    c.blocks.push_back(L.title(caption));
    c.height = c.blocks[0].height;
    return c;
}

void TCard::Restack() {
    int t = 0;
    height = 0;
    for (TBlock& b : blocks) {
        b.top = t;
        t += b.height;
        height += b.height;
    }
}

bool TCard::Expand(CardEnv& env) {
    const bool was = Collapsed;
    Collapsed = false;
    for (std::size_t k = 0; k < blocks.size(); ++k)
        blocks[k].height = k == 0 ? blocks[k].MaxHeight : blocks[k].MinHeight;
    Restack();
    if (org < 0) return false;
    TOrg& o = env.db.Orgs[std::size_t(org)];
    // Marks follow the state, so expanding an expanded card does not count its buildings twice.
    if (was && env.marks)
        for (const TAdr& a : o.adrs) {
            const int b = BuildingOf(env, a);
            if (b < 0) continue;
            if (env.mode == TCardMarkMode::search) {
                const int m = env.marks->GetMark(b);
                if (m >= 0) env.marks->mark[std::size_t(m)].ChangeToYellow();
            } else {
                env.marks->AddFlag(b);
            }
        }
    return o.page && !o.page->Name.startsWith(QLatin1String("http")) && !env.ExpandAllRunning;
}

void TCard::Collapse(CardEnv& env) {
    const bool was = Collapsed;
    Collapsed = true;
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        TBlock& b = blocks[k];
        b.height = k < 2 ? b.MinHeight : 0;
        for (Tpic& p : b.pic)
            if (p.link == TLink::expand_block) {
                p.link = TLink::collapse_block;
                p.name = QStringLiteral("imgCollapse");
            }
    }
    Restack();
    if (org < 0 || was || !env.marks) return;
    for (const TAdr& a : env.db.Orgs[std::size_t(org)].adrs) {
        const int b = BuildingOf(env, a);
        if (b < 0) continue;
        if (env.mode == TCardMarkMode::search) {
            const int m = env.marks->GetMark(b);
            if (m >= 0) env.marks->mark[std::size_t(m)].ChangeToRed();
        } else {
            env.marks->RemoveFlag(b);
        }
    }
}

void TCard::ToggleBlock(std::size_t k, std::size_t p) {
    TBlock& b = blocks[k];
    Tpic& pic = b.pic[p];
    const bool open = pic.link == TLink::collapse_block;
    const int diff = (open ? b.MaxHeight : b.MinHeight) - b.height;
    b.height += diff;
    for (std::size_t j = k + 1; j < blocks.size(); ++j)
        blocks[j].top += diff;
    height += diff;
    pic.link = open ? TLink::expand_block : TLink::collapse_block;
    pic.name = open ? QStringLiteral("imgExpand") : QStringLiteral("imgCollapse");
}

void TCard::OpenBlocks() {
    for (std::size_t k = 0; k < blocks.size(); ++k)
        for (std::size_t p = 0; p < blocks[k].pic.size(); ++p)
            if (blocks[k].pic[p].link == TLink::collapse_block) ToggleBlock(k, p);
}

namespace {
bool Inside(int x, int y, int left, int top, int width, int height) {
    return left < x && x < left + width && top < y && y < top + height;
}
} // namespace

bool TCard::OnMouseMove(int x, int y, HoverEffects& fx) {
    for (TBlock& b : blocks) {
        if (b.height == 0) continue;
        const int T = top + b.top;
        bool overLink = false;
        for (std::size_t i = 0; i < b.txt.size(); ++i) {
            Ttxt& t = b.txt[i];
            const bool in = t.top < b.height && Inside(x, y, t.left, T + t.top, t.width, t.height);
            if (in && t.link != TLink::none) overLink = true;
            if (in == t.light) continue;
            fx.listRedraw = true;
            if (t.link == TLink::stop) {
                t.light = in;
                t.color = in ? clRed : clBlue;
                fx.stops.push_back({t.value.toInt(), in});
                fx.mapRedraw = true;
            } else if (t.value == QLatin1String("phonePlace")) {
                t.light = in;
                t.color = in ? clRed : clGray;
                if (i + 1 < b.txt.size()) {
                    b.txt[i + 1].light = in;
                    b.txt[i + 1].color = in ? clRed : clGreen;
                }
            } else if (t.value == QLatin1String("phone")) {
                if (in) {
                    t.light = true;
                    t.color = clRed;
                    if (i > 0) {
                        b.txt[i - 1].light = true;
                        b.txt[i - 1].color = clRed;
                    }
                }
            } else {
                t.light = in;
            }
        }
        if (overLink) return true;
        for (const Tpic& p : b.pic)
            if (p.link != TLink::none && p.top < b.height &&
                Inside(x, y, p.left, T + p.top, p.width, p.height))
                return true;
    }
    return false;
}

CardClick TCard::OnClick(int x, int y, CardEnv& env) {
    CardClick c;
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        TBlock& b = blocks[k];
        if (b.height == 0) continue;
        const int T = top + b.top;
        for (const Ttxt& t : b.txt) {
            if (t.link == TLink::none || t.top >= b.height ||
                !Inside(x, y, t.left, T + t.top, t.width, t.height))
                continue;
            c.link = t.link;
            c.value = t.value;
            c.caption = t.caption;
            c.street = t.street;
            c.number = t.number;
            switch (t.link) {
            case TLink::site:
                c.target = QStringLiteral("http://") + t.caption;
                break;
            case TLink::email:
                c.target = QStringLiteral("mailto:") + t.caption;
                break;
            case TLink::skype:
                c.target = QStringLiteral("skype:") + t.caption;
                break;
            case TLink::icq:
                c.value = t.caption;
                break;
            case TLink::snet:
                c.target = t.value;
                break;
            case TLink::rubrika:
                c.rubric = t.value.toInt();
                break;
            default:
                break;
            }
            return c;
        }
        for (std::size_t p = 0; p < b.pic.size(); ++p) {
            const Tpic& pic = b.pic[p];
            if (pic.link == TLink::none || pic.top >= b.height ||
                !Inside(x, y, pic.left, T + pic.top, pic.width, pic.height))
                continue;
            c.link = pic.link;
            c.value = pic.value;
            switch (pic.link) {
            case TLink::site:
                c.target = QStringLiteral("http://") + pic.value;
                break;
            case TLink::email:
                c.target = QStringLiteral("mailto:") + pic.value;
                break;
            case TLink::skype:
                c.target = QStringLiteral("skype:") + pic.value;
                break;
            case TLink::snet:
                c.target = pic.value;
                break;
            case TLink::collapse_block:
            case TLink::expand_block:
                ToggleBlock(k, p);
                c.link = TLink::none;
                break;
            default:
                break;
            }
            return c;
        }
    }
    c.toggled = true;
    if (Collapsed) {
        if (Expand(env)) {
            c.openPage = true;
            c.value = QString::number(org);
        }
    } else {
        Collapse(env);
    }
    return c;
}

// ---------------------------------------------------------------------------------------------

void TCards::Add(const QString& tip, int id, int BuildID, CardEnv& env) {
    TCard c = TCard::Create(tip, BuildID, int(crds.size()), id, env);
    c.top = height;
    height += c.height;
    crds.push_back(std::move(c));
}

void TCards::Clear() {
    crds.clear();
    height = 0;
}

int TCards::OnClick(int x, int y, CardEnv& env, CardClick& click) {
    for (std::size_t i = 0; i < crds.size(); ++i) {
        TCard& c = crds[i];
        if (!(c.top < y && y < c.top + c.height)) continue;
        const int before = c.height;
        click = c.OnClick(x, y, env);
        if (click.rubric >= 0) return -1;
        const int diff = c.height - before;
        height += diff;
        for (std::size_t j = i + 1; j < crds.size(); ++j)
            crds[j].top += diff;
        return int(i);
    }
    return -1;
}

bool TCards::OnMouseMove(int x, int y, HoverEffects& fx) {
    bool result = false;
    for (TCard& c : crds) {
        if (c.top < y && y < c.top + c.height) {
            if (!c.Focused) fx.listRedraw = true;
            c.Focused = true;
            result = c.OnMouseMove(x, y, fx);
        } else {
            // A card the pointer left lets go of its lit texts (and of the stops they highlight).
            if (c.Focused) {
                fx.listRedraw = true;
                c.OnMouseMove(x, y, fx);
            }
            c.Focused = false;
        }
    }
    return result;
}

bool TCards::MouseLeave() {
    bool any = false;
    for (TCard& c : crds) {
        any = any || c.Focused;
        c.Focused = false;
    }
    return any;
}

void TCards::CollapseAll(CardEnv& env) {
    for (TCard& c : crds)
        c.Collapse(env);
    Restack();
}

void TCards::ExpandAll(CardEnv& env) {
    const bool running = env.ExpandAllRunning;
    env.ExpandAllRunning = true;
    for (TCard& c : crds)
        c.Expand(env);
    env.ExpandAllRunning = running;
    Restack();
}

void TCards::Restack() {
    if (crds.empty()) return;
    for (std::size_t i = 1; i < crds.size(); ++i)
        crds[i].top = crds[i - 1].top + crds[i - 1].height;
    height = crds.back().top + crds.back().height;
}

int TCards::ShowFullCard(int k, int P, int H) const {
    if (k < 0 || std::size_t(k) >= crds.size()) return P;
    const int T = crds[std::size_t(k)].top, h = crds[std::size_t(k)].height;
    if (T + h - P > H && T - P > 0) return P + std::min(T - P, T + h - P - H);
    if (T - P < 0) return T;
    return P;
}

int TCards::CardAt(int y) const {
    for (std::size_t i = 0; i < crds.size(); ++i)
        if (crds[i].top <= y && y <= crds[i].top + crds[i].height) return int(i);
    return -1;
}

// ---------------------------------------------------------------------------------------------

std::vector<int> AddressBuildings(const OrgSearchIndex& index, int street, const QString& number, int id) {
    if (id >= 1) {
        const int b = index.BuildingById(id);
        return b >= 0 ? std::vector<int>{b} : std::vector<int>{};
    }
    if (street < 0 || number.isEmpty()) return {};
    std::vector<int> found = index.FindBuildings(street, number);
    // The index holds one spelling of each number; the map labels it in the data language shown, and
    // other programs may type Latin letters for Cyrillic ones.
    if (found.empty()) found = BuildingsByNumberInAnyLang(index.Db(), street, number);
    return found;
}

bool AddressTarget(CityDb& db, const std::vector<int>& buildings, int mapWidth, float fullScale,
                   MapTarget& t) {
    if (buildings.empty()) return false;
    ClearFound(db);
    t.selected = buildings.front();
    TCoord centre = BuildingCentre(db.Buildings[std::size_t(buildings.front())]);
    float minX = BoxMinStart, maxX = BoxMaxStart, minY = BoxMinStart, maxY = BoxMaxStart;
    for (int i : buildings) {
        TBuilding& b = db.Buildings[std::size_t(i)];
        Found(b);
        const TCoord c = BuildingCentre(b);
        centre = {(centre.x + c.x) / 2, (centre.y + c.y) / 2};
        minX = std::min(minX, b.minX_);
        maxX = std::max(maxX, b.maxX_3d);
        maxY = std::max(maxY, b.maxY_);
        minY = std::min(minY, b.minY_3d);
    }
    const float extent = std::max(maxX - minX, maxY - minY);
    float scale = extent / (float(mapWidth) / 3);
    scale = std::min(std::max(scale, 0.5f), fullScale);
    t.x = centre.x;
    t.y = centre.y;
    t.scale = scale;
    return true;
}

bool WorkZoneTarget(CityDb& db, int org, int mapWidth, int mapHeight, float fullScale, MapTarget& t) {
    if (org < 0 || std::size_t(org) >= db.Orgs.size()) return false;
    std::vector<int> zone;
    for (int b : db.Orgs[std::size_t(org)].zone)
        if (b >= 0 && std::size_t(b) < db.Buildings.size()) zone.push_back(b);
    if (zone.empty()) return false;
    ClearFound(db);
    t.selected = zone.front();
    float minX = BoxMinStart, maxX = BoxMaxStart, minY = BoxMinStart, maxY = BoxMaxStart;
    for (int i : zone) {
        TBuilding& b = db.Buildings[std::size_t(i)];
        Found(b);
        minX = std::min(minX, b.minX_);
        maxX = std::max(maxX, b.maxX_3d);
        minY = std::min(minY, b.minY_3d);
        maxY = std::max(maxY, b.maxY_);
    }
    // The zone keeps a margin of a tenth of the map on every side, so that it does not touch the edges. A
    // zone of one small building would ask for a closer view than the map has, and "zoom in" would then
    // zoom out: the scale stays within the view's limits.
    const ZoomTarget fit = FitBox(minX, minY, maxX, maxY, mapWidth, mapHeight, 0.8f, MapView::MinScale, fullScale);
    t.x = fit.x;
    t.y = fit.y;
    t.scale = fit.scale;
    return true;
}

Tai OrgsInBuilding(const CityDb& db, int building) {
    Tai out;
    if (building < 0 || std::size_t(building) >= db.Buildings.size()) return out;
    const int id = db.Buildings[std::size_t(building)].id;
    for (std::size_t i = 0; i < db.Orgs.size(); ++i)
        for (const TAdr& a : db.Orgs[i].adrs)
            if (a.id == id) out.push_back(int(i));
    return out;
}

Tai OrgsOfRubric(const OrgSearchIndex& index, int rubric, const RadiusCircle& radius,
                 const std::function<void(int)>& progress) {
    Tai out;
    const CityDb& db = index.Db();
    for (std::size_t i = 0; i < db.Orgs.size(); ++i)
        for (int r : db.Orgs[i].area)
            if (r == rubric && index.OrgInRadius(int(i), radius)) {
                out.push_back(int(i));
                if (progress) progress(int(out.size()));
            }
    return out;
}

Tai StartList(const CityDb& db, const std::function<int(int)>& random) {
    Tai out;
    for (std::size_t i = 0; i < db.Orgs.size(); ++i)
        if (db.Orgs[i].firstBanner) out.push_back(int(i));
    if (out.empty()) return out;
    const int n = int(out.size());
    for (int k = 0; k < 101; ++k) {
        const int a = random(n), b = random(n);
        std::swap(out[std::size_t(a)], out[std::size_t(b)]);
    }
    return out;
}
