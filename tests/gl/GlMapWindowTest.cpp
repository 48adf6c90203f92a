// The OpenGL map in the real main window: at the screen's pixel density it shows and hit-tests what the 2D
// map does (CTest runs these at 1, 1.5 and 2), and the minimap and the result flags follow it.
#include "GlCompare.h"
#include "GlMapSwitch.h"
#include "MinimapPanel.h"
#include "ProgramHarness.h"
#include "TGlMapImage.h"

#include <algorithm>
#include <cmath>

namespace {

struct GlMapWindow : MainWindow {
    TGlMapImage* gl = nullptr;
    void SetUp() override {
        MainWindow::SetUp();
        if (!frm) return;
        frm->runOptions = [](TfrmOptions& o) {
            o.cbOpenGL->click();
            o.btnOK->click();
            return int(QDialog::Accepted);
        };
        frm->btnOptionsClick();
        gl = qobject_cast<TGlMapImage*>(frm->findChild<QWidget*>("imgGL"));
        ASSERT_NE(gl, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return gl->frames() > 0; }));
        frm->motion->jump = false;
    }
    // A full redraw, waited for.
    void Redraw() {
        const int frames = gl->frames();
        frm->Redraw(true);
        ASSERT_TRUE(WaitUntil([&] { return gl->frames() > frames; }));
    }
    void Show(float scale) {
        const MapView& v = frm->view;
        frm->view.Scale = scale;
        frm->view.OriginX = v.WorldMinX + (v.WorldMaxX - v.WorldMinX) / 2;
        frm->view.OriginY = v.WorldMinY + (v.WorldMaxY - v.WorldMinY) / 2;
        Redraw();
    }
};

} // namespace

TEST_F(GlMapWindow, AtTheScreensDensityItShowsAndHitsWhatThe2DMapDoes) {
    const double ratio = gl->devicePixelRatioF();
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
        EXPECT_DOUBLE_EQ(ratio, qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
    }
    // What only one of the renderers draws is left out: heights, smoothing.
    app->settings.flat = true;
    app->settings.smooth = false;
    frm->display.SmoothNow = false;
    Show(frm->view.FullScale / 3);
    EXPECT_EQ(frm->view.Width, frm->img->width()) << "the view is in logical pixels";
    EXPECT_EQ(frm->view.Height, frm->img->height());
    const QImage frame = gl->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    QImage flat2d;
    frm->map->DrawGDI(&flat2d, true);
    ASSERT_NEAR(frame.width(), flat2d.width(), 1);
    ASSERT_NEAR(frame.height(), flat2d.height(), 1);
    if (qEnvironmentVariableIsSet("TESSARA_SCREENSHOT_DIR")) {
        const QString dir = qEnvironmentVariable("TESSARA_SCREENSHOT_DIR");
        flat2d.save(QStringLiteral("%1/density-2d-%2.png").arg(dir).arg(ratio));
        frame.save(QStringLiteral("%1/density-gl-%2.png").arg(dir).arg(ratio));
    }
    // A picture drawn at another size or place moves most regions' mean colour a lot; what the renderers
    // draw differently by design (roads wider than 10 pixels, hatching) moves some.
    const std::vector<int> regions = RegionDifferences(flat2d, frame, int(std::lround(50 * ratio)));
    ASSERT_FALSE(regions.empty());
    const auto differing = std::count_if(regions.begin(), regions.end(), [](int d) { return d > 20; });
    EXPECT_LE(differing, std::ptrdiff_t(regions.size() / 4)) << "of " << regions.size() << " regions";
    // A click on a building selects that building.
    QPoint at;
    const int building = ClickableBuilding(frm, *app->db, at);
    ASSERT_GE(building, 0);
    Click(gl, at);
    EXPECT_EQ(frm->hit.HitKind, otBuild);
    EXPECT_EQ(frm->hit.HitIndex, building);
}

TEST_F(GlMapWindow, MinimapFrameAndResultFlagsFollowTheOpenGLMap) {
    MinimapPanel* mini = frm->minimap;
    mini->btnMinimapClick();
    ASSERT_TRUE(mini->MinimapShown);
    // Zoomed in on the middle: the minimap's corner lies outside the view's frame, dark.
    Show(frm->view.FullScale / 4);
    const double mr = mini->imgMinimap->shown.devicePixelRatio();
    EXPECT_EQ(mini->imgMinimap->shown.pixel(int(2 * mr), int(2 * mr)), mini->pictures.dark.pixel(int(2 * mr), int(2 * mr)));
    // A flag over a listed building.
    QPoint at;
    const int building = ClickableBuilding(frm, *app->db, at);
    ASSERT_GE(building, 0);
    frm->display.Marks.AddFlag(building);
    app->settings.flat = true;
    Redraw();
    const TBuilding& b = app->db->Buildings[std::size_t(building)];
    int x = 0, y = 0;
    frm->view.WorldToScreen(b.x, b.y, x, y);
    // Inside the red flag: its picture's bottom left corner stands on the building's label point.
    const QImage frame = gl->grabFramebuffer();
    const double ratio = gl->devicePixelRatioF();
    const QRgb flag = frame.pixel(int(std::lround((x + 4) * ratio)), int(std::lround((y - 18 + 4) * ratio)));
    EXPECT_GT(qRed(flag), 180);
    EXPECT_LT(qGreen(flag), 80);
    EXPECT_LT(qBlue(flag), 80);
}
