// The renderer chosen in the options window, in the real program on a display with OpenGL.
#include "GlMapSwitch.h"
#include "MapTools.h"
#include "ProgramHarness.h"
#include "TGlMapImage.h"

namespace {

struct GlWindow : MainWindow {
    // Confirms the options window with one of the renderer boxes clicked.
    void Choose(bool openGL) {
        frm->runOptions = [openGL](TfrmOptions& o) {
            EXPECT_TRUE(o.cbOpenGL->isEnabled());
            (openGL ? o.cbOpenGL : o.cbGDI)->click();
            o.btnOK->click();
            return int(QDialog::Accepted);
        };
        frm->btnOptionsClick();
    }
    TGlMapImage* Surface() const { return qobject_cast<TGlMapImage*>(frm->findChild<QWidget*>("imgGL")); }
    static int StoredGrafMode() { return TempSettingsStore::User()->value("GrafMode").toInt(); }
};

} // namespace

TEST_F(GlWindow, SwitchingTheRendererBackAndForth) {
    ASSERT_EQ(frm->findChildren<QWidget*>("imgGL").size(), 1);
    EXPECT_EQ(Surface(), nullptr) << "2D at first";
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Choose(true);
        EXPECT_EQ(app->settings.GrafMode, 1);
        EXPECT_EQ(StoredGrafMode(), 1);
        TGlMapImage* gl = Surface();
        ASSERT_NE(gl, nullptr);
        EXPECT_EQ(frm->imgGL, gl);
        EXPECT_TRUE(gl->isVisible());
        EXPECT_EQ(gl->geometry(), frm->img->geometry()) << "over the 2D picture, pixel for pixel";
        ASSERT_TRUE(WaitUntil([&] { return gl->frames() > 0; }));
        // A map, not a black square: the area colours of the scheme show.
        const QImage frame = gl->grabFramebuffer();
        QSet<QRgb> colours;
        for (int y = 0; y < frame.height(); y += 7)
            for (int x = 0; x < frame.width(); x += 7)
                colours.insert(frame.pixel(x, y) & 0xFFFFFF);
        EXPECT_GT(colours.size(), 5);
        EXPECT_FALSE(colours.contains(0x000000) && colours.size() == 1);
        // The map tools stay over the surface and work: a zoom redraws it.
        EXPECT_TRUE(frm->btnIncScale->isVisible());
        const int frames = gl->frames();
        const float scale = frm->view.Scale;
        frm->btnIncScale->click();
        EXPECT_LT(frm->view.Scale, scale);
        EXPECT_TRUE(WaitUntil([&] { return gl->frames() > frames; }));
        // A click on the surface reaches the map as one on the picture does.
        Click(gl, QPoint(gl->width() / 2, gl->height() / 2));
        EXPECT_TRUE(app->AppState.isEmpty());

        Choose(false);
        EXPECT_EQ(app->settings.GrafMode, 0);
        EXPECT_EQ(StoredGrafMode(), 0);
        QApplication::processEvents();
        EXPECT_EQ(Surface(), nullptr);
        EXPECT_EQ(frm->findChildren<QWidget*>("imgGL").size(), 1) << "the placeholder is back, alone";
        EXPECT_TRUE(frm->img->isVisible());
        EXPECT_FALSE(frm->map->img.isNull());
    }
}

TEST_F(GlWindow, TheMapToolsArePaintedOverTheOpenGLFrame) {
    Choose(true);
    TGlMapImage* gl = Surface();
    ASSERT_NE(gl, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return gl->frames() > 0; }));
    // The radius through its button and two clicks; its centre handle is lime, its inside tinted.
    frm->btnRadius->click();
    const QPoint c(gl->width() / 2, gl->height() / 2);
    Click(gl, c);
    Mouse(gl, QEvent::MouseMove, c + QPoint(80, 0), Qt::NoButton);
    Click(gl, c + QPoint(80, 0));
    ASSERT_TRUE(frm->tools->Circle().Visible);
    const int frames = gl->frames();
    frm->Redraw(false);
    ASSERT_TRUE(WaitUntil([&] { return gl->frames() > frames; }));
    const QImage frame = gl->grabFramebuffer();
    const qreal dpr = frame.devicePixelRatio();
    int cx = 0, cy = 0;
    const TCoord centre = frm->tools->radius.center;
    frm->view.WorldToScreen(centre.x, centre.y, cx, cy);
    EXPECT_EQ(frame.pixel(qRound((cx + 2) * dpr), qRound((cy + 2) * dpr)) & 0xFFFFFF, 0x00FF00u);
    Choose(false);
}
