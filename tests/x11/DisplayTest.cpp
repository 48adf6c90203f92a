// The windows on a real X server at 150 %: the titles the window manager receives, the map and the
// quit banner drawn in the screen's device pixels, and the keyboard layout at the main window's start.
#include "KeyboardLayout.h"
#include "MapRenderer.h"
#include "ProgramHarness.h"
#include "TMapImage.h"
#include "TfrmColors.h"
#include "TfrmDownload.h"
#include "TfrmHelp.h"
#include "TfrmLang.h"
#include "TfrmMessage.h"
#include "TfrmOptions.h"
#include "TfrmQuit.h"
#include "TfrmUpdateList.h"

#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QtGui/qguiapplication_platform.h>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

Display* XDisplay() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

// The title as the window manager reads it from the window.
QString WmName(QWidget* w) {
    Display* dpy = XDisplay();
    if (!dpy) return QString();
    QApplication::processEvents();
    XSync(dpy, False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    QString name;
    if (XGetWindowProperty(dpy, Window(w->winId()), XInternAtom(dpy, "_NET_WM_NAME", False), 0, 4096, False,
                           XInternAtom(dpy, "UTF8_STRING", False), &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        name = QString::fromUtf8(reinterpret_cast<const char*>(data), int(count));
        XFree(data);
    }
    return name;
}

int LockedGroup() {
    XkbStateRec state{};
    XkbGetState(XDisplay(), XkbUseCoreKbd, &state);
    return state.group;
}

struct OnX11 : Program {
    void SetUp() override {
        if (!XDisplay()) GTEST_SKIP() << "needs an X server (CTest runs this under xvfb-run)";
        Program::SetUp();
    }
};

} // namespace

TEST_F(OnX11, EveryWindowTitleIsItsTextAlone) {
    WriteCity(CityFolder(), QStringLiteral("Demograd"), QStringLiteral("Demograd"));
    Open();
    EXPECT_EQ(WmName(start.get()), start->windowTitle());
    TfrmMain* frm = Next();
    ASSERT_NE(frm, nullptr);

    TfrmLang lang(app->settings, frm);
    TfrmMessage message(frm);
    TfrmUpdateList updateList(frm);
    TfrmOptions options(app->settings, app->colors, frm);
    TfrmColors colors(app->settings, app->colors, frm);
    // The English interface: no title may carry a Russian word it does not have.
    const struct {
        QWidget* window;
        QString title;
    } windows[] = {
        {frm, QStringLiteral("Tessara Guide:  Demograd  (December 2025)")},
        {frm->frmQuit, LangText(u"Finish", 1)},
        {frm->frmHelp, LangText(u"Tips", 1)},
        {&lang, QStringLiteral("Tessara. Select language")},
        {&message, LangText(u"Update", 1)},
        {&updateList, LangText(u"Update", 1)},
        {&options, LangText(u"Options", 1)},
        {&colors, LangText(u"ColorSetup", 1)},
    };
    for (const auto& w : windows) {
        const bool wasVisible = w.window->isVisible();
        w.window->show();
        EXPECT_TRUE(WaitUntil([&] { return WmName(w.window) == w.title; }, 3000))
            << w.window->objectName().toStdString() << ": " << WmName(w.window).toStdString();
        if (!wasVisible) w.window->hide();
    }

    // A message box titled with the program's name says it once.
    UpdateContext ctx;
    ctx.DataFolder = data.path() + QStringLiteral("/dl/");
    ctx.TempFolder = data.path() + QStringLiteral("/tmp/");
    TfrmDownload download(ctx, frm);
    download.Mirrors.Sites[0] = download.Mirrors.Sites[1] = QStringLiteral("http://127.0.0.1:1/");
    QString boxTitle;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        if (WaitUntil([&] { return !WmName(box).isEmpty(); }, 2000)) boxTitle = WmName(box);
        box->accept();
    });
    poll.start(20);
    download.exec();
    EXPECT_EQ(boxTitle, QStringLiteral("Tessara"));
}

TEST_F(OnX11, MapAndQuitBannerAreDrawnInDevicePixels) {
    WriteCity(CityFolder(), QStringLiteral("Demograd"), QStringLiteral("Demograd"));
    Open();
    TfrmMain* frm = Next();
    ASSERT_NE(frm, nullptr);
    ASSERT_EQ(frm->img->devicePixelRatioF(), 1.5);
    EXPECT_EQ(frm->map->img.size(), frm->img->size() * 1.5) << "the map's frame holds the screen's pixels";
    EXPECT_EQ(frm->map->img.devicePixelRatio(), 1.5);
    EXPECT_EQ(frm->view.Width, frm->img->width()) << "the view keeps the widget's pixels";

    // The quit window's banner keeps its proportions and is drawn at the screen's density.
    TfrmQuit* quit = frm->frmQuit;
    quit->show();
    TBannerPicture* banner = quit->imgQuitBanner;
    ASSERT_TRUE(WaitUntil([&] { return !banner->Shown().isNull(); }, 3000)) << "painted once exposed";
    EXPECT_EQ(QSizeF(banner->Shown().size()), banner->PictureRect().size() * 1.5);
    EXPECT_EQ(quit->imgQuit.size(), banner->size() * 1.5) << "the vendor's own picture is drawn for the screen";
    QImage square(100, 100, QImage::Format_RGB32);
    square.fill(Qt::red);
    banner->SetPicture(square);
    banner->repaint();
    EXPECT_EQ(banner->PictureRect(), QRectF((banner->width() - 60) / 2.0, 0, 60, 60)) << "not stretched";
    EXPECT_EQ(banner->Shown().size(), QSize(90, 90));
    quit->hide();
}

// Without a window manager that maximises it (as here), the main window still fits the screen: at 150 % the
// 1600 x 1000 screen is 1067 x 667, smaller than the window's designed size.
TEST_F(OnX11, TheMainWindowFitsTheScreen) {
    WriteCity(CityFolder(), QStringLiteral("Demograd"), QStringLiteral("Demograd"));
    Open();
    TfrmMain* frm = Next();
    ASSERT_NE(frm, nullptr);
    const QRect free = frm->screen()->availableGeometry();
    ASSERT_LT(free.width(), 1280) << "a screen smaller than the designed window";
    EXPECT_TRUE(free.contains(frm->geometry())) << "window " << frm->geometry().width() << " x "
                                                << frm->geometry().height() << " at " << frm->x() << ","
                                                << frm->y() << " on " << free.width() << " x " << free.height();
    EXPECT_GE(frm->width(), frm->minimumWidth());
}

TEST_F(OnX11, TheMainWindowSwitchesToTheRussianLayout) {
    if (QStandardPaths::findExecutable(QStringLiteral("setxkbmap")).isEmpty()) GTEST_SKIP() << "no setxkbmap";
    ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), {"-layout", "us,ru"}), 0);
    ASSERT_TRUE(WaitUntil([] { return LockedGroup() == 0; }, 3000));
    WriteCity(CityFolder(), QStringLiteral("Demograd"), QStringLiteral("Demograd"));
    Open();
    EXPECT_EQ(LockedGroup(), 0) << "the start window leaves the layout alone";
    ASSERT_NE(Next(), nullptr);
    EXPECT_TRUE(WaitUntil([] { return LockedGroup() == 1; }, 3000));
    EXPECT_FALSE(ActivateRussianLayout()) << "already Russian: nothing to change";

    // Without a Russian layout nothing changes.
    ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), {"-layout", "us,de"}), 0);
    XkbLockGroup(XDisplay(), XkbUseCoreKbd, 0);
    ASSERT_TRUE(WaitUntil([] { return LockedGroup() == 0; }, 3000));
    EXPECT_FALSE(ActivateRussianLayout());
    EXPECT_EQ(LockedGroup(), 0);
}
