// Info balloons over the map: their rows, layout, buttons and pointer logic, and the list they live in.
// Pure data and arithmetic in screen pixels; painting lives in render (BalloonPainter.h).
#pragma once

#include "Cards.h"
#include "MapObjects.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class MapView;
class QImage;
struct CityDb;

enum TMouseState {
    msOut,
    msOver,
    msOverPin,
    msOverClose,
    msOverService,
    msOverLink,
    msOverCenter,
    msOverVer,
    msOverHor,
    msOverFoto
};
enum TbtnState { bsNormal, bsOver, bsDown };
enum TbtnType { btPin, btClose, btService, btFoto };

constexpr int HiddenButtonTop = -10000;

// A small button drawn on a floating element; position relative to its owner.
struct Tbtn {
    TbtnType tip = btClose;
    TbtnState state = bsNormal;
    int width = 16, height = 16;
    int top = 3, left = 0;

    bool Hidden() const { return top <= HiddenButtonTop; }
    // Strictly inside, in screen terms, for an owner at (ownerLeft, ownerTop).
    bool Contains(int ownerLeft, int ownerTop, int x, int y) const {
        const int l = ownerLeft + left, t = ownerTop + top;
        return !Hidden() && x > l && x < l + width && y > t && y < t + height;
    }
};

// A row is two Ttxt (Cards.h); the value's `value` is the row's tag: "-2" title, "-1" plain, >= 0 an
// organisation link (its position in Orgs).
struct TProp {
    Ttxt caption, value;
    int Tag() const { return value.value.toInt(); }
};
using TProps = std::vector<TProp>;

// Appends a row unless `value` is empty.
void AddProp(TProps& props, const QString& caption, const QString& value, int id);

constexpr int TitleTag = -2;
constexpr int PlainTag = -1;

// What laying out a balloon needs from the program.
struct BalloonEnv {
    const MapView* view = nullptr;
    const TextMeasure* measure = nullptr; // the balloon font (regular and bold)
    TColor InfoColor = 0xFFFFFF;
    bool ShowFotoFirst = true;
    // A decoded photo (position in Fotos) or banner (position in Orgs); null when there is none or it
    // does not decode. Sizes in logical pixels.
    std::function<std::shared_ptr<QImage>(int foto, int& width, int& height)> loadFoto;
    std::function<std::shared_ptr<QImage>(int org, int& width, int& height)> loadBanner;
};

struct TElement {
    int top = 0, left = 0;
    int width = 0, height = 0;
};

struct TInfo : TElement {
    TMouseState MouseState = msOut;
    bool Closed = false;
    bool moved = false;
    bool Lock = false;
    bool banner = false;
    int sel_org = -1;
    int orgID = 0;
    bool ShowService = false;
    bool ShowFoto = false;
    std::shared_ptr<QImage> imgFoto; // the photo, or the banner's picture
    int fotoWidth = 0, fotoHeight = 0, fotoTop = 0;
    Tbtn btnPin{btPin}, btnClose{btClose}, btnService{btService}, btnFoto{btFoto};
    int MinHeight = 0;
    int MaxHeight = 0;
    TProps props;
    TCoord InfoPoint{};
    int MinWidth = 100;
    int dx = 0, dy = 0;
    TColor color = 0xFFFFFF;

    // Lays the balloon out at world point (x, y) with these rows (the "foto" row is taken out).
    void Create(const BalloonEnv& env, TProps rows, float y, float x, int surfaceWidth, int orgId = 0);
    bool HasFoto() const { return imgFoto && !banner; }
    bool Foldable() const { return MinHeight != MaxHeight; }
    // left and top from the anchor's screen point.
    void Place(const MapView& v);
    bool Inside(int x, int y) const { return left < x && x < left + width && top < y && y < top + height; }

    // `bannerDrawn`: banners are shown at this scale. Returns whether the balloon took the pointer.
    bool OnMouseMove(int x, int y, bool taken, bool bannerDrawn, bool& NeedRedraw);
    void OnMouseDown(bool& NeedRedraw);
    // The release at (x, y): the organisation (position in Orgs) whose link was clicked, else -1.
    int OnMouseUp(int x, int y, bool& NeedRedraw);
    // The button that pointer state `state` is over, or null.
    Tbtn* ButtonOf(TMouseState state);
    void Move(int ddx, int ddy);
};

// The balloons of the map, drawn first to last (the last on top), with the gestures of the map input.
class TBalloonList {
public:
    std::vector<TInfo> Infos;
    bool NeedRedraw = false;
    bool BannersShown = true; // switched by the map's menu
    bool BannerScale = true;  // the scale shows banners (MapDetail)

    bool BannerDrawn() const { return BannersShown && BannerScale; }
    // Removes the first closed balloon; at most one per call.
    bool RemoveClosedBalloon();
    // A press: unpinned balloons not under the pointer close; the topmost balloon under it is raised
    // and pressed. Returns "info_move", "info_btn" or an empty text when no balloon took it.
    QString MouseDown(int x, int y);
    // Hover: offered from the topmost down; returns whether a balloon took the pointer and, when
    // `overLink`, whether it is over a link.
    bool Hover(int x, int y, bool* overLink = nullptr);
    // Dragging by the pointer's displacement moves the balloons the pointer is over.
    void Drag(int ddx, int ddy);
    // The end of a balloon gesture with the pointer at (x, y); returns the organisation whose link was
    // clicked, else -1.
    int MouseUp(bool buttonGesture, int x, int y);
};

// Rows of a clicked object in data language `lang`, captions in the interface language. `fotoIndex` is
// the building's photo in Fotos (-1 none).
TProps BuildingProps(const CityDb& db, int building, int lang, int fotoIndex);
TProps StopProps(const CityDb& db, int stop, int lang);
TProps POIProps(const CityDb& db, int poi);
TProps StreetProps(const CityDb& db, int street, int lang);
// A district hit (district -1: none) and, for an area click, the area (-1: none).
TProps AreaProps(const CityDb& db, int area, int district, int lang);

// One pinned banner balloon per advertiser with a building banner over its building.
std::vector<TInfo> BannerBalloons(const CityDb& db, const BalloonEnv& env, int surfaceWidth);
