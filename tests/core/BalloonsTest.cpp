// Info balloons without a window: rows per object, layout and placement, buttons, links, dragging,
// closing, stacking and banners.
#include "Balloons.h"
#include "CityDb.h"
#include "MapView.h"
#include "TextTable.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

// Every character 6 pixels wide (7 in bold), lines 13 pixels high.
class FixedMeasure : public TextMeasure {
public:
    int Width(const QString& text, bool bold) const override { return int(text.size()) * (bold ? 7 : 6); }
    int Height(bool) const override { return 13; }
};

struct Balloons : ::testing::Test {
    CityDb db;
    MapView v;
    FixedMeasure measure;
    BalloonEnv env;
    int fotoLoads = 0;

    void SetUp() override {
        BindShellLang(nullptr);
        v.SetWorld(-500, -500, 500, 500);
        v.SetSurface(800, 600);
        v.Scale = 1;
        v.OriginX = v.OriginY = 0; // world (0, 0) is pixel (400, 300)
        env.view = &v;
        env.measure = &measure;
        env.InfoColor = 0xE1FFFF;
        env.ShowFotoFirst = false;
        env.loadFoto = [this](int foto, int& w, int& h) -> std::shared_ptr<QImage> {
            ++fotoLoads;
            if (foto != 0) return nullptr; // a reference that does not decode
            w = 120;
            h = 80;
            return std::make_shared<QImage>(w, h, QImage::Format_RGB32);
        };
        env.loadBanner = [](int org, int& w, int& h) -> std::shared_ptr<QImage> {
            if (org != 0) return nullptr;
            w = 60;
            h = 30;
            return std::make_shared<QImage>(w, h, QImage::Format_RGB32);
        };

        db.Streets.resize(1);
        db.Streets[0].Name = {QStringLiteral("Ленина")};
        db.MaterialNames = {{QStringLiteral("неизвестно")}, {QStringLiteral("кирпич")}};
        db.BuildingTypeNames = {{QString()}, {QStringLiteral("Жилой дом")}};
        TBuilding b;
        b.street = 0;
        b.num = {QStringLiteral("5")};
        b.index = TSharedText(QStringLiteral("620000"));
        b.tip = 1;
        b.material = TBuildingMaterial(1);
        b.id = 77;
        db.Buildings.push_back(b);
        for (int i = 0; i < 4; ++i) {
            TOrg o;
            o.id = 100 + i;
            o.caption = {QStringLiteral("Org %1").arg(i)};
            o.zone = TSharedInts(Tai{0});
            db.Orgs.push_back(o);
        }
    }

    TInfo Open(TProps rows, float x = 0, float y = 0, int surfaceWidth = 800) {
        TInfo info;
        info.Create(env, std::move(rows), y, x, surfaceWidth);
        return info;
    }
    static QStringList Values(const TInfo& info) {
        QStringList out;
        for (const TProp& p : info.props)
            out << p.caption.caption + u'|' + p.value.caption;
        return out;
    }
};

TEST_F(Balloons, BuildingRowsLeaveOutEmptyValuesAndFoldBeforeTheZoneOrganisations) {
    const TInfo info = Open(BuildingProps(db, 0, 0, -1));
    EXPECT_EQ(Values(info), QStringList({"Адрес|620000, Ленина, 5", "|Жилой дом", "Материал|кирпич",
                                         "В зоне обслуживания|", "|Org 0", "|Org 1", "|Org 2", "|Org 3"}));
    // Rows from y 25 in steps of 15, the title lifted into the header; the fold row at 25 + 2 * 15.
    EXPECT_EQ(info.MinHeight, 57);
    EXPECT_EQ(info.MaxHeight, 7 * 15 + 30);
    EXPECT_EQ(info.height, info.MinHeight);
    EXPECT_FALSE(info.btnService.Hidden());
    EXPECT_TRUE(info.btnFoto.Hidden());
    // The link rows keep their four-blank indent as an offset.
    EXPECT_EQ(info.props[4].value.left, 8 + 4 * 6);
    EXPECT_EQ(info.props[4].value.caption, "Org 0");
    // A building with floors and a caption gets both rows.
    db.Buildings[0].levels = 9;
    db.Buildings[0].caption = {QStringLiteral("Дом")};
    EXPECT_TRUE(Values(Open(BuildingProps(db, 0, 0, -1))).contains("Максимальная этажность|9"));
    EXPECT_TRUE(Values(Open(BuildingProps(db, 0, 0, -1))).contains("Название|Дом"));
}

TEST_F(Balloons, OtherObjectsRows) {
    TBusStop metro;
    metro.tip = bstMetro;
    metro.caption = {QStringLiteral("Площадь")};
    TBusStop bare;
    db.BusStops = {metro, bare};
    TPOI poi;
    poi.tip = ptFontan;
    poi.caption = QStringLiteral("Поющий");
    db.POIs = {poi};
    TField district, park, empty;
    district.typ = DistrictFieldType;
    district.caption = {QStringLiteral("Центральный")};
    park.caption = {QStringLiteral("Парк")};
    db.Fields = {district, park, empty};
    struct Case {
        TProps rows;
        QStringList expected;
    } cases[] = {
        {StopProps(db, 0, 0), {"|Станция", "|Площадь"}},
        {StopProps(db, 1, 0), {"|Остановка", "| "}},
        {POIProps(db, 0), {"|" + POITypeName(ptFontan), "|Поющий"}},
        {StreetProps(db, 0, 0), {"Улица|Ленина"}},
        {AreaProps(db, -1, 0, 0), {"Район|Центральный"}},
        {AreaProps(db, 1, 0, 0), {"Район|Центральный", "|Парк"}},
        {AreaProps(db, 1, -1, 0), {"|Парк"}},
        {AreaProps(db, 2, -1, 0), {}},
    };
    for (const Case& c : cases) {
        QStringList got;
        for (const TProp& p : c.rows)
            got << p.caption.caption + u'|' + p.value.caption;
        EXPECT_EQ(got, c.expected);
    }
}

TEST_F(Balloons, OpensAboveRightOrFlipsAtTheRightAndTopEdges) {
    const TInfo mid = Open(StreetProps(db, 0, 0));
    EXPECT_EQ(mid.dx, -15);
    EXPECT_EQ(mid.dy, -mid.height - 20);
    EXPECT_EQ(mid.left, 400 - 15);
    const TInfo right = Open(StreetProps(db, 0, 0), 390); // anchor at x 790 of 800
    EXPECT_EQ(right.dx, 15 - right.width);
    const TInfo top = Open(StreetProps(db, 0, 0), 0, -290); // anchor at y 10
    EXPECT_EQ(top.dy, 30);
}

TEST_F(Balloons, ExpandShowsTheLinksWhichOpenOnlyOnAClickNotADrag) {
    TBalloonList list;
    list.Infos.push_back(Open(BuildingProps(db, 0, 0, -1)));
    TInfo& info = list.Infos[0];
    const int linkX = info.left + info.props[5].value.left + 3; // "Org 1"
    const int linkY = info.top + info.props[5].value.top + 5;
    // Folded: the link row is not even inside the balloon; expanded, it reacts.
    EXPECT_FALSE(list.Hover(linkX, linkY));
    auto click = [&](int x, int y) {
        list.Hover(x, y);
        const QString gesture = list.MouseDown(x, y);
        return std::pair{gesture, list.MouseUp(gesture == "info_btn", x, y)};
    };
    const QPoint service(list.Infos[0].left + list.Infos[0].btnService.left + 8, list.Infos[0].top + 10);
    EXPECT_EQ(click(service.x(), service.y()), (std::pair{QString("info_btn"), -1}));
    ASSERT_TRUE(list.Infos[0].ShowService);
    EXPECT_EQ(list.Infos[0].height, list.Infos[0].MaxHeight);
    bool overLink = false;
    EXPECT_TRUE(list.Hover(linkX, linkY, &overLink));
    EXPECT_TRUE(overLink);
    EXPECT_EQ(click(linkX, linkY), (std::pair{QString("info_move"), 1}));
    // Pressed on the link, dragged, released: the balloon moved and nothing opens.
    list.Hover(linkX, linkY);
    EXPECT_EQ(list.MouseDown(linkX, linkY), "info_move");
    const int left = list.Infos[0].left;
    list.Drag(30, 12);
    EXPECT_EQ(list.MouseUp(false, linkX + 30, linkY + 12), -1);
    EXPECT_EQ(list.Infos[0].left, left + 30);
    EXPECT_EQ(list.Infos[0].dx, -15 + 30);
}

TEST_F(Balloons, AButtonPressedAndReleasedOffItDoesNothing) {
    struct Case {
        const char* name;
        Tbtn TInfo::*button;
        int releaseDx, releaseDy; // from the button's middle
    } cases[] = {
        {"pin, released inside the balloon", &TInfo::btnPin, -40, 20},
        {"close, released inside the balloon", &TInfo::btnClose, -40, 20},
        {"close, released outside the balloon", &TInfo::btnClose, 300, 0},
        {"expand, released next to it", &TInfo::btnService, 0, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TBalloonList list;
        list.Infos.push_back(Open(BuildingProps(db, 0, 0, -1)));
        const TInfo& info = list.Infos[0];
        const Tbtn& b = info.*c.button;
        const QPoint at(info.left + b.left + 8, info.top + b.top + 8);
        list.Hover(at.x(), at.y());
        ASSERT_EQ(list.MouseDown(at.x(), at.y()), "info_btn");
        ASSERT_EQ((list.Infos[0].*c.button).state, bsDown);
        EXPECT_EQ(list.MouseUp(true, at.x() + c.releaseDx, at.y() + c.releaseDy), -1);
        ASSERT_EQ(list.Infos.size(), 1u) << "not closed";
        EXPECT_FALSE(list.Infos[0].Lock);
        EXPECT_FALSE(list.Infos[0].ShowService);
        EXPECT_EQ((list.Infos[0].*c.button).state, bsNormal) << "not left held";
    }
}

TEST_F(Balloons, UnpinnedClosesWhenThePointerLeavesAndPinnedStays) {
    TBalloonList list;
    list.Infos.push_back(Open(StreetProps(db, 0, 0)));
    const TInfo& info = list.Infos[0];
    const int y = info.top + 10;
    list.Hover(info.left - 20, y); // 20 pixels to the left: still open
    ASSERT_EQ(list.Infos.size(), 1u);
    list.Hover(info.left - 21, y);
    EXPECT_TRUE(list.Infos.empty());

    list.Infos.push_back(Open(StreetProps(db, 0, 0)));
    TInfo& pinned = list.Infos[0];
    const QPoint pin(pinned.left + pinned.btnPin.left + 8, pinned.top + 10);
    list.Hover(pin.x(), pin.y());
    EXPECT_EQ(list.MouseDown(pin.x(), pin.y()), "info_btn");
    list.MouseUp(true, pin.x(), pin.y());
    ASSERT_TRUE(list.Infos[0].Lock);
    list.Hover(list.Infos[0].left - 200, y);
    EXPECT_EQ(list.MouseDown(list.Infos[0].left - 200, y), "");
    EXPECT_EQ(list.Infos.size(), 1u);
    // The close button removes it even pinned.
    const QPoint close(list.Infos[0].left + list.Infos[0].btnClose.left + 8, list.Infos[0].top + 10);
    list.Hover(close.x(), close.y());
    EXPECT_EQ(list.MouseDown(close.x(), close.y()), "info_btn");
    list.MouseUp(true, close.x(), close.y());
    EXPECT_TRUE(list.Infos.empty());
}

TEST_F(Balloons, OnlyTheUpperOfTwoOverlappingReactsAndAPressRaisesIt) {
    TBalloonList list;
    list.Infos.push_back(Open(StreetProps(db, 0, 0)));
    list.Infos.push_back(Open(StreetProps(db, 0, 0), 10, 5));
    list.Infos[0].Lock = list.Infos[1].Lock = true;
    const int x = list.Infos[1].left + 5, y = list.Infos[1].top + 30;
    ASSERT_TRUE(list.Infos[0].Inside(x, y));
    list.Hover(x, y);
    EXPECT_EQ(list.Infos[0].MouseState, msOut);
    EXPECT_EQ(list.Infos[1].MouseState, msOver);
    // A press on a spot only the lower one covers brings it on top.
    const int lx = list.Infos[0].left + 3, ly = list.Infos[0].top + 3;
    ASSERT_FALSE(list.Infos[1].Inside(lx, ly));
    const TCoord lower = list.Infos[0].InfoPoint;
    EXPECT_EQ(list.MouseDown(lx, ly), "info_move");
    EXPECT_EQ(list.Infos.back().InfoPoint.x, lower.x);
    EXPECT_EQ(list.Infos.back().InfoPoint.y, lower.y);
}

TEST_F(Balloons, PhotoButtonAndPhotoFirst) {
    // A photo that does not decode leaves the balloon without photo and button.
    const TInfo broken = Open(BuildingProps(db, 0, 0, 3));
    EXPECT_FALSE(broken.imgFoto);
    EXPECT_TRUE(broken.btnFoto.Hidden());
    EXPECT_FALSE(Values(broken).join(',').contains("foto"));

    env.ShowFotoFirst = true;
    TBalloonList list;
    list.Infos.push_back(Open(BuildingProps(db, 0, 0, 0)));
    TInfo& info = list.Infos[0];
    ASSERT_TRUE(info.HasFoto());
    EXPECT_GE(info.width, 130);
    EXPECT_TRUE(info.ShowFoto);
    EXPECT_EQ(info.height, info.MinHeight + 80 + 10);
    EXPECT_EQ(info.dx, -15 + 30);
    EXPECT_EQ(info.btnFoto.left, info.width - 67); // beside the expand button
    // Expanding hides the photo: the two views exclude each other.
    const QPoint service(info.left + info.btnService.left + 8, info.top + 10);
    list.Hover(service.x(), service.y());
    list.MouseDown(service.x(), service.y());
    list.MouseUp(true, service.x(), service.y());
    EXPECT_FALSE(list.Infos[0].ShowFoto);
    EXPECT_TRUE(list.Infos[0].ShowService);
    EXPECT_EQ(list.Infos[0].height, list.Infos[0].MaxHeight);
}

TEST_F(Balloons, BannersArePinnedAndReactOnlyWhileShown) {
    db.Buildings[0].x = 50;
    db.Buildings[0].y = 20;
    db.Orgs[0].BuildBannerAdr = 77;
    db.Orgs[0].buildBanner = TImg{};
    db.Orgs[1].BuildBannerAdr = 78; // no such building
    db.Orgs[1].buildBanner = TImg{};
    db.Orgs[2].BuildBannerAdr = 77; // its picture does not decode
    db.Orgs[2].buildBanner = TImg{};
    TBalloonList list;
    list.Infos = BannerBalloons(db, env, 800);
    ASSERT_EQ(list.Infos.size(), 1u);
    const TInfo& b = list.Infos[0];
    EXPECT_TRUE(b.banner && b.Lock);
    EXPECT_EQ(b.sel_org, 0);
    EXPECT_EQ(b.orgID, 100);
    EXPECT_EQ(b.width, 68);
    EXPECT_EQ(b.top, 320 - 38 - 20);
    const int x = b.left + 10, y = b.top + 10;
    list.BannerScale = false; // Scale 5 and above
    EXPECT_FALSE(list.Hover(x, y));
    EXPECT_EQ(list.MouseDown(x, y), "");
    list.BannerScale = true;
    list.BannersShown = false;
    EXPECT_FALSE(list.Hover(x, y));
    list.BannersShown = true;
    EXPECT_TRUE(list.Hover(x, y));
    EXPECT_EQ(list.MouseDown(x, y), "info_move");
    EXPECT_EQ(list.MouseUp(false, x, y), 0);
    // Far away, the banner stays.
    list.Hover(0, 0);
    EXPECT_EQ(list.Infos.size(), 1u);
}

} // namespace
