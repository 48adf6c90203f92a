// The map tools in the main window: a clicked building's balloon and its organisation links, the
// ruler with its window, and the radius restricting both searches while it is shown.
#include "ColorConvert.h"
#include "MapRenderer.h"
#include "MapTools.h"
#include "ProgramHarness.h"
#include "TCardList.h"
#include "TObjectPage.h"
#include "TOrgCriteria.h"
#include "TfrmMeas.h"

#include <QCheckBox>
#include <QComboBox>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

struct MapToolsWindow : MainWindow {
    // Two organisations serve every building, so any building's balloon lists them.
    void EditCity(CityDb& db) override {
        Tai all;
        for (int i = 0; i < int(db.Buildings.size()); ++i) all.push_back(i);
        db.Orgs[0].zone = TSharedInts(all);
        db.Orgs[1].zone = TSharedInts(all);
    }
    void Hover(QPoint at) { Mouse(frm->img, QEvent::MouseMove, at, Qt::NoButton); }
    // Press and release on one spot, the pointer brought there first.
    void Tap(QPoint at) {
        Hover(at);
        Mouse(frm->img, QEvent::MouseButtonPress, at);
        Mouse(frm->img, QEvent::MouseButtonRelease, at);
    }
};

TEST_F(MapToolsWindow, BuildingBalloonUnfoldsAndItsLinkOpensTheOrganisation) {
    const CityDb& db = *app->db;
    QPoint at;
    const int building = ClickableBuilding(frm, db, at);
    ASSERT_GE(building, 0);
    Click(frm->img, at);
    TBalloonList& balloons = frm->tools->balloons;
    ASSERT_EQ(balloons.Infos.size(), 1u);
    const TInfo& info = balloons.Infos[0];
    EXPECT_FALSE(info.ShowService);
    ASSERT_FALSE(info.btnService.Hidden());
    // The expand button, then the second organisation's link.
    Tap(QPoint(info.left + info.btnService.left + 8, info.top + info.btnService.top + 8));
    ASSERT_TRUE(balloons.Infos[0].ShowService);
    const TProp& link = balloons.Infos[0].props.back();
    ASSERT_EQ(link.Tag(), 1);
    const QPoint linkAt(info.left + link.value.left + 4, info.top + link.value.top + 6);
    Hover(linkAt);
    EXPECT_EQ(balloons.Infos[0].MouseState, msOverLink);
    EXPECT_EQ(frm->img->cursor().shape(), Qt::PointingHandCursor);
    Screenshot(frm, "balloon");
    Tap(linkAt);
    ASSERT_EQ(frm->list->cards.crds.size(), 1u);
    EXPECT_EQ(frm->list->cards.crds[0].org, 1);
    EXPECT_EQ(balloons.Infos.size(), 1u);
    // A press elsewhere on the map closes the unpinned balloon.
    Tap(QPoint(20 + 40, frm->img->height() - 60));
    EXPECT_TRUE(balloons.Infos.empty());
}

TEST_F(MapToolsWindow, RulerAddsNodesAndItsWindowShowsTheLength) {
    frm->btnMeas->click();
    TfrmMeas* window = frm->tools->frmMeas;
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(window->txt->text(), "Set the start point of the line on map");
    const QPoint mid(frm->img->width() / 2, frm->img->height() / 2);
    const QPoint a = mid - QPoint(100, 0), b = mid + QPoint(100, 0);
    Tap(a);
    Tap(b);
    const TMeas& meas = frm->tools->meas;
    ASSERT_EQ(meas.path.size(), 2u);
    const int metres = RoundHalfEven(frm->view.ToWorld(200));
    EXPECT_EQ(meas.path[1].len, metres);
    EXPECT_EQ(window->txt->text(), "Distance: " + DistanceText(metres, true, LangEnglish));
    EXPECT_TRUE(window->txt->text().contains("on foot"));
    Tap(mid + QPoint(60, -120));
    Hover(mid + QPoint(-60, 100));
    Screenshot(frm, "ruler");
    Screenshot(window, "ruler-window");
    frm->tools->meas.path.pop_back();
    // Dragging the last node by its point lengthens the ruler.
    Drag(frm->img, b, b + QPoint(0, 100));
    EXPECT_GT(frm->tools->meas.path[1].len, metres);
    // Clear empties the ruler; a right click closes the window and releases the button, and opens no
    // menu: only the next right click does.
    window->btnClear->click();
    EXPECT_TRUE(frm->tools->meas.path.empty());
    auto rightClick = [&] {
        Mouse(frm->img, QEvent::MouseButtonPress, a, Qt::RightButton);
        Mouse(frm->img, QEvent::MouseButtonRelease, a, Qt::RightButton);
        QApplication::processEvents();
        QWidget* popup = QApplication::activePopupWidget();
        if (popup) popup->close();
        return popup != nullptr;
    };
    EXPECT_FALSE(rightClick());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(frm->btnMeas->isChecked());
    EXPECT_TRUE(rightClick());
}

TEST_F(MapToolsWindow, RubberBandFollowsThePointerWhileTheMapIsDragged) {
    frm->btnIncScale->click();
    frm->btnIncScale->click();
    frm->btnMeas->click();
    const QPoint mid(frm->img->width() / 2, frm->img->height() / 2);
    Tap(mid - QPoint(150, 0));
    ASSERT_EQ(frm->tools->meas.path.size(), 1u);
    // Drag the map down by 80 pixels from a point right of the node: node and pointer stay level.
    const QPoint press = mid + QPoint(150, 0), to = press + QPoint(0, 80);
    Hover(press);
    Mouse(frm->img, QEvent::MouseButtonPress, press);
    for (int i = 1; i <= 4; ++i)
        Mouse(frm->img, QEvent::MouseMove, press + (to - press) * i / 4);
    ASSERT_EQ(app->AppState, "move");
    const TMeasNode& node = frm->tools->meas.path[0];
    int nx = 0, ny = 0;
    frm->view.WorldToScreen(node.NodePoint.x, node.NodePoint.y, nx, ny);
    ASSERT_EQ(ny, to.y()) << "the map moved with the pointer";
    const QRgb band = ToQRgb(app->colors.active().MeasColor) & 0xFFFFFF;
    const QImage& img = frm->map->img;
    auto onBand = [&](int x) {
        for (int y = to.y() - 1; y <= to.y() + 1; ++y)
            if ((img.pixel(x, y) & 0xFFFFFF) == band) return true;
        return false;
    };
    for (int x : {nx + 60, (nx + to.x()) / 2, to.x() - 20})
        EXPECT_TRUE(onBand(x)) << "on the band at x " << x;
    Mouse(frm->img, QEvent::MouseButtonRelease, to);
}

TEST_F(MapToolsWindow, RadiusKeepsOnlyResultsInsideItWhileShown) {
    const CityDb& db = *app->db;
    auto orgSearch = [&] {
        frm->criteria->btnFindOrgClick();
        std::vector<int> orgs;
        for (const TCard& c : frm->list->cards.crds)
            orgs.push_back(c.org);
        return orgs;
    };
    auto buildingSearch = [&] {
        frm->cbMaterial->setCurrentIndex(0);
        frm->objectPage->btnFindObjClick();
        std::vector<int> found;
        for (size_t i = 0; i < db.Buildings.size(); ++i)
            if (db.Buildings[i].IsFound) found.push_back(int(i));
        return found;
    };
    const std::vector<int> allOrgs = orgSearch(), allBuildings = buildingSearch();
    ASSERT_GT(allOrgs.size(), 10u);
    ASSERT_GT(allBuildings.size(), 10u);

    frm->btnFullMap->click();
    frm->btnRadius->click();
    const QPoint c(frm->img->width() / 2, frm->img->height() / 2);
    Tap(c);
    Hover(c + QPoint(frm->img->width() / 8, 0));
    Tap(c + QPoint(frm->img->width() / 8, 0));
    const RadiusCircle circle = frm->tools->Circle();
    ASSERT_TRUE(circle.Visible);
    ASSERT_GT(circle.Radius, 0);
    EXPECT_EQ(frm->tools->radius.phase, RadiusPhase::Idle);
    Screenshot(frm, "radius");

    const std::vector<int> inside = buildingSearch();
    EXPECT_LT(inside.size(), allBuildings.size());
    for (int i : inside)
        EXPECT_TRUE(BuildingInRadius(db.Buildings[std::size_t(i)], circle)) << i;
    const std::vector<int> orgs = orgSearch();
    EXPECT_LT(orgs.size(), allOrgs.size());
    for (int o : orgs)
        EXPECT_TRUE(OrgInRadius(db, db.Orgs[std::size_t(o)], circle)) << o;

    // Released, the button lets every result through again.
    frm->btnRadius->click();
    EXPECT_FALSE(frm->tools->Circle().Visible);
    EXPECT_EQ(buildingSearch().size(), allBuildings.size());
    EXPECT_EQ(orgSearch().size(), allOrgs.size());
}

} // namespace
