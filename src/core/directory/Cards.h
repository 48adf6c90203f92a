// Result cards as data: the layout of an organisation or route card into blocks of texts, pictures and
// rules, expanding and collapsing, hover and click hit tests, the card list's stacking, and the history
// of result lists. Texts are measured through TextMeasure; painting lives in render (CardPainter.h).
#pragma once

#include "MapDisplay.h"
#include "OrgSearch.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QImage;

enum class TLink : std::uint8_t {
    none,
    site,
    email,
    rubrika,
    page,
    adr,
    busway,
    zone,
    collapse_block,
    expand_block,
    icq,
    skype,
    stop,
    snet
};

struct Ttxt {
    int left = 0, top = 0, width = 0, height = 0;
    QString caption;
    TColor color = 0;
    bool bold = false;
    TLink link = TLink::none;
    QString value;
    bool light = false;
    // An address link's street (position in Streets) and house number, for the building lookup.
    int street = -1;
    QString number;
};

struct Tpic {
    int left = 0, top = 0, width = 0, height = 0;
    QString name;                // a named picture (CardPainter draws it)
    std::shared_ptr<QImage> img; // a picture of the card's own (the banner)
    TLink link = TLink::none;
    QString value;
};

struct Thr {
    int left = 0, top = 0, width = 0, height = 1;
    TColor color = 0;
};

struct TBlock {
    int top = 0, height = 0, MinHeight = 0, MaxHeight = 0;
    std::vector<Tpic> pic;
    std::vector<Ttxt> txt;
    std::vector<Thr> hr;
};

// Card colours (red in the low byte).
constexpr TColor CardColor = 16510691;
constexpr TColor CardMarkColor = 8978431;
constexpr TColor clNavy = 8388608, clBlue = 16711680, clMaroon = 128, clGreen = 32768, clGray = 8421504,
                 clSilver = 12632256, clRed = 255, clBlack = 0;
// Each channel less 8 % of itself, rounded to nearest.
TColor DarkenCard(TColor c);

// Text extents in the card font: regular or bold.
class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    virtual int Width(const QString& text, bool bold) const = 0;
    virtual int Height(bool bold) const = 0;
};

enum class TCardMarkMode { search, building };

// What cards need from the program while they are laid out, expanded and collapsed.
struct CardEnv {
    CardEnv(CityDb& city, const OrgSearchIndex& searchIndex, const TextMeasure& textMeasure)
        : db(city), index(searchIndex), measure(textMeasure) {}
    CityDb& db;
    const OrgSearchIndex& index;
    const TextMeasure& measure;
    int W = 300; // layout width: the card image's width
    int dataLang = 0;
    int shellLang = 0;
    TMarks* marks = nullptr;
    RadiusCircle radius;
    TCardMarkMode mode = TCardMarkMode::search;
    bool ExpandAllRunning = false;
    // Decodes a banner; null when it does not decode.
    std::function<std::shared_ptr<QImage>(TImg& banner, int& width, int& height)> loadBanner;
};

// Word wrap: the first line may be W - x - 5 wide, every further one W - 10. A first line may come out
// empty when nothing fits after x; a word wider than a whole line stands alone on its line.
QStringList WrapText(const QString& text, const TextMeasure& m, bool bold, int W, int x);

// What a click asks the program to do.
struct CardClick {
    TLink link = TLink::none; // site, email, snet, skype: open `target` with the shell; icq: `value` is the
                              // number; adr, page, zone, busway, stop: `value` (and `caption` for adr)
    QString target, value, caption;
    int street = -1;       // adr: the address's street and house number, kept apart
    QString number;
    int rubric = -1;       // a rubric text was clicked
    bool toggled = false;  // the card was expanded or collapsed (redraw the map)
    bool openPage = false; // expanding asks for the organisation's local page (`value` holds the org)
};

// Hover effects beyond the list itself: stops to highlight (true) or release on the map.
struct HoverEffects {
    bool listRedraw = false;
    bool mapRedraw = false;
    std::vector<std::pair<int, bool>> stops; // stop identifier, highlighted
};

class TCard {
public:
    std::vector<TBlock> blocks;
    int org = -1;
    int route = -1;
    int top = 0;
    TColor color = CardColor;
    int height = 0;
    bool Focused = false;
    bool Collapsed = true;
    bool first = false;

    // tip "org", "first" or "BusWay"; id is a position in Orgs or BusWays; num the position in the list.
    static TCard Create(const QString& tip, int BuildID, int num, int id, CardEnv& env);
    // A card of a title only, laid out as a card title: a heading between the cards of a list.
    static TCard Heading(const QString& caption, int num, CardEnv& env);

    // Both give true when expanding asks for the organisation's local page.
    bool Expand(CardEnv& env);
    void Collapse(CardEnv& env);
    // Opens or closes one block from its picture.
    void ToggleBlock(std::size_t block, std::size_t pic);
    // Opens every folded block (a route card's stop list), as a click on its small arrow does.
    void OpenBlocks();

    bool OnMouseMove(int x, int y, HoverEffects& fx);
    CardClick OnClick(int x, int y, CardEnv& env);

private:
    void Restack();
};

class TCards {
public:
    std::vector<TCard> crds;
    int height = 0;

    void Add(const QString& tip, int id, int BuildID, CardEnv& env);
    void Clear();
    // y in list coordinates; the card's index or -1. A rubric click leaves its index in click.rubric.
    int OnClick(int x, int y, CardEnv& env, CardClick& click);
    bool OnMouseMove(int x, int y, HoverEffects& fx);
    // Every card loses Focused; true when one had it.
    bool MouseLeave();
    void CollapseAll(CardEnv& env);
    // Gives the organisations whose local pages would open (none while ExpandAllRunning).
    void ExpandAll(CardEnv& env);
    void Restack();
    // The scroll position that shows card k fully (P: position, H: visible height).
    int ShowFullCard(int k, int P, int H) const;
    // The first card that contains list point y, borders included; -1 for none.
    int CardAt(int y) const;
};

// History of result lists.
enum THistoryObjType { hotOrg = 0, hotWay = 1 };
struct THistory {
    THistoryObjType tip = hotOrg;
    Tai objects;
};
struct SearchHistory {
    std::vector<THistory> History;
    int HistoryIndex = 0;
    // Appends at the end and shows it: Back becomes possible, Forward not.
    void AppendHistory(THistoryObjType kind, const Tai& list) {
        HistoryIndex = int(History.size());
        History.push_back({kind, list});
    }
    void Clear() {
        History.clear();
        HistoryIndex = 0;
    }
};

// The view a map target needs: centre, scale and the building to select.
struct MapTarget {
    float x = 0, y = 0, scale = 1;
    int selected = -1;
};
// The buildings of an address: by identifier when id >= 1, else by street (position in Streets, -1 for
// none) and house number. The two stay apart all the way: a number may hold a comma ("39,41").
std::vector<int> AddressBuildings(const OrgSearchIndex& index, int street, const QString& number, int id);
// Marks the buildings found (ClearFound first) and gives where to fly; nothing for no building.
bool AddressTarget(CityDb& db, const std::vector<int>& buildings, int mapWidth, float fullScale,
                   MapTarget& t);
// Marks the zone's buildings found and gives the view that fits them, within [MinScale, fullScale].
bool WorkZoneTarget(CityDb& db, int org, int mapWidth, int mapHeight, float fullScale, MapTarget& t);

// Organisations with an address in the building, once per such address, in Orgs order.
Tai OrgsInBuilding(const CityDb& db, int building);
// Organisations listing the rubric (once per listing) that pass the radius filter.
Tai OrgsOfRubric(const OrgSearchIndex& index, int rubric, const RadiusCircle& radius,
                 const std::function<void(int count)>& progress = {});
// Organisations with firstBanner, shuffled with 101 swaps drawn from `random(count)`.
Tai StartList(const CityDb& db, const std::function<int(int count)>& random);
